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

class TFUsers : public QWidget {
    Q_OBJECT
public:
    explicit TFUsers(QString accountFile, QWidget *parent = nullptr);

    // Reads the file into the grid; false (after the message) when it cannot be opened.
    bool list();
    // Butt_add and Butt_delete.
    void addOrChange();
    void deleteSelected();
    void retranslate();

    // Message boxes; tests replace them.
    std::function<void(const QString &caption, const QString &text)> showMessage;
    std::function<void(const QString &caption, const QString &text)> showError;

    QLineEdit *Edit_user = nullptr, *Edit_pass1 = nullptr, *Edit_pass2 = nullptr;
    QComboBox *Combo_access = nullptr;
    QCheckBox *Check_dev = nullptr, *Check_comm = nullptr, *Check_display = nullptr, *Check_require = nullptr;
    QPushButton *Butt_add = nullptr, *Butt_delete = nullptr, *Butt_end = nullptr;
    QTableWidget *Grid_users = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr;

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void selectRow(int row);
    void clearFields();

    QString m_accountFile;
};
