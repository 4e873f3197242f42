#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <optional>

// How the program and its PDF render helper, mirvale-pdfrender, talk. Both compile this file and
// share nothing else: the program holds no PDF engine, the helper no widget.
//
//   mirvale-pdfrender SOURCE
//       The size pass: prints "pages N", then "size W H" for every page, its pixel size at
//       kPageDpi ("size 0 0" for a page whose size cannot be had or is too large to render).
//   mirvale-pdfrender SOURCE FIRST COUNT PAGES
//       The render pass: renders pages FIRST to FIRST + COUNT - 1 into the page area PAGES, each
//       at the place pageAreaLayout gives it, and prints "page" once each page is there.
//
// SOURCE is the PDF and PAGES the page area, each passed as a handle argument: on Linux
// "fd:N", a descriptor the helper inherits (the PDF as the program opened it; an anonymous
// memory file that the program sized and sealed), elsewhere an absolute path (the PDF; a file
// the program made in the temporary folder). Every line ends in a newline and is at most
// kMaxLineLength bytes. Exit status 0 (HelperExit::Done) when everything was told.

// One resolution serves both directions: a page of w x h points is rendered as w x 200 / 72 by
// h x 200 / 72 pixels, and an image is written as a page of its pixels x 72 / 200 points.
constexpr double kPageDpi = 200.0;

// The largest page rendered: 16384 pixels a side (about 80 inches at 200 dpi) and 100 million
// pixels (400 MB). Larger sizes would make allocations fail or swamp the machine.
constexpr int kMaxRenderSide = 16384;
constexpr qint64 kMaxRenderPixels = 100'000'000;

// Every page in the page area: 4 bytes a pixel, rows without padding, opaque.
constexpr QImage::Format kPageFormat = QImage::Format_ARGB32;
constexpr int kPageBytesPerPixel = 4;
// Each page starts at a multiple of this, so that it can be mapped alone (mappings start at a
// multiple of the memory page size, on Windows of 64 KiB).
constexpr qint64 kPageAlignment = 64 * 1024;

// The longest line either pass prints, newline excluded ("size 16384 16384" is 16).
constexpr qsizetype kMaxLineLength = 32;

enum class HelperExit : int {
    Done = 0,
    Usage = 1,
    NotLoaded = 2, // the PDF engine could not load the file
    NotRendered = 3, // a page could not be rendered
    NotWritten = 4, // the page area could not be written
};

// What an exit status means, for the log.
QString describeHelperExit(int code);

// The pixel size of a page of pointSize points rendered at kPageDpi, each side rounded half away
// from zero. Empty when the page is empty, not a finite size, or larger than the limits above.
QSize renderPixelSize(const QSizeF &pointSize);

// True for a size renderPixelSize can give: not empty and within the limits above.
bool isRenderableSize(const QSize &size);

// Where each page of sizes (one helper's range, in order) lies in its page area, and how large
// the area is. Sizes must be renderable.
struct PageAreaLayout
{
    QList<qint64> offsets;
    qint64 bytes = 0;
};
PageAreaLayout pageAreaLayout(const QList<QSize> &sizes);

// A page's pixel bytes in the page area (without the padding up to the next page).
qint64 pageBytes(const QSize &size);

// A handle argument: "fd:N" for a descriptor, the path itself otherwise.
QString descriptorArgument(int descriptor);
// The descriptor of an "fd:N" argument, or nothing for a path.
std::optional<int> descriptorFromArgument(const QString &argument);

// A whole number of the protocol: decimal digits only, at most 9 of them (no sign, no space).
std::optional<int> parseProtocolNumber(const QByteArray &word);
