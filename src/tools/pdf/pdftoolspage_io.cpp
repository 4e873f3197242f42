#include "pdftoolspage.h"

#include "pageio.h"
#include "pagelist.h"
#include "reading/pdfreader.h"
#include "reading/pdfreadprogress.h"

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
    pdf::PdfReadOptions options;
    if (append) {
        options.pagesBefore = m_pages.size();
        for (const QImage &page : std::as_const(m_pages)) {
            options.pixelsBefore += qint64(page.width()) * page.height();
        }
    }
    pdf::PdfReader reader;
    // Each page's thumbnail is scaled while the other pages are still being read.
    connect(&reader, &pdf::PdfReader::pageRead, this,
        [this](const QImage &page) { m_thumbnailCache.prepare(page); });
    pdf::PdfReadResult read;
    {
        const pdf::PdfReadProgress progress(&reader, QFileInfo(path).fileName(), this);
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
    case pdf::PdfReadStatus::Read:
        break;
    case pdf::PdfReadStatus::Cancelled:
        m_readCancelled = true;
        return false;
    case pdf::PdfReadStatus::TooLarge:
        return refuse(
            tr("Could not open %1: the document would have more than %2 pages or more than "
               "%3 GiB of page images.")
                .arg(path, QString::number(pdf::kMaxPdfPages),
                    QString::number(pdf::kMaxPdfPixels * 4 / (qint64(1) << 30))));
    case pdf::PdfReadStatus::TooLargeForMemory:
        return refuse(tr("Could not open %1: its pages would take %2 of memory, and this "
                         "computer has %3 available.")
                          .arg(path, QLocale().formattedDataSize(read.bytesNeeded),
                              QLocale().formattedDataSize(read.bytesAvailable)));
    case pdf::PdfReadStatus::PageTooLarge:
        return refuse(tr("Could not open %1: page %2 would be %3 x %4 pixels, larger than a page "
                         "can be.")
                          .arg(path, QString::number(read.largePage + 1),
                              QString::number(read.largePageSize.width()),
                              QString::number(read.largePageSize.height())));
    case pdf::PdfReadStatus::TookTooLong:
        return refuse(tr("Could not open %1: reading it took too long.").arg(path));
    case pdf::PdfReadStatus::OutOfMemory:
        return refuse(
            tr("Could not open %1: this computer has not enough memory to read it.").arg(path));
    case pdf::PdfReadStatus::HelperNotStarted:
        return refuse(tr("Could not open %1: the PDF reader %2 could not be started.")
                          .arg(path, QDir::toNativeSeparators(pdf::pdfRenderHelperPath())));
    case pdf::PdfReadStatus::NotOpened:
        return refuse(tr("Could not open: %1").arg(path));
    }
    if (!append) {
        m_pages.clear();
    }
    pdf::insertPages(m_pages, read.pages, insertAt);
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
    const QImage image = pdf::readPageImage(path);
    if (image.isNull()) {
        return false;
    }
    if (!append) {
        m_pages.clear();
    }
    pdf::insertPages(m_pages, { image }, insertAt);
    return true;
}

bool PdfToolsPage::writePdf(const QList<QImage> &pages, const QString &path, QString *errorString)
{
    return pdf::writePagesAsPdf(pages, path, errorString);
}
