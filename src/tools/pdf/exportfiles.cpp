#include "exportfiles.h"

#include "common/atomicwrite.h"

#include "pageoperations.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QString>

namespace pdf {

namespace {
// The translation context of this file's texts.
struct ExportFiles
{
    Q_DECLARE_TR_FUNCTIONS(ExportFiles)
};

int decimalDigits(int number)
{
    int digits = 1;
    while (number >= 10) {
        number /= 10;
        ++digits;
    }
    return digits;
}

bool formatKeepsAlpha(const QByteArray &format)
{
    static const QList<QByteArray> keepsAlpha = { "png", "webp", "tif", "tiff", "ico", "cur",
        "icns" };
    return keepsAlpha.contains(format);
}

QString baseNameOrDocument(const QString &currentPath)
{
    return currentPath.isEmpty() ? QStringLiteral("document") : QFileInfo(currentPath).baseName();
}

} // namespace

QString exportPageFileName(int pageNumber, int pageCount)
{
    return QStringLiteral("page_%1.png")
        .arg(pageNumber, decimalDigits(qMax(pageCount, 1)), 10, QLatin1Char('0'));
}

QString suggestedPageImageName(int pageNumber)
{
    return QStringLiteral("page%1.png").arg(pageNumber);
}

QString suggestedSavePath(const QString &currentPath)
{
    if (currentPath.isEmpty()) {
        return QStringLiteral("document.pdf");
    }
    const QFileInfo info(currentPath);
    return info.absolutePath() + QLatin1Char('/') + info.baseName() + QStringLiteral("_edited.pdf");
}

std::pair<QString, QString> splitPartPaths(const QString &folder, const QString &currentPath)
{
    const QString base = baseNameOrDocument(currentPath);
    const QDir dir(folder);
    return { dir.filePath(base + QStringLiteral("_part1.pdf")),
        dir.filePath(base + QStringLiteral("_part2.pdf")) };
}

bool isValidSplitPoint(int afterPage, int pageCount)
{
    return afterPage >= 1 && afterPage <= pageCount - 1;
}

std::pair<QList<QImage>, QList<QImage>> splitPages(const QList<QImage> &pages, int afterPage)
{
    const qsizetype cut = qBound(qsizetype(0), qsizetype(afterPage), pages.size());
    return { pages.mid(0, cut), pages.mid(cut) };
}

bool writePageImage(const QImage &page, const QString &path, QString *errorString)
{
    if (page.isNull()) {
        return reportFailure(errorString, ExportFiles::tr("The page is empty."));
    }
    const QByteArray format = writableImageFormat(path);
    if (format.isEmpty()) {
        return reportFailure(errorString,
            ExportFiles::tr("The name does not end in the suffix of an image format, such as "
                            ".png or .jpg."));
    }
    const QImage image = formatKeepsAlpha(format) ? page : flattenOnWhite(page);
    return writeImageAtomically(path, image, format.constData(), errorString);
}

QList<FileFailure> writeAllPagesAsPng(const QList<QImage> &pages, const QString &folder)
{
    const QDir dir(folder);
    const int count = int(pages.size());
    QList<FileFailure> failures;
    for (int i = 0; i < count; ++i) {
        const QString path = dir.filePath(exportPageFileName(i + 1, count));
        QString error;
        if (!writePageImage(pages.at(i), path, &error)) {
            failures.append({ path, error });
        }
    }
    return failures;
}

} // namespace pdf
