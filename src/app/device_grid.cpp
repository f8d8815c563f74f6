#include "device_grid.h"

#include <QTableWidget>

DeviceGrid::DeviceGrid(QTableWidget *grid, decode::DeviceTable &table) : m_grid(grid), m_table(table)
{
    m_table.changed = [this](int first, int last) { refresh(first, last); };
    refresh(1, m_table.rowCount() - 1);
}

void DeviceGrid::setHeader(const QStringList &labels)
{
    m_grid->setColumnCount(int(labels.size()));
    m_grid->setHorizontalHeaderLabels(labels);
}

void DeviceGrid::refresh(int first, int last)
{
    const int columns = m_table.columnCount();
    if (m_grid->columnCount() != columns)
        m_grid->setColumnCount(columns);
    m_grid->setRowCount(m_table.rowCount() - 1);
    last = std::min(last, m_table.rowCount() - 1);
    for (int row = std::max(first, 1); row <= last; ++row) {
        for (int column = 0; column < columns; ++column) {
            const QString text = QString::fromStdString(m_table.cell(row, column));
            QTableWidgetItem *item = m_grid->item(row - 1, column);
            if (!item)
                m_grid->setItem(row - 1, column, new QTableWidgetItem(text));
            else if (item->text() != text)
                item->setText(text);
        }
    }
}
