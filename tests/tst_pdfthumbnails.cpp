#include "tools/pdf/pagepixmaps.h"
#include "tools/pdf/thumbnailcache.h"

#include <QPainter>
#include <QtTest>

namespace {
QImage drawnPage(const QSize &size, const QColor &colour)
{
    QImage page(size, QImage::Format_ARGB32_Premultiplied);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.fillRect(QRect(QPoint(size.width() / 4, size.height() / 4), size / 2), colour);
    painter.end();
    return page;
}
} // namespace

class tst_PdfThumbnails : public QObject
{
    Q_OBJECT

private slots:
    void scalesIntoBox_data();
    void scalesIntoBox();
    void matchesDirectScaling();
    void rescalesOnlyChangedPages();
    void forgetsRemovedPages();
    void keepsNullPagesNull();
};

void tst_PdfThumbnails::scalesIntoBox_data()
{
    QTest::addColumn<QSize>("page");
    QTest::addColumn<QSize>("thumbnail");
    QTest::addColumn<QSize>("view");

    QTest::addRow("letter") << QSize(1700, 2200) << QSize(100, 129) << QSize(560, 724);
    QTest::addRow("landscape") << QSize(2200, 1700) << QSize(100, 77) << QSize(560, 432);
    QTest::addRow("small page is enlarged") << QSize(50, 70) << QSize(100, 140) << QSize(557, 780);
    QTest::addRow("tall strip") << QSize(20, 1500) << QSize(1, 140) << QSize(10, 780);
}

void tst_PdfThumbnails::scalesIntoBox()
{
    QFETCH(QSize, page);
    QFETCH(QSize, thumbnail);
    QFETCH(QSize, view);

    const QImage image = drawnPage(page, Qt::blue);
    QCOMPARE(pageThumbnail(image).size(), thumbnail);
    QCOMPARE(pageViewPixmap(image).size(), view);
}

void tst_PdfThumbnails::matchesDirectScaling()
{
    // The thumbnail is the picture of the whole page turned into a pixmap and scaled.
    const QImage page = drawnPage(QSize(1700, 2200), Qt::darkGreen);
    const QImage direct = QPixmap::fromImage(page)
                              .scaled(kThumbnailBox, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                              .toImage();
    QCOMPARE(pageThumbnail(page).toImage(), direct);
}

void tst_PdfThumbnails::rescalesOnlyChangedPages()
{
    QList<QImage> pages;
    for (int i = 0; i < 5; ++i) {
        pages.append(drawnPage(QSize(400, 500), QColor::fromHsv(i * 60, 200, 200)));
    }
    ThumbnailCache cache;
    const QList<QPixmap> first = cache.thumbnails(pages);
    QCOMPARE(first.size(), 5);
    QCOMPARE(cache.size(), 5);

    // One edit, one move, and an undo snapshot that shares the old pages.
    const QList<QImage> snapshot = pages;
    pages[2].setPixel(0, 0, qRgb(255, 0, 0));
    pages.move(4, 0);
    const QList<QPixmap> second = cache.thumbnails(pages);
    QCOMPARE(second.at(0).cacheKey(), first.at(4).cacheKey());
    QCOMPARE(second.at(1).cacheKey(), first.at(0).cacheKey());
    QVERIFY(second.at(3).cacheKey() != first.at(2).cacheKey());
    QCOMPARE(second.at(3).toImage(), pageThumbnail(pages.at(3)).toImage());

    // Undo brings the old page back under its old key.
    const QList<QPixmap> restored = cache.thumbnails(snapshot);
    QCOMPARE(restored.at(0).cacheKey(), first.at(0).cacheKey());
    QCOMPARE(restored.at(2).toImage(), first.at(2).toImage());
}

void tst_PdfThumbnails::forgetsRemovedPages()
{
    QList<QImage> pages { drawnPage(QSize(300, 300), Qt::red), drawnPage(QSize(300, 300), Qt::blue),
        drawnPage(QSize(300, 300), Qt::green) };
    ThumbnailCache cache;
    cache.thumbnails(pages);
    QCOMPARE(cache.size(), 3);
    pages.removeAt(1);
    QCOMPARE(cache.thumbnails(pages).size(), 2);
    QCOMPARE(cache.size(), 2);
    cache.thumbnails({});
    QCOMPARE(cache.size(), 0);
}

void tst_PdfThumbnails::keepsNullPagesNull()
{
    ThumbnailCache cache;
    const QList<QPixmap> thumbnails =
        cache.thumbnails({ QImage(), drawnPage(QSize(100, 100), Qt::red) });
    QCOMPARE(thumbnails.size(), 2);
    QVERIFY(thumbnails.at(0).isNull());
    QVERIFY(!thumbnails.at(1).isNull());
    QVERIFY(pageViewPixmap(QImage()).isNull());
}

QTEST_MAIN(tst_PdfThumbnails)
#include "tst_pdfthumbnails.moc"
