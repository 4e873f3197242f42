#include "pdftoolspage.h"

#include "pagelist.h"
#include "pagepixmaps.h"

#include <QIcon>
#include <QLabel>
#include <QListWidget>

void PdfToolsPage::refreshThumbnails()
{
    // Blocked so selectPage never sees the rows of a half-built list.
    m_thumbList->blockSignals(true);
    m_thumbList->clear();
    const QList<QPixmap> thumbnails = m_thumbnailCache.thumbnails(m_pages);
    for (int i = 0; i < thumbnails.size(); ++i) {
        auto *item = new QListWidgetItem(QIcon(thumbnails.at(i)), tr("Page %1").arg(i + 1));
        item->setData(Qt::UserRole, i);
        m_thumbList->addItem(item);
    }
    m_infoLabel->setText(m_pages.isEmpty() ? QString() : tr("%1 page(s)").arg(m_pages.size()));
    m_thumbList->blockSignals(false);

    // With the signals back on, this runs selectPage and so shows the page.
    if (hasSelectedPage()) {
        m_thumbList->setCurrentRow(m_currentIndex);
    }
}

void PdfToolsPage::showCurrentPage()
{
    if (hasSelectedPage()) {
        const QImage &page = m_pages.at(m_currentIndex);
        if (page.cacheKey() != m_shownPageKey || m_shownPagePixmap.isNull()) {
            m_shownPagePixmap = pdf::pageViewPixmap(page);
            m_shownPageKey = page.cacheKey();
        }
        m_pageLabel->setFixedSize(m_shownPagePixmap.size());
        m_pageLabel->setPixmap(m_shownPagePixmap);
        return;
    }
    m_shownPagePixmap = QPixmap();
    m_shownPageKey = 0;
    m_pageLabel->clear();
    m_pageLabel->setText(tr("No page selected"));
    m_pageLabel->setFixedSize(200, 200);
}

void PdfToolsPage::selectPage(int index)
{
    m_currentIndex = index;
    showCurrentPage();
}

void PdfToolsPage::thumbnailOrderChanged()
{
    if (m_thumbList->count() != m_pages.size()) {
        return;
    }
    QList<int> order;
    order.reserve(m_thumbList->count());
    for (int row = 0; row < m_thumbList->count(); ++row) {
        bool isInt = false;
        const int index = m_thumbList->item(row)->data(Qt::UserRole).toInt(&isInt);
        order.append(isInt ? index : -1);
    }
    // Checked before the snapshot is taken, so a refused order costs no undo history.
    const std::optional<QList<QImage>> reordered = pdf::reorderedPages(m_pages, order);
    if (!reordered) {
        // The list shows an order the document does not have: show the document again.
        refreshThumbnails();
        return;
    }

    pushUndo();
    m_pages = *reordered;
    if (hasSelectedPage()) {
        m_currentIndex = m_thumbList->currentRow();
    }
    showChange(tr("Reordered pages"));
}
