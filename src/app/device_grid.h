#pragma once
// Keeps the device grid showing the device table: grid row i is table row
// i + 1 (the table counts its header row, the grid has a header of its own).

#include "decode/device_table.h"

#include <QStringList>

class QTableWidget;

class DeviceGrid {
public:
    DeviceGrid(QTableWidget *grid, decode::DeviceTable &table);

    // " ID ", "Addr. ", ... then the secondary main and additional value titles.
    void setHeader(const QStringList &labels);
    // Table rows first..last changed; the row or column count may have too.
    void refresh(int first, int last);

private:
    QTableWidget *m_grid;
    decode::DeviceTable &m_table;
};
