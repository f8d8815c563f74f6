#pragma once
// The main window. A thin shell: it owns the link objects, the log, the device
// table and the operations, and wires its controls to them. Every control
// carries its name as objectName, which tests and translators find it by.

#include "archive/archive_worker_ptr.h"
#include "config/ini_file.h"
#include "config/settings.h"
#include "decode/device_table.h"
#include "display/display_table.h"
#include "languages.h"
#include "link/comm_log.h"
#include "table_files.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

class Operation;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class AutoAddressing;
class BusSession;
class CustomCommand;
class DeviceTableModel;
class DevicesPage;
class DisplayGrid;
class DisplayPage;
class ReadingsPage;
namespace display {
class DisplayCommands;
class ReadRun;
class WriteRun;
} // namespace display
class LinkDispatch;
class MeterCommands;
class PrimaryScan;
class ReadAll;
class SecondarySearch;
class ProgramBus;
struct BusOptions;
class AboutBox;
class UsersWindow;
struct LoginRights;
class FullReportWindow;
class HistoryWindow;
namespace archive {
class ArchiveWorker;
struct HistoryAnswer;
} // namespace archive
class SettingsDialog;

class MainWindow : public QMainWindow, public CommLog {
    Q_OBJECT
public:
    // accountFile: the account file the accounts window edits (the default one when empty).
    explicit MainWindow(const QString &settingsPath, QWidget *parent = nullptr, const QString &accountFile = QString());
    ~MainWindow() override;

    // The log view keeps at most this many lines; older ones are dropped.
    static constexpr int kMaxLogLines = 200000;

    // CommLog: Add line.
    void addLine(const QString &line) override;
    QStringList logLines() const;
    void clearLog();

    LinkDispatch &dispatch();
    BusSession &session();
    decode::DeviceTable &deviceTable() { return m_table; }
    PrimaryScan &scan();
    ReadAll &readAll();
    AutoAddressing &autoAddressing();
    MeterCommands &commands();
    SecondarySearch &search();
    CustomCommand &customCommand();
    const Settings &settings() const { return m_settings; }
    Settings &settings() { return m_settings; }
    Language language() const { return m_language; }
    // The user picked a language: shown at once, written at close.
    void setLanguage(Language language);

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

    // Controls; the first page's are in devices.
    QTabWidget *pages = nullptr;
    DevicesPage *devices = nullptr;
    ReadingsPage *readingsPage = nullptr; // "Get Readings"
    DisplayPage *displayPage = nullptr;   // "Local display TEV"; hidden without the display right
    QSplitter *logSplitter = nullptr;     // the pages above, the custom command and the log below
    QPlainTextEdit *logView = nullptr;
    QLabel *commandLabel = nullptr;
    QLineEdit *commandEdit = nullptr;
    QCheckBox *asciiBox = nullptr, *hexBox = nullptr;
    QPushButton *sendCommandButton = nullptr;
    QPushButton *clearLogButton = nullptr, *saveLogButton = nullptr, *printLogButton = nullptr;
    QStatusBar *mainStatusBar = nullptr;
    QLabel *portStatusLabel = nullptr;
    QAction *openAction = nullptr, *saveAction = nullptr, *exitAction = nullptr;
    QAction *usersAction = nullptr, *settingsAction = nullptr;
    QAction *englishAction = nullptr, *italianAction = nullptr, *polishAction = nullptr;
    QAction *aboutAction = nullptr;
    QMenu *fileMenu = nullptr, *toolsMenu = nullptr, *languageMenu = nullptr, *helpMenu = nullptr;
    QMenu *deviceMenu = nullptr;
    QAction *readSelectedAction = nullptr, *readAllAction = nullptr, *readFullAction = nullptr,
            *setMediumAction = nullptr, *setUnitAction = nullptr, *setBaudAction = nullptr, *resetAction = nullptr,
            *clearTableAction = nullptr, *saveExportAction = nullptr, *deleteRowAction = nullptr,
            *historyAction = nullptr;

    AboutBox *aboutBox() const { return m_about; }
    SettingsDialog *settingsDialog() const { return m_settingsDialog; }
    FullReportWindow *fullReport() const { return m_report; }
    HistoryWindow *historyWindow() const { return m_history; }
    // The archive's thread, made at first use; null when the archive is off.
    archive::ArchiveWorker *archiveWorker();

    // The readings archive: the selected meter's history, the display's
    // months as a chart.
    void showHistory();
    void chartMonths();

    // A login matched: its level and rights shape the window, which then shows.
    void applyLogin(const LoginRights &rights);
    bool isAdministrator() const { return m_isAdministrator; }
    bool displayAllowed() const { return m_displayAllowed; }
    UsersWindow *usersWindow() const { return m_users; }

    // Menu "File" -> "Exit": confirmation, then close.
    void exitWithConfirmation();

    // Device page actions, as their buttons and menu entries run them.
    void findOrStop();
    // The device page's progress bar, saying what it counts.
    void showOperationProgress(const Operation &operation, int minimum, int maximum, int value, bool visible);
    void readAllOrStop();
    void autoAddressOrStop();
    // "Find" by secondary address, and "Find all" (the wildcard search).
    void findById();
    void findAll();
    void clearTable();
    void clearTableAsked();
    void deleteSelectedRow();
    void selectGridRow(int row);
    void showCurrentRow(int row);
    // "Set value to:": asks first, saying what the meter's register will read.
    void setValueAsked();
    QString valueWriteQuestion(const QString &litresText);
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
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildControls();
    // The log's height until the user moves the divider: the command line and five lines.
    int defaultLogHeight() const;
    void buildMenus();
    void buildContextMenu();
    void wireOperations();
    void wireDevicePage();
    void wireDisplay();
    void wireArchive();
    // Starts the archive's thread at first use; false when the archive is
    // off. What goes wrong there is said in the log, once.
    bool openArchive();
    void keepReading(const QByteArrayList &telegrams, bool complete);
    void showHistoryAnswer(const archive::HistoryAnswer &answer);
    // At the window's end or new settings: what waits is written (waiting at
    // most `wait`), and the readings that could not be stored are counted in the log.
    void finishArchive(std::chrono::milliseconds wait);
    void updateDisplayControls(bool busy);
    // Each column's title in every language, the current one first.
    decode::csv::ColumnTitles deviceColumnTitles() const;
    decode::csv::ColumnTitles tevColumnTitles() const;
    decode::csv::ColumnTitles historyColumnTitles() const;
    void restoreSettings();
    void applyCaptions();
    void retranslateMenus();
    void showLanguage(Language language);
    void setResponseTimeout(int ms);
    // The options the operations read at the moment of use: the settings and the page's boxes.
    BusOptions busOptions() const;
    void updateBusyControls();
    void onSendCommand();
    void dropOldestLogLines();
    void onSaveLog();
    void onPrintLog();

    QString m_settingsPath;
    IniFile m_ini;
    Settings m_settings;
    Language m_language = Language::English;
    bool m_changedOption = false;
    bool m_logEmpty = true;         // no line added since the start or the last clear
    bool m_isAdministrator = false; // set by the login
    bool m_displayAllowed = true;
    bool m_portFound = false;        // no port in the settings file: the first USB adapter was taken
    bool m_logPlaced = false;        // the divider above the log got its height at the first show
    bool m_followingSession = false; // the grid follows the selection an operation made

    decode::DeviceTable m_table;
    DeviceTableModel *m_tableModel = nullptr;
    std::unique_ptr<ProgramBus> m_bus;
    display::Table m_tevTable{display::TevColumns};
    display::Table m_historyTable{display::HistColumns};
    std::unique_ptr<DisplayGrid> m_tevGrid, m_historyGrid;
    std::unique_ptr<display::WriteRun> m_writeRun;
    std::unique_ptr<display::ReadRun> m_readRun;
    std::unique_ptr<display::DisplayCommands> m_displayCommands;
    SettingsDialog *m_settingsDialog = nullptr;
    AboutBox *m_about = nullptr;
    FullReportWindow *m_report = nullptr;
    UsersWindow *m_users = nullptr;
    HistoryWindow *m_history = nullptr;
    archive::WorkerPtr m_archive;
    QString m_archiveLocation; // where m_archive writes
};
