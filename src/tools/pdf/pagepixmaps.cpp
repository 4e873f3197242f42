#include "pagepixmaps.h"

#include <QImage>
#include <QPixmap>

namespace {
QPixmap scaledInto(const QImage &page, const QSize &box)
{
    if (page.isNull()) {
        return {};
    }
    // Scaling the image first and converting the small result is the same picture as converting
    // the whole page to a pixmap and scaling that, without a full-size copy.
    return QPixmap::fromImage(page.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}
} // namespace

QPixmap pageThumbnail(const QImage &page)
{
    return scaledInto(page, kThumbnailBox);
}

QPixmap pageViewPixmap(const QImage &page)
{
    return scaledInto(page, kPageViewBox);
}
