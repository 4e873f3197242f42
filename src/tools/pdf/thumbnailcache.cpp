#include "thumbnailcache.h"

#include "pagepixmaps.h"

#include <QImage>

QList<QPixmap> ThumbnailCache::thumbnails(const QList<QImage> &pages)
{
    QHash<qint64, QPixmap> kept;
    kept.reserve(pages.size());
    QList<QPixmap> result;
    result.reserve(pages.size());
    for (const QImage &page : pages) {
        if (page.isNull()) {
            result.append(QPixmap());
            continue;
        }
        const qint64 key = page.cacheKey();
        auto found = kept.constFind(key);
        if (found == kept.constEnd()) {
            const auto old = m_byKey.constFind(key);
            found = kept.insert(key, old != m_byKey.constEnd() ? *old : pageThumbnail(page));
        }
        result.append(*found);
    }
    m_byKey = std::move(kept);
    return result;
}
