// The account file: record bytes, damaged files, add/change/delete and their
// refusals, writes that fail, where the file lives, and telvaro-users run as
// a child process.

#include "account_file.h"
#include "pty_pair.h"

#include <QtTest>

#include <csignal>
#include <functional>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace accounts;

Q_DECLARE_METATYPE(accounts::Account)
Q_DECLARE_METATYPE(accounts::AccessLevel)

namespace {

const QDate kToday(2024, 12, 7);
const QString kOldDate = QStringLiteral("01.01.20");
struct Field {
    int at, capacity;
};

Account acc(const QString &name = {}, const QString &password = {}, const QString &level = {},
            const QString &registered = {}, bool devices = false, bool communication = false, bool display = false,
            quint8 reserved = 0)
{
    return {name, password, level, registered, devices, communication, display, reserved};
}
const Field kTextFields[] = {{0, 10}, {11, 10}, {22, 15}, {38, 15}, {54, 3}, {58, 3}, {62, 3}};

// "name:L ..." with L = A, S, O or a level text of its own. Password "pw", an
// old date, all rights for Administrators; undefined tails and the reserved
// byte are not zero, so byte-identical copies can be told from re-encoded ones.
QByteArray fileFrom(const QString &given)
{
    QByteArray bytes;
    const QStringList tokens = given.split(u' ', Qt::SkipEmptyParts);
    for (const QString &token : tokens) {
        const QString code = token.section(u':', 1);
        const QString level = code == u"A"   ? "Administrator"
                              : code == u"S" ? "Setup"
                              : code == u"O" ? "Operator"
                                             : code;
        const bool admin = code == u"A";
        QByteArray r = encodeRecord(acc(token.section(u':', 0, 0), "pw", level, kOldDate, admin, admin, admin));
        for (const Field &f : kTextFields)
            for (int i = quint8(r[f.at]); i < f.capacity; ++i)
                r[f.at + 1 + i] = char(0xE0 + i);
        r[66] = char(0x40 + bytes.size() / 67);
        bytes += r;
    }
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Accounts as "name/level/password/date/rights" words, for whole-file comparisons.
QString describe(const QString &path)
{
    QStringList words;
    for (const Account &a : readAccounts(path).accounts)
        words << QStringList{a.name, a.level, a.password, a.registered,
                             QString(a.devices ? "d" : "") + (a.communication ? "c" : "") + (a.display ? "s" : "")}
                     .join(u'/');
    return words.join(u' ');
}

int mode(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

bool setMode(const QString &path, int mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

// Root ignores permission bits: such checks run in a child that has given up root.
int unprivileged(const std::function<int()> &fn)
{
    if (::geteuid() != 0)
        return fn();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(99);
        ::_exit(fn());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

} // namespace

class TstAccounts : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_file;

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_file = m_dir.filePath(QStringLiteral("t%1/users.dat").arg(QRandomGenerator::global()->generate()));
        QVERIFY(QDir().mkpath(QFileInfo(m_file).path()));
    }

    void bytesAtEveryOffset_data()
    {
        QTest::addColumn<Account>("account");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("hex");
        const Account admin = acc("admin", "secret", "Administrator", "07.12.24", true, false, true, 0x33);
        QTest::newRow("whole record")
            << admin << 0
            << QByteArray(
                   "05 3b 3e 37 33 34 00 00 00 00 00 06 d4 c2 c4 d5 c2 d3 00 00 00 00 0d 1b 3e 37 33 34 33 29 2e 28"
                   " 3b 2e 35 28 00 00 08 30 37 2e 31 32 2e 32 34 00 00 00 00 00 00 00 03 44 56 59 03 43 4d 4e 03"
                   " 44 53 59 33");
        QTest::newRow("name cut to 10") << acc("abcdefghijk") << 0 << QByteArray("0a 3b 38 39 3e 3f 3c 3d 32 33 30 00");
        QTest::newRow("password, Latin-1") << acc("", "Zo\u00eb") << 11 << QByteArray("03 fd c8 4c 00");
        QTest::newRow("level cut to 15") << acc("", "", "SetupSetupSetupX") << 22
                                         << QByteArray("0f 09 3f 2e 2f 2a 09 3f 2e 2f 2a 09 3f 2e 2f 2a 00");
        QTest::newRow("date plain, cut to 15") << acc("", "", "", "2024-12-07 10:00") << 38
                                               << QByteArray("0f 32 30 32 34 2d 31 32 2d 30 37 20 31 30 3a 30 03");
        QTest::newRow("rights refused") << acc() << 54 << QByteArray("03 44 56 4e 03 43 4d 4e 03 44 53 4e 00");
        QTest::newRow("communication granted")
            << acc("", "", "", "", false, true, false, 0xFF) << 58 << QByteArray("03 43 4d 59 03 44 53 4e ff");
        QTest::newRow("outside Latin-1") << acc("\u0141ukasz") << 0 << QByteArray("06 65 2f 31 3b 29 20 00");
    }
    void bytesAtEveryOffset()
    {
        QFETCH(Account, account);
        QFETCH(int, offset);
        QFETCH(QByteArray, hex);
        const QByteArray record = encodeRecord(account);
        QCOMPARE(record.size(), 67);
        QCOMPARE(record.mid(offset, hex.count(' ') + 1).toHex(' '), hex);
        const Account back = decodeRecord(record).value();
        QCOMPARE(back.name, QString(account.name.left(10)).replace(u'\u0141', u'?'));
        QCOMPARE(back.password, account.password.left(10));
        QCOMPARE(back.level, account.level.left(15));
        QCOMPARE(back.registered, account.registered.left(15));
        QCOMPARE(std::tuple(back.devices, back.communication, back.display, back.reserved),
                 std::tuple(account.devices, account.communication, account.display, account.reserved));
    }

    // Every length byte 0..255 of every text field: clamped, never read past the record.
    void lengthBytes_data()
    {
        QTest::addColumn<int>("field");
        for (int i = 0; i < 7; ++i)
            QTest::addRow("field at %d", kTextFields[i].at) << i;
    }
    void lengthBytes()
    {
        QFETCH(int, field);
        const int capacity = kTextFields[field].capacity;
        const Account full = acc("abcdefghij", "0123456789", "Administrator!!", "31.12.2024 23:5", true, true, true);
        for (int length = 0; length < 256; ++length) {
            QByteArray record = encodeRecord(full);
            record[kTextFields[field].at] = char(length);
            const Account a = decodeRecord(record).value();
            const int kept = qMin(length, capacity);
            const QVariantList got{a.name, a.password, a.level, a.registered, a.devices, a.communication, a.display};
            const QVariantList want{full.name.left(kept),
                                    full.password.left(kept),
                                    full.level.left(kept),
                                    full.registered.left(kept),
                                    kept == 3,
                                    kept == 3,
                                    kept == 3};
            QCOMPARE(got[field], want[field]);
        }
    }

    void rightCodes_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QList<bool>>("rights");
        QTest::newRow("devices granted") << 54 << QByteArray("\3DVY") << QList<bool>{true, false, false};
        QTest::newRow("communication granted") << 58 << QByteArray("\3CMY") << QList<bool>{false, true, false};
        QTest::newRow("display granted") << 62 << QByteArray("\3DSY") << QList<bool>{false, false, true};
        QTest::newRow("another right's code") << 54 << QByteArray("\3CMY") << QList<bool>{false, false, false};
        QTest::newRow("other letter case") << 62 << QByteArray("\3dsy") << QList<bool>{false, false, false};
        QTest::newRow("code cut short") << 58 << QByteArray("\2CMY") << QList<bool>{false, false, false};
        QTest::newRow("refused code") << 54 << QByteArray("\3DVN") << QList<bool>{false, false, false};
    }
    void rightCodes()
    {
        QFETCH(int, offset);
        QFETCH(QByteArray, stored);
        QFETCH(QList<bool>, rights);
        QByteArray record = encodeRecord({});
        record.replace(offset, 4, stored);
        const Account a = decodeRecord(record).value();
        QCOMPARE((QList<bool>{a.devices, a.communication, a.display}), rights);
    }

    void randomBytes()
    {
        QRandomGenerator random(67);
        for (int size : {0, 1, 66, 68, 134})
            QVERIFY(!decodeRecord(QByteArray(size, 'x')));
        for (int round = 0; round < 300; ++round) {
            QByteArray bytes(random.bounded(700), Qt::Uninitialized);
            for (char &c : bytes)
                c = char(random.bounded(256));
            QVERIFY(writeAll(m_file, bytes));
            const AccountList list = readAccounts(m_file);
            QCOMPARE(list.status, AccountList::Status::Ok);
            QCOMPARE(list.accounts.size(), bytes.size() / 67);
        }
    }

    // A trailing partial record is no account and is dropped by the next write.
    void partialRecords_data()
    {
        QTest::addColumn<int>("tail");
        for (int tail : {0, 1, 66})
            QTest::addRow("tail of %d bytes", tail) << tail;
    }
    void partialRecords()
    {
        QFETCH(int, tail);
        QVERIFY(writeAll(m_file, QByteArray(tail, '\x5a')));
        QCOMPARE(readAccounts(m_file).status, AccountList::Status::Ok);
        QVERIFY(readAccounts(m_file).accounts.isEmpty());
        const QByteArray two = fileFrom("admin:A bob:O");
        QVERIFY(writeAll(m_file, two + QByteArray(tail, '\xff')));
        QCOMPARE(readAccounts(m_file).accounts.size(), 2);
        QVERIFY(accounts::addOrChange(m_file, acc("cid", "pw", "Setup"), kToday).ok);
        QCOMPARE(readAll(m_file), two + encodeRecord(acc("cid", "pw", "Setup", registrationText(kToday))));
    }

    // clang-format off
    void levels_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<AccessLevel>("level");
        QTest::addColumn<bool>("known");
        QTest::newRow("Administrator") << "Administrator" << AccessLevel::Administrator << true;
        QTest::newRow("Setup") << "Setup" << AccessLevel::Setup << true;
        QTest::newRow("Operator") << "Operator" << AccessLevel::Operator << true;
        QTest::newRow("other case") << "administrator" << AccessLevel::Operator << false;
        QTest::newRow("free text") << "Guest" << AccessLevel::Operator << false;
    }
    // clang-format on
    void levels()
    {
        QFETCH(QString, text);
        QFETCH(AccessLevel, level);
        QCOMPARE(accessLevel(text), level);
        QTEST(isKnownLevel(text), "known");
    }

    // changed: index of the record rewritten in place, -1 appended, -2 refused.
    // clang-format off
    void addOrChange_data()
    {
        QTest::addColumn<Account>("account");
        QTest::addColumn<int>("changed");
        QTest::addColumn<QString>("message");
        QTest::newRow("first") << acc("admin", "new", "Administrator", "", false, true) << 0 << "";
        QTest::newRow("exact case, first of two") << acc("bob", "new", "Administrator") << 2 << "";
        QTest::newRow("free level text") << acc("Bob", "new", "Guest") << 1 << "";
        QTest::newRow("name found after cut") << acc("tenlettersX", "new", "Operator") << 4 << "";
        QTest::newRow("new name") << acc("carol", "new", "Setup", "", true) << -1 << "";
        QTest::newRow("other case is new") << acc("ADMIN", "new", "Setup") << -1 << "";
        QTest::newRow("last Administrator") << acc("admin", "new", "Setup") << -2
                                            << "The last Administrator account must keep the Administrator level.";
        QTest::newRow("no password") << acc("bob", "", "Setup") << -2 << "An account needs a password.";
        QTest::newRow("outside Latin-1") << acc("bob", "\u0142", "Setup") << -2
                                         << "User name, password and access level can hold only Latin-1 characters.";
    }
    // clang-format on
    void addOrChange()
    {
        QFETCH(Account, account);
        QFETCH(int, changed);
        QFETCH(QString, message);
        const QByteArray old = fileFrom("admin:A Bob:O bob:S bob:O tenletters:S");
        QVERIFY(writeAll(m_file, old));
        const AccountResult result = accounts::addOrChange(m_file, account, kToday);
        QCOMPARE(result.message, message);
        QCOMPARE(result.ok, changed != -2);
        const QByteArray now = readAll(m_file);
        if (changed == -2) {
            QCOMPARE(now, old);
        } else if (changed == -1) {
            account.registered = registrationText(kToday);
            QCOMPARE(now, old + encodeRecord(account));
        } else {
            const int at = changed * 67;
            QCOMPARE(now.size(), old.size());
            QCOMPARE(now.left(at), old.left(at));
            QCOMPARE(now.mid(at + 67), old.mid(at + 67));
            // Name, date and reserved byte stay, tails included; the rest is new.
            const QByteArray was = old.mid(at, 67), is = now.mid(at, 67), fresh = encodeRecord(account);
            QCOMPARE(is.left(11), was.left(11));
            QCOMPARE(is.mid(11, 27), fresh.mid(11, 27));
            QCOMPARE(is.mid(38, 16), was.mid(38, 16));
            QCOMPARE(is.mid(54, 12), fresh.mid(54, 12));
            QCOMPARE(is[66], was[66]);
        }
    }

    // removed: index of the record deleted, -1 nothing (quietly), -2 refused.
    // clang-format off
    void removeAccount_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("removed");
        QTest::newRow("middle, first of two") << "admin:A bob:O bob:S cid:O" << "bob" << 1;
        QTest::newRow("first") << "ann:A admin:A bob:O" << "ann" << 0;
        QTest::newRow("last") << "admin:A bob:O cid:O" << "cid" << 2;
        QTest::newRow("one of two Administrators") << "ann:A zed:A" << "zed" << 1;
        QTest::newRow("admin never") << "admin:A ann:A" << "admin" << -1;
        QTest::newRow("admin as Operator never") << "admin:O ann:A" << "admin" << -1;
        QTest::newRow("no Administrator") << "bob:O cid:S" << "bob" << -1;
        QTest::newRow("unknown name") << "admin:A bob:O" << "eve" << -1;
        QTest::newRow("other case") << "admin:A bob:O" << "BOB" << -1;
        QTest::newRow("empty name") << "admin:A bob:O" << "" << -1;
        QTest::newRow("last Administrator") << "admin:O ann:A bob:O" << "ann" << -2;
    }
    // clang-format on
    void removeAccount()
    {
        QFETCH(QString, given);
        QFETCH(QString, name);
        QFETCH(int, removed);
        QByteArray bytes = fileFrom(given);
        QVERIFY(writeAll(m_file, bytes));
        const AccountResult result = accounts::removeAccount(m_file, name);
        QCOMPARE(result.ok, removed >= 0);
        QCOMPARE(result.message, removed == -2 ? "The last Administrator account cannot be deleted." : "");
        QCOMPARE(result.detail.isEmpty(), false);
        if (removed >= 0)
            bytes.remove(removed * 67, 67);
        QCOMPARE(readAll(m_file), bytes);
    }

    // On a terminal the password is asked twice and never shown; a signal at
    // the prompt ends the program with the terminal's echo back on.
    void passwordOnTerminal_data()
    {
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<int>("exit"); // a signal: the one that ended it
        QTest::newRow("the same twice") << QByteArray("Ab1cd9\n") << 0;
        QTest::newRow("two different") << QByteArray("Ab1cd8\n") << 1;
        QTest::newRow("Ctrl+C") << QByteArray() << int(SIGINT);
        QTest::newRow("killed") << QByteArray() << int(SIGTERM);
        QTest::newRow("terminal closed") << QByteArray() << int(SIGHUP);
    }
    void passwordOnTerminal()
    {
        QFETCH(QByteArray, second);
        QFETCH(int, exit);
        PtyPair terminal;
        QVERIFY(terminal.isValid());
        termios tio{};
        QVERIFY(::tcgetattr(terminal.master(), &tio) == 0);
        tio.c_lflag |= ECHO | ICANON;
        tio.c_iflag |= ICRNL;
        QVERIFY(::tcsetattr(terminal.master(), TCSANOW, &tio) == 0);
        QProcess tool;
        const QByteArray slave = QFile::encodeName(terminal.slavePath());
        tool.setChildProcessModifier([slave] {
            const int fd = ::open(slave.constData(), O_RDWR | O_NOCTTY);
            ::dup2(fd, STDIN_FILENO);
        });
        tool.start(TELVARO_BIN_DIR "/telvaro-users", {m_file, "add", "ann", "Setup"});
        QVERIFY(tool.waitForStarted());
        QByteArray prompts;
        for (const QByteArray &typed : {QByteArray("Ab1cd9\n"), second}) {
            QTRY_VERIFY2((prompts += tool.readAllStandardError()).endsWith("assword: "), prompts.constData());
            prompts.clear();
            if (typed.isEmpty())
                ::kill(pid_t(tool.processId()), exit);
            else
                terminal.write(typed);
        }
        QVERIFY(tool.waitForFinished(10000));
        QCOMPARE(tool.exitCode(), exit); // for a signal, Qt gives its number
        QCOMPARE(tool.exitStatus(), second.isEmpty() ? QProcess::CrashExit : QProcess::NormalExit);
        QVERIFY(::tcgetattr(terminal.master(), &tio) == 0);
        QVERIFY(tio.c_lflag & ECHO);
        QVERIFY(!terminal.read(100, 300).contains("Ab1cd"));
        QCOMPARE(readAccounts(m_file).accounts.size(), tool.exitCode() == 0 ? 1 : 0);
    }

    void missingAndNewFiles()
    {
        const QString missing = m_dir.filePath("new/files/users.dat");
        QCOMPARE(accounts::addOrChange(missing, acc("admin", "pw", "Administrator"), kToday).message,
                 "Missing account file!\nContact administrator");
        QCOMPARE(accounts::removeAccount(missing, "bob").message, "Missing account file!");
        QCOMPARE(readAccounts(missing).status, AccountList::Status::Missing);
        QVERIFY(!QFileInfo::exists(QFileInfo(missing).path()));
        QVERIFY(accounts::addOrChange(missing, acc("admin", "pw", "Administrator"), kToday, IfMissing::Create).ok);
        QCOMPARE(mode(missing), 0600);
        // An existing file keeps the permissions its owner gave it.
        QVERIFY(::chmod(QFile::encodeName(missing).constData(), 0640) == 0);
        QVERIFY(accounts::addOrChange(missing, acc("bob", "pw", "Setup"), kToday).ok);
        QCOMPARE(mode(missing), 0640);
        // ... and its owner, when root rewrites it.
        if (::geteuid() == 0) {
            QVERIFY(::chown(QFile::encodeName(missing).constData(), 65534, 65534) == 0);
            QVERIFY(accounts::addOrChange(missing, acc("carl", "pw", "Setup"), kToday).ok);
            struct stat st {};
            QVERIFY(::stat(QFile::encodeName(missing).constData(), &st) == 0);
            QCOMPARE(int(st.st_uid), 65534);
            QCOMPARE(int(st.st_gid), 65534);
            QCOMPARE(mode(missing), 0640);
        }
        QCOMPARE(readAccounts(m_dir.path()).status, AccountList::Status::Unreadable);
    }

    // clang-format off
    void matchLogin_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QStringList>("levels");
        QTest::newRow("one") << "admin" << "pw1" << QStringList{"Administrator"};
        QTest::newRow("every match, in file order") << "bob" << "pw2" << QStringList{"Guest", "Setup"};
        QTest::newRow("name case") << "Bob" << "pw2" << QStringList{};
        QTest::newRow("password case") << "admin" << "PW1" << QStringList{};
        QTest::newRow("no trimming") << "bob " << "pw2" << QStringList{};
        QTest::newRow("empty password") << "admin" << "" << QStringList{};
    }
    // clang-format on
    void matchLogin()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        const QList<Account> list{acc("admin", "pw1", "Administrator"), acc("bob", "pw2", "Guest"),
                                  acc("bob", "other", "Operator"), acc("bob", "pw2", "Setup")};
        QStringList levels;
        for (const Account &a : accounts::matchLogin(list, user, password))
            levels << a.level;
        QTEST(levels, "levels");
    }

    // The old file survives a write that fails, and no temporary file is left.
    // clang-format off
    void failingWriteKeepsOldFile_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("add, file size limit") << "add";
        QTest::newRow("delete, file size limit") << "delete";
        QTest::newRow("folder not writable") << "folder";
    }
    // clang-format on
    void failingWriteKeepsOldFile()
    {
        QFETCH(QString, how);
        const QByteArray old = fileFrom("admin:A bob:O ann:A cid:S");
        QVERIFY(writeAll(m_file, old));
        const QString folder = QFileInfo(m_file).path();
        auto attempt = [&]() {
            const AccountResult r = how == u"delete" ? accounts::removeAccount(m_file, "ann")
                                                     : accounts::addOrChange(m_file, acc("eve", "pw", "Setup"), kToday);
            return !r.ok && r.message.contains("could not be written") ? 0 : 1;
        };
        if (how == u"folder") {
            QVERIFY(setMode(m_dir.path(), 0755) && setMode(folder, 0555) && setMode(m_file, 0666));
            QCOMPARE(unprivileged(attempt), 0);
            QVERIFY(setMode(folder, 0755));
        } else {
            // Like a full disk: writing past 100 bytes fails with EFBIG.
            rlimit saved{};
            QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
            const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = saved;
            small.rlim_cur = 100;
            QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
            const int result = attempt();
            ::setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, oldHandler);
            QCOMPARE(result, 0);
        }
        QCOMPARE(readAll(m_file), old);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"users.dat"});
    }

    // clang-format off
    void whereTheFileLives_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<bool>("beside");
        QTest::newRow("program folder writable") << "" << true;
        QTest::newRow("file writable") << "files/users.dat" << true;
        QTest::newRow("program folder read-only") << "read-only" << false;
        QTest::newRow("files folder read-only") << "files/ read-only" << false;
        QTest::newRow("files is a plain file") << "files" << false;
        QTest::newRow("shared read-only file") << "files/users.dat read-only" << true;
    }
    // clang-format on
    void whereTheFileLives()
    {
        QFETCH(QString, layout);
        QFETCH(bool, beside);
        // Modes for a child that is not the owner: 0777 writable, 0555 not.
        const QString program = QFileInfo(m_file).path();
        QVERIFY(setMode(m_dir.path(), 0755) && setMode(program, layout == u"read-only" ? 0555 : 0777));
        if (layout.startsWith("files/"))
            QVERIFY(QDir(program).mkdir("files")
                    && setMode(program + "/files", layout.endsWith("read-only") ? 0555 : 0777));
        if (layout.startsWith(u"files/users.dat") || layout == u"files") {
            const QString path = program + "/" + layout.section(u' ', 0, 0);
            QVERIFY(writeAll(path, {}) && setMode(path, layout.endsWith("read-only") ? 0444 : 0666));
        }
        const QStringList before = QDir(program).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const QString expected = beside ? program + "/files/users.dat" : "/data/Telvaro/files/users.dat";
        QCOMPARE(unprivileged([&] { return accountFilePath(program, "/data") == expected ? 0 : 1; }), 0);
        QCOMPARE(QDir(program).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        // An installed program: the home, for every user.
        QCOMPARE(accountFilePath("/usr/bin", "/data"), QStringLiteral("/data/Telvaro/files/users.dat"));
    }

    // Rows: given file ("-" none, "/" a folder), arguments after FILE, standard
    // input, exit code, text on standard error, accounts afterwards.
    // clang-format off
    void cli_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("after");
        const QString two = "admin:A bob:O", twoAfter = "admin/Administrator/pw/01.01.20/dcs bob/Operator/pw/01.01.20/";
        QTest::newRow("list") << two << QStringList{"list"} << QByteArray() << 0 << "" << twoAfter;
        QTest::newRow("add creates the file") << "-" << QStringList{"add", "admin", "Administrator"} << QByteArray("S3cret!\n")
                                              << 0 << "" << "admin/Administrator/S3cret!/TODAY/dcs";
        QTest::newRow("add, no rights by default") << "admin:A" << QStringList{"add", "bob", "Operator"}
            << QByteArray("Qx7q\r\n") << 0 << "" << "admin/Administrator/pw/01.01.20/dcs bob/Operator/Qx7q/TODAY/";
        QTest::newRow("add with rights") << "-" << QStringList{"add", "bob", "Setup", "--rights=display,devices"}
                                         << QByteArray("Qx7q") << 0 << "" << "bob/Setup/Qx7q/TODAY/ds";
        QTest::newRow("add changes, date kept") << two << QStringList{"add", "bob", "Setup"} << QByteArray("Zz9z\nmore\n")
            << 0 << "" << "admin/Administrator/pw/01.01.20/dcs bob/Setup/Zz9z/01.01.20/";
        QTest::newRow("unknown level") << two << QStringList{"add", "bob", "Boss"} << QByteArray("Qx7q\n") << 2 << "LEVEL" << twoAfter;
        QTest::newRow("unknown right") << two << QStringList{"add", "bob", "Setup", "--rights", "print"} << QByteArray("Qx7q\n")
                                       << 2 << "print" << twoAfter;
        QTest::newRow("name too long") << two << QStringList{"add", "elevenchars", "Setup"} << QByteArray("Qx7q\n") << 2 << "NAME" << twoAfter;
        QTest::newRow("no password") << two << QStringList{"add", "bob", "Setup"} << QByteArray() << 1 << "password" << twoAfter;
        QTest::newRow("password too long") << two << QStringList{"add", "bob", "Setup"} << QByteArray("Qx7q5678901\n") << 1
                                           << "longer than 10" << twoAfter;
        QTest::newRow("last Administrator's level") << two << QStringList{"add", "admin", "Setup"} << QByteArray("Qx7q\n") << 1
                                                    << "last Administrator" << twoAfter;
        QTest::newRow("delete") << two << QStringList{"delete", "bob"} << QByteArray() << 0 << ""
                                << "admin/Administrator/pw/01.01.20/dcs";
        QTest::newRow("delete admin") << two << QStringList{"delete", "admin"} << QByteArray() << 1 << "\"admin\"" << twoAfter;
        QTest::newRow("delete last Administrator") << "admin:O ann:A" << QStringList{"delete", "ann"} << QByteArray() << 1
            << "last Administrator" << "admin/Operator/pw/01.01.20/ ann/Administrator/pw/01.01.20/dcs";
        QTest::newRow("list, no file") << "-" << QStringList{"list"} << QByteArray() << 2 << "no such" << "";
        QTest::newRow("delete, file is a folder") << "/" << QStringList{"delete", "bob"} << QByteArray() << 2 << "cannot read" << "";
        QTest::newRow("unknown command") << two << QStringList{"show"} << QByteArray() << 2 << "unknown command" << twoAfter;
    }
    // clang-format on
    void cli()
    {
        QFETCH(QString, given);
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(QString, error);
        QFETCH(QString, after);
        if (given == u"/")
            QVERIFY(QDir().mkpath(m_file));
        else if (given != u"-")
            QVERIFY(writeAll(m_file, fileFrom(given)));
        QProcess tool;
        tool.start(TELVARO_BIN_DIR "/telvaro-users", QStringList{m_file} + args);
        QVERIFY(tool.waitForStarted());
        tool.write(input);
        tool.closeWriteChannel();
        QVERIFY(tool.waitForFinished(10000));
        const QString out = tool.readAllStandardOutput(), err = tool.readAllStandardError();
        QTEST(tool.exitCode(), "exit");
        QVERIFY2(err.contains(error), qPrintable(err));
        if (args[0] == u"list" && tool.exitCode() == 0)
            QCOMPARE(out,
                     "admin\tAdministrator\t01.01.20\tdevices,communication,display\nbob\tOperator\t01.01.20\t-\n");
        const QString password = QString::fromLatin1(input).section(u'\n', 0, 0).trimmed();
        if (!password.isEmpty())
            QVERIFY(!out.contains(password) && !err.contains(password));
        if (given != u"/")
            QCOMPARE(describe(m_file), QString(after).replace("TODAY", registrationText(QDate::currentDate())));
        if (given == u"-" && tool.exitCode() == 0)
            QCOMPARE(mode(m_file), 0600);
    }
};

QTEST_GUILESS_MAIN(TstAccounts)
#include "tst_accounts.moc"
