#pragma once
// "Login Telvaro": the first window of the program and the only one shown at
// start. The main window appears only after a user name and password match
// an account; closing this window in any way before that ends the program.

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// What a successful login allows.
struct LoginRights {
    bool administrator = false;
    bool setup = false;
    bool operatorOnly = false;
    bool devices = false;
    bool communication = false;
    bool display = false;
};

class LoginWindow : public QDialog {
    Q_OBJECT
public:
    // The captions follow the installed language.
    explicit LoginWindow(QString accountFile, QWidget *parent = nullptr);

    // Called for every matching account, in file order.
    std::function<void(const LoginRights &)> loggedIn;
    // Message boxes; tests replace them.
    std::function<void(const QString &caption, const QString &text)> showWarning;

    bool isLoggedIn() const { return m_loggedIn; }
    // enterButton.
    void enter();

    QLineEdit *userNameEdit = nullptr, *passwordEdit = nullptr;
    QPushButton *enterButton = nullptr, *cancelButton = nullptr;
    QLabel *userNameLabel = nullptr, *passwordLabel = nullptr;

signals:
    // The window closed: the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void reject() override;

private:
    void applyCaptions();
    void giveUp();

    QString m_accountFile;
    bool m_loggedIn = false;
    LoginRights m_rights;
};
