#pragma once

#include <QFuture>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPixmap>

namespace pdf {

// Thumbnails of page images, remembered by the image's cache key. A page keeps its key while its
// pixels are shared and gets a new one as soon as an edit detaches it, so an unchanged page
// (also one restored by undo, or moved) reuses its thumbnail and only changed pages are scaled.
class ThumbnailCache
{
public:
    // One thumbnail per page, in page order (null for a null page). Afterwards the cache holds
    // the thumbnails of these pages only.
    // Pages without one are scaled on every core at once, or taken from prepare.
    QList<QPixmap> thumbnails(const QList<QImage> &pages);

    // Starts scaling the thumbnail of a page that is about to join the document on a worker
    // thread, so that it is ready, or nearly, when thumbnails() asks for it.
    void prepare(const QImage &page);
    // Drops what prepare started for pages that did not join after all: what has not begun is
    // cancelled, what is under way is waited for.
    void discardPrepared();

private:
    QHash<qint64, QPixmap> m_byKey;
    QHash<qint64, QFuture<QImage>> m_prepared;
};

} // namespace pdf
