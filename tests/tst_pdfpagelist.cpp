#include "tools/pdf/pagelist.h"
#include "tools/pdf/pagepixmaps.h"
#include "tools/pdf/thumbnailcache.h"

#include "pdftesting.h"

#include <QtTest>

using namespace pdftest;

class tst_PdfPageList : public QObject
{
    Q_OBJECT

private slots:
    void insertsAtPosition_data();
    void insertsAtPosition();
    void snapshotsSharePixels();
    void reordersOnlyByPermutation_data();
    void reordersOnlyByPermutation();
    void thumbnailsRescaleOnlyChangedPages();
};

void tst_PdfPageList::insertsAtPosition_data()
{
    QTest::addColumn<int>("insertAt");
    QTest::addColumn<QList<int>>("expected");

    QTest::addRow("before the first") << 0 << QList<int> { 10, 11, 1, 2 };
    QTest::addRow("in the middle") << 1 << QList<int> { 1, 10, 11, 2 };
    QTest::addRow("beyond the end appends") << 3 << QList<int> { 1, 2, 10, 11 };
    QTest::addRow("negative appends") << -1 << QList<int> { 1, 2, 10, 11 };
}

void tst_PdfPageList::insertsAtPosition()
{
    QFETCH(int, insertAt);
    QFETCH(QList<int>, expected);

    QList<QImage> list = pagesOfWidths({ 1, 2 });
    insertPages(list, pagesOfWidths({ 10, 11 }), insertAt);
    QCOMPARE(widthsOf(list), expected);
}

void tst_PdfPageList::snapshotsSharePixels()
{
    QList<QList<QImage>> history;
    QList<QImage> pages = pagesOfWidths({ 100, 200 });
    pushSnapshot(history, pages);
    QCOMPARE(history.constLast().at(0).constBits(), pages.at(0).constBits());

    // An edit gives the page pixels of its own and leaves the snapshot's alone.
    pages[0].setPixel(0, 0, qRgb(255, 0, 0));
    QVERIFY(history.constLast().at(0).pixel(0, 0) != qRgb(255, 0, 0));
    QCOMPARE(history.constLast().at(1).constBits(), pages.at(1).constBits());
}

void tst_PdfPageList::reordersOnlyByPermutation_data()
{
    QTest::addColumn<QList<int>>("order");
    QTest::addColumn<QList<int>>("expected"); // empty: refused

    QTest::addRow("last to the top") << QList<int> { 2, 0, 1 } << QList<int> { 3, 1, 2 };
    QTest::addRow("a page twice") << QList<int> { 0, 0, 2 } << QList<int>();
    QTest::addRow("an index too large") << QList<int> { 0, 1, 3 } << QList<int>();
}

void tst_PdfPageList::reordersOnlyByPermutation()
{
    QFETCH(QList<int>, order);
    QFETCH(QList<int>, expected);

    const auto result = reorderedPages(pagesOfWidths({ 1, 2, 3 }), order);
    QCOMPARE(result ? widthsOf(*result) : QList<int>(), expected);
}

void tst_PdfPageList::thumbnailsRescaleOnlyChangedPages()
{
    QList<QImage> pages = pagesOfWidths({ 400, 410, 420, 430, 440 });
    ThumbnailCache cache;
    const QList<QPixmap> first = cache.thumbnails(pages);

    // One edit, one move, and an undo snapshot that shares the old pages.
    const QList<QImage> snapshot = pages;
    pages[2].setPixel(0, 0, qRgb(255, 0, 0));
    pages.move(4, 0);
    const QList<QPixmap> second = cache.thumbnails(pages);
    QCOMPARE(second.at(0).cacheKey(), first.at(4).cacheKey());
    QVERIFY(second.at(3).cacheKey() != first.at(2).cacheKey());
    QCOMPARE(second.at(3).toImage(), pageThumbnail(pages.at(3)).toImage());

    // Undo brings the old picture back; a null page has none; only pages shown stay cached.
    QCOMPARE(cache.thumbnails(snapshot).at(2).toImage(), first.at(2).toImage());
    QVERIFY(cache.thumbnails({ pages.at(0), QImage() }).at(1).isNull());
    QCOMPARE(cache.size(), 1);
}

QTEST_MAIN(tst_PdfPageList)
#include "tst_pdfpagelist.moc"
