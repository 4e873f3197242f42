#pragma once

#include <QSize>

class QImage;
class QPixmap;

namespace pdf {

// The largest box a thumbnail is scaled into, and the page view's.
constexpr QSize kThumbnailBox(100, 140);
constexpr QSize kPageViewBox(560, 780);

// The page scaled to fit kThumbnailBox, keeping its proportions, with smooth scaling. Null for a
// null page. Safe to call from any thread (a pixmap is made from it on the GUI thread).
QImage pageThumbnailImage(const QImage &page);

// The page scaled to the largest size that fits kPageViewBox, keeping its proportions, with
// smooth scaling: small pages are enlarged, large ones reduced, none cropped. Null for a null
// page.
QPixmap pageViewPixmap(const QImage &page);

} // namespace pdf
