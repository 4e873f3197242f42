#include "pdftoolspage.h"

#include "pageio.h"
#include "pagelist.h"
#include "pdfreader.h"

#include <QDir>
#include <QMessageBox>

bool PdfToolsPage::loadPdf(const QString &path, bool append, int insertAt)
{
    // Every page is rendered before anything changes, so a file that fails half-way (a damaged
    // page, a page too large to hold, a reader that hangs or crashes) leaves the document as it
    // was. The limits count the document the pages would join.
    PdfReadOptions options;
    if (append) {
        options.pagesBefore = m_pages.size();
        for (const QImage &page : std::as_const(m_pages)) {
            options.pixelsBefore += qint64(page.width()) * page.height();
        }
    }
    const PdfReadResult read = readPdfPages(path, options);
    switch (read.status) {
    case PdfReadStatus::Read:
        break;
    case PdfReadStatus::TooLarge:
        QMessageBox::warning(this, tr("mirvale"),
            tr("Could not open %1: the document would have more than %2 pages or more than "
               "%3 GiB of page images.")
                .arg(path, QString::number(kMaxPdfPages),
                    QString::number(kMaxPdfPixels * 4 / (qint64(1) << 30))));
        return false;
    case PdfReadStatus::HelperNotStarted:
        QMessageBox::warning(this, tr("mirvale"),
            tr("Could not open %1: the PDF reader %2 could not be started.")
                .arg(path, QDir::toNativeSeparators(pdfRenderHelperPath())));
        return false;
    case PdfReadStatus::NotOpened:
        QMessageBox::warning(this, tr("mirvale"), tr("Could not open: %1").arg(path));
        return false;
    }
    if (!append) {
        m_pages.clear();
    }
    insertPages(m_pages, read.pages, insertAt);
    if (!append) {
        m_currentPath = path;
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
