#include "config/program_paths.h"
#include "startup.h"
#include "users/account_file.h"

#include <QApplication>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

namespace {

const char kHelp[] = "Usage: telvaro [-h | --help | -V | --version]\n"
                     "\n"
                     "Telvaro finds the meters on a wired M-Bus, reads and decodes them, changes\n"
                     "their settings and looks after M-Bus displays and concentrators. It starts\n"
                     "with a login window; the link to the bus (serial port, serial-to-TCP\n"
                     "converter or gateway) is chosen under Tools > Settings.\n"
                     "\n"
                     "  -h, --help     show this text and exit\n"
                     "  -V, --version  show the version and exit\n"
                     "\n"
                     "Files: the settings (telvaro.ini) and the accounts (files/users.dat) beside\n"
                     "the program; for a program installed below /usr, ~/.config/Telvaro/telvaro.ini\n"
                     "and ~/.local/share/Telvaro/files/users.dat. The first account is made with\n"
                     "telvaro-users(1). For scripts see telvaro-cli(1); for a bus to practise on,\n"
                     "mbus-sim(1).\n";

// The options Qt itself takes (QGuiApplication, QApplication); those that
// carry a value take the next argument.
const char *const kQtValued[] = {"platform",    "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                 "qwindowicon", "qwindowtitle",       "session",       "style",  "stylesheet",
                                 "display",     "geometry",           "qmljsdebugger"};
const char *const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// Refused as every program here refuses its command line: one line, exit 2.
int refuse(const std::string &why)
{
    std::fprintf(stderr, "telvaro: %s\n", why.c_str());
    return 2;
}

// Before any window: --help, --version, and whatever is not an option of
// ours or of Qt. 0 to go on, else the exit status.
int checkArguments(int argc, char *argv[], bool *done)
{
    *done = true;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "-V") == 0) {
            std::printf("telvaro %s\n", TELVARO_VERSION);
            return 0;
        }
        if (arg[0] != '-')
            return refuse("unexpected argument '" + std::string(arg) + "' (see --help)");
        // Qt's own options, -style or --style, "=value" or the next argument.
        std::string name(arg + (arg[1] == '-' ? 2 : 1));
        const bool attached = name.find('=') != std::string::npos;
        name = name.substr(0, name.find('='));
        const std::string given(arg, std::strcspn(arg, "="));
        if (std::find(std::begin(kQtFlags), std::end(kQtFlags), name) != std::end(kQtFlags)) {
            if (attached)
                return refuse(given + ": takes no value, not '" + std::string(arg + given.size() + 1) + "'");
            continue;
        }
        if (std::find(std::begin(kQtValued), std::end(kQtValued), name) == std::end(kQtValued))
            return refuse("unknown option '" + given + "' (see --help)");
        if (!attached && ++i >= argc)
            return refuse(given + ": needs a value");
    }
    *done = false;
    return 0;
}

// A window system that cannot be reached ends Qt with a fatal message and
// an abort; said here as one line and an exit status instead. Qt's other
// messages of the start are kept and shown once the window system is there.
QStringList &startupLines()
{
    static QStringList lines;
    return lines;
}

void startupMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg) {
        startupLines() << qFormatLogMessage(type, context, message);
        return;
    }
    const char *display = std::getenv("DISPLAY");
    std::fprintf(stderr, "telvaro: no display to open the window on (%s); telvaro-cli works without one\n",
                 display && *display ? "DISPLAY cannot be reached" : "DISPLAY is not set");
    std::_Exit(2);
}

} // namespace

int main(int argc, char *argv[])
{
    bool done = false;
    if (const int status = checkArguments(argc, argv, &done); done)
        return status;
    const QtMessageHandler previous = qInstallMessageHandler(startupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    for (const QString &line : std::as_const(startupLines()))
        std::fprintf(stderr, "%s\n", qPrintable(line));
    QApplication::setApplicationName(QStringLiteral("Telvaro"));
    QApplication::setApplicationVersion(QStringLiteral(TELVARO_VERSION));

    // Hidden windows must not keep the program alive: the login window decides.
    Startup startup(program_paths::settingsFile(), accounts::defaultAccountFile());
    startup.show();
    return app.exec();
}
