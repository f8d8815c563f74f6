#pragma once
// The device table as a Qt model: one row per meter, then one empty row
// below them for the eye (it holds nothing and selects nothing), the
// columns as the table lays them out. Read-only: the operations and the files
// change the table, the model follows.

#include "decode/device_table.h"

#include <QAbstractTableModel>
#include <QStringList>

class DeviceTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DeviceTableModel(decode::DeviceTable &table, QObject *parent = nullptr);

    // " ID ", "Addr. ", ... then the secondary main and additional value titles.
    void setHeaderLabels(const QStringList &labels);
    const QStringList &headerLabels() const { return m_labels; }
    // The empty row below the meters.
    int entryRow() const { return m_table.rowCount(); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void tableChanged(int first, int last);

    decode::DeviceTable &m_table;
    QStringList m_labels;
    int m_rows = 1; // as the views know it: meters and the entry row
    int m_columns = 0;
};
