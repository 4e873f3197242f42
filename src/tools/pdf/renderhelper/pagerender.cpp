#include "pagerender.h"

#include "tools/pdf/renderprotocol.h"

#include <QImage>
#include <QPainter>
#include <QPdfDocument>

QImage renderPdfPage(QPdfDocument &doc, int page, double dpi)
{
    if (page < 0 || page >= doc.pageCount()) {
        return {};
    }
    const QSizeF points = doc.pagePointSize(page) * (dpi / kPageDpi);
    const QSize size = renderPixelSize(points);
    if (size.isEmpty()) {
        return {};
    }
    QImage rendered = doc.render(page, size);
    if (rendered.isNull() || rendered.size() != size) {
        return {};
    }
    if (rendered.format() != kPageFormat) {
        rendered.convertTo(kPageFormat);
    }
    // White painted behind the render is the render drawn over white, without a second
    // full-size image.
    QPainter painter(&rendered);
    if (!painter.isActive()) {
        return {};
    }
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
    painter.fillRect(rendered.rect(), Qt::white);
    painter.end();
    return rendered;
}
