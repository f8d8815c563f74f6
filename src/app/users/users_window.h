#pragma once
// "Users and accounts": lists the accounts of the account file, adds,
// changes and deletes them. Opened from Tools -> Users by administrators.

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class UsersWindow : public QWidget {
    Q_OBJECT
public:
    explicit UsersWindow(QString accountFile, QWidget *parent = nullptr);

    // Reads the file into the grid; false (after the message) when it cannot be opened.
    bool list();
    // addOrChangeButton and deleteButton.
    void addOrChange();
    void deleteSelected();
    void retranslate();

    // Message boxes; tests replace them.
    std::function<void(const QString &caption, const QString &text)> showMessage;
    std::function<void(const QString &caption, const QString &text)> showError;

    QLineEdit *userNameEdit = nullptr, *passwordEdit = nullptr, *repeatPasswordEdit = nullptr;
    QComboBox *levelCombo = nullptr;
    QCheckBox *devicesRightBox = nullptr, *communicationRightBox = nullptr, *displayRightBox = nullptr,
              *requireLoginBox = nullptr;
    QPushButton *addOrChangeButton = nullptr, *deleteButton = nullptr, *exitButton = nullptr;
    QTableWidget *userGrid = nullptr;
    QLabel *userNameLabel = nullptr, *passwordLabel = nullptr, *repeatPasswordLabel = nullptr, *levelLabel = nullptr;
    QLabel *readOnlyLabel = nullptr; // shown when the account file cannot be changed by this user

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void selectRow(int row);
    void clearFields();
    void fitGrid();

    QString m_accountFile;
    bool m_readOnly = false;
};
