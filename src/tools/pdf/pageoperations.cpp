#include "pageoperations.h"

#include <QBuffer>
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPen>
#include <QString>
#include <QTransform>

#include <utility>

namespace pdf {

QImage flattenOnWhite(const QImage &page)
{
    if (page.isNull() || !page.hasAlphaChannel()) {
        return page;
    }
    QImage flat(page.size(), QImage::Format_RGB32);
    flat.setDevicePixelRatio(page.devicePixelRatio());
    flat.setDotsPerMeterX(page.dotsPerMeterX());
    flat.setDotsPerMeterY(page.dotsPerMeterY());
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, page);
    painter.end();
    return flat;
}

QImage toPaintableFormat(const QImage &page)
{
    if (page.isNull()) {
        return page;
    }
    switch (page.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGB888:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied:
        return page;
    default:
        return page.convertToFormat(
            page.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    }
}

namespace {

constexpr double kCompressionScale = 0.7;
constexpr int kCompressionQuality = 55;

// Colours and sizes of the marks, in page pixels.
const QColor kCropPreviewColour(24, 95, 165);
const QColor kCropPreviewFill(24, 95, 165, 40);
const QColor kHighlightFill(255, 235, 59, 110);
const QColor kCommentOutline(230, 180, 30);
const QColor kCommentFill(255, 224, 130);
constexpr int kStampPenWidth = 4;
constexpr int kSignaturePenWidth = 4;
constexpr int kSignaturePreviewPenWidth = 3;
constexpr int kStampTextPointSize = 24;

// Far beyond any page, yet safely inside int when rounded.
constexpr double kCoordinateLimit = 1.0e9;

// Both end points are inside, whichever way the drag went (QRect::normalized() would drop them
// from a drag up and to the left, making it two pixels smaller than the same drag down-right).
QRect rectangleBetween(const QPoint &a, const QPoint &b)
{
    return QRect(QPoint(qMin(a.x(), b.x()), qMin(a.y(), b.y())),
        QPoint(qMax(a.x(), b.x()), qMax(a.y(), b.y())));
}

// A copy of page marked by paint, in a format that shows marks in colour (greyscale and palette
// pages would show them in grey, or not at all). Empty for a null page or when painting cannot
// begin.
template <typename Paint> std::optional<QImage> paintedCopy(const QImage &page, const Paint &paint)
{
    if (page.isNull()) {
        return std::nullopt;
    }
    QImage marked = toPaintableFormat(page);
    QPainter painter;
    if (!painter.begin(&marked)) {
        return std::nullopt;
    }
    paint(painter);
    painter.end();
    return marked;
}

// preview marked by paint; false when painting cannot begin or end.
template <typename Paint> bool paintOn(QPaintDevice &preview, const Paint &paint)
{
    QPainter painter;
    if (!painter.begin(&preview)) {
        return false;
    }
    paint(painter);
    return painter.end();
}

void drawStamp(QPainter &painter, StampType type, const QPoint &imgPoint, const QColor &colour,
    const QString &text)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, kStampPenWidth, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.setBrush(Qt::NoBrush);
    const auto at = [&imgPoint](int dx, int dy) {
        return imgPoint + QPoint(dx, dy);
    };
    switch (type) {
    case StampType::Text: {
        QFont font = painter.font();
        font.setPointSize(kStampTextPointSize);
        painter.setFont(font);
        painter.drawText(imgPoint, text);
        break;
    }
    case StampType::X:
        painter.drawLine(at(-15, -15), at(15, 15));
        painter.drawLine(at(-15, 15), at(15, -15));
        break;
    case StampType::Checkmark:
        painter.drawLine(at(-15, 0), at(-5, 15));
        painter.drawLine(at(-5, 15), at(18, -18));
        break;
    case StampType::Circle:
        painter.drawEllipse(imgPoint, 20, 20);
        break;
    case StampType::Line:
        painter.drawLine(at(-25, 0), at(25, 0));
        break;
    case StampType::Dot:
        painter.setBrush(colour);
        painter.drawEllipse(imgPoint, 6, 6);
        break;
    case StampType::Signature:
    case StampType::Comment:
        break;
    }
}

} // namespace

QImage rotatedPage(const QImage &page, Rotation rotation)
{
    QTransform transform;
    transform.rotate(rotation == Rotation::Left ? -90 : 90);
    return page.transformed(transform, Qt::SmoothTransformation);
}

QImage blackAndWhitePage(const QImage &page)
{
    // Dropping alpha without flattening would turn every transparent pixel black.
    return flattenOnWhite(page)
        .convertToFormat(QImage::Format_Grayscale8)
        .convertToFormat(QImage::Format_RGB32);
}

QSize compressionTargetSize(const QSize &pageSize)
{
    // Truncated, not rounded: 90 * 0.7 is 62.99999999999999 in double and gives 62.
    const int width = static_cast<int>(pageSize.width() * kCompressionScale);
    const int height = static_cast<int>(pageSize.height() * kCompressionScale);
    return QSize(qMax(width, 1), qMax(height, 1));
}

std::optional<QImage> compressedPage(const QImage &page)
{
    if (page.isNull()) {
        return std::nullopt;
    }
    // JPEG keeps no alpha: transparent pixels would come back black.
    const QImage scaled = flattenOnWhite(page).scaled(
        compressionTargetSize(page.size()), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (scaled.isNull()) {
        return std::nullopt;
    }
    QBuffer buffer;
    if (!buffer.open(QIODevice::WriteOnly) || !scaled.save(&buffer, "JPEG", kCompressionQuality)) {
        return std::nullopt;
    }
    QImage decoded;
    if (!decoded.loadFromData(buffer.data(), "JPEG") || decoded.isNull()) {
        return std::nullopt;
    }
    return decoded;
}

CompressedPages compressPages(const QList<QImage> &pages)
{
    CompressedPages result;
    result.pages.reserve(pages.size());
    for (const QImage &page : pages) {
        if (std::optional<QImage> compressed = compressedPage(page)) {
            result.pages.append(std::move(*compressed));
            ++result.compressedCount;
        } else {
            result.pages.append(page);
        }
    }
    return result;
}

QPoint viewToImage(const QPoint &viewPoint, const QSize &pageSize, const QSize &shownSize)
{
    if (pageSize.isEmpty() || shownSize.isEmpty()) {
        return QPoint(0, 0);
    }
    const double sx = double(pageSize.width()) / double(shownSize.width());
    const double sy = double(pageSize.height()) / double(shownSize.height());
    const double x = qBound(-kCoordinateLimit, viewPoint.x() * sx, kCoordinateLimit);
    const double y = qBound(-kCoordinateLimit, viewPoint.y() * sy, kCoordinateLimit);
    return QPoint(qRound(x), qRound(y));
}

std::optional<QRect> cropRectangle(
    const QPoint &imgStart, const QPoint &imgEnd, const QSize &pageSize)
{
    // Clipped first: a drag that leaves the view must not add blank borders to the page.
    const QRect clipped =
        rectangleBetween(imgStart, imgEnd).intersected(QRect(QPoint(0, 0), pageSize));
    if (clipped.width() < kMinimumMarkSide || clipped.height() < kMinimumMarkSide) {
        return std::nullopt;
    }
    return clipped;
}

std::optional<QImage> croppedPage(const QImage &page, const QPoint &imgStart, const QPoint &imgEnd)
{
    const std::optional<QRect> rect = cropRectangle(imgStart, imgEnd, page.size());
    if (page.isNull() || !rect) {
        return std::nullopt;
    }
    return page.copy(*rect);
}

std::optional<QRect> highlightRectangle(
    const QPoint &imgStart, const QPoint &imgEnd, const QSize &pageSize)
{
    const QRect rect = rectangleBetween(imgStart, imgEnd);
    if (rect.width() < kMinimumMarkSide || rect.height() < kMinimumMarkSide) {
        return std::nullopt;
    }
    const QRect clipped = rect.intersected(QRect(QPoint(0, 0), pageSize));
    if (clipped.isEmpty()) {
        return std::nullopt;
    }
    return clipped;
}

std::optional<QImage> highlightedPage(
    const QImage &page, const QPoint &imgStart, const QPoint &imgEnd)
{
    const std::optional<QRect> rect = highlightRectangle(imgStart, imgEnd, page.size());
    if (!rect) {
        return std::nullopt;
    }
    return paintedCopy(page, [&rect](QPainter &painter) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(kHighlightFill);
        painter.drawRect(*rect);
    });
}

bool paintCropPreview(QPaintDevice &preview, const QPoint &viewStart, const QPoint &viewEnd)
{
    return paintOn(preview, [&](QPainter &painter) {
        painter.setPen(QPen(kCropPreviewColour, 2, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin));
        painter.setBrush(kCropPreviewFill);
        painter.drawRect(rectangleBetween(viewStart, viewEnd));
    });
}

bool paintHighlightPreview(QPaintDevice &preview, const QPoint &viewStart, const QPoint &viewEnd)
{
    return paintOn(preview, [&](QPainter &painter) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(kHighlightFill);
        painter.drawRect(rectangleBetween(viewStart, viewEnd));
    });
}

std::optional<QImage> stampedPage(const QImage &page, StampType type, const QPoint &imgPoint,
    const QColor &colour, const QString &text)
{
    if (type == StampType::Signature || type == StampType::Comment
        || (type == StampType::Text && text.isEmpty())) {
        return std::nullopt;
    }
    return paintedCopy(
        page, [&](QPainter &painter) { drawStamp(painter, type, imgPoint, colour, text); });
}

std::optional<QImage> signedPage(
    const QImage &page, const QList<QPoint> &points, const QColor &colour)
{
    if (points.size() < 2) {
        return std::nullopt;
    }
    return paintedCopy(page, [&](QPainter &painter) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(
            QPen(colour, kSignaturePenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        // Separate segments; their round caps join them into one stroke.
        for (qsizetype i = 1; i < points.size(); ++i) {
            painter.drawLine(points.at(i - 1), points.at(i));
        }
    });
}

bool paintSignaturePreview(
    QPaintDevice &preview, const QList<QPoint> &points, const QSize &pageSize, const QColor &colour)
{
    if (pageSize.isEmpty()) {
        return false;
    }
    const double fx = double(preview.width()) / double(pageSize.width());
    const double fy = double(preview.height()) / double(pageSize.height());
    const auto scaled = [fx, fy](const QPoint &p) {
        // Truncated toward zero, not rounded, like the view's own integer pixels.
        return QPoint(static_cast<int>(p.x() * fx), static_cast<int>(p.y() * fy));
    };
    return paintOn(preview, [&](QPainter &painter) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(
            QPen(colour, kSignaturePreviewPenWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        for (qsizetype i = 1; i < points.size(); ++i) {
            painter.drawLine(scaled(points.at(i - 1)), scaled(points.at(i)));
        }
    });
}

std::optional<QImage> commentMarkedPage(const QImage &page, const QPoint &imgPoint)
{
    return paintedCopy(page, [&imgPoint](QPainter &painter) {
        painter.setRenderHint(QPainter::Antialiasing);
        const QRect bubble(imgPoint.x(), imgPoint.y() - 22, 26, 20);
        painter.setPen(QPen(kCommentOutline, 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        painter.setBrush(kCommentFill);
        painter.drawRoundedRect(bubble, 4, 4, Qt::AbsoluteSize);
        painter.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        painter.drawText(bubble, Qt::AlignCenter, QStringLiteral("!"));
    });
}

} // namespace pdf
