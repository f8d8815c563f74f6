#pragma once
// Tables to and from CSV files: reading and writing the files, their
// encoding, and the messages the user sees. The format is in decode/csv.

#include "decode/csv.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace table_files {

using Row = std::vector<std::string>;

// What a file operation shows the user; the windows fill these with dialogs,
// tests with answers.
struct Dialogs {
    std::function<QString(const QString &proposedPath)> askSaveName; // empty: cancelled
    std::function<QString(const QString &folder)> askOpenName;       // empty: cancelled
    // icon: 0 none, 1 warning, 2 error
    std::function<void(int icon, const QString &caption, const QString &text)> message;
};

// The usual file dialogs and message boxes, parented to the window.
Dialogs windowDialogs(QWidget *parent);

// Asks for a name (proposed: data folder + default name) and writes the rows.
// False when cancelled or failed (after its message).
bool exportRows(const std::vector<Row> &rows, const QString &dataFolder, const QString &defaultName,
                const QString &separatorSetting, bool leadingEmptyLine, const Dialogs &dialogs);

struct Imported {
    bool ok = false; // false: cancelled or refused (after its message); the table stays as it was
    std::vector<Row> rows;
    std::size_t droppedRows = 0;
    QStringList notes; // for the log: how the file's columns were placed
};
// Asks for a file in the data folder and reads it whole before anything
// changes. A first line of column titles (in any language: `titles` holds
// each column's, the current language's first) places the columns by title;
// without one they are taken in order.
Imported importRows(const QString &dataFolder, const QString &separatorSetting, int maxFields, int maxRows,
                    const decode::csv::ColumnTitles &titles, const Dialogs &dialogs);

// A file's text as UTF-8: UTF-8 stays, anything else is read as Windows-1250
// (files written on Windows).
std::string fileTextAsUtf8(const QByteArray &bytes);

} // namespace table_files
