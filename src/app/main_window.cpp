#include "main_window.h"

#include "languages.h"

#include "about_box.h"
#include "config/program_paths.h"
#include "device_table_model.h"
#include "devices_page.h"
#include "display/display_commands.h"
#include "display/read_run.h"
#include "display/write_run.h"
#include "display_grid.h"
#include "display_pages.h"
#include "full_report_window.h"
#include "history_window.h"
#include "link/link_dispatch.h"
#include "link/log_time.h"
#include "link/port_list.h"
#include "log_printer.h"
#include "ops/bus_stack.h"
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
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextCursor>
#include <QVBoxLayout>

MainWindow::MainWindow(const QString &settingsPath, QWidget *parent, const QString &accountFile)
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
    buildControls();
    buildMenus();

    LinkDispatch::Environment env;
    env.isAdministrator = [this] { return m_isAdministrator; };
    m_bus = std::make_unique<ProgramBus>(
        *this, m_table, [this]() -> const Settings & { return m_settings; }, [this] { return busOptions(); },
        std::move(env));
    connect(&dispatch(), &LinkDispatch::serialStatusChanged, portStatusLabel, &QLabel::setText);
    connect(&dispatch(), &LinkDispatch::gatewayArrived, this, [this] {
        raise();
        activateWindow();
        QApplication::beep();
    });

    // Creation steps, in order.
    m_settings.titleCount = 0; // 1
    m_changedOption = false;
    restoreSettings(); // 2-4
    m_table.switchSecondaryMain(m_settings.secondaryMain);
    m_table.setAdditionalCount(m_settings.titleCount);
    m_tableModel = new DeviceTableModel(m_table, this);
    devices->setTableModel(m_tableModel);
    wireOperations();                                               // 7: operation state starts clear
    pages->setCurrentWidget(devices);                               // 5
    setResponseTimeout(devices->timeoutBox->value());               // 6
    showLanguage(languages::fromStored(m_settings.storedLanguage)); // 8: the stored value stays as it is
    hexBox->setChecked(true);                                       // 9
    portStatusLabel->setText(m_portFound
                                 ? tr("%1 is closed (the first USB serial adapter found)").arg(m_settings.com.name)
                                 : tr("%1 is closed").arg(m_settings.com.name));

    // The other windows come after the main window, in this order.
    m_settingsDialog = new SettingsDialog(m_settings, m_settingsPath, this);
    connect(&dispatch(), &LinkDispatch::serialFieldsEnabled, m_settingsDialog, &SettingsDialog::setPortFieldsEnabled);
    connect(m_settingsDialog, &SettingsDialog::applied, &dispatch(), &LinkDispatch::settingsApplied);
    // New archive settings: the archive is opened afresh at its next use.
    // What the old one still holds is given a moment, and what it could not
    // store is said with its count.
    connect(m_settingsDialog, &SettingsDialog::applied, this,
            [this] { finishArchive(std::chrono::milliseconds(300)); });
    // New titles or a switched secondary main value show at once.
    connect(m_settingsDialog, &SettingsDialog::titlesApplied, this, [this](bool secondaryMainChanged) {
        m_changedOption = secondaryMainChanged;
        applyCaptions();
    });
    connect(settingsAction, &QAction::triggered, this, [this] {
        m_settingsDialog->show();
        m_settingsDialog->raise();
    });
    m_users = new UsersWindow(accountFile.isEmpty() ? accounts::defaultAccountFile() : accountFile, this);
    connect(usersAction, &QAction::triggered, this, [this] {
        m_users->show();
        m_users->raise();
        m_users->list();
    });
    m_about = new AboutBox(this);
    m_report = new FullReportWindow(this);
    connect(&session(), &BusSession::reportReady, m_report, &FullReportWindow::appendReport);
}

MainWindow::~MainWindow() = default;

BusOptions MainWindow::busOptions() const
{
    BusOptions o = busOptionsFrom(m_settings);
    o.sendNkeFirst = devices->sendNkeFirstBox->isChecked();
    o.broadcast = devices->broadcastBox->isChecked();
    o.responseTimeoutMs = devices->timeoutBox->value();
    return o;
}

LinkDispatch &MainWindow::dispatch()
{
    return m_bus->dispatch;
}

BusSession &MainWindow::session()
{
    return m_bus->stack.session;
}

PrimaryScan &MainWindow::scan()
{
    return m_bus->stack.scan;
}

ReadAll &MainWindow::readAll()
{
    return m_bus->stack.readAll;
}

AutoAddressing &MainWindow::autoAddressing()
{
    return m_bus->stack.autoAddressing;
}

MeterCommands &MainWindow::commands()
{
    return m_bus->stack.commands;
}

SecondarySearch &MainWindow::search()
{
    return m_bus->stack.search;
}

void MainWindow::buildControls()
{
    auto *central = new QWidget(this);
    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(4, 4, 4, 0);
    logSplitter = new QSplitter(Qt::Vertical, central);
    logSplitter->setObjectName(QStringLiteral("Splitter_log"));
    outer->addWidget(logSplitter);

    pages = new QTabWidget(logSplitter);
    pages->setObjectName(QStringLiteral("PageControl1"));
    devices = new DevicesPage;
    pages->addTab(devices, QString());
    readingsPage = new ReadingsPage;
    pages->addTab(readingsPage, QString());
    displayPage = new DisplayPage;
    pages->addTab(displayPage, QString());
    connect(devices->timeoutBox, &QSpinBox::valueChanged, this, &MainWindow::setResponseTimeout);

    // The custom command and the log's buttons in one line, the log below.
    auto *logArea = new QWidget(logSplitter);
    auto *logLayout = new QVBoxLayout(logArea);
    logLayout->setContentsMargins(0, 0, 0, 0);
    auto *commandRow = new QHBoxLayout;
    commandLabel = new QLabel(logArea);
    commandEdit = new QLineEdit(logArea);
    commandEdit->setObjectName(QStringLiteral("Edit_command"));
    commandEdit->setMaxLength(250);
    hexBox = new QCheckBox(QStringLiteral("Hex"), logArea);
    hexBox->setObjectName(QStringLiteral("Check_hex"));
    asciiBox = new QCheckBox(QStringLiteral("ASCII"), logArea);
    asciiBox->setObjectName(QStringLiteral("Check_ascii"));
    sendCommandButton = new QPushButton(logArea);
    sendCommandButton->setObjectName(QStringLiteral("Butt_command_send"));
    clearLogButton = new QPushButton(logArea);
    clearLogButton->setObjectName(QStringLiteral("BitBtn5"));
    saveLogButton = new QPushButton(logArea);
    saveLogButton->setObjectName(QStringLiteral("BitBtn6"));
    printLogButton = new QPushButton(logArea);
    printLogButton->setObjectName(QStringLiteral("BitBtn7"));
    commandRow->addWidget(commandLabel);
    commandRow->addWidget(commandEdit, 1);
    commandRow->addWidget(hexBox);
    commandRow->addWidget(asciiBox);
    commandRow->addWidget(sendCommandButton);
    commandRow->addSpacing(16);
    commandRow->addWidget(clearLogButton);
    commandRow->addWidget(saveLogButton);
    commandRow->addWidget(printLogButton);
    logLayout->addLayout(commandRow);
    // Exactly one of the two is checked: checking one clears the other, clearing one checks the other.
    connect(hexBox, &QCheckBox::toggled, this, [this](bool on) { asciiBox->setChecked(!on); });
    connect(asciiBox, &QCheckBox::toggled, this, [this](bool on) { hexBox->setChecked(!on); });
    connect(sendCommandButton, &QPushButton::clicked, this, &MainWindow::onSendCommand);
    connect(commandEdit, &QLineEdit::returnPressed, this, &MainWindow::onSendCommand);
    connect(clearLogButton, &QPushButton::clicked, this, &MainWindow::clearLog);
    connect(saveLogButton, &QPushButton::clicked, this, &MainWindow::onSaveLog);
    connect(printLogButton, &QPushButton::clicked, this, &MainWindow::onPrintLog);

    logView = new QPlainTextEdit(logArea);
    logView->setObjectName(QStringLiteral("Memo_current"));
    logView->setReadOnly(true);
    logView->setLineWrapMode(QPlainTextEdit::NoWrap);
    logView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    logLayout->addWidget(logView, 1);

    // The table takes what the window grows by; the log keeps the height
    // the user gave it (placed at the first show, when the heights are known).
    logSplitter->setChildrenCollapsible(false);
    logSplitter->setStretchFactor(0, 1);
    logSplitter->setStretchFactor(1, 0);
    connect(logSplitter, &QSplitter::splitterMoved, this,
            [this] { m_settings.logHeight = logSplitter->sizes().value(1); });
    setCentralWidget(central);

    mainStatusBar = statusBar();
    mainStatusBar->setObjectName(QStringLiteral("StatusBar1"));
    portStatusLabel = new QLabel(this);
    portStatusLabel->setObjectName(QStringLiteral("StatusPanel_port"));
    mainStatusBar->addWidget(portStatusLabel);
    // What a walk has done so far, seen from every page.
    devices->progressBar->setMaximumWidth(260);
    mainStatusBar->addPermanentWidget(devices->progressBar);

    // Its wished-for size, on a smaller screen as much as fits (never past its edges).
    QSize size(1100, 780);
    if (const QScreen *shown = screen())
        size = size.boundedTo(shown->availableGeometry().size() - QSize(0, 40)); // room for the title bar
    resize(size);
}

int MainWindow::defaultLogHeight() const
{
    // The command line and five lines of the log.
    const QFontMetrics lines(logView->font());
    const int view = 5 * lines.lineSpacing() + 2 * logView->frameWidth()
                     + 2 * int(logView->document()->documentMargin()) + 4;
    return commandEdit->sizeHint().height() + logView->parentWidget()->layout()->spacing() + view;
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_logPlaced)
        return;
    m_logPlaced = true;
    const int log = m_settings.logHeight > 0 ? m_settings.logHeight : defaultLogHeight();
    const int total = logSplitter->height() - logSplitter->handleWidth();
    logSplitter->setSizes({std::max(1, total - log), log});
}

void MainWindow::buildMenus()
{
    const auto action = [this](QMenu *menu, const char *name) {
        QAction *a = menu->addAction(QString());
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    fileMenu = menuBar()->addMenu(QString());
    openAction = action(fileMenu, "Open1");
    saveAction = action(fileMenu, "Save1");
    fileMenu->addSeparator();
    exitAction = action(fileMenu, "Exit1");
    connect(exitAction, &QAction::triggered, this, &MainWindow::exitWithConfirmation);

    toolsMenu = menuBar()->addMenu(QString());
    usersAction = action(toolsMenu, "Users1");
    settingsAction = action(toolsMenu, "Settings1");

    languageMenu = menuBar()->addMenu(QString());
    englishAction = action(languageMenu, "English1");
    italianAction = action(languageMenu, "Italian1");
    polishAction = action(languageMenu, "Polish1");
    // The language names stay the same in every language, so that whoever
    // switched by mistake still finds the way back.
    //: A language name: the same in every language.
    englishAction->setText(tr("English"));
    //: A language name: the same in every language.
    italianAction->setText(tr("Italian"));
    //: A language name: the same in every language.
    polishAction->setText(tr("Polski"));
    const std::pair<QAction *, Language> choices[] = {
        {englishAction, Language::English}, {italianAction, Language::Italian}, {polishAction, Language::Polish}};
    for (const auto &[item, language] : choices) {
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, language = language] { setLanguage(language); });
    }

    helpMenu = menuBar()->addMenu(QString());
    aboutAction = action(helpMenu, "About1");
    connect(aboutAction, &QAction::triggered, this, [this] {
        m_about->show();
        m_about->raise();
    });
}

void MainWindow::retranslateMenus()
{
    fileMenu->setTitle(tr("&File"));
    openAction->setText(tr("Open"));
    saveAction->setText(tr("Save"));
    exitAction->setText(tr("Exit"));
    toolsMenu->setTitle(tr("&Tools"));
    usersAction->setText(tr("Users"));
    settingsAction->setText(tr("Settings"));
    languageMenu->setTitle(tr("&Language"));
    helpMenu->setTitle(tr("&Help"));
    aboutAction->setText(tr("About"));
}

void MainWindow::restoreSettings()
{
    m_ini.load(); // an absent or unreadable file gives every default, silently
    m_settings = loadSettings(m_ini, program_paths::defaultDataDir());
    // No port chosen yet: a USB adapter plugged in is the bus far more often than COM1.
    m_portFound = false;
    if (!m_ini.hasKey(QStringLiteral("Com port"), QStringLiteral("Name"))) {
        if (const QString usb = firstUsbSerialPort(); !usb.isEmpty()) {
            m_settings.com.name = usb;
            m_portFound = true;
        }
    }
    devices->fromAddressBox->setValue(m_settings.searchFrom);
    devices->toAddressBox->setValue(m_settings.searchTo);
    devices->timeoutBox->setValue(m_settings.timeout);
}

void MainWindow::setLanguage(Language language)
{
    m_settings.storedLanguage = languages::toStored(language);
    showLanguage(language);
}

void MainWindow::showLanguage(Language language)
{
    m_language = language;
    languages::install(language);
    englishAction->setChecked(language == Language::English);
    italianAction->setChecked(language == Language::Italian);
    polishAction->setChecked(language == Language::Polish);
    applyCaptions();
}

void MainWindow::applyCaptions()
{
    setWindowTitle(tr("Orvenna m-bus configuration and read utility"));
    retranslateMenus();
    pages->setTabText(pages->indexOf(devices), tr("   M-bus devices    "));
    pages->setTabText(pages->indexOf(readingsPage), tr("   Get Readings    "));
    pages->setTabText(pages->indexOf(displayPage), tr("   Local display TEV    "));
    devices->retranslate();
    commandLabel->setText(tr("Custom command:"));
    sendCommandButton->setText(tr("Send"));
    clearLogButton->setText(tr("Clear log"));
    saveLogButton->setText(tr("Save log"));
    printLogButton->setText(tr("Print log"));
    updateBusyControls();

    // A switched secondary main option moves the cells once.
    if (m_changedOption) {
        m_table.switchSecondaryMain(m_settings.secondaryMain);
        m_changedOption = false;
    }
    m_table.setAdditionalCount(m_settings.titleCount);
    m_tableModel->setHeaderLabels(languages::currentTitles(deviceColumnTitles()));
}

decode::csv::ColumnTitles MainWindow::deviceColumnTitles() const
{
    static const std::vector<const char *> before{QT_TR_NOOP(" ID "), QT_TR_NOOP("Addr. "), QT_TR_NOOP("Mfr. "),
                                                  QT_TR_NOOP("Value ")};
    static const std::vector<const char *> after{QT_TR_NOOP("Unit "), QT_TR_NOOP("Medium "), QT_TR_NOOP("Time "),
                                                 QT_TR_NOOP("Date "), QT_TR_NOOP("Status "), QT_TR_NOOP("Model ")};
    decode::csv::ColumnTitles titles = languages::columnTitles("MainWindow", before);
    if (m_table.layout().secondaryMain)
        titles.push_back({m_settings.titles[13].toStdString()});
    for (std::vector<std::string> &column : languages::columnTitles("MainWindow", after))
        titles.push_back(std::move(column));
    for (int i = 0; i < m_table.layout().additionalCount; ++i)
        titles.push_back({m_settings.titles[std::size_t(i)].toStdString()});
    return titles;
}

void MainWindow::setResponseTimeout(int ms)
{
    m_settings.timeout = ms; // the operations read it at the moment of use
}

void MainWindow::addLine(const QString &line)
{
    // Every call is one line, an empty one too: the first goes into the
    // document's first block, each later one into a block of its own.
    QTextCursor cursor(logView->document());
    cursor.movePosition(QTextCursor::End);
    if (!m_logEmpty)
        cursor.insertBlock();
    cursor.insertText(printableLogLine(line));
    m_logEmpty = false;
    if (logView->document()->blockCount() > kMaxLogLines)
        dropOldestLogLines();
    logView->verticalScrollBar()->setValue(logView->verticalScrollBar()->maximum());
}

// The oldest lines go in one block, so that a flood of lines costs little;
// the first line then says so.
void MainWindow::dropOldestLogLines()
{
    QTextCursor cursor(logView->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, kMaxLogLines / 10);
    cursor.removeSelectedText();
    cursor.insertText(tr("(older lines were removed: the log keeps the last %1 lines)").arg(kMaxLogLines));
    cursor.insertBlock();
}

void MainWindow::clearLog()
{
    logView->clear();
    m_logEmpty = true;
}

QStringList MainWindow::logLines() const
{
    return m_logEmpty ? QStringList() : logView->toPlainText().split(u'\n');
}

CustomCommand &MainWindow::customCommand()
{
    return m_bus->stack.custom;
}

void MainWindow::onSendCommand()
{
    customCommand().send(commandEdit->text(), asciiBox->isChecked());
}

bool MainWindow::saveLogTo(const QString &path)
{
    if (saveLogFile(path, logLines()))
        return true;
    addLine(QStringLiteral("Can not write file, no rights..."));
    return false;
}

void MainWindow::onSaveLog()
{
    const QString name = askSaveLogName(m_settings.dir + QStringLiteral("log.txt"));
    if (!name.isEmpty())
        saveLogTo(name);
}

int MainWindow::printLogTo(QPrinter &printer)
{
    return printLog(printer, logLines(), QDateTime::currentDateTime());
}

void MainWindow::onPrintLog()
{
    QPrinter printer;
    if (askPrinter(printer))
        printLogTo(printer);
}

void MainWindow::exitWithConfirmation()
{
    if (askYesNo(tr("Exit Confirmation"), tr("Are you sure you want to exit?")))
        close();
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange && m_bus)
        applyCaptions();
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        applyCaptions();
        dispatch().openListeningIfWanted();
    }
    QMainWindow::changeEvent(event);
}

void MainWindow::applyLogin(const LoginRights &rights)
{
    m_isAdministrator = rights.administrator;
    // Operators change nothing; setup may change the settings, not the accounts.
    usersAction->setEnabled(rights.administrator);
    settingsAction->setEnabled(rights.administrator || rights.setup);
    m_displayAllowed = rights.display;
    session().rights = UserRights{rights.devices, rights.display};
    updateBusyControls();
    pages->setTabVisible(pages->indexOf(displayPage), rights.display);
    devices->setMeterCommandsShown(rights.devices);
    show();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    m_settings.searchFrom = devices->fromAddressBox->value();
    m_settings.searchTo = devices->toAddressBox->value();
    m_settings.timeout = devices->timeoutBox->value();
    // Whatever runs ends here (the display runs too), so no timer fires into a closed link.
    m_bus->stack.stopAll();
    // Re-read first so keys that another window wrote meanwhile are kept.
    m_ini.load();
    writeMainWindowKeys(m_ini, m_settings);
    QString error;
    if (!m_ini.save(&error)) {
        if (!m_ini.readError().isEmpty()) {
            addLine(error);
            qWarning("%s", qPrintable(error));
        }
        showWarning(QStringLiteral("Saving settings"),
                    QStringLiteral("Settings will not be saved, no write permission"));
        if (dispatch().portOpen())
            dispatch().toggleSerialPort();
    }
    dispatch().shutDown();
    m_about->hide();
    m_settingsDialog->hide();
    m_report->hide();
    m_users->hide();
    event->accept();
    emit closed();
}
