#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <optional>

namespace pdf {

// How the program and its PDF render helper, mirvale-pdfrender, talk. Both compile this file and
// share nothing else: the program holds no PDF engine, the helper no widget.
//
//   mirvale-pdfrender SOURCE
//       The size pass: prints "pages N", then "size W H" for every page: its pixel size at
//       kPageDpi as renderPixelSize gives it ("size 0 0" for a page whose size cannot be had).
//   mirvale-pdfrender SOURCE FIRST COUNT PAGES
//       The render pass: renders pages FIRST to FIRST + COUNT - 1 into the page area PAGES, each
//       at the place pageAreaLayout gives it, and once each page is there prints "page", or
//       "blank" for a page that could not be rendered and was painted white instead (at
//       kUnsizedPageSize when it has no size). Every page must be renderable in size.
//
// SOURCE is the PDF and PAGES the page area, each passed as a handle argument: on Linux
// "fd:N", a descriptor the helper inherits (the PDF opened read-only for this helper alone, with
// a file position of its own; an anonymous memory file that the program sized and sealed), on
// Windows "fd:N" with N an inherited handle (the PDF, read-only; a file in the temporary folder
// deleted once closed), elsewhere an absolute path. The helper uses what it is given and opens
// nothing by name. Every line ends in a newline and is at most kMaxLineLength bytes. Exit status
// 0 (HelperExit::Done) when everything was told.

// The most one document may hold. Every page is held as a 200 dpi raster, so a file of a few
// hundred bytes whose page tree shares its branches (claiming millions of pages) would otherwise
// fill the memory. 2^31 pixels are 8 GiB, some 570 Letter pages. Below that, the page images
// must also fit in the memory the machine has available when the reading starts.
constexpr int kMaxPdfPages = 5000;
constexpr qint64 kMaxPdfPixels = qint64(1) << 31;

// One resolution serves both directions: a page of w x h points is rendered as w x 200 / 72 by
// h x 200 / 72 pixels, and an image is written as a page of its pixels x 72 / 200 points.
constexpr double kPageDpi = 200.0;

// The largest page rendered: what one image can hold, under 2 GiB at 4 bytes a pixel (a square
// page of 8,300 points at 200 dpi), and no side beyond 32767 pixels, which painting and scaling
// take in their stride.
constexpr int kMaxRenderSide = 32767;
constexpr qint64 kMaxRenderPixels = (qint64(1) << 31) / 4 - 1;

// A page the engine cannot size comes in as US Letter, white.
constexpr QSize kUnsizedPageSize(1700, 2200);

// Every page in the page area: 4 bytes a pixel, rows without padding, opaque.
constexpr QImage::Format kPageFormat = QImage::Format_ARGB32;
constexpr int kPageBytesPerPixel = 4;
// Each page starts at a multiple of this, so that it can be mapped alone (mappings start at a
// multiple of the memory page size, on Windows of 64 KiB).
constexpr qint64 kPageAlignment = 64 * 1024;

// The longest line either pass prints, newline excluded ("size 999999999 999999999" is 24).
constexpr qsizetype kMaxLineLength = 32;
// The largest number the protocol carries.
constexpr int kMaxProtocolNumber = 999'999'999;

enum class HelperExit : int {
    Done = 0,
    Usage = 1,
    NotLoaded = 2, // the PDF engine could not load the file
    NotWritten = 3, // the page area could not be written
};

// What an exit status means, for the log.
QString describeHelperExit(int code);

// The pixel size of a page of pointSize points rendered at kPageDpi, each side rounded half away
// from zero and at most kMaxProtocolNumber. Empty when the page has no size: empty, negative or
// not finite.
QSize renderPixelSize(const QSizeF &pointSize);

// A size within the limits above.
bool isRenderableSize(const QSize &size);

// Where a page of the reported size lies in the page area: at that size, or at kUnsizedPageSize
// when it has none.
QSize pageAreaSize(const QSize &reported);

// Where each page of sizes (one helper's range, in order, as pageAreaSize gives them) lies in
// its page area, and how large the area is. Sizes must be renderable.
struct PageAreaLayout
{
    QList<qint64> offsets;
    qint64 bytes = 0;
};
PageAreaLayout pageAreaLayout(const QList<QSize> &sizes);

// A page's pixel bytes in the page area (without the padding up to the next page).
qint64 pageBytes(const QSize &size);

// A handle argument: "fd:N" for a descriptor or handle, the path itself otherwise.
QString descriptorArgument(int descriptor);
// The descriptor or handle of an "fd:N" argument, or nothing for a path.
std::optional<int> descriptorFromArgument(const QString &argument);

// A whole number of the protocol: decimal digits only, at most 9 of them (no sign, no space).
// So it is at most kMaxProtocolNumber.
std::optional<int> parseProtocolNumber(const QByteArray &word);

} // namespace pdf
