#include "pagerender.h"

#include "tools/pdf/reading/renderprotocol.h"

#include <QIODevice>
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

qint64 largestCountClaim(QIODevice &file)
{
    // "/Count", white space, then digits; a chunk keeps the end of the one before, so that no
    // claim is cut in two. Claims saturate far above any bound.
    constexpr qsizetype kChunk = 1 << 20;
    constexpr qsizetype kKept = 64;
    constexpr qint64 kSaturated = qint64(1) << 40;
    const auto isWhiteSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\0';
    };
    qint64 largest = 0;
    QByteArray text;
    file.seek(0);
    for (QByteArray chunk; !(chunk = file.read(kChunk)).isEmpty();) {
        text = text.right(kKept) + chunk;
        for (qsizetype at = text.indexOf("/Count"); at >= 0; at = text.indexOf("/Count", at + 1)) {
            qsizetype digit = at + 6;
            while (digit < text.size() && isWhiteSpace(text.at(digit))) {
                ++digit;
            }
            qint64 claim = 0;
            for (; digit < text.size() && text.at(digit) >= '0' && text.at(digit) <= '9'; ++digit) {
                claim = std::min(claim * 10 + (text.at(digit) - '0'), kSaturated);
            }
            largest = std::max(largest, claim);
        }
    }
    file.seek(0);
    return largest;
}

} // namespace pdf
