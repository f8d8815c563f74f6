#include "config/program_paths.h"
#include "startup.h"
#include "users/account_file.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

const char kHelp[] = "Usage: telvaro [--help | --version]\n"
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

} // namespace

int main(int argc, char *argv[])
{
    // Answered before any window system is needed.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-V") == 0) {
            std::printf("telvaro %s\n", TELVARO_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Telvaro"));
    QApplication::setApplicationVersion(QStringLiteral(TELVARO_VERSION));

    // Hidden windows must not keep the program alive: the login window decides.
    Startup startup(program_paths::settingsFile(), accounts::defaultAccountFile());
    startup.show();
    return app.exec();
}
