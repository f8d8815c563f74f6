#include "config/program_paths.h"
#include "startup.h"
#include "users/account_file.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Telvaro"));
    QApplication::setApplicationVersion(QStringLiteral(TELVARO_VERSION));

    // Hidden windows must not keep the program alive: the login window decides.
    Startup startup(program_paths::settingsFile(), accounts::defaultAccountFile());
    startup.show();
    return app.exec();
}
