#include "startup.h"

#include "config/ini_file.h"
#include "languages.h"
#include "main_window.h"
#include "users/login_window.h"

#include <QCoreApplication>

Startup::Startup(const QString &settingsPath, const QString &accountFile)
{
    IniFile ini(settingsPath);
    ini.load();
    // The language is there before the first window.
    languages::install(languages::fromStored(ini.readInteger(QStringLiteral("Misc"), QStringLiteral("Language"), 1)));
    m_login = std::make_unique<LoginWindow>(accountFile);
    m_main = std::make_unique<MainWindow>(settingsPath, nullptr, accountFile);
    m_login->loggedIn = [this](const LoginRights &rights) { m_main->applyLogin(rights); };
    // Closing the main window ends the program through the login window.
    QObject::connect(m_main.get(), &MainWindow::closed, m_login.get(), &LoginWindow::close);
    // Whichever way the login window closes, the program ends: no window
    // of it stays behind to be reached without a login.
    QObject::connect(m_login.get(), &LoginWindow::closed, QCoreApplication::instance(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
}

Startup::~Startup() = default;

void Startup::show()
{
    m_login->show();
}
