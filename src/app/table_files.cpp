#include "table_files.h"

#include "config/safe_write.h"
#include "decode/csv.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringDecoder>

namespace table_files {

namespace {

constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

} // namespace

Dialogs windowDialogs(QWidget *parent)
{
    Dialogs d;
    d.askSaveName = [parent](const QString &proposed) {
        QFileDialog dialog(parent, QString(), proposed, QCoreApplication::translate("TableFiles", "CSV files (*.csv)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("csv"));
        dialog.selectFile(proposed);
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                       : QString();
    };
    d.askOpenName = [parent](const QString &folder) {
        return QFileDialog::getOpenFileName(parent, QString(), folder,
                                            QCoreApplication::translate("TableFiles", "CSV (*.csv)"));
    };
    d.message = [parent](int icon, const QString &caption, const QString &message) {
        const QMessageBox::Icon kind = icon == 2   ? QMessageBox::Critical
                                       : icon == 1 ? QMessageBox::Warning
                                                   : QMessageBox::NoIcon;
        QMessageBox(kind, caption, message, QMessageBox::Ok, parent).exec();
    };
    return d;
}

std::string fileTextAsUtf8(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(bytes);
    if (!utf8.hasError())
        return bytes.toStdString(); // already UTF-8 (a BOM is the parser's business)
    QStringDecoder legacy("windows-1250");
    const QString text = legacy.isValid() ? QString(legacy(bytes)) : QString::fromLatin1(bytes);
    return text.toStdString();
}

bool exportRows(const std::vector<Row> &rows, const QString &dataFolder, const QString &defaultName,
                const QString &separatorSetting, bool leadingEmptyLine, const Dialogs &dialogs)
{
    const QString name = dialogs.askSaveName(dataFolder + defaultName);
    if (name.isEmpty())
        return false;
    const std::string content = decode::csv::formatTable(rows, separatorSetting.toStdString(), leadingEmptyLine);
    if (writeFileSafely(name, QByteArray::fromStdString(content)))
        return true;
    dialogs.message(2, QStringLiteral("Error saving file"),
                    QStringLiteral("File cannot be written, no rights!\nContact administrator."));
    return false;
}

namespace {

QString lineText(int line)
{
    return line > 0 ? QStringLiteral("\n") + QCoreApplication::translate("TableFiles", "Line %1.").arg(line)
                    : QString();
}

// Rows in the table's columns, and what the log should say about them.
void placeColumns(decode::csv::ParseResult &parsed, const decode::csv::ColumnTitles &titles, Imported &result)
{
    const auto titleOf = [&titles](int column) {
        const std::vector<std::string> &names = titles[std::size_t(column)];
        return names.empty() ? QString::number(column + 1) : QString::fromStdString(names.front()).trimmed();
    };
    if (!parsed.hasHeader) {
        for (std::size_t r = 0; r < parsed.rows.size(); ++r) {
            const std::size_t fields = parsed.rows[r].size();
            if (fields == 0 || fields == titles.size())
                continue;
            result.notes << QCoreApplication::translate(
                                "TableFiles",
                                "Line %1 has %2 fields, the table has %3 columns: the fields are taken in order.")
                                .arg(parsed.rowLines[r])
                                .arg(fields)
                                .arg(titles.size());
            break;
        }
        result.rows = std::move(parsed.rows);
        return;
    }
    const decode::csv::ColumnPlan plan = decode::csv::planColumns(parsed.header, titles);
    for (const decode::csv::Row &row : parsed.rows)
        result.rows.push_back(decode::csv::arrangeRow(row, plan, titles.size()));
    QStringList unknown, missing;
    for (const std::string &title : plan.unknownTitles)
        unknown << u'"' + QString::fromStdString(title) + u'"';
    for (int column : plan.missingColumns)
        missing << u'"' + titleOf(column) + u'"';
    if (!unknown.isEmpty())
        result.notes << QCoreApplication::translate("TableFiles", "Columns this table does not have, left out: %1")
                            .arg(unknown.join(QStringLiteral(", ")));
    if (!missing.isEmpty())
        result.notes << QCoreApplication::translate("TableFiles", "Columns the file does not have, left empty: %1")
                            .arg(missing.join(QStringLiteral(", ")));
}

} // namespace

Imported importRows(const QString &dataFolder, const QString &separatorSetting, int maxFields, int maxRows,
                    const decode::csv::ColumnTitles &titles, const Dialogs &dialogs)
{
    Imported result;
    const QString name = dialogs.askOpenName(dataFolder);
    if (name.isEmpty())
        return result;
    const auto wrongFile = [&](int line) {
        dialogs.message(1, QStringLiteral("File Error"),
                        QStringLiteral("You chose wrong file for import!\nContact administrator!") + lineText(line));
        return result;
    };
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileSize)
        return wrongFile(0);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return wrongFile(0);

    decode::csv::ParseOptions options;
    const std::string separator = separatorSetting.toStdString();
    options.separatorSetting = separator;
    options.maxFields = maxFields;
    options.maxRows = maxRows;
    options.isHeader = [&titles](const Row &line) { return decode::csv::isHeaderLine(line, titles); };
    decode::csv::ParseResult parsed = decode::csv::parseTable(fileTextAsUtf8(bytes), options);
    switch (parsed.error) {
    case decode::csv::ParseResult::Error::WrongFile:
        return wrongFile(parsed.errorLine);
    case decode::csv::ParseResult::Error::TooManyFields:
        dialogs.message(0, QString(),
                        QStringLiteral("You are trying to import too many data!!!\nCorrect csv file and try again!")
                            + lineText(parsed.errorLine));
        return result;
    case decode::csv::ParseResult::Error::UnclosedQuote:
        dialogs.message(1, QStringLiteral("File Error"),
                        QCoreApplication::translate("TableFiles", "A quoted cell is never closed.")
                            + lineText(parsed.errorLine));
        return result;
    case decode::csv::ParseResult::Error::None:
        break;
    }
    result.ok = true;
    placeColumns(parsed, titles, result);
    result.droppedRows = parsed.droppedRows;
    return result;
}

} // namespace table_files
