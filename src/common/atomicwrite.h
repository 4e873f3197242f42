#pragma once

#include <QString>

class QByteArray;
class QImage;

// Writes bytes to path all or nothing: an existing file is replaced only once every byte has
// reached the disk, and is left as it was otherwise. False with the reason on failure.
bool writeFileAtomically(
    const QString &path, const QByteArray &bytes, QString *errorString = nullptr);

// Encodes the image in format ("PNG", "JPEG", ...) in memory, then writes it as above.
bool writeImageAtomically(
    const QString &path, const QImage &image, const char *format, QString *errorString = nullptr);
