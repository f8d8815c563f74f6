// Running telvaro-cli as a script does, for its end-to-end tests: the run's
// exit status and outputs, the readings it printed (each proved against the
// schema the package ships), and a simulator serving a bus on either route.

#pragma once

#include "reading_schema.h"
#include "sim_process.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace {

struct Run {
    int exit = -1;
    QByteArray out;
    QStringList err; // lines
};

// `prefix` runs the program through another one (prlimit).
Run cli(const QStringList &arguments, int timeoutMs = 60000, const QStringList &prefix = {})
{
    QProcess p;
    const QString program = QStringLiteral(TELVARO_BIN_DIR "/telvaro-cli");
    if (prefix.isEmpty())
        p.start(program, arguments);
    else
        p.start(prefix.first(), prefix.mid(1) + QStringList{program} + arguments);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exit = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = QString::fromLocal8Bit(p.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    return r;
}

// The readings printed, each proved against the schema the package ships.
QJsonArray meters(const Run &r)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out, &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        qWarning("not a JSON array: %s", error.errorString().toLocal8Bit().constData());
    const QString violation = readingSchemaViolation(r.out);
    QTest::qVerify(violation.isEmpty(), "readingSchemaViolation(r.out).isEmpty()", qPrintable(violation), __FILE__,
                   __LINE__);
    return doc.array();
}

// Output with the moments of reading and the access numbers (which count
// the readings of a meter) taken out.
QByteArray steady(QByteArray out)
{
    static const QRegularExpression moment(QStringLiteral("\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ"));
    static const QRegularExpression access(QStringLiteral("\"access\": \\d+"));
    static const QRegularExpression accessColumn(QStringLiteral("(;\\d+;)\\d+(;(true|false)\\n)"));
    QString text = QString::fromUtf8(out).replace(moment, QStringLiteral("READ_AT"));
    text.replace(access, QStringLiteral("\"access\": N")).replace(accessColumn, QStringLiteral("\\1N\\2"));
    return text.toUtf8();
}

QStringList field(const QJsonArray &array, const char *name)
{
    QStringList out;
    for (const QJsonValue &v : array) {
        const QJsonValue f = v.toObject().value(QLatin1String(name));
        out << (f.isDouble() ? QString::number(f.toInt()) : f.toString());
    }
    return out;
}

const QStringList kDemoIds{"12345678", "20071234", "30500117", "40123456", "50000042", "60000007",
                           "12004411", "70311502", "81726354", "90440021", "05550123", "53101977"};

// A simulator serving the demo bus (or another, or none: the arguments give
// the meters), on the route of the row: "pty", "tcp" (a converter) or
// "gateway" (a gateway server, network 0.0.0.1).
struct Bus {
    Bus(const QString &route, const QString &busFile, bool quiet = true, const QStringList &simArguments = {})
    {
        const QStringList extra = (quiet ? QStringList{"--quiet"} : QStringList()) + simArguments;
        if (route == QLatin1String("pty")) {
            sim = std::make_unique<SimProcess>(busFile, extra);
            link = {"--port", sim->link()};
            return;
        }
        const bool gateway = route == QLatin1String("gateway");
        const QStringList bus = busFile.isEmpty() ? QStringList() : QStringList{"--bus", busFile};
        sim = std::make_unique<SimProcess>(SimProcess::Tcp{},
                                           bus + QStringList{gateway ? "--gateway-server" : "--tcp", "0"} + extra);
        link = {gateway ? "--gateway" : "--tcp", QStringLiteral("127.0.0.1:%1").arg(sim->port())};
        if (gateway)
            link << "--net"
                 << "0.0.0.1";
    }
    Run run(const QStringList &arguments, const QStringList &prefix = {}) const
    {
        return cli(arguments + link + QStringList{"--timeout", "300", "--retries", "0", "--fast"}, 60000, prefix);
    }
    std::unique_ptr<SimProcess> sim;
    QStringList link;
};

// A bus file of this text in the folder.
inline QString writeBusFile(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return path;
}

} // namespace
