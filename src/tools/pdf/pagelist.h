#pragma once

#include <QImage>
#include <QList>

#include <optional>

namespace pdf {

// Edits of the page list and of its undo history. No widget here.

// The undo history keeps this many snapshots; a further one drops the oldest.
constexpr int kMaxUndoSnapshots = 15;

// Inserts added into pages before index insertAt, keeping their order. An insertAt outside
// 0..pages.size() (negative, or beyond the end) appends them.
void insertPages(QList<QImage> &pages, const QList<QImage> &added, int insertAt);

// Appends a snapshot of pages to history (a list of shared references, no pixel copies) and drops
// the oldest snapshots beyond kMaxUndoSnapshots.
void pushSnapshot(QList<QList<QImage>> &history, const QList<QImage> &pages);

// A selection that still names a page of a list of count pages: an index at or beyond the end
// becomes the last page (-1 for no pages); smaller values, -1 included, stay.
int selectionWithin(int index, int count);

// The pages in a new order, where order[i] is the old index of the page that goes to place i.
// Empty unless order names every page exactly once, so a reordering can never lose or double a
// page.
std::optional<QList<QImage>> reorderedPages(const QList<QImage> &pages, const QList<int> &order);

} // namespace pdf
