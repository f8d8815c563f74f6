#include "log_printer.h"

#include "config/safe_write.h"
#include "link/log_time.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

QString logPrintHeader(const QDateTime &when)
{
    return QStringLiteral("Print of log file ") + logDateText(when.date()) + QStringLiteral(", ")
           + logTimeText(when.time());
}

QStringList wrapPrintedLine(const QString &line, const QFontMetricsF &metrics, double width)
{
    QStringList rows;
    QString rest = line;
    while (metrics.horizontalAdvance(rest) > width && rest.size() > 1) {
        // The longest head that fits, cut after a blank where there is one.
        qsizetype fit = 1;
        while (fit < rest.size() && metrics.horizontalAdvance(rest.left(fit + 1)) <= width)
            ++fit;
        const qsizetype blank = rest.left(fit).lastIndexOf(u' ');
        const qsizetype cut = blank > 0 ? blank + 1 : fit;
        rows << rest.left(cut);
        rest = rest.mid(cut);
    }
    rows << rest;
    return rows;
}

QList<QList<PrintedRow>> layoutPrintedLog(const QStringList &lines, const QFontMetricsF &metrics, QSizeF page)
{
    const double unitX = page.width() / 210.0;
    const double unitY = page.height() / 297.0;
    const double width = page.width() - (LogPrintLayout::kLeft + LogPrintLayout::kRight) * unitX;
    const double step = 2 * metrics.height();
    const double bottom = page.height() - LogPrintLayout::kBottom * unitY;
    QList<QList<PrintedRow>> pages(1);
    int row = 0; // rows below the first line's top, on this page
    for (qsizetype i = 0; i < lines.size(); ++i) {
        for (const QString &text : wrapPrintedLine(lines[i], metrics, width)) {
            double y = LogPrintLayout::kFirstLineTop * unitY + row * step;
            if (y > bottom && row > 1) { // a page of long lines: go on on the next page
                pages.append(QList<PrintedRow>());
                row = 1;
                y = LogPrintLayout::kFirstLineTop * unitY + row * step;
            }
            pages.last().append({text, y});
            ++row;
        }
        if (i > 0 && i % LogPrintLayout::kLinesPerPage == 0) {
            pages.append(QList<PrintedRow>());
            row = 1; // the line after the break sits one row below the top row
        }
    }
    return pages;
}

int printLog(QPrinter &printer, const QStringList &lines, const QDateTime &when)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return 0;
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double unitX = page.width() / 210.0;
    const double unitY = page.height() / 297.0;
    const QString header = logPrintHeader(when);
    // A fixed-pitch font small enough for 35 double-spaced rows below the header.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const double room = page.height() - (LogPrintLayout::kFirstLineTop + LogPrintLayout::kBottom) * unitY;
    font.setPixelSize(std::max(1, int(room / (2 * LogPrintLayout::kLinesPerPage * 1.3))));
    while (font.pixelSize() > 1 && QFontMetricsF(font, &printer).height() * 2 * LogPrintLayout::kLinesPerPage > room)
        font.setPixelSize(font.pixelSize() - 1);
    painter.setFont(font);
    const QList<QList<PrintedRow>> pages = layoutPrintedLog(lines, QFontMetricsF(font, &printer), page.size());
    for (qsizetype p = 0; p < pages.size(); ++p) {
        if (p > 0)
            printer.newPage();
        painter.drawText(QPointF(LogPrintLayout::kLeft * unitX, LogPrintLayout::kHeaderTop * unitY), header);
        for (const PrintedRow &row : pages[p])
            painter.drawText(QPointF(LogPrintLayout::kLeft * unitX, row.y), row.text);
    }
    painter.end();
    return int(pages.size());
}

bool saveLogFile(const QString &path, const QStringList &lines)
{
    QByteArray content;
    for (const QString &line : lines)
        content += line.toUtf8() + '\n';
    return writeFileSafely(path, content);
}
