#pragma once
// The program's windows in the order they come into being: the login window
// (the only one shown at start), the main window (hidden until a login
// matches), and the main window's companions.

#include <QString>

#include <memory>

class MainWindow;
class LoginWindow;

class Startup {
public:
    Startup(const QString &settingsPath, const QString &accountFile);
    ~Startup();

    void show();
    LoginWindow &login() { return *m_login; }
    MainWindow &mainWindow() { return *m_main; }

private:
    std::unique_ptr<LoginWindow> m_login;
    std::unique_ptr<MainWindow> m_main;
};
