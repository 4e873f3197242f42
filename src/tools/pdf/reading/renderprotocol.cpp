#include "renderprotocol.h"

#include <QSizeF>

#include <algorithm>
#include <cmath>

namespace pdf {

QString describeHelperExit(int code)
{
    switch (HelperExit(code)) {
    case HelperExit::Done:
        return QStringLiteral("done");
    case HelperExit::Usage:
        return QStringLiteral("wrong arguments");
    case HelperExit::NotLoaded:
        return QStringLiteral("the file could not be loaded");
    case HelperExit::NotWritten:
        return QStringLiteral("the page area could not be written");
    }
    return QStringLiteral("exit status %1").arg(code);
}

QSize renderPixelSize(const QSizeF &pointSize)
{
    const double width = pointSize.width() * kPageDpi / 72.0;
    const double height = pointSize.height() * kPageDpi / 72.0;
    if (!std::isfinite(width) || !std::isfinite(height)) {
        return {};
    }
    // Bounded before rounding, so qRound never sees a value beyond int.
    const QSize size(qRound(std::min(width, double(kMaxProtocolNumber))),
        qRound(std::min(height, double(kMaxProtocolNumber))));
    return size.isEmpty() ? QSize() : size;
}

bool isRenderableSize(const QSize &size)
{
    return !size.isEmpty() && size.width() <= kMaxRenderSide && size.height() <= kMaxRenderSide
        && qint64(size.width()) * size.height() <= kMaxRenderPixels;
}

QSize pageAreaSize(const QSize &reported)
{
    return reported.isEmpty() ? kUnsizedPageSize : reported;
}

qint64 pageBytes(const QSize &size)
{
    return qint64(size.width()) * size.height() * kPageBytesPerPixel;
}

PageAreaLayout pageAreaLayout(const QList<QSize> &sizes)
{
    PageAreaLayout layout;
    layout.offsets.reserve(sizes.size());
    for (const QSize &size : sizes) {
        layout.offsets.append(layout.bytes);
        // At most kMaxRenderPixels * 4 bytes a page and a few thousand pages: far from overflow.
        layout.bytes += (pageBytes(size) + kPageAlignment - 1) / kPageAlignment * kPageAlignment;
    }
    return layout;
}

QString descriptorArgument(int descriptor)
{
    return QStringLiteral("fd:%1").arg(descriptor);
}

std::optional<int> descriptorFromArgument(const QString &argument)
{
    if (!argument.startsWith(QLatin1String("fd:"))) {
        return std::nullopt;
    }
    return parseProtocolNumber(argument.mid(3).toLatin1());
}

std::optional<int> parseProtocolNumber(const QByteArray &word)
{
    if (word.isEmpty() || word.size() > 9) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : word) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace pdf
