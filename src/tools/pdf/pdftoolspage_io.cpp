#include "pdftoolspage.h"

#include "pageio.h"
#include "pagelist.h"

#include <QMessageBox>

bool PdfToolsPage::loadPdf(const QString &path, bool append, int insertAt)
{
    // Every page is rendered before anything changes, so a file that fails half-way (a damaged
    // page, a page too large to hold) leaves the document as it was.
    const PdfReadResult read = readPdfPages(path);
    if (!read.ok) {
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

QImage PdfToolsPage::renderPdfPage(QPdfDocument &doc, int page, double dpi)
{
    return renderPage(doc, page, dpi);
}

bool PdfToolsPage::writePdf(const QList<QImage> &pages, const QString &path)
{
    return writePagesAsPdf(pages, path);
}
