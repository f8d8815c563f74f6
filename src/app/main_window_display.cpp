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

QStringList TForm11::tevHeader() const
{
    return {tr(" ID "),         tr("Addr. "),         tr("Unit "),         tr("Start Main"), tr("Start P1, m3"),
            tr("Start P2, m3"), tr("Start Cooling"), tr("Mult/Div "),     tr("User numb. "), tr("Free text "),
            tr("Total "),       tr("Total P1"),       tr("Total P2"),      tr("Total T4/Cool")};
}

QStringList TForm11::historyHeader() const
{
    return {tr(" ID "), tr("Addr. "), tr("Unit "), tr("Start "), tr("Mult/Div "), tr("User numb. "), tr("Free text "),
            tr("Total "), tr("Total P1"), tr("Total P2"), tr("Jan"), tr("Feb"), tr("Mar"), tr("Apr"), tr("May"),
            tr("Jun"), tr("Jul"), tr("Aug"), tr("Sep"), tr("Oct"), tr("Nov"), tr("Dec")};
}

void TForm11::wireDisplay()
{
    DisplayPage *d = displayPage;
    ReadingsPage *h = readingsPage;
    m_tevGrid = std::make_unique<DisplayGrid>(d->Grid_tev, m_tevTable, true);
    m_historyGrid = std::make_unique<DisplayGrid>(h->Grid_historical, m_historyTable, false);
    m_writeRun = std::make_unique<display::WriteRun>(*m_session, m_tevTable, Timer_tev);
    m_writeRun->halvex = [d] { return d->Check_halvex->isChecked(); };
    m_readRun = std::make_unique<display::ReadRun>(*m_session, m_tevTable, m_historyTable);
    m_displayCommands = std::make_unique<display::DisplayCommands>(*m_session, Timer_tev_info);
    autoDisplayRead = [this] { m_readRun->readDisplay(false); };

    connect(m_writeRun.get(), &display::WriteRun::runningChanged, this, &TForm11::updateBusyControls);
    connect(m_readRun.get(), &display::ReadRun::runningChanged, this, &TForm11::updateBusyControls);
    connect(m_displayCommands.get(), &display::DisplayCommands::runningChanged, this, &TForm11::updateBusyControls);
    connect(m_writeRun.get(), &display::WriteRun::progressChanged, this,
            [d](int maximum, int value, bool visible) { showProgress(d->ProgressBar1, maximum, value, visible); });
    connect(m_readRun.get(), &display::ReadRun::progressChanged, this,
            [h](int maximum, int value, bool visible) { showProgress(h->ProgressBar2, maximum, value, visible); });
    connect(m_displayCommands.get(), &display::DisplayCommands::infoCleared, d->Memo_info, &QPlainTextEdit::clear);
    connect(m_displayCommands.get(), &display::DisplayCommands::infoText, d->Memo_info,
            &QPlainTextEdit::appendPlainText);

    connect(d->Butt_tev_read, &QPushButton::clicked, this, [this] { m_readRun->readDisplay(false); });
    connect(d->Butt_tev_set, &QPushButton::clicked, this, [this] {
        if (m_writeRun->running())
            m_writeRun->stop();
        else
            m_writeRun->start(display::WriteRun::Kind::Write);
    });
    connect(d->Butt_tev_delete, &QPushButton::clicked, this,
            [this] { m_writeRun->start(display::WriteRun::Kind::Delete); });
    connect(d->Butt_tev_delp, &QPushButton::clicked, this,
            [this] { m_writeRun->start(display::WriteRun::Kind::ZeroStart); });
    connect(d->BitBtn11, &QPushButton::clicked, this,
            [this] { m_displayCommands->setDateTime(QDateTime::currentDateTime()); });
    connect(d->Butt_tev_refresh, &QPushButton::clicked, this,
            [this, d] { m_displayCommands->setRefresh(d->UD_tev_refresh->text()); });
    connect(d->BitBtn15, &QPushButton::clicked, this, [this] { m_displayCommands->createSortTable(); });
    connect(d->BitBtn16, &QPushButton::clicked, this, [this, d] {
        m_displayCommands->sort(d->Check_sort_address->isChecked() ? 0 : d->Check_sort_user->isChecked() ? 1 : -1);
    });
    connect(d->BitBtn18, &QPushButton::clicked, this, [this] { m_displayCommands->updateReadings(); });
    connect(d->Butt_tev_info, &QPushButton::clicked, this, [this] { m_displayCommands->getInfo(); });
    connect(d->BitBtn1, &QPushButton::clicked, this, [this] {
        m_tevTable.setRows(display::rowsFromDeviceTable(m_table, QLocale().decimalPoint().at(0)));
    });
    connect(d->BitBtn2, &QPushButton::clicked, this, &TForm11::importDisplayTable);
    connect(d->BitBtn10, &QPushButton::clicked, this, [this] {
        table_files::exportRows(csvRows(tevHeader(), m_tevTable), m_settings.dir, QStringLiteral("tevK40_data.csv"),
                                m_settings.exportSeparator, false, fileDialogs);
    });
    connect(d->BitBtn3, &QPushButton::clicked, this, [this] { m_tevTable.addRow(); });
    connect(d->BitBtn4, &QPushButton::clicked, this, [this] {
        if (const int row = m_tevGrid->currentRow())
            m_tevTable.deleteRow(row);
    });
    connect(d->BitBtn8, &QPushButton::clicked, this, [this] { m_tevTable.selectAll(true); });
    connect(d->BitBtn9, &QPushButton::clicked, this, [this] { m_tevTable.selectAll(false); });
    connect(d->Butt_tev_cleartable, &QPushButton::clicked, this, [this] { m_tevTable.clear(); });

    connect(h->BitBtn13, &QPushButton::clicked, this, [this, h] { m_readRun->readHistory(h->Combo_months->currentText()); });
    connect(h->Butt_get_historical, &QPushButton::clicked, this, [this, h] {
        h->Combo_months->setCurrentText(QStringLiteral("ALL"));
        m_readRun->readDisplay(true);
    });
    connect(h->BitBtn17, &QPushButton::clicked, this, [this] {
        table_files::exportRows(csvRows(historyHeader(), m_historyTable), m_settings.dir,
                                QStringLiteral("tevK40_readings.csv"), m_settings.exportSeparator, true, fileDialogs);
    });
    connect(h->Butt_add_hist, &QPushButton::clicked, this, [this] { m_historyTable.addRow(); });
    connect(h->Butt_delete_hist, &QPushButton::clicked, this, [this] {
        if (const int row = m_historyGrid->currentRow())
            m_historyTable.deleteRow(row);
    });
    connect(h->Butt_clear_hist, &QPushButton::clicked, this, [this] { m_historyTable.clear(); });
    connect(h->Butt_sort_hist, &QPushButton::clicked, this, [this, h] {
        if (h->Check_sort_hist_address->isChecked() || h->Check_sort_hist_user->isChecked())
            m_historyTable.setRows(display::sortedHistory(m_historyTable, h->Check_sort_hist_user->isChecked()));
    });

    // Display replies are text: the display page logs in ASCII, the M-Bus page in hex.
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int index) {
        if (PageControl1->widget(index) == displayPage)
            Check_ascii->setChecked(true);
        else if (PageControl1->widget(index) == devices)
            Check_hex->setChecked(true);
    });
}

bool TForm11::importDisplayTable()
{
    if (m_session->busy())
        return false;
    const auto isHeader = [](const table_files::Row &row) {
        return row.size() >= 2 && row[0] == " ID " && row[1] == "Addr. ";
    };
    const table_files::Imported imported = table_files::importRows(
        m_settings.dir, m_settings.exportSeparator, display::TevColumns, display::Table::kMaxRows, isHeader, fileDialogs);
    if (!imported.ok)
        return false;
    std::vector<QStringList> rows;
    for (const table_files::Row &row : imported.rows) {
        QStringList cells;
        for (const std::string &cell : row)
            cells << QString::fromStdString(cell);
        rows.push_back(cells);
    }
    m_tevTable.setRows(rows);
    if (imported.droppedRows > 0)
        addLine(tr("The display holds 250 rows: %1 more rows of the file were not imported.").arg(imported.droppedRows));
    return true;
}

void TForm11::updateDisplayControls(bool busy)
{
    DisplayPage *d = displayPage;
    ReadingsPage *h = readingsPage;
    const bool writing = m_writeRun->running();
    const display::WriteRun::Kind kind = m_writeRun->kind();
    d->Butt_tev_set->setText(writing && kind == display::WriteRun::Kind::Write ? tr("Stop writing table in display")
                                                                              : tr("Write table to the display"));
    // A write or zero-start run is stopped with this button; the delete run cannot be stopped.
    d->Butt_tev_set->setEnabled(!busy || (writing && kind != display::WriteRun::Kind::Delete));
    for (QWidget *w : std::initializer_list<QWidget *>{d->Butt_tev_read, d->Butt_tev_delete, d->Butt_tev_delp,
                                                        d->GroupBox3, d->BitBtn15, d->BitBtn16, d->Butt_tev_refresh,
                                                        d->BitBtn11, d->BitBtn18, d->BitBtn1, d->BitBtn2, h->BitBtn13,
                                                        h->Butt_get_historical, d->Butt_tev_cleartable, h->Butt_clear_hist,
                                                        h->Butt_sort_hist})
        w->setEnabled(!busy);
    d->retranslate();
    h->retranslate();
    m_tevGrid->setHeader(tevHeader());
    m_historyGrid->setHeader(historyHeader());
}
