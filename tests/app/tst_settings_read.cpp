// Reading the settings file: defaults when keys or the whole file are missing,
// tolerant reading of whatever a user left in it and of files written on
// Windows, the clamped ranges, line ends and encodings, and files far too big.

#include "settings_test_support.h"

#include <QtTest>

using namespace settings_test;

class TstSettingsRead : public QObject, private SettingsFixture {
    Q_OBJECT

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
    void hugeFile_data();
    void hugeFile();
};

void TstSettingsRead::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TstSettingsRead::cleanup()
{
    // A failed test may leave a folder without write permission behind.
    if (m_dir)
        QProcess::execute(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("u+rwx"), m_dir->path()});
    m_dir.reset();
}

void TstSettingsRead::defaultValues_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const std::pair<const char *, QString> rows[] = {
        {"Mbus/SearchFrom", "0"},      {"Mbus/SearchTo", "0"},      {"Mbus/Timeout", "500"},
        {"Misc/Dir", kDefaultDir},     {"Misc/Language", "1"},      {"Misc/Encoding", "0"},
        {"Misc/ExportSeparator", ";"}, {"Misc/Retry", "1"},         {"Misc/UseEthernet", "0"},
        {"Misc/UseLANXP", "0"},        {"Misc/VelkServer", "0"},    {"Misc/Use5B", "0"},
        {"Misc/GlobalInit", "0"},      {"Misc/MSBSearch", "1"},     {"Misc/LSBSearch", "0"},
        {"Misc/GenCode", "27"},        {"Misc/SMain", "0"},         {"Com port/Name", "COM1"},
        {"Com port/Speed", "300"},     {"Com port/Parity", "Even"}, {"Com port/RTS", "0"},
        {"Com port/DTR", "0"},         {"Ethernet/Port", "59615"},  {"Ethernet/AutoOpen", "1"},
        {"Ethernet/AutoDisplay", "1"}, {"Ethernet/AutoMbus", "0"},  {"LANXP/IP", "192.168.1.3"},
        {"LANXP/Port", "10001"},       {"LANXP/NetNumber", ""},     {"LANXP/EthTimeout", "50"},
        {"Titles/Count", "0"},         {"Titles/Title1", ""},       {"Titles/Title13", ""},
        {"Titles/SecMain", ""},        {"Misc/FastReads", "0"},     {"Misc/AllTelegrams", "0"},
        {"Misc/StandardTiming", "1"},  {"Misc/TimingMargin", "20"}, {"Misc/SilenceChars", "3"},
        {"Archive/Enabled", "1"},      {"Archive/Location", ""},
    };
    for (const auto &[key, expected] : rows)
        QTest::newRow(key) << QString::fromLatin1(key) << expected;
}

// First run: no settings file at all.
void TstSettingsRead::defaultValues()
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

void TstSettingsRead::uselessContentGivesDefaults_data()
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
    QTest::newRow("similar section names")
        << QByteArray("[Mbus2]\nTimeout=900\n[Com]\nName=COM5\n[ComPort]\nName=COM6\n");
    QTest::newRow("similar key names") << QByteArray("[Mbus]\nTimeout2=900\nTime=800\n[Titles]\nTitle=x\nTitle01=y\n");
    QTest::newRow("non-numeric numbers") << QByteArray(
        "[Mbus]\nSearchFrom=x\nSearchTo=\nTimeout=abc\n[Misc]\nLanguage=en\nRetry=?\n"
        "[LANXP]\nEthTimeout=fast\n[Titles]\nCount=many\n");
    QTest::newRow("non-numeric booleans")
        << QByteArray("[Misc]\nMSBSearch=yes\nUseEthernet=on\nEncoding=true\n[Ethernet]\nAutoOpen=false\n"
                      "AutoMbus=TRUE\n[Com port]\nRTS=x\n");
}

void TstSettingsRead::uselessContentGivesDefaults()
{
    QFETCH(QByteArray, content);
    compareAll(flatten(loadFrom(content)), defaults());
}

// clang-format off
void TstSettingsRead::reading_data()
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
    // Private-profile readers drop one pair of surrounding quotes.
    QTest::newRow("quoted value") << QByteArray("[Com port]\nName=\"COM4\"\n") << "Com port/Name" << "COM4";
    QTest::newRow("quoted, blanks outside") << QByteArray("[Com port]\nName = \"COM4\" \n") << "Com port/Name"
                                            << "COM4";
    QTest::newRow("quoted, blanks inside kept") << QByteArray("[Titles]\nTitle1=\" Heat \"\n") << "Titles/Title1"
                                                << " Heat ";
    QTest::newRow("quoted number") << QByteArray("[Mbus]\nTimeout=\"700\"\n") << "Mbus/Timeout" << "700";
    QTest::newRow("only one pair dropped") << QByteArray("[Titles]\nTitle1=\"\"x\"\"\n") << "Titles/Title1"
                                           << "\"x\"";
    QTest::newRow("empty quotes") << QByteArray("[LANXP]\nNetNumber=\"\"\n") << "LANXP/NetNumber" << "";
    QTest::newRow("lone quote kept") << QByteArray("[Titles]\nTitle1=\"\n") << "Titles/Title1" << "\"";
    QTest::newRow("unbalanced quote kept") << QByteArray("[Titles]\nTitle1=\"abc\n") << "Titles/Title1" << "\"abc";
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
// clang-format on

void TstSettingsRead::reading()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(flatten(loadFrom(content)).value(key), expected);
}

void TstSettingsRead::nonNumericValues_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    const char *const values[] = {"abc", "", "   ", "12abc", "7 8", "0x1F4", "1e3", "5.5", "--3", "½"};
    const std::pair<const char *, const char *> keys[] = {
        {"Mbus", "Timeout"},     {"Mbus", "SearchFrom"}, {"Misc", "Language"},     {"Misc", "Retry"},
        {"LANXP", "EthTimeout"}, {"Titles", "Count"},    {"Ethernet", "AutoOpen"}, {"Misc", "UseEthernet"},
    };
    for (const auto &[section, key] : keys)
        for (const char *value : values)
            QTest::addRow("%s=%s", key, value)
                << QString::fromLatin1(section) << QString::fromLatin1(key) << QString::fromUtf8(value);
}

// A number that is not a whole number gives the key's default; nothing throws.
void TstSettingsRead::nonNumericValues()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QString text = u'[' + section + QStringLiteral("]\n") + key + u'=' + value + u'\n';
    const QString name = section + u'/' + key;
    QCOMPARE(flatten(loadFrom(text.toUtf8())).value(name), defaults().value(name));
}

// clang-format off
void TstSettingsRead::booleans_data()
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
// clang-format on

void TstSettingsRead::booleans()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, expected);
    const QString section = key.section(u'/', 0, 0), name = key.section(u'/', 1);
    const QString text = u'[' + section + QStringLiteral("]\n") + name + u'=' + value + u'\n';
    QCOMPARE(flatten(loadFrom(text.toUtf8())).value(key), flag(expected));
}

// clang-format off
void TstSettingsRead::clamping_data()
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
// clang-format on

void TstSettingsRead::clamping()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(int, expected);
    const QString section = key.section(u'/', 0, 0), name = key.section(u'/', 1);
    const QString text = u'[' + section + QStringLiteral("]\n") + name + u'=' + value + u'\n';
    QCOMPARE(flatten(loadFrom(text.toUtf8())).value(key), QString::number(expected));
}

// clang-format off
void TstSettingsRead::titles_data()
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
// clang-format on

void TstSettingsRead::titles()
{
    QFETCH(QString, key);
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    const QString text = QStringLiteral("[Titles]\nCount=13\n") + key + u'=' + stored + u'\n';
    QCOMPARE(flatten(loadFrom(text.toUtf8())).value(QStringLiteral("Titles/") + key), expected);
}

// clang-format off
void TstSettingsRead::encodings_data()
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
    // Files written on Windows are in code page 1250: Polish titles keep their letters.
    QTest::newRow("Windows-1250 title") << QByteArray("[Titles]\nTitle1=Ciep\xB3o \xBF\xF3\xB3\xE6\n") << "Titles/Title1"
                                        << QString::fromUtf8("Ciepło żółć");
    QTest::newRow("Windows-1250 capitals") << QByteArray("[Titles]\nSecMain=\xAF\xA3\xA5\x8C\x8F\n")
                                           << "Titles/SecMain" << QString::fromUtf8("ŻŁĄŚŹ");
}
// clang-format on

void TstSettingsRead::encodings()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(flatten(loadFrom(content)).value(key), expected);
}

// clang-format off
void TstSettingsRead::hugeFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("timeout");

    QByteArray lines;
    for (int i = 0; lines.size() < 6 * 1024 * 1024; ++i)
        lines += "Line" + QByteArray::number(i) + '=' + QByteArray(100, 'x') + '\n';
    QTest::newRow("6 MB of keys after the one we want") << "[Mbus]\nTimeout=700\n[Junk]\n" + lines << 700;
    QTest::newRow("6 MB of keys before a section") << lines + "[Mbus]\nTimeout=700\n" << 700;
    QTest::newRow("one line of 5 MB") << "[Mbus]\nTimeout=700\nTitle=" + QByteArray(5 * 1024 * 1024, 'y') << 700;
    QTest::newRow("5 MB without line breaks") << QByteArray(5 * 1024 * 1024, '[') << 500;
    QTest::newRow("5 MB of zero bytes") << QByteArray(5 * 1024 * 1024, '\0') << 500;
}
// clang-format on

// A settings file that is far too big is read whole, without crashing or hanging.
void TstSettingsRead::hugeFile()
{
    QFETCH(QByteArray, content);
    QFETCH(int, timeout);
    QElapsedTimer clock;
    clock.start();
    const Settings s = loadFrom(content);
    QCOMPARE(s.timeout, timeout);
    QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(TstSettingsRead)
#include "tst_settings_read.moc"
