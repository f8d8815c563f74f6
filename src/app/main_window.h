#pragma once
// The main window. A thin shell: it owns the link objects, the log, the device
// table and the operations, wires its controls to them and keeps the
// program's established control names.

#include "config/ini_file.h"
#include "config/settings.h"
#include "decode/device_table.h"
#include "display/display_table.h"
#include "link/comm_log.h"
#include "table_files.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QStatusBar;
class QTabWidget;
class AutoAddressing;
class BusSession;
class CustomCommand;
class DeviceGrid;
class DevicesPage;
class DisplayGrid;
class DisplayPage;
class ReadingsPage;
namespace display {
class DisplayCommands;
class ReadRun;
class WriteRun;
}
class LinkDispatch;
class MeterCommands;
class PrimaryScan;
class ReadAll;
class SecondarySearch;
class SecondarySequence;
class TFAbout;
class TFUsers;
struct LoginRights;
class TFormFullMbus;
class TSettings;
class TSerialComm;

class TForm11 : public QMainWindow, public CommLog {
    Q_OBJECT
public:
    // accountFile: the account file the accounts window edits (the default one when empty).
    explicit TForm11(const QString &settingsPath, QWidget *parent = nullptr, const QString &accountFile = QString());
    ~TForm11() override;

    // CommLog: Add line.
    void addLine(const QString &line) override;
    QStringList logLines() const;
    void clearLog();

    LinkDispatch &dispatch() { return *m_dispatch; }
    BusSession &session() { return *m_session; }
    decode::DeviceTable &deviceTable() { return m_table; }
    PrimaryScan &scan() { return *m_scan; }
    ReadAll &readAll() { return *m_readAll; }
    AutoAddressing &autoAddressing() { return *m_autoAddressing; }
    MeterCommands &commands() { return *m_commands; }
    SecondarySearch &search() { return *m_search; }
    const Settings &settings() const { return m_settings; }
    Settings &settings() { return m_settings; }
    int responseTimeout() const;
    int language() const { return m_language; }
    // The user picked a language: shown at once, written at close.
    void setLanguage(int language);

    // Hands a collected reply to the decoder and applies its result; returns
    // the validity flag the reply handlers use for their retries.
    bool decodeReply(const QByteArray &reply);

    // Log buttons, with the dialogs split off so they can be driven directly.
    bool saveLogTo(const QString &path);
    int printLogTo(QPrinter &printer);

    // Dialog hooks; tests replace them.
    std::function<QString(const QString &proposed)> askSaveLogName;
    std::function<bool(QPrinter &)> askPrinter;
    std::function<bool(const QString &caption, const QString &text)> askYesNo;
    std::function<QMessageBox::StandardButton(const QString &caption, const QString &text)> askYesNoCancel;
    std::function<void(const QString &caption, const QString &text)> showWarning;
    // CSV file dialogs and their messages.
    table_files::Dialogs fileDialogs;
    // The display read a gateway's first telegram starts ("Auto Read Display").
    std::function<void()> autoDisplayRead;

    // Controls, by their established names; the first page's are in devices.
    QTabWidget *PageControl1 = nullptr;
    DevicesPage *devices = nullptr;
    ReadingsPage *readingsPage = nullptr; // "Get Readings"
    DisplayPage *displayPage = nullptr;   // "Local display TEV"; hidden without the display right
    QPlainTextEdit *Memo_current = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *Edit_command = nullptr;
    QCheckBox *Check_ascii = nullptr, *Check_hex = nullptr;
    QPushButton *Butt_command_send = nullptr;
    QPushButton *BitBtn5 = nullptr, *BitBtn6 = nullptr, *BitBtn7 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *StatusPanel_port = nullptr;
    QAction *Open1 = nullptr, *Save1 = nullptr, *Exit1 = nullptr;
    QAction *Users1 = nullptr, *Settings1 = nullptr;
    QAction *English1 = nullptr, *Italian1 = nullptr, *Polish1 = nullptr;
    QAction *About1 = nullptr;
    QMenu *FileMenu = nullptr, *ToolsMenu = nullptr, *LanguageMenu = nullptr, *HelpMenu = nullptr;
    QMenu *ContextMenuMbus = nullptr;
    QAction *ReadSelected1 = nullptr, *ReadAll1 = nullptr, *ReadFull1 = nullptr, *SetMedium1 = nullptr,
            *SetUnit1 = nullptr, *SetBaud1 = nullptr, *Reset1 = nullptr, *ClearTable1 = nullptr,
            *SaveExport1 = nullptr, *DeleteRow1 = nullptr;

    QTimer Timer_respond, Timer_secondary, Timer_readall, Timer_free_command, Timer_tev, Timer_tev_info;
    QTimer Timer_auto_address, Timer_close_socket;

    TFAbout *aboutBox() const { return m_about; }
    TSettings *settingsDialog() const { return m_settingsDialog; }
    TFormFullMbus *fullReport() const { return m_report; }

    // A login matched: its level and rights shape the window, which then shows.
    void applyLogin(const LoginRights &rights);
    bool isAdministrator() const { return m_isAdministrator; }
    bool displayAllowed() const { return m_displayAllowed; }
    TFUsers *usersWindow() const { return m_users; }

    // Menu "File" -> "Exit": confirmation, then close.
    void exitWithConfirmation();

    // Device page actions, as their buttons and menu entries run them.
    void findOrStop();
    void readAllOrStop();
    void autoAddressOrStop();
    // "Find" by secondary address, and "Find all" (the wildcard search).
    void findById();
    void findAll();
    void clearTable();
    void clearTableAsked();
    void deleteSelectedRow();
    // File -> Save / "Save / Export", and File -> Open / "Load".
    bool saveDeviceTable();
    bool loadDeviceTable();
    bool importDisplayTable();

    display::Table &tevTable() { return m_tevTable; }
    display::Table &historyTable() { return m_historyTable; }
    display::WriteRun &writeRun() { return *m_writeRun; }
    display::ReadRun &readRun() { return *m_readRun; }
    display::DisplayCommands &displayCommands() { return *m_displayCommands; }

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void buildContextMenu();
    void wireOperations();
    void wireDevicePage();
    void wireDisplay();
    void updateDisplayControls(bool busy);
    QStringList tevHeader() const;
    QStringList historyHeader() const;
    void restoreSettings();
    void applyCaptions();
    void retranslateMenus();
    void showLanguage(int stored);
    void setResponseTimeout(int ms);
    void updateBusyControls();
    void onSendCommand();
    void onSaveLog();
    void onPrintLog();

    QString m_settingsPath;
    IniFile m_ini;
    Settings m_settings;
    int m_language = 1;
    bool m_changedOption = false;
    bool m_logEmpty = true; // no line added since the start or the last clear
    bool m_isAdministrator = false; // set by the login
    bool m_displayAllowed = true;
    int m_packetCounter = 1;

    decode::DeviceTable m_table;
    std::unique_ptr<DeviceGrid> m_grid;
    std::unique_ptr<TSerialComm> m_comm;
    std::unique_ptr<LinkDispatch> m_dispatch;
    std::unique_ptr<CustomCommand> m_customCommand;
    std::unique_ptr<BusSession> m_session;
    std::unique_ptr<SecondarySequence> m_sequence;
    std::unique_ptr<MeterCommands> m_commands;
    std::unique_ptr<PrimaryScan> m_scan;
    std::unique_ptr<ReadAll> m_readAll;
    std::unique_ptr<AutoAddressing> m_autoAddressing;
    std::unique_ptr<SecondarySearch> m_search;
    display::Table m_tevTable{display::TevColumns};
    display::Table m_historyTable{display::HistColumns};
    std::unique_ptr<DisplayGrid> m_tevGrid, m_historyGrid;
    std::unique_ptr<display::WriteRun> m_writeRun;
    std::unique_ptr<display::ReadRun> m_readRun;
    std::unique_ptr<display::DisplayCommands> m_displayCommands;
    TSettings *m_settingsDialog = nullptr;
    TFAbout *m_about = nullptr;
    TFormFullMbus *m_report = nullptr;
    TFUsers *m_users = nullptr;
};
