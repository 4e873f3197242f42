#include "pageio.h"

#include "common/atomicwrite.h"
#include "pdfpagetree.h"

#include "pageoperations.h"

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>

#include <cmath>

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("PageIo", text);
}

void setError(QString *errorString, const QString &text)
{
    if (errorString) {
        *errorString = text;
    }
}

} // namespace

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
        return flattenOnWhite(rendered);
    }
    painter.setCompositionMode(QPainter::CompositionMode_DestinationOver);
    painter.fillRect(rendered.rect(), Qt::white);
    painter.end();
    return rendered;
}

PdfReadResult readPdfPages(const QString &path)
{
    // A folder, a device or a pipe is no document (and opening a pipe waits for a writer).
    if (!QFileInfo(path).isFile()) {
        return {};
    }
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        const qint64 size = file.size();
        const uchar *mapped = size > 0 ? file.map(0, size) : nullptr;
        const QByteArray bytes = mapped
            ? QByteArray::fromRawData(reinterpret_cast<const char *>(mapped), qsizetype(size))
            : file.readAll();
        if (pdfPageTreeMayLoop(bytes)) {
            return {};
        }
    }

    // Local, so the file is closed again before anyone writes over it.
    QPdfDocument doc;
    if (doc.load(path) != QPdfDocument::Error::None) {
        return {};
    }
    PdfReadResult result;
    const int count = doc.pageCount();
    if (count > kMaxPdfPages) {
        return {};
    }
    // Sizes first: a document too large to hold is refused before any page is rendered.
    qint64 pixels = 0;
    for (int page = 0; page < count; ++page) {
        const QSize size = renderPixelSize(doc.pagePointSize(page), kPageDpi);
        pixels += qint64(size.width()) * size.height();
        if (size.isEmpty() || pixels > kMaxPdfPixels) {
            return {};
        }
    }
    result.pages.reserve(count);
    for (int page = 0; page < count; ++page) {
        const QImage image = renderPage(doc, page, kPageDpi);
        if (image.isNull()) {
            return {};
        }
        result.pages.append(image);
    }
    result.ok = true;
    return result;
}

QImage readPageImage(const QString &path)
{
    return toPaintableFormat(QImage(path));
}

QSizeF pagePointSize(const QSize &pixelSize)
{
    return QSizeF(pixelSize.width() * 72.0 / kPageDpi, pixelSize.height() * 72.0 / kPageDpi);
}

QPageSize writerPageSize(const QSize &pixelSize)
{
    return QPageSize(pagePointSize(pixelSize), QPageSize::Point, QString(), QPageSize::FuzzyMatch);
}

QByteArray paintPdf(const QList<QImage> &pages)
{
    if (pages.isEmpty()) {
        return {};
    }
    for (const QImage &page : pages) {
        if (page.isNull()) {
            return {};
        }
    }

    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) {
        return {};
    }
    QPdfWriter writer(&buffer);
    writer.setResolution(int(kPageDpi));

    QPainter painter;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const QImage &page = pages.at(i);
        // Size and margins are set before the page begins: they apply from the next page on.
        // No margins: the image covers its whole page, so a page opened and saved again keeps
        // its size and its content keeps its scale, however often that is done.
        if (!writer.setPageSize(writerPageSize(page.size()))
            || !writer.setPageMargins(QMarginsF(), QPageLayout::Point)) {
            return {};
        }
        const bool begun = i == 0 ? painter.begin(&writer) : writer.newPage();
        if (!begun) {
            return {};
        }
        painter.drawImage(QRect(0, 0, writer.width(), writer.height()), page);
    }
    if (!painter.end()) {
        return {};
    }
    return bytes;
}

bool writePagesAsPdf(const QList<QImage> &pages, const QString &path, QString *errorString)
{
    if (pages.isEmpty()) {
        setError(errorString, tr("There are no pages to write."));
        return false;
    }
    // Painted in memory first: the PDF writer drops whatever follows a short write to a file
    // without telling anyone, so only a complete document may reach the disk.
    const QByteArray bytes = paintPdf(pages);
    if (bytes.isEmpty()) {
        setError(errorString, tr("The pages could not be made into a PDF."));
        return false;
    }
    return writeFileAtomically(path, bytes, errorString);
}
