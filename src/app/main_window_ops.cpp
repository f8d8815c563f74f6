// The main window's device page wired to the operations that walk the bus.

#include "device_grid.h"
#include "devices_page.h"
#include "link/link_dispatch.h"
#include "main_window.h"
#include "ops/auto_addressing.h"
#include "ops/bus_session.h"
#include "ops/meter_commands.h"
#include "ops/primary_scan.h"
#include "ops/read_all.h"
#include "ops/secondary_search.h"
#include "ops/secondary_sequence.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

void TForm11::wireOperations()
{
    m_session = std::make_unique<BusSession>(*m_dispatch, *this, m_table,
                                             BusTimers{Timer_respond, Timer_secondary, Timer_readall, Timer_auto_address});
    m_session->options = [this] {
        BusOptions o;
        o.retries = m_settings.retry;
        o.use5B = m_settings.use5B;
        o.globalInit = m_settings.globalInit;
        o.sendNkeFirst = devices->Check_nke->isChecked();
        o.broadcast = devices->Check_broadcast->isChecked();
        o.lsbSearch = m_settings.lsbSearch;
        o.responseTimeoutMs = devices->UD_timeout->value();
        o.fastReads = m_settings.fastReads;
        o.allTelegrams = m_settings.allTelegrams;
        return o;
    };
    m_sequence = std::make_unique<SecondarySequence>(*m_session);
    m_commands = std::make_unique<MeterCommands>(*m_session, *m_sequence);
    m_scan = std::make_unique<PrimaryScan>(*m_session);
    m_readAll = std::make_unique<ReadAll>(*m_session);
    m_autoAddressing = std::make_unique<AutoAddressing>(*m_session, *m_commands);
    m_search = std::make_unique<SecondarySearch>(*m_session, *m_sequence);

    connect(m_session.get(), &BusSession::busyChanged, this, &TForm11::updateBusyControls);
    connect(m_dispatch.get(), &LinkDispatch::linkLost, m_session.get(), &BusSession::abort);
    // A gateway's first telegram on the listen route: read it by itself.
    connect(m_dispatch.get(), &LinkDispatch::firstGatewayTelegram, this, [this] {
        if (m_settings.autoDisplay) {
            if (autoDisplayRead)
                autoDisplayRead();
        } else if (m_settings.autoMbus && !m_session->busy()) {
            findOrStop();
        }
    });
    connect(m_scan.get(), &PrimaryScan::runningChanged, this, &TForm11::updateBusyControls);
    connect(m_readAll.get(), &ReadAll::runningChanged, this, &TForm11::updateBusyControls);
    connect(m_autoAddressing.get(), &AutoAddressing::runningChanged, this, &TForm11::updateBusyControls);
    connect(m_search.get(), &SecondarySearch::runningChanged, this, &TForm11::updateBusyControls);
    connect(&Timer_free_command, &QTimer::timeout, this, [this] {
        if (!Timer_free_command.isActive())
            m_session->finish(); // the custom command's reply was collected
    });
    const auto showProgress = [this](int minimum, int maximum, int value, bool visible) {
        QProgressBar *bar = devices->ProgressBar1;
        bar->setRange(minimum, std::max(minimum, maximum));
        bar->setValue(value);
        bar->setVisible(visible);
    };
    connect(m_scan.get(), &PrimaryScan::progressChanged, this, showProgress);
    connect(m_readAll.get(), &ReadAll::progressChanged, this, showProgress);
    connect(m_search.get(), &SecondarySearch::progressChanged, this, showProgress);
    connect(m_autoAddressing.get(), &AutoAddressing::addressChosen, devices->UD_new_address, &QSpinBox::setValue);
    connect(m_session.get(), &BusSession::selectionChanged, this,
            [this](const QString &id, const QString &address, int currentRow) {
                devices->showSelection(id, address);
                if (currentRow >= 1 && currentRow - 1 != devices->Grid_orvenna->currentRow()) {
                    const QSignalBlocker block(devices->Grid_orvenna);
                    devices->Grid_orvenna->selectRow(currentRow - 1);
                }
            });
    wireDevicePage();
    buildContextMenu();
    wireDisplay();
}

void TForm11::wireDevicePage()
{
    DevicesPage *d = devices;
    MeterCommands *commands = m_commands.get();
    connect(d->Butt_find_primary, &QPushButton::clicked, this, &TForm11::findOrStop);
    connect(d->Butt_readall, &QPushButton::clicked, this, &TForm11::readAllOrStop);
    connect(d->Butt_readonce, &QPushButton::clicked, this, [commands] { commands->readSelected(false); });
    connect(d->Butt_clear_grid, &QPushButton::clicked, this, &TForm11::clearTableAsked);
    connect(d->Butt_save_data, &QPushButton::clicked, this, &TForm11::saveDeviceTable);
    connect(d->Butt_load_data, &QPushButton::clicked, this, &TForm11::loadDeviceTable);
    connect(Save1, &QAction::triggered, this, &TForm11::saveDeviceTable);
    connect(Open1, &QAction::triggered, this, &TForm11::loadDeviceTable);
    connect(d->BitBtn21, &QPushButton::clicked, this, &TForm11::autoAddressOrStop);
    connect(d->Butt_find_id, &QPushButton::clicked, this, &TForm11::findById);
    connect(d->Butt_find_all, &QPushButton::clicked, this, &TForm11::findAll);
    connect(d->Button1, &QPushButton::clicked, this, [this] { m_search->stop(); });
    connect(d->Butt_reset, &QPushButton::clicked, this, [commands] { commands->reset(); });
    connect(d->Butt_set_address, &QPushButton::clicked, this,
            [commands, d] { commands->setPrimaryAddress(d->UD_new_address->value()); });
    connect(d->Butt_modify_liters, &QPushButton::clicked, this, [commands, d] {
        commands->setValue(d->Edit_liter->text(), d->Check_value_gineers->isChecked());
    });
    connect(d->Butt_set_medium, &QPushButton::clicked, this,
            [commands, d] { commands->setMedium(d->Combo_medium->currentText()); });
    connect(d->Butt_set_unit, &QPushButton::clicked, this, [commands, d] {
        commands->setUnit(d->Combo_unit->currentText(), d->Combo_constant->currentText(), d->Check_gineers->isChecked());
    });
    connect(d->Butt_set_baud, &QPushButton::clicked, this,
            [commands, d] { commands->changeBaud(d->Combo_set_baud->currentText()); });
    connect(d->Butt_set_id, &QPushButton::clicked, this, [commands, d] { commands->changeId(d->Edit_new_id->text()); });
    connect(d->Grid_orvenna, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { m_session->selectRow(row + 1); });
    connect(d->Grid_orvenna, &QTableWidget::cellClicked, this, [this](int row, int) { m_session->selectRow(row + 1); });
    connect(d->Grid_orvenna, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        activateWindow();
        ContextMenuMbus->popup(devices->Grid_orvenna->viewport()->mapToGlobal(at));
    });
}

void TForm11::buildContextMenu()
{
    ContextMenuMbus = new QMenu(this);
    ContextMenuMbus->setObjectName(QStringLiteral("ContextMenuMbus"));
    const auto entry = [this](const char *name, auto &&slot) {
        QAction *a = ContextMenuMbus->addAction(QString());
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    MeterCommands *commands = m_commands.get();
    DevicesPage *d = devices;
    ReadSelected1 = entry("ReadSelected1", [commands] { commands->readSelected(false); });
    ReadAll1 = entry("ReadAll1", [this] {
        if (!m_readAll->running())
            m_readAll->start();
    });
    ReadFull1 = entry("ReadFull1", [commands] { commands->readSelected(true); });
    SetMedium1 = entry("SetMedium1", [d] { d->Butt_set_medium->click(); });
    SetUnit1 = entry("SetUnit1", [d] { d->Butt_set_unit->click(); });
    SetBaud1 = entry("SetBaud1", [d] { d->Butt_set_baud->click(); });
    Reset1 = entry("Reset1", [commands] { commands->reset(); });
    ClearTable1 = entry("ClearTable1", [this] { clearTableAsked(); });
    SaveExport1 = entry("SaveExport1", [this] { Save1->trigger(); });
    DeleteRow1 = entry("DeleteRow1", [this] { deleteSelectedRow(); });
}

// One bus operation at a time: what would start another is disabled while
// one runs; the running one keeps its button as "Stop".
void TForm11::updateBusyControls()
{
    if (!m_session)
        return;
    const bool busy = m_session->busy();
    DevicesPage *d = devices;
    const bool scanning = m_scan->running(), reading = m_readAll->running(), addressing = m_autoAddressing->running();
    d->Butt_find_primary->setText(scanning ? tr("Stop") : tr("Find"));
    d->Butt_find_primary->setEnabled(!busy || scanning);
    d->Butt_readall->setText(reading ? tr("Stop") : tr("Read all meters"));
    d->Butt_readall->setEnabled(!busy || reading);
    d->BitBtn21->setText(addressing ? tr("Stop addr") : tr("Auto address"));
    d->BitBtn21->setEnabled(!busy || addressing);
    for (QWidget *w : std::initializer_list<QWidget *>{d->Butt_readonce, d->Group_ops, d->Group_advanced,
                                                        d->Butt_clear_grid, d->Butt_load_data, Butt_command_send, d->Butt_find_id,
                                                        d->Butt_find_all, d->Edit_id, d->Check_broadcast})
        w->setEnabled(!busy);
    d->Button1->setVisible(m_search->running());
    for (QAction *a : ContextMenuMbus->actions())
        a->setEnabled(!busy);
    Open1->setEnabled(!busy);
    updateDisplayControls(busy);

    ReadSelected1->setText(tr("Read selected"));
    ReadAll1->setText(tr("Read All"));
    ReadFull1->setText(tr("Read Full"));
    SetMedium1->setText(tr("Set Medium"));
    SetUnit1->setText(tr("Set Unit"));
    SetBaud1->setText(tr("Set baud"));
    Reset1->setText(tr("Reset"));
    ClearTable1->setText(tr("Clear table"));
    SaveExport1->setText(tr("Save/Export"));
    DeleteRow1->setText(tr("Delete selected row"));
}

void TForm11::findOrStop()
{
    if (m_scan->running()) {
        m_scan->stop();
        return;
    }
    if (m_session->busy()) {
        m_session->begin(); // says why nothing starts
        return;
    }
    const RouteChoice &route = m_settings.route;
    const bool listenRoute = chooseRoute(route.useEthernet, route.velkServer, route.useLanxp) == LinkRoute::Listen;
    if (listenRoute && m_settings.autoMbus) {
        clearTable();
    } else {
        const QMessageBox::StandardButton answer =
            askYesNoCancel(tr("Clear confirmation"), tr("Do you want to clear the table?"));
        if (answer == QMessageBox::Cancel || answer == QMessageBox::Escape || answer == QMessageBox::NoButton)
            return;
        if (answer == QMessageBox::Yes)
            clearTable();
    }
    QSpinBox *from = devices->UD_address_min, *to = devices->UD_address_max;
    if (to->value() < from->value()) {
        const int first = to->value();
        to->setValue(from->value());
        from->setValue(first);
    }
    m_scan->start(from->value(), to->value());
}

void TForm11::findById()
{
    if (devices->Edit_id->text() == QLatin1String("FFFFFFFF"))
        findAll();
    else
        m_search->findById(devices->Edit_id->text());
}

void TForm11::findAll()
{
    devices->Edit_id->setText(QStringLiteral("FFFFFFFF"));
    if (m_session->busy()) {
        m_session->begin(); // says why nothing starts
        return;
    }
    const QMessageBox::StandardButton answer =
        askYesNoCancel(tr("Clear confirmation"), tr("Do you want to clear the table?"));
    if (answer != QMessageBox::Yes && answer != QMessageBox::No)
        return;
    m_search->startWildcard(answer == QMessageBox::Yes);
}

void TForm11::readAllOrStop()
{
    if (m_readAll->running())
        m_readAll->stop();
    else
        m_readAll->start();
}

void TForm11::autoAddressOrStop()
{
    if (m_autoAddressing->running()) {
        m_autoAddressing->stop();
        return;
    }
    if (m_session->busy()) {
        m_session->begin();
        return;
    }
    if (askYesNoCancel(tr("Address confirmation"), tr("This will address automatically ALL devices (primary), OK?"))
        != QMessageBox::Yes)
        return;
    devices->Check_broadcast->setChecked(false);
    m_autoAddressing->start(devices->UD_AutoPrimary->value());
}

// The button and the menu entry ask first: the table may hold a day's work.
void TForm11::clearTableAsked()
{
    if (askYesNo(tr("Clear confirmation"), tr("Do you want to clear the table?")))
        clearTable();
}

void TForm11::clearTable()
{
    if (m_session->busy() && !m_scan->running())
        return;
    m_table.clear();
    m_session->clearSelection();
}

void TForm11::deleteSelectedRow()
{
    if (m_session->busy())
        return;
    if (m_table.deleteRow(m_session->selectedRow()))
        m_session->clearSelection(); // the rows below moved up
}

namespace {
QStringList headerLabels(const QTableWidget *grid)
{
    QStringList labels;
    for (int c = 0; c < grid->columnCount(); ++c)
        labels << (grid->horizontalHeaderItem(c) ? grid->horizontalHeaderItem(c)->text() : QString());
    return labels;
}
} // namespace

bool TForm11::saveDeviceTable()
{
    std::vector<table_files::Row> rows;
    table_files::Row header;
    for (const QString &label : headerLabels(devices->Grid_orvenna))
        header.push_back(label.toStdString());
    rows.push_back(header);
    for (int r = 1; r < m_table.rowCount(); ++r) {
        table_files::Row row;
        for (int c = 0; c < m_table.columnCount(); ++c)
            row.push_back(m_table.cell(r, c));
        rows.push_back(std::move(row));
    }
    return table_files::exportRows(rows, m_settings.dir, QStringLiteral("meters_data.csv"), m_settings.exportSeparator,
                                   false, fileDialogs);
}

bool TForm11::loadDeviceTable()
{
    if (m_session->busy())
        return false;
    // Our own header line, in the current language or in English.
    const QStringList labels = headerLabels(devices->Grid_orvenna);
    const auto isHeader = [labels](const table_files::Row &row) {
        if (row.size() < 2)
            return false;
        const QString id = QString::fromStdString(row[0]), address = QString::fromStdString(row[1]);
        return (id == labels.value(0) && address == labels.value(1))
            || (id == QLatin1String(" ID ") && address == QLatin1String("Addr. "));
    };
    const table_files::Imported imported = table_files::importRows(
        m_settings.dir, m_settings.exportSeparator, decode::kMaxDeviceTableColumns, 0, isHeader, fileDialogs);
    if (!imported.ok)
        return false;
    clearTable();
    m_table.setRows(imported.rows);
    return true;
}
