#include "pageio.h"

#include "common/atomicwrite.h"

#include "pageoperations.h"
#include "reading/renderprotocol.h"

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

namespace pdf {

namespace {
// The translation context of this file's texts.
struct PageIo
{
    Q_DECLARE_TR_FUNCTIONS(PageIo)
};

// The physical size of a page image written at kPageDpi, in points, unrounded.
QSizeF pagePointSize(const QSize &pixelSize)
{
    return QSizeF(pixelSize.width() * 72.0 / kPageDpi, pixelSize.height() * 72.0 / kPageDpi);
}

// The writer's page size for a page image: pagePointSize, with a size close to a standard paper
// size in portrait orientation taken as that standard size.
QPageSize writerPageSize(const QSize &pixelSize)
{
    return QPageSize(pagePointSize(pixelSize), QPageSize::Point, QString(), QPageSize::FuzzyMatch);
}

// The pages painted as a PDF. Empty when there are no pages, a page is null, or painting fails.
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

} // namespace

QImage readPageImage(const QString &path)
{
    return toPaintableFormat(QImage(path));
}

bool writePagesAsPdf(const QList<QImage> &pages, const QString &path, QString *errorString)
{
    if (pages.isEmpty()) {
        return reportFailure(errorString, PageIo::tr("There are no pages to write."));
    }
    // Painted in memory first: the PDF writer drops whatever follows a short write to a file
    // without telling anyone, so only a complete document may reach the disk.
    const QByteArray bytes = paintPdf(pages);
    if (bytes.isEmpty()) {
        return reportFailure(errorString, PageIo::tr("The pages could not be made into a PDF."));
    }
    return writeFileAtomically(path, bytes, errorString);
}

} // namespace pdf
