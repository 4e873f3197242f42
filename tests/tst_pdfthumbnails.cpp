#include "tools/pdf/pagepixmaps.h"
#include "tools/pdf/thumbnailcache.h"

#include <QtTest>

namespace {
QImage colouredPage(const QSize &size, const QColor &colour)
{
    QImage page(size, QImage::Format_ARGB32_Premultiplied);
    page.fill(colour);
    return page;
}
} // namespace

class tst_PdfThumbnails : public QObject
{
    Q_OBJECT

private slots:
    void scalesIntoBox_data();
    void scalesIntoBox();
    void rescalesOnlyChangedPages();
    void keepsOnlyCurrentPages();
};

void tst_PdfThumbnails::scalesIntoBox_data()
{
    QTest::addColumn<QSize>("page");
    QTest::addColumn<QSize>("thumbnail");
    QTest::addColumn<QSize>("view");

    QTest::addRow("letter page reduced") << QSize(1700, 2200) << QSize(100, 129) << QSize(560, 724);
    QTest::addRow("small page enlarged") << QSize(50, 70) << QSize(100, 140) << QSize(557, 780);
    QTest::addRow("tall strip") << QSize(20, 1500) << QSize(1, 140) << QSize(10, 780);
}

void tst_PdfThumbnails::scalesIntoBox()
{
    QFETCH(QSize, page);
    QFETCH(QSize, thumbnail);
    QFETCH(QSize, view);

    const QImage image = colouredPage(page, Qt::blue);
    QCOMPARE(pageThumbnail(image).size(), thumbnail);
    QCOMPARE(pageViewPixmap(image).size(), view);
}

void tst_PdfThumbnails::rescalesOnlyChangedPages()
{
    QList<QImage> pages;
    for (int i = 0; i < 5; ++i) {
        pages.append(colouredPage(QSize(400, 500), QColor::fromHsv(i * 60, 200, 200)));
    }
    ThumbnailCache cache;
    const QList<QPixmap> first = cache.thumbnails(pages);

    // One edit, one move, and an undo snapshot that shares the old pages.
    const QList<QImage> snapshot = pages;
    pages[2].setPixel(0, 0, qRgb(255, 0, 0));
    pages.move(4, 0);
    const QList<QPixmap> second = cache.thumbnails(pages);
    QCOMPARE(second.at(0).cacheKey(), first.at(4).cacheKey());
    QCOMPARE(second.at(1).cacheKey(), first.at(0).cacheKey());
    QVERIFY(second.at(3).cacheKey() != first.at(2).cacheKey());
    QCOMPARE(second.at(3).toImage(), pageThumbnail(pages.at(3)).toImage());

    // Undo brings the old page back with the old picture.
    const QList<QPixmap> restored = cache.thumbnails(snapshot);
    QCOMPARE(restored.at(2).toImage(), first.at(2).toImage());
}

void tst_PdfThumbnails::keepsOnlyCurrentPages()
{
    ThumbnailCache cache;
    QList<QImage> pages { colouredPage(QSize(300, 300), Qt::red), QImage(),
        colouredPage(QSize(300, 300), Qt::green) };
    const QList<QPixmap> thumbnails = cache.thumbnails(pages);
    QCOMPARE(thumbnails.size(), 3);
    QVERIFY(thumbnails.at(1).isNull());
    QVERIFY(!thumbnails.at(2).isNull());

    pages.removeAt(0);
    QCOMPARE(cache.thumbnails(pages).size(), 2);
    QCOMPARE(cache.size(), 1);
    cache.thumbnails({});
    QCOMPARE(cache.size(), 0);
}

QTEST_MAIN(tst_PdfThumbnails)
#include "tst_pdfthumbnails.moc"
