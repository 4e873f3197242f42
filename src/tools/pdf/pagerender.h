#pragma once

#include <QSize>
#include <QSizeF>

class QImage;
class QPdfDocument;

// Rendering one PDF page as the program holds it. Shared by the program and its render helper,
// which link nothing else of each other: only Qt Gui and Qt Pdf here.

// One resolution serves both directions: a page of w x h points is rendered as w x 200 / 72 by
// h x 200 / 72 pixels, and an image is written as a page of its pixels x 72 / 200 points.
constexpr double kPageDpi = 200.0;

// The largest page rendered: 16384 pixels a side (about 80 inches at 200 dpi) and 100 million
// pixels (400 MB). Larger sizes would make allocations fail or swamp the machine.
constexpr int kMaxRenderSide = 16384;
constexpr qint64 kMaxRenderPixels = 100'000'000;

// The pixel size of a page of pointSize rendered at dpi: each side rounded half away from zero.
// An empty size when the page is empty or larger than the limits above.
QSize renderPixelSize(const QSizeF &pointSize, double dpi);

// Page page of an opened document rendered at dpi on white (pages render with a transparent
// background, which would turn black wherever alpha is later dropped). The image keeps the
// renderer's format but is opaque. Null when the page cannot be rendered.
QImage renderPage(QPdfDocument &doc, int page, double dpi);
