#include "tools/pdf/pagelist.h"

#include <QtTest>

namespace {
// Pages told apart by their width: page n is n pixels wide.
QList<QImage> numberedPages(const QList<int> &widths)
{
    QList<QImage> pages;
    for (const int width : widths) {
        QImage page(width, 2, QImage::Format_RGB32);
        page.fill(Qt::white);
        pages.append(page);
    }
    return pages;
}

QList<int> widthsOf(const QList<QImage> &pages)
{
    QList<int> widths;
    for (const QImage &page : pages) {
        widths.append(page.width());
    }
    return widths;
}
} // namespace

class tst_PdfPageList : public QObject
{
    Q_OBJECT

private slots:
    void insertsAtPosition_data();
    void insertsAtPosition();
    void keepsFifteenNewestSnapshots();
    void snapshotsSharePixels();
    void keepsSelectionWithinPages_data();
    void keepsSelectionWithinPages();
    void reordersOnlyByPermutation_data();
    void reordersOnlyByPermutation();
};

void tst_PdfPageList::insertsAtPosition_data()
{
    QTest::addColumn<QList<int>>("pages");
    QTest::addColumn<int>("insertAt");
    QTest::addColumn<QList<int>>("expected");

    const QList<int> two { 1, 2 };
    QTest::addRow("before the first") << two << 0 << QList<int> { 10, 11, 12, 1, 2 };
    QTest::addRow("in the middle") << two << 1 << QList<int> { 1, 10, 11, 12, 2 };
    QTest::addRow("at the count appends") << two << 2 << QList<int> { 1, 2, 10, 11, 12 };
    QTest::addRow("beyond the end appends") << two << 3 << QList<int> { 1, 2, 10, 11, 12 };
    QTest::addRow("far beyond appends") << two << 1000 << QList<int> { 1, 2, 10, 11, 12 };
    QTest::addRow("minus one appends") << two << -1 << QList<int> { 1, 2, 10, 11, 12 };
    QTest::addRow("negative appends") << two << -7 << QList<int> { 1, 2, 10, 11, 12 };
    QTest::addRow("into an empty list") << QList<int>() << 0 << QList<int> { 10, 11, 12 };
}

void tst_PdfPageList::insertsAtPosition()
{
    QFETCH(QList<int>, pages);
    QFETCH(int, insertAt);
    QFETCH(QList<int>, expected);

    QList<QImage> list = numberedPages(pages);
    insertPages(list, numberedPages({ 10, 11, 12 }), insertAt);
    QCOMPARE(widthsOf(list), expected);
}

void tst_PdfPageList::keepsFifteenNewestSnapshots()
{
    QList<QList<QImage>> history;
    QList<QImage> pages;
    for (int edit = 1; edit <= 16; ++edit) {
        pushSnapshot(history, pages);
        pages.append(numberedPages({ edit }));
    }
    QCOMPARE(history.size(), kMaxUndoSnapshots);
    QCOMPARE(history.size(), 15);
    // The snapshot taken before the first edit (no pages) is the one dropped.
    QCOMPARE(widthsOf(history.constFirst()), QList<int>({ 1 }));
    QCOMPARE(history.constLast().size(), 15);
}

void tst_PdfPageList::snapshotsSharePixels()
{
    QList<QList<QImage>> history;
    QList<QImage> pages = numberedPages({ 100, 200 });
    pushSnapshot(history, pages);
    QCOMPARE(history.constLast().at(0).constBits(), pages.at(0).constBits());

    // An edit gives the page pixels of its own and leaves the snapshot's alone.
    pages[0].setPixel(0, 0, qRgb(255, 0, 0));
    QVERIFY(history.constLast().at(0).constBits() != pages.at(0).constBits());
    QCOMPARE(history.constLast().at(0).pixel(0, 0), qRgb(255, 255, 255));
    QCOMPARE(history.constLast().at(1).constBits(), pages.at(1).constBits());
}

void tst_PdfPageList::keepsSelectionWithinPages_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("expected");

    QTest::addRow("inside stays") << 2 << 5 << 2;
    QTest::addRow("none stays none") << -1 << 5 << -1;
    QTest::addRow("at the end becomes last") << 5 << 5 << 4;
    QTest::addRow("beyond the end becomes last") << 9 << 3 << 2;
    QTest::addRow("no pages gives none") << 0 << 0 << -1;
}

void tst_PdfPageList::keepsSelectionWithinPages()
{
    QFETCH(int, index);
    QFETCH(int, count);
    QFETCH(int, expected);
    QCOMPARE(selectionWithin(index, count), expected);
}

void tst_PdfPageList::reordersOnlyByPermutation_data()
{
    QTest::addColumn<QList<int>>("order");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QList<int>>("expected");

    QTest::addRow("last to the top") << QList<int> { 2, 0, 1 } << true << QList<int> { 3, 1, 2 };
    QTest::addRow("unchanged") << QList<int> { 0, 1, 2 } << true << QList<int> { 1, 2, 3 };
    QTest::addRow("one missing") << QList<int> { 0, 1 } << false << QList<int>();
    QTest::addRow("one too many") << QList<int> { 0, 1, 2, 0 } << false << QList<int>();
    QTest::addRow("a page twice") << QList<int> { 0, 0, 2 } << false << QList<int>();
    QTest::addRow("an index too large") << QList<int> { 0, 1, 3 } << false << QList<int>();
    QTest::addRow("a negative index") << QList<int> { -1, 1, 2 } << false << QList<int>();
}

void tst_PdfPageList::reordersOnlyByPermutation()
{
    QFETCH(QList<int>, order);
    QFETCH(bool, accepted);
    QFETCH(QList<int>, expected);

    const std::optional<QList<QImage>> result = reorderedPages(numberedPages({ 1, 2, 3 }), order);
    QCOMPARE(result.has_value(), accepted);
    if (result) {
        QCOMPARE(widthsOf(*result), expected);
    }
}

QTEST_GUILESS_MAIN(tst_PdfPageList)
#include "tst_pdfpagelist.moc"
