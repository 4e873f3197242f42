#include "imagefiles.h"

#include "common/atomicwrite.h"

#include "resizemath.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>

namespace image {

namespace {
// The translation context of this file's texts, which the page shows in its warnings.
class ImageFile
{
    Q_DECLARE_TR_FUNCTIONS(ImageFile)
};

// Same bound as the resizer's pixel budget at four bytes a pixel, in the reader's megabytes.
constexpr int kReaderAllocationLimitMb = int(kMaxPixels * 4 / (1024 * 1024));
} // namespace

LoadResult load(const QString &path)
{
    QImageReader reader(path);
    reader.setAllocationLimit(kReaderAllocationLimitMb);
    // The header alone says how large the image claims to be; refuse a huge one before any
    // decoder allocates for it.
    const QSize declared = reader.size();
    if (declared.isValid() && !fitsPixelBudget(declared)) {
        return { QImage(),
            ImageFile::tr("image of %1 x %2 pixels is too large")
                .arg(declared.width())
                .arg(declared.height()) };
    }
    LoadResult result;
    result.image = reader.read();
    if (result.image.isNull()) {
        result.error = reader.errorString();
    } else if (!fitsPixelBudget(result.image.size())) {
        result.image = QImage();
        result.error = ImageFile::tr("image is too large");
    } else if (result.image.depth() == 1) {
        // Qt scales a one-bit image into a one-bit image, which turns the two colours of a small
        // palette into a black and white pattern; such an image is widened once, here.
        result.image = result.image.convertToFormat(
            result.image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (result.image.isNull()) {
            result.error = ImageFile::tr("not enough memory to read the image");
        }
    }
    return result;
}

SaveResult save(const QImage &image, const QString &path)
{
    if (image.isNull()) {
        return { false, ImageFile::tr("no image to write") };
    }
    const QByteArray format = writableImageFormat(path);
    if (format.isEmpty()) {
        return { false,
            ImageFile::tr("no image format is written for the suffix \"%1\"")
                .arg(QFileInfo(path).suffix()) };
    }
    QString error;
    const bool written = writeImageAtomically(path, image, format.constData(), &error);
    return { written, error };
}

} // namespace image
