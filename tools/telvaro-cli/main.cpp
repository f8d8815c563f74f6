// telvaro-cli: the program's operations from the command line, for scripts.
// Results on standard output; progress and the reason of a failure on
// standard error; exit status 0 done, 1 a meter did not answer, 2 bad command
// line or no link, 3 read but not every reading stored (--store).

#include "cli_options.h"
#include "history.h"
#include "progress.h"
#include "runner.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

int main(int argc, char **argv)
{
    // A file size limit (ulimit -f) makes a write fail, which the archive
    // reports, instead of killing the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("telvaro-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TELVARO_VERSION));

    const cli::ParseResult parsed = cli::parseCommandLine(app.arguments().mid(1));
    if (parsed.help) {
        std::fputs(cli::helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parsed.version) {
        std::printf("telvaro-cli %s\n", TELVARO_VERSION);
        return 0;
    }
    cli::Progress progress;
    progress.setQuiet(parsed.options.quiet);
    if (!parsed.error.isEmpty()) {
        progress.line(QStringLiteral("telvaro-cli: ") + parsed.error);
        return 2;
    }
    if (parsed.options.command == cli::Command::History) // the archive only, no bus
        return cli::printHistory(parsed.options);
    if (parsed.options.command == cli::Command::Archive)
        return cli::backupArchive(parsed.options);
    const cli::RunSettings settings = cli::runSettings(parsed.options);
    if (!settings.error.isEmpty()) {
        progress.line(QStringLiteral("telvaro-cli: ") + settings.error);
        return 2;
    }
    cli::Runner runner(parsed.options, settings.settings, progress);
    return runner.run();
}
