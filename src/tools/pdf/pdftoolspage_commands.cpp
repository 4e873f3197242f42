#include "pdftoolspage.h"

#include "pageoperations.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QToolButton>

namespace {

// Only the name decides: report.PDF is a PDF, notes.pdf.png an image.
bool isPdfPath(const QString &path)
{
    return path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
}

} // namespace

bool PdfToolsPage::hasSelectedPage() const
{
    return m_currentIndex >= 0 && m_currentIndex < m_pages.size();
}

void PdfToolsPage::showChange(const QString &status)
{
    refreshThumbnails();
    showCurrentPage();
    setStatus(status);
}

void PdfToolsPage::replaceSelectedPage(const QImage &page, const QString &status)
{
    pushUndo();
    m_pages[m_currentIndex] = page;
    showChange(status);
}

bool PdfToolsPage::loadPageFile(const QString &path, int insertAt)
{
    m_readCancelled = false;
    if (isPdfPath(path)) {
        return loadPdf(path, true, insertAt); // warns by itself
    }
    if (loadImage(path, true, insertAt)) {
        return true;
    }
    // An image that gives nothing is as much a failure to the user as a PDF that does not open.
    QMessageBox::warning(this, tr("mirvale"), tr("Could not open: %1").arg(path));
    return false;
}

bool PdfToolsPage::changeWithSnapshot(const std::function<bool()> &change)
{
    // The whole history is kept, not just the snapshot taken off again: pushing may have dropped
    // the oldest one.
    const QList<QList<QImage>> history = m_undoStack;
    pushUndo();
    if (change()) {
        return true;
    }
    m_undoStack = history;
    m_undoButton->setEnabled(!m_undoStack.isEmpty());
    return false;
}

void PdfToolsPage::openDocument()
{
    const QString path =
        QFileDialog::getOpenFileName(this, tr("Open PDF"), QString(), tr("PDF files (*.pdf)"));
    if (path.isEmpty()) {
        return;
    }
    // The history goes only once the new document is in: a file that does not open keeps it.
    if (!loadPdf(path, false, -1)) {
        return;
    }
    m_undoStack.clear();
    m_undoButton->setEnabled(false);
    m_currentIndex = m_pages.isEmpty() ? -1 : 0;
    // One arg call for all: a name holding "%2" must not take the count's place.
    showChange(tr("Opened %1 (%2 pages)")
                   .arg(QFileInfo(path).fileName(), QString::number(m_pages.size())));
}

void PdfToolsPage::addPagesAtEnd()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, tr("Add pages"), QString(), tr("PDF and images (*.pdf *.png *.jpg *.jpeg *.bmp)"));
    if (paths.isEmpty()) {
        return;
    }
    const QList<QImage> before = m_pages;
    const bool added = changeWithSnapshot([&] {
        for (const QString &path : paths) {
            loadPageFile(path, -1);
            if (m_readCancelled) {
                m_pages = before;
                break;
            }
        }
        return m_pages.size() != before.size();
    });
    if (!added) {
        return;
    }
    if (!hasSelectedPage()) {
        m_currentIndex = 0;
    }
    showChange(
        tr("Added %1 file(s) — document now has %2 page(s)").arg(paths.size()).arg(m_pages.size()));
}

void PdfToolsPage::insertPageAfterSelected()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Insert page after selected"),
        QString(), tr("PDF and images (*.pdf *.png *.jpg *.jpeg *.bmp)"));
    if (path.isEmpty()) {
        return;
    }
    const int insertAt = hasSelectedPage() ? m_currentIndex + 1 : int(m_pages.size());
    const qsizetype countBefore = m_pages.size();
    // A cancelled reading adds nothing.
    const bool inserted = changeWithSnapshot([&] {
        loadPageFile(path, insertAt);
        return m_pages.size() != countBefore;
    });
    if (!inserted) {
        return;
    }
    m_currentIndex = insertAt;
    showChange(tr("Inserted after page %1").arg(insertAt));
}

void PdfToolsPage::rotateSelectedLeft()
{
    rotateSelected(pdf::Rotation::Left);
}

void PdfToolsPage::rotateSelectedRight()
{
    rotateSelected(pdf::Rotation::Right);
}

void PdfToolsPage::rotateSelected(pdf::Rotation direction)
{
    if (!hasSelectedPage()) {
        return;
    }
    const int page = m_currentIndex + 1;
    replaceSelectedPage(pdf::rotatedPage(m_pages.at(m_currentIndex), direction),
        direction == pdf::Rotation::Left ? tr("Rotated page %1 left").arg(page)
                                         : tr("Rotated page %1 right").arg(page));
}

void PdfToolsPage::removeSelected()
{
    if (!hasSelectedPage()) {
        return;
    }
    if (m_pages.size() == 1) {
        QMessageBox::warning(
            this, tr("mirvale"), tr("Can't remove the only page in the document."));
        return;
    }
    pushUndo();
    const int removed = m_currentIndex + 1;
    m_pages.removeAt(m_currentIndex);
    if (m_currentIndex >= m_pages.size()) {
        m_currentIndex = int(m_pages.size()) - 1;
    }
    showChange(tr("Removed page %1 — %2 page(s) left (Undo to bring it back)")
                   .arg(removed)
                   .arg(m_pages.size()));
}

void PdfToolsPage::toggleBlackAndWhiteSelected()
{
    if (!hasSelectedPage()) {
        return;
    }
    replaceSelectedPage(pdf::blackAndWhitePage(m_pages.at(m_currentIndex)),
        tr("Converted page %1 to black & white (Undo to revert)").arg(m_currentIndex + 1));
}

void PdfToolsPage::compressDocument()
{
    if (m_pages.isEmpty()) {
        return;
    }
    // A page that cannot pass through JPEG stays as it was; it is never lost. Compressing shows
    // nothing meanwhile, so the snapshot can wait until a page did change.
    const pdf::CompressedPages result = pdf::compressPages(m_pages);
    if (result.compressedCount == 0) {
        QMessageBox::warning(this, tr("mirvale"), tr("Could not compress any page."));
        return;
    }
    pushUndo();
    m_pages = result.pages;
    showChange(result.compressedCount < m_pages.size()
            ? tr("Compressed %1 of %2 page(s); the others could not be compressed and stay as "
                 "they were (Undo to revert) — save to write the result to disk")
                  .arg(result.compressedCount)
                  .arg(m_pages.size())
            : tr("Compressed all %1 page(s) (Undo to revert) — save to write the result to disk")
                  .arg(m_pages.size()));
}
