// Seeded, reproducible fuzzing of decodeReply: random bytes, random well-framed
// telegrams (so the record walk gets them) and mutated corpus telegrams. Nothing
// may crash or read past the reply (run under the sanitizers), and the result
// must stay consistent.

#include "telegram.h"
#include "tst_decode.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <random>

using namespace testing;

namespace {

QList<QByteArray> corpusTelegrams()
{
    QList<QByteArray> list;
    static const QRegularExpression pair("[0-9A-Fa-f]{2}");
    for (const char *sub : {"valid", "errors"}) {
        const QDir dir(QStringLiteral(TELVARO_TESTDATA_DIR "/telegrams/") + QLatin1String(sub));
        for (const QString &file : dir.entryList({"*.hex"}, QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(file));
            if (!f.open(QIODevice::ReadOnly))
                continue;
            QByteArray bytes;
            auto it = pair.globalMatch(QString::fromLatin1(f.readAll()));
            while (it.hasNext())
                bytes.append(char(it.next().captured(0).toInt(nullptr, 16)));
            list << bytes;
        }
    }
    return list;
}

// Bytes that steer the walk into its interesting corners.
constexpr quint8 kPalette[] = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x1F, 0x2F, 0x84,
    0x8D, 0xC4, 0x80, 0xFF, 0x13, 0x6C, 0x6D, 0xEC, 0xED, 0x78, 0x7C, 0xFC, 0xFD, 0xFB, 0x7E, 0xFE, 0x7F, 0x93, 0xBF,
    0xC2, 0xD2, 0xE2, 0xF2, 0xF0, 0x40, 0x4C, 0x55, 0x5B, 0x3C, 0x99, 0xFA, 0xE0, 0xEF, 0xF4, 0xF5, 0xF6, 0xF7, 0xBF,
};

class Fuzzer {
public:
    explicit Fuzzer(quint32 seed) : m_rng(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    char byte() { return below(2) ? char(kPalette[below(int(sizeof kPalette))]) : char(below(256)); }

    QByteArray randomBytes(int maxLength)
    {
        QByteArray b(below(maxLength + 1), '\0');
        for (char &c : b)
            c = byte();
        return b;
    }

    QByteArray mutate(QByteArray b)
    {
        const int steps = 1 + below(4);
        for (int s = 0; s < steps; ++s) {
            const int at = b.isEmpty() ? 0 : below(int(b.size()));
            switch (below(4)) {
            case 0:
                if (!b.isEmpty())
                    b[at] = byte();
                break;
            case 1:
                b.insert(at, byte());
                break;
            case 2:
                if (!b.isEmpty())
                    b.remove(at, 1);
                break;
            default:
                b.truncate(at);
                break;
            }
        }
        return b;
    }

    // Keep the frame tests passing so the header and record walk run.
    static QByteArray reframe(const QByteArray &b) { return longFrame(b.size() > 6 ? b.mid(4, b.size() - 6) : b); }

private:
    std::mt19937 m_rng;
};

// Returns an empty text when the result is consistent, else what is wrong.
QString inconsistency(const QByteArray &bytes, const decode::DecodeResult &r, bool full)
{
    const std::size_t n = std::size_t(bytes.size());
    if (r.logLines.empty() || r.logLines[0] != "Respond: " + mbus::hexLogForm(view(bytes)))
        return "respond line";
    if (r.valid && n < 8)
        return "valid below 8 bytes";
    if (r.headerDecoded != (r.valid && n >= 21))
        return "header decoded flag";
    if (!r.headerDecoded)
        return r.rows.empty() && r.reportLines.empty() ? QString() : "output without header";
    // After the frame tests passed, only a walk that stopped early logs, once.
    if (r.logLines.size() > 2)
        return "more than one line after the reply";
    if (r.recordsTruncated != (r.logLines.size() == 2 && r.logLines[1].find(" is incomplete, ") != std::string::npos))
        return "incomplete record not logged";
    if (r.rows.empty())
        return "no work table";
    std::size_t records = 0;
    for (std::size_t i = 0; i < r.rows.size(); ++i) {
        const std::string &number = r.rows[i][decode::ColNumber];
        if (number.empty()) {
            if (i + 1 != r.rows.size())
                return "empty row inside the table";
            continue;
        }
        if (number != std::to_string(i + 1))
            return "record number";
        ++records;
    }
    if (records > n - 21 + 1)
        return "more records than bytes";
    if (full && r.reportLines.size() != records + 4)
        return "report line count";
    if (!full && (!r.reportLines.empty() || !r.updateDeviceTable))
        return "normal mode output";
    return {};
}

} // namespace

void TestDecode::fuzz()
{
    Fuzzer fuzzer(20240607u);
    const QList<QByteArray> corpus = corpusTelegrams();
    QVERIFY(!corpus.isEmpty());

    int decoded = 0;
    int headers = 0;
    auto run = [&](const QByteArray &bytes) -> QString {
        const bool full = fuzzer.below(2);
        const decode::DecodeResult r = decodeBytes(bytes, full, fuzzer.below(2) ? '.' : ',');
        ++decoded;
        headers += r.headerDecoded;
        const QString problem = inconsistency(bytes, r, full);
        return problem.isEmpty() ? problem : problem + ": " + QString::fromLatin1(bytes.toHex(' '));
    };

    for (int i = 0; i < 4000; ++i) {
        const QString p = run(fuzzer.randomBytes(64));
        QVERIFY2(p.isEmpty(), qPrintable(p));
    }
    for (int i = 0; i < 20000; ++i) {
        QByteArray body = fuzzer.randomBytes(220);
        body.prepend(QByteArray(15, '\0'));
        const QString p = run(longFrame(body));
        QVERIFY2(p.isEmpty(), qPrintable(p));
    }
    for (int i = 0; i < 20000; ++i) {
        QByteArray b = fuzzer.mutate(corpus[fuzzer.below(int(corpus.size()))]);
        if (fuzzer.below(4) != 0)
            b = Fuzzer::reframe(b);
        const QString p = run(b);
        QVERIFY2(p.isEmpty(), qPrintable(p));
    }
    QCOMPARE(decoded, 44000);
    QVERIFY(headers > 30000); // most inputs reach the record walk

    // Same input, same output.
    const QByteArray sample = Fuzzer::reframe(fuzzer.mutate(corpus.first()));
    QCOMPARE(decodeBytes(sample, true).reportLines, decodeBytes(sample, true).reportLines);
}
