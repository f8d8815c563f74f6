// What a script relies on in telvaro-cli and its sibling programs: help and
// version in every program, the same bytes in every locale, README's samples
// as real output, and a port that cannot be opened said as it is.

#include "cli_run.h"
#include "pty_pair.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

class TstCliScripts : public QObject {
    Q_OBJECT
private slots:
    void helpAndVersion_data();
    void helpAndVersion();
    void sameBytesInEveryLocale();
    void readmeSamplesAreReal();
    void portErrorsSayWhatIsWrong_data();
    void portErrorsSayWhatIsWrong();
};

// clang-format off
void TstCliScripts::helpAndVersion_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exit");
    QTest::addColumn<QString>("start"); // of standard output, or of standard error when the exit is 2
    for (const char *name : {"telvaro", "telvaro-cli", "mbus-sim", "mbus-decode", "telvaro-users"}) {
        const QString program = QLatin1String(name);
        QTest::newRow(qPrintable(program + " --help")) << program << QStringList{"--help"} << 0 << "Usage: " + program;
        QTest::newRow(qPrintable(program + " -h")) << program << QStringList{"-h"} << 0 << "Usage: " + program;
        QTest::newRow(qPrintable(program + " --version")) << program << QStringList{"--version"} << 0 << program + " 0.";
        QTest::newRow(qPrintable(program + " -V")) << program << QStringList{"-V"} << 0 << program + " 0.";
        QTest::newRow(qPrintable(program + " unknown")) << program << QStringList{"--frobnicate=2"} << 2 << program + ":";
    }
    QTest::newRow("telvaro without a display") << "telvaro" << QStringList() << 2 << "telvaro: no display to open the window on";
}
// clang-format on

// Every program answers --help and --version, long and short, and names an
// unknown option as such.
void TstCliScripts::helpAndVersion()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(int, exit);
    QFETCH(QString, start);
    QProcess p;
    if (arguments.isEmpty()) { // the window program where no window system can be reached
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        p.setProcessEnvironment(env);
    }
    p.start(QStringLiteral(TELVARO_BIN_DIR "/") + program, arguments);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), exit);
    const QString out = exit == 0 ? p.readAllStandardOutput() : p.readAllStandardError();
    QVERIFY2(out.startsWith(start), qPrintable(out));
    if (exit != 0 && program != QLatin1String("telvaro-users")) // which adds where its help is
        QCOMPARE(out.count(u'\n'), 1);                          // a refusal is one line
    if (!arguments.isEmpty() && exit != 0)
        QVERIFY2(out.contains(QStringLiteral("nknown option")) && out.contains(QStringLiteral("frobnicate")),
                 qPrintable(out));
}

// The same commands under three locales: CSV and JSON are the same bytes
// (apart from when each meter was read and its access number).
void TstCliScripts::sameBytesInEveryLocale()
{
    QProcess locales;
    locales.start(QStringLiteral("locale"), {QStringLiteral("-a")});
    locales.waitForFinished();
    const QString available = QString::fromLatin1(locales.readAllStandardOutput()).toLower();
    for (const char *name : {"it_it.utf8", "pl_pl.utf8"})
        if (!available.contains(QLatin1String(name)))
            QSKIP(qPrintable(QStringLiteral("locale %1 is not generated (scripts/install-deps.sh makes it)")
                                 .arg(QLatin1String(name))));
    Bus bus(QStringLiteral("pty"), SimProcess::demoBus());
    for (const QString format : {QStringLiteral("csv"), QStringLiteral("json")}) {
        QByteArray english;
        for (const char *locale : {"C", "it_IT.UTF-8", "pl_PL.UTF-8"}) {
            const QString assign = QLatin1String(locale);
            const Run r = bus.run({"read", "1", "2", "6", "--format", format},
                                  {"env", "LC_ALL=" + assign, "LANG=" + assign, "LANGUAGE="});
            QCOMPARE(r.exit, 0);
            if (format == QLatin1String("json"))
                QCOMPARE(meters(r).size(), 3);
            if (english.isEmpty())
                english = steady(r.out);
            else
                QCOMPARE(steady(r.out), english);
        }
        QVERIFY(english.contains("45.327")); // the decimal point of C
    }
}

// README's CSV and JSON samples are what the program prints for the demo bus.
void TstCliScripts::readmeSamplesAreReal()
{
    QFile readme(QStringLiteral(TELVARO_SOURCE_DIR "/README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(readme.readAll()).split(u'\n');
    Bus bus(QStringLiteral("pty"), SimProcess::demoBus());
    int samples = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        static const QRegularExpression command(
            QStringLiteral("^    \\$ telvaro-cli (read [0-9 ]+) --port /tmp/ttyMBUS --format (csv|json)$"));
        const QRegularExpressionMatch match = command.match(lines.at(i));
        if (!match.hasMatch())
            continue;
        QByteArray sample;
        while (++i < lines.size() && lines.at(i).startsWith(QLatin1String("    ")))
            sample += lines.at(i).mid(4).toUtf8() + '\n';
        const Run r = bus.run(match.captured(1).split(u' ') + QStringList{"--format", match.captured(2)});
        QCOMPARE(r.exit, 0);
        QCOMPARE(steady(sample), steady(r.out));
        ++samples;
    }
    QCOMPARE(samples, 2);
}

// A port that cannot be opened says why, as the user running the program
// meets it (a user without root's rights where the test runs as root).
void TstCliScripts::portErrorsSayWhatIsWrong_data()
{
    QTest::addColumn<QString>(
        "port"); // @tty: a terminal of mode 000; @file: a file of mode 000; @held: a terminal in use
    QTest::addColumn<bool>("asUser");
    QTest::addColumn<QString>("reason"); // PORT: the port's path
    QTest::newRow("EACCES, a terminal") << "@tty" << true
                                        << "PORT: no permission to open it. Add your user to the \"dialout\" group "
                                           "(sudo usermod -aG dialout $USER) and log in again.";
    QTest::newRow("EACCES, a file") << "@file" << true << "PORT is not a serial port";
    QTest::newRow("ENOTTY") << "/etc/passwd" << false << "PORT is not a serial port";
    QTest::newRow("ENOTTY, no right to write") << "/etc/passwd" << true << "PORT is not a serial port";
    QTest::newRow("ENOTTY, a device") << "/dev/null" << true << "PORT is not a serial port";
    QTest::newRow("ENOENT") << "/dev/ttyNONEXISTENT9" << false << "The selected serial port (PORT) was not found!";
    QTest::newRow("EBUSY") << "@held" << false << "The selected serial port (PORT) is in use by another program!";
}

void TstCliScripts::portErrorsSayWhatIsWrong()
{
    QFETCH(QString, port);
    QFETCH(bool, asUser);
    QFETCH(QString, reason);
    PtyPair tty;
    QTemporaryFile file(QStringLiteral("/tmp/telvaro-port-XXXXXX"));
    if (port == QLatin1String("@file")) {
        QVERIFY(file.open());
        port = file.fileName();
    } else if (port.startsWith(u'@')) {
        QVERIFY(tty.isValid());
        port = tty.slavePath();
    }
    if (port == file.fileName() || reason.contains(QLatin1String("dialout")))
        QCOMPARE(::chmod(QFile::encodeName(port).constData(), 0), 0);
    const int held = ::open(QFile::encodeName(port).constData(), O_RDONLY | O_NOCTTY);
    if (reason.contains(QLatin1String("in use")))
        QCOMPARE(::flock(held, LOCK_EX), 0);
    const QStringList user = ::geteuid() == 0 && asUser
                                 ? QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}
                                 : QStringList();
    const Run r = cli({"scan", "--to", "1", "--port", port}, 20000, user);
    if (held >= 0)
        ::close(held);
    QCOMPARE(r.exit, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains(QStringLiteral("telvaro-cli: ") + QString(reason).replace(QStringLiteral("PORT"), port)),
             qPrintable(r.err.join(u'\n')));
}

QTEST_GUILESS_MAIN(TstCliScripts)
#include "tst_cli_scripts.moc"
