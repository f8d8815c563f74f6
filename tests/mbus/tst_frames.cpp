// Request frames byte for byte, the text conversions behind them, refusals of
// input that cannot be sent, and the first classification of a reply.

#include "mbus/conversions.h"
#include "mbus/frames.h"
#include "mbus/reply_kind.h"

#include <QtTest>

using namespace mbus;

Q_DECLARE_METATYPE(mbus::ReplyKind)
Q_DECLARE_METATYPE(mbus::Request)

namespace {

QByteArray bytes(const Bytes &b)
{
    return QByteArray(reinterpret_cast<const char *>(b.data()), qsizetype(b.size()));
}

QByteArray bytes(const std::optional<Bcd4> &b)
{
    return b ? QByteArray(reinterpret_cast<const char *>(b->data()), 4) : QByteArray();
}

QString text(const std::string &s)
{
    return QString::fromStdString(s);
}

std::array<std::uint8_t, 8> pattern(const char *digits)
{
    std::array<std::uint8_t, 8> p{};
    for (std::size_t i = 0; i < 8; ++i)
        p[i] = digits[i] == 'F' ? 15 : std::uint8_t(digits[i] - '0');
    return p;
}

const QString kNormalRead = QStringLiteral("Socket exception during normal read - ");

} // namespace

class TstFrames : public QObject {
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void refusals_data();
    void refusals();
    void integerValue_data();
    void integerValue();
    void idToBcd_data();
    void idToBcd();
    void mediumCode_data();
    void mediumCode();
    void unitVif_data();
    void unitVif();
    void baudRateCi();
    void classify_data();
    void classify();
};

void TstFrames::frames_data()
{
    QTest::addColumn<Request>("request");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("writeFailure");
    QTest::addColumn<QString>("socketFailure");
    QTest::addColumn<bool>("logSent");

    auto row = [](const char *name, const Request &r, const char *hex, const char *write,
                  const QString &socket = kNormalRead, bool logSent = true) {
        QTest::newRow(name) << r << QByteArray::fromHex(hex) << QString::fromLatin1(write) << socket << logSent;
    };
    const char *readingFive = "Can not write to COM port - reading device 5";
    const char *litersFive = "Can not write to COM port - setting liters 5";

    // Worked examples.
    row("REQ_UD2 5", buildReqUd2(5, false), "107B058016", readingFive);
    row("REQ_UD2 5 5B", buildReqUd2(5, true), "105B056016", readingFive);
    row("SND_NKE 253", buildSndNke(253), "1040FD3D16", "Can not write to COM port - SND_NKE device 253");
    row("SND_NKE 255", buildSndNke(255), "1040FF3F16", "Can not write to COM port - SND_NKE device 255");
    row("reset 5", buildApplicationReset(5), "68030368730550C816", "Can not write to COM port - reset device 5");
    row("baud 2400 for 5", buildBaudChange(5, kCiBaud2400), "680303685305BB1316",
        "Can not write to COM port - Change baud of device 5");
    row("primary 7 for selected", buildPrimaryAddressWrite(253, 7), "6806066873FD51017A074316",
        "Can not write to COM port - setting primary address, old is 253",
        QStringLiteral("Socket exception during secondary set - "));
    row("ID 12345678 for 5", buildIdChange(5, "12345678"), "680909687305510C79785634126216",
        "Can not write to COM port - changing ID 5");
    row("select 12345678", buildSecondarySelection("12345678"), "680B0B6853FD5278563412FFFFFFFFB216",
        "Can not write to COM port - reading by secondary 12345678");
    row("wildcard 1FFFFFFF", buildWildcardSelection(pattern("1FFFFFFF")), "680B0B6853FD52FFFFFF1FFFFFFFFFBA16",
        "Can not write to COM port - searching by secondary...", kNormalRead, false);
    row("liters 00012345 BCD", buildLitresWrite(5, "00012345", false), "680909685305510C13452301003116", litersFive);
    row("liters 00012345 integer", buildLitresWrite(5, "00012345", true), "680909685305510413393000002916", litersFive);
    row("medium Water 12345678", buildMediumWrite(5, 0x07, "12345678"), "680D0D68530551077978563412FFFFFF074116",
        "Can not write to COM port - setting medium to 5");
    row("unit l x 1 Water", buildUnitWrite(5, mbus::mediumCode("Water"), mbus::unitVif("l", "1")),
        "680909685305510F1303070101D716", "Can not write to COM port - setting unit to 5");

    // Broadcast address, and the checksum of both FCB values.
    row("REQ_UD2 254", buildReqUd2(254, false), "107BFE7916", "Can not write to COM port - reading device 254");
    row("REQ_UD2 254 5B", buildReqUd2(254, true), "105BFE5916", "Can not write to COM port - reading device 254");
    row("reset broadcast", buildApplicationReset(254), "6803036873FE50C116",
        "Can not write to COM port - reset device 254");
    // Only the low 8 bits of the address count, in the frame and in the text.
    row("address 261 is 5", buildReqUd2(261, false), "107B058016", readingFive);
    row("address -1 is 255", buildSndNke(-1), "1040FF3F16", "Can not write to COM port - SND_NKE device 255");

    row("baud 300", buildBaudChange(0, kCiBaud300), "680303685300B80B16",
        "Can not write to COM port - Change baud of device 0");
    row("baud 9600", buildBaudChange(250, kCiBaud9600), "6803036853FABD0A16",
        "Can not write to COM port - Change baud of device 250");
    row("primary 250 broadcast", buildPrimaryAddressWrite(254, 250), "6806066873FE51017AFA3716",
        "Can not write to COM port - setting primary address, old is 254",
        QStringLiteral("Socket exception during secondary set - "));
    row("primary 0", buildPrimaryAddressWrite(1, 0), "68060668730151017A004016",
        "Can not write to COM port - setting primary address, old is 1",
        QStringLiteral("Socket exception during secondary set - "));

    // Value texts shorter than 8 digits are padded on the left.
    row("liters 7 BCD", buildLitresWrite(5, "7", false), "680909685305510C1307000000CF16", litersFive);
    row("liters 99999999 BCD", buildLitresWrite(5, "99999999", false), "680909685305510C13999999992C16", litersFive);
    row("value with unit kJ", buildValueWithUnitWrite(5, "1234", mbus::unitVif("kJ", "1")),
        "680909685305510C0B341200000616", litersFive);
    // The checksum wraps more than once.
    row("value with unit, sum wraps", buildValueWithUnitWrite(0xFE, "99999999", 0xFF), "6809096853FE510CFF999999991116",
        "Can not write to COM port - setting liters 254");

    // Broadcast medium write: the whole identification record is wildcards.
    row("medium broadcast", buildMediumWrite(254, 0x16, "FFFFFFFF"), "680D0D6853FE510779FFFFFFFFFFFFFF163116",
        "Can not write to COM port - setting medium to 254");
    row("medium unknown name", buildMediumWrite(5, mbus::mediumCode("water"), "00000001"),
        "680D0D68530551077901000000FFFFFF0F3616", "Can not write to COM port - setting medium to 5");
    row("unit N/A", buildUnitWrite(5, 0x08, mbus::unitVif("N/A", "10000")), "680909685305510F6E030801013316",
        "Can not write to COM port - setting unit to 5");

    // Wildcard patterns: digit order, fully open and fully fixed.
    row("wildcard FFFFFFF7", buildWildcardSelection(pattern("FFFFFFF7")), "680B0B6853FD52F7FFFFFFFFFFFFFF9216",
        "Can not write to COM port - searching by secondary...", kNormalRead, false);
    row("wildcard 30FFFFFF", buildWildcardSelection(pattern("30FFFFFF")), "680B0B6853FD52FFFFFF30FFFFFFFFCB16",
        "Can not write to COM port - searching by secondary...", kNormalRead, false);
    row("wildcard 30000017", buildWildcardSelection(pattern("30000017")), "680B0B6853FD5217000030FFFFFFFFE516",
        "Can not write to COM port - searching by secondary...", kNormalRead, false);
}

void TstFrames::frames()
{
    QFETCH(Request, request);
    QFETCH(QByteArray, frame);
    QFETCH(QString, writeFailure);
    QFETCH(QString, socketFailure);
    QFETCH(bool, logSent);

    QVERIFY2(request.ok(), request.refusal.c_str());
    QCOMPARE(bytes(request.frame).toHex(' ').toUpper(), frame.toHex(' ').toUpper());
    QCOMPARE(text(request.writeFailure), writeFailure);
    QCOMPARE(text(request.socketFailure), socketFailure);
    QCOMPARE(request.logSent, logSent);
    QVERIFY(request.refusal.empty());
}

void TstFrames::refusals_data()
{
    QTest::addColumn<Request>("request");
    QTest::addColumn<QString>("mentions");

    auto row = [](const char *name, const Request &r, const char *mentions) {
        QTest::newRow(name) << r << QString::fromLatin1(mentions);
    };

    row("change ID empty", buildIdChange(5, ""), "ID \"\"");
    row("change ID 7 digits", buildIdChange(5, "1234567"), "ID \"1234567\"");
    row("change ID 9 digits", buildIdChange(5, "123456789"), "ID \"123456789\"");
    row("change ID with F", buildIdChange(5, "1234567F"), "ID");
    row("change ID with blank", buildIdChange(5, "1234 678"), "ID");
    row("select ends in F", buildSecondarySelection("0000000F"), "ID \"0000000F\"");
    row("select all F", buildSecondarySelection("FFFFFFFF"), "ID");
    row("select hex digit", buildSecondarySelection("1234567A"), "ID");
    row("medium partly F", buildMediumWrite(5, 7, "1234FFFF"), "ID");
    row("medium lower-case f", buildMediumWrite(254, 7, "ffffffff"), "ID");
    row("medium empty ID", buildMediumWrite(5, 7, ""), "ID");
    row("medium 9 F", buildMediumWrite(254, 7, "FFFFFFFFF"), "ID");

    row("liters empty", buildLitresWrite(5, "", false), "value \"\"");
    row("liters 9 digits", buildLitresWrite(5, "123456789", false), "value \"123456789\"");
    row("liters sign", buildLitresWrite(5, "-5", false), "value");
    row("liters decimal point", buildLitresWrite(5, "12.5", false), "value");
    row("liters blank", buildLitresWrite(5, " 12", false), "value");
    row("GIN empty", buildLitresWrite(5, "", true), "value");
    row("GIN 2^32", buildLitresWrite(5, "4294967296", true), "value \"4294967296\"");
    row("GIN 11 digits", buildLitresWrite(5, "00000000001", true), "value");
    row("value with unit 9 digits", buildValueWithUnitWrite(5, "100000000", 0x13), "value");

    row("new address 251", buildPrimaryAddressWrite(5, 251), "primary address 251");
    row("new address -1", buildPrimaryAddressWrite(5, -1), "primary address -1");

    row("baud CI 0", buildBaudChange(5, 0x00), "0x00");
    row("baud CI B9", buildBaudChange(5, 0xB9), "0xB9");

    row("wildcard digit 10", buildWildcardSelection({10, 15, 15, 15, 15, 15, 15, 15}), "pattern");
    row("wildcard digit 255", buildWildcardSelection({1, 2, 3, 4, 5, 6, 7, 255}), "pattern");
}

void TstFrames::refusals()
{
    QFETCH(Request, request);
    QFETCH(QString, mentions);

    QVERIFY(!request.ok());
    QVERIFY(request.frame.empty());
    QVERIFY(request.writeFailure.empty());
    const QString refusal = text(request.refusal);
    QVERIFY2(refusal.contains(mentions), qPrintable(refusal));
    QVERIFY2(refusal.endsWith(QLatin1String("...")), qPrintable(refusal));
}

// "GIN": all 32 bits, least significant byte first.
void TstFrames::integerValue_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("zero") << "0" << QByteArray::fromHex("00000000");
    QTest::newRow("padded 7") << "00000007" << QByteArray::fromHex("07000000");
    QTest::newRow("2^24 - 1") << "16777215" << QByteArray::fromHex("FFFFFF00");
    QTest::newRow("2^24") << "16777216" << QByteArray::fromHex("00000001");
    QTest::newRow("8 nines") << "99999999" << QByteArray::fromHex("FFE0F505");
    QTest::newRow("2^32 - 1") << "4294967295" << QByteArray::fromHex("FFFFFFFF");
    QTest::newRow("leading zeros, 10 digits") << "0000000256" << QByteArray::fromHex("00010000");
}

void TstFrames::integerValue()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, data);

    const Request r = buildLitresWrite(5, value.toStdString(), true);
    QVERIFY2(r.ok(), r.refusal.c_str());
    QCOMPARE(r.frame.size(), std::size_t(15));
    QCOMPARE(bytes(r.frame).mid(7, 2), QByteArray::fromHex("0413"));
    QCOMPARE(bytes(r.frame).mid(9, 4).toHex(), data.toHex());
    QCOMPARE(r.frame[13], frameChecksum(ByteView(r.frame).subspan(4, 9)));
}

void TstFrames::idToBcd_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("allowWildcard");
    QTest::addColumn<QByteArray>("bcd"); // empty: refused

    QTest::newRow("digits") << "12345678" << false << QByteArray::fromHex("78563412");
    QTest::newRow("digits, F allowed") << "90817263" << true << QByteArray::fromHex("63728190");
    QTest::newRow("all F allowed") << "FFFFFFFF" << true << QByteArray::fromHex("FFFFFFFF");
    QTest::newRow("mixed F allowed") << "1F2F3F4F" << true << QByteArray::fromHex("4F3F2F1F");
    QTest::newRow("F not allowed") << "1234567F" << false << QByteArray();
    QTest::newRow("lower-case f") << "1234567f" << true << QByteArray();
    QTest::newRow("hex digit A") << "A2345678" << true << QByteArray();
    QTest::newRow("character after 9") << "1234567:" << false << QByteArray();
    QTest::newRow("character before 0") << "/2345678" << false << QByteArray();
    QTest::newRow("empty") << "" << true << QByteArray();
    QTest::newRow("7 characters") << "1234567" << false << QByteArray();
    QTest::newRow("9 characters") << "123456789" << false << QByteArray();
}

void TstFrames::idToBcd()
{
    QFETCH(QString, id);
    QFETCH(bool, allowWildcard);
    QFETCH(QByteArray, bcd);

    QCOMPARE(bytes(mbus::idToBcd(id.toStdString(), allowWildcard)).toHex(), bcd.toHex());
}

void TstFrames::mediumCode_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("code");

    QTest::newRow("Oil") << "Oil" << 0x01;
    QTest::newRow("Electricity") << "Electricity" << 0x02;
    QTest::newRow("Gas") << "Gas" << 0x03;
    QTest::newRow("Heat meter") << "Heat meter" << 0x04;
    QTest::newRow("Steam") << "Steam" << 0x05;
    QTest::newRow("Hot water") << "Hot water" << 0x06;
    QTest::newRow("Water") << "Water" << 0x07;
    QTest::newRow("H.C.A") << "H.C.A" << 0x08;
    QTest::newRow("Cold meter") << "Cold meter" << 0x0B;
    QTest::newRow("Cold water") << "Cold water" << 0x16;
    QTest::newRow("Pressure") << "Pressure" << 0x18;
    QTest::newRow("Other") << "Other" << 0x00;
    QTest::newRow("case differs") << "water" << 0x0F;
    QTest::newRow("empty") << "" << 0x0F;
}

void TstFrames::mediumCode()
{
    QFETCH(QString, name);
    QFETCH(int, code);

    QCOMPARE(int(mbus::mediumCode(name.toStdString())), code);
}

void TstFrames::unitVif_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("multiplier");
    QTest::addColumn<int>("vif");

    const struct {
        const char *unit;
        int base;
    } units[] = {{"l", 0x10}, {"Wh", 0x00}, {"kJ", 0x08}};
    for (const auto &u : units)
        for (std::size_t k = 0; k < kMultiplierNames.size(); ++k) {
            const QString m = QString::fromLatin1(kMultiplierNames[k].data(), qsizetype(kMultiplierNames[k].size()));
            QTest::addRow("%s x %s", u.unit, qPrintable(m)) << u.unit << m << u.base + int(k);
            QTest::addRow("N/A x %s", qPrintable(m)) << "N/A" << m << 0x6E;
        }
    QTest::newRow("N/A, odd multiplier") << "N/A"
                                         << "7" << 0x6E;
    QTest::newRow("unknown unit") << "m3"
                                  << "1" << 0x00;
    QTest::newRow("unit case differs") << "L"
                                       << "1" << 0x00;
    QTest::newRow("empty unit") << ""
                                << "1" << 0x00;
    QTest::newRow("l, multiplier 1.0") << "l"
                                       << "1.0" << 0x00;
    QTest::newRow("kJ, multiplier 100000") << "kJ"
                                           << "100000" << 0x00;
    QTest::newRow("Wh, empty multiplier") << "Wh"
                                          << "" << 0x00;
}

void TstFrames::unitVif()
{
    QFETCH(QString, unit);
    QFETCH(QString, multiplier);
    QFETCH(int, vif);

    QCOMPARE(int(mbus::unitVif(unit.toStdString(), multiplier.toStdString())), vif);
}

void TstFrames::baudRateCi()
{
    QCOMPARE(mbus::baudRateCi(300), std::optional<std::uint8_t>(0xB8));
    QCOMPARE(mbus::baudRateCi(2400), std::optional<std::uint8_t>(0xBB));
    QCOMPARE(mbus::baudRateCi(9600), std::optional<std::uint8_t>(0xBD));
    QVERIFY(!mbus::baudRateCi(1200));
    QVERIFY(!mbus::baudRateCi(0));
}

void TstFrames::classify_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<ReplyKind>("kind");
    QTest::addColumn<ReplyKind>("readAllKind");

    QTest::newRow("nothing") << QByteArray() << ReplyKind::NoResponse << ReplyKind::NoResponse;
    QTest::newRow("E5") << QByteArray::fromHex("E5") << ReplyKind::Acknowledge << ReplyKind::Acknowledge;
    QTest::newRow("stray byte") << QByteArray::fromHex("E4") << ReplyKind::Candidate << ReplyKind::NoResponse;
    QTest::newRow("E5 E5") << QByteArray::fromHex("E5E5") << ReplyKind::Candidate << ReplyKind::Candidate;
    QTest::newRow("two bytes") << QByteArray::fromHex("6800") << ReplyKind::Candidate << ReplyKind::Candidate;
    QTest::newRow("RSP_UD start") << QByteArray::fromHex("681F1F680805720000000000") << ReplyKind::Candidate
                                  << ReplyKind::Candidate;
}

void TstFrames::classify()
{
    QFETCH(QByteArray, reply);
    QFETCH(ReplyKind, kind);
    QFETCH(ReplyKind, readAllKind);

    const ByteView view(reinterpret_cast<const std::uint8_t *>(reply.constData()), std::size_t(reply.size()));
    QCOMPARE(classifyReply(view), kind);
    QCOMPARE(classifyReadAllReply(view), readAllKind);
}

QTEST_APPLESS_MAIN(TstFrames)
#include "tst_frames.moc"
