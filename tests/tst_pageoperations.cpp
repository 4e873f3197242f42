#include "tools/pdf/exportfiles.h"
#include "tools/pdf/pagelist.h"
#include "tools/pdf/pageoperations.h"
#include "tools/pdf/pagepixmaps.h"
#include "tools/pdf/thumbnailcache.h"

#include "pdftesting.h"

#include <QtTest>

using namespace pdftest;

Q_DECLARE_METATYPE(QImage::Format)

class tst_PageOperations : public QObject
{
    Q_OBJECT

private slots:
    void marksInColourOnAnyFormat_data();
    void marksInColourOnAnyFormat();
    void thumbnailsRescaleOnlyChangedPages();
    void computes_data();
    void computes();
};

void tst_PageOperations::marksInColourOnAnyFormat_data()
{
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QRect>("expected"); // the only part marked

    // Pages that cannot be painted in colour as they are get converted first.
    for (const auto &[name, format] :
        { std::pair("mono", QImage::Format_Mono), std::pair("indexed", QImage::Format_Indexed8),
            std::pair("grey", QImage::Format_Grayscale8) }) {
        QTest::addRow("highlight on %s", name) << "highlight" << format << QRect(10, 10, 51, 31);
        QTest::addRow("dot on %s", name) << "dot" << format << QRect(90, 90, 21, 21);
        QTest::addRow("signature on %s", name) << "signature" << format << QRect(7, 7, 57, 37);
    }
}

void tst_PageOperations::marksInColourOnAnyFormat()
{
    QFETCH(QString, mark);
    QFETCH(QImage::Format, format);
    QFETCH(QRect, expected);

    const QImage page = plainPage({ 200, 160 }, Qt::white, format);
    const QPoint start(10, 10), end(60, 40);
    const std::optional<QImage> marked = mark == "highlight" ? highlightedPage(page, start, end)
        : mark == "dot" ? stampedPage(page, StampKind::Dot, { 100, 100 }, Qt::blue, QString())
                        : signedPage(page, { start, end }, Qt::blue);
    QVERIFY(marked);
    const QImage rgb = marked->convertToFormat(QImage::Format_RGB32);
    int inside = 0, outside = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const bool paper = rgb.pixel(x, y) == qRgb(255, 255, 255);
            (expected.contains(x, y) ? inside : outside) += paper ? 0 : 1;
            QVERIFY(paper || qBlue(rgb.pixel(x, y)) != qRed(rgb.pixel(x, y))); // not grey
        }
    }
    QCOMPARE(outside, 0);
    QVERIFY(mark == "highlight" ? inside == expected.width() * expected.height() : inside > 0);
}

void tst_PageOperations::thumbnailsRescaleOnlyChangedPages()
{
    QList<QImage> pages { plainPage({ 400, 500 }), plainPage({ 410, 500 }),
        plainPage({ 420, 500 }) };
    ThumbnailCache cache;
    const QList<QPixmap> first = cache.thumbnails(pages);

    // One edit, one move, and an undo snapshot that shares the old pages.
    const QList<QImage> snapshot = pages;
    pages[1].setPixel(0, 0, qRgb(255, 0, 0));
    pages.move(2, 0);
    const QList<QPixmap> second = cache.thumbnails(pages);
    QCOMPARE(second.at(0).cacheKey(), first.at(2).cacheKey());
    QVERIFY(second.at(2).cacheKey() != first.at(1).cacheKey());
    QCOMPARE(second.at(2).toImage(), pageThumbnail(pages.at(2)).toImage());

    // Undo brings the old picture back; a null page has none; only pages shown stay cached.
    QCOMPARE(cache.thumbnails(snapshot).at(1).toImage(), first.at(1).toImage());
    QVERIFY(cache.thumbnails({ pages.at(0), QImage() }).at(1).isNull());
    QCOMPARE(cache.size(), 1);
}

void tst_PageOperations::computes_data()
{
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("expected");

    const auto inPage = [](const QPoint &view, const QSize &shown) {
        const QPoint p = viewToImage(view, QSize(1700, 2200), shown);
        return QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
    };
    // Halves round away from zero; nothing is clamped to the page.
    QTest::addRow("view point, page enlarged") << inPage({ 101, -5 }, { 3400, 4400 }) << "51,-3";
    QTest::addRow("view point outside") << inPage({ 600, -10 }, { 560, 724 }) << "1821,-30";
    QTest::addRow("view point, no picture shown") << inPage({ 10, 10 }, {}) << "0,0";

    // A crop never enlarges a page nor cuts it to a sliver; a highlight is clipped to it. Both
    // keep the two points dragged between, whichever way the drag went.
    const auto mark = [](const std::optional<QRect> &r) {
        return r
            ? QStringLiteral("%1,%2 %3x%4").arg(r->x()).arg(r->y()).arg(r->width()).arg(r->height())
            : QString();
    };
    const QSize page(200, 160);
    QTest::addRow("crop four high") << mark(cropRectangle({ 20, 20 }, { 40, 23 }, page)) << "";
    QTest::addRow("crop five by five")
        << mark(cropRectangle({ 20, 20 }, { 24, 24 }, page)) << "20,20 5x5";
    QTest::addRow("crop beyond every side")
        << mark(cropRectangle({ -100, -100 }, { 1000, 1000 }, page)) << "0,0 200x160";
    QTest::addRow("crop dragged up and left")
        << mark(cropRectangle({ 60, 50 }, { 10, 20 }, page)) << "10,20 51x31";
    QTest::addRow("crop clipped to a sliver")
        << mark(cropRectangle({ 197, 10 }, { 300, 100 }, page)) << "";
    QTest::addRow("highlight four wide")
        << mark(highlightRectangle({ 20, 20 }, { 23, 40 }, page)) << "";
    QTest::addRow("highlight partly outside")
        << mark(highlightRectangle({ 190, 150 }, { 260, 200 }, page)) << "190,150 10x10";
    QTest::addRow("highlight wholly outside")
        << mark(highlightRectangle({ -50, -50 }, { -10, -10 }, page)) << "";

    const QList<QImage> pages { plainPage({ 1, 1 }), plainPage({ 2, 1 }), plainPage({ 3, 1 }) };
    const auto reordered = [&pages](const QList<int> &order) {
        return sizesOf(reorderedPages(pages, order).value_or(QList<QImage>()));
    };
    QTest::addRow("last page to the top") << reordered({ 2, 0, 1 }) << "3x1 1x1 2x1";
    QTest::addRow("order naming a page twice") << reordered({ 0, 0, 2 }) << "";
    QTest::addRow("order naming no page") << reordered({ 0, 1, 3 }) << "";

    QTest::addRow("page 5 of 5") << exportPageFileName(5, 5) << "page_5.png";
    QTest::addRow("page 7 of 100") << exportPageFileName(7, 100) << "page_007.png";
    QTest::addRow("page 3 alone") << suggestedPageImageName(3) << "page3.png";
    // The base name ends at the first dot.
    QTest::addRow("save") << suggestedSavePath("/docs/report.final.pdf")
                          << "/docs/report_edited.pdf";
    QTest::addRow("split") << splitPartPaths("/out", "/docs/report.final.pdf").second
                           << "/out/report_part2.pdf";
}

void tst_PageOperations::computes()
{
    QFETCH(QString, result);
    QFETCH(QString, expected);
    QCOMPARE(result, expected);
}

QTEST_MAIN(tst_PageOperations)
#include "tst_pageoperations.moc"
