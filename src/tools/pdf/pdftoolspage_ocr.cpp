#include "pdftoolspage.h"

#include "ocrengine.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTextEdit>

// Text recognition of the selected page. The page is only read; the text goes to the panel.

void PdfToolsPage::runOcr()
{
    if (!hasSelectedPage()) {
        QMessageBox::warning(this, tr("mirvale"), tr("Select a page first."));
        return;
    }
    m_ocrPanel->show();
    m_ocrText->setPlainText(tr("Recognizing text..."));
    // Paints the panel before recognition blocks the event loop.
    QCoreApplication::processEvents();

    // Those events may have run a waiting "Close" or "Remove page": read only a page that is
    // still there.
    if (!hasSelectedPage() || m_pages.at(m_currentIndex).isNull()) {
        m_ocrText->clear();
        return;
    }
    const int pageNumber = m_currentIndex + 1;
    const QImage page = m_pages.at(m_currentIndex);
    const pdf::OcrEngine::Result result = pdf::OcrEngine().recognize(page);

    switch (result.outcome) {
    case pdf::OcrEngine::Outcome::Recognized:
        m_ocrText->setPlainText(result.text);
        setStatus(tr("Recognized text from page %1 — edit or copy it from the panel below.")
                      .arg(pageNumber));
        break;
    case pdf::OcrEngine::Outcome::EngineNotStarted:
        m_ocrText->setPlainText(pdf::OcrEngine::engineNotStartedMessage());
        break;
    case pdf::OcrEngine::Outcome::NoPage:
        m_ocrText->clear();
        break;
    }
}

void PdfToolsPage::copyOcrText()
{
    QGuiApplication::clipboard()->setText(m_ocrText->toPlainText(), QClipboard::Clipboard);
    setStatus(tr("Copied recognized text to clipboard."));
}
