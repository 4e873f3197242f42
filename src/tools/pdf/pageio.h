#pragma once

#include <QList>
#include <QSize>
#include <QSizeF>
#include <QString>

#include "pagerender.h"

class QByteArray;
class QImage;
class QPageSize;

// Reading PDF pages and image files into page images, and writing page images as a PDF. No
// widget here: the page shows what went wrong.

// The most one PDF may bring in. Every page is held as a 200 dpi raster, so a file of a few
// hundred bytes whose page tree shares its branches (claiming millions of pages) would otherwise
// fill the memory. 2^31 pixels are 8 GiB, some 570 Letter pages.
constexpr int kMaxPdfPages = 5000;
constexpr qint64 kMaxPdfPixels = qint64(1) << 31;

// A PDF is read in helper processes (mirvale-pdfrender, found beside the program), so that a
// file on which the engine hangs or crashes costs a helper, not the program: a helper that dies,
// or tells nothing new for stallTimeoutMs, is ended and the file refused. Long documents are
// rendered in several helpers at once, each a range of pages. While reading, the caller's
// window keeps painting; user input waits until the reading is over.
struct PdfReadOptions
{
    // The document the pages join: the limits above count it and the new pages together.
    qsizetype pagesBefore = 0;
    qint64 pixelsBefore = 0;
    // How many helpers at most; 0 for one per core. Never more than there are pages.
    int helperCount = 0;
    // The slowest page of real documents measured took under 0.1 s: 15 s leaves room for slow
    // machines and heavy pages.
    int stallTimeoutMs = 15'000;
    // Empty for pdfRenderHelperPath().
    QString helperPath;
};

struct PdfReadResult
{
    bool ok = false;
    // Not ok because the document would go over kMaxPdfPages or kMaxPdfPixels.
    bool tooLarge = false;
    QList<QImage> pages; // every page at kPageDpi in the document's order, when ok
};

// Every page of the PDF at path rendered at kPageDpi. Not ok when the file does not open
// (missing, no regular file, damaged, password-protected, no pages, the engine hangs or crashes
// on it), would go over the limits above, or a page cannot be rendered. Nothing of the reading
// (processes, temporary files) outlives the call.
PdfReadResult readPdfPages(const QString &path, const PdfReadOptions &options = {});

// The render helper: $MIRVALE_PDFRENDER when set (the test build sets it), else the one beside
// the program.
QString pdfRenderHelperPath();

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
