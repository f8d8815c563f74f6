#include "column_fit.h"

#include <QHeaderView>
#include <QTableView>

#include <algorithm>

void widenColumnsToFit(QTableView *view)
{
    QHeaderView *header = view->horizontalHeader();
    const QAbstractItemView *items = view; // where the size hint is public
    for (int c = 0; c < header->count(); ++c) {
        const int wanted = std::max(items->sizeHintForColumn(c), header->sectionSizeHint(c));
        if (header->sectionSize(c) < wanted)
            header->resizeSection(c, wanted);
    }
}
