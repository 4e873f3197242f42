#include "thumbnailcache.h"

#include "pagepixmaps.h"

#include <QImage>
#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>

namespace pdf {

QList<QPixmap> ThumbnailCache::thumbnails(const QList<QImage> &pages)
{
    // The pages without a thumbnail yet, each once, are scaled on every core at once; only the
    // small pixmaps are made here, on the GUI thread.
    QHash<qint64, QPixmap> kept;
    kept.reserve(pages.size());
    QList<QImage> unscaled;
    for (const QImage &page : pages) {
        const qint64 key = page.cacheKey();
        if (page.isNull() || kept.contains(key)) {
            continue;
        }
        const auto old = m_byKey.constFind(key);
        const auto prepared = m_prepared.constFind(key);
        if (old != m_byKey.constEnd()) {
            kept.insert(key, *old);
        } else if (prepared != m_prepared.constEnd()) {
            kept.insert(key, QPixmap::fromImage(prepared->result()));
        } else {
            kept.insert(key, QPixmap());
            unscaled.append(page);
        }
    }
    discardPrepared();
    const QList<QImage> scaled = QtConcurrent::blockingMapped(unscaled, pageThumbnailImage);
    for (qsizetype i = 0; i < unscaled.size(); ++i) {
        kept[unscaled.at(i).cacheKey()] = QPixmap::fromImage(scaled.at(i));
    }

    QList<QPixmap> result;
    result.reserve(pages.size());
    for (const QImage &page : pages) {
        result.append(page.isNull() ? QPixmap() : kept.value(page.cacheKey()));
    }
    m_byKey = std::move(kept);
    return result;
}

void ThumbnailCache::prepare(const QImage &page)
{
    if (!page.isNull()) {
        m_prepared.insert(page.cacheKey(), QtConcurrent::run(pageThumbnailImage, page));
    }
}

void ThumbnailCache::discardPrepared()
{
    // Work not yet started is cancelled: waiting takes it off the pool's queue at once, without
    // scaling. Only scaling already under way is waited for, so that no worker holds a page
    // beyond this.
    for (QFuture<QImage> &future : m_prepared) {
        future.cancel();
    }
    for (QFuture<QImage> &future : m_prepared) {
        future.waitForFinished();
    }
    m_prepared.clear();
}

} // namespace pdf
