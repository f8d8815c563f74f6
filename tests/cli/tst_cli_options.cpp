// telvaro-cli without a bus: its command line (what is refused, what a
// settings file gives and what overrides it) and its output pieces (JSON
// values and fields, the CSV of readings), and a help that names all of it.
// Every program's refusals, -h and -V, and --quiet against the simulator.

#include "cli_options.h"
#include "cli_output.h"
#include "config/ini_file.h"
#include "mbus/frames.h"
#include "sim_process.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include <ctime>

namespace {

QByteArray telegram(const char *records)
{
    QByteArray data = QByteArray::fromHex("78563412 4304 01 07 2A 84 0000");
    data += QByteArray::fromHex(records);
    const mbus::Bytes body(data.begin(), data.end());
    const mbus::Bytes frame = mbus::longFrame(0x08, 0x05, 0x72, body);
    return QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
}

} // namespace

class TstCliOptions : public QObject {
    Q_OBJECT
private slots:
    void refused_data();
    void refused();
    void accepted();
    void settingsFileAndOverrides();
    void jsonOfAReading();
    void jsonValues_data();
    void jsonValues();
    void csvOfReadings();
    void historySpan_data();
    void historySpan();
    void helpNamesEverything();
    void messages_data();
    void messages();
    void quiet_data();
    void quiet();
};

void TstCliOptions::refused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::newRow("nothing") << QStringList() << "no command";
    QTest::newRow("unknown command") << QStringList{"scna"} << "unknown command 'scna'";
    QTest::newRow("unknown option") << QStringList{"scan", "--frmo", "1"} << "unknown option '--frmo' (see --help)";
    QTest::newRow("value missing") << QStringList{"scan", "--from"} << "--from: needs a value";
    QTest::newRow("address too big") << QStringList{"scan", "--to", "251"} << "--to: must be an address 0..250";
    QTest::newRow("address negative") << QStringList{"read", "-1"} << "-1 is not a primary address (0..250)";
    QTest::newRow("address not a number") << QStringList{"read", "1a"} << "1a is not a primary address";
    QTest::newRow("read without address") << QStringList{"read", "--port", "/dev/x"} << "at least one";
    QTest::newRow("retries 10") << QStringList{"scan", "--retries", "10"} << "--retries: must be 0..9, not '10'";
    QTest::newRow("timeout too short") << QStringList{"scan", "--timeout", "299"} << "--timeout: must be 300..9900";
    QTest::newRow("format") << QStringList{"scan", "--format", "xml"} << "--format: must be";
    QTest::newRow("baud") << QStringList{"scan", "--baud", "1200"} << "--baud: must be";
    QTest::newRow("parity") << QStringList{"scan", "--parity", "evn"} << "--parity: must be";
    QTest::newRow("pattern with a letter") << QStringList{"search", "--pattern", "1234567A"} << "--pattern: must be";
    QTest::newRow("pattern too short") << QStringList{"search", "--pattern", "FFFF"} << "--pattern: must be";
    QTest::newRow("tcp without port") << QStringList{"scan", "--tcp", "10.0.0.1"} << "--tcp: must be HOST:PORT";
    QTest::newRow("tcp port 0") << QStringList{"scan", "--tcp", "10.0.0.1:0"} << "--tcp: must be HOST:PORT";
    QTest::newRow("tcp host with a space") << QStringList{"scan", "--tcp", "my host:1"} << "--tcp: must be HOST:PORT";
    QTest::newRow("net of three parts") << QStringList{"scan", "--net", "1.2.3"} << "--net: must be a.b.c.d";
    QTest::newRow("two routes") << QStringList{"scan", "--port", "/dev/x", "--tcp", "h:1"} << "choose one of";
    QTest::newRow("scan takes no argument") << QStringList{"scan", "7"} << "unexpected argument '7'";
    QTest::newRow("set-address needs two") << QStringList{"set-address", "5"} << "needs OLD and NEW";
    QTest::newRow("set-address --id needs one")
        << QStringList{"set-address", "--id", "12345678", "1", "2"} << "needs NEW only";
    QTest::newRow("set-address to 251") << QStringList{"set-address", "1", "251"} << "251 is not a primary address";
    QTest::newRow("id of 7 digits") << QStringList{"set-address", "--id", "1234567", "2"} << "--id: must be 8 digits";
    QTest::newRow("raw odd digits") << QStringList{"raw", "10 7B 0"} << "whole hex bytes";
    QTest::newRow("raw not hex") << QStringList{"raw", "10 7G"} << "whole hex bytes";
    QTest::newRow("raw empty") << QStringList{"raw"} << "whole hex bytes";
    QTest::newRow("unknown after a value")
        << QStringList{"read", "1", "--port", "T", "--foo"} << "unknown option '--foo'";
    QTest::newRow("unknown short option") << QStringList{"scan", "-x"} << "unknown option '-x'";
    QTest::newRow("flag with a value") << QStringList{"scan", "--fast=1"} << "--fast: takes no value, not '1'";
    QTest::newRow("empty attached value") << QStringList{"scan", "--timeout="} << "--timeout: must be";
    // The archive is named only joined to --store: a separate word is not guessed at.
    QTest::newRow("archive after --store, read") << QStringList{"read", "1", "--store", "readings.db"}
                                                 << "readings.db: an archive is named joined to the "
                                                    "option, --store=readings.db";
    QTest::newRow("archive after --store, history")
        << QStringList{"history", "12345678", "--store", "readings.db"} << "--store=readings.db";
    QTest::newRow("empty archive") << QStringList{"scan", "--store="} << "--store: must name the archive";
    QTest::newRow("history date") << QStringList{"history", "12345678", "--from", "08.12.2026"}
                                  << "--from: must be a date such as 2026-12-31";
}

void TstCliOptions::refused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    const cli::ParseResult r = cli::parseCommandLine(arguments);
    QVERIFY2(r.error.contains(error), qPrintable(r.error));
    QVERIFY(!r.error.contains(u'\n')); // one line
}

void TstCliOptions::accepted()
{
    cli::ParseResult r = cli::parseCommandLine(
        {"read", "5", "3", "5", "--port", "/dev/ttyUSB0", "--parity", "none", "--fast", "--format", "json"});
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QCOMPARE(r.options.command, cli::Command::Read);
    QCOMPARE(r.options.addresses, QList<int>({5, 3})); // asked once each
    QCOMPARE(*r.options.parity, QStringLiteral("None"));
    QCOMPARE(r.options.format, cli::Format::Json);
    QVERIFY(r.options.fast);

    r = cli::parseCommandLine({"scan", "--port=/dev/x", "--from=3", "--format=csv", "--standard-timing"});
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QVERIFY(cli::runSettings(r.options).settings.standardTiming);
    QCOMPARE(*r.options.port, QStringLiteral("/dev/x"));
    QCOMPARE(r.options.from, 3);
    QCOMPARE(r.options.format, cli::Format::Csv);

    r = cli::parseCommandLine({"raw", "107b", "017C16", "--tcp", "localhost:10001"});
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QCOMPARE(r.options.hex, QStringLiteral("10 7B 01 7C 16")); // as the custom command takes it

    r = cli::parseCommandLine({"search", "--pattern", "12fFFFFF", "--lsb", "--gateway", "[::1]:59615"});
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QCOMPARE(cli::runSettings(r.options).settings.remoteIp, QStringLiteral("[::1]"));
    QCOMPARE(r.options.pattern, (std::array<std::uint8_t, 8>{1, 2, 15, 15, 15, 15, 15, 15}));

    r = cli::parseCommandLine({"set-address", "--id", "12345678", "9", "--port", "/dev/x"});
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QVERIFY(!r.options.oldAddress);
    QCOMPARE(r.options.newAddress, 9);

    QVERIFY(cli::parseCommandLine({"scan", "--help"}).help && cli::parseCommandLine({"-h"}).help);
    QVERIFY(cli::parseCommandLine({"-V"}).version && cli::parseCommandLine({"--version"}).version);
    QVERIFY(cli::helpText().contains(QLatin1String("--all-telegrams")));
}

void TstCliOptions::settingsFileAndOverrides()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("telvaro.ini"));
    IniFile ini(path);
    ini.writeInteger(QStringLiteral("Mbus"), QStringLiteral("Timeout"), 700);
    ini.writeString(QStringLiteral("Com port"), QStringLiteral("Name"), QStringLiteral("/dev/ttyS3"));
    ini.writeString(QStringLiteral("Com port"), QStringLiteral("Speed"), QStringLiteral("9600"));
    ini.writeBool(QStringLiteral("Misc"), QStringLiteral("UseLANXP"), true);
    ini.writeString(QStringLiteral("LANXP"), QStringLiteral("IP"), QStringLiteral("10.0.0.9"));
    ini.writeBool(QStringLiteral("Misc"), QStringLiteral("AllTelegrams"), true);
    ini.writeString(QStringLiteral("Misc"), QStringLiteral("ExportSeparator"), QStringLiteral(","));
    ini.writeInteger(QStringLiteral("Mbus"), QStringLiteral("SearchFrom"), 3);
    ini.writeInteger(QStringLiteral("Mbus"), QStringLiteral("SearchTo"), 17);
    QVERIFY(ini.save());

    // The file as it is: the converter route, its timeout and options.
    cli::RunSettings s = cli::runSettings(cli::parseCommandLine({"scan", "--settings", path}).options);
    QVERIFY2(s.error.isEmpty(), qPrintable(s.error));
    QVERIFY(s.settings.route.useConverter);
    QCOMPARE(s.settings.timeout, 700);
    QVERIFY(s.settings.allTelegrams && !s.settings.fastReads);
    QCOMPARE(s.settings.exportSeparator, QStringLiteral(","));
    QCOMPARE(QList<int>({s.settings.searchFrom, s.settings.searchTo}), QList<int>({3, 17})); // the scan range

    // The command line wins: another route, timeout and separator.
    s = cli::runSettings(cli::parseCommandLine({"scan", "--settings", path, "--port", "/dev/ttyUSB1", "--timeout",
                                                "400", "--separator", "\t", "--fast", "--to", "9"})
                             .options);
    QCOMPARE(QList<int>({s.settings.searchFrom, s.settings.searchTo}), QList<int>({3, 9}));
    QVERIFY(!s.settings.route.useConverter && !s.settings.route.useGatewayClient && !s.settings.route.useListen);
    QCOMPARE(s.settings.com.name, QStringLiteral("/dev/ttyUSB1"));
    QCOMPARE(s.settings.com.speed, QStringLiteral("9600")); // the file's, not overridden
    QCOMPARE(s.settings.timeout, 400);
    QVERIFY(s.settings.fastReads);
    QCOMPARE(s.settings.exportSeparator, QStringLiteral("\t"));

    // Without a file: a port at the usual 2400 baud; nothing at all is an error.
    s = cli::runSettings(cli::parseCommandLine({"scan", "--port", "/dev/ttyUSB1"}).options);
    QCOMPARE(s.settings.com.speed, QStringLiteral("2400"));
    QCOMPARE(QList<int>({s.settings.searchFrom, s.settings.searchTo}), QList<int>({0, 250}));
    QVERIFY(cli::runSettings(cli::parseCommandLine({"scan"}).options).error.contains(QLatin1String("--settings")));
    QVERIFY(cli::runSettings(cli::parseCommandLine({"scan", "--settings", dir.filePath("none.ini")}).options)
                .error.contains(QLatin1String("cannot read")));

    // The listen route needs a gateway to call in: not from a script.
    ini.writeBool(QStringLiteral("Misc"), QStringLiteral("UseEthernet"), true);
    QVERIFY(ini.save());
    QVERIFY(cli::runSettings(cli::parseCommandLine({"scan", "--settings", path}).options)
                .error.contains(QLatin1String("not served")));
    QVERIFY(
        cli::runSettings(cli::parseCommandLine({"scan", "--settings", path, "--tcp", "h:1"}).options).error.isEmpty());
}

cli::MeterReading reading(std::initializer_list<QByteArray> telegrams)
{
    return {telegrams, QDateTime(QDate(2026, 12, 8), QTime(11, 30, 23), QTimeZone(3600)), true};
}

void TstCliOptions::jsonOfAReading()
{
    const QByteArray first = telegram("0C13 45230100 CC8140 13 80190400 8C10 06 11950100 1F");
    const QByteArray second = telegram("02FD17 0000 0D FD0C 03 414243");
    const QJsonObject meter = cli::meterObject(reading({first, second}), {});
    QCOMPARE(meter.value("read_at").toString(), QStringLiteral("2026-12-08T10:30:23Z"));
    QCOMPARE(meter.value("complete").toBool(), true);
    QCOMPARE(meter.value("address").toInt(), 5);
    QCOMPARE(meter.value("id").toString(), QStringLiteral("12345678"));
    QCOMPARE(meter.value("manufacturer").toString(), QStringLiteral("ABC"));
    QCOMPARE(meter.value("medium").toString(), QStringLiteral("Water"));
    QCOMPARE(meter.value("access").toInt(), 0x2A);
    QCOMPARE(meter.value("status").toInt(), 0x84);
    QCOMPARE(meter.value("main").toObject(), QJsonObject({{"value", 12.345}, {"unit", "m3"}}));
    const QJsonArray records = meter.value("records").toArray();
    QCOMPARE(records.size(), 5); // both telegrams, the 1F marker dropped
    const QJsonObject volume = records.at(0).toObject();
    QCOMPARE(volume.value("value").toDouble(), 12.345);
    QCOMPARE(volume.value("raw").toDouble(), 12345.0);
    QCOMPARE(volume.value("exponent").toInt(), -3);
    QCOMPARE(volume.value("unit").toString(), QStringLiteral("m3"));
    QCOMPARE(volume.value("quantity").toString(), QStringLiteral("Volume"));
    QCOMPARE(volume.value("data").toString(), QStringLiteral("45230100"));
    QCOMPARE(volume.value("function").toString(), QStringLiteral("instantaneous"));
    const QJsonObject stored = records.at(1).toObject();
    QCOMPARE(stored.value("storage").toInt(), 3);
    QCOMPARE(stored.value("subunit").toInt(), 2);
    QCOMPARE(stored.value("dif").toString(), QStringLiteral("CC8140"));
    QCOMPARE(records.at(2).toObject().value("tariff").toInt(), 1);
    QCOMPARE(records.at(2).toObject().value("quantity").toString(), QStringLiteral("Energy"));
    QCOMPARE(records.at(4).toObject().value("value").toString(), QStringLiteral("ABC")); // text stays text
    QCOMPARE(records.at(4).toObject().value("vif").toString(), QStringLiteral("FD0C"));

    QVERIFY(cli::meterObject(reading({QByteArray::fromHex("E5")}), {}).isEmpty());
    QVERIFY(cli::meterObject(reading({QByteArray::fromHex("680303")}), {}).isEmpty());
}

// Per record: the value scaled to the unit shown, dates as ISO 8601.
void TstCliOptions::jsonValues_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("unit");
    QTest::newRow("scaled volume") << QByteArray("0413 39300000") << QJsonValue(12.345) << "m3";
    QTest::newRow("negative") << QByteArray("0413 FFFFFFFF") << QJsonValue(-0.001) << "m3";
    QTest::newRow("volts") << QByteArray("02FD48 F708") << QJsonValue(229.5) << "V";
    QTest::newRow("real") << QByteArray("052B CDCC8C3F") << QJsonValue(1.1) << "W";
    QTest::newRow("fabrication number") << QByteArray("0C78 21436587") << QJsonValue(QStringLiteral("87654321")) << "";
    QTest::newRow("date") << QByteArray("426C 1F3C") << QJsonValue(QStringLiteral("2024-12-31")) << "";
    QTest::newRow("date and time") << QByteArray("046D 1E0A2E35") << QJsonValue(QStringLiteral("2025-05-14T10:30"))
                                   << "";
    QTest::newRow("failed BCD") << QByteArray("09 13 F5") << QJsonValue(QStringLiteral("Exception")) << "m3";
    QTest::newRow("no data") << QByteArray("00 13 0C13 45230100") << QJsonValue(QJsonValue::Null) << "m3";
}

void TstCliOptions::jsonValues()
{
    QFETCH(QByteArray, record);
    QFETCH(QJsonValue, value);
    QFETCH(QString, unit);
    const QJsonObject first =
        cli::meterObject(reading({telegram(record.constData())}), {}).value("records").toArray().at(0).toObject();
    QCOMPARE(first.value("value"), value);
    QCOMPARE(first.value("unit").toString(), unit);
}

// One row per reading with the JSON's keys, the same bytes whatever the
// locale; a reading that does not decode is left out.
void TstCliOptions::csvOfReadings()
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    const QByteArray csv = cli::csvText(
        {reading({telegram("0C13 45230100")}),
         reading({QByteArray::fromHex("E5")}),
         {{telegram("0C13 45230100 1F")}, QDateTime(QDate(2026, 12, 8), QTime(8, 0), Qt::UTC), false}},
        {}, QStringLiteral(","));
    QLocale::setDefault(QLocale::c());
    QCOMPARE(csv, QByteArray("read_at,id,address,manufacturer,version,medium,medium_code,value,unit,status,access,"
                             "complete\n"
                             "2026-12-08T10:30:23Z,12345678,5,ABC,1,Water,7,12.345,m3,132,42,true\n"
                             "2026-12-08T08:00:00Z,12345678,5,ABC,1,Water,7,12.345,m3,132,42,false\n"));
}

// --from and --to: local time unless they end in Z or an offset; a date is
// the whole day.
void TstCliOptions::historySpan_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QDateTime>("utc");
    const auto utc = [](int day, int h, int m, int ms = 0) {
        return QDateTime(QDate(2026, 12, day), QTime(h, m).addMSecs(ms), Qt::UTC);
    };
    // TZ is Europe/Rome: UTC+1 in December.
    QTest::newRow("local time") << "--from"
                                << "2026-12-08T08:50" << utc(8, 7, 50);
    QTest::newRow("UTC") << "--from"
                         << "2026-12-08T08:50Z" << utc(8, 8, 50);
    QTest::newRow("offset") << "--to"
                            << "2026-12-08T08:50+03:00" << utc(8, 5, 50);
    QTest::newRow("day from") << "--from"
                              << "2026-12-08" << utc(7, 23, 0);
    QTest::newRow("day to") << "--to"
                            << "2026-12-08" << utc(8, 22, 59, 59999);
}

void TstCliOptions::historySpan()
{
    QFETCH(QString, option);
    QFETCH(QString, value);
    QFETCH(QDateTime, utc);
    qputenv("TZ", "Europe/Rome");
    ::tzset();
    const cli::ParseResult r = cli::parseCommandLine({"history", "12345678", option, value});
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    const QDateTime got = option == QLatin1String("--from") ? r.options.historyFrom : r.options.historyTo;
    QCOMPARE(got, utc);
    QCOMPARE(got.timeSpec(), Qt::UTC);
}

// Every command and option the parser takes is in --help, and so in the
// manual page made from it.
void TstCliOptions::helpNamesEverything()
{
    const QString help = cli::helpText();
    const QStringList taken = cli::commandNames() + cli::flagOptions() + cli::valuedOptions();
    QVERIFY(taken.size() > 25);
    for (const QString &name : taken)
        QVERIFY2(help.contains(QRegularExpression(
                     QStringLiteral("(^|[\\s,\\[])%1([\\s=,\\]]|$)").arg(QRegularExpression::escape(name)),
                     QRegularExpression::MultilineOption)),
                 qPrintable(name));
}

// Every program answers -h and -V, names them so in its help, and refuses a
// command line in one line of one wording, exit status 2.
void TstCliOptions::messages_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("line"); // the first of standard output, or the only one of standard error
    QFile project(QStringLiteral(TELVARO_SOURCE_DIR "/CMakeLists.txt"));
    QVERIFY(project.open(QIODevice::ReadOnly));
    const QString version = QRegularExpression("project\\(Telvaro VERSION (\\S+)").match(project.readAll()).captured(1);
    for (const auto &[name, usage] : {std::pair{"telvaro", "Usage: telvaro [-h | --help | -V | --version]"},
                                      {"telvaro-cli", "Usage: telvaro-cli COMMAND [ARGUMENTS] [OPTIONS]"},
                                      {"telvaro-collect", "Usage: telvaro-collect [--config FILE] [--once] [--check] "
                                                          "[--quiet | --verbose]"},
                                      {"mbus-sim", "Usage: mbus-sim [--bus FILE] [--random-meters N]"},
                                      {"mbus-decode", "Usage: mbus-decode [--table] [HEX...]"},
                                      {"telvaro-users", "Usage: telvaro-users FILE list"}}) {
        const QString program = QLatin1String(name);
        QTest::newRow(qPrintable(program + " -h")) << program << QStringList{"-h"} << 0 << usage;
        QTest::newRow(qPrintable(program + " -V")) << program << QStringList{"-V"} << 0 << program + ' ' + version;
        QTest::newRow(qPrintable(program + " unknown")) << program << QStringList{"--frobnicate=2"} << 2
                                                        << program + ": unknown option '--frobnicate' (see --help)";
    }
    const QString separator = "telvaro-cli: --separator: must be one character other than a double quote or a line "
                              "break, not '%1'";
    QTest::newRow("separator xy") << "telvaro-cli" << QStringList{"scan", "--separator", "xy"} << 2
                                  << separator.arg("xy");
    QTest::newRow("separator ''") << "telvaro-cli" << QStringList{"scan", "--separator", ""} << 2 << separator.arg("");
    QTest::newRow("separator \"") << "telvaro-cli" << QStringList{"scan", "--separator=\""} << 2 << separator.arg('"');
    QTest::newRow("separator LF") << "telvaro-cli" << QStringList{"scan", "--separator=\n"} << 2
                                  << separator.arg("\\n");
    QTest::newRow("cli quiet and verbose") << "telvaro-cli" << QStringList{"scan", "--quiet", "--verbose"} << 2
                                           << "telvaro-cli: choose one of --quiet and --verbose";
    QTest::newRow("collect flag value") << "telvaro-collect" << QStringList{"--once=1"} << 2
                                        << "telvaro-collect: --once: takes no value, not '1'";
    QTest::newRow("sim port") << "mbus-sim" << QStringList{"--random-meters", "1", "--tcp", "70000"} << 2
                              << "mbus-sim: --tcp: must be a port 0..65535, not '70000'";
    QTest::newRow("decode flag value") << "mbus-decode" << QStringList{"--table=yes"} << 2
                                       << "mbus-decode: --table: takes no value, not 'yes'";
    QTest::newRow("users right") << "telvaro-users" << QStringList{"f", "add", "bob", "Setup", "--rights=print"} << 2
                                 << "telvaro-users: --rights: must list devices, communication or display, or be "
                                    "none, not 'print'";
    QTest::newRow("window value") << "telvaro" << QStringList{"--style"} << 2 << "telvaro: --style: needs a value";
}

void TstCliOptions::messages()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exit);
    QFETCH(QString, line);
    QProcess p;
    p.start(QStringLiteral(TELVARO_BIN_DIR "/") + program, arguments);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), exit);
    const QString out = p.readAllStandardOutput(), err = p.readAllStandardError();
    QCOMPARE(exit == 0 ? out.section(u'\n', 0, 0) : err, exit == 0 ? line : line + u'\n');
    if (arguments == QStringList{"-h"})
        QVERIFY(out.contains(QLatin1String("-h, --help")) && out.contains(QLatin1String("-V, --version")));
}

// --quiet: a read of every meter asked says nothing on standard error; one
// that missed a meter still says so. The readings stay on standard output.
void TstCliOptions::quiet_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("errors");
    QTest::newRow("cli, all read") << "telvaro-cli" << QStringList{"1", "2"} << 0 << "";
    QTest::newRow("cli, 99 silent") << "telvaro-cli" << QStringList{"1", "99"} << 1
                                    << "Read: 1 of 2 meter(s) answered; no answer from 99.\n";
    QTest::newRow("collect, all read") << "telvaro-collect" << QStringList{"1", "2"} << 0 << "";
    QTest::newRow("collect, 99 silent") << "telvaro-collect" << QStringList{"1", "99"} << 1
                                        << "bus a: 1 of 2 meters read in T s; no answer from 99\n";
}

void TstCliOptions::quiet()
{
    QFETCH(QString, program);
    QFETCH(QStringList, addresses);
    QFETCH(int, exit);
    QFETCH(QString, errors);
    const SimProcess sim(SimProcess::Tcp{}, {"--bus", SimProcess::demoBus(), "--tcp", "0", "--quiet"});
    const QString converter = QStringLiteral("127.0.0.1:%1").arg(sim.port());
    QTemporaryDir dir;
    QFile config(dir.filePath(QStringLiteral("collect.ini")));
    QVERIFY(config.open(QIODevice::WriteOnly)
            && config.write(QStringLiteral("[Collector]\nSpool=s\nArchive=off\n[Bus a]\nConverter=%1\nAddresses=%2\n")
                                .arg(converter, addresses.join(u','))
                                .toUtf8()));
    config.close();
    const bool cli = program == QLatin1String("telvaro-cli");
    QProcess p;
    p.start(QStringLiteral(TELVARO_BIN_DIR "/") + program,
            cli ? QStringList{"read", "--format", "csv", "--tcp", converter, "--timeout", "300", "--retries", "0",
                              "--quiet"}
                      + addresses
                : QStringList{"--config", config.fileName(), "--once", "--quiet"});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitCode(), exit);
    QCOMPARE(QString(p.readAllStandardError()).replace(QRegularExpression("in [0-9.]+ s"), "in T s"), errors);
    QCOMPARE(p.readAllStandardOutput().startsWith("read_at;"), cli);
}

QTEST_GUILESS_MAIN(TstCliOptions)
#include "tst_cli_options.moc"
