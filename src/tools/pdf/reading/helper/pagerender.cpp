#include "pagerender.h"

#include "tools/pdf/reading/renderprotocol.h"

#include <QImage>
#include <QPdfDocument>

#include <algorithm>

namespace pdf {

QImage renderPdfPage(QPdfDocument &doc, int page, double dpi)
{
    if (page < 0 || page >= doc.pageCount()) {
        return {};
    }
    const QSizeF points = doc.pagePointSize(page) * (dpi / kPageDpi);
    const QSize size = renderPixelSize(points);
    if (!isRenderableSize(size)) {
        return {};
    }
    QImage rendered = doc.render(page, size);
    if (rendered.isNull() || rendered.size() != size) {
        return {};
    }
    if (rendered.format() != kPageFormat) {
        rendered.convertTo(kPageFormat);
    }
    return rendered;
}

void rowOnWhite(const QImage &page, int row, int width, quint32 *out)
{
    if (page.isNull()) {
        std::fill(out, out + width, 0xffffffffu);
        return;
    }
    // Not premultiplied: each colour is weighed by alpha against white's 255.
    const auto *in = reinterpret_cast<const quint32 *>(page.constScanLine(row));
    for (int x = 0; x < width; ++x) {
        const quint32 pixel = in[x];
        const quint32 alpha = pixel >> 24;
        if (alpha == 255) {
            out[x] = pixel;
        } else if (alpha == 0) {
            out[x] = 0xffffffffu;
        } else {
            const quint32 white = 255 * (255 - alpha) + 127;
            const quint32 red = (((pixel >> 16) & 0xff) * alpha + white) / 255;
            const quint32 green = (((pixel >> 8) & 0xff) * alpha + white) / 255;
            const quint32 blue = ((pixel & 0xff) * alpha + white) / 255;
            out[x] = 0xff000000u | (red << 16) | (green << 8) | blue;
        }
    }
}

} // namespace pdf
