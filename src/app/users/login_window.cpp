#include "login_window.h"

#include "account_file.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

LoginWindow::LoginWindow(QString accountFile, QWidget *parent) : QDialog(parent), m_accountFile(std::move(accountFile))
{
    setObjectName(QStringLiteral("TLogin"));
    showWarning = [this](const QString &caption, const QString &text) { QMessageBox::warning(this, caption, text); };

    userNameEdit = new QLineEdit(this);
    userNameEdit->setObjectName(QStringLiteral("Edit_username"));
    userNameEdit->setMaxLength(15);
    passwordEdit = new QLineEdit(this);
    passwordEdit->setObjectName(QStringLiteral("Edit_pass"));
    passwordEdit->setMaxLength(15);
    passwordEdit->setEchoMode(QLineEdit::Password);
    userNameLabel = new QLabel(this);
    passwordLabel = new QLabel(this);
    enterButton = new QPushButton(this);
    enterButton->setObjectName(QStringLiteral("Butt_enter"));
    enterButton->setDefault(true);
    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("Butt_cancel"));

    auto *form = new QFormLayout;
    form->addRow(userNameLabel, userNameEdit);
    form->addRow(passwordLabel, passwordEdit);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(enterButton);
    buttons->addWidget(cancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setMinimumWidth(340);

    connect(enterButton, &QPushButton::clicked, this, &LoginWindow::enter);
    connect(cancelButton, &QPushButton::clicked, this, &LoginWindow::close);
    applyCaptions();
}

void LoginWindow::applyCaptions()
{
    setWindowTitle(tr("Login Telvaro"));
    userNameLabel->setText(tr("Username:"));
    passwordLabel->setText(tr("Password:"));
    enterButton->setText(tr("OK"));
    cancelButton->setText(tr("Cancel"));
}

void LoginWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        applyCaptions();
    QDialog::changeEvent(event);
}

void LoginWindow::giveUp()
{
    close(); // ends the program
}

void LoginWindow::enter()
{
    const accounts::AccountList list = accounts::readAccounts(m_accountFile);
    if (list.status != accounts::AccountList::Status::Ok) {
        // Where it was looked for, and how the first account is made.
        const QString where =
            list.status == accounts::AccountList::Status::Missing
                ? tr("The program looked for it at:\n%1\n\nThe first account is made with:\ntelvaro-users \"%1\" "
                     "add admin Administrator")
                      .arg(m_accountFile)
                : tr("The account file %1 cannot be read: %2.").arg(m_accountFile, list.error);
        showWarning(QStringLiteral("Login fail"),
                    QStringLiteral("Missing account file!\nContact administrator") + QStringLiteral("\n\n") + where);
        giveUp();
        return;
    }
    if (list.accounts.isEmpty()) {
        showWarning(QStringLiteral("Login fail"),
                    QStringLiteral("Account file is empty (no valid accounts)!\nContact administrator"));
        giveUp();
        return;
    }
    const QList<accounts::Account> matches = accounts::matchLogin(list.accounts, userNameEdit->text(),
                                                                  passwordEdit->text());
    passwordEdit->clear();
    if (matches.isEmpty()) {
        showWarning(windowTitle(), tr("Wrong username or password!"));
        return;
    }
    for (const accounts::Account &account : matches) {
        // A level that is none of the three logs in with the least rights.
        const accounts::AccessLevel level = accounts::accessLevel(account.level);
        m_rights.administrator = level == accounts::AccessLevel::Administrator;
        m_rights.setup = level == accounts::AccessLevel::Setup;
        m_rights.operatorOnly = level == accounts::AccessLevel::Operator;
        m_rights.devices = account.devices;
        m_rights.communication = account.communication;
        m_rights.display = account.display;
        m_loggedIn = true;
        if (loggedIn)
            loggedIn(m_rights);
    }
    hide();
}

void LoginWindow::reject()
{
    close(); // Escape
}

void LoginWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit closed();
}
