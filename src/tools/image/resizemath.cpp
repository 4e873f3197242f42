#include "resizemath.h"

#include <QDir>
#include <QFileInfo>

namespace image {

std::optional<QSize> parseTargetSize(const QString &width, const QString &height)
{
    bool widthOk = false;
    bool heightOk = false;
    const int w = width.toInt(&widthOk);
    const int h = height.toInt(&heightOk);
    if (!widthOk || !heightOk || w < kMinSide || h < kMinSide) {
        return std::nullopt;
    }
    return QSize(w, h);
}

QSize fittedSize(const QSize &source, const QSize &box, bool keepRatio)
{
    if (!keepRatio || source.isEmpty()) {
        return box;
    }
    const QSize fitted = source.scaled(box, Qt::KeepAspectRatio);
    return QSize(qMax(fitted.width(), 1), qMax(fitted.height(), 1));
}

QSize thumbnailSize(const QSize &source)
{
    return fittedSize(source, QSize(kThumbnailSide, kThumbnailSide), true);
}

bool fitsPixelBudget(const QSize &size)
{
    return size.width() > 0 && size.height() > 0
        && qint64(size.width()) * qint64(size.height()) <= kMaxPixels;
}

QString markedPath(const QString &path, const QString &marker)
{
    const QFileInfo info(path);
    return info.absolutePath() + QLatin1Char('/') + info.baseName() + marker + info.suffix();
}

QString resizedPath(const QString &sourcePath)
{
    return markedPath(sourcePath, QStringLiteral("_resized."));
}

QString thumbnailPath(const QString &savedPath)
{
    return markedPath(savedPath, QStringLiteral("_thumb."));
}

bool isSameFile(const QString &a, const QString &b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.exists() && second.exists()) {
        return first.canonicalFilePath() == second.canonicalFilePath();
    }
    return QDir::cleanPath(first.absoluteFilePath()) == QDir::cleanPath(second.absoluteFilePath());
}

} // namespace image
