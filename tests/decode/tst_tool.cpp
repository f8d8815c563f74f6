// mbus-decode as a technician runs it: exit status and output.

#include "telegram.h"
#include "tst_decode.h"

#include <QFile>
#include <QProcess>
#include <QTest>

using namespace testing;

namespace {

const char *const kGood = "68 15 15 68 08 05 72 78 56 34 12 56 46 10 07 55 00 00 00 04 13 39 30 00 00 1B 16";

} // namespace

void TestDecode::tool_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output"); // expected in standard output

    const QString good = kGood;
    const QStringList goodArgs = good.split(' ');
    QTest::newRow("report from arguments") << goodArgs << QByteArray() << 0
                                           << QByteArray("ID:12345678, Mfr: QRV, Main medium: Water\n"
                                                         "Access counter: 85, Status: 0x00, Model: \n"
                                                         "DIF,DIFE=04 ; VIF, VIFE=13 ; Instantenous value , "
                                                         "12.345 m3, KV1\n");
    QTest::newRow("one argument without spaces")
        << QStringList{QString(good).remove(' ')} << QByteArray() << 0 << QByteArray("12.345 m3, KV1");
    QTest::newRow("stdin, lower case, CRLF, several lines")
        << QStringList() << QByteArray(kGood).toLower().replace(" 00 00 00 ", "\r\n00 00 00\t").append("\r\n") << 0
        << QByteArray("ID:12345678");
    // Named columns, whole years, "-" for an empty field: no line ends in a blank.
    QTest::newRow("table") << QStringList{"--table"} << replyHex("0413 39300000 426C 1F3C 046D 1E0A2E35").toHex(' ')
                           << 0
                           << QByteArray(
                                  "id\t12345678\nmanufacturer\tQRV\nversion\t16\nmedium\tWater\naccess\t85\n"
                                  "status\t-\naddress\t5\nrecord\tvalue\tunit\tdescription\tdif\tvif\tvife\n"
                                  "1\t12.345\tm3\tKV1\t04\t13\t-\n"
                                  "2\t31.12.2024\tTime point\tDate (dd.mm.yyyy)\t42\t6C\t-\n"
                                  "3\t10:30, 14.05.2025\tTime point\tDate and time (hh:mm, dd.mm.yyyy)\t04\t6D\t-\n");
    QTest::newRow("wrong checksum") << QStringList{QString(good).replace("1B 16", "1C 16")} << QByteArray() << 1
                                    << QByteArray("Wrong CRC\n");
    QTest::newRow("all three tests fail")
        << QStringList{QString(good).replace("1B 16", "1C 17").replace("68 15", "68 16")} << QByteArray() << 1
        << QByteArray("Wrong CRC\nWrong STOP byte\nWrong length in the header\n");
    QTest::newRow("short frame") << QStringList{"10 7B 01 7C 16"} << QByteArray() << 1 << QByteArray("shorter than 8");
    QTest::newRow("control frame passes")
        << QStringList{"68 03 03 68 53 FE 51 A2 16"} << QByteArray() << 0 << QByteArray("Exception - ");
    QTest::newRow("not hex") << QStringList{"68 ZZ"} << QByteArray() << 2 << QByteArray();
    QTest::newRow("odd digit count") << QStringList{"681"} << QByteArray() << 2 << QByteArray();
    QTest::newRow("empty input") << QStringList() << QByteArray() << 2 << QByteArray();
    QTest::newRow("unknown option") << QStringList{"--bogus"} << QByteArray() << 2 << QByteArray();
    QTest::newRow("help") << QStringList{"--help"} << QByteArray() << 0 << QByteArray("Usage: mbus-decode");
    QByteArray garbage;
    for (int i = 0; i < 600; ++i)
        garbage.append(char((i * 37 + 11) & 0xFF));
    QTest::newRow("binary garbage") << QStringList() << garbage << 2 << QByteArray();
    QTest::newRow("truncated record")
        << QStringList() << longFrame(QByteArray::fromHex("0805727856341256461007550000000413393000")).toHex(' ') << 0
        << QByteArray("ID:12345678");
    QTest::newRow("real flow scaled")
        << QString("68 15 15 68 08 05 72 78 56 34 12 24 40 01 07 55 00 00 00 05 3E 00 00 C0 3F 96 16").split(' ')
        << QByteArray() << 0 << QByteArray("DIF,DIFE=05 ; VIF, VIFE=3E ; Instantenous value , 1500.00000 l/h, Debit\n");
}

void TestDecode::tool()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);

    const QString program = QStringLiteral(TELVARO_BIN_DIR "/mbus-decode");
    if (!QFile::exists(program))
        QSKIP("mbus-decode is not built");
    QProcess process;
    process.start(program, arguments);
    QVERIFY(process.waitForStarted());
    process.write(input);
    process.closeWriteChannel();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    const QByteArray out = process.readAllStandardOutput();
    QCOMPARE(process.exitCode(), exitCode);
    if (exitCode == 2)
        QVERIFY(!process.readAllStandardError().isEmpty() || arguments.contains("--bogus"));
    if (arguments == QStringList{"--table"})
        QCOMPARE(out, output);
    QVERIFY2(out.contains(output), out.constData());
}
