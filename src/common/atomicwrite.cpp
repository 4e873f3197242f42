#include "atomicwrite.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

namespace {
// The translation context of this file's texts.
struct AtomicWrite
{
    Q_DECLARE_TR_FUNCTIONS(AtomicWrite)
};

// Why writing to file failed. A write cut short by a full disk or a file size limit leaves the
// file with no reason but the default one, which tells the user nothing.
QString writeFailure(const QSaveFile &file)
{
    if (file.errorString() != QFile().errorString()) {
        return file.errorString();
    }
    return AtomicWrite::tr("Not every byte could be written; the disk may be full.");
}
} // namespace

bool reportFailure(QString *errorString, const QString &text)
{
    if (errorString) {
        *errorString = text;
    }
    return false;
}

QByteArray writableImageFormat(const QString &path)
{
    // A QSaveFile is no QFile, so a writer given one cannot read the suffix itself.
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format)) {
        return QByteArray();
    }
    return format;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *errorString)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return reportFailure(errorString, file.errorString());
    }
    // The flush is checked here: QSaveFile's commit does not look at it, so a small file cut
    // short by a full disk would replace the old one and be reported written.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString error = writeFailure(file);
        file.cancelWriting();
        return reportFailure(errorString, error);
    }
    if (!file.commit()) {
        return reportFailure(errorString, file.errorString());
    }
    return true;
}

bool writeImageAtomically(
    const QString &path, const QImage &image, const char *format, QString *errorString)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image)) {
        return reportFailure(errorString, writer.errorString());
    }
    buffer.close();
    return writeFileAtomically(path, bytes, errorString);
}
