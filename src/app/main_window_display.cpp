// The main window's display pages wired to the display runs and commands.

#include "devices_page.h"
#include "display/display_commands.h"
#include "display/read_run.h"
#include "display/write_run.h"
#include "display_grid.h"
#include "display_pages.h"
#include "main_window.h"
#include "ops/bus_session.h"
#include "ops/primary_scan.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

namespace {

std::vector<table_files::Row> csvRows(const QStringList &header, const display::Table &table)
{
    std::vector<table_files::Row> rows;
    table_files::Row head;
    for (const QString &h : header)
        head.push_back(h.toStdString());
    rows.push_back(head);
    for (int r = 1; r <= table.rowCount(); ++r) {
        table_files::Row row;
        for (const QString &cell : table.row(r))
            row.push_back(cell.toStdString());
        rows.push_back(std::move(row));
    }
    return rows;
}

void showProgress(QProgressBar *bar, int maximum, int value, bool visible)
{
    bar->setRange(0, std::max(1, maximum));
    bar->setValue(value);
    bar->setVisible(visible);
}

} // namespace

decode::csv::ColumnTitles MainWindow::tevColumnTitles() const
{
    return languages::columnTitles("MainWindow",
                                   {QT_TR_NOOP(" ID "), QT_TR_NOOP("Addr. "), QT_TR_NOOP("Unit "),
                                    QT_TR_NOOP("Start Main"), QT_TR_NOOP("Start P1, m3"), QT_TR_NOOP("Start P2, m3"),
                                    QT_TR_NOOP("Start Cooling"), QT_TR_NOOP("Mult/Div "), QT_TR_NOOP("User numb. "),
                                    QT_TR_NOOP("Free text "), QT_TR_NOOP("Total "), QT_TR_NOOP("Total P1"),
                                    QT_TR_NOOP("Total P2"), QT_TR_NOOP("Total T4/Cool")});
}

decode::csv::ColumnTitles MainWindow::historyColumnTitles() const
{
    return languages::columnTitles(
        "MainWindow",
        {QT_TR_NOOP(" ID "),      QT_TR_NOOP("Addr. "),      QT_TR_NOOP("Unit "),      QT_TR_NOOP("Start "),
         QT_TR_NOOP("Mult/Div "), QT_TR_NOOP("User numb. "), QT_TR_NOOP("Free text "), QT_TR_NOOP("Total "),
         QT_TR_NOOP("Total P1"),  QT_TR_NOOP("Total P2"),    QT_TR_NOOP("Jan"),        QT_TR_NOOP("Feb"),
         QT_TR_NOOP("Mar"),       QT_TR_NOOP("Apr"),         QT_TR_NOOP("May"),        QT_TR_NOOP("Jun"),
         QT_TR_NOOP("Jul"),       QT_TR_NOOP("Aug"),         QT_TR_NOOP("Sep"),        QT_TR_NOOP("Oct"),
         QT_TR_NOOP("Nov"),       QT_TR_NOOP("Dec")});
}

void MainWindow::wireDisplay()
{
    DisplayPage *d = displayPage;
    ReadingsPage *h = readingsPage;
    m_tevGrid = std::make_unique<DisplayGrid>(d->meterGrid, m_tevTable, true);
    m_historyGrid = std::make_unique<DisplayGrid>(h->historyGrid, m_historyTable, false);
    m_writeRun = std::make_unique<display::WriteRun>(session(), m_tevTable);
    m_writeRun->ruxtModel = [d] { return d->ruxtModelBox->isChecked(); };
    m_readRun = std::make_unique<display::ReadRun>(session(), m_tevTable, m_historyTable);
    m_displayCommands = std::make_unique<display::DisplayCommands>(session());
    autoDisplayRead = [this] { m_readRun->readDisplay(false); };

    for (Operation *run :
         std::initializer_list<Operation *>{m_writeRun.get(), m_readRun.get(), m_displayCommands.get()}) {
        connect(run, &Operation::runningChanged, this, &MainWindow::updateBusyControls);
        // A read run may start from either page: both bars follow it.
        const bool bothPages = run == m_readRun.get();
        connect(run, &Operation::progressChanged, this, [d, h, bothPages](int, int maximum, int value, bool visible) {
            showProgress(d->progressBar, maximum, value, visible);
            if (bothPages)
                showProgress(h->progressBar, maximum, value, visible);
        });
    }
    for (QPushButton *stop : {d->stopButton, h->stopButton})
        connect(stop, &QPushButton::clicked, this, [this] { session().stopAll(); });
    connect(m_displayCommands.get(), &display::DisplayCommands::infoCleared, d->infoText, &QPlainTextEdit::clear);
    connect(m_displayCommands.get(), &display::DisplayCommands::infoText, d->infoText,
            &QPlainTextEdit::appendPlainText);

    connect(d->readDisplayButton, &QPushButton::clicked, this, [this] { m_readRun->readDisplay(false); });
    connect(d->writeDisplayButton, &QPushButton::clicked, this, [this] {
        if (m_writeRun->running())
            m_writeRun->stop();
        else
            m_writeRun->start(display::WriteRun::Kind::Write);
    });
    connect(d->deleteDeviceButton, &QPushButton::clicked, this,
            [this] { m_writeRun->start(display::WriteRun::Kind::Delete); });
    connect(d->zeroStartButton, &QPushButton::clicked, this,
            [this] { m_writeRun->start(display::WriteRun::Kind::ZeroStart); });
    connect(d->dateTimeButton, &QPushButton::clicked, this,
            [this] { m_displayCommands->setDateTime(QDateTime::currentDateTime()); });
    connect(d->setRefreshButton, &QPushButton::clicked, this,
            [this, d] { m_displayCommands->setRefresh(d->refreshTimeBox->text()); });
    connect(d->createSortTableButton, &QPushButton::clicked, this, [this] { m_displayCommands->createSortTable(); });
    connect(d->sortButton, &QPushButton::clicked, this, [this, d] {
        m_displayCommands->sort(d->sortByAddressBox->isChecked() ? 0 : d->sortByUserNumberBox->isChecked() ? 1 : -1);
    });
    connect(d->updateReadingsButton, &QPushButton::clicked, this, [this] { m_displayCommands->updateReadings(); });
    connect(d->getInfoButton, &QPushButton::clicked, this, [this] { m_displayCommands->getInfo(); });
    connect(d->fromDeviceTableButton, &QPushButton::clicked, this,
            [this] { m_tevTable.setRows(display::rowsFromDeviceTable(m_table, QLocale().decimalPoint().at(0))); });
    connect(d->importButton, &QPushButton::clicked, this, &MainWindow::importDisplayTable);
    connect(d->exportButton, &QPushButton::clicked, this, [this] {
        table_files::exportRows(csvRows(languages::currentTitles(tevColumnTitles()), m_tevTable), m_settings.dir,
                                QStringLiteral("tevK40_data.csv"), m_settings.exportSeparator, false, fileDialogs);
    });
    connect(d->addRowButton, &QPushButton::clicked, this, [this] { m_tevTable.addRow(); });
    connect(d->deleteRowButton, &QPushButton::clicked, this, [this] {
        if (const int row = m_tevGrid->currentRow())
            m_tevTable.deleteRow(row);
    });
    connect(d->selectAllButton, &QPushButton::clicked, this, [this] { m_tevTable.selectAll(true); });
    connect(d->deselectAllButton, &QPushButton::clicked, this, [this] { m_tevTable.selectAll(false); });
    connect(d->clearTableButton, &QPushButton::clicked, this, [this] {
        if (askYesNo(tr("Clear confirmation"), tr("Do you want to clear the table?")))
            m_tevTable.clear();
    });

    connect(h->getHistoryButton, &QPushButton::clicked, this,
            [this, h] { m_readRun->readHistory(h->monthCombo->currentText()); });
    connect(h->getAllMemoryButton, &QPushButton::clicked, this, [this, h] {
        h->monthCombo->setCurrentText(QStringLiteral("ALL"));
        m_readRun->readDisplay(true);
    });
    connect(h->exportButton, &QPushButton::clicked, this, [this] {
        table_files::exportRows(csvRows(languages::currentTitles(historyColumnTitles()), m_historyTable),
                                m_settings.dir, QStringLiteral("tevK40_readings.csv"), m_settings.exportSeparator, true,
                                fileDialogs);
    });
    connect(h->addRowButton, &QPushButton::clicked, this, [this] { m_historyTable.addRow(); });
    connect(h->deleteRowButton, &QPushButton::clicked, this, [this] {
        if (const int row = m_historyGrid->currentRow())
            m_historyTable.deleteRow(row);
    });
    connect(h->clearTableButton, &QPushButton::clicked, this, [this] {
        if (askYesNo(tr("Clear confirmation"), tr("Do you want to clear the table?")))
            m_historyTable.clear();
    });
    connect(h->sortButton, &QPushButton::clicked, this, [this, h] {
        if (h->sortByAddressBox->isChecked() || h->sortByUserNumberBox->isChecked())
            m_historyTable.setRows(display::sortedHistory(m_historyTable, h->sortByUserNumberBox->isChecked()));
    });

    // Display replies are text: the display page logs in ASCII, the M-Bus page in hex.
    connect(pages, &QTabWidget::currentChanged, this, [this](int index) {
        if (pages->widget(index) == displayPage)
            asciiBox->setChecked(true);
        else if (pages->widget(index) == devices)
            hexBox->setChecked(true);
    });
}

bool MainWindow::importDisplayTable()
{
    if (session().busy())
        return false;
    const table_files::Imported imported = table_files::importRows(m_settings.dir, m_settings.exportSeparator,
                                                                   display::TevColumns, display::Table::kMaxRows,
                                                                   tevColumnTitles(), fileDialogs);
    if (!imported.ok)
        return false;
    for (const QString &note : imported.notes)
        addLine(note);
    std::vector<QStringList> rows;
    for (const table_files::Row &row : imported.rows) {
        QStringList cells;
        for (const std::string &cell : row)
            cells << QString::fromStdString(cell);
        rows.push_back(cells);
    }
    m_tevTable.setRows(rows);
    if (imported.droppedRows > 0)
        addLine(
            tr("The display holds 250 rows: %1 more rows of the file were not imported.").arg(imported.droppedRows));
    return true;
}

void MainWindow::updateDisplayControls(bool busy)
{
    DisplayPage *d = displayPage;
    ReadingsPage *h = readingsPage;
    const bool writing = m_writeRun->running();
    const display::WriteRun::Kind kind = m_writeRun->kind();
    d->writeDisplayButton->setText(writing && kind == display::WriteRun::Kind::Write
                                       ? tr("Stop writing table in display")
                                       : tr("Write table to the display"));
    // A write or zero-start run is stopped with this button; the delete run cannot be stopped.
    d->writeDisplayButton->setEnabled(!busy || (writing && kind != display::WriteRun::Kind::Delete));
    for (QWidget *w : std::initializer_list<QWidget *>{
             d->readDisplayButton, d->deleteDeviceButton, d->zeroStartButton, d->infoGroup, d->createSortTableButton,
             d->sortButton, d->setRefreshButton, d->dateTimeButton, d->updateReadingsButton, d->fromDeviceTableButton,
             d->importButton, h->getHistoryButton, h->getAllMemoryButton, d->clearTableButton, h->clearTableButton,
             h->sortButton})
        w->setEnabled(!busy);
    const bool displayBusy = writing || m_readRun->running() || m_displayCommands->running();
    d->stopButton->setVisible(displayBusy);
    h->stopButton->setVisible(displayBusy);
    d->retranslate();
    h->retranslate();
    m_tevGrid->setHeader(languages::currentTitles(tevColumnTitles()));
    m_historyGrid->setHeader(languages::currentTitles(historyColumnTitles()));
}
