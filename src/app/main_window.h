#pragma once
// The main window. A thin shell: it owns the link objects and the log, wires its
// controls to them and keeps the program's established control names.

#include "config/ini_file.h"
#include "config/settings.h"
#include "link/comm_log.h"

#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTabWidget;
class QTableWidget;
class CustomCommand;
class LinkDispatch;
class TFAbout;
class TSettings;
class TSerialComm;
namespace decode {
struct DecodeResult;
}

class TForm11 : public QMainWindow, public CommLog {
    Q_OBJECT
public:
    explicit TForm11(const QString &settingsPath, QWidget *parent = nullptr);
    ~TForm11() override;

    // CommLog: Add line.
    void addLine(const QString &line) override;
    QStringList logLines() const;
    void clearLog();

    LinkDispatch &dispatch() { return *m_dispatch; }
    const Settings &settings() const { return m_settings; }
    Settings &settings() { return m_settings; }
    int responseTimeout() const;
    int language() const { return m_language; }
    // The user picked a language: shown at once, written at close.
    void setLanguage(int language);

    // Hands a collected reply to the decoder and applies its result; returns
    // the validity flag the reply handlers use for their retries.
    bool decodeReply(const QByteArray &reply);
    const decode::DecodeResult &lastDecode() const { return *m_lastDecode; }

    // Log buttons, with the dialogs split off so they can be driven directly.
    bool saveLogTo(const QString &path);
    int printLogTo(QPrinter &printer);

    // Dialog hooks; tests replace them.
    std::function<QString(const QString &proposed)> askSaveLogName;
    std::function<bool(QPrinter &)> askPrinter;
    std::function<bool(const QString &caption, const QString &text)> askYesNo;
    std::function<void(const QString &caption, const QString &text)> showWarning;

    // Controls, by their established names.
    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr;
    QGroupBox *Group_search = nullptr;
    QLabel *Label6 = nullptr, *Label7 = nullptr, *Label8 = nullptr;
    QSpinBox *UD_address_min = nullptr, *UD_address_max = nullptr, *UD_timeout = nullptr;
    QTableWidget *Grid_orvenna = nullptr;
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

    QTimer Timer_respond, Timer_secondary, Timer_readall, Timer_free_command, Timer_tev, Timer_tev_info;
    QTimer Timer_auto_address, Timer_close_socket;

    TFAbout *aboutBox() const { return m_about; }
    TSettings *settingsDialog() const { return m_settingsDialog; }

    // Menu "File" -> "Exit": confirmation, then close.
    void exitWithConfirmation();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void restoreSettings();
    void applyCaptions();
    void showLanguage(int stored);
    void setResponseTimeout(int ms);
    void onSendCommand();
    void onSaveLog();
    void onPrintLog();

    QString m_settingsPath;
    IniFile m_ini;
    Settings m_settings;
    int m_language = 1;
    bool m_changedOption = false;
    bool m_logEmpty = true; // no line added since the start or the last clear
    bool m_fullReportRequest = false;
    bool m_isAdministrator = true; // every user is an administrator until accounts exist
    QString m_selectedAddress = QStringLiteral("256");
    int m_packetCounter = 1;

    std::unique_ptr<TSerialComm> m_comm;
    std::unique_ptr<LinkDispatch> m_dispatch;
    std::unique_ptr<CustomCommand> m_customCommand;
    std::unique_ptr<decode::DecodeResult> m_lastDecode;
    TSettings *m_settingsDialog = nullptr;
    TFAbout *m_about = nullptr;
};
