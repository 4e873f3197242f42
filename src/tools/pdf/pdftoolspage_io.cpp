#include "pdftoolspage.h"

#include "pageio.h"
#include "pagelist.h"
#include "pdfreader.h"
#include "pdfreadprogress.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>

namespace {

// "2, 5, 7", the pages numbered from 1; the first twenty of a longer list, then "…".
QString pageNumberList(const QList<int> &pages)
{
    constexpr qsizetype kMaxListed = 20;
    QStringList numbers;
    for (qsizetype i = 0; i < std::min(pages.size(), kMaxListed); ++i) {
        numbers << QString::number(pages.at(i) + 1);
    }
    if (pages.size() > kMaxListed) {
        numbers << QStringLiteral("…");
    }
    return numbers.join(QStringLiteral(", "));
}

} // namespace

bool PdfToolsPage::loadPdf(const QString &path, bool append, int insertAt)
{
    // Every page is rendered before anything changes, so a file that fails half-way (a page too
    // large to hold, a reader that hangs or crashes, a cancel) leaves the document as it was.
    // The limits count the document the pages would join.
    m_readCancelled = false;
    PdfReadOptions options;
    if (append) {
        options.pagesBefore = m_pages.size();
        for (const QImage &page : std::as_const(m_pages)) {
            options.pixelsBefore += qint64(page.width()) * page.height();
        }
    }
    PdfReader reader;
    // Each page's thumbnail is scaled while the other pages are still being read.
    connect(&reader, &PdfReader::pageRead, this,
        [this](const QImage &page) { m_thumbnailCache.prepare(page); });
    PdfReadResult read;
    {
        const PdfReadProgress progress(&reader, QFileInfo(path).fileName(), this);
        read = reader.read(path, options);
    }
    if (!read.ok()) {
        m_thumbnailCache.discardPrepared();
    }
    const auto refuse = [this](const QString &text) {
        QMessageBox::warning(this, tr("mirvale"), text);
        return false;
    };
    switch (read.status) {
    case PdfReadStatus::Read:
        break;
    case PdfReadStatus::Cancelled:
        m_readCancelled = true;
        return false;
    case PdfReadStatus::TooLarge:
        return refuse(
            tr("Could not open %1: the document would have more than %2 pages or more than "
               "%3 GiB of page images.")
                .arg(path, QString::number(kMaxPdfPages),
                    QString::number(kMaxPdfPixels * 4 / (qint64(1) << 30))));
    case PdfReadStatus::TooLargeForMemory:
        return refuse(tr("Could not open %1: its pages would take %2 of memory, and this "
                         "computer has %3 available.")
                          .arg(path, QLocale().formattedDataSize(read.bytesNeeded),
                              QLocale().formattedDataSize(read.bytesAvailable)));
    case PdfReadStatus::PageTooLarge:
        return refuse(tr("Could not open %1: page %2 would be %3 x %4 pixels, larger than a page "
                         "can be.")
                          .arg(path, QString::number(read.largePage + 1),
                              QString::number(read.largePageSize.width()),
                              QString::number(read.largePageSize.height())));
    case PdfReadStatus::HelperNotStarted:
        return refuse(tr("Could not open %1: the PDF reader %2 could not be started.")
                          .arg(path, QDir::toNativeSeparators(pdfRenderHelperPath())));
    case PdfReadStatus::NotOpened:
        return refuse(tr("Could not open: %1").arg(path));
    }
    if (!append) {
        m_pages.clear();
    }
    insertPages(m_pages, read.pages, insertAt);
    if (!append) {
        m_currentPath = path;
    }
    if (!read.blankPages.isEmpty()) {
        QMessageBox::warning(this, tr("mirvale"),
            tr("Some pages of %1 could not be read and came in as white pages: %2.")
                .arg(QFileInfo(path).fileName(), pageNumberList(read.blankPages)));
    }
    return true;
}

bool PdfToolsPage::loadImage(const QString &path, bool append, int insertAt)
{
    const QImage image = readPageImage(path);
    if (image.isNull()) {
        return false;
    }
    if (!append) {
        m_pages.clear();
    }
    insertPages(m_pages, { image }, insertAt);
    return true;
}

bool PdfToolsPage::writePdf(const QList<QImage> &pages, const QString &path)
{
    return writePagesAsPdf(pages, path);
}
