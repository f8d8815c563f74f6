#include "log_printer.h"

#include "config/safe_write.h"
#include "link/log_time.h"

#include <QPainter>
#include <QPrinter>

QString logPrintHeader(const QDateTime &when)
{
    return QStringLiteral("Print of log file ") + logDateText(when.date()) + QStringLiteral(", ")
         + logTimeText(when.time());
}

int printLog(QPrinter &printer, const QStringList &lines, const QDateTime &when)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return 0;
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double unitX = page.width() / 210.0;
    const double unitY = page.height() / 297.0;
    const int lineHeight = painter.fontMetrics().height();
    const QString header = logPrintHeader(when);
    const auto drawHeader = [&] {
        painter.drawText(QPointF(LogPrintLayout::kLeft * unitX, LogPrintLayout::kHeaderTop * unitY), header);
    };

    int pages = 1;
    drawHeader();
    int pageStart = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const double y = LogPrintLayout::kFirstLineTop * unitY + double(i - pageStart) * 2 * lineHeight;
        painter.drawText(QPointF(LogPrintLayout::kLeft * unitX, y), lines[i]);
        if (i > 0 && i % LogPrintLayout::kLinesPerPage == 0) {
            printer.newPage();
            ++pages;
            drawHeader();
            pageStart = i;
        }
    }
    painter.end();
    return pages;
}

bool saveLogFile(const QString &path, const QStringList &lines)
{
    QByteArray content;
    for (const QString &line : lines)
        content += line.toUtf8() + '\n';
    return writeFileSafely(path, content);
}
