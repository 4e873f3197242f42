#include "pagerender.h"

#include <QImage>
#include <QPainter>
#include <QPdfDocument>

#include <cmath>

QSize renderPixelSize(const QSizeF &pointSize, double dpi)
{
    const double width = pointSize.width() * dpi / 72.0;
    const double height = pointSize.height() * dpi / 72.0;
    // Checked before rounding, so qRound never sees a value beyond int.
    if (!std::isfinite(width) || !std::isfinite(height) || width > kMaxRenderSide
        || height > kMaxRenderSide) {
        return {};
    }
    const QSize size(qRound(width), qRound(height));
    if (size.isEmpty() || qint64(size.width()) * size.height() > kMaxRenderPixels) {
        return {};
    }
    return size;
}

QImage renderPage(QPdfDocument &doc, int page, double dpi)
{
    if (page < 0 || page >= doc.pageCount()) {
        return {};
    }
    const QSize size = renderPixelSize(doc.pagePointSize(page), dpi);
    if (size.isEmpty()) {
        return {};
    }
    QImage rendered = doc.render(page, size);
    if (rendered.isNull()) {
        return {};
    }
    // White painted behind the render is the render drawn over white, without a second
    // full-size image.
    QPainter painter(&rendered);
    if (!painter.isActive()) {
        QImage flat(rendered.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter flatPainter(&flat);
        flatPainter.drawImage(0, 0, rendered);
        return flat;
    }
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
    painter.fillRect(rendered.rect(), Qt::white);
    painter.end();
    return rendered;
}
