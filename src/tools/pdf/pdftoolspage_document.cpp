#include "pdftoolspage.h"

#include "pagelist.h"

#include <QLabel>
#include <QMessageBox>
#include <QToolButton>

void PdfToolsPage::pushUndo()
{
    pdf::pushSnapshot(m_undoStack, m_pages);
    m_undoButton->setEnabled(true);
}

void PdfToolsPage::undo()
{
    if (m_undoStack.isEmpty()) {
        return;
    }
    m_pages = m_undoStack.takeLast();
    m_currentIndex = pdf::selectionWithin(m_currentIndex, int(m_pages.size()));
    m_undoButton->setEnabled(!m_undoStack.isEmpty());
    showChange(tr("Undid last action"));
}

void PdfToolsPage::closeDocument()
{
    if (!m_pages.isEmpty()) {
        const auto answer = QMessageBox::question(this, tr("Close"),
            tr("Close the current document? Any unsaved changes will be lost."),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            return;
        }
    }
    m_pages.clear();
    m_undoStack.clear();
    m_undoButton->setEnabled(false);
    m_currentIndex = -1;
    m_currentPath.clear();
    showChange(tr("Closed. Open a PDF (or add images) to start editing."));
}

void PdfToolsPage::setStatus(const QString &text)
{
    m_statusLabel->setText(text);
}
