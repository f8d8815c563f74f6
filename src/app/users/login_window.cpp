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

TLogin::TLogin(QString accountFile, QWidget *parent)
    : QDialog(parent), m_accountFile(std::move(accountFile))
{
    setObjectName(QStringLiteral("TLogin"));
    showWarning = [this](const QString &caption, const QString &text) { QMessageBox::warning(this, caption, text); };

    Edit_username = new QLineEdit(this);
    Edit_username->setObjectName(QStringLiteral("Edit_username"));
    Edit_username->setMaxLength(15);
    Edit_pass = new QLineEdit(this);
    Edit_pass->setObjectName(QStringLiteral("Edit_pass"));
    Edit_pass->setMaxLength(15);
    Edit_pass->setEchoMode(QLineEdit::Password);
    Label1 = new QLabel(this);
    Label2 = new QLabel(this);
    Butt_enter = new QPushButton(this);
    Butt_enter->setObjectName(QStringLiteral("Butt_enter"));
    Butt_enter->setDefault(true);
    Butt_cancel = new QPushButton(this);
    Butt_cancel->setObjectName(QStringLiteral("Butt_cancel"));

    auto *form = new QFormLayout;
    form->addRow(Label1, Edit_username);
    form->addRow(Label2, Edit_pass);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Butt_enter);
    buttons->addWidget(Butt_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    setMinimumWidth(340);

    connect(Butt_enter, &QPushButton::clicked, this, &TLogin::enter);
    connect(Butt_cancel, &QPushButton::clicked, this, &TLogin::close);
    applyCaptions();
}

void TLogin::applyCaptions()
{
    setWindowTitle(tr("Login Telvaro"));
    Label1->setText(tr("Username:"));
    Label2->setText(tr("Password:"));
    Butt_enter->setText(tr("OK"));
    Butt_cancel->setText(tr("Cancel"));
}

void TLogin::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        applyCaptions();
    QDialog::changeEvent(event);
}

void TLogin::giveUp()
{
    close(); // ends the program
}

void TLogin::enter()
{
    const accounts::AccountList list = accounts::readAccounts(m_accountFile);
    if (list.status != accounts::AccountList::Status::Ok) {
        showWarning(QStringLiteral("Login fail"), QStringLiteral("Missing account file!\nContact administrator"));
        giveUp();
        return;
    }
    if (list.accounts.isEmpty()) {
        showWarning(QStringLiteral("Login fail"),
                    QStringLiteral("Account file is empty (no valid accounts)!\nContact administrator"));
        giveUp();
        return;
    }
    const QList<accounts::Account> matches =
        accounts::matchLogin(list.accounts, Edit_username->text(), Edit_pass->text());
    Edit_pass->clear();
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

void TLogin::reject()
{
    close(); // Escape
}

void TLogin::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit closed();
}
