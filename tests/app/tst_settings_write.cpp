// Writing the settings file: every key survives a round trip, the writer keeps
// every line it does not own, and it never destroys the old file when it cannot
// write.

#include "config/safe_write.h"
#include "settings_test_support.h"

#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <functional>

#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace settings_test;

namespace {

// Root ignores permission bits, so checks of "not writable" run in a child that
// has given up root. Returns the child's exit code (fn's result), or the result
// of fn itself when we are not root.
pid_t forkUnprivileged(const std::function<int()> &fn)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(99);
        ::_exit(fn());
    }
    return pid;
}

int runUnprivileged(const std::function<int()> &fn)
{
    if (::geteuid() != 0)
        return fn();
    const pid_t pid = forkUnprivileged(fn);
    if (pid < 0)
        return 97;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

} // namespace

class TstSettingsWrite : public QObject, private SettingsFixture {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void roundTrip();
    void valuesStayOnOneLine();
    void firstSaveCreatesFile();
    void mainWindowKeysOnFirstRun();
    void comPortKeys();
    void writeKeepsForeignLines();
    void loadAndSaveLeavesFileUnchanged();
    void crlfFileSurvivesWrite();
    void saveFailureKeepsOldFile_data();
    void saveFailureKeepsOldFile();
    void readOnlyFolderWritableFile_data();
    void readOnlyFolderWritableFile();
    void fullDiskKeepsOldFile();
    void windows1250FileKeepsItsBytes();
    void windows1250TrailingByteKept();
    void killedSaveKeepsSettings();
    void hugeFileLosesNothing();
    void fileNotReadWholeIsNotRewritten_data();
    void fileNotReadWholeIsNotRewritten();
};

void TstSettingsWrite::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // A rewrite in place keeps the old content in the cache folder, which
    // the child that gives up root must be able to write.
    const QString cache = m_dir->filePath(QStringLiteral("cache"));
    QVERIFY(QDir().mkpath(cache) && ::chmod(QFile::encodeName(cache).constData(), 0777) == 0);
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
}

void TstSettingsWrite::cleanup()
{
    // A failed test may leave a folder without write permission behind.
    if (m_dir)
        QProcess::execute(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("u+rwx"), m_dir->path()});
    m_dir.reset();
}

// Every key written, saved and read back by a fresh reader.
void TstSettingsWrite::roundTrip()
{
    IniFile ini(path());
    QMap<QString, QString> expected = defaults();
    auto put = [&](const QString &key, const QString &value) {
        ini.writeString(key.section(u'/', 0, 0), key.section(u'/', 1), value);
        expected[key] = value;
    };
    put(QStringLiteral("Misc/Dir"), QString::fromUtf8("/srv/data with spaces/zażółć/"));
    put(QStringLiteral("Misc/ExportSeparator"), QStringLiteral(","));
    put(QStringLiteral("Misc/GenCode"), QStringLiteral("31"));
    put(QStringLiteral("Com port/Name"), QStringLiteral("/dev/serial/by-id/usb-Conv_1-if00"));
    put(QStringLiteral("Com port/Speed"), QStringLiteral("2400"));
    put(QStringLiteral("Com port/Parity"), QStringLiteral("None"));
    put(QStringLiteral("Ethernet/Port"), QStringLiteral("40000"));
    put(QStringLiteral("LANXP/IP"), QStringLiteral("10.1.2.3"));
    put(QStringLiteral("LANXP/Port"), QStringLiteral("4001"));
    put(QStringLiteral("LANXP/NetNumber"), QStringLiteral("1.2.3"));
    put(QStringLiteral("Titles/Title1"), QStringLiteral("Energy"));
    put(QStringLiteral("Titles/Title13"), QStringLiteral("a=b"));
    put(QStringLiteral("Titles/SecMain"), QStringLiteral("Volume"));

    auto putInt = [&](const QString &key, int value) {
        ini.writeInteger(key.section(u'/', 0, 0), key.section(u'/', 1), value);
        expected[key] = QString::number(value);
    };
    putInt(QStringLiteral("Mbus/SearchFrom"), 1);
    putInt(QStringLiteral("Mbus/SearchTo"), 250);
    putInt(QStringLiteral("Mbus/Timeout"), 9900);
    putInt(QStringLiteral("Misc/Language"), 3);
    putInt(QStringLiteral("Misc/Retry"), 0);
    putInt(QStringLiteral("LANXP/EthTimeout"), 999);
    putInt(QStringLiteral("Titles/Count"), 13);

    // Every boolean flipped from its default.
    for (const char *key : {"Misc/Encoding", "Misc/UseEthernet", "Misc/UseLANXP", "Misc/VelkServer", "Misc/Use5B",
                            "Misc/GlobalInit", "Misc/MSBSearch", "Misc/LSBSearch", "Misc/SMain", "Misc/FastReads",
                            "Misc/AllTelegrams", "Misc/StandardTiming", "Archive/Enabled", "Com port/RTS",
                            "Com port/DTR", "Ethernet/AutoOpen", "Ethernet/AutoDisplay", "Ethernet/AutoMbus"}) {
        const QString k = QString::fromLatin1(key);
        const bool value = expected.value(k) == QLatin1String("0");
        ini.writeBool(k.section(u'/', 0, 0), k.section(u'/', 1), value);
        expected[k] = flag(value);
    }

    QString error;
    QVERIFY2(ini.save(&error), qPrintable(error));

    IniFile again(path());
    QVERIFY(again.load());
    compareAll(flatten(loadSettings(again, kDefaultDir)), expected);

    // Booleans are stored as "1" and "0".
    const QString text = QString::fromUtf8(readFile(path()));
    QVERIFY(text.contains(QLatin1String("\nMSBSearch=0\n")));
    QVERIFY(text.contains(QLatin1String("\nUseEthernet=1\n")));
    // Every section once: writing keys of one section never opens it twice.
    for (const char *section : {"[Mbus]", "[Misc]", "[Com port]", "[Ethernet]", "[LANXP]", "[Titles]"})
        QCOMPARE(text.count(QLatin1String(section)), 1);
}

// A value with line breaks must not smuggle extra keys or sections into the file.
void TstSettingsWrite::valuesStayOnOneLine()
{
    IniFile ini(path());
    ini.writeInteger(QStringLiteral("Misc"), QStringLiteral("Language"), 2);
    ini.writeString(QStringLiteral("Misc"), QStringLiteral("Dir"),
                    QStringLiteral("/a\n[Mbus]\nTimeout=9000\r\nLanguage=3"));
    QVERIFY(ini.save());

    IniFile again(path());
    QVERIFY(again.load());
    const Settings s = loadSettings(again, kDefaultDir);
    QCOMPARE(s.storedLanguage, 2);
    QCOMPARE(s.timeout, 500);
    QVERIFY(!s.dir.contains(u'\n'));
    QVERIFY(!s.dir.contains(u'\r'));
    QVERIFY(s.dir.startsWith(QLatin1String("/a")));
    QVERIFY(!again.hasKey(QStringLiteral("Mbus"), QStringLiteral("Timeout")));
}

void TstSettingsWrite::firstSaveCreatesFile()
{
    IniFile ini(path());
    QVERIFY(!ini.load());
    QVERIFY(!QFile::exists(path()));
    ini.writeBool(QStringLiteral("Ethernet"), QStringLiteral("AutoMbus"), true);
    QVERIFY(!QFile::exists(path())); // nothing touches the disk before save
    QString error;
    QVERIFY2(ini.save(&error), qPrintable(error));
    QVERIFY(QFile::exists(path()));
    IniFile again(path());
    QVERIFY(again.load());
    QVERIFY(again.readBool(QStringLiteral("ethernet"), QStringLiteral("autombus"), false));
    // Made for its owner only under the usual umask (it may hold a database
    // password); a mode the user chose is kept when it is written again.
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QCOMPARE(QFile::permissions(path()) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), owner);
    QVERIFY(QFile::setPermissions(path(), owner | QFileDevice::ReadGroup));
    QVERIFY(again.save());
    QCOMPARE(QFile::permissions(path()) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
             owner | QFileDevice::ReadGroup);
    // Any new file (an export of readings, a log) likewise, under a permissive umask.
    const mode_t umaskBefore = ::umask(0);
    const QString exported = path() + QStringLiteral(".csv");
    QVERIFY(writeFileSafely(exported, "1;2\n"));
    ::umask(umaskBefore);
    QCOMPARE(QFile::permissions(exported) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser), owner);
}

// The close of the main window on a first run: exactly the five keys in [Mbus] and [Misc].
void TstSettingsWrite::mainWindowKeysOnFirstRun()
{
    IniFile ini(path());
    ini.load();
    Settings s = loadSettings(ini, kDefaultDir);
    s.searchFrom = 4;
    s.searchTo = 17;
    s.timeout = 1200;
    s.storedLanguage = 2;
    // Values nobody at close owns must not be written.
    s.com.name = QStringLiteral("COM9");
    s.retry = 5;
    writeMainWindowKeys(ini, s);
    QVERIFY(ini.save());

    QStringList lines = QString::fromUtf8(readFile(path())).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines,
             QStringList({QStringLiteral("[Mbus]"), QStringLiteral("SearchFrom=4"), QStringLiteral("SearchTo=17"),
                          QStringLiteral("Timeout=1200"), QStringLiteral("[Misc]"),
                          QStringLiteral("Dir=") + kDefaultDir, QStringLiteral("Language=2")}));

    IniFile again(path());
    QVERIFY(again.load());
    const Settings back = loadSettings(again, QStringLiteral("/elsewhere/"));
    QCOMPARE(back.searchFrom, 4);
    QCOMPARE(back.searchTo, 17);
    QCOMPARE(back.timeout, 1200);
    QCOMPARE(back.dir, kDefaultDir); // written back as read, not replaced by the new default
    QCOMPARE(back.storedLanguage, 2);
    QCOMPARE(back.com.name, QStringLiteral("COM1"));
    QCOMPARE(back.retry, 1);
}

// The serial port page writes its five keys into the existing section and nothing else.
void TstSettingsWrite::comPortKeys()
{
    QVERIFY(writeFile(path(), "[com PORT]\nname=COM1\nBaud=keep\n[Mbus]\nTimeout=700\n"));
    IniFile ini(path());
    QVERIFY(ini.load());
    Settings s = loadSettings(ini, kDefaultDir);
    s.com.name = QStringLiteral("/dev/ttyUSB0");
    s.com.speed = QStringLiteral("1200");
    s.com.parity = QStringLiteral("odd");
    s.com.rts = true;
    s.com.dtr = false;
    s.timeout = 900; // not the port page's key
    writeComPortKeys(ini, s);
    QVERIFY(ini.save());

    const QString text = QString::fromUtf8(readFile(path()));
    QCOMPARE(text.count(QLatin1String("[com port]"), Qt::CaseInsensitive), 1);
    QCOMPARE(text.count(QLatin1String("name="), Qt::CaseInsensitive), 1);
    QVERIFY(text.contains(QLatin1String("Baud=keep")));
    QVERIFY(text.indexOf(QLatin1String("DTR=0")) < text.indexOf(QLatin1String("[Mbus]")));

    IniFile again(path());
    QVERIFY(again.load());
    const Settings back = loadSettings(again, kDefaultDir);
    QCOMPARE(back.com.name, QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(back.com.speed, QStringLiteral("1200")); // stored as typed; the opening maps it
    QCOMPARE(back.com.parity, QStringLiteral("odd"));
    QCOMPARE(back.com.rts, true);
    QCOMPARE(back.com.dtr, false);
    QCOMPARE(back.timeout, 700);
}

// Comments, unknown keys and sections, garbage and other programs' lines stay
// where they were; an existing key is replaced in place (whatever its case), a
// new key joins its section before the next one, a new section goes to the end.
void TstSettingsWrite::writeKeepsForeignLines()
{
    const QByteArray before = "; Telvaro settings, edited by hand\n"
                              "[MBUS]\n"
                              "searchfrom=7\n"
                              "; the scan range above\n"
                              "Unknown=keep me\n"
                              "\n"
                              "[Com port]\n"
                              "Name=ttyUSB0\n"
                              "a line without equals sign\n"
                              "[Extra]\n"
                              "x=1\n"
                              "\n"
                              "\n";
    QVERIFY(writeFile(path(), before));
    IniFile ini(path());
    QVERIFY(ini.load());
    Settings s = loadSettings(ini, kDefaultDir);
    QCOMPARE(s.searchFrom, 7);
    s.searchFrom = 3;
    s.searchTo = 9;
    s.timeout = 800;
    s.dir = QStringLiteral("/data/");
    s.storedLanguage = 3;
    writeMainWindowKeys(ini, s);
    QVERIFY(ini.save());

    const QString after = QString::fromUtf8(readFile(path()));
    const QString expected = QStringLiteral("; Telvaro settings, edited by hand\n"
                                            "[MBUS]\n"
                                            "SearchFrom=3\n"
                                            "; the scan range above\n"
                                            "Unknown=keep me\n"
                                            "SearchTo=9\n"
                                            "Timeout=800\n"
                                            "\n"
                                            "[Com port]\n"
                                            "Name=ttyUSB0\n"
                                            "a line without equals sign\n"
                                            "[Extra]\n"
                                            "x=1\n"
                                            "\n"
                                            "\n"
                                            "[Misc]\n"
                                            "Dir=/data/\n"
                                            "Language=3\n");
    // Key names may be written in either case; placement and content must match.
    QVERIFY2(after.compare(expected, Qt::CaseInsensitive) == 0, qPrintable(after));
}

void TstSettingsWrite::loadAndSaveLeavesFileUnchanged()
{
    const QByteArray content = "; comment\n"
                               "[Mbus]\n"
                               "  Timeout = 700   \n"
                               "\tSearchTo=3\n"
                               "junk\n"
                               "\n"
                               "[Other program]\n"
                               "Key=Value with  two  spaces\n"
                               "#hash comment\n";
    QVERIFY(writeFile(path(), content));
    IniFile ini(path());
    QVERIFY(ini.load());
    QVERIFY(ini.save());
    QCOMPARE(readFile(path()), content);
}

// A file from another system with CR LF line ends can be read, written and read again.
void TstSettingsWrite::crlfFileSurvivesWrite()
{
    QVERIFY(writeFile(path(), "[Mbus]\r\nTimeout=700\r\nSearchTo=5\r\n\r\n[Com port]\r\nName=COM2\r\n"));
    IniFile ini(path());
    QVERIFY(ini.load());
    Settings s = loadSettings(ini, kDefaultDir);
    QCOMPARE(s.timeout, 700);
    QCOMPARE(s.searchTo, 5);
    QCOMPARE(s.com.name, QStringLiteral("COM2"));
    s.timeout = 900;
    writeMainWindowKeys(ini, s);
    QVERIFY(ini.save());

    const QByteArray saved = readFile(path());
    // Whatever the line ends, no line may end up with a stray carriage return
    // inside it or an empty line between every pair.
    QVERIFY2(!saved.contains("\r\r"), saved.constData());
    for (const QByteArray &line : saved.split('\n'))
        QVERIFY2(line.indexOf('\r') < 0 || line.indexOf('\r') == line.size() - 1, saved.constData());

    IniFile again(path());
    QVERIFY(again.load());
    const Settings back = loadSettings(again, kDefaultDir);
    QCOMPARE(back.timeout, 900);
    QCOMPARE(back.searchTo, 5);
    QCOMPARE(back.com.name, QStringLiteral("COM2"));
    QCOMPARE(QString::fromUtf8(saved).count(QLatin1String("Timeout=")), 1);
}

void TstSettingsWrite::saveFailureKeepsOldFile_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<bool>("unprivileged");

    QTest::newRow("read-only file") << "read-only file" << false;
    QTest::newRow("read-only file in a writable folder, other user") << "read-only file" << true;
    QTest::newRow("file of another user") << "foreign file" << true;
    QTest::newRow("folder is a plain file") << "folder is a file" << false;
    QTest::newRow("folder missing") << "folder missing" << false;
    QTest::newRow("path is a folder") << "path is a folder" << false;
}

void TstSettingsWrite::saveFailureKeepsOldFile()
{
    QFETCH(QString, layout);
    QFETCH(bool, unprivileged);

    const QByteArray old = "[Mbus]\nTimeout=700\n; keep\n";
    const QString folder = m_dir->filePath(QStringLiteral("folder"));
    QVERIFY(QDir().mkpath(folder));
    QString target = folder + QStringLiteral("/telvaro.ini");
    QVERIFY(writeFile(target, old));
    // The child that gives up root must be able to reach the folder.
    QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);

    if (layout == QLatin1String("read-only file")) {
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0444) == 0);
    } else if (layout == QLatin1String("foreign file")) {
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0644) == 0);
        if (::geteuid() != 0)
            QSKIP("needs a file owned by another user");
    } else if (layout == QLatin1String("folder is a file")) {
        target = folder + QStringLiteral("/telvaro.ini/telvaro.ini");
    } else if (layout == QLatin1String("folder missing")) {
        target = folder + QStringLiteral("/missing/telvaro.ini");
    } else if (layout == QLatin1String("path is a folder")) {
        target = folder;
    }

    IniFile ini(target);
    ini.load();
    ini.writeInteger(QStringLiteral("Mbus"), QStringLiteral("Timeout"), 900);

    auto attempt = [&ini]() -> int {
        QString error;
        if (ini.save(&error))
            return 1;
        return error.isEmpty() ? 2 : 0;
    };
    const int result = unprivileged ? runUnprivileged(attempt) : attempt();
    QVERIFY2(result != 99, "could not give up root");
    QVERIFY2(result != 1, "save reported success");
    QVERIFY2(result != 2, "save failed without saying why");
    QCOMPARE(result, 0);

    ::chmod(QFile::encodeName(folder).constData(), 0777);
    const QString oldPath = folder + QStringLiteral("/telvaro.ini");
    QCOMPARE(readFile(oldPath), old);
    if (layout == QLatin1String("path is a folder"))
        QVERIFY(QFileInfo(folder).isDir());
    // No temporary file is left behind.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("telvaro.ini")});
}

// An administrator's install: the program folder is read-only, the settings
// file in it is writable. Saving rewrites the file in place; when the new
// content does not fit (a file size limit stands in for a full disk), the old
// content stays.
void TstSettingsWrite::readOnlyFolderWritableFile_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("sizeLimit"); // bytes; 0 for none
    QTest::addColumn<bool>("saved");

    const QByteArray old = "[Mbus]\nTimeout=700\n; keep\n";
    QTest::newRow("shorter") << old << QByteArray("[Mbus]\n") << 0 << true;
    QTest::newRow("same length") << old << QByteArray(old).replace("700", "900") << 0 << true;
    QTest::newRow("longer") << old << old + QByteArray(5000, 'x') << 0 << true;
    QTest::newRow("longer than the room left") << old << old + QByteArray(5000, 'x') << 1000 << false;
}

void TstSettingsWrite::readOnlyFolderWritableFile()
{
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, content);
    QFETCH(int, sizeLimit);
    QFETCH(bool, saved);

    const QString folder = m_dir->filePath(QStringLiteral("program"));
    const QString target = folder + QStringLiteral("/telvaro.ini");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeFile(target, old));
    QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(target).constData(), 0666) == 0);
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);

    const int result = runUnprivileged([&] {
        if (sizeLimit > 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(sizeLimit), rlim_t(sizeLimit)};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 3;
        }
        QString error;
        const bool ok = writeFileSafely(target, content, &error);
        return ok ? 1 : error.isEmpty() ? 2 : 0;
    });
    QVERIFY2(result != 99, "could not give up root");
    QVERIFY2(result != 2, "failed without saying why");
    QCOMPARE(result, saved ? 1 : 0);
    QCOMPARE(readFile(target), saved ? content : old);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("telvaro.ini")});

    // The settings store takes the same way: the five close keys reach the file.
    if (saved) {
        QVERIFY(writeFile(target, old));
        const int stored = runUnprivileged([&] {
            IniFile ini(target);
            ini.load();
            ini.writeInteger(QStringLiteral("Mbus"), QStringLiteral("Timeout"), 1300);
            return ini.save() ? 0 : 1;
        });
        QCOMPARE(stored, 0);
        QCOMPARE(readFile(target), QByteArray(old).replace("700", "1300"));
    }
}

// A writable folder but no room for the new content (a file size limit
// stands in for a full disk): the temporary file is never committed.
void TstSettingsWrite::fullDiskKeepsOldFile()
{
    const QByteArray old = "[Mbus]\nTimeout=700\n";
    QVERIFY(writeFile(path(), old));
    QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0777) == 0);
    QVERIFY(::chmod(QFile::encodeName(path()).constData(), 0666) == 0);
    const int result = runUnprivileged([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 3;
        QString error;
        return writeFileSafely(path(), old + QByteArray(5000, 'x'), &error) ? 1 : error.isEmpty() ? 2 : 0;
    });
    QCOMPARE(result, 0);
    QCOMPARE(readFile(path()), old);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("telvaro.ini")});
}

// A file written on Windows (code page 1250, CR LF line ends):
// titles read with their Polish letters, the keys written at close are
// written in that code page and with CR LF, every other line keeps its bytes.
// A Windows-1250 file whose last byte could begin a UTF-8 sequence ("ć" is
// 0xE6): read as Windows-1250, and written back in it.
void TstSettingsWrite::windows1250TrailingByteKept()
{
    QVERIFY(writeFile(path(), "[Titles]\r\nTitle1=Ca\xE6"));
    IniFile ini(path());
    QVERIFY(ini.load());
    QVERIFY(!ini.isUtf8());
    QCOMPARE(ini.readString(QStringLiteral("Titles"), QStringLiteral("Title1"), {}), QString::fromUtf8("Cać"));
    ini.writeString(QStringLiteral("Titles"), QStringLiteral("Title2"), QString::fromUtf8("Łódź"));
    QVERIFY(ini.save());
    const QByteArray saved = readFile(path());
    QVERIFY2(saved.contains("Title1=Ca\xE6")
                 && saved.contains("Title2=\xA3\xF3"
                                   "d\x9F"),
             saved.constData());
}

// A save into a read-only program folder rewrites the file in place; killed
// at any moment, it leaves the old or the new settings once the next start
// has put back what was kept.
void TstSettingsWrite::killedSaveKeepsSettings()
{
    const QString folder = m_dir->filePath(QStringLiteral("program"));
    const QString target = folder + QStringLiteral("/telvaro.ini");
    const QByteArray first = "[Mbus]\nTimeout=700\n" + QByteArray(4000000, ';') + '\n';
    const QByteArray second = "[Mbus]\nTimeout=900\n";
    QVERIFY(QDir().mkpath(folder) && writeFile(target, first));
    QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(target).constData(), 0666) == 0);
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
    QRandomGenerator random(20);
    for (int run = 0; run < 40; ++run) {
        const pid_t saver = forkUnprivileged([&] {
            for (int i = 0;; ++i)
                writeFileSafely(target, i % 2 ? first : second);
            return 0;
        });
        QVERIFY(saver > 0);
        QThread::usleep(random.bounded(1000, 60000));
        ::kill(saver, SIGKILL);
        int status = 0;
        ::waitpid(saver, &status, 0);
        QVERIFY2(WIFSIGNALED(status), "the saver ended by itself");
        IniFile ini(target);
        QVERIFY(ini.load()); // puts back what a cut-short rewrite kept
        const QByteArray now = readFile(target);
        QVERIFY2(now == first || now == second,
                 qPrintable(QStringLiteral("run %1: %2 bytes").arg(run).arg(now.size())));
    }
}

void TstSettingsWrite::windows1250FileKeepsItsBytes()
{
    const QByteArray before = "; Ustawienia \xBF\xF3\xB3\xE6\r\n"
                              "[Titles]\r\n"
                              "Count=2\r\n"
                              "Title1=Ciep\xB3o\r\n"
                              "Title2=Obj\xEAto\x9C\xE6  \r\n"
                              "[Mbus]\r\n"
                              "Timeout=700\r\n"
                              "[Other]\r\n"
                              "Note=\xA3\xF3\x64\x9F\r\n";
    QVERIFY(writeFile(path(), before));
    IniFile ini(path());
    QVERIFY(ini.load());
    QVERIFY(!ini.isUtf8());
    Settings s = loadSettings(ini, kDefaultDir);
    QCOMPARE(s.titles[0], QString::fromUtf8("Ciepło"));
    QCOMPARE(s.titles[1], QString::fromUtf8("Objętość"));
    s.timeout = 900;
    s.dir = QString::fromUtf8("C:\\Pomiary\\Łódź\\");
    writeMainWindowKeys(ini, s);
    QVERIFY(ini.save());

    const QByteArray expected = QByteArray(before)
                                    .replace("Timeout=700\r\n", "Timeout=900\r\n")
                                    .replace("[Other]", "SearchFrom=0\r\nSearchTo=0\r\n[Other]")
                                + "\r\n[Misc]\r\nDir=C:\\Pomiary\\\xA3\xF3\x64\x9F\\\r\nLanguage=1\r\n";
    QCOMPARE(readFile(path()), expected);
}

// Nothing beyond the first megabytes is lost when a big file is written back.
void TstSettingsWrite::hugeFileLosesNothing()
{
    QByteArray junk;
    for (int i = 0; junk.size() < 6 * 1024 * 1024; ++i)
        junk += "Line" + QByteArray::number(i) + '=' + QByteArray(100, 'x') + '\n';
    const QByteArray before = "[Junk]\n" + junk + "[Mbus]\nTimeout=700\n";
    QVERIFY(writeFile(path(), before));
    IniFile ini(path());
    QVERIFY(ini.load());
    QCOMPARE(loadSettings(ini, kDefaultDir).timeout, 700);
    ini.writeInteger(QStringLiteral("Mbus"), QStringLiteral("Timeout"), 800);
    QVERIFY(ini.save());
    QCOMPARE(readFile(path()), QByteArray(before).replace("Timeout=700", "Timeout=800"));
}

// A file that exists but cannot be read whole is never replaced by what
// little was read.
void TstSettingsWrite::fileNotReadWholeIsNotRewritten_data()
{
    QTest::addColumn<QString>("why");
    QTest::newRow("no read permission") << "unreadable";
    QTest::newRow("larger than any settings file") << "too large";
}

void TstSettingsWrite::fileNotReadWholeIsNotRewritten()
{
    QFETCH(QString, why);
    const QByteArray old = "[Mbus]\nTimeout=700\n";
    QVERIFY(writeFile(path(), old));
    QVERIFY(::chmod(QFile::encodeName(m_dir->path()).constData(), 0777) == 0);
    qint64 size = old.size();
    if (why == QLatin1String("unreadable")) {
        QVERIFY(::chmod(QFile::encodeName(path()).constData(), 0222) == 0);
    } else {
        size = IniFile::kMaxFileSize + 1;
        QVERIFY(::truncate(QFile::encodeName(path()).constData(), size) == 0); // sparse: no disk used
    }
    const int result = runUnprivileged([&] {
        IniFile ini(path());
        ini.load();
        if (ini.readError().isEmpty())
            return 2;
        ini.writeInteger(QStringLiteral("Mbus"), QStringLiteral("Timeout"), 900);
        QString error;
        return ini.save(&error) ? 1 : error.contains(QLatin1String("read whole")) ? 0 : 3;
    });
    QCOMPARE(result, 0);
    QVERIFY(::chmod(QFile::encodeName(path()).constData(), 0644) == 0);
    QCOMPARE(QFileInfo(path()).size(), size);
    QCOMPARE(readFile(path()).left(old.size()), old);
}

QTEST_GUILESS_MAIN(TstSettingsWrite)
#include "tst_settings_write.moc"
