#pragma once

#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <optional>

class QColor;
class QPaintDevice;

namespace pdf {

// Pure operations on page images, shared by the PDF page's commands. None touches a widget.
// Operations that change a page return the new page and leave their argument alone, so the
// caller's undo snapshot keeps the old image; an empty optional means "the page stays as it was".

// The page drawn over white: transparent and translucent pixels become what they look like on
// paper. Pages without an alpha channel come back unchanged (and unshared).
QImage flattenOnWhite(const QImage &page);

// The page in a format a QPainter can mark in colour (1-bit, indexed, greyscale and alpha-only
// pages are converted to 32-bit RGB, keeping alpha when they have it). Colour pages come back as
// they are.
QImage toPaintableFormat(const QImage &page);

// Page commands.

enum class Rotation { Left, Right };

// The page turned a quarter turn counter-clockwise (Left) or clockwise (Right); width and height
// swap. A left turn followed by a right turn gives back the very same pixels.
QImage rotatedPage(const QImage &page, Rotation rotation);

// The page in shades of grey (no two-level threshold), as 32-bit RGB. Transparent parts become
// white, as on paper, instead of black.
QImage blackAndWhitePage(const QImage &page);

// The size a page is shrunk to fit into when compressed: 70 % of each side, truncated toward
// zero, never below 1.
QSize compressionTargetSize(const QSize &pageSize);

// The page shrunk to fit compressionTargetSize (keeping its proportions) and passed through
// JPEG at quality 55. Transparent parts become white. Empty when the page is null or the JPEG
// encoding or decoding fails: the page then stays as it was.
std::optional<QImage> compressedPage(const QImage &page);

struct CompressedPages
{
    QList<QImage> pages; // every page, compressed where that worked, otherwise as it was
    int compressedCount = 0;
};

// Every page through compressedPage, first to last.
CompressedPages compressPages(const QList<QImage> &pages);

// Mouse modes on the page view.

// The smallest width and height, in page pixels, of a crop or highlight rectangle.
constexpr int kMinimumMarkSide = 5;

// Maps a point of the shown (scaled) page to page pixels: each axis scaled by page size / shown
// size and rounded half away from zero. shownSize is the size of the pixmap the view shows, in
// the view's own (logical) pixels. No clamping: a point outside the view maps outside the page.
// A degenerate page or view size gives (0, 0).
QPoint viewToImage(const QPoint &viewPoint, const QSize &pageSize, const QSize &shownSize);

// The part of the page a crop from imgStart to imgEnd (page pixels, in any order) keeps: the
// rectangle between the two points, clipped to the page. Empty when the clipped rectangle is
// narrower or lower than kMinimumMarkSide, so a crop never enlarges a page or cuts it to nothing.
std::optional<QRect> cropRectangle(
    const QPoint &imgStart, const QPoint &imgEnd, const QSize &pageSize);

// The page cut down to cropRectangle; empty when there is nothing to crop.
std::optional<QImage> croppedPage(const QImage &page, const QPoint &imgStart, const QPoint &imgEnd);

// The part of the page a highlight from imgStart to imgEnd covers: the rectangle between the
// two points when it is at least kMinimumMarkSide on each side, clipped to the page. Empty when
// it is smaller, or lies wholly outside the page.
std::optional<QRect> highlightRectangle(
    const QPoint &imgStart, const QPoint &imgEnd, const QSize &pageSize);

// The page with a translucent yellow fill laid over highlightRectangle (the page shows through).
// Empty when there is nothing to highlight.
std::optional<QImage> highlightedPage(
    const QImage &page, const QPoint &imgStart, const QPoint &imgEnd);

// The previews drawn during a drag, on the scaled pixmap the view shows, between two view
// points. They return false when painting on the preview could not begin.
bool paintCropPreview(QPaintDevice &preview, const QPoint &viewStart, const QPoint &viewEnd);
bool paintHighlightPreview(QPaintDevice &preview, const QPoint &viewStart, const QPoint &viewEnd);

// Fill and sign.

// What a click on the page does in fill-and-sign mode, named as the stamp bar shows it: X is a
// cross. Signature draws a stroke and Comment a marker; the others are stamps.
enum class StampType { Text, Signature, Comment, X, Checkmark, Circle, Line, Dot };

// The page with one stamp drawn at imgPoint (page pixels) in the colour; a Text stamp writes
// text with the left end of its baseline there. Parts beyond the page are clipped. Pages that
// cannot be painted in colour as they are get converted first, so the stamp shows in its colour.
// Empty when nothing was drawn: a Signature or Comment (no stamps), a Text stamp without text, a
// null page, or painting that could not begin.
std::optional<QImage> stampedPage(const QImage &page, StampType type, const QPoint &imgPoint,
    const QColor &colour, const QString &text);

// The page with a freehand stroke through the points (page pixels, in order). Empty when there
// are fewer than 2 points or painting could not begin.
std::optional<QImage> signedPage(
    const QImage &page, const QList<QPoint> &points, const QColor &colour);

// The stroke so far drawn on the scaled preview of a page of pageSize: every point scaled by
// preview size / page size and truncated toward zero. False when painting could not begin.
bool paintSignaturePreview(QPaintDevice &preview, const QList<QPoint> &points,
    const QSize &pageSize, const QColor &colour);

// The page with a comment marker (a small yellow bubble holding "!") whose lower left corner sits
// just above imgPoint. Empty when painting could not begin.
std::optional<QImage> commentMarkedPage(const QImage &page, const QPoint &imgPoint);

} // namespace pdf
