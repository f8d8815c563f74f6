#pragma once
// Printing and saving the communication log.

#include <QDateTime>
#include <QString>
#include <QStringList>

class QPaintDevice;
class QPrinter;

// Page layout of the printed log, in units of 1/210 of the page width and
// 1/297 of its height (millimetres on A4). Line i is drawn on the page that
// began at index p, at row i - p; after line i a new page starts when i is a
// positive multiple of 35.
struct LogPrintLayout {
    static constexpr int kLinesPerPage = 35;
    static constexpr double kLeft = 22, kHeaderTop = 20, kFirstLineTop = 30;
};

QString logPrintHeader(const QDateTime &when);

// Prints the lines; returns the number of pages started.
int printLog(QPrinter &printer, const QStringList &lines, const QDateTime &when);

// Writes one line per log line, never losing the old file; false when it fails.
bool saveLogFile(const QString &path, const QStringList &lines);
