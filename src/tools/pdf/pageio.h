#pragma once

#include <QList>
#include <QSize>
#include <QSizeF>
#include <QString>

class QByteArray;
class QImage;
class QPageSize;
class QPdfDocument;

// Reading PDF pages and image files into page images, and writing page images as a PDF. No
// widget here: the page shows what went wrong.

// One resolution serves both directions: a page of w x h points is rendered as w x 200 / 72 by
// h x 200 / 72 pixels, and an image is written as a page of its pixels x 72 / 200 points.
constexpr double kPageDpi = 200.0;

// The largest page rendered: 16384 pixels a side (about 80 inches at 200 dpi) and 100 million
// pixels (400 MB). Larger sizes would make allocations fail or swamp the machine.
constexpr int kMaxRenderSide = 16384;
constexpr qint64 kMaxRenderPixels = 100'000'000;

// The most one PDF may bring in. Every page is held as a 200 dpi raster, so a file of a few
// hundred bytes whose page tree shares its branches (claiming millions of pages) would otherwise
// fill the memory. 2^31 pixels are 8 GiB, some 570 Letter pages.
constexpr int kMaxPdfPages = 5000;
constexpr qint64 kMaxPdfPixels = qint64(1) << 31;

// The pixel size of a page of pointSize rendered at dpi: each side rounded half away from zero.
// An empty size when the page is empty or larger than the limits above.
QSize renderPixelSize(const QSizeF &pointSize, double dpi);

// Page page of an opened document rendered at dpi on white (pages render with a transparent
// background, which would turn black wherever alpha is later dropped). The image keeps the
// renderer's format but is opaque. Null when the page cannot be rendered.
QImage renderPage(QPdfDocument &doc, int page, double dpi);

struct PdfReadResult
{
    bool ok = false;
    QList<QImage> pages; // every page at kPageDpi, when ok
};

// Every page of the PDF at path rendered at kPageDpi. Not ok when the file does not open (missing,
// no regular file, damaged, password-protected, its page tree may loop), holds more than the
// limits above, or a page cannot be rendered. The file is closed on return.
PdfReadResult readPdfPages(const QString &path);

// The image file at path as a page, its format detected from the content. Images that cannot be
// painted in colour (1-bit, indexed, greyscale, alpha-only) come as 32-bit RGB, with alpha when
// they have it. Null when the file gives no image.
QImage readPageImage(const QString &path);

// The physical size of a page image written at kPageDpi, in points, unrounded.
QSizeF pagePointSize(const QSize &pixelSize);

// The writer's page size for a page image: pagePointSize, with a size close to a standard paper
// size in portrait orientation taken as that standard size.
QPageSize writerPageSize(const QSize &pixelSize);

// The pages painted as a PDF, one image per page, each page sized to its image and the image
// drawn over the whole page. Empty when there are no pages, a page is null, or painting
// fails.
QByteArray paintPdf(const QList<QImage> &pages);

// paintPdf written to path. The file is replaced only once every byte is written, so a failed
// write leaves an existing file as it was; nothing is touched for an empty list or a null page.
// On failure returns false and, when asked for, says why in errorString.
bool writePagesAsPdf(
    const QList<QImage> &pages, const QString &path, QString *errorString = nullptr);
