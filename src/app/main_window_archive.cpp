// The main window's readings archive: every valid reading kept, a meter's
// history shown, the display's monthly values drawn.

#include "archive/reading_archive.h"
#include "devices_page.h"
#include "display/display_table.h"
#include "display_grid.h"
#include "display_pages.h"
#include "history_window.h"
#include "main_window.h"
#include "ops/bus_session.h"
#include "ops/bus_stack.h"
#include "settings_dialog.h"

#include <QAction>
#include <QLocale>
#include <QPushButton>

void MainWindow::wireArchive()
{
    m_history = new HistoryWindow(this);
    m_history->dialogs = [this] { return fileDialogs; };
    m_history->dataFolder = [this] { return m_settings.dir; };
    m_history->separator = [this] { return m_settings.exportSeparator; };
    connect(&session(), &BusSession::readingDecoded, this, &MainWindow::keepReading);
    connect(devices->historyButton, &QPushButton::clicked, this, &MainWindow::showHistory);
    connect(readingsPage->chartButton, &QPushButton::clicked, this, &MainWindow::chartMonths);
}

bool MainWindow::openArchive()
{
    if (!m_settings.archiveOn || m_archiveFailed)
        return false;
    if (m_archive && m_archive->isOpen())
        return true;
    m_archive = std::make_unique<archive::ReadingArchive>();
    const QString location = m_settings.archiveLocation.isEmpty() ? archive::defaultLocation()
                                                                  : m_settings.archiveLocation;
    if (m_archive->open(location))
        return true;
    addLine(tr("Readings archive: %1. The program goes on without it.").arg(m_archive->error()));
    m_archive.reset();
    m_archiveFailed = true;
    return false;
}

void MainWindow::keepReading(const QByteArrayList &telegrams, bool complete)
{
    if (!openArchive())
        return;
    const auto reading = archive::readingFromTelegrams(telegrams, QDateTime::currentDateTimeUtc(),
                                                       routeName(linkSettingsFrom(m_settings).route), complete);
    if (!reading)
        return;
    if (m_archive->store(*reading)) {
        m_lastArchiveLine.clear();
        return;
    }
    // A locked or full archive: said once until a reading is kept again.
    const QString line = tr("Readings archive: %1").arg(m_archive->error());
    if (line != m_lastArchiveLine)
        addLine(line);
    m_lastArchiveLine = line;
}

void MainWindow::showHistory()
{
    const QString id = QString::fromStdString(session().selected().id);
    if (id.isEmpty()) {
        addLine(tr("Select a meter in the table to see its history..."));
        return;
    }
    if (!openArchive()) {
        addLine(tr("The readings archive is off or cannot be used: no history to show..."));
        return;
    }
    m_history->showMeter(id, m_archive->history(id));
}

void MainWindow::chartMonths()
{
    const int row = m_historyGrid->currentRow();
    if (row == 0) {
        addLine(tr("Select a row of the table to draw its months..."));
        return;
    }
    // Month m of the table is the last one of that name up to today.
    const QDate today = QDate::currentDate();
    QList<QPair<QDateTime, double>> points;
    for (int month = 1; month <= 12; ++month) {
        QString text = m_historyTable.cell(row, display::HistFirstMonth + month - 1).trimmed();
        text.replace(u',', u'.');
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (!ok)
            continue;
        const int year = month <= today.month() ? today.year() : today.year() - 1;
        points << qMakePair(QDateTime(QDate(year, month, 1), QTime(0, 0), Qt::UTC), value);
    }
    std::sort(points.begin(), points.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    m_history->showSeries(
        tr("Display: monthly values of device %1").arg(m_historyTable.cell(row, display::HistAddress)), points);
}
