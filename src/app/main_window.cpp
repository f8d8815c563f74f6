#include "main_window.h"

#include "languages.h"

#include "about_box.h"
#include "config/program_paths.h"
#include "device_grid.h"
#include "devices_page.h"
#include "display/display_commands.h"
#include "display/read_run.h"
#include "display/write_run.h"
#include "display_grid.h"
#include "display_pages.h"
#include "full_report_window.h"
#include "link/custom_command.h"
#include "link/link_dispatch.h"
#include "link/log_time.h"
#include "link/serial_comm.h"
#include "log_printer.h"
#include "ops/auto_addressing.h"
#include "ops/bus_session.h"
#include "ops/meter_commands.h"
#include "ops/primary_scan.h"
#include "ops/read_all.h"
#include "ops/secondary_search.h"
#include "ops/secondary_sequence.h"
#include "settings_dialog.h"
#include "users/account_file.h"
#include "users/login_window.h"
#include "users/users_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextCursor>
#include <QVBoxLayout>

TForm11::TForm11(const QString &settingsPath, QWidget *parent, const QString &accountFile)
    : QMainWindow(parent), m_settingsPath(settingsPath), m_ini(settingsPath)
{
    setObjectName(QStringLiteral("TForm11"));
    askSaveLogName = [this](const QString &proposed) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save log"), proposed,
                                            QStringLiteral("Text Files (*.txt)"));
    };
    askPrinter = [this](QPrinter &printer) { return QPrintDialog(&printer, this).exec() == QDialog::Accepted; };
    askYesNo = [this](const QString &caption, const QString &text) {
        return QMessageBox::warning(this, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    showWarning = [this](const QString &caption, const QString &text) { QMessageBox::warning(this, caption, text); };
    fileDialogs = table_files::windowDialogs(this);

    askYesNoCancel = [this](const QString &caption, const QString &text) {
        return QMessageBox::warning(this, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    };
    for (QTimer *timer : {&Timer_respond, &Timer_secondary, &Timer_readall, &Timer_free_command, &Timer_tev,
                          &Timer_tev_info, &Timer_auto_address})
        timer->setTimerType(Qt::PreciseTimer); // a scan of 251 addresses must not drift by 5 %

    buildControls();
    buildMenus();

    m_comm = std::make_unique<TSerialComm>();
    LinkDispatch::Environment env;
    env.settings = [this] {
        LinkSettings link;
        const RouteChoice &r = m_settings.route;
        link.route = chooseRoute(r.useEthernet, r.velkServer, r.useLanxp);
        link.portName = m_settings.com.name;
        link.speed = m_settings.com.speed;
        link.parity = m_settings.com.parity;
        link.remoteIp = m_settings.remoteIp;
        link.remotePort = m_settings.remotePort;
        link.ethTimeout = m_settings.ethTimeout;
        link.netNumber = m_settings.netNumber;
        link.listenPort = m_settings.listenPort;
        return link;
    };
    env.idleTimer = &Timer_close_socket;
    env.isAdministrator = [this] { return m_isAdministrator; };
    env.language = [this] { return m_language; };
    env.clearFullReport = [this] { m_session->fullReportRequest = false; };
    m_dispatch = std::make_unique<LinkDispatch>(*m_comm, *this, std::move(env));
    connect(m_dispatch.get(), &LinkDispatch::serialStatusChanged, StatusPanel_port, &QLabel::setText);
    connect(m_dispatch.get(), &LinkDispatch::gatewayArrived, this, [this] {
        raise();
        activateWindow();
        QApplication::beep();
    });
    m_customCommand = std::make_unique<CustomCommand>(*m_dispatch, *this, Timer_free_command);
    connect(&Timer_free_command, &QTimer::timeout, m_customCommand.get(), &CustomCommand::collect);

    // Creation steps, in order.
    m_settings.titleCount = 0;                     // 1
    m_changedOption = false;
    restoreSettings();                             // 2-4
    m_table.switchSecondaryMain(m_settings.secondaryMain);
    m_table.setAdditionalCount(m_settings.titleCount);
    m_grid = std::make_unique<DeviceGrid>(devices->Grid_orvenna, m_table);
    wireOperations();                              // 7: operation state starts clear
    PageControl1->setCurrentWidget(devices);       // 5
    setResponseTimeout(devices->UD_timeout->value()); // 6
    showLanguage(m_settings.language);             // 8: the stored value stays as it is
    Check_hex->setChecked(true);                   // 9
    m_packetCounter = 1;                           // 10
    StatusPanel_port->setText(m_settings.com.name + QStringLiteral(" is closed"));

    // The other windows come after the main window, in this order.
    m_settingsDialog = new TSettings(m_settings, m_settingsPath, this);
    connect(m_dispatch.get(), &LinkDispatch::serialFieldsEnabled, m_settingsDialog, &TSettings::setPortFieldsEnabled);
    connect(m_settingsDialog, &TSettings::applied, m_dispatch.get(), &LinkDispatch::settingsApplied);
    // New titles or a switched secondary main value show at once.
    connect(m_settingsDialog, &TSettings::titlesApplied, this, [this](bool secondaryMainChanged) {
        m_changedOption = secondaryMainChanged;
        applyCaptions();
    });
    connect(Settings1, &QAction::triggered, this, [this] {
        m_settingsDialog->show();
        m_settingsDialog->raise();
    });
    m_users = new TFUsers(accountFile.isEmpty() ? accounts::defaultAccountFile() : accountFile, this);
    connect(Users1, &QAction::triggered, this, [this] {
        m_users->show();
        m_users->raise();
        m_users->list();
    });
    m_about = new TFAbout(this);
    m_report = new TFormFullMbus(this);
    connect(m_session.get(), &BusSession::reportReady, m_report, &TFormFullMbus::appendReport);
}

TForm11::~TForm11() = default;

bool TForm11::decodeReply(const QByteArray &reply)
{
    return m_session->decodeReply(reply);
}

void TForm11::buildControls()
{
    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    auto *splitter = new QSplitter(Qt::Vertical, central);
    outer->addWidget(splitter);

    PageControl1 = new QTabWidget(splitter);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    devices = new DevicesPage;
    PageControl1->addTab(devices, QString());
    readingsPage = new ReadingsPage;
    PageControl1->addTab(readingsPage, QString());
    displayPage = new DisplayPage;
    PageControl1->addTab(displayPage, QString());
    connect(devices->UD_timeout, &QSpinBox::valueChanged, this, &TForm11::setResponseTimeout);

    auto *logArea = new QWidget(splitter);
    auto *logLayout = new QVBoxLayout(logArea);
    logLayout->setContentsMargins(0, 0, 0, 0);
    auto *commandRow = new QHBoxLayout;
    Label4 = new QLabel(logArea);
    Edit_command = new QLineEdit(logArea);
    Edit_command->setObjectName(QStringLiteral("Edit_command"));
    Edit_command->setMaxLength(250);
    Check_hex = new QCheckBox(QStringLiteral("Hex"), logArea);
    Check_hex->setObjectName(QStringLiteral("Check_hex"));
    Check_ascii = new QCheckBox(QStringLiteral("ASCII"), logArea);
    Check_ascii->setObjectName(QStringLiteral("Check_ascii"));
    Butt_command_send = new QPushButton(logArea);
    Butt_command_send->setObjectName(QStringLiteral("Butt_command_send"));
    commandRow->addWidget(Label4);
    commandRow->addWidget(Edit_command, 1);
    commandRow->addWidget(Check_hex);
    commandRow->addWidget(Check_ascii);
    commandRow->addWidget(Butt_command_send);
    logLayout->addLayout(commandRow);
    // Exactly one of the two is checked: checking one clears the other, clearing one checks the other.
    connect(Check_hex, &QCheckBox::toggled, this, [this](bool on) { Check_ascii->setChecked(!on); });
    connect(Check_ascii, &QCheckBox::toggled, this, [this](bool on) { Check_hex->setChecked(!on); });
    connect(Butt_command_send, &QPushButton::clicked, this, &TForm11::onSendCommand);
    connect(Edit_command, &QLineEdit::returnPressed, this, &TForm11::onSendCommand);

    Memo_current = new QPlainTextEdit(logArea);
    Memo_current->setObjectName(QStringLiteral("Memo_current"));
    Memo_current->setReadOnly(true);
    Memo_current->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo_current->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    logLayout->addWidget(Memo_current, 1);

    auto *logButtons = new QHBoxLayout;
    BitBtn5 = new QPushButton(logArea);
    BitBtn5->setObjectName(QStringLiteral("BitBtn5"));
    BitBtn6 = new QPushButton(logArea);
    BitBtn6->setObjectName(QStringLiteral("BitBtn6"));
    BitBtn7 = new QPushButton(logArea);
    BitBtn7->setObjectName(QStringLiteral("BitBtn7"));
    logButtons->addStretch(1);
    logButtons->addWidget(BitBtn5);
    logButtons->addWidget(BitBtn6);
    logButtons->addWidget(BitBtn7);
    logLayout->addLayout(logButtons);
    connect(BitBtn5, &QPushButton::clicked, this, &TForm11::clearLog);
    connect(BitBtn6, &QPushButton::clicked, this, &TForm11::onSaveLog);
    connect(BitBtn7, &QPushButton::clicked, this, &TForm11::onPrintLog);

    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    setCentralWidget(central);

    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusPanel_port = new QLabel(this);
    StatusPanel_port->setObjectName(QStringLiteral("StatusPanel_port"));
    StatusBar1->addWidget(StatusPanel_port);

    Timer_auto_address.setInterval(100);
    Timer_close_socket.setInterval(180000);
    resize(1100, 780);
}

void TForm11::buildMenus()
{
    const auto action = [this](QMenu *menu, const char *name) {
        QAction *a = menu->addAction(QString());
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    FileMenu = menuBar()->addMenu(QString());
    Open1 = action(FileMenu, "Open1");
    Save1 = action(FileMenu, "Save1");
    FileMenu->addSeparator();
    Exit1 = action(FileMenu, "Exit1");
    connect(Exit1, &QAction::triggered, this, &TForm11::exitWithConfirmation);

    ToolsMenu = menuBar()->addMenu(QString());
    Users1 = action(ToolsMenu, "Users1");
    Settings1 = action(ToolsMenu, "Settings1");

    LanguageMenu = menuBar()->addMenu(QString());
    English1 = action(LanguageMenu, "English1");
    Italian1 = action(LanguageMenu, "Italian1");
    Polish1 = action(LanguageMenu, "Polish1");
    // The language names stay the same in every language, so that whoever
    // switched by mistake still finds the way back.
    //: A language name: the same in every language.
    English1->setText(tr("English"));
    //: A language name: the same in every language.
    Italian1->setText(tr("Italian"));
    //: A language name: the same in every language.
    Polish1->setText(tr("Polski"));
    int number = 1;
    for (QAction *a : {English1, Italian1, Polish1}) {
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, number] { setLanguage(number); });
        ++number;
    }

    HelpMenu = menuBar()->addMenu(QString());
    About1 = action(HelpMenu, "About1");
    connect(About1, &QAction::triggered, this, [this] {
        m_about->show();
        m_about->raise();
    });
}

void TForm11::retranslateMenus()
{
    FileMenu->setTitle(tr("&File"));
    Open1->setText(tr("Open"));
    Save1->setText(tr("Save"));
    Exit1->setText(tr("Exit"));
    ToolsMenu->setTitle(tr("&Tools"));
    Users1->setText(tr("Users"));
    Settings1->setText(tr("Settings"));
    LanguageMenu->setTitle(tr("&Language"));
    HelpMenu->setTitle(tr("&Help"));
    About1->setText(tr("About"));
}

void TForm11::restoreSettings()
{
    m_ini.load(); // an absent or unreadable file gives every default, silently
    m_settings = loadSettings(m_ini, ProgramPaths::defaultDataDir());
    devices->UD_address_min->setValue(m_settings.searchFrom);
    devices->UD_address_max->setValue(m_settings.searchTo);
    devices->UD_timeout->setValue(m_settings.timeout);
}

void TForm11::setLanguage(int language)
{
    m_settings.language = language;
    showLanguage(language);
}

void TForm11::showLanguage(int stored)
{
    const int language = stored == 3 || stored == 2 ? stored : 1; // anything else shows English
    m_language = language;
    languages::install(language);
    English1->setChecked(language == 1);
    Italian1->setChecked(language == 2);
    Polish1->setChecked(language == 3);
    applyCaptions();
}

void TForm11::applyCaptions()
{
    setWindowTitle(tr("Orvenna m-bus configuration and read utility"));
    retranslateMenus();
    PageControl1->setTabText(PageControl1->indexOf(devices), tr("   M-bus devices    "));
    PageControl1->setTabText(PageControl1->indexOf(readingsPage), tr("   Get Readings    "));
    PageControl1->setTabText(PageControl1->indexOf(displayPage), tr("   Local display TEV    "));
    devices->retranslate();
    Label4->setText(tr("Custom command:"));
    Butt_command_send->setText(tr("Send"));
    BitBtn5->setText(tr("Clear log"));
    BitBtn6->setText(tr("Save log"));
    BitBtn7->setText(tr("Print log"));
    updateBusyControls();

    // A switched secondary main option moves the cells once.
    if (m_changedOption) {
        m_table.switchSecondaryMain(m_settings.secondaryMain);
        m_changedOption = false;
    }
    m_table.setAdditionalCount(m_settings.titleCount);
    QStringList header{tr(" ID "), tr("Addr. "), tr("Mfr. "), tr("Value ")};
    if (m_table.layout().secondaryMain)
        header << m_settings.titles[13];
    header << tr("Unit ") << tr("Medium ") << tr("Time ") << tr("Date ") << tr("Status ") << tr("Model ");
    for (int i = 0; i < m_table.layout().additionalCount; ++i)
        header << m_settings.titles[std::size_t(i)];
    m_grid->setHeader(header);
}

int TForm11::responseTimeout() const
{
    return devices->UD_timeout->value();
}

void TForm11::setResponseTimeout(int ms)
{
    m_settings.timeout = ms;
    for (QTimer *timer : {&Timer_respond, &Timer_secondary, &Timer_readall, &Timer_free_command, &Timer_tev,
                          &Timer_tev_info})
        timer->setInterval(ms);
}

void TForm11::addLine(const QString &line)
{
    // Every call is one line, an empty one too: the first goes into the
    // document's first block, each later one into a block of its own.
    QTextCursor cursor(Memo_current->document());
    cursor.movePosition(QTextCursor::End);
    if (!m_logEmpty)
        cursor.insertBlock();
    cursor.insertText(line);
    m_logEmpty = false;
    Memo_current->verticalScrollBar()->setValue(Memo_current->verticalScrollBar()->maximum());
}

void TForm11::clearLog()
{
    Memo_current->clear();
    m_logEmpty = true;
}

QStringList TForm11::logLines() const
{
    return m_logEmpty ? QStringList() : Memo_current->toPlainText().split(u'\n');
}

void TForm11::onSendCommand()
{
    if (Edit_command->text().isEmpty() || !m_session->begin())
        return;
    m_customCommand->send(Edit_command->text(), Check_ascii->isChecked());
    if (!Timer_free_command.isActive())
        m_session->finish(); // nothing to wait for
}

bool TForm11::saveLogTo(const QString &path)
{
    if (saveLogFile(path, logLines()))
        return true;
    addLine(QStringLiteral("Can not write file, no rights..."));
    return false;
}

void TForm11::onSaveLog()
{
    const QString name = askSaveLogName(m_settings.dir + QStringLiteral("log.txt"));
    if (!name.isEmpty())
        saveLogTo(name);
}

int TForm11::printLogTo(QPrinter &printer)
{
    return printLog(printer, logLines(), QDateTime::currentDateTime());
}

void TForm11::onPrintLog()
{
    QPrinter printer;
    if (askPrinter(printer))
        printLogTo(printer);
}

void TForm11::exitWithConfirmation()
{
    if (askYesNo(tr("Exit Confirmation"), tr("Are you sure you want to exit?")))
        close();
}

void TForm11::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange && m_session)
        applyCaptions();
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        applyCaptions();
        m_dispatch->openListeningIfWanted();
    }
    QMainWindow::changeEvent(event);
}

void TForm11::applyLogin(const LoginRights &rights)
{
    m_isAdministrator = rights.administrator;
    // Operators change nothing; setup may change the settings, not the accounts.
    Users1->setEnabled(rights.administrator);
    Settings1->setEnabled(rights.administrator || rights.setup);
    m_displayAllowed = rights.display;
    PageControl1->setTabVisible(PageControl1->indexOf(displayPage), rights.display);
    for (QWidget *w : std::initializer_list<QWidget *>{devices->Group_ops, devices->Group_advanced,
                                                        devices->Check_broadcast, devices->Label_id, devices->Label_addr})
        w->setVisible(rights.devices);
    show();
}

void TForm11::closeEvent(QCloseEvent *event)
{
    m_settings.searchFrom = devices->UD_address_min->value();
    m_settings.searchTo = devices->UD_address_max->value();
    m_settings.timeout = devices->UD_timeout->value();
    // Whatever runs ends here, so no timer fires into a closed link.
    m_scan->stop();
    m_readAll->stop();
    m_autoAddressing->stop();
    m_search->abort();
    m_writeRun->stop();
    m_readRun->stop();
    for (QTimer *timer : {&Timer_respond, &Timer_secondary, &Timer_readall, &Timer_free_command, &Timer_auto_address,
                          &Timer_tev, &Timer_tev_info})
        timer->stop();
    // Re-read first so keys that another window wrote meanwhile are kept.
    m_ini.load();
    writeMainWindowKeys(m_ini, m_settings);
    QString error;
    if (!m_ini.save(&error)) {
        if (!m_ini.readError().isEmpty()) {
            addLine(error);
            qWarning("%s", qPrintable(error));
        }
        showWarning(QStringLiteral("Saving settings"), QStringLiteral("Settings will not be saved, no write permission"));
        if (m_dispatch->portOpen())
            m_dispatch->toggleSerialPort();
    }
    m_dispatch->shutDown();
    m_about->hide();
    m_settingsDialog->hide();
    m_report->hide();
    m_users->hide();
    event->accept();
    emit closed();
}
