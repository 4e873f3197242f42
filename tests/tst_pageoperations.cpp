#include "tools/pdf/pageoperations.h"

#include "pdftesting.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace pdftest;

namespace {
// Noise in every channel the format has, so lost or moved pixels show.
QImage noisePage(QImage::Format format, const QSize &size = QSize(200, 160))
{
    QImage page(size, QImage::Format_ARGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < page.height(); ++y) {
        random.fillRange(reinterpret_cast<quint32 *>(page.scanLine(y)), page.width());
    }
    return page.convertToFormat(format);
}
} // namespace

Q_DECLARE_METATYPE(QImage::Format)

class tst_PageOperations : public QObject
{
    Q_OBJECT

private slots:
    void rotationLeftThenRightRestoresPixels_data();
    void rotationLeftThenRightRestoresPixels();
    void mapsViewPointsToPagePixels_data();
    void mapsViewPointsToPagePixels();
    void cropsOnlyRectanglesOnThePage_data();
    void cropsOnlyRectanglesOnThePage();
    void highlightsInColour_data();
    void highlightsInColour();
};

void tst_PageOperations::rotationLeftThenRightRestoresPixels_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addRow("argb32 with translucency") << QImage::Format_ARGB32;
    QTest::addRow("indexed8") << QImage::Format_Indexed8;
    QTest::addRow("mono") << QImage::Format_Mono;
}

void tst_PageOperations::rotationLeftThenRightRestoresPixels()
{
    QFETCH(QImage::Format, format);
    const QImage page = noisePage(format, QSize(37, 21));
    const QImage left = rotatedPage(page, Rotation::Left);
    QCOMPARE(left.size(), QSize(21, 37));
    // Counter-clockwise: the top right corner goes to the top left.
    QCOMPARE(left.pixel(0, 0), page.pixel(36, 0));
    QCOMPARE(rotatedPage(left, Rotation::Right).convertToFormat(QImage::Format_ARGB32),
        page.convertToFormat(QImage::Format_ARGB32));
}

void tst_PageOperations::mapsViewPointsToPagePixels_data()
{
    QTest::addColumn<QSize>("pageSize");
    QTest::addColumn<QSize>("shownSize");
    QTest::addColumn<QPoint>("viewPoint");
    QTest::addColumn<QPoint>("pagePoint");

    // A letter page at 200 dpi shown about a third of its size: 100 * 1700 / 560 = 303.57.
    const QSize letter(1700, 2200);
    QTest::addRow("third") << letter << QSize(560, 724) << QPoint(100, 200) << QPoint(304, 608);
    QTest::addRow("outside is not clamped")
        << letter << QSize(560, 724) << QPoint(600, -10) << QPoint(1821, -30);
    // A small page enlarged twice: halves round away from zero.
    QTest::addRow("double") << QSize(280, 390) << QSize(560, 780) << QPoint(101, -5)
                            << QPoint(51, -3);
    QTest::addRow("no shown pixmap") << letter << QSize(0, 0) << QPoint(10, 10) << QPoint(0, 0);
}

void tst_PageOperations::mapsViewPointsToPagePixels()
{
    QFETCH(QSize, pageSize);
    QFETCH(QSize, shownSize);
    QFETCH(QPoint, viewPoint);
    QFETCH(QPoint, pagePoint);
    QCOMPARE(viewToImage(viewPoint, pageSize, shownSize), pagePoint);
}

void tst_PageOperations::cropsOnlyRectanglesOnThePage_data()
{
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("end");
    QTest::addColumn<QRect>("expected"); // null: nothing is cropped

    QTest::addRow("four high") << QPoint(20, 20) << QPoint(40, 23) << QRect();
    QTest::addRow("five by five") << QPoint(20, 20) << QPoint(24, 24) << QRect(20, 20, 5, 5);
    QTest::addRow("beyond every side never enlarges")
        << QPoint(-100, -100) << QPoint(1000, 1000) << QRect(0, 0, 200, 160);
    QTest::addRow("dragged up and left")
        << QPoint(60, 50) << QPoint(10, 20) << QRect(10, 20, 51, 31);
    QTest::addRow("clipped to a sliver") << QPoint(197, 10) << QPoint(300, 100) << QRect();
}

void tst_PageOperations::cropsOnlyRectanglesOnThePage()
{
    QFETCH(QPoint, start);
    QFETCH(QPoint, end);
    QFETCH(QRect, expected);

    const QImage page = noisePage(QImage::Format_RGB32);
    const std::optional<QImage> cropped = croppedPage(page, start, end);
    QCOMPARE(cropped.has_value(), !expected.isNull());
    if (cropped) {
        QCOMPARE(*cropped, page.copy(expected));
    }
}

void tst_PageOperations::highlightsInColour_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("end");
    QTest::addColumn<QRect>("expected"); // null: nothing is highlighted

    const QImage::Format rgb = QImage::Format_RGB32;
    QTest::addRow("four wide") << rgb << QPoint(20, 20) << QPoint(23, 40) << QRect();
    QTest::addRow("partly outside is clipped")
        << rgb << QPoint(190, 150) << QPoint(260, 200) << QRect(190, 150, 10, 10);
    QTest::addRow("wholly outside") << rgb << QPoint(-50, -50) << QPoint(-10, -10) << QRect();
    QTest::addRow("mono") << QImage::Format_Mono << QPoint(10, 10) << QPoint(60, 40)
                          << QRect(10, 10, 51, 31);
}

void tst_PageOperations::highlightsInColour()
{
    QFETCH(QImage::Format, format);
    QFETCH(QPoint, start);
    QFETCH(QPoint, end);
    QFETCH(QRect, expected);

    const std::optional<QImage> marked =
        highlightedPage(plainPage(QSize(200, 160), Qt::white, format), start, end);
    QCOMPARE(marked.has_value(), !expected.isNull());
    if (!marked) {
        return;
    }
    // Exactly the rectangle turns yellow over white paper, whatever the page's format was.
    const QRgb yellow = marked->pixel(expected.topLeft());
    QVERIFY2(qRed(yellow) == 255 && qBlue(yellow) < 200 && qBlue(yellow) > 100,
        qPrintable(QString::number(yellow, 16)));
    const int area = expected.width() * expected.height();
    QCOMPARE(countPixels(*marked, QColor::fromRgb(yellow), marked->rect()), area);
    QCOMPARE(countPixels(*marked, Qt::white, marked->rect()), 200 * 160 - area);
}

QTEST_MAIN(tst_PageOperations)
#include "tst_pageoperations.moc"
