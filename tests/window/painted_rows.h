#pragma once
// What the device grid shows as selected, read from the window's backing
// store (the pixels last painted, not a fresh rendering of the model).

#include <QCoreApplication>
#include <QPixmap>
#include <QScreen>
#include <QTableView>

// Empty when the rows painted selected are the selection model's (of those
// wholly in view) and the current row is in view; else what differs. A row
// is painted selected when most of a line just below its top edge, above any
// text, has the highlight colour.
inline QString selectionShownTruly(QTableView *grid)
{
    for (int round = 0; round < 5; ++round)
        QCoreApplication::processEvents(); // pending repaints land first
    QWidget *window = grid->window(), *view = grid->viewport();
    const QImage shown = window->screen()->grabWindow(window->winId()).toImage();
    const QList<QRgb> highlights{grid->palette().color(QPalette::Active, QPalette::Highlight).rgb(),
                                 grid->palette().color(QPalette::Inactive, QPalette::Highlight).rgb()};
    QString painted, held;
    for (int r = 0; r < grid->model()->rowCount(); ++r) {
        const QRect cell = grid->visualRect(grid->model()->index(r, 0));
        if (cell.top() < 0 || cell.bottom() >= view->height())
            continue;
        int lit = 0;
        for (int x = 0; x < view->width(); ++x)
            lit += highlights.contains(shown.pixel(view->mapTo(window, QPoint(x, cell.top() + 2))));
        painted += 2 * lit > view->width() ? QStringLiteral(" %1").arg(r) : QString();
        held += grid->selectionModel()->isRowSelected(r) ? QStringLiteral(" %1").arg(r) : QString();
    }
    if (painted != held)
        return QStringLiteral("rows painted selected:%1, rows selected:%2").arg(painted, held);
    if (grid->currentIndex().isValid() && !view->rect().contains(grid->visualRect(grid->currentIndex())))
        return QStringLiteral("current row %1 is out of view").arg(grid->currentIndex().row());
    return {};
}
