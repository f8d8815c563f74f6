// Checks telvaro-cli's JSON against the schema the package ships, with
// python3-jsonschema (scripts/install-deps.sh installs it), so that every
// test that reads the program's JSON also proves its shape.

#pragma once

#include <QProcess>
#include <QString>

// Empty when the JSON holds to the schema; else what is wrong.
inline QString readingSchemaViolation(const QByteArray &json)
{
    static const char kCheck[] = "import json, sys, jsonschema\n"
                                 "schema = json.load(open(sys.argv[1]))\n"
                                 "try:\n"
                                 "    jsonschema.validate(json.load(sys.stdin), schema)\n"
                                 "except jsonschema.ValidationError as e:\n"
                                 "    print(e.message, 'at', list(e.absolute_path)); sys.exit(1)\n";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(kCheck),
                  QStringLiteral(TELVARO_SOURCE_DIR "/packaging/reading.schema.json")});
    if (!python.waitForStarted())
        return QStringLiteral("python3 cannot be started");
    python.write(json);
    python.closeWriteChannel();
    if (!python.waitForFinished(30000))
        return QStringLiteral("the schema check did not end");
    if (python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0)
        return QString::fromUtf8(python.readAllStandardOutput() + python.readAllStandardError()).trimmed();
    return {};
}
