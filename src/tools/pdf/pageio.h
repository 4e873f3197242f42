#pragma once

#include <QList>
#include <QString>

class QImage;

namespace pdf {

// Reading image files into page images, and writing page images as a PDF. No widget here: the
// page shows what went wrong. PDFs are read by pdfreader.h.

// The image file at path as a page, its format detected from the content. Images that cannot be
// painted in colour (1-bit, indexed, greyscale, alpha-only) come as 32-bit RGB, with alpha when
// they have it. Null when the file gives no image.
QImage readPageImage(const QString &path);

// The pages written as a PDF at path, one image per page, each page sized to its image at
// kPageDpi (a size close to a standard paper size in portrait orientation taken as that size) and
// the image drawn over the whole page. The file is replaced only once every byte is written, so a
// failed write leaves an existing file as it was; nothing is touched for an empty list or a null
// page. On failure returns false and says why in errorString.
bool writePagesAsPdf(const QList<QImage> &pages, const QString &path, QString *errorString);

} // namespace pdf
