#pragma once
#include <functional>

class QAbstractItemView;

// Enter (either key) on a list with a current row does what a double click
// on that row does: open runs with the row. Other keys, and Enter on a list
// without a current row, go on as usual.
void EnterOpens(QAbstractItemView *list, std::function<void(int row)> open);
