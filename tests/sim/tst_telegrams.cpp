// Meters that answer in several telegrams: which telegram a REQ_UD2 gets by
// its frame count bit, what restarts the sequence, the endless meter, and the
// bus file key.

#include "tst_sim.h"

#include "bus.h"
#include "busfile.h"
#include "frames.h"
#include "mbus/frames.h"

#include <QtTest>

namespace {

// Six volume records 1..6 over three telegrams: 1-2, 3-4, 5-6.
const char kMultiBus[] = "[meter]\naddress = 10\nid = 10101010\nmanufacturer = ABC\nmedium = water\n"
                         "telegrams = 3\n"
                         "record = 0C13 01000000\nrecord = 0C13 02000000\nrecord = 0C13 03000000\n"
                         "record = 0C13 04000000\nrecord = 0C13 05000000\nrecord = 0C13 06000000\n"
                         "[meter]\naddress = 11\nid = 11111111\nmanufacturer = ABC\nmedium = water\n"
                         "telegrams = endless\nrecord = 0C13 01000000\nrecord = 0B3B 450100\n"
                         "[meter]\naddress = 12\nid = 12121212\nmanufacturer = ABC\nmedium = water\n"
                         "telegrams = 3\nrestart-telegrams = yes\n"
                         "record = 0C13 01000000\nrecord = 0C13 02000000\nrecord = 0C13 03000000\n"
                         "record = 0C13 04000000\nrecord = 0C13 05000000\nrecord = 0C13 06000000\n";

mbussim::Bytes frame(const QString &name)
{
    if (name == QLatin1String("7B") || name == QLatin1String("5B"))
        return mbus::buildReqUd2(10, name == QLatin1String("5B")).frame;
    if (name == QLatin1String("7B@12") || name == QLatin1String("5B@12"))
        return mbus::buildReqUd2(12, name == QLatin1String("5B@12")).frame;
    if (name == QLatin1String("NKE"))
        return mbus::buildSndNke(10).frame;
    if (name == QLatin1String("select"))
        return mbus::buildSecondarySelection("10101010").frame;
    if (name == QLatin1String("7B@253"))
        return mbus::buildReqUd2(mbus::kSelectedAddress, false).frame;
    return {};
}

// "1".."3" for a telegram (by its first record's value), "E5", "-" for nothing;
// "+" after the number when the telegram announces more.
QString which(const mbussim::Bytes &reply)
{
    if (reply.empty())
        return QStringLiteral("-");
    if (reply.size() == 1)
        return reply[0] == 0xE5 ? QStringLiteral("E5") : QStringLiteral("?");
    if (reply.size() < 24)
        return QStringLiteral("?");
    const int first = reply[21];
    QString text = QString::number((first + 1) / 2);
    if (reply[reply.size() - 3] == 0x1F)
        text += u'+';
    return text;
}

mbussim::Bus multiBus()
{
    mbussim::BusFileResult r = mbussim::parseBusText(kMultiBus);
    if (!r.ok())
        qFatal("multi bus: %s", r.error.c_str());
    return mbussim::Bus(std::move(r.meters));
}

} // namespace

void TestSim::multiTelegramSequence_data()
{
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QStringList>("answers");
    QTest::newRow("toggled bit walks the telegrams") << QStringList{"7B", "5B", "7B"} << QStringList{"1+", "2+", "3"};
    QTest::newRow("5B first works as well") << QStringList{"5B", "7B", "5B"} << QStringList{"1+", "2+", "3"};
    QTest::newRow("after the last, a toggled bit starts over")
        << QStringList{"7B", "5B", "7B", "5B"} << QStringList{"1+", "2+", "3", "1+"};
    QTest::newRow("after the last, the same bit repeats it")
        << QStringList{"7B", "5B", "7B", "7B"} << QStringList{"1+", "2+", "3", "3"};
    QTest::newRow("a meter that ignores the bit starts over")
        << QStringList{"7B@12", "5B@12", "5B@12"} << QStringList{"1+", "2+", "1+"};
    QTest::newRow("a master that never toggles reads telegram 1")
        << QStringList{"7B", "7B", "7B"} << QStringList{"1+", "1+", "1+"};
    QTest::newRow("SND_NKE restarts") << QStringList{"7B", "5B", "NKE", "5B"} << QStringList{"1+", "2+", "E5", "1+"};
    QTest::newRow("a selection restarts")
        << QStringList{"7B", "5B", "select", "7B@253"} << QStringList{"1+", "2+", "E5", "1+"};
}

void TestSim::multiTelegramSequence()
{
    QFETCH(QStringList, requests);
    QFETCH(QStringList, answers);
    mbussim::Bus bus = multiBus();
    QStringList got;
    for (const QString &request : requests)
        got << which(bus.respond(frame(request)));
    QCOMPARE(got, answers);
}

// The same bit again gets the last telegram byte for byte (access number
// included): the master lost it and asks again.
void TestSim::repeatedTelegramIsIdentical()
{
    mbussim::Bus bus = multiBus();
    bus.respond(frame("7B"));
    const mbussim::Bytes second = bus.respond(frame("5B"));
    mbussim::Response again = bus.handle(frame("5B"));
    QCOMPARE(again.bytes, second);
    QVERIFY(std::any_of(again.notes.begin(), again.notes.end(),
                        [](const std::string &n) { return n.find("telegram 2 again") != std::string::npos; }));
    QCOMPARE(which(bus.respond(frame("7B"))), QStringLiteral("3"));
}

void TestSim::endlessMeterAlwaysAnnouncesMore()
{
    mbussim::Bus bus = multiBus();
    for (int i = 0; i < 40; ++i) {
        const mbussim::Bytes reply = bus.respond(mbus::buildReqUd2(11, i % 2 == 1).frame);
        QVERIFY(reply.size() > 3);
        QCOMPARE(reply[reply.size() - 3], std::uint8_t(0x1F));
        QCOMPARE(reply[15], std::uint8_t(i)); // a new telegram each time: the access number moves on
    }
}

// clang-format off
void TestSim::telegramsKey_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("error"); // empty: accepted
    const QByteArray m = "[meter]\nid = 12345678\nmanufacturer = ABC\nmedium = water\n";
    QTest::newRow("three") << m + "telegrams = 3\n" << "";
    QTest::newRow("sixteen") << m + "telegrams = 16\n" << "";
    QTest::newRow("endless") << m + "telegrams = Endless\n" << "";
    QTest::newRow("restart") << m + "telegrams = 3\nrestart-telegrams = yes\n" << "";
    QTest::newRow("restart, bad value") << m + "restart-telegrams = 1\n" << "restart-telegrams must be 'yes' or 'no'";
    QTest::newRow("zero") << m + "telegrams = 0\n" << "telegrams must be a number 1..16";
    QTest::newRow("seventeen") << m + "telegrams = 17\n" << "telegrams must be";
    QTest::newRow("word") << m + "telegrams = many\n" << "telegrams must be";
    QTest::newRow("raw reply") << QByteArray("[meter]\naddress = 1\nid = 12345678\nraw = E5\ntelegrams = 2\n")
                               << "a raw reply is one telegram";
    // 2 x 120 bytes: too much for one telegram, fine for two.
    QByteArray big;
    for (int i = 0; i < 20; ++i)
        big += "record = 0C13 01000000\n";
    big += big + "record = 0C13 01000000\n";
    QTest::newRow("too much for one") << m + big << "at most 240 fit in one reply";
    QTest::newRow("shared over two") << m + "telegrams = 2\n" + big << "";
}
// clang-format on

void TestSim::telegramsKey()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, error);
    const mbussim::BusFileResult r = mbussim::parseBusText(std::string_view(text.constData(), size_t(text.size())));
    if (error.isEmpty())
        QVERIFY2(r.ok(), r.error.c_str());
    else
        QVERIFY2(QString::fromStdString(r.error).contains(error), r.error.c_str());
}
