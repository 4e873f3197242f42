#pragma once

#include <QImage>
#include <QString>

// Reading and writing the resizer's image files.
namespace image {

struct LoadResult
{
    QImage image; // null when the file did not load
    QString error;
};

// Reads the image at path in whatever format Qt's image reader finds for it. An image larger
// than the resizer handles is refused before its pixels are decoded.
LoadResult load(const QString &path);

struct SaveResult
{
    bool ok = false;
    QString error;
};

// Writes image to path in the format its suffix names (png, jpg, jpeg, bmp, ...), at the
// writer's default quality. The file is replaced only once the whole image is written, so a
// failed write leaves an existing file as it was.
SaveResult save(const QImage &image, const QString &path);

} // namespace image
