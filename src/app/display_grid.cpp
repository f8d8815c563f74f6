#include "display_grid.h"

#include "column_fit.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QTableWidget>

DisplayGrid::DisplayGrid(QTableWidget *grid, display::Table &table, bool selectionBoxes, QObject *parent)
    : QObject(parent), m_grid(grid), m_table(table)
{
    m_grid->setColumnCount(table.columnCount());
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(20);
    m_grid->setItemDelegate(new DisplayCellDelegate(table, selectionBoxes, m_grid));
    m_grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                            | QAbstractItemView::AnyKeyPressed);
    m_table.changed = [this](int first, int last) { refresh(first, last); };
    connect(m_grid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (!m_refreshing)
            m_table.setCell(item->row() + 1, item->column(), item->text());
    });
    refresh(1, m_table.rowCount());
}

void DisplayGrid::setHeader(const QStringList &labels)
{
    m_grid->setHorizontalHeaderLabels(labels);
    widenColumnsToFit(m_grid);
}

int DisplayGrid::currentRow() const
{
    const int row = m_grid->currentRow();
    return row >= 0 && row < m_table.rowCount() ? row + 1 : 0;
}

void DisplayGrid::refresh(int first, int last)
{
    m_refreshing = true;
    m_grid->setRowCount(m_table.rowCount());
    last = std::min(last, m_table.rowCount());
    for (int row = std::max(first, 1); row <= last; ++row) {
        for (int column = 0; column < m_table.columnCount(); ++column) {
            const QString text = m_table.cell(row, column);
            QTableWidgetItem *item = m_grid->item(row - 1, column);
            if (!item)
                m_grid->setItem(row - 1, column, new QTableWidgetItem(text));
            else if (item->text() != text)
                item->setText(text);
        }
    }
    widenColumnsToFit(m_grid);
    m_grid->viewport()->update();
    m_refreshing = false;
}

DisplayCellDelegate::DisplayCellDelegate(display::Table &table, bool selectionBoxes, QObject *parent)
    : QStyledItemDelegate(parent), m_table(table), m_boxes(selectionBoxes)
{}

QRect DisplayCellDelegate::boxRect(const QRect &cell)
{
    const int side = std::max(4, cell.height() - 8);
    return QRect(cell.left() + 2, cell.top() + 4, side, side);
}

void DisplayCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    if (!m_boxes || index.column() != display::TevId) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The text goes right of the box.
    QStyleOptionViewItem shifted = option;
    const QRect box = boxRect(option.rect);
    shifted.rect.setLeft(box.right() + 4);
    QStyledItemDelegate::paint(painter, shifted, index);
    painter->save();
    painter->setPen(QPen(option.palette.color(QPalette::Text), 1));
    painter->drawRect(box);
    if (m_table.selected(index.row() + 1)) {
        painter->drawLine(box.topLeft(), box.bottomRight());
        painter->drawLine(box.topRight(), box.bottomLeft());
    }
    painter->restore();
}

QWidget *DisplayCellDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                           const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    auto *line = qobject_cast<QLineEdit *>(editor);
    if (!line || !m_boxes)
        return editor;
    // Which keys each column of the display device table takes.
    QString allowed;
    switch (index.column()) {
    case display::TevId:
    case display::TevAddress:
    case display::TevUserNumber:
        allowed = QStringLiteral("[0-9]*");
        break;
    case display::TevStartMain:
    case display::TevStartP1:
    case display::TevStartP2:
    case display::TevStartCooling:
        allowed = QStringLiteral("[0-9.,]*");
        break;
    case display::TevMultDiv:
        allowed = QStringLiteral("[0-9/]*");
        break;
    default:
        break;
    }
    if (!allowed.isEmpty())
        line->setValidator(new QRegularExpressionValidator(QRegularExpression(allowed), line));
    return editor;
}

bool DisplayCellDelegate::editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                                      const QModelIndex &index)
{
    if (m_boxes && index.column() == display::TevId && event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (boxRect(option.rect).contains(mouse->position().toPoint())) {
            const int row = index.row() + 1;
            m_table.setSelected(row, !m_table.selected(row));
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
