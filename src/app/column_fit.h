#pragma once
// Table columns as wide as their title and their widest text: they only ever
// grow, so a width the user dragged wider stays.

class QTableView;

void widenColumnsToFit(QTableView *view);
