// The main window's device page wired to the operations that walk the bus.

#include "device_table_model.h"
#include "devices_page.h"
#include "link/link_dispatch.h"
#include "main_window.h"
#include "ops/bus_stack.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>

void MainWindow::wireOperations()
{
    connect(&session(), &BusSession::busyChanged, this, &MainWindow::updateBusyControls);
    // A gateway's first telegram on the listen route: read it by itself.
    connect(&dispatch(), &LinkDispatch::firstGatewayTelegram, this, [this] {
        if (m_settings.autoDisplay) {
            if (autoDisplayRead)
                autoDisplayRead();
        } else if (m_settings.autoMbus && !session().busy()) {
            findOrStop();
        }
    });
    for (Operation *operation : m_bus->stack.operations()) {
        connect(operation, &Operation::runningChanged, this, &MainWindow::updateBusyControls);
        connect(operation, &Operation::progressChanged, this,
                [this, operation](int minimum, int maximum, int value, bool visible) {
                    showOperationProgress(*operation, minimum, maximum, value, visible);
                });
    }
    // A meter is given an address another row holds only when the user says so.
    commands().confirmAddressInUse = [this](int address, const QString &holder) {
        return askYesNo(tr("Address in use"),
                        tr("Address %1 belongs to meter %2 in the table. Give it to the selected meter as well?")
                            .arg(address)
                            .arg(holder));
    };
    connect(&autoAddressing(), &AutoAddressing::addressChosen, devices->newAddressBox, &QSpinBox::setValue);
    connect(&session(), &BusSession::selectionChanged, this,
            [this](const QString &id, const QString &address, int currentRow) {
                devices->showSelection(id, address);
                if (currentRow >= 0)
                    showCurrentRow(currentRow);
            });
    wireDevicePage();
    buildContextMenu();
    wireDisplay();
    wireArchive();
}

void MainWindow::wireDevicePage()
{
    DevicesPage *d = devices;
    MeterCommands *commands = &m_bus->stack.commands;
    connect(d->findPrimaryButton, &QPushButton::clicked, this, &MainWindow::findOrStop);
    connect(d->readAllButton, &QPushButton::clicked, this, &MainWindow::readAllOrStop);
    connect(d->readSelectedButton, &QPushButton::clicked, this, [commands] { commands->readSelected(false); });
    connect(d->clearTableButton, &QPushButton::clicked, this, &MainWindow::clearTableAsked);
    connect(d->saveButton, &QPushButton::clicked, this, &MainWindow::saveDeviceTable);
    connect(d->loadButton, &QPushButton::clicked, this, &MainWindow::loadDeviceTable);
    connect(saveAction, &QAction::triggered, this, &MainWindow::saveDeviceTable);
    connect(openAction, &QAction::triggered, this, &MainWindow::loadDeviceTable);
    connect(d->autoAddressButton, &QPushButton::clicked, this, &MainWindow::autoAddressOrStop);
    connect(d->findIdButton, &QPushButton::clicked, this, &MainWindow::findById);
    connect(d->findAllButton, &QPushButton::clicked, this, &MainWindow::findAll);
    // Stops the search, a meter command or the custom command (the walks
    // with a button of their own stop there as well).
    connect(d->stopSearchButton, &QPushButton::clicked, this, [this] { session().stopAll(); });
    connect(d->resetButton, &QPushButton::clicked, this, [commands] { commands->reset(); });
    connect(d->setAddressButton, &QPushButton::clicked, this,
            [commands, d] { commands->setPrimaryAddress(d->newAddressBox->value()); });
    connect(d->setValueButton, &QPushButton::clicked, this, &MainWindow::setValueAsked);
    connect(d->setMediumButton, &QPushButton::clicked, this,
            [commands, d] { commands->setMedium(d->mediumCombo->currentText()); });
    connect(d->setUnitButton, &QPushButton::clicked, this, [commands, d] {
        commands->setUnit(d->unitCombo->currentText(), d->constantCombo->currentText(), d->relayBox->isChecked());
    });
    connect(d->setBaudButton, &QPushButton::clicked, this,
            [commands, d] { commands->changeBaud(d->baudCombo->currentText()); });
    connect(d->setIdButton, &QPushButton::clicked, this, [commands, d] { commands->changeId(d->newIdEdit->text()); });
    connect(d->deviceGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (!m_followingSession)
                    selectGridRow(current.row());
            });
    connect(d->deviceGrid, &QTableView::clicked, this,
            [this](const QModelIndex &index) { selectGridRow(index.row()); });
    connect(d->deviceGrid, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        activateWindow();
        deviceMenu->popup(devices->deviceGrid->viewport()->mapToGlobal(at));
    });
}

void MainWindow::buildContextMenu()
{
    deviceMenu = new QMenu(this);
    deviceMenu->setObjectName(QStringLiteral("ContextMenuMbus"));
    const auto entry = [this](const char *name, auto &&slot) {
        QAction *a = deviceMenu->addAction(QString());
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    MeterCommands *commands = &m_bus->stack.commands;
    DevicesPage *d = devices;
    readSelectedAction = entry("ReadSelected1", [commands] { commands->readSelected(false); });
    readAllAction = entry("ReadAll1", [this] {
        if (!readAll().running())
            readAll().start();
    });
    readFullAction = entry("ReadFull1", [commands] { commands->readSelected(true); });
    setMediumAction = entry("SetMedium1", [d] { d->setMediumButton->click(); });
    setUnitAction = entry("SetUnit1", [d] { d->setUnitButton->click(); });
    setBaudAction = entry("SetBaud1", [d] { d->setBaudButton->click(); });
    resetAction = entry("Reset1", [commands] { commands->reset(); });
    clearTableAction = entry("ClearTable1", [this] { clearTableAsked(); });
    saveExportAction = entry("SaveExport1", [this] { saveAction->trigger(); });
    deleteRowAction = entry("DeleteRow1", [this] { deleteSelectedRow(); });
    historyAction = entry("History1", [this] { showHistory(); });
}

// One bus operation at a time: what would start another is disabled while
// one runs; the running one keeps its button as "Stop".
void MainWindow::updateBusyControls()
{
    if (!m_bus)
        return;
    const bool busy = session().busy();
    DevicesPage *d = devices;
    const bool scanning = scan().running(), reading = readAll().running(), addressing = autoAddressing().running();
    d->findPrimaryButton->setText(scanning ? tr("Stop") : tr("Find"));
    d->findPrimaryButton->setEnabled(!busy || scanning);
    d->readAllButton->setText(reading ? tr("Stop") : tr("Read all meters"));
    d->readAllButton->setEnabled(!busy || reading);
    d->autoAddressButton->setText(addressing ? tr("Stop addr") : tr("Auto address"));
    // What changes a meter or sends bytes by hand needs the devices right
    // (the operations refuse it as well, whatever calls them).
    const bool mayChangeMeters = session().rights.devices;
    d->autoAddressButton->setEnabled(mayChangeMeters && (!busy || addressing));
    d->autoAddressFirstBox->setEnabled(mayChangeMeters);
    commandEdit->setEnabled(mayChangeMeters);
    for (QWidget *w : std::initializer_list<QWidget *>{d->readSelectedButton, d->basicGroup, d->advancedGroup,
                                                       d->clearTableButton, d->loadButton, d->findIdButton,
                                                       d->findAllButton, d->searchIdEdit, d->broadcastBox})
        w->setEnabled(!busy);
    sendCommandButton->setEnabled(!busy && mayChangeMeters);
    d->stopSearchButton->setVisible(search().running() || commands().running() || customCommand().running());
    d->stopSearchButton->setText(search().running() ? DevicesPage::tr("Stop Secondary") : tr("Stop"));
    for (QAction *a : deviceMenu->actions())
        a->setEnabled(!busy);
    for (QAction *a : {setMediumAction, setUnitAction, setBaudAction, resetAction})
        a->setEnabled(!busy && mayChangeMeters);
    openAction->setEnabled(!busy);
    updateDisplayControls(busy);

    readSelectedAction->setText(tr("Read selected"));
    readAllAction->setText(tr("Read All"));
    readFullAction->setText(tr("Read Full"));
    setMediumAction->setText(tr("Set Medium"));
    setUnitAction->setText(tr("Set Unit"));
    setBaudAction->setText(tr("Set baud"));
    resetAction->setText(tr("Reset"));
    clearTableAction->setText(tr("Clear table"));
    saveExportAction->setText(tr("Save/Export"));
    deleteRowAction->setText(tr("Delete selected row"));
    historyAction->setText(tr("History..."));
}

void MainWindow::showOperationProgress(const Operation &operation, int minimum, int maximum, int value, bool visible)
{
    QProgressBar *bar = devices->progressBar;
    bar->setRange(minimum, std::max(minimum, maximum));
    bar->setValue(value);
    bar->setVisible(visible);
    QString format = QStringLiteral("%p%");
    if (&operation == &scan()) {
        const int first = scan().currentAddress() - value;
        format = tr("address %1 of %2..%3").arg(first + value).arg(first).arg(first + maximum);
    } else if (&operation == &readAll()) {
        format = tr("meter %1 of %2").arg(value).arg(maximum);
    } else if (&operation == &search()) {
        format = tr("step %1 of %2").arg(value).arg(maximum);
    }
    bar->setFormat(format);
}

void MainWindow::findOrStop()
{
    if (scan().running()) {
        scan().stop();
        return;
    }
    if (session().busy()) {
        session().begin(); // says why nothing starts
        return;
    }
    const RouteChoice &route = m_settings.route;
    const bool listenRoute = chooseRoute(route.useListen, route.useGatewayClient, route.useConverter)
                             == LinkRoute::Listen;
    if (listenRoute && m_settings.autoMbus) {
        clearTable();
    } else if (m_table.rowCount() > 0) { // an empty table has nothing to ask about
        const QMessageBox::StandardButton answer = askYesNoCancel(tr("Clear confirmation"),
                                                                  tr("Do you want to clear the table?"));
        if (answer == QMessageBox::Cancel || answer == QMessageBox::Escape || answer == QMessageBox::NoButton)
            return;
        if (answer == QMessageBox::Yes)
            clearTable();
    }
    QSpinBox *from = devices->fromAddressBox, *to = devices->toAddressBox;
    if (to->value() < from->value()) {
        const int first = to->value();
        to->setValue(from->value());
        from->setValue(first);
    }
    scan().start(from->value(), to->value());
}

void MainWindow::findById()
{
    if (devices->searchIdEdit->text() == QLatin1String("FFFFFFFF"))
        findAll();
    else
        search().findById(devices->searchIdEdit->text());
}

void MainWindow::findAll()
{
    devices->searchIdEdit->setText(QStringLiteral("FFFFFFFF"));
    if (session().busy()) {
        session().begin(); // says why nothing starts
        return;
    }
    // An empty table has nothing to ask about.
    const QMessageBox::StandardButton answer = m_table.rowCount() == 0
                                                   ? QMessageBox::No
                                                   : askYesNoCancel(tr("Clear confirmation"),
                                                                    tr("Do you want to clear the table?"));
    if (answer != QMessageBox::Yes && answer != QMessageBox::No)
        return;
    search().startWildcard(answer == QMessageBox::Yes);
}

void MainWindow::readAllOrStop()
{
    if (readAll().running())
        readAll().stop();
    else
        readAll().start();
}

void MainWindow::autoAddressOrStop()
{
    if (autoAddressing().running()) {
        autoAddressing().stop();
        return;
    }
    if (session().busy()) {
        session().begin();
        return;
    }
    if (askYesNoCancel(tr("Address confirmation"), tr("This will address automatically ALL devices (primary), OK?"))
        != QMessageBox::Yes)
        return;
    devices->broadcastBox->setChecked(false);
    autoAddressing().start(devices->autoAddressFirstBox->value());
}

// The button and the menu entry ask first: the table may hold a day's work.
void MainWindow::clearTableAsked()
{
    if (askYesNo(tr("Clear confirmation"), tr("Do you want to clear the table?")))
        clearTable();
}

void MainWindow::clearTable()
{
    if (session().busy() && !scan().running())
        return;
    m_table.clear();
    session().clearSelection();
}

void MainWindow::deleteSelectedRow()
{
    if (session().busy())
        return;
    const int row = session().selectedRow();
    if (!m_table.removeRow(row))
        return;
    // The row that moved up into its place (or the new last row) is the
    // highlighted and the selected one; with no rows left, none is.
    QTableView *grid = devices->deviceGrid;
    const int next = std::min(row, m_table.rowCount() - 1);
    if (next < 0) {
        grid->clearSelection();
        session().clearSelection();
        return;
    }
    grid->selectRow(next);
    grid->scrollTo(grid->model()->index(next, 0));
    session().selectRow(next);
}

// The row an operation has just read becomes the grid's current and only
// selected row, in view. The view hears of the change (the rows it leaves
// are repainted unselected); the session is not told again, as the
// selection came from it.
void MainWindow::showCurrentRow(int row)
{
    QTableView *grid = devices->deviceGrid;
    const QModelIndex index = grid->model()->index(row, 0);
    if (!index.isValid())
        return;
    if (row != grid->currentIndex().row() || !grid->selectionModel()->isRowSelected(row)) {
        m_followingSession = true;
        grid->selectRow(row);
        m_followingSession = false;
    }
    grid->scrollTo(index);
}

void MainWindow::setValueAsked()
{
    const QString value = devices->valueEdit->text();
    // Where the command refuses anyway it says why; nothing to confirm then.
    const bool wouldWrite = !value.isEmpty() && session().rights.devices && !session().busy()
                            && session().writeTarget().has_value();
    if (wouldWrite && !askYesNo(tr("Set value"), valueWriteQuestion(value)))
        return;
    commands().setValue(value, devices->integerValueBox->isChecked());
}

// The command always writes litres, as a volume register: say so, and what
// the meter will show afterwards next to what its table row shows now.
QString MainWindow::valueWriteQuestion(const QString &litresText)
{
    const qulonglong litres = litresText.toULongLong();
    QString cubicMetres = QString::number(litres / 1000);
    if (const qulonglong rest = litres % 1000; rest != 0) {
        QString decimals = QStringLiteral("%1").arg(rest, 3, 10, QChar(u'0'));
        while (decimals.endsWith(u'0'))
            decimals.chop(1);
        const QString point = QLocale().decimalPoint();
        cubicMetres += (point.size() == 1 && point.at(0).unicode() < 0x80 ? point : QStringLiteral(".")) + decimals;
    }
    const QString written = QString::number(litres);
    if (busOptions().broadcast)
        return tr("Write %1 l to every meter (broadcast)? Their registers will then read %2 m3.")
            .arg(written, cubicMetres);
    const int row = session().selectedRow();
    const decode::MeterSelection &meter = session().selected();
    const QString name = meter.id.empty() ? session().selectedAddressText() : QString::fromStdString(meter.id);
    const QString unitNow = row >= 0 && row < m_table.rowCount()
                                ? QString::fromStdString(m_table.cellText(row, m_table.layout().unitColumn())).trimmed()
                                : QString();
    if (unitNow.isEmpty() || unitNow == QLatin1String("m3"))
        return tr("Write %1 l to meter %2? Its register will then read %3 m3.").arg(written, name, cubicMetres);
    return tr("Write %1 l to meter %2? The value is written in litres: its register, now in %3, will then read %4 m3.")
        .arg(written, name, unitNow, cubicMetres);
}

// A meter's row selects the meter; the empty row below them selects none.
void MainWindow::selectGridRow(int row)
{
    if (row == m_tableModel->entryRow())
        session().clearSelection();
    else
        session().selectRow(row);
}

bool MainWindow::saveDeviceTable()
{
    std::vector<table_files::Row> rows;
    table_files::Row header;
    for (const QString &label : m_tableModel->headerLabels())
        header.push_back(label.toStdString());
    rows.push_back(header);
    for (int r = 0; r < m_table.rowCount(); ++r)
        rows.push_back(m_table.rowTexts(r));
    rows.emplace_back(std::size_t(m_table.columnCount())); // the empty row below the meters, as files have it
    return table_files::exportRows(rows, m_settings.dir, QStringLiteral("meters_data.csv"), m_settings.exportSeparator,
                                   false, fileDialogs);
}

bool MainWindow::loadDeviceTable()
{
    if (session().busy())
        return false;
    const table_files::Imported imported = table_files::importRows(m_settings.dir, m_settings.exportSeparator,
                                                                   decode::kMaxDeviceTableColumns, 0,
                                                                   deviceColumnTitles(), fileDialogs);
    if (!imported.ok)
        return false;
    clearTable();
    m_table.setRows(imported.rows);
    for (const QString &note : imported.notes)
        addLine(note);
    return true;
}
