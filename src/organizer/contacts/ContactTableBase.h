#pragma once

#include <QTableView>

// The table the contact card's detail table builds on. The organizer's
// two-column label/value table is not in this tree yet; until it is, the
// detail table sizes its own columns on a plain QTableView.
using ContactTableBase = QTableView;
