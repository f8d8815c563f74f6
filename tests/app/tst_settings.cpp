// The settings file: defaults when keys or the whole file are missing, tolerant
// reading of whatever a user or an older program left in it, the clamped ranges,
// and a writer that keeps every line it does not own and never destroys the old
// file when it cannot write.

#include "config/ini_file.h"
#include "config/settings.h"

#include <QtTest>

#include <functional>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString kDefaultDir = QStringLiteral("/opt/telvaro/");

QString flag(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

// Every value as "Section/Key" -> text, so tables can name keys as the file does.
QMap<QString, QString> flatten(const Settings &s)
{
    QMap<QString, QString> m;
    m[QStringLiteral("Mbus/SearchFrom")] = QString::number(s.searchFrom);
    m[QStringLiteral("Mbus/SearchTo")] = QString::number(s.searchTo);
    m[QStringLiteral("Mbus/Timeout")] = QString::number(s.timeout);
    m[QStringLiteral("Misc/Dir")] = s.dir;
    m[QStringLiteral("Misc/Language")] = QString::number(s.language);
    m[QStringLiteral("Misc/Encoding")] = flag(s.encodingUnicode);
    m[QStringLiteral("Misc/ExportSeparator")] = s.exportSeparator;
    m[QStringLiteral("Misc/Retry")] = QString::number(s.retry);
    m[QStringLiteral("Misc/UseEthernet")] = flag(s.route.useEthernet);
    m[QStringLiteral("Misc/UseLANXP")] = flag(s.route.useLanxp);
    m[QStringLiteral("Misc/VelkServer")] = flag(s.route.velkServer);
    m[QStringLiteral("Misc/Use5B")] = flag(s.use5B);
    m[QStringLiteral("Misc/GlobalInit")] = flag(s.globalInit);
    m[QStringLiteral("Misc/MSBSearch")] = flag(s.msbSearch);
    m[QStringLiteral("Misc/LSBSearch")] = flag(s.lsbSearch);
    m[QStringLiteral("Misc/GenCode")] = s.genCode;
    m[QStringLiteral("Misc/SMain")] = flag(s.secondaryMain);
    m[QStringLiteral("Com port/Name")] = s.com.name;
    m[QStringLiteral("Com port/Speed")] = s.com.speed;
    m[QStringLiteral("Com port/Parity")] = s.com.parity;
    m[QStringLiteral("Com port/RTS")] = flag(s.com.rts);
    m[QStringLiteral("Com port/DTR")] = flag(s.com.dtr);
    m[QStringLiteral("Ethernet/Port")] = s.listenPort;
    m[QStringLiteral("Ethernet/AutoOpen")] = flag(s.autoOpen);
    m[QStringLiteral("Ethernet/AutoDisplay")] = flag(s.autoDisplay);
    m[QStringLiteral("Ethernet/AutoMbus")] = flag(s.autoMbus);
    m[QStringLiteral("LANXP/IP")] = s.remoteIp;
    m[QStringLiteral("LANXP/Port")] = s.remotePort;
    m[QStringLiteral("LANXP/NetNumber")] = s.netNumber;
    m[QStringLiteral("LANXP/EthTimeout")] = QString::number(s.ethTimeout);
    m[QStringLiteral("Titles/Count")] = QString::number(s.titleCount);
    for (int i = 0; i < Settings::kTitleCount; ++i) {
        const QString key = i < 13 ? QStringLiteral("Titles/Title%1").arg(i + 1) : QStringLiteral("Titles/SecMain");
        m[key] = s.titles[i];
    }
    return m;
}

void compareAll(const QMap<QString, QString> &actual, const QMap<QString, QString> &expected)
{
    QCOMPARE(actual.keys(), expected.keys());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        QVERIFY2(actual.value(it.key()) == it.value(),
                 qPrintable(QStringLiteral("%1: got \"%2\", expected \"%3\"")
                                .arg(it.key(), actual.value(it.key()), it.value())));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Root ignores permission bits, so checks of "not writable" run in a child that
// has given up root. Returns the child's exit code (fn's result), or the result
// of fn itself when we are not root.
int runUnprivileged(const std::function<int()> &fn)
{
    if (::geteuid() != 0)
        return fn();
    const pid_t pid = ::fork();
    if (pid < 0)
        return 97;
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

class TstSettings : public QObject {
    Q_OBJECT

private:
    QString path(const QString &name = QStringLiteral("telvaro.ini")) const { return m_dir->filePath(name); }
    Settings loadFrom(const QByteArray &content)
    {
        writeFile(path(), content);
        IniFile ini(path());
        ini.load();
        return loadSettings(ini, kDefaultDir);
    }
    QMap<QString, QString> defaults() const
    {
        IniFile ini(m_dir->filePath(QStringLiteral("absent.ini")));
        ini.load();
        return flatten(loadSettings(ini, kDefaultDir));
    }

    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init();
    void cleanup();

    void defaultValues_data();
    void defaultValues();
    void uselessContentGivesDefaults_data();
    void uselessContentGivesDefaults();
    void reading_data();
    void reading();
    void nonNumericValues_data();
    void nonNumericValues();
    void booleans_data();
    void booleans();
    void clamping_data();
    void clamping();
    void titles_data();
    void titles();
    void encodings_data();
    void encodings();

    void roundTrip();
    void valuesStayOnOneLine();
    void firstSaveCreatesFile();
    void mainWindowKeysOnFirstRun();
    void comPortKeys();
    void writeKeepsForeignLines();
    void loadAndSaveLeavesFileUnchanged();
    void crlfFileSurvivesWrite();
    void hugeFile_data();
    void hugeFile();
    void saveFailureKeepsOldFile_data();
    void saveFailureKeepsOldFile();
};

void TstSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TstSettings::cleanup()
{
    // A failed test may leave a folder without write permission behind.
    if (m_dir)
        QProcess::execute(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("u+rwx"), m_dir->path()});
    m_dir.reset();
}

void TstSettings::defaultValues_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const std::pair<const char *, QString> rows[] = {
        {"Mbus/SearchFrom", "0"},        {"Mbus/SearchTo", "0"},           {"Mbus/Timeout", "500"},
        {"Misc/Dir", kDefaultDir},       {"Misc/Language", "1"},           {"Misc/Encoding", "0"},
        {"Misc/ExportSeparator", ";"},   {"Misc/Retry", "1"},              {"Misc/UseEthernet", "0"},
        {"Misc/UseLANXP", "0"},          {"Misc/VelkServer", "0"},         {"Misc/Use5B", "0"},
        {"Misc/GlobalInit", "0"},        {"Misc/MSBSearch", "1"},          {"Misc/LSBSearch", "0"},
        {"Misc/GenCode", "27"},          {"Misc/SMain", "0"},              {"Com port/Name", "COM1"},
        {"Com port/Speed", "300"},       {"Com port/Parity", "Even"},      {"Com port/RTS", "0"},
        {"Com port/DTR", "0"},           {"Ethernet/Port", "59615"},       {"Ethernet/AutoOpen", "1"},
        {"Ethernet/AutoDisplay", "1"},   {"Ethernet/AutoMbus", "0"},       {"LANXP/IP", "192.168.1.3"},
        {"LANXP/Port", "10001"},         {"LANXP/NetNumber", ""},          {"LANXP/EthTimeout", "50"},
        {"Titles/Count", "0"},           {"Titles/Title1", ""},            {"Titles/Title13", ""},
        {"Titles/SecMain", ""},
    };
    for (const auto &[key, expected] : rows)
        QTest::newRow(key) << QString::fromLatin1(key) << expected;
}

// First run: no settings file at all.
void TstSettings::defaultValues()
{
    QFETCH(QString, key);
    QFETCH(QString, expected);
    IniFile ini(path());
    QVERIFY(!ini.load());
    const auto values = flatten(loadSettings(ini, kDefaultDir));
    QVERIFY2(values.contains(key), qPrintable(key));
    QCOMPARE(values.value(key), expected);
    QVERIFY2(!QFile::exists(path()), "reading must not create the file");
}

void TstSettings::uselessContentGivesDefaults_data()
{
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("blank lines") << QByteArray("\n\n   \n\t\n");
    QTest::newRow("garbage text") << QByteArray("this is not\nan ini file at all\n]]][[[\n=\n==\n;;;\n");
    static const char binary[] = "\x00\x01\xff\xfe[\x00]\x00=\x00\n\x80\x81\x82";
    QTest::newRow("binary") << QByteArray(binary, sizeof binary - 1);
    QTest::newRow("keys before any section") << QByteArray("Timeout=900\nLanguage=2\nName=COM5\n[Mbus]\n");
    QTest::newRow("keys in wrong sections")
        << QByteArray("[Misc]\nTimeout=900\nName=COM5\n[Mbus]\nLanguage=2\nAutoOpen=0\n[Com port]\nGenCode=99\n");
    QTest::newRow("lines without equals sign") << QByteArray("[Mbus]\nTimeout 900\nSearchFrom\n[Misc]\nLanguage:2\n");
    QTest::newRow("empty key") << QByteArray("[Mbus]\n=900\n  = 5\n");
    QTest::newRow("commented out") << QByteArray("[Mbus]\n;Timeout=900\n; SearchTo=9\n[Ethernet]\n;AutoOpen=0\n");
    QTest::newRow("unterminated section header") << QByteArray("[Mbus\nTimeout=900\n[Misc\nLanguage=2\n");
    QTest::newRow("similar section names") << QByteArray("[Mbus2]\nTimeout=900\n[Com]\nName=COM5\n[ComPort]\nName=COM6\n");
    QTest::newRow("similar key names") << QByteArray("[Mbus]\nTimeout2=900\nTime=800\n[Titles]\nTitle=x\nTitle01=y\n");
    QTest::newRow("non-numeric numbers")
        << QByteArray("[Mbus]\nSearchFrom=x\nSearchTo=\nTimeout=abc\n[Misc]\nLanguage=en\nRetry=?\n"
                      "[LANXP]\nEthTimeout=fast\n[Titles]\nCount=many\n");
    QTest::newRow("non-numeric booleans")
        << QByteArray("[Misc]\nMSBSearch=yes\nUseEthernet=on\nEncoding=true\n[Ethernet]\nAutoOpen=false\n"
                      "AutoMbus=TRUE\n[Com port]\nRTS=x\n");
}

void TstSettings::uselessContentGivesDefaults()
{
    QFETCH(QByteArray, content);
    compareAll(flatten(loadFrom(content)), defaults());
}

void TstSettings::reading_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("upper-case section and key") << QByteArray("[MBUS]\nTIMEOUT=700\n") << "Mbus/Timeout" << "700";
    QTest::newRow("lower-case section and key") << QByteArray("[mbus]\ntimeout=700\n") << "Mbus/Timeout" << "700";
    QTest::newRow("mixed case, two words") << QByteArray("[COM PORT]\nnAmE=ttyUSB0\n") << "Com port/Name" << "ttyUSB0";
    QTest::newRow("mixed case LANXP") << QByteArray("[lanxp]\nip=10.0.0.1\n") << "LANXP/IP" << "10.0.0.1";
    QTest::newRow("value case kept") << QByteArray("[Com port]\nParity=odd\n") << "Com port/Parity" << "odd";
    QTest::newRow("spaces around equals") << QByteArray("[Mbus]\n  Timeout  =  700  \n") << "Mbus/Timeout" << "700";
    QTest::newRow("tabs around equals") << QByteArray("[Mbus]\n\tTimeout\t=\t700\t\n") << "Mbus/Timeout" << "700";
    QTest::newRow("spaces inside brackets") << QByteArray("[ Com port ]\nName=COM4\n") << "Com port/Name" << "COM4";
    QTest::newRow("indented section header") << QByteArray("   [Mbus]\nTimeout=700\n") << "Mbus/Timeout" << "700";
    QTest::newRow("comment after header") << QByteArray("[Mbus] ; scan\nTimeout=700\n") << "Mbus/Timeout" << "700";
    QTest::newRow("value holding equals signs")
        << QByteArray("[Titles]\nTitle1=a=b=c\n") << "Titles/Title1" << "a=b=c";
    QTest::newRow("value holding semicolon") << QByteArray("[Misc]\nExportSeparator=;\n") << "Misc/ExportSeparator" << ";";
    QTest::newRow("comma separator") << QByteArray("[Misc]\nExportSeparator=,\n") << "Misc/ExportSeparator" << ",";
    QTest::newRow("empty string value kept empty")
        << QByteArray("[Com port]\nName=\n") << "Com port/Name" << "";
    QTest::newRow("duplicate key: first wins")
        << QByteArray("[Mbus]\nTimeout=700\nTimeout=800\n") << "Mbus/Timeout" << "700";
    QTest::newRow("duplicate key in other case: first wins")
        << QByteArray("[Mbus]\ntimeout=700\nTIMEOUT=800\n") << "Mbus/Timeout" << "700";
    QTest::newRow("duplicate section: first counts")
        << QByteArray("[Mbus]\nSearchTo=5\n[Misc]\n[Mbus]\nTimeout=800\n") << "Mbus/Timeout" << "500";
    QTest::newRow("key after comment and garbage")
        << QByteArray("[Mbus]\n; the timeout\n???\nno equals here\nTimeout=700\n") << "Mbus/Timeout" << "700";
    QTest::newRow("key after blank lines") << QByteArray("[Mbus]\n\n\n\nTimeout=700\n") << "Mbus/Timeout" << "700";
    QTest::newRow("last line without newline") << QByteArray("[Mbus]\nTimeout=700") << "Mbus/Timeout" << "700";
    QTest::newRow("number with plus sign") << QByteArray("[Mbus]\nTimeout=+700\n") << "Mbus/Timeout" << "700";
    QTest::newRow("number with leading zeros") << QByteArray("[Mbus]\nTimeout=0700\n") << "Mbus/Timeout" << "700";
    QTest::newRow("stored language outside 1..3 kept")
        << QByteArray("[Misc]\nLanguage=7\n") << "Misc/Language" << "7";
    QTest::newRow("data folder as stored")
        << QByteArray("[Misc]\nDir=/home/u/meters\n") << "Misc/Dir" << "/home/u/meters";
}

void TstSettings::reading()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(flatten(loadFrom(content)).value(key), expected);
}

void TstSettings::nonNumericValues_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    const char *const values[] = {"abc", "", "   ", "12abc", "7 8", "0x1F4", "1e3", "5.5", "--3", "½"};
    const std::pair<const char *, const char *> keys[] = {
        {"Mbus", "Timeout"}, {"Mbus", "SearchFrom"}, {"Misc", "Language"},     {"Misc", "Retry"},
        {"LANXP", "EthTimeout"}, {"Titles", "Count"}, {"Ethernet", "AutoOpen"}, {"Misc", "UseEthernet"},
    };
    for (const auto &[section, key] : keys)
        for (const char *value : values)
            QTest::addRow("%s=%s", key, value) << QString::fromLatin1(section) << QString::fromLatin1(key)
                                               << QString::fromUtf8(value);
}

// A number that is not a whole number gives the key's default; nothing throws.
void TstSettings::nonNumericValues()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QString text = u'[' + section + QStringLiteral("]\n") + key + u'=' + value + u'\n';
    const QString name = section + u'/' + key;
    QCOMPARE(flatten(loadFrom(text.toUtf8())).value(name), defaults().value(name));
}

void TstSettings::booleans_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("expected");

    // One key whose default is off and one whose default is on, so a default
    // cannot pass for a read value.
    for (const char *key : {"Misc/UseEthernet", "Ethernet/AutoOpen"}) {
        const QString k = QString::fromLatin1(key);
        QTest::addRow("%s=1", key) << k << "1" << true;
        QTest::addRow("%s=0", key) << k << "0" << false;
        QTest::addRow("%s=2", key) << k << "2" << true;
        QTest::addRow("%s=-1", key) << k << "-1" << true;
        QTest::addRow("%s=255", key) << k << "255" << true;
        QTest::addRow("%s=00", key) << k << "00" << false;
        QTest::addRow("%s= 1 ", key) << k << " 1 " << true;
        QTest::addRow("%s= 0 ", key) << k << " 0 " << false;
    }
}

void TstSettings::booleans()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, expected);
    const QString section = key.section(u'/', 0, 0), name = key.section(u'/', 1);
    const QString text = u'[' + section + QStringLiteral("]\n") + name + u'=' + value + u'\n';
    QCOMPARE(flatten(loadFrom(text.toUtf8())).value(key), flag(expected));
}

void TstSettings::clamping_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("expected");

    QTest::newRow("Timeout below") << "Mbus/Timeout" << "299" << 300;
    QTest::newRow("Timeout lowest") << "Mbus/Timeout" << "300" << 300;
    QTest::newRow("Timeout zero") << "Mbus/Timeout" << "0" << 300;
    QTest::newRow("Timeout negative") << "Mbus/Timeout" << "-500" << 300;
    QTest::newRow("Timeout highest") << "Mbus/Timeout" << "9900" << 9900;
    QTest::newRow("Timeout above") << "Mbus/Timeout" << "9901" << 9900;
    QTest::newRow("Timeout far above") << "Mbus/Timeout" << "2000000000" << 9900;
    QTest::newRow("SearchFrom negative") << "Mbus/SearchFrom" << "-1" << 0;
    QTest::newRow("SearchFrom highest") << "Mbus/SearchFrom" << "255" << 255;
    QTest::newRow("SearchFrom above") << "Mbus/SearchFrom" << "256" << 255;
    QTest::newRow("SearchTo above") << "Mbus/SearchTo" << "1000" << 255;
    QTest::newRow("SearchTo negative") << "Mbus/SearchTo" << "-40" << 0;
    QTest::newRow("Retry negative") << "Misc/Retry" << "-1" << 0;
    QTest::newRow("Retry zero") << "Misc/Retry" << "0" << 0;
    QTest::newRow("Retry highest") << "Misc/Retry" << "9" << 9;
    QTest::newRow("Retry above") << "Misc/Retry" << "10" << 9;
    QTest::newRow("EthTimeout below") << "LANXP/EthTimeout" << "19" << 20;
    QTest::newRow("EthTimeout zero") << "LANXP/EthTimeout" << "0" << 20;
    QTest::newRow("EthTimeout highest") << "LANXP/EthTimeout" << "999" << 999;
    QTest::newRow("EthTimeout above") << "LANXP/EthTimeout" << "1000" << 999;
    QTest::newRow("Count negative") << "Titles/Count" << "-3" << 0;
    QTest::newRow("Count highest") << "Titles/Count" << "13" << 13;
    QTest::newRow("Count above") << "Titles/Count" << "14" << 13;
    QTest::newRow("Count far above") << "Titles/Count" << "100000" << 13;
}

void TstSettings::clamping()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(int, expected);
    const QString section = key.section(u'/', 0, 0), name = key.section(u'/', 1);
    const QString text = u'[' + section + QStringLiteral("]\n") + name + u'=' + value + u'\n';
    QCOMPARE(flatten(loadFrom(text.toUtf8())).value(key), QString::number(expected));
}

void TstSettings::titles_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected");

    QTest::newRow("short") << "Title1" << "Energy" << "Energy";
    QTest::newRow("exactly 15") << "Title2" << "ABCDEFGHIJKLMNO" << "ABCDEFGHIJKLMNO";
    QTest::newRow("16 cut") << "Title3" << "ABCDEFGHIJKLMNOP" << "ABCDEFGHIJKLMNO";
    QTest::newRow("long cut") << "Title13" << "Volume flow of the secondary circuit"
                              << "Volume flow of ";
    QTest::newRow("SecMain cut") << "SecMain" << "Second main value, long" << "Second main val";
    QTest::newRow("letters beyond ASCII counted as characters")
        << "Title4" << QString::fromUtf8("Zużycie ciepła łącznie") << QString::fromUtf8("Zużycie ciepła ");
    QTest::newRow("empty") << "Title5" << "" << "";
}

void TstSettings::titles()
{
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    const QString text = QStringLiteral("[Titles]\nCount=13\n") + key + u'=' + stored + u'\n';
    QCOMPARE(flatten(loadFrom(text.toUtf8())).value(QStringLiteral("Titles/") + key), expected);
}

void TstSettings::encodings_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("CRLF") << QByteArray("[Mbus]\r\nTimeout=700\r\n[Com port]\r\nName=COM3\r\n")
                          << "Com port/Name" << "COM3";
    QTest::newRow("CRLF numbers") << QByteArray("[Mbus]\r\nTimeout=700\r\n") << "Mbus/Timeout" << "700";
    QTest::newRow("CRLF section header with spaces")
        << QByteArray("[Com port]\r\nSpeed=9600\r\n") << "Com port/Speed" << "9600";
    QTest::newRow("mixed line ends") << QByteArray("[Mbus]\r\nSearchTo=9\n[Misc]\r\nLanguage=3\r\n")
                                     << "Misc/Language" << "3";
    QTest::newRow("UTF-8 byte order mark") << QByteArray("\xEF\xBB\xBF[Mbus]\nTimeout=700\n") << "Mbus/Timeout"
                                           << "700";
    QTest::newRow("UTF-8 text") << QByteArray("[Misc]\nDir=/home/\xC5\x82\x75\x6B\x61\x73\x7A/\n") << "Misc/Dir"
                                << QString::fromUtf8("/home/łukasz/");
    QTest::newRow("8-bit text") << QByteArray("[Misc]\nDir=C:\\M\xFCll\\\n") << "Misc/Dir"
                                << QString::fromUtf8("C:\\Müll\\");
}

void TstSettings::encodings()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(flatten(loadFrom(content)).value(key), expected);
}

// Every key written, saved and read back by a fresh reader.
void TstSettings::roundTrip()
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
                            "Misc/GlobalInit", "Misc/MSBSearch", "Misc/LSBSearch", "Misc/SMain", "Com port/RTS",
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
void TstSettings::valuesStayOnOneLine()
{
    IniFile ini(path());
    ini.writeInteger(QStringLiteral("Misc"), QStringLiteral("Language"), 2);
    ini.writeString(QStringLiteral("Misc"), QStringLiteral("Dir"), QStringLiteral("/a\n[Mbus]\nTimeout=9000\r\nLanguage=3"));
    QVERIFY(ini.save());

    IniFile again(path());
    QVERIFY(again.load());
    const Settings s = loadSettings(again, kDefaultDir);
    QCOMPARE(s.language, 2);
    QCOMPARE(s.timeout, 500);
    QVERIFY(!s.dir.contains(u'\n'));
    QVERIFY(!s.dir.contains(u'\r'));
    QVERIFY(s.dir.startsWith(QLatin1String("/a")));
    QVERIFY(!again.hasKey(QStringLiteral("Mbus"), QStringLiteral("Timeout")));
}

void TstSettings::firstSaveCreatesFile()
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
}

// The close of the main window on a first run: exactly the five keys in [Mbus] and [Misc].
void TstSettings::mainWindowKeysOnFirstRun()
{
    IniFile ini(path());
    ini.load();
    Settings s = loadSettings(ini, kDefaultDir);
    s.searchFrom = 4;
    s.searchTo = 17;
    s.timeout = 1200;
    s.language = 2;
    // Values nobody at close owns must not be written.
    s.com.name = QStringLiteral("COM9");
    s.retry = 5;
    writeMainWindowKeys(ini, s);
    QVERIFY(ini.save());

    QStringList lines = QString::fromUtf8(readFile(path())).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines, QStringList({QStringLiteral("[Mbus]"), QStringLiteral("SearchFrom=4"), QStringLiteral("SearchTo=17"),
                                 QStringLiteral("Timeout=1200"), QStringLiteral("[Misc]"), QStringLiteral("Dir=") + kDefaultDir,
                                 QStringLiteral("Language=2")}));

    IniFile again(path());
    QVERIFY(again.load());
    const Settings back = loadSettings(again, QStringLiteral("/elsewhere/"));
    QCOMPARE(back.searchFrom, 4);
    QCOMPARE(back.searchTo, 17);
    QCOMPARE(back.timeout, 1200);
    QCOMPARE(back.dir, kDefaultDir); // written back as read, not replaced by the new default
    QCOMPARE(back.language, 2);
    QCOMPARE(back.com.name, QStringLiteral("COM1"));
    QCOMPARE(back.retry, 1);
}

// The serial port page writes its five keys into the existing section and nothing else.
void TstSettings::comPortKeys()
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
void TstSettings::writeKeepsForeignLines()
{
    const QByteArray before =
        "; Telvaro settings, edited by hand\n"
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
    s.language = 3;
    writeMainWindowKeys(ini, s);
    QVERIFY(ini.save());

    const QString after = QString::fromUtf8(readFile(path()));
    const QString expected = QStringLiteral(
        "; Telvaro settings, edited by hand\n"
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
        "[Misc]\n"
        "Dir=/data/\n"
        "Language=3\n");
    // Key names may be written in either case; placement and content must match.
    QVERIFY2(after.compare(expected, Qt::CaseInsensitive) == 0, qPrintable(after));
}

void TstSettings::loadAndSaveLeavesFileUnchanged()
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
void TstSettings::crlfFileSurvivesWrite()
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

void TstSettings::hugeFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("timeout");

    QByteArray lines;
    for (int i = 0; lines.size() < 6 * 1024 * 1024; ++i)
        lines += "Line" + QByteArray::number(i) + '=' + QByteArray(100, 'x') + '\n';
    QTest::newRow("6 MB of keys after the one we want") << "[Mbus]\nTimeout=700\n[Junk]\n" + lines << 700;
    QTest::newRow("6 MB of keys before a section") << lines + "[Mbus]\nTimeout=700\n" << -1;
    QTest::newRow("one line of 5 MB") << "[Mbus]\nTimeout=700\nTitle=" + QByteArray(5 * 1024 * 1024, 'y') << 700;
    QTest::newRow("5 MB without line breaks") << QByteArray(5 * 1024 * 1024, '[') << 500;
    QTest::newRow("5 MB of zero bytes") << QByteArray(5 * 1024 * 1024, '\0') << 500;
}

// A settings file that is far too big is read without crashing or hanging;
// whether keys beyond the first megabytes are seen is left open (-1).
void TstSettings::hugeFile()
{
    QFETCH(QByteArray, content);
    QFETCH(int, timeout);
    QElapsedTimer clock;
    clock.start();
    const Settings s = loadFrom(content);
    if (timeout >= 0)
        QCOMPARE(s.timeout, timeout);
    else
        QVERIFY(s.timeout == 700 || s.timeout == 500);
    QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
}

void TstSettings::saveFailureKeepsOldFile_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<bool>("unprivileged");

    QTest::newRow("read-only file") << "read-only file" << false;
    QTest::newRow("read-only file in a writable folder, other user") << "read-only file" << true;
    QTest::newRow("writable file in an unwritable folder") << "unwritable folder" << true;
    QTest::newRow("file of another user") << "foreign file" << true;
    QTest::newRow("folder is a plain file") << "folder is a file" << false;
    QTest::newRow("folder missing") << "folder missing" << false;
    QTest::newRow("path is a folder") << "path is a folder" << false;
}

void TstSettings::saveFailureKeepsOldFile()
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
    } else if (layout == QLatin1String("unwritable folder")) {
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0666) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
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

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
