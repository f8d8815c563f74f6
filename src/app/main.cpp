#include "config/program_paths.h"
#include "main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Telvaro"));
    QApplication::setApplicationVersion(QStringLiteral(TELVARO_VERSION));

    TForm11 mainWindow(ProgramPaths::settingsFile());
    mainWindow.show();
    return app.exec();
}
