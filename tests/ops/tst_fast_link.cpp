// "Complete reply early" on the real links: the dispatch in front of mbus-sim
// on a pseudo-terminal, as a converter and as a gateway server. A whole reply
// is taken long before the response timeout, a reply in pieces only when its
// last piece is in, and a collision, a damaged reply or silence still wait the
// timeout; without the option every reply waits the timeout, as always.
// Bounds are generous: "well before a timeout of 2 s", "not before 1 s".

#include "link/link_dispatch.h"
#include "link/serial_port.h"
#include "ops/bus_stack.h"
#include "sim_process.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const char kOneMeter[] = "[meter]\naddress = 1\nid = 12345678\nmanufacturer = ABC\nmedium = water\n"
                         "record = 0C13 45230100\nrecord = 0B3B 450100\nrecord = 04 6D 1E 0A 2E 35\n";
const char kTwoAtOne[] = "[meter]\naddress = 1\nid = 12345678\nmanufacturer = ABC\nmedium = water\n"
                         "record = 0C13 45230100\n"
                         "[meter]\naddress = 1\nid = 87654321\nmanufacturer = XYZ\nmedium = gas\n"
                         "record = 0C13 99990000\n";

class Log : public CommLog {
public:
    void addLine(const QString &line) override { lines << line; }
    QStringList lines;
};

struct Bench {
    Bench(const QString &route, const QString &busFile, const QStringList &simArguments, int timeoutMs, bool fast)
        : fast(fast), timeoutMs(timeoutMs)
    {
        if (route == QLatin1String("pty")) {
            sim = std::make_unique<SimProcess>(busFile, simArguments);
            link.portName = sim->link();
        } else {
            const QString mode = route == QLatin1String("tcp") ? QStringLiteral("--tcp")
                                                               : QStringLiteral("--gateway-server");
            sim = std::make_unique<SimProcess>(SimProcess::Tcp{},
                                               QStringList{"--bus", busFile, mode, "0"} + simArguments);
            link.route = route == QLatin1String("tcp") ? LinkRoute::Converter : LinkRoute::GatewayClient;
            link.remoteIp = QStringLiteral("127.0.0.1");
            link.remotePort = QString::number(sim->port());
        }
        link.speed = QStringLiteral("2400");
        LinkDispatch::Environment env;
        env.settings = [this] { return link; };
        dispatch = std::make_unique<LinkDispatch>(comm, log, env);
        stack = std::make_unique<BusStack>(*dispatch, log, table, [this] {
            BusOptions o;
            o.retries = 0;
            o.responseTimeoutMs = this->timeoutMs;
            o.fastReads = this->fast;
            return o;
        });
    }

    // Milliseconds from the request to the moment its reply was taken.
    qint64 readAndTime(int address)
    {
        qint64 taken = -1;
        QElapsedTimer clock;
        const auto connection = QObject::connect(&stack->commands, &Operation::finished, [&] {
            if (taken < 0)
                taken = clock.elapsed();
        });
        stack->session.showSelectedMeter({"", decode::TableAddress::fromText(std::to_string(address))});
        stack->commands.readSelected(false);
        clock.start(); // the request is out and its wait runs
        const bool ended = QTest::qWaitFor([this] { return !stack->session.busy(); }, 3 * timeoutMs + 5000);
        QObject::disconnect(connection);
        return ended ? taken : -1; // a read that never ends fails the caller's check
    }
    bool logHas(const QString &start) const
    {
        return std::any_of(log.lines.begin(), log.lines.end(), [&](const QString &l) { return l.startsWith(start); });
    }

    bool fast;
    int timeoutMs;
    LinkSettings link;
    std::unique_ptr<SimProcess> sim;
    SerialPort comm;
    Log log;
    std::unique_ptr<LinkDispatch> dispatch;
    decode::DeviceTable table;
    std::unique_ptr<BusStack> stack;
};

} // namespace

class TstFastLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void replyTaken_data();
    void replyTaken();

private:
    QTemporaryDir m_dir;
    QString m_oneMeter, m_twoAtOne;
};

void TstFastLink::initTestCase()
{
    const auto write = [this](const char *name, const char *text) {
        const QString path = m_dir.filePath(QLatin1String(name));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
        return path;
    };
    m_oneMeter = write("one.bus", kOneMeter);
    m_twoAtOne = write("two.bus", kTwoAtOne);
}

void TstFastLink::replyTaken_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<bool>("collision");
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<int>("address");
    QTest::addColumn<bool>("fast");
    QTest::addColumn<bool>("early");    // taken well before the timeout, else not before it
    QTest::addColumn<int>("valid");     // the reply decoded whole: 1, not: 0, no reply or either: -1
    QTest::addColumn<int>("atLeastMs"); // the reply cannot be complete sooner

    const QStringList none;
    const QStringList delay{"--reply-delay", "100"};
    const QStringList split{"--split"};
    const QStringList wire{"--wire-time", "--baud", "2400"};
    // Off: exactly as without the option, the full timeout every time.
    QTest::newRow("pty, off") << "pty" << false << delay << 1 << false << false << 1 << 0;
    QTest::newRow("tcp, off") << "tcp" << false << none << 1 << false << false << 1 << 0;
    // On: taken as soon as it is whole.
    QTest::newRow("pty, on, after a delay") << "pty" << false << delay << 1 << true << true << 1 << 100;
    QTest::newRow("pty, on, at 2400 baud") << "pty" << false << wire << 1 << true << true << 1 << 150;
    QTest::newRow("pty, on, in pieces") << "pty" << false << split << 1 << true << true << 1 << 20;
    QTest::newRow("tcp, on, in pieces") << "tcp" << false << split << 1 << true << true << 1 << 20;
    QTest::newRow("gateway, on") << "gateway" << false << delay << 1 << true << true << 1 << 100;
    // On, but nothing whole arrives: the timeout runs out as before. (A
    // damaged start byte still decodes: the decoder does not look at it.)
    QTest::newRow("pty, on, collision") << "pty" << true << none << 1 << true << false << 0 << 0;
    QTest::newRow("pty, on, damaged") << "pty" << false << QStringList{"--corrupt", "100"} << 1 << true << false << -1
                                      << 0;
    QTest::newRow("pty, on, silence") << "pty" << false << none << 7 << true << false << -1 << 0;
}

void TstFastLink::replyTaken()
{
    QFETCH(QString, route);
    QFETCH(bool, collision);
    QFETCH(QStringList, simArguments);
    QFETCH(int, address);
    QFETCH(bool, fast);
    QFETCH(bool, early);
    QFETCH(int, valid);
    QFETCH(int, atLeastMs);
    const int timeout = early ? 2000 : 1000;
    Bench b(route, collision ? m_twoAtOne : m_oneMeter, simArguments + QStringList{"--quiet"}, timeout, fast);
    QVERIFY(b.sim->isReady());
    const qint64 ms = b.readAndTime(address);
    const QString lines = b.log.lines.join(u'\n');
    QVERIFY2(ms >= 0, qPrintable(lines));
    if (early) {
        QVERIFY2(ms < timeout / 2, qPrintable(QString::number(ms)));
        QVERIFY2(ms >= atLeastMs, qPrintable(QString::number(ms)));
    } else {
        QVERIFY2(ms >= timeout - 20, qPrintable(QString::number(ms)));
    }
    QCOMPARE(b.logHas(QStringLiteral("Respond: ")), address != 7);
    if (valid >= 0)
        QVERIFY2(b.logHas(QStringLiteral("Wrong ")) == (valid == 0), qPrintable(lines));
}

QTEST_GUILESS_MAIN(TstFastLink)
#include "tst_fast_link.moc"
