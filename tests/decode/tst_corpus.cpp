// Real telegrams of many makes. Every one must decode; where an independent
// decoder's reading lies beside it, header fields and scaled values must agree
// (after unit conversion), except where our tables show values differently by
// design: dates, values after VIFEs (which we ignore), plain-text units.

#include "telegram.h"
#include "tst_decode.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QXmlStreamReader>

#include <cmath>

using namespace testing;

namespace {

QString corpusDir(const char *sub)
{
    return QStringLiteral(TELVARO_TESTDATA_DIR "/telegrams/") + QLatin1String(sub);
}

QByteArray readTelegram(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression pair("[0-9A-Fa-f]{2}");
    QByteArray bytes;
    auto it = pair.globalMatch(QString::fromLatin1(f.readAll()));
    while (it.hasNext())
        bytes.append(char(it.next().captured(0).toInt(nullptr, 16)));
    return bytes;
}

struct RefRecord {
    QString unit;
    QString value;
};

struct Reference {
    QString id, manufacturer, version, access;
    QList<RefRecord> records;
};

bool readReference(const QString &path, Reference &ref)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader xml(&f);
    RefRecord *current = nullptr;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        if (name == u"DataRecord") {
            ref.records.append(RefRecord{});
            current = &ref.records.last();
        } else if (!current && name == u"Id") {
            ref.id = xml.readElementText();
        } else if (!current && name == u"Manufacturer") {
            ref.manufacturer = xml.readElementText();
        } else if (!current && name == u"Version") {
            ref.version = xml.readElementText();
        } else if (!current && name == u"AccessNumber") {
            ref.access = xml.readElementText();
        } else if (current && name == u"Unit") {
            current->unit = xml.readElementText();
        } else if (current && name == u"Value") {
            current->value = xml.readElementText();
        }
    }
    return !xml.hasError();
}

// Our unit (and description) -> the reference's SI unit and the factor to it.
bool conversion(const decode::WorkRow &row, QString &refUnit, double &factor)
{
    const std::string &unit = row[decode::ColUnit];
    const std::string &desc = row[decode::ColDescription];
    struct Map {
        const char *ours;
        const char *theirs;
        double factor;
    };
    static const Map maps[] = {
        {"kWh", "Wh", 1000},
        {"kJ", "J", 1000},
        {"m3", "m^3", 1},
        {"W", "W", 1},
        {"kW", "W", 1000},
        {"l/h", "m^3/h", 1e-3},
        {"deg. C", "°C", 1},
        {"deg. K", "K", 1},
        {"Fabr. No.", "", 1},
        {"Average duration", "s", 1},
        {"Actuality Duration", "s", 1},
        {"Dimensionless", "Units for H.C.A.", 1},
    };
    for (const Map &m : maps) {
        if (unit == m.ours) {
            refUnit = QString::fromUtf8(m.theirs);
            factor = m.factor;
            return true;
        }
    }
    if (unit == "On Time" || unit == "Operating Time") {
        refUnit = "s";
        factor = desc == "seconds" ? 1 : desc == "minutes" ? 60 : desc == "hours" ? 3600 : 86400;
        return true;
    }
    return false;
}

} // namespace

void TestDecode::corpusValid_data()
{
    QTest::addColumn<QString>("path");
    const QDir dir(corpusDir("valid"));
    const QStringList files = dir.entryList({"*.hex"}, QDir::Files, QDir::Name);
    QVERIFY(files.size() >= 30);
    for (const QString &file : files)
        QTest::newRow(qPrintable(file)) << dir.filePath(file);
}

namespace {

struct Comparison {
    int compared = 0;
    QStringList mismatches;
};

// Scaled values of the records against the reference, where units convert.
Comparison compareValues(const decode::DecodeResult &r, const Reference &ref)
{
    Comparison c;
    for (qsizetype i = 0; i < ref.records.size() && std::size_t(i) < r.rows.size(); ++i) {
        const decode::WorkRow &row = r.rows[std::size_t(i)];
        const RefRecord &theirs = ref.records[i];
        const std::string &difs = row[decode::ColDifDife];
        if (difs.empty() || !row[decode::ColVife].empty())
            continue; // manufacturer data, or a VIFE we do not apply
        QString refUnit;
        double factor = 1;
        if (!conversion(row, refUnit, factor) || refUnit != theirs.unit)
            continue;
        bool okOurs = false;
        bool okTheirs = false;
        const double ours = QString::fromLatin1(row[decode::ColValue]).toDouble(&okOurs);
        const double expected = theirs.value.toDouble(&okTheirs);
        if (!okOurs || !okTheirs)
            continue;
        ++c.compared;
        const double tolerance = 0.0006 * factor + 1e-6 * std::fabs(expected);
        if (std::fabs(ours * factor - expected) > tolerance) {
            c.mismatches << QString("record %1: ours %2 %3, theirs %4 %5")
                                .arg(i + 1)
                                .arg(QString::fromLatin1(row[decode::ColValue]),
                                     QString::fromLatin1(row[decode::ColUnit]), theirs.value, theirs.unit);
        }
    }
    return c;
}

bool isDataHeaderReply(const QByteArray &bytes)
{
    return bytes.size() > 6 && quint8(bytes[6]) == 0x72;
}

} // namespace

void TestDecode::corpusValid()
{
    QFETCH(QString, path);
    const QByteArray bytes = readTelegram(path);
    QVERIFY(!bytes.isEmpty());

    const decode::DecodeResult full = decodeBytes(bytes, true);
    const decode::DecodeResult r = decodeBytes(bytes);
    QVERIFY(r.valid);
    QVERIFY(r.headerDecoded);
    QCOMPARE(full.rows, r.rows);
    std::size_t records = 0;
    for (const decode::WorkRow &row : r.rows)
        records += row[decode::ColNumber].empty() ? 0 : 1;
    QCOMPARE(full.reportLines.size(), records + 4);

    // Our fixed header offsets are those of CI 0x72 replies.
    if (!isDataHeaderReply(bytes))
        QSKIP("not a CI 0x72 reply");
    QVERIFY(!r.recordsTruncated);
    QCOMPARE(r.logLines.size(), std::size_t(1)); // the walk read every record to its end

    QString refPath = path;
    refPath.replace(".hex", ".norm.xml");
    Reference ref;
    if (!QFile::exists(refPath))
        return;
    QVERIFY(readReference(refPath, ref));
    QCOMPARE(QString::fromStdString(r.header.idText).toLongLong(), ref.id.toLongLong());
    QCOMPARE(QString::fromLatin1(r.header.manufacturer), ref.manufacturer);
    QCOMPARE(QString::number(r.header.version), ref.version);
    QCOMPARE(QString::number(r.header.accessNumber), ref.access);
    QCOMPARE(qsizetype(records), ref.records.size());

    const Comparison c = compareValues(r, ref);
    if (!c.mismatches.isEmpty())
        qWarning().noquote() << c.mismatches.join('\n');
    QVERIFY(c.mismatches.isEmpty());
}

void TestDecode::corpusCoverage()
{
    // The value comparison above must not pass by comparing nothing.
    const QDir dir(corpusDir("valid"));
    int compared = 0;
    int files = 0;
    for (const QString &file : dir.entryList({"*.hex"}, QDir::Files, QDir::Name)) {
        const QByteArray bytes = readTelegram(dir.filePath(file));
        Reference ref;
        QString refPath = dir.filePath(file);
        refPath.replace(".hex", ".norm.xml");
        if (!isDataHeaderReply(bytes) || !readReference(refPath, ref))
            continue;
        const int n = compareValues(decodeBytes(bytes), ref).compared;
        compared += n;
        files += n > 0;
    }
    QVERIFY2(files >= 30, qPrintable(QString::number(files)));
    QVERIFY2(compared >= 180, qPrintable(QString::number(compared)));
}

void TestDecode::corpusErrors_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("headerDecoded");
    QTest::addColumn<int>("records"); // complete records before the walk stopped
    // CI 0x70 application errors are valid frames too short for a data header.
    QTest::newRow("application_busy") << "application_busy.hex" << false << 0;
    QTest::newRow("error") << "error.hex" << false << 0;
    QTest::newRow("too_many_difes") << "too_many_difes.hex" << false << 0;
    QTest::newRow("too_many_records") << "too_many_records.hex" << false << 0;
    QTest::newRow("too_many_vifes") << "too_many_vifes.hex" << false << 0;
    QTest::newRow("unimplemented_ci") << "unimplemented_ci.hex" << false << 0;
    // These end inside a record: the rows before it stay, the walk stops.
    QTest::newRow("premature_end_of_data2") << "premature_end_of_data2.hex" << true << 2;
    QTest::newRow("premature_end_of_dif2") << "premature_end_of_dif2.hex" << true << 2;
    QTest::newRow("premature_end_of_var_vif1") << "premature_end_of_var_vif1.hex" << true << 3;
    QTest::newRow("too_long_var_vif") << "too_long_var_vif.hex" << true << 3;
}

void TestDecode::corpusErrors()
{
    QFETCH(QString, file);
    QFETCH(bool, headerDecoded);
    QFETCH(int, records);
    const QDir dir(corpusDir("errors"));
    QCOMPARE(dir.entryList({"*.hex"}, QDir::Files).size(), 10); // every file has a row here
    const QByteArray bytes = readTelegram(dir.filePath(file));
    QVERIFY(!bytes.isEmpty());
    for (bool full : {false, true}) {
        const decode::DecodeResult r = decodeBytes(bytes, full);
        QVERIFY(r.valid);
        QCOMPARE(r.headerDecoded, headerDecoded);
        if (!headerDecoded) {
            QCOMPARE(r.logLines.size(), std::size_t(2));
            QVERIFY(r.logLines[1].rfind("Exception - ", 0) == 0);
            continue;
        }
        QVERIFY(r.recordsTruncated);
        QCOMPARE(r.logLines.size(), std::size_t(2));
        QCOMPARE(QString::fromStdString(r.logLines[1]),
                 QString("Record %1 is incomplete, decoding stopped").arg(records + 1));
        QCOMPARE(int(r.rows.size()), records + 1);
        if (full)
            QCOMPARE(int(r.reportLines.size()), records + 4);
    }
}
