#include "tools/pdf/pagelist.h"

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
};

void tst_PdfPageList::insertsAtPosition_data()
{
    QTest::addColumn<QList<int>>("pages");
    QTest::addColumn<int>("insertAt");
    QTest::addColumn<QList<int>>("expected");

    const QList<int> two { 1, 2 };
    QTest::addRow("before the first") << two << 0 << QList<int> { 10, 11, 1, 2 };
    QTest::addRow("in the middle") << two << 1 << QList<int> { 1, 10, 11, 2 };
    QTest::addRow("at the count appends") << two << 2 << QList<int> { 1, 2, 10, 11 };
    QTest::addRow("beyond the end appends") << two << 3 << QList<int> { 1, 2, 10, 11 };
    QTest::addRow("negative appends") << two << -1 << QList<int> { 1, 2, 10, 11 };
    QTest::addRow("into an empty list") << QList<int>() << 0 << QList<int> { 10, 11 };
}

void tst_PdfPageList::insertsAtPosition()
{
    QFETCH(QList<int>, pages);
    QFETCH(int, insertAt);
    QFETCH(QList<int>, expected);

    QList<QImage> list = pagesOfWidths(pages);
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
    const QRgb before = pages.at(0).pixel(0, 0);
    pages[0].setPixel(0, 0, qRgb(255, 0, 0));
    QCOMPARE(history.constLast().at(0).pixel(0, 0), before);
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

    const std::optional<QList<QImage>> result = reorderedPages(pagesOfWidths({ 1, 2, 3 }), order);
    QCOMPARE(result.has_value(), !expected.isEmpty());
    if (result) {
        QCOMPARE(widthsOf(*result), expected);
    }
}

QTEST_GUILESS_MAIN(tst_PdfPageList)
#include "tst_pdfpagelist.moc"
