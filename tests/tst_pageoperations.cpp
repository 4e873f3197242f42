#include "tools/pdf/pageoperations.h"

#include "pdftesting.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace pdftest;

namespace {

const QSize kPage(200, 160);

// Noise in every channel the format has, so lost or moved pixels show.
QImage noisePage(QImage::Format format, const QSize &size)
{
    QImage page(size, QImage::Format_ARGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < page.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(page.scanLine(y));
        for (int x = 0; x < page.width(); ++x) {
            line[x] = random.generate();
        }
    }
    return page.convertToFormat(format);
}

bool sameArgbPixels(const QImage &a, const QImage &b)
{
    return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

Q_DECLARE_METATYPE(QImage::Format)

class tst_PageOperations : public QObject
{
    Q_OBJECT

private slots:
    void rotationLeftThenRightRestoresPixels_data();
    void rotationLeftThenRightRestoresPixels();
    void rotationTurnsTheRightWay();

    void blackAndWhiteGivesGreyOnWhite();

    void viewToImageMapsShownPointsToPagePixels_data();
    void viewToImageMapsShownPointsToPagePixels();

    void cropKeepsOnlyRectanglesOnThePage_data();
    void cropKeepsOnlyRectanglesOnThePage();

    void highlightsInColour_data();
    void highlightsInColour();
};

void tst_PageOperations::rotationLeftThenRightRestoresPixels_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addRow("rgb32") << QImage::Format_RGB32;
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
    const QImage back = rotatedPage(left, Rotation::Right);
    QCOMPARE(back.size(), page.size());
    QVERIFY(sameArgbPixels(back, page));

    QVERIFY(sameArgbPixels(rotatedPage(rotatedPage(page, Rotation::Right), Rotation::Left), page));
}

void tst_PageOperations::rotationTurnsTheRightWay()
{
    QImage page = whitePage(QSize(40, 30), QImage::Format_RGB32);
    page.setPixel(0, 0, qRgb(255, 0, 0)); // top left corner

    // Clockwise, the top left corner goes to the top right; counter-clockwise, to the bottom left.
    const QImage right = rotatedPage(page, Rotation::Right);
    QCOMPARE(right.pixel(right.width() - 1, 0), qRgb(255, 0, 0));
    const QImage left = rotatedPage(page, Rotation::Left);
    QCOMPARE(left.pixel(0, left.height() - 1), qRgb(255, 0, 0));
}

void tst_PageOperations::blackAndWhiteGivesGreyOnWhite()
{
    QImage page(60, 40, QImage::Format_ARGB32);
    page.fill(Qt::transparent);
    page.setPixel(10, 10, qRgba(255, 0, 0, 255));
    page.setPixel(20, 20, qRgba(0, 0, 0, 255));

    const QImage grey = blackAndWhitePage(page);
    QCOMPARE(grey.size(), page.size());
    QCOMPARE(grey.format(), QImage::Format_RGB32);
    QCOMPARE(grey.pixel(0, 0), qRgb(255, 255, 255)); // transparent paper is white, not black
    QCOMPARE(grey.pixel(20, 20), qRgb(0, 0, 0));
    const QRgb red = grey.pixel(10, 10);
    QVERIFY(qRed(red) == qGreen(red) && qGreen(red) == qBlue(red));
    QVERIFY(qRed(red) > 0 && qRed(red) < 255); // a shade, no threshold

    // Again on the grey page: it stays grey.
    QCOMPARE(blackAndWhitePage(grey), grey);
}

void tst_PageOperations::viewToImageMapsShownPointsToPagePixels_data()
{
    QTest::addColumn<QSize>("pageSize");
    QTest::addColumn<QSize>("shownSize");
    QTest::addColumn<QPoint>("viewPoint");
    QTest::addColumn<QPoint>("pagePoint");

    // A letter page at 200 dpi shown about a third of its size, as the view shows it.
    const QSize letter(1700, 2200);
    const QSize letterShown(560, 724);
    // 100 * 1700 / 560 = 303.57, 200 * 2200 / 724 = 607.73
    QTest::addRow("third: inside") << letter << letterShown << QPoint(100, 200) << QPoint(304, 608);
    QTest::addRow("third: outside is not clamped")
        << letter << letterShown << QPoint(600, -10) << QPoint(1821, -30);

    // A small page enlarged twice: halves round away from zero.
    QTest::addRow("double: half up")
        << QSize(280, 390) << QSize(560, 780) << QPoint(101, 51) << QPoint(51, 26);
    QTest::addRow("double: half down, negative")
        << QSize(280, 390) << QSize(560, 780) << QPoint(-3, -5) << QPoint(-2, -3);

    QTest::addRow("no shown pixmap") << letter << QSize(0, 0) << QPoint(10, 10) << QPoint(0, 0);
    QTest::addRow("empty page") << QSize() << QSize(560, 724) << QPoint(10, 10) << QPoint(0, 0);
}

void tst_PageOperations::viewToImageMapsShownPointsToPagePixels()
{
    QFETCH(QSize, pageSize);
    QFETCH(QSize, shownSize);
    QFETCH(QPoint, viewPoint);
    QFETCH(QPoint, pagePoint);
    QCOMPARE(viewToImage(viewPoint, pageSize, shownSize), pagePoint);
}

void tst_PageOperations::cropKeepsOnlyRectanglesOnThePage_data()
{
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("end");
    QTest::addColumn<QRect>("expected"); // null: nothing is cropped

    QTest::addRow("four high") << QPoint(20, 20) << QPoint(40, 23) << QRect();
    QTest::addRow("five by five") << QPoint(20, 20) << QPoint(24, 24) << QRect(20, 20, 5, 5);
    QTest::addRow("beyond the top left is clipped")
        << QPoint(-50, -50) << QPoint(20, 30) << QRect(0, 0, 21, 31);
    QTest::addRow("beyond every side never enlarges")
        << QPoint(-100, -100) << QPoint(1000, 1000) << QRect(0, 0, 200, 160);
    QTest::addRow("wholly outside") << QPoint(300, 300) << QPoint(400, 400) << QRect();
    QTest::addRow("clipped to a sliver")
        << QPoint(197, 10) << QPoint(300, 100) << QRect(); // 3 columns left on the page
}

void tst_PageOperations::cropKeepsOnlyRectanglesOnThePage()
{
    QFETCH(QPoint, start);
    QFETCH(QPoint, end);
    QFETCH(QRect, expected);

    const QImage page = noisePage(QImage::Format_RGB32, kPage);
    const std::optional<QRect> rect = cropRectangle(start, end, page.size());
    const std::optional<QImage> cropped = croppedPage(page, start, end);
    if (expected.isNull()) {
        QCOMPARE(rect, std::nullopt);
        QCOMPARE(cropped, std::nullopt);
    } else {
        QCOMPARE(rect, std::optional<QRect>(expected));
        QVERIFY(cropped.has_value());
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
    QTest::addRow("five by five") << rgb << QPoint(20, 20) << QPoint(24, 24) << QRect(20, 20, 5, 5);
    QTest::addRow("partly outside is clipped")
        << rgb << QPoint(190, 150) << QPoint(260, 200) << QRect(190, 150, 10, 10);
    QTest::addRow("wholly outside") << rgb << QPoint(-50, -50) << QPoint(-10, -10) << QRect();
    const QList<std::pair<const char *, QImage::Format>> formats = { { "indexed8",
                                                                         QImage::Format_Indexed8 },
        { "grayscale8", QImage::Format_Grayscale8 }, { "mono", QImage::Format_Mono } };
    for (const auto &[name, format] : formats) {
        QTest::addRow("on %s", name)
            << format << QPoint(10, 10) << QPoint(60, 40) << QRect(10, 10, 51, 31);
    }
}

void tst_PageOperations::highlightsInColour()
{
    QFETCH(QImage::Format, format);
    QFETCH(QPoint, start);
    QFETCH(QPoint, end);
    QFETCH(QRect, expected);

    const QImage page = whitePage(kPage, format);
    const std::optional<QImage> marked = highlightedPage(page, start, end);
    if (expected.isNull()) {
        QCOMPARE(highlightRectangle(start, end, page.size()), std::nullopt);
        QCOMPARE(marked, std::nullopt);
        return;
    }
    QCOMPARE(highlightRectangle(start, end, page.size()), std::optional<QRect>(expected));
    QVERIFY(marked.has_value());
    // Exactly the rectangle turns yellow over white paper, whatever the page's format was.
    const QRgb yellow = marked->pixel(expected.topLeft());
    QCOMPARE(qRed(yellow), 255);
    QVERIFY2(qBlue(yellow) < 200 && qBlue(yellow) > 100, qPrintable(QString::number(yellow, 16)));
    const int area = expected.width() * expected.height();
    QCOMPARE(countPixels(*marked, QColor::fromRgb(yellow), marked->rect()), area);
    QCOMPARE(countPixels(*marked, Qt::white, marked->rect()), 200 * 160 - area);
}

QTEST_MAIN(tst_PageOperations)
#include "tst_pageoperations.moc"
