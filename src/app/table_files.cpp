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

Imported importRows(const QString &dataFolder, const QString &separatorSetting, int maxFields, int maxRows,
                    const std::function<bool(const Row &)> &isHeader, const Dialogs &dialogs)
{
    Imported result;
    const QString name = dialogs.askOpenName(dataFolder);
    if (name.isEmpty())
        return result;
    const auto wrongFile = [&] {
        dialogs.message(1, QStringLiteral("File Error"),
                        QStringLiteral("You chose wrong file for import!\nContact administrator!"));
        return result;
    };
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileSize)
        return wrongFile();
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return wrongFile();

    decode::csv::ParseOptions options;
    const std::string separator = separatorSetting.toStdString();
    options.separatorSetting = separator;
    options.maxFields = maxFields;
    options.maxRows = maxRows;
    options.isHeader = isHeader;
    decode::csv::ParseResult parsed = decode::csv::parseTable(fileTextAsUtf8(bytes), options);
    switch (parsed.error) {
    case decode::csv::ParseResult::Error::WrongFile:
        return wrongFile();
    case decode::csv::ParseResult::Error::TooManyFields:
        dialogs.message(0, QString(),
                        QStringLiteral("You are trying to import too many data!!!\nCorrect csv file and try again!"));
        return result;
    case decode::csv::ParseResult::Error::None:
        break;
    }
    result.ok = true;
    result.rows = std::move(parsed.rows);
    result.droppedRows = parsed.droppedRows;
    return result;
}

} // namespace table_files
