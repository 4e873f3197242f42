#include "pdftoolspage.h"

// The crop, highlight and fill-and-sign mouse modes on the page view: not offered yet, so every
// event of the page label goes on as usual.

bool PdfToolsPage::eventFilter(QObject *watched, QEvent *event)
{
    return QWidget::eventFilter(watched, event);
}

void PdfToolsPage::toggleCropMode(bool on)
{
    Q_UNUSED(on);
}

void PdfToolsPage::applyCrop() { }

void PdfToolsPage::toggleFillSignMode(bool on)
{
    Q_UNUSED(on);
}

void PdfToolsPage::toggleHighlightMode(bool on)
{
    Q_UNUSED(on);
}
