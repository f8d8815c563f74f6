// Cutting the master's byte stream into frames.

#include "tst_sim.h"

#include "framer.h"

#include <QtTest>

#include <random>

namespace {
// Pushes the chunks in order and writes what came out as "F:<hex>" / "J<count>:<hex>".
QStringList run(mbussim::Framer &framer, const QByteArrayList &chunks)
{
    QStringList out;
    for (const QByteArray &chunk : chunks) {
        const mbussim::Bytes in(chunk.begin(), chunk.end());
        for (const mbussim::FramerEvent &e : framer.push(in)) {
            const QByteArray hex =
                QByteArray(reinterpret_cast<const char *>(e.bytes.data()), qsizetype(e.bytes.size())).toHex().toUpper();
            out << (e.kind == mbussim::FramerEvent::Kind::Frame
                        ? "F:" + hex
                        : "J" + QByteArray::number(qulonglong(e.count)) + ":" + hex);
        }
    }
    return out;
}
} // namespace

void TestSim::framer_data()
{
    QTest::addColumn<QByteArrayList>("chunks");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<bool>("pending");
    const auto h = [](const char *t) { return QByteArray::fromHex(t); };
    QTest::newRow("short frame whole") << QByteArrayList{h("107B017C16")} << QStringList{"F:107B017C16"} << false;
    QTest::newRow("short frame byte by byte")
        << QByteArrayList{h("10"), h("7B"), h("01"), h("7C"), h("16")} << QStringList{"F:107B017C16"} << false;
    QTest::newRow("long frame split in the header")
        << QByteArrayList{h("6803"), h("03687305"), h("50C816")} << QStringList{"F:68030368730550C816"} << false;
    QTest::newRow("two frames in one chunk")
        << QByteArrayList{h("1040014116107B017C16")} << QStringList{"F:1040014116", "F:107B017C16"} << false;
    QTest::newRow("single E5") << QByteArrayList{h("E5")} << QStringList{"F:E5"} << false;
    QTest::newRow("garbage before a frame")
        << QByteArrayList{h("0033FF107B017C16")} << QStringList{"J3:0033FF", "F:107B017C16"} << false;
    QTest::newRow("bad checksum skipped, resync inside")
        << QByteArrayList{h("107B017D16107B017C16")} << QStringList{"J5:107B017D16", "F:107B017C16"} << false;
    QTest::newRow("wrong stop byte") << QByteArrayList{h("107B017C17")} << QStringList{"J5:107B017C17"} << false;
    QTest::newRow("long frame with bad checksum")
        << QByteArrayList{h("68030368730550C916")} << QStringList{"J9:68030368730550C916"} << false;
    QTest::newRow("long frame L bytes differ")
        << QByteArrayList{h("68030468730550C816")} << QStringList{"J9:68030468730550C816"} << false;
    QTest::newRow("long frame L below 3") << QByteArrayList{h("680202687305")} << QStringList{"J3:680202"} << true;
    QTest::newRow("frame hidden in a bad long frame's data")
        << QByteArrayList{h("680808681040FD3D160000000016")}
        << QStringList{"J4:68080868", "F:1040FD3D16", "J5:0000000016"} << false;
    QTest::newRow("partial frame waits") << QByteArrayList{h("107B01")} << QStringList{} << true;
    QTest::newRow("long frame needs all its bytes")
        << QByteArrayList{h("68FFFF68"), QByteArray(200, '\0')} << QStringList{} << true;
    QTest::newRow("garbage then a partial frame") << QByteArrayList{h("AA68030368")} << QStringList{"J1:AA"} << true;
}

void TestSim::framer()
{
    QFETCH(QByteArrayList, chunks);
    QFETCH(QStringList, events);
    QFETCH(bool, pending);
    mbussim::Framer f;
    QCOMPARE(run(f, chunks), events);
    QCOMPARE(f.pending(), pending);
}

void TestSim::framerDropsPartialOnIdle()
{
    mbussim::Framer f;
    QVERIFY(run(f, {QByteArray::fromHex("107B01")}).isEmpty());
    const auto dropped = f.flush();
    QCOMPARE(dropped.size(), size_t(1));
    QCOMPARE(dropped[0].kind, mbussim::FramerEvent::Kind::Junk);
    QCOMPARE(dropped[0].count, size_t(3));
    QVERIFY(!f.pending());
    QVERIFY(f.flush().empty());
    // the line is clean again: the rest of the broken frame is garbage, a new frame works
    QCOMPARE(run(f, {QByteArray::fromHex("7C16107B017C16")}), (QStringList{"J2:7C16", "F:107B017C16"}));
}

void TestSim::framerRandomBytes()
{
    // Random streams with frames mixed in: every byte comes out exactly once,
    // each reported frame checks out, and nothing waits longer than one frame.
    std::mt19937 random(7);
    const QByteArray frame = QByteArray::fromHex("68030368730550C816");
    for (int round = 0; round < 200; ++round) {
        mbussim::Framer f;
        QByteArray stream;
        const int n = std::uniform_int_distribution<int>(0, 600)(random);
        for (int i = 0; i < n; ++i)
            stream += (random() % 50 == 0) ? frame : QByteArray(1, char(random() % 4 == 0 ? 0x68 : random()));
        std::size_t seen = 0;
        qsizetype at = 0;
        while (at < stream.size()) {
            const qsizetype len = std::min<qsizetype>(stream.size() - at, 1 + random() % 40);
            const mbussim::Bytes chunk(stream.begin() + at, stream.begin() + at + len);
            at += len;
            for (const mbussim::FramerEvent &e : f.push(chunk)) {
                seen += e.kind == mbussim::FramerEvent::Kind::Frame ? e.bytes.size() : e.count;
                if (e.kind == mbussim::FramerEvent::Kind::Frame)
                    QVERIFY(mbussim::parseFrame(e.bytes).has_value());
                else
                    QVERIFY(e.bytes.size() <= mbussim::Framer::kJunkShown);
            }
        }
        for (const mbussim::FramerEvent &e : f.flush())
            seen += e.count;
        QCOMPARE(seen, std::size_t(stream.size()));
    }
}
