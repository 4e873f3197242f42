#pragma once

#include <QSize>
#include <QString>
#include <QtGlobal>

#include <optional>

// Target sizes and file names of the image resizer, free of widgets and files.
namespace image {

// What the width and height fields let a user type; a side filled in from a loaded image may be
// larger.
constexpr int kMinSide = 1;
constexpr int kMaxSide = 20000;
// Largest image the resizer reads: 64 Mi pixels, 256 MiB at four bytes a pixel (the bound Qt's
// image reader keeps by default), so a 48-megapixel photo loads while a small file that claims
// to be huge is refused before it is decoded.
constexpr qint64 kMaxPixels = qint64(64) * 1024 * 1024;
constexpr int kThumbnailSide = 160;

// The width and height in the fields, parsed as decimal integers; nothing when either does not
// parse or is not positive. There is no upper bound: whether an image of that size can be made
// is known only once it is tried.
std::optional<QSize> parseTargetSize(const QString &width, const QString &height);

// The size a source gets for the target box: the box itself, or with proportions kept the
// largest size within the box that keeps the source's proportions (as Qt rounds it), never
// below one pixel a side so a very thin image still gives an image.
QSize fittedSize(const QSize &source, const QSize &box, bool keepRatio);

// The thumbnail's size: the source fitted with its proportions into 160 x 160.
QSize thumbnailSize(const QSize &source);

// Whether an image of this size stays within kMaxPixels, the bound on images read.
bool fitsPixelBudget(const QSize &size);

// path's folder, "/", its name up to the first dot, marker and the part after its last dot:
// "/a/b.c.png" with "_resized." gives "/a/b_resized.png", "/a/scan" gives "/a/scan_resized.".
QString markedPath(const QString &path, const QString &marker);

// The name proposed for the resized copy of sourcePath.
QString resizedPath(const QString &sourcePath);

// Where the thumbnail of an image saved at savedPath goes.
QString thumbnailPath(const QString &savedPath);

// Whether the two paths name the same file (through links when both exist).
bool isSameFile(const QString &a, const QString &b);

} // namespace image
