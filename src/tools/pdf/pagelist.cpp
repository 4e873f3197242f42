#include "pagelist.h"

namespace pdf {

void insertPages(QList<QImage> &pages, const QList<QImage> &added, int insertAt)
{
    if (insertAt < 0 || insertAt > pages.size()) {
        pages.append(added);
        return;
    }
    pages.insert(insertAt, added.size(), QImage());
    std::copy(added.cbegin(), added.cend(), pages.begin() + insertAt);
}

void pushSnapshot(QList<QList<QImage>> &history, const QList<QImage> &pages)
{
    history.append(pages);
    while (history.size() > kMaxUndoSnapshots) {
        history.removeFirst();
    }
}

int selectionWithin(int index, int count)
{
    return index >= count ? count - 1 : index;
}

std::optional<QList<QImage>> reorderedPages(const QList<QImage> &pages, const QList<int> &order)
{
    if (order.size() != pages.size()) {
        return std::nullopt;
    }
    QList<bool> used(pages.size(), false);
    QList<QImage> result;
    result.reserve(pages.size());
    for (const int index : order) {
        if (index < 0 || index >= pages.size() || used.at(index)) {
            return std::nullopt;
        }
        used[index] = true;
        result.append(pages.at(index));
    }
    return result;
}

} // namespace pdf
