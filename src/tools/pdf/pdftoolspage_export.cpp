#include "pdftoolspage.h"

#include "exportfiles.h"

#include "common/failurewarning.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

// Saving, exporting and splitting write files only: the pages, the selection, the undo history
// and the current path stay as they were. Merging replaces the document, with a snapshot.

void PdfToolsPage::saveAs()
{
    if (m_pages.isEmpty()) {
        QMessageBox::warning(
            this, tr("mirvale"), tr("Nothing to save — open a PDF or add pages first."));
        return;
    }
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Save As PDF"), pdf::suggestedSavePath(m_currentPath), tr("PDF (*.pdf)"));
    if (path.isEmpty()) {
        return;
    }
    // Written in full before it replaces anything, so a failed save loses no existing file.
    QString error;
    if (!writePdf(m_pages, path, &error)) {
        warnFileFailures(this, tr("mirvale"), tr("Could not save the file."), { { path, error } });
        return;
    }
    // One arg call for all: a path holding "%2" must not take the count's place.
    setStatus(tr("Saved %1 (%2 page(s))").arg(path, QString::number(m_pages.size())));
}

void PdfToolsPage::exportSelectedAsImage()
{
    if (!hasSelectedPage()) {
        return;
    }
    const int pageNumber = m_currentIndex + 1;
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export page"), pdf::suggestedPageImageName(pageNumber), tr("PNG (*.png)"));
    if (path.isEmpty()) {
        return;
    }
    // The file dialog adds no suffix on every platform, and a name without one names no format.
    QString error;
    if (!pdf::writePageImage(m_pages.at(m_currentIndex), path, &error)) {
        warnFileFailures(this, tr("mirvale"), tr("Could not save the file."), { { path, error } });
        return;
    }
    setStatus(tr("Exported page %1 -> %2").arg(pageNumber).arg(path));
}

void PdfToolsPage::exportAllAsImages()
{
    if (m_pages.isEmpty()) {
        return;
    }
    const QString folder = QFileDialog::getExistingDirectory(
        this, tr("Choose output folder"), QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        return;
    }
    const QList<FileFailure> failures = pdf::writeAllPagesAsPng(m_pages, folder);
    const int written = int(m_pages.size() - failures.size());
    // Pages that all fail mostly fail alike: the first tells why.
    if (written == 0) {
        warnFileFailures(
            this, tr("mirvale"), tr("Could not save the file."), { failures.constFirst() });
        return;
    }
    // One arg call for all: a folder holding "%2" must not take the count's place.
    if (written < m_pages.size()) {
        setStatus(tr("Exported %1 of %2 page(s) to %3; the others could not be written")
                      .arg(QString::number(written), QString::number(m_pages.size()), folder));
        return;
    }
    setStatus(tr("Exported %1 page(s) to %2, named page_001.png etc.")
                  .arg(QString::number(written), folder));
}

void PdfToolsPage::mergeFiles()
{
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, tr("Choose PDF files to merge"), QString(), tr("PDF files (*.pdf)"));
    if (paths.isEmpty()) {
        return;
    }
    if (paths.size() == 1) {
        QMessageBox::warning(this, tr("mirvale"), tr("Choose at least two PDF files to merge."));
        return;
    }
    const QList<QImage> before = m_pages;
    const bool merged = changeWithSnapshot([&] {
        m_pages.clear();
        for (const QString &path : paths) {
            loadPdf(path, true, -1); // a file that does not open warns and adds nothing
            if (m_readCancelled) {
                break;
            }
        }
        if (m_readCancelled || m_pages.isEmpty()) {
            m_pages = before;
            return false;
        }
        return true;
    });
    if (!merged) {
        if (!m_readCancelled) {
            QMessageBox::warning(this, tr("mirvale"),
                tr("None of the chosen files could be opened; nothing was merged."));
        }
        return;
    }
    m_currentPath.clear();
    m_currentIndex = 0;
    showChange(tr("Merged %1 files into one document (%2 pages) — Save As to write it out")
                   .arg(paths.size())
                   .arg(m_pages.size()));
}

void PdfToolsPage::splitDocument()
{
    const int pageCount = int(m_pages.size());
    if (pageCount < 2) {
        QMessageBox::warning(
            this, tr("mirvale"), tr("Open a document with at least 2 pages first."));
        return;
    }
    bool accepted = false;
    const int afterPage = QInputDialog::getInt(this, tr("Split document"),
        tr("Split after which page? (1-%1)").arg(pageCount - 1), 1, 1, pageCount - 1, 1, &accepted);
    if (!accepted || !pdf::isValidSplitPoint(afterPage, pageCount)) {
        return;
    }
    const QString folder = QFileDialog::getExistingDirectory(
        this, tr("Choose a folder to save both parts"), QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) {
        return;
    }
    const auto [firstPath, secondPath] = pdf::splitPartPaths(folder, m_currentPath);
    const auto [firstPart, secondPart] = pdf::splitPages(m_pages, afterPage);
    // The second part is written even when the first fails.
    QList<FileFailure> failures;
    QString error;
    if (!writePdf(firstPart, firstPath, &error)) {
        failures.append({ firstPath, error });
    }
    if (!writePdf(secondPart, secondPath, &error)) {
        failures.append({ secondPath, error });
    }
    if (!failures.isEmpty()) {
        warnFileFailures(this, tr("mirvale"), tr("Could not write one or both files."), failures);
        return;
    }
    setStatus(tr("Split into %1 (%2 pages) and %3 (%4 pages)")
                  .arg(QFileInfo(firstPath).fileName(), QString::number(afterPage),
                      QFileInfo(secondPath).fileName(), QString::number(pageCount - afterPage)));
}
