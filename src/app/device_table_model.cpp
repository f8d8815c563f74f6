#include "device_table_model.h"

DeviceTableModel::DeviceTableModel(decode::DeviceTable &table, QObject *parent)
    : QAbstractTableModel(parent), m_table(table), m_rows(table.rowCount() + 1), m_columns(table.columnCount())
{
    m_table.changed = [this](int first, int last) { tableChanged(first, last); };
}

void DeviceTableModel::setHeaderLabels(const QStringList &labels)
{
    m_labels = labels;
    emit headerDataChanged(Qt::Horizontal, 0, std::max(0, m_columns - 1));
}

int DeviceTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DeviceTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant DeviceTableModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return QString::fromStdString(m_table.cellText(index.row(), index.column()));
}

QVariant DeviceTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return m_labels.value(section);
}

// The table tells after the fact; the views hear of new or gone rows and
// columns first, then of the rows whose texts changed.
void DeviceTableModel::tableChanged(int first, int last)
{
    if (m_table.columnCount() != m_columns) {
        beginResetModel();
        m_columns = m_table.columnCount();
        m_rows = m_table.rowCount() + 1;
        endResetModel();
        return;
    }
    const int rows = m_table.rowCount() + 1;
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    } else if (rows < m_rows) {
        beginRemoveRows({}, rows, m_rows - 1);
        m_rows = rows;
        endRemoveRows();
    }
    first = std::max(first, 0);
    last = std::min(last, m_rows - 1);
    if (first <= last && m_columns > 0)
        emit dataChanged(index(first, 0), index(last, m_columns - 1), {Qt::DisplayRole});
}
