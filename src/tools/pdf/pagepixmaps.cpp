#include "pagepixmaps.h"

#include <QImage>
#include <QPixmap>

namespace pdf {

namespace {
// Scaling the image first and converting the small result is the same picture as converting the
// whole page to a pixmap and scaling that, without a full-size copy.
QImage scaledInto(const QImage &page, const QSize &box)
{
    return page.isNull() ? QImage()
                         : page.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}
} // namespace

QImage pageThumbnailImage(const QImage &page)
{
    return scaledInto(page, kThumbnailBox);
}

QPixmap pageViewPixmap(const QImage &page)
{
    return QPixmap::fromImage(scaledInto(page, kPageViewBox));
}

} // namespace pdf
