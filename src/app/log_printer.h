#pragma once
// Printing and saving the communication log.

#include <QDateTime>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

class QFontMetricsF;
class QPaintDevice;
class QPrinter;

// Page layout of the printed log, in units of 1/210 of the page width and
// 1/297 of its height (millimetres on A4). Line i is drawn on the page that
// began at index p, at row i - p; after line i a new page starts when i is a
// positive multiple of 35.
struct LogPrintLayout {
    static constexpr int kLinesPerPage = 35;
    static constexpr double kLeft = 22, kHeaderTop = 20, kFirstLineTop = 30;
    static constexpr double kRight = 10, kBottom = 10; // where a long line or a full page goes on
};

// A printed row: one log line, or the continuation of a long one, and its
// baseline in device pixels.
struct PrintedRow {
    QString text;
    double y = 0;
};

// A line wider than the printable width goes on in the following rows, cut
// after a blank where possible: no character is lost at the margin.
QStringList wrapPrintedLine(const QString &line, const QFontMetricsF &metrics, double width);
// The rows of every page; pages break after every 35th line, and also where
// long lines would run past the bottom.
QList<QList<PrintedRow>> layoutPrintedLog(const QStringList &lines, const QFontMetricsF &metrics, QSizeF page);

QString logPrintHeader(const QDateTime &when);

// Prints the lines; returns the number of pages started.
int printLog(QPrinter &printer, const QStringList &lines, const QDateTime &when);

// Writes one line per log line, never losing the old file; false when it fails.
bool saveLogFile(const QString &path, const QStringList &lines);
