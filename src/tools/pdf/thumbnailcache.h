#pragma once

#include <QHash>
#include <QList>
#include <QPixmap>

class QImage;

// Thumbnails of page images, remembered by the image's cache key. A page keeps its key while its
// pixels are shared and gets a new one as soon as an edit detaches it, so an unchanged page
// (also one restored by undo, or moved) reuses its thumbnail and only changed pages are scaled.
class ThumbnailCache
{
public:
    // One thumbnail per page, in page order (null for a null page). Afterwards the cache holds
    // the thumbnails of these pages only.
    QList<QPixmap> thumbnails(const QList<QImage> &pages);

    int size() const { return m_byKey.size(); }
    void clear() { m_byKey.clear(); }

private:
    QHash<qint64, QPixmap> m_byKey;
};
