#include "tools/pdf/pdftoolspage.h"

#include "pdftesting.h"

#include <QLabel>
#include <QListWidget>
#include <QToolButton>
#include <QtTest>

using namespace pdftest;

namespace {
const QString kPrevious = QStringLiteral("previous status");
const QString kClosed = QStringLiteral("Closed. Open a PDF (or add images) to start editing.");
const QString kEarlier = QStringLiteral("/earlier/file.pdf");
} // namespace

class tst_PdfToolsPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void keepsFifteenSnapshots();
    void undoRestoresPagesNotSelection_data();
    void undoRestoresPagesNotSelection();
    void closes_data();
    void closes();
    void reordersByMovedRow_data();
    void reordersByMovedRow();
    void refusesInconsistentOrder();

private:
    void fill(const QList<int> &widths, int currentIndex);
    void undo() { QVERIFY(QMetaObject::invokeMethod(m_page.get(), "undo")); }

    std::unique_ptr<PdfToolsPage> m_page;
};

void tst_PdfToolsPage::init()
{
    m_page = std::make_unique<PdfToolsPage>();
    m_page->setStatus(kPrevious);
}

void tst_PdfToolsPage::cleanup()
{
    m_page.reset();
}

void tst_PdfToolsPage::fill(const QList<int> &widths, int currentIndex)
{
    m_page->m_pages = pagesOfWidths(widths);
    m_page->m_currentIndex = currentIndex;
    m_page->refreshThumbnails();
    m_page->showCurrentPage();
}

void tst_PdfToolsPage::keepsFifteenSnapshots()
{
    PdfToolsPage &page = *m_page;
    for (int edit = 1; edit <= 16; ++edit) {
        page.pushUndo();
        page.m_pages.append(pagesOfWidths({ edit }));
    }
    QCOMPARE(page.m_undoStack.size(), 15);
    for (int i = 0; i < 15; ++i) {
        undo();
    }
    // Back to the state after the first edit, and no further.
    QCOMPARE(widthsOf(page.m_pages), QList<int>({ 1 }));
    QVERIFY(!page.m_undoButton->isEnabled());
    QCOMPARE(page.m_statusLabel->text(), QStringLiteral("Undid last action"));
    page.setStatus(kPrevious);
    undo();
    QCOMPARE(widthsOf(page.m_pages), QList<int>({ 1 }));
    QCOMPARE(page.m_statusLabel->text(), kPrevious);
}

void tst_PdfToolsPage::undoRestoresPagesNotSelection_data()
{
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<QList<int>>("after");
    QTest::addColumn<int>("selectedAfter");
    QTest::addColumn<int>("selectedOnUndo");

    // Undo restores the pages, not the selection: page 4, selected once page 5 of five was
    // removed, stays selected.
    QTest::addRow("removal of the last page")
        << QList<int> { 1, 2, 3, 4, 5 } << QList<int> { 1, 2, 3, 4 } << 3 << 3;
    QTest::addRow("addition of pages")
        << QList<int> { 1, 2 } << QList<int> { 1, 2, 3, 4 } << 3 << 1;
    QTest::addRow("first addition empties the document")
        << QList<int>() << QList<int> { 300, 300 } << 0 << -1;
}

void tst_PdfToolsPage::undoRestoresPagesNotSelection()
{
    QFETCH(QList<int>, before);
    QFETCH(QList<int>, after);
    QFETCH(int, selectedAfter);
    QFETCH(int, selectedOnUndo);

    fill(before, before.size() - 1);
    m_page->pushUndo();
    fill(after, selectedAfter);
    undo();
    QCOMPARE(widthsOf(m_page->m_pages), before);
    QCOMPARE(m_page->m_currentIndex, selectedOnUndo);
    QCOMPARE(m_page->m_thumbList->count(), before.size());
    QCOMPARE(m_page->m_thumbList->currentRow(), selectedOnUndo);
    QCOMPARE(m_page->m_pageLabel->pixmap().isNull(), before.isEmpty());
    QVERIFY(!m_page->m_undoButton->isEnabled());
}

void tst_PdfToolsPage::closes_data()
{
    QTest::addColumn<QList<int>>("pages");
    QTest::addColumn<int>("answer"); // 0: no question asked
    QTest::addColumn<bool>("closed");

    QTest::addRow("answered No") << QList<int> { 1, 2, 3 } << int(QMessageBox::No) << false;
    QTest::addRow("answered Yes") << QList<int> { 1, 2, 3 } << int(QMessageBox::Yes) << true;
    QTest::addRow("empty document") << QList<int>() << 0 << true;
}

void tst_PdfToolsPage::closes()
{
    QFETCH(QList<int>, pages);
    QFETCH(int, answer);
    QFETCH(bool, closed);

    fill(pages, pages.size() - 1);
    m_page->pushUndo();
    m_page->m_currentPath = kEarlier;
    m_page->m_comments.append(PageComment { 1, QPoint(5, 5), QStringLiteral("kept") });
    QList<Step> steps;
    if (answer) {
        steps << messageBox(
            QStringLiteral("Close the current document? Any unsaved changes will be lost."),
            QMessageBox::StandardButton(answer), QStringLiteral("Close"));
    }
    QCOMPARE(runWithDialogs(m_page.get(), "closeDocument", steps), QString());

    QCOMPARE(widthsOf(m_page->m_pages), closed ? QList<int>() : pages);
    QCOMPARE(m_page->m_thumbList->count(), closed ? 0 : pages.size());
    QCOMPARE(m_page->m_currentIndex, closed ? -1 : pages.size() - 1);
    QCOMPARE(m_page->m_undoStack.size(), closed ? 0 : 1);
    QCOMPARE(m_page->m_currentPath, closed ? QString() : kEarlier);
    QCOMPARE(m_page->m_statusLabel->text(), closed ? kClosed : kPrevious);
    QCOMPARE(m_page->m_comments.size(), 1);
}

void tst_PdfToolsPage::reordersByMovedRow_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("destination"); // as QAbstractItemModel::moveRow counts it
    QTest::addColumn<QList<int>>("order");
    QTest::addColumn<int>("selected");

    QTest::addRow("third to the top") << 2 << 0 << QList<int> { 3, 1, 2 } << 0;
    QTest::addRow("first to the end") << 0 << 3 << QList<int> { 2, 3, 1 } << 2;
}

void tst_PdfToolsPage::reordersByMovedRow()
{
    QFETCH(int, from);
    QFETCH(int, destination);
    QFETCH(QList<int>, order);
    QFETCH(int, selected);

    fill({ 1, 2, 3 }, 0);
    QListWidget *list = m_page->m_thumbList;
    list->setCurrentRow(from);
    QVERIFY(list->model()->moveRow(QModelIndex(), from, QModelIndex(), destination));
    QCOMPARE(widthsOf(m_page->m_pages), order);
    QCOMPARE(m_page->m_currentIndex, selected);
    QCOMPARE(list->currentRow(), selected);
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(list->item(row)->text(), QStringLiteral("Page %1").arg(row + 1));
    }
    QCOMPARE(m_page->m_statusLabel->text(), QStringLiteral("Reordered pages"));

    undo();
    QCOMPARE(widthsOf(m_page->m_pages), QList<int>({ 1, 2, 3 }));
    QVERIFY(!m_page->m_undoButton->isEnabled());
}

void tst_PdfToolsPage::refusesInconsistentOrder()
{
    fill({ 1, 2, 3 }, 0);
    // A row claiming another row's page: taking it would double one page and lose another.
    m_page->m_thumbList->item(2)->setData(Qt::UserRole, 0);
    QVERIFY(m_page->m_thumbList->model()->moveRow(QModelIndex(), 2, QModelIndex(), 0));
    QCOMPARE(widthsOf(m_page->m_pages), QList<int>({ 1, 2, 3 }));
    QVERIFY(m_page->m_undoStack.isEmpty());
    QCOMPARE(m_page->m_statusLabel->text(), kPrevious);
    // The list shows the document again.
    QCOMPARE(m_page->m_thumbList->item(2)->data(Qt::UserRole).toInt(), 2);
}

QTEST_MAIN(tst_PdfToolsPage)
#include "tst_pdftoolspage.moc"
