// The real start-up offscreen with a temporary account file: the login
// window alone on screen, levels and rights shaping the main window, "Sent:"
// for administrators only, the program ending whenever the login window
// closes without a match, and the accounts window adding, changing and
// deleting accounts.

#include "devices_page.h"
#include "display/display_commands.h"
#include "link/link_dispatch.h"
#include "link/user_rights.h"
#include "main_window.h"
#include "mbus/frames.h"
#include "ops/custom_command.h"
#include "pty_pair.h"
#include "startup.h"
#include "users/account_file.h"
#include "users/login_window.h"
#include "users/users_window.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Fixture {
    explicit Fixture(const QByteArray &settings = {})
    {
        settingsPath = dir.filePath(QStringLiteral("telvaro.ini"));
        accountPath = dir.filePath(QStringLiteral("users.dat"));
        QFile ini(settingsPath);
        if (ini.open(QIODevice::WriteOnly))
            ini.write(settings);
    }
    bool createAccounts() { return QFile(accountPath).open(QIODevice::WriteOnly); }
    void add(const QString &name, const QString &password, const QString &level, bool devices = true,
             bool communication = true, bool display = true)
    {
        accounts::Account a;
        a.name = name;
        a.password = password;
        a.level = level;
        a.devices = devices;
        a.communication = communication;
        a.display = display;
        QVERIFY(accounts::addOrChange(accountPath, a, QDate(2026, 12, 7)).ok);
    }
    // Types and presses OK; returns the boxes shown.
    QStringList login(Startup &startup, const QString &user, const QString &password)
    {
        QStringList boxes;
        startup.login().showWarning = [&boxes](const QString &caption, const QString &text) {
            boxes << caption + u'|' + text;
        };
        startup.login().userNameEdit->setText(user);
        QTest::keyClicks(startup.login().passwordEdit, password);
        QTest::mouseClick(startup.login().enterButton, Qt::LeftButton);
        return boxes;
    }

    QTemporaryDir dir;
    QString settingsPath, accountPath;
};

// Runs the action and tells whether the program was asked to end
// (QCoreApplication::quit runs when the login window closes).
bool endsProgram(Startup &startup, const std::function<void()> &action)
{
    QSignalSpy closed(&startup.login(), &LoginWindow::closed);
    action();
    return closed.count() == 1 || closed.wait(2000);
}

} // namespace

class TstLogin : public QObject {
    Q_OBJECT
private slots:
    void onlyTheLoginWindowAtStart_data();
    void onlyTheLoginWindowAtStart();
    void levelsAndRights_data();
    void levelsAndRights();
    void wrongLoginKeepsMainHidden_data();
    void wrongLoginKeepsMainHidden();
    void noUsableFileEndsProgram_data();
    void noUsableFileEndsProgram();
    void closingLoginEndsProgram_data();
    void closingLoginEndsProgram();
    void sentLinesForAdministratorsOnly_data();
    void sentLinesForAdministratorsOnly();
    void accountsWindow();
    void readOnlyAccountFileLogsIn();
};

// clang-format off
void TstLogin::onlyTheLoginWindowAtStart_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("label1");
    QTest::newRow("English") << QByteArray() << "Login Telvaro" << "Username:";
    QTest::newRow("Italian") << QByteArray("[Misc]\nLanguage=2\n") << "Accedi Telvaro" << "Nome utente:";
    QTest::newRow("Polish") << QByteArray("[Misc]\nLanguage=3\n") << "Logowanie Telvaro"
                            << QString::fromUtf8("Nazwa użytkownika:");
}
// clang-format on

void TstLogin::onlyTheLoginWindowAtStart()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, caption);
    QFETCH(QString, label1);
    Fixture f(settings);
    Startup startup(f.settingsPath, f.accountPath);
    startup.show();
    QVERIFY(startup.login().isVisible());
    QVERIFY(!startup.mainWindow().isVisible());
    QCOMPARE(startup.login().windowTitle(), caption);
    QCOMPARE(startup.login().userNameLabel->text(), label1);
    QCOMPARE(startup.login().passwordEdit->echoMode(), QLineEdit::Password);
    QCOMPARE(startup.login().userNameEdit->maxLength(), 15);
}

// clang-format off
void TstLogin::levelsAndRights_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<bool>("devices");
    QTest::addColumn<bool>("display");
    QTest::addColumn<bool>("usersMenu");
    QTest::addColumn<bool>("settingsMenu");
    QTest::addColumn<bool>("administrator");
    QTest::newRow("Administrator") << "Administrator" << true << true << true << true << true;
    QTest::newRow("Setup without devices") << "Setup" << false << true << false << true << false;
    QTest::newRow("Operator without display") << "Operator" << true << false << false << false << false;
    QTest::newRow("unknown level is an operator") << "Boss" << true << true << false << false << false;
}
// clang-format on

void TstLogin::levelsAndRights()
{
    QFETCH(QString, level);
    QFETCH(bool, devices);
    QFETCH(bool, display);
    QFETCH(bool, usersMenu);
    QFETCH(bool, settingsMenu);
    QFETCH(bool, administrator);
    Fixture f;
    QVERIFY(f.createAccounts());
    f.add(QStringLiteral("admin"), QStringLiteral("root1"), QStringLiteral("Administrator"));
    f.add(QStringLiteral("tech"), QStringLiteral("s3cret"), level, devices, true, display);
    Startup startup(f.settingsPath, f.accountPath);
    startup.show();
    QCOMPARE(f.login(startup, QStringLiteral("tech"), QStringLiteral("s3cret")), QStringList());
    MainWindow &main = startup.mainWindow();
    QVERIFY(main.isVisible());
    QVERIFY(!startup.login().isVisible());
    QVERIFY(startup.login().passwordEdit->text().isEmpty());
    QCOMPARE(main.usersAction->isEnabled(), usersMenu);
    QCOMPARE(main.settingsAction->isEnabled(), settingsMenu);
    QCOMPARE(main.isAdministrator(), administrator);
    QCOMPARE(main.displayAllowed(), display);
    QCOMPARE(main.devices->meterCommandsShown(), devices);
    for (QWidget *w : std::initializer_list<QWidget *>{main.devices->broadcastBox, main.devices->selectedIdLabel,
                                                       main.devices->selectedAddressLabel})
        QCOMPARE(w->isVisible(), devices);
    // Each right guards its own commands, wherever they are asked for.
    main.displayCommands().setRefresh(QStringLiteral("9"));
    main.customCommand().send(QStringLiteral("10 40 01 41 16"), false);
    QTRY_VERIFY(!main.session().busy());
    QCOMPARE(main.logLines().contains(refusalLine(Right::Display)), !display);
    QCOMPARE(main.logLines().contains(refusalLine(Right::Devices)), !devices);
}

// clang-format off
void TstLogin::wrongLoginKeepsMainHidden_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("box");
    const QString wrong = QStringLiteral("Login Telvaro|Wrong username or password!");
    QTest::newRow("wrong password") << "tech" << "S3cret" << QByteArray() << wrong;
    QTest::newRow("name in other case") << "Tech" << "s3cret" << QByteArray() << wrong;
    QTest::newRow("blank after the name") << "tech " << "s3cret" << QByteArray() << wrong;
    QTest::newRow("Italian") << "x" << "y" << QByteArray("[Misc]\nLanguage=2\n")
                             << QStringLiteral("Accedi Telvaro|Nome utente o password errati!");
    QTest::newRow("Polish") << "x" << "y" << QByteArray("[Misc]\nLanguage=3\n")
                            << QString::fromUtf8("Logowanie Telvaro|Nieprawidłowa nazwa użytkownika lub hasło!");
}
// clang-format on

void TstLogin::wrongLoginKeepsMainHidden()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QByteArray, settings);
    QFETCH(QString, box);
    Fixture f(settings);
    QVERIFY(f.createAccounts());
    f.add(QStringLiteral("tech"), QStringLiteral("s3cret"), QStringLiteral("Administrator"));
    Startup startup(f.settingsPath, f.accountPath);
    startup.show();
    QCOMPARE(f.login(startup, user, password), QStringList{box});
    QVERIFY(!startup.mainWindow().isVisible());
    QVERIFY(startup.login().isVisible());
    QVERIFY(startup.login().passwordEdit->text().isEmpty());
}

// clang-format off
void TstLogin::noUsableFileEndsProgram_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QString>("box");
    QTest::newRow("missing") << false << "Login fail|Missing account file!\nContact administrator";
    QTest::newRow("empty") << true << "Login fail|Account file is empty (no valid accounts)!\nContact administrator";
}
// clang-format on

void TstLogin::noUsableFileEndsProgram()
{
    QFETCH(bool, exists);
    QFETCH(QString, box);
    Fixture f;
    if (exists)
        QVERIFY(f.createAccounts());
    Startup startup(f.settingsPath, f.accountPath);
    startup.show();
    QStringList boxes;
    QVERIFY(endsProgram(startup, [&] { boxes = f.login(startup, QStringLiteral("a"), QStringLiteral("b")); }));
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes[0].startsWith(box), qPrintable(boxes[0]));
    if (!exists) // says where it looked and how to make the file
        QVERIFY(boxes[0].contains(QStringLiteral("telvaro-users \"%1\" add admin").arg(f.accountPath)));
    QVERIFY(!startup.mainWindow().isVisible());
}

// clang-format off
void TstLogin::closingLoginEndsProgram_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("close button") << "close";
    QTest::newRow("Escape") << "escape";
}
// clang-format on

void TstLogin::closingLoginEndsProgram()
{
    QFETCH(QString, how);
    Fixture f;
    QVERIFY(f.createAccounts());
    f.add(QStringLiteral("tech"), QStringLiteral("s3cret"), QStringLiteral("Administrator"));
    Startup startup(f.settingsPath, f.accountPath);
    startup.show();
    QVERIFY(endsProgram(startup, [&] {
        LoginWindow &login = startup.login();
        if (how == QLatin1String("cancel"))
            QTest::mouseClick(login.cancelButton, Qt::LeftButton);
        else if (how == QLatin1String("close"))
            login.close();
        else
            QTest::keyClick(&login, Qt::Key_Escape);
    }));
    QVERIFY(!startup.login().isVisible());
    QVERIFY(!startup.mainWindow().isVisible());
    QVERIFY(!startup.login().isLoggedIn());
}

// clang-format off
void TstLogin::sentLinesForAdministratorsOnly_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<bool>("sentLine");
    QTest::newRow("Administrator") << "Administrator" << true;
    QTest::newRow("Setup") << "Setup" << false;
    QTest::newRow("Operator") << "Operator" << false;
}
// clang-format on

void TstLogin::sentLinesForAdministratorsOnly()
{
    QFETCH(QString, level);
    QFETCH(bool, sentLine);
    PtyPair pty;
    QVERIFY(pty.isValid());
    Fixture f("[Com port]\nName=" + pty.slavePath().toLocal8Bit() + "\nSpeed=2400\n");
    QVERIFY(f.createAccounts());
    f.add(QStringLiteral("admin"), QStringLiteral("pw"), QStringLiteral("Administrator"));
    f.add(QStringLiteral("user"), QStringLiteral("pw"), level);
    Startup startup(f.settingsPath, f.accountPath);
    startup.show();
    QCOMPARE(f.login(startup, QStringLiteral("user"), QStringLiteral("pw")), QStringList());
    LinkDispatch &link = startup.mainWindow().dispatch();
    QVERIFY(link.beginLinkUse());
    QVERIFY(link.sendFrame(mbus::buildReqUd2(1, false)));
    link.endLinkUse();
    QCOMPARE(startup.mainWindow().logLines().contains(QStringLiteral("Sent:10 7B 01 7C 16 ")), sentLine);
}

// Add, the four input messages, change (date kept), delete; "admin" stays.
void TstLogin::accountsWindow()
{
    Fixture f;
    QVERIFY(f.createAccounts());
    f.add(QStringLiteral("admin"), QStringLiteral("pw"), QStringLiteral("Administrator"));
    MainWindow main(f.settingsPath, nullptr, f.accountPath);
    UsersWindow &users = *main.usersWindow();
    QStringList messages;
    users.showMessage = [&](const QString &, const QString &text) { messages << text; };
    users.showError = [&](const QString &caption, const QString &text) { messages << caption + u'|' + text; };
    QVERIFY(users.list());
    QCOMPARE(users.userGrid->rowCount(), 1);
    QCOMPARE(users.userGrid->item(0, 0)->text(), QStringLiteral("admin"));
    QCOMPARE(users.userGrid->item(0, 3)->text(), QStringLiteral("Yes"));

    QTest::mouseClick(users.addOrChangeButton, Qt::LeftButton);
    users.userNameEdit->setText(QStringLiteral("tech"));
    QTest::mouseClick(users.addOrChangeButton, Qt::LeftButton);
    users.passwordEdit->setText(QStringLiteral("one"));
    users.repeatPasswordEdit->setText(QStringLiteral("one"));
    QTest::mouseClick(users.addOrChangeButton, Qt::LeftButton);
    users.levelCombo->setCurrentText(QStringLiteral("Setup"));
    users.repeatPasswordEdit->setText(QStringLiteral("two"));
    QTest::mouseClick(users.addOrChangeButton, Qt::LeftButton);
    QCOMPARE(messages, QStringList({"Enter username", "Enter password (both fields)",
                                    "Select access level for this user", "Passwords does not match!"}));
    QVERIFY(!users.levelCombo->isEditable());

    users.repeatPasswordEdit->setText(QStringLiteral("one"));
    users.devicesRightBox->setChecked(true);
    users.displayRightBox->setChecked(false);
    QTest::mouseClick(users.addOrChangeButton, Qt::LeftButton);
    QCOMPARE(users.userGrid->rowCount(), 2);
    QVERIFY(users.userNameEdit->text().isEmpty() && users.passwordEdit->text().isEmpty());
    const QString registered = users.userGrid->item(1, 2)->text();
    QCOMPARE(QStringList({users.userGrid->item(1, 0)->text(), users.userGrid->item(1, 1)->text(),
                          users.userGrid->item(1, 3)->text(), users.userGrid->item(1, 5)->text()}),
             QStringList({"tech", "Setup", "Yes", "No"}));

    // Selecting the row fills the fields (not the passwords); a change keeps the date.
    users.userGrid->setCurrentCell(1, 0);
    QCOMPARE(users.userNameEdit->text(), QStringLiteral("tech"));
    QCOMPARE(users.levelCombo->currentText(), QStringLiteral("Setup"));
    QVERIFY(users.devicesRightBox->isChecked() && !users.displayRightBox->isChecked());
    users.levelCombo->setCurrentText(QStringLiteral("Operator"));
    users.passwordEdit->setText(QStringLiteral("new"));
    users.repeatPasswordEdit->setText(QStringLiteral("new"));
    QTest::mouseClick(users.addOrChangeButton, Qt::LeftButton);
    QCOMPARE(users.userGrid->rowCount(), 2);
    QCOMPARE(users.userGrid->item(1, 1)->text(), QStringLiteral("Operator"));
    QCOMPARE(users.userGrid->item(1, 2)->text(), registered);
    const auto list = accounts::readAccounts(f.accountPath);
    QCOMPARE(accounts::matchLogin(list.accounts, QStringLiteral("tech"), QStringLiteral("new")).size(), 1);

    users.userNameEdit->setText(QStringLiteral("tech"));
    QTest::mouseClick(users.deleteButton, Qt::LeftButton);
    QCOMPARE(users.userGrid->rowCount(), 1);
    users.userNameEdit->setText(QStringLiteral("admin"));
    QTest::mouseClick(users.deleteButton, Qt::LeftButton);
    QCOMPARE(users.userGrid->rowCount(), 1); // "admin" is never deleted
}

// A shared account file nobody may write: login works, the accounts window
// shows the accounts and says why they cannot be changed.
void TstLogin::readOnlyAccountFileLogsIn()
{
    Fixture f;
    QVERIFY(f.createAccounts());
    f.add(QStringLiteral("admin"), QStringLiteral("root1"), QStringLiteral("Administrator"));
    QVERIFY(
        QFile::setPermissions(f.accountPath, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    const QByteArray before = [&] {
        QFile file(f.accountPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    Startup startup(f.settingsPath, f.accountPath);
    startup.show();
    QCOMPARE(f.login(startup, QStringLiteral("admin"), QStringLiteral("root1")), QStringList());
    QVERIFY(startup.mainWindow().isVisible());

    UsersWindow &users = *startup.mainWindow().usersWindow();
    QStringList errors;
    users.showError = [&errors](const QString &, const QString &text) { errors << text; };
    QVERIFY(users.list());
    QCOMPARE(users.userGrid->rowCount(), 1);
    QVERIFY(!users.readOnlyLabel->isHidden() && !users.addOrChangeButton->isEnabled());
    users.deleteSelected();
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors[0].contains(QStringLiteral("read-only")) && errors[0].contains(f.accountPath));
    QFile file(f.accountPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

QTEST_MAIN(TstLogin)
#include "tst_login.moc"
