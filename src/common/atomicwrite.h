#pragma once

#include <QByteArray>
#include <QString>

class QImage;

// Puts text into *errorString when the caller asked for the reason, and returns false, so a
// failing step can end with `return reportFailure(errorString, text);`.
bool reportFailure(QString *errorString, const QString &text);

// The image format that path's suffix names, in lower case ("png", "jpg", "bmp"...), or empty
// when the suffix names no format Qt can write.
QByteArray writableImageFormat(const QString &path);

// Writes bytes to path all or nothing: an existing file is replaced only once every byte has
// reached the disk, and is left as it was otherwise. False with the reason on failure.
bool writeFileAtomically(
    const QString &path, const QByteArray &bytes, QString *errorString = nullptr);

// Encodes the image in format ("PNG", "JPEG", ...) in memory, then writes it as above.
bool writeImageAtomically(
    const QString &path, const QImage &image, const char *format, QString *errorString = nullptr);
