// Whole frames for early completion, readings of several telegrams joined
// into one, and the storage/tariff/sub-unit numbers of a record's DIB.

#include "decode/decode.h"
#include "decode/record_fields.h"
#include "decode/telegrams.h"
#include "mbus/frame_complete.h"
#include "mbus/frames.h"

#include <QtTest>

namespace {

mbus::Bytes hex(const char *text)
{
    const QByteArray b = QByteArray::fromHex(text);
    return mbus::Bytes(b.begin(), b.end());
}

// An RSP_UD of meter 12345678 at address 5 with these records.
mbus::Bytes reply(const char *records, std::uint8_t access = 0)
{
    mbus::Bytes data = hex("78563412 4304 01 07");
    data.push_back(access);
    for (std::uint8_t b : hex("00 0000"))
        data.push_back(b);
    for (std::uint8_t b : hex(records))
        data.push_back(b);
    return mbus::longFrame(0x08, 0x05, 0x72, data);
}

decode::DecodeResult joined(const std::vector<mbus::Bytes> &telegrams, bool fullReport = false)
{
    std::vector<mbus::ByteView> views(telegrams.begin(), telegrams.end());
    decode::DecodeOptions options;
    options.fullReport = fullReport;
    options.timeText = "10:00:00";
    options.dateText = "1.1.2027";
    return decode::decodeReplies(views, options);
}

QStringList column(const decode::DecodeResult &r, decode::Column c)
{
    QStringList out;
    for (const decode::WorkRow &row : r.rows)
        out << QString::fromStdString(row[c]);
    return out;
}

} // namespace

class TstTelegrams : public QObject {
    Q_OBJECT
private slots:
    void completeFrame_data();
    void completeFrame();
    void prefixesAreNeverComplete();
    void joinsTelegrams();
    void oneTelegramIsDecodeReply();
    void brokenTelegramEndsReading();
    void reportOfSeveralTelegrams();
    void limitReadingKeepsLastMarker();
    void recordFields_data();
    void recordFields();
};

void TstTelegrams::completeFrame_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("complete");
    const mbus::Bytes good = reply("0C13 45230100");
    const QByteArray goodText = QByteArray(reinterpret_cast<const char *>(good.data()), qsizetype(good.size())).toHex();
    QTest::newRow("single E5") << QByteArray("e5") << true;
    QTest::newRow("other single byte") << QByteArray("e4") << false;
    QTest::newRow("two E5 run together") << QByteArray("e5e5") << false;
    QTest::newRow("short frame") << QByteArray("1008050d16") << true;
    QTest::newRow("short frame, bad checksum") << QByteArray("1008050e16") << false;
    QTest::newRow("short frame, no stop byte") << QByteArray("1008050d17") << false;
    QTest::newRow("long frame") << goodText << true;
    QTest::newRow("long frame and a stray byte") << goodText + "00" << false;
    QTest::newRow("junk before a long frame") << "00" + goodText << false;
    QByteArray badSum = goodText;
    badSum[badSum.size() - 4] = badSum.at(badSum.size() - 4) == '0' ? '1' : '0';
    QTest::newRow("long frame, bad checksum (a collision)") << badSum << false;
    QByteArray lengths = goodText;
    lengths.replace(4, 2, "16"); // second L differs
    QTest::newRow("long frame, L fields differ") << lengths << false;
    QTest::newRow("control frame 68 03 03 68") << QByteArray("680303685305bb1316") << true;
    QTest::newRow("nothing") << QByteArray() << false;
}

void TstTelegrams::completeFrame()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, complete);
    const QByteArray raw = QByteArray::fromHex(bytes);
    QCOMPARE(mbus::isCompleteFrame({reinterpret_cast<const std::uint8_t *>(raw.constData()), std::size_t(raw.size())}),
             complete);
}

// A reply arriving byte by byte is complete only with its last byte.
void TstTelegrams::prefixesAreNeverComplete()
{
    const mbus::Bytes frame = reply("0C13 45230100 0B3B 450100");
    for (std::size_t n = 0; n < frame.size(); ++n)
        QVERIFY2(!mbus::isCompleteFrame(mbus::ByteView(frame).first(n)), qPrintable(QString::number(n)));
    QVERIFY(mbus::isCompleteFrame(frame));
}

void TstTelegrams::joinsTelegrams()
{
    const std::vector<mbus::Bytes> telegrams = {reply("0C13 01000000 0C13 02000000 1F"), reply("0C13 03000000 1F", 1),
                                                reply("0C13 04000000", 2)};
    QVERIFY(decode::announcesMoreRecords(telegrams[0]));
    QVERIFY(!decode::announcesMoreRecords(telegrams[2]));
    QVERIFY(!decode::announcesMoreRecords(reply("0F 0102"))); // 0F: manufacturer data, nothing more
    const decode::DecodeResult r = joined(telegrams);
    QVERIFY(r.valid && r.headerDecoded && r.updateDeviceTable);
    QVERIFY(!r.moreRecordsFollow);
    QCOMPARE(column(r, decode::ColNumber), QStringList({"1", "2", "3", "4", ""}));
    QCOMPARE(column(r, decode::ColValue), QStringList({"0.001", "0.002", "0.003", "0.004", ""}));
    QCOMPARE(r.recordData.size(), std::size_t(4));
    QCOMPARE(r.recordData[2], hex("03000000"));
    QCOMPARE(r.header.accessNumber, 0); // the first telegram's header
    // Every telegram is in the log, in order.
    QCOMPARE(std::count_if(r.logLines.begin(), r.logLines.end(),
                           [](const std::string &l) { return l.rfind("Respond: ", 0) == 0; }),
             3);
}

void TstTelegrams::oneTelegramIsDecodeReply()
{
    const mbus::Bytes t = reply("0C13 01000000 1F");
    const decode::DecodeResult one = joined({t});
    const decode::DecodeResult direct = decode::decodeReply(t, decode::DecodeOptions());
    QCOMPARE(one.rows, direct.rows);
    QCOMPARE(one.logLines, direct.logLines);
    QVERIFY(one.moreRecordsFollow);
    QCOMPARE(column(one, decode::ColDescription).last(), QStringLiteral("Manf. secific"));
}

void TstTelegrams::brokenTelegramEndsReading()
{
    mbus::Bytes broken = reply("0C13 03000000");
    broken[broken.size() - 2] ^= 0xFF;
    const decode::DecodeResult r = joined({reply("0C13 01000000 1F"), broken});
    QVERIFY(!r.valid);
    QCOMPARE(column(r, decode::ColNumber), QStringList({"1", ""}));
    QVERIFY(std::find(r.logLines.begin(), r.logLines.end(), "Wrong CRC") != r.logLines.end());
}

void TstTelegrams::reportOfSeveralTelegrams()
{
    const decode::DecodeResult r = joined({reply("0C13 01000000 1F"), reply("0C13 02000000")}, true);
    QVERIFY(r.reportWritten);
    QCOMPARE(r.reportLines.size(), std::size_t(6));
    QVERIFY(r.reportLines[0].rfind("ID:12345678", 0) == 0);
    QVERIFY(r.reportLines[2].find("0.001 m3") != std::string::npos);
    QVERIFY(r.reportLines[3].find("0.002 m3") != std::string::npos);
    QCOMPARE(r.reportLines[4], std::string("Decoded at 10:00:00, 1.1.2027"));
    QVERIFY(r.reportLines[5].empty());
}

// A reading cut at the telegram limit keeps the last telegram's 1F row: the
// table shows that more would have followed.
void TstTelegrams::limitReadingKeepsLastMarker()
{
    const decode::DecodeResult r = joined({reply("0C13 01000000 1F"), reply("0C13 02000000 1F")});
    QVERIFY(r.moreRecordsFollow);
    QCOMPARE(column(r, decode::ColNumber), QStringList({"1", "2", "3"}));
    QCOMPARE(column(r, decode::ColDescription).last(), QStringLiteral("Manf. secific"));
    QCOMPARE(r.recordData.size(), std::size_t(3));
}

void TstTelegrams::recordFields_data()
{
    QTest::addColumn<QByteArray>("dib");
    QTest::addColumn<QString>("function");
    QTest::addColumn<qulonglong>("storage");
    QTest::addColumn<uint>("tariff");
    QTest::addColumn<uint>("subunit");
    QTest::newRow("plain") << QByteArray("0c") << "instantaneous" << 0ull << 0u << 0u;
    QTest::newRow("storage 1") << QByteArray("4c") << "instantaneous" << 1ull << 0u << 0u;
    QTest::newRow("maximum") << QByteArray("1c") << "maximum" << 0ull << 0u << 0u;
    QTest::newRow("minimum") << QByteArray("2c") << "minimum" << 0ull << 0u << 0u;
    QTest::newRow("during error") << QByteArray("3c") << "error" << 0ull << 0u << 0u;
    QTest::newRow("tariff 1") << QByteArray("8c10") << "instantaneous" << 0ull << 1u << 0u;
    QTest::newRow("storage 3, sub-unit 2") << QByteArray("cc8140") << "instantaneous" << 3ull << 0u << 2u;
    QTest::newRow("storage 12 in one DIFE") << QByteArray("8c06") << "instantaneous" << 12ull << 0u << 0u;
    QTest::newRow("DIFE without extension bit ends") << QByteArray("8c0101") << "instantaneous" << 2ull << 0u << 0u;
    QTest::newRow("DIF says no DIFE") << QByteArray("0c01") << "instantaneous" << 0ull << 0u << 0u;
    QTest::newRow("empty") << QByteArray() << "instantaneous" << 0ull << 0u << 0u;
    QTest::newRow("eleven DIFEs: the tenth is the last counted")
        << QByteArray("8c8f8f8f8f8f8f8f8f8f8f0f") << "instantaneous" << ((1ull << 41) - 2) << 0u << 0u;
}

void TstTelegrams::recordFields()
{
    QFETCH(QByteArray, dib);
    QFETCH(QString, function);
    QFETCH(qulonglong, storage);
    QFETCH(uint, tariff);
    QFETCH(uint, subunit);
    const QByteArray raw = QByteArray::fromHex(dib);
    const decode::RecordFields f = decode::recordFields(
        {reinterpret_cast<const std::uint8_t *>(raw.constData()), std::size_t(raw.size())});
    QCOMPARE(QString::fromLatin1(decode::functionName(f.function)), function);
    QCOMPARE(qulonglong(f.storage), storage);
    QCOMPARE(uint(f.tariff), tariff);
    QCOMPARE(uint(f.subunit), subunit);
}

QTEST_APPLESS_MAIN(TstTelegrams)
#include "tst_telegrams.moc"
