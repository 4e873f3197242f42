#include "pdftoolspage.h"

#include "pageoperations.h"
#include "pagepixmaps.h"

#include <QComboBox>
#include <QEvent>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>

#include <optional>

// The crop, highlight and fill-and-sign mouse modes on the page view. Drag points are kept in the
// view's pixels; every edit is computed and painted in page pixels.

QPoint PdfToolsPage::viewToImage(const QPoint &point) const
{
    if (!hasSelectedPage()) {
        return QPoint(0, 0);
    }
    const QPixmap shown = m_pageLabel->pixmap();
    if (shown.isNull() || shown.width() == 0) {
        return QPoint(0, 0);
    }
    return pdf::viewToImage(
        point, m_pages.at(m_currentIndex).size(), shown.deviceIndependentSize().toSize());
}

QPixmap PdfToolsPage::pagePreviewBase() const
{
    // The page view's own picture of the page, when it still shows this very image, saves
    // scaling the full page again at every mouse move.
    const QImage &page = m_pages.at(m_currentIndex);
    if (page.cacheKey() == m_shownPageKey && !m_shownPagePixmap.isNull()) {
        return m_shownPagePixmap;
    }
    return pdf::pageViewPixmap(page);
}

bool PdfToolsPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_pageLabel || !hasSelectedPage()) {
        return QWidget::eventFilter(watched, event);
    }
    // While flags overlap, crop goes before highlight and highlight before fill and sign.
    bool handled = false;
    if (m_cropMode) {
        handled = dragModeEvent(event, false);
    } else if (m_highlightMode) {
        handled = dragModeEvent(event, true);
    } else if (m_fillSignMode) {
        handled = fillSignEvent(event);
    }
    return handled || QWidget::eventFilter(watched, event);
}

bool PdfToolsPage::dragModeEvent(QEvent *event, bool highlight)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const QPoint position = static_cast<QMouseEvent *>(event)->position().toPoint();
        m_dragStart = position;
        m_dragEnd = position;
        m_dragging = true;
        return true;
    }
    case QEvent::MouseMove: {
        if (!m_dragging) {
            return false;
        }
        m_dragEnd = static_cast<QMouseEvent *>(event)->position().toPoint();
        QPixmap preview = pagePreviewBase();
        const bool painted = highlight ? pdf::paintHighlightPreview(preview, m_dragStart, m_dragEnd)
                                       : pdf::paintCropPreview(preview, m_dragStart, m_dragEnd);
        if (painted) {
            m_pageLabel->setPixmap(preview);
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        if (!m_dragging) {
            return false;
        }
        m_dragging = false;
        if (!highlight) {
            applyCrop();
            return true;
        }
        const std::optional<QImage> marked = pdf::highlightedPage(
            m_pages.at(m_currentIndex), viewToImage(m_dragStart), viewToImage(m_dragEnd));
        if (!marked) {
            showCurrentPage();
            return true;
        }
        replaceSelectedPage(
            *marked, tr("Highlighted page %1 (Undo to revert)").arg(m_currentIndex + 1));
        return true;
    }
    default:
        return false;
    }
}

void PdfToolsPage::applyCrop()
{
    if (!hasSelectedPage()) {
        return;
    }
    // Clipped to the page: a drag that left the view never adds blank borders.
    const std::optional<QImage> cropped = pdf::croppedPage(
        m_pages.at(m_currentIndex), viewToImage(m_dragStart), viewToImage(m_dragEnd));
    if (!cropped) {
        showCurrentPage();
        return;
    }
    replaceSelectedPage(*cropped, tr("Cropped page %1 (Undo to revert)").arg(m_currentIndex + 1));
}

bool PdfToolsPage::fillSignEvent(QEvent *event)
{
    const auto stampType = pdf::StampType(m_stampTypeCombo->currentData().toInt());
    const QEvent::Type type = event->type();

    if (stampType == pdf::StampType::Signature) {
        if (type == QEvent::MouseButtonPress) {
            m_signing = true;
            m_signaturePoints.clear();
            m_signaturePoints.append(
                viewToImage(static_cast<QMouseEvent *>(event)->position().toPoint()));
            return true;
        }
        if (type == QEvent::MouseMove && m_signing) {
            m_signaturePoints.append(
                viewToImage(static_cast<QMouseEvent *>(event)->position().toPoint()));
            QPixmap preview = pagePreviewBase();
            if (pdf::paintSignaturePreview(
                    preview, m_signaturePoints, m_pages.at(m_currentIndex).size(), m_stampColor)) {
                m_pageLabel->setPixmap(preview);
            }
            return true;
        }
        if (type == QEvent::MouseButtonRelease && m_signing) {
            m_signing = false;
            const std::optional<QImage> signedImage =
                pdf::signedPage(m_pages.at(m_currentIndex), m_signaturePoints, m_stampColor);
            m_signaturePoints.clear();
            if (!signedImage) {
                showCurrentPage();
                return true;
            }
            replaceSelectedPage(*signedImage,
                tr("Added signature to page %1 (Undo to revert)").arg(m_currentIndex + 1));
            return true;
        }
        return false;
    }

    if (type != QEvent::MouseButtonPress) {
        return false;
    }
    const QPoint position = static_cast<QMouseEvent *>(event)->position().toPoint();
    if (stampType == pdf::StampType::Comment) {
        placeComment(position);
    } else {
        placeStamp(position, stampType);
    }
    return true;
}

void PdfToolsPage::placeStamp(const QPoint &viewPoint, pdf::StampType type)
{
    const QString stampName = m_stampTypeCombo->currentText();

    const QPoint imgPoint = viewToImage(viewPoint);
    // Taken before the text is asked for, so a cancelled text still leaves a step to undo.
    pushUndo();
    QString text;
    if (type == pdf::StampType::Text) {
        bool accepted = false;
        text = QInputDialog::getText(
            this, tr("Add text"), tr("Text:"), QLineEdit::Normal, QString(), &accepted);
        // The dialog ran its own event loop: the page may have gone meanwhile.
        if (!accepted || text.isEmpty() || !hasSelectedPage()) {
            return;
        }
    }
    const std::optional<QImage> stamped =
        pdf::stampedPage(m_pages.at(m_currentIndex), type, imgPoint, m_stampColor, text);
    if (!stamped) {
        showCurrentPage();
        return;
    }
    m_pages[m_currentIndex] = *stamped;
    showChange(
        tr("Stamped '%1' on page %2 (Undo to revert)").arg(stampName).arg(m_currentIndex + 1));
}

void PdfToolsPage::placeComment(const QPoint &viewPoint)
{
    const QPoint imgPoint = viewToImage(viewPoint);
    bool accepted = false;
    const QString text = QInputDialog::getText(
        this, tr("Add comment"), tr("Comment:"), QLineEdit::Normal, QString(), &accepted);
    if (!accepted || text.isEmpty() || !hasSelectedPage()) {
        return;
    }
    pushUndo();
    if (const std::optional<QImage> marked =
            pdf::commentMarkedPage(m_pages.at(m_currentIndex), imgPoint)) {
        m_pages[m_currentIndex] = *marked;
    }
    m_comments.append(PageComment { m_currentIndex, imgPoint, text });
    // The number goes in first, so a comment holding "%1" or "%2" shows as typed.
    m_commentsList->addItem(tr("Page %1: %2").arg(m_currentIndex + 1).arg(text));
    showChange(tr("Added a comment to page %1").arg(m_currentIndex + 1));
}

void PdfToolsPage::toggleCropMode(bool on)
{
    m_cropMode = on;
    m_dragging = false;
    if (!on) {
        setStatus(tr("Crop mode off."));
        return;
    }
    m_stampBar->hide();
    m_ocrPanel->hide();
    m_highlightMode = false;
    setStatus(tr("Crop mode: drag a rectangle on the page, then release to crop."));
}

void PdfToolsPage::toggleFillSignMode(bool on)
{
    m_fillSignMode = on;
    m_stampBar->setVisible(on);
    if (!on) {
        setStatus(tr("Fill & Sign mode off."));
        return;
    }
    toggleCropMode(false);
    m_ocrPanel->hide();
    m_highlightMode = false;
    setStatus(tr("Fill & Sign: choose a stamp type above, then click on the page."));
}

void PdfToolsPage::toggleHighlightMode(bool on)
{
    m_highlightMode = on;
    m_dragging = false;
    if (!on) {
        setStatus(tr("Highlight mode off."));
        return;
    }
    m_cropMode = false;
    m_fillSignMode = false;
    m_stampBar->hide();
    m_ocrPanel->hide();
    setStatus(tr("Highlight mode: drag over the page to mark it, like a highlighter pen."));
}
