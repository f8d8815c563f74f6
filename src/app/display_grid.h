#pragma once
// An editable grid showing one of the display's tables: typed cells go into
// the table, table changes come back into the grid. The display device table
// also draws each row's selection box in column 0 (a click on the box toggles
// it) and filters the keys each column takes.

#include "display/display_table.h"

#include <QStyledItemDelegate>

class QTableWidget;

class DisplayGrid : public QObject {
    Q_OBJECT
public:
    DisplayGrid(QTableWidget *grid, display::Table &table, bool selectionBoxes, QObject *parent = nullptr);

    void setHeader(const QStringList &labels);
    void refresh(int first, int last);
    // The data row of the grid's current cell (1..), 0 when none.
    int currentRow() const;

private:
    QTableWidget *m_grid;
    display::Table &m_table;
    bool m_refreshing = false;
};

// Draws the selection box and filters keys, by column, for the display device table.
class DisplayCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    DisplayCellDelegate(display::Table &table, bool selectionBoxes, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    static QRect boxRect(const QRect &cell);

private:
    display::Table &m_table;
    bool m_boxes;
};
