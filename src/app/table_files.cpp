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

namespace {

// Well-formed UTF-8 (RFC 3629: no overlong forms, no surrogates, at most
// U+10FFFF), checked in place: a 64 MB file is not decoded to find out.
bool isUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size;) {
        const unsigned char lead = p[i];
        int length = 0;
        unsigned char low = 0x80, high = 0xBF; // the allowed range of the second byte
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong form
            high = lead == 0xED ? 0x9F : 0xBF; // no surrogate
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF; // at most U+10FFFF
        } else {
            return false;
        }
        if (i + length > size || p[i + 1] < low || p[i + 1] > high)
            return false;
        for (int k = 2; k < length; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

} // namespace

std::string fileTextAsUtf8(const QByteArray &bytes)
{
    if (isUtf8(bytes))
        return bytes.toStdString(); // already UTF-8 (a BOM is the parser's business)
    // Files written on Windows; decoded a piece at a time (one byte is one
    // character in this code page) so that no whole copy as UTF-16 is made.
    QStringDecoder legacy("windows-1250");
    std::string text;
    text.reserve(std::size_t(bytes.size()));
    constexpr qsizetype kPiece = 1 << 20;
    for (qsizetype at = 0; at < bytes.size(); at += kPiece) {
        const QByteArrayView piece = QByteArrayView(bytes).sliced(at, std::min(kPiece, bytes.size() - at));
        text += (legacy.isValid() ? QString(legacy(piece)) : QString::fromLatin1(piece)).toStdString();
    }
    return text;
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
    // The refusal names its reason: a technician can often mend the file himself.
    const auto wrongFile = [&](int line, const QString &why) {
        dialogs.message(1, QStringLiteral("File Error"),
                        QStringLiteral("You chose wrong file for import!\nContact administrator!") + lineText(line)
                            + u'\n' + why);
        return result;
    };
    const auto tooLarge = [] {
        return QCoreApplication::translate("TableFiles", "The file is larger than %1 MB.")
            .arg(kMaxFileSize / (1024 * 1024));
    };
    std::string text;
    {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            return wrongFile(0, file.errorString());
        if (file.size() > kMaxFileSize)
            return wrongFile(0, tooLarge());
        const QByteArray bytes = file.read(kMaxFileSize + 1); // a file that grows meanwhile stays bounded
        if (file.error() != QFileDevice::NoError)
            return wrongFile(0, file.errorString());
        if (bytes.size() > kMaxFileSize)
            return wrongFile(0, tooLarge());
        text = fileTextAsUtf8(bytes);
    } // the file's bytes go before the rows are made

    decode::csv::ParseOptions options;
    const std::string separator = separatorSetting.toStdString();
    options.separatorSetting = separator;
    options.maxFields = maxFields;
    options.maxRows = maxRows;
    options.isHeader = [&titles](const Row &line) { return decode::csv::isHeaderLine(line, titles); };
    decode::csv::ParseResult parsed = decode::csv::parseTable(text, options);
    const bool binary = text.find('\0') != std::string::npos;
    text = std::string();
    switch (parsed.error) {
    case decode::csv::ParseResult::Error::WrongFile:
        return wrongFile(parsed.errorLine,
                         binary ? QCoreApplication::translate("TableFiles", "It holds binary data, not text.")
                         : parsed.errorLine == 0
                             ? tooLarge()
                             : QCoreApplication::translate("TableFiles", "A cell is longer than %1 characters.")
                                   .arg(decode::csv::kMaxCellBytes));
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
    case decode::csv::ParseResult::Error::TooManyRows:
        dialogs.message(1, QStringLiteral("File Error"),
                        QCoreApplication::translate("TableFiles",
                                                    "The file holds more than %1 rows, more than any bus: it is not "
                                                    "read.")
                                .arg(decode::csv::kMaxTableRows)
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
