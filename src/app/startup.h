#pragma once
// The program's windows in the order they come into being: the login window
// (the only one shown at start), the main window (hidden until a login
// matches), and the main window's companions.

#include <QString>

#include <memory>

class TForm11;
class TLogin;

class Startup {
public:
    Startup(const QString &settingsPath, const QString &accountFile);
    ~Startup();

    void show();
    TLogin &login() { return *m_login; }
    TForm11 &mainWindow() { return *m_main; }

private:
    std::unique_ptr<TLogin> m_login;
    std::unique_ptr<TForm11> m_main;
};
