// The main window's readings archive: every valid reading kept, a meter's
// history shown, the display's monthly values drawn.

#include "archive/archive_worker.h"
#include "devices_page.h"
#include "display/display_table.h"
#include "display_grid.h"
#include "display_pages.h"
#include "history_window.h"
#include "main_window.h"
#include "ops/bus_session.h"
#include "ops/bus_stack.h"
#include "ops/reading_source.h"
#include "settings_dialog.h"

#include <QAction>
#include <QLocale>
#include <QPushButton>

#include <algorithm>
#include <cmath>

void MainWindow::wireArchive()
{
    m_history = new HistoryWindow(this);
    m_history->dialogs = [this] { return fileDialogs; };
    m_history->dataFolder = [this] { return m_settings.dir; };
    m_history->separator = [this] { return m_settings.exportSeparator; };
    connect(&session(), &BusSession::readingDecoded, this, &MainWindow::keepReading);
    connect(devices->historyButton, &QPushButton::clicked, this, &MainWindow::showHistory);
    connect(readingsPage->chartButton, &QPushButton::clicked, this, &MainWindow::chartMonths);
    // A server that answers nothing holds the closing window three seconds at most.
    connect(this, &MainWindow::closed, this, [this] { finishArchive(std::chrono::seconds(3)); });
}

bool MainWindow::openArchive()
{
    if (!m_settings.archiveOn)
        return false;
    const QString location = m_settings.archiveLocation.isEmpty() ? archive::defaultLocation()
                                                                  : m_settings.archiveLocation;
    if (m_archive && m_archiveLocation == location)
        return true;
    // Another archive chosen in the settings: the one before writes what it holds first.
    finishArchive(std::chrono::seconds(1));
    m_archiveLocation = location;
    m_archive.reset(new archive::ArchiveWorker(location));
    // Said once when storing stops, and once with the count when it starts again.
    connect(m_archive.get(), &archive::ArchiveWorker::problem, this, [this](const QString &why) {
        addLine(tr("Readings archive: %1. The bus work goes on; readings are stored again once the archive can be "
                   "used.")
                    .arg(why));
    });
    connect(m_archive.get(), &archive::ArchiveWorker::resumed, this, [this](int notStored) {
        if (notStored > 0)
            addLine(tr("Readings archive: storing again; %n reading(s) could not be stored in the archive.", nullptr,
                       notStored));
    });
    connect(m_archive.get(), &archive::ArchiveWorker::historyReady, this, &MainWindow::showHistoryAnswer);
    return true;
}

archive::ArchiveWorker *MainWindow::archiveWorker()
{
    openArchive();
    return m_archive.get();
}

void MainWindow::keepReading(const QByteArrayList &telegrams, bool complete)
{
    if (!openArchive())
        return;
    auto reading = archive::readingFromTelegrams(telegrams, QDateTime::currentDateTimeUtc(), sourceOf(m_settings),
                                                 complete);
    if (reading)
        m_archive->submit(std::move(*reading)); // never waits: a full queue counts the reading as not stored
}

void MainWindow::finishArchive(std::chrono::milliseconds wait)
{
    if (!m_archive)
        return;
    const archive::ArchiveWorker::Outcome outcome = m_archive->finish(wait);
    m_archive.reset();
    if (outcome.unsaid == 0)
        return;
    const QString line = tr("Readings archive: %n reading(s) could not be stored in the archive.", nullptr,
                            outcome.unsaid);
    addLine(line);
    qWarning("%s", qPrintable(line)); // the window is closing: said where it can still be read
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
    // Answered by the archive's thread: a slow server never holds the window.
    m_history->showWaiting(id);
    m_archive->requestHistory(id);
}

void MainWindow::showHistoryAnswer(const archive::HistoryAnswer &answer)
{
    if (!answer.warning.isEmpty())
        addLine(tr("Readings archive: %1").arg(answer.warning));
    if (answer.readings.empty() && !answer.error.isEmpty()) {
        addLine(tr("Readings archive: %1. No history to show...").arg(answer.error));
        m_history->close();
        return;
    }
    m_history->showMeter(answer.meterId, answer.readings, answer.warning);
}

void MainWindow::chartMonths()
{
    const int row = m_historyGrid->currentRow();
    if (row == 0) {
        addLine(tr("Select a row of the table to draw its months..."));
        return;
    }
    const auto monthCell = [](int month) { return display::HistFirstMonth + month - 1; };
    // A value read from the display carries its record's date. One typed by
    // hand or loaded has none: it is taken as the last month of its name up
    // to the display's newest record in the table, or up to today when no
    // record has a date.
    QDate newest;
    for (int r = 1; r <= m_historyTable.rowCount(); ++r)
        for (int month = 1; month <= 12; ++month)
            newest = std::max(newest, m_historyTable.cellDate(r, monthCell(month)));
    const QDate upTo = newest.isValid() ? newest : QDate::currentDate();
    QList<QPair<QDateTime, double>> points;
    for (int month = 1; month <= 12; ++month) {
        QString text = m_historyTable.cell(row, monthCell(month)).trimmed();
        text.replace(u',', u'.');
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (!ok || !std::isfinite(value))
            continue;
        const QDate recorded = m_historyTable.cellDate(row, monthCell(month));
        const int year = recorded.isValid()      ? recorded.year()
                         : month <= upTo.month() ? upTo.year()
                                                 : upTo.year() - 1;
        // Local midnight: the time axis labels in local time, so the month shows as itself.
        points << qMakePair(QDateTime(QDate(year, month, 1), QTime(0, 0)), value);
    }
    std::sort(points.begin(), points.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    m_history->showDisplayMonths(m_historyTable.cell(row, display::HistAddress),
                                 m_historyTable.cell(row, display::HistUnit), points);
}
