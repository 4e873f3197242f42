#include "tools/pdf/pageoperations.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

namespace {

const QColor kInk(200, 30, 60);

// A white page of the given size in the given pixel format.
QImage whitePage(QImage::Format format, const QSize &size = QSize(200, 160))
{
    QImage page(size, QImage::Format_RGB32);
    page.fill(Qt::white);
    return page.convertToFormat(format);
}

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

int countPixels(const QImage &image, const QColor &colour, const QRect &area)
{
    const QImage rgb = image.convertToFormat(QImage::Format_ARGB32);
    const QRect inside = area.intersected(rgb.rect());
    int count = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (rgb.pixel(x, y) == colour.rgba()) {
                ++count;
            }
        }
    }
    return count;
}

bool sameArgbPixels(const QImage &a, const QImage &b)
{
    return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

Q_DECLARE_METATYPE(QImage::Format)
Q_DECLARE_METATYPE(StampKind)

class tst_PageOperations : public QObject
{
    Q_OBJECT

private slots:
    void rotationLeftThenRightRestoresPixels_data();
    void rotationLeftThenRightRestoresPixels();
    void rotationTurnsTheRightWay();

    void blackAndWhiteGivesGreyOnWhite();

    void compressionShrinksToTarget_data();
    void compressionShrinksToTarget();
    void compressionKeepsWhiteWhite_data();
    void compressionKeepsWhiteWhite();
    void compressingPagesLeavesUnusablePagesAlone();

    void viewToImageMapsShownPointsToPagePixels_data();
    void viewToImageMapsShownPointsToPagePixels();

    void cropKeepsOnlyRectanglesOnThePage_data();
    void cropKeepsOnlyRectanglesOnThePage();
    void cropCopiesThePixelsOfTheRectangle();
    void cropInAnyDirection();

    void highlightNeedsMinimumSize_data();
    void highlightNeedsMinimumSize();
    void highlightShowsInColourOnAnyPage_data();
    void highlightShowsInColourOnAnyPage();

    void previewsPaintBetweenTheViewPoints();

    void stampLeavesItsColourWhereClicked_data();
    void stampLeavesItsColourWhereClicked();
    void textStampNeedsText();
    void stampNearTheEdgeIsClipped();

    void signatureOfOnePointChangesNothing();
    void signatureDrawsTheStrokeInColour_data();
    void signatureDrawsTheStrokeInColour();
    void signaturePreviewScalesThePoints();

    void commentMarkerSitsAboveTheClick_data();
    void commentMarkerSitsAboveTheClick();
};

void tst_PageOperations::rotationLeftThenRightRestoresPixels_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addRow("rgb32") << QImage::Format_RGB32;
    QTest::addRow("argb32 with translucency") << QImage::Format_ARGB32;
    QTest::addRow("rgb888") << QImage::Format_RGB888;
    QTest::addRow("indexed8") << QImage::Format_Indexed8;
    QTest::addRow("grayscale8") << QImage::Format_Grayscale8;
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
    QImage page = whitePage(QImage::Format_RGB32, QSize(40, 30));
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

void tst_PageOperations::compressionShrinksToTarget_data()
{
    QTest::addColumn<QSize>("pageSize");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<QSize>("result");
    QTest::addRow("letter at 200 dpi")
        << QSize(1700, 2200) << QSize(1190, 1540) << QSize(1190, 1540);
    QTest::addRow("wide strip, truncated not rounded")
        << QSize(1001, 90) << QSize(700, 62) << QSize(689, 62);
    QTest::addRow("1 x 1") << QSize(1, 1) << QSize(1, 1) << QSize(1, 1);
    QTest::addRow("2 x 2") << QSize(2, 2) << QSize(1, 1) << QSize(1, 1);
    QTest::addRow("one pixel high") << QSize(1000, 1) << QSize(700, 1) << QSize(700, 1);
    QTest::addRow("one pixel wide") << QSize(1, 300) << QSize(1, 210) << QSize(1, 210);
}

void tst_PageOperations::compressionShrinksToTarget()
{
    QFETCH(QSize, pageSize);
    QFETCH(QSize, target);
    QFETCH(QSize, result);

    QCOMPARE(compressionTargetSize(pageSize), target);
    const QImage page = noisePage(QImage::Format_RGB32, pageSize);
    const std::optional<QImage> compressed = compressedPage(page);
    QVERIFY(compressed.has_value());
    QCOMPARE(compressed->size(), result);
    QCOMPARE(page.size(), pageSize); // the argument is left alone
}

void tst_PageOperations::compressionKeepsWhiteWhite_data()
{
    QTest::addColumn<QImage>("page");
    QTest::addRow("white rgb32") << whitePage(QImage::Format_RGB32, QSize(300, 200));
    QImage transparent(300, 200, QImage::Format_ARGB32_Premultiplied);
    transparent.fill(Qt::transparent);
    QTest::addRow("transparent argb32") << transparent;
    QTest::addRow("white indexed8") << whitePage(QImage::Format_Indexed8, QSize(300, 200));
}

void tst_PageOperations::compressionKeepsWhiteWhite()
{
    QFETCH(QImage, page);
    const std::optional<QImage> compressed = compressedPage(page);
    QVERIFY(compressed.has_value());
    QCOMPARE(compressed->size(), QSize(210, 140));
    const QImage rgb = compressed->convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            if (rgb.pixel(x, y) != qRgb(255, 255, 255)) {
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is #%3, not white")
                                     .arg(x)
                                     .arg(y)
                                     .arg(rgb.pixel(x, y), 8, 16)));
            }
        }
    }
}

void tst_PageOperations::compressingPagesLeavesUnusablePagesAlone()
{
    const QImage good = whitePage(QImage::Format_RGB32, QSize(100, 100));
    const QList<QImage> pages = { good, QImage(), good };

    const CompressedPages result = compressPages(pages);
    QCOMPARE(result.compressedCount, 2);
    QCOMPARE(result.pages.size(), 3);
    QCOMPARE(result.pages.at(0).size(), QSize(70, 70));
    QVERIFY(result.pages.at(1).isNull());
    QCOMPARE(result.pages.at(2).size(), QSize(70, 70));

    QCOMPARE(compressedPage(QImage()), std::nullopt);
    QCOMPARE(compressPages({}).compressedCount, 0);
}

void tst_PageOperations::viewToImageMapsShownPointsToPagePixels_data()
{
    QTest::addColumn<QSize>("pageSize");
    QTest::addColumn<QSize>("shownSize");
    QTest::addColumn<QPoint>("viewPoint");
    QTest::addColumn<QPoint>("pagePoint");

    // A letter page at 200 dpi shown about a third of its size, as the view shows it.
    const QSize letter(1700, 2200);
    const QSize letterShown = letter.scaled(QSize(560, 780), Qt::KeepAspectRatio);
    QCOMPARE(letterShown, QSize(560, 724));
    QTest::addRow("third: origin") << letter << letterShown << QPoint(0, 0) << QPoint(0, 0);
    QTest::addRow("third: far corner")
        << letter << letterShown << QPoint(560, 724) << QPoint(1700, 2200);
    // 100 * 1700 / 560 = 303.57, 200 * 2200 / 724 = 607.73
    QTest::addRow("third: inside") << letter << letterShown << QPoint(100, 200) << QPoint(304, 608);
    QTest::addRow("third: outside is not clamped")
        << letter << letterShown << QPoint(600, -10) << QPoint(1821, -30);

    QTest::addRow("one to one") << QSize(560, 780) << QSize(560, 780) << QPoint(123, 456)
                                << QPoint(123, 456);

    // A small page enlarged twice: halves round away from zero.
    QTest::addRow("double: half up")
        << QSize(280, 390) << QSize(560, 780) << QPoint(101, 51) << QPoint(51, 26);
    QTest::addRow("double: half down, negative")
        << QSize(280, 390) << QSize(560, 780) << QPoint(-3, -5) << QPoint(-2, -3);

    QTest::addRow("no shown pixmap") << letter << QSize(0, 0) << QPoint(10, 10) << QPoint(0, 0);
    QTest::addRow("shown with no height")
        << letter << QSize(560, 0) << QPoint(10, 10) << QPoint(0, 0);
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

    QTest::addRow("one point") << QPoint(20, 20) << QPoint(20, 20) << QRect();
    QTest::addRow("four wide") << QPoint(20, 20) << QPoint(23, 40) << QRect();
    QTest::addRow("four high") << QPoint(20, 20) << QPoint(40, 23) << QRect();
    QTest::addRow("five by five") << QPoint(20, 20) << QPoint(24, 24) << QRect(20, 20, 5, 5);
    QTest::addRow("large") << QPoint(10, 5) << QPoint(109, 64) << QRect(10, 5, 100, 60);
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

    const QImage page = whitePage(QImage::Format_RGB32);
    const std::optional<QRect> rect = cropRectangle(start, end, page.size());
    const std::optional<QImage> cropped = croppedPage(page, start, end);
    if (expected.isNull()) {
        QCOMPARE(rect, std::nullopt);
        QCOMPARE(cropped, std::nullopt);
    } else {
        QCOMPARE(rect, std::optional<QRect>(expected));
        QVERIFY(cropped.has_value());
        QCOMPARE(cropped->size(), expected.size());
    }
}

void tst_PageOperations::cropCopiesThePixelsOfTheRectangle()
{
    const QImage page = noisePage(QImage::Format_RGB32, QSize(80, 60));
    const std::optional<QImage> cropped = croppedPage(page, QPoint(10, 20), QPoint(39, 49));
    QVERIFY(cropped.has_value());
    QCOMPARE(*cropped, page.copy(10, 20, 30, 30));
}

void tst_PageOperations::cropInAnyDirection()
{
    const QSize page(200, 160);
    const QRect spanned(QPoint(10, 10), QPoint(50, 40));
    const QList<std::pair<QPoint, QPoint>> drags = {
        { QPoint(10, 10), QPoint(50, 40) },
        { QPoint(50, 40), QPoint(10, 10) },
        { QPoint(10, 40), QPoint(50, 10) },
        { QPoint(50, 10), QPoint(10, 40) },
    };
    for (const auto &[start, end] : drags) {
        const std::optional<QRect> rect = cropRectangle(start, end, page);
        QVERIFY(rect.has_value());
        QVERIFY(spanned.contains(*rect));
        QVERIFY(rect->width() >= spanned.width() - 2 && rect->height() >= spanned.height() - 2);
    }
}

void tst_PageOperations::highlightNeedsMinimumSize_data()
{
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("end");
    QTest::addColumn<QRect>("expected"); // null: nothing is highlighted

    QTest::addRow("one point") << QPoint(20, 20) << QPoint(20, 20) << QRect();
    QTest::addRow("four wide") << QPoint(20, 20) << QPoint(23, 40) << QRect();
    QTest::addRow("five by five") << QPoint(20, 20) << QPoint(24, 24) << QRect(20, 20, 5, 5);
    QTest::addRow("partly outside is clipped")
        << QPoint(190, 150) << QPoint(260, 200) << QRect(190, 150, 10, 10);
    QTest::addRow("wholly outside") << QPoint(-50, -50) << QPoint(-10, -10) << QRect();
}

void tst_PageOperations::highlightNeedsMinimumSize()
{
    QFETCH(QPoint, start);
    QFETCH(QPoint, end);
    QFETCH(QRect, expected);

    const QImage page = whitePage(QImage::Format_RGB32);
    const std::optional<QImage> marked = highlightedPage(page, start, end);
    if (expected.isNull()) {
        QCOMPARE(highlightRectangle(start, end, page.size()), std::nullopt);
        QCOMPARE(marked, std::nullopt);
        return;
    }
    QCOMPARE(highlightRectangle(start, end, page.size()), std::optional<QRect>(expected));
    QVERIFY(marked.has_value());
    QCOMPARE(marked->size(), page.size());
    // Exactly the rectangle turns yellowish; the rest stays white.
    const QRgb yellow = marked->pixel(expected.topLeft());
    QVERIFY(yellow != qRgb(255, 255, 255));
    QCOMPARE(countPixels(*marked, QColor::fromRgb(yellow), marked->rect()),
        expected.width() * expected.height());
}

void tst_PageOperations::highlightShowsInColourOnAnyPage_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addRow("rgb32") << QImage::Format_RGB32;
    QTest::addRow("indexed8") << QImage::Format_Indexed8;
    QTest::addRow("grayscale8") << QImage::Format_Grayscale8;
    QTest::addRow("mono") << QImage::Format_Mono;
}

void tst_PageOperations::highlightShowsInColourOnAnyPage()
{
    QFETCH(QImage::Format, format);
    const QImage page = whitePage(format);
    const std::optional<QImage> marked = highlightedPage(page, QPoint(10, 10), QPoint(60, 40));
    QVERIFY(marked.has_value());
    const QRgb inside = marked->pixel(30, 25);
    // Yellow over white: red stays full, blue drops well below it, the paper shows through.
    QCOMPARE(qRed(inside), 255);
    QVERIFY2(qBlue(inside) < 200 && qBlue(inside) > 100, qPrintable(QString::number(inside, 16)));
    QCOMPARE(QColor(marked->pixel(100, 100)), QColor(Qt::white));
}

void tst_PageOperations::previewsPaintBetweenTheViewPoints()
{
    QImage preview = whitePage(QImage::Format_RGB32, QSize(100, 100));
    QVERIFY(paintHighlightPreview(preview, QPoint(60, 60), QPoint(20, 20)));
    QVERIFY(preview.pixel(40, 40) != qRgb(255, 255, 255));
    QCOMPARE(preview.pixel(80, 80), qRgb(255, 255, 255));

    QImage cropPreview = whitePage(QImage::Format_RGB32, QSize(100, 100));
    QVERIFY(paintCropPreview(cropPreview, QPoint(20, 20), QPoint(60, 60)));
    const QRgb tinted = cropPreview.pixel(40, 40);
    QVERIFY(qBlue(tinted) > qRed(tinted)); // the translucent blue fill
    QCOMPARE(cropPreview.pixel(80, 80), qRgb(255, 255, 255));

    QImage null;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("QPainter::begin"));
    QVERIFY(!paintCropPreview(null, QPoint(0, 0), QPoint(10, 10)));
}

void tst_PageOperations::stampLeavesItsColourWhereClicked_data()
{
    QTest::addColumn<StampKind>("kind");
    QTest::addColumn<QImage::Format>("format");

    const QList<std::pair<const char *, StampKind>> kinds = {
        { "text", StampKind::Text },
        { "cross", StampKind::Cross },
        { "checkmark", StampKind::Checkmark },
        { "circle", StampKind::Circle },
        { "line", StampKind::Line },
        { "dot", StampKind::Dot },
    };
    const QList<std::pair<const char *, QImage::Format>> formats = {
        { "rgb32", QImage::Format_RGB32 },
        { "indexed8", QImage::Format_Indexed8 },
        { "grayscale8", QImage::Format_Grayscale8 },
        { "mono", QImage::Format_Mono },
        { "argb32", QImage::Format_ARGB32 },
    };
    for (const auto &[kindName, kind] : kinds) {
        for (const auto &[formatName, format] : formats) {
            QTest::addRow("%s on %s", kindName, formatName) << kind << format;
        }
    }
}

void tst_PageOperations::stampLeavesItsColourWhereClicked()
{
    QFETCH(StampKind, kind);
    QFETCH(QImage::Format, format);

    const QImage page = whitePage(format);
    const QPoint click(80, 90);
    const std::optional<QImage> marked = stampedPage(page, kind, click, kInk, QStringLiteral("Hi"));
    QVERIFY(marked.has_value());
    QCOMPARE(marked->size(), page.size());
    QCOMPARE(page, whitePage(format)); // the argument is left alone

    // Every stamp stays within 25 pixels (and its pen) of the click; text runs up and right.
    const QRect around = kind == StampKind::Text ? QRect(click.x(), click.y() - 40, 80, 50)
                                                 : QRect(click - QPoint(28, 28), QSize(57, 57));
    QVERIFY2(countPixels(*marked, kInk, around) > 10,
        qPrintable(
            QStringLiteral("%1 pixels of the colour").arg(countPixels(*marked, kInk, around))));
    QCOMPARE(countPixels(*marked, kInk, marked->rect()), countPixels(*marked, kInk, around));
}

void tst_PageOperations::textStampNeedsText()
{
    const QImage page = whitePage(QImage::Format_RGB32);
    QCOMPARE(stampedPage(page, StampKind::Text, QPoint(50, 50), kInk, QString()), std::nullopt);
    // The other stamps ignore the text.
    QVERIFY(stampedPage(page, StampKind::Dot, QPoint(50, 50), kInk, QString()).has_value());
    QCOMPARE(stampedPage(QImage(), StampKind::Dot, QPoint(50, 50), kInk, QString()), std::nullopt);
}

void tst_PageOperations::stampNearTheEdgeIsClipped()
{
    const QImage page = whitePage(QImage::Format_RGB32);
    const std::optional<QImage> marked =
        stampedPage(page, StampKind::Circle, QPoint(0, 0), kInk, QString());
    QVERIFY(marked.has_value());
    QCOMPARE(marked->size(), page.size());
    QVERIFY(countPixels(*marked, kInk, QRect(0, 0, 25, 25)) > 10);
}

void tst_PageOperations::signatureOfOnePointChangesNothing()
{
    const QImage page = whitePage(QImage::Format_RGB32);
    QCOMPARE(signedPage(page, { QPoint(40, 40) }, kInk), std::nullopt);
    QCOMPARE(signedPage(page, {}, kInk), std::nullopt);
    QCOMPARE(page, whitePage(QImage::Format_RGB32));
}

void tst_PageOperations::signatureDrawsTheStrokeInColour_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addRow("rgb32") << QImage::Format_RGB32;
    QTest::addRow("indexed8") << QImage::Format_Indexed8;
    QTest::addRow("grayscale8") << QImage::Format_Grayscale8;
}

void tst_PageOperations::signatureDrawsTheStrokeInColour()
{
    QFETCH(QImage::Format, format);
    const QImage page = whitePage(format);
    const QList<QPoint> stroke = { QPoint(20, 50), QPoint(60, 50), QPoint(60, 120) };
    const std::optional<QImage> marked = signedPage(page, stroke, kInk);
    QVERIFY(marked.has_value());
    // Along both segments, the corner joined; nowhere else.
    QVERIFY(countPixels(*marked, kInk, QRect(25, 48, 30, 4)) > 0);
    QVERIFY(countPixels(*marked, kInk, QRect(58, 60, 4, 50)) > 0);
    QVERIFY(countPixels(*marked, kInk, QRect(56, 46, 8, 8)) > 0);
    QCOMPARE(countPixels(*marked, kInk, QRect(100, 0, 100, 160)), 0);
}

void tst_PageOperations::signaturePreviewScalesThePoints()
{
    // The preview is a quarter of the page in each direction: page (400, 200) shows at (100, 50).
    QImage preview = whitePage(QImage::Format_RGB32, QSize(100, 80));
    const QSize pageSize(400, 320);
    QVERIFY(paintSignaturePreview(preview, { QPoint(40, 200), QPoint(360, 200) }, pageSize, kInk));
    QVERIFY(countPixels(preview, kInk, QRect(20, 49, 60, 2)) > 0);
    QCOMPARE(countPixels(preview, kInk, QRect(0, 0, 100, 40)), 0);

    QImage untouched = whitePage(QImage::Format_RGB32, QSize(100, 80));
    QVERIFY(paintSignaturePreview(untouched, { QPoint(40, 200) }, pageSize, kInk));
    QCOMPARE(untouched, whitePage(QImage::Format_RGB32, QSize(100, 80)));
}

void tst_PageOperations::commentMarkerSitsAboveTheClick_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addRow("rgb32") << QImage::Format_RGB32;
    QTest::addRow("indexed8") << QImage::Format_Indexed8;
    QTest::addRow("grayscale8") << QImage::Format_Grayscale8;
}

void tst_PageOperations::commentMarkerSitsAboveTheClick()
{
    QFETCH(QImage::Format, format);
    const QImage page = whitePage(format);
    const QPoint click(50, 80);
    const std::optional<QImage> marked = commentMarkedPage(page, click);
    QVERIFY(marked.has_value());

    const QColor fill(255, 224, 130);
    const QRect bubble(click.x(), click.y() - 22, 26, 20);
    QVERIFY(countPixels(*marked, fill, bubble) > 50);
    int dark = 0; // the "!", antialiased
    for (int y = bubble.top(); y <= bubble.bottom(); ++y) {
        for (int x = bubble.left(); x <= bubble.right(); ++x) {
            dark += qGray(marked->pixel(x, y)) < 100 ? 1 : 0;
        }
    }
    QVERIFY(dark > 3);
    // Nothing below the click or left of it.
    const QImage below = marked->copy(0, click.y() + 2, marked->width(), 50);
    QCOMPARE(countPixels(below, Qt::white, below.rect()), below.width() * below.height());
    QCOMPARE(countPixels(*marked, Qt::white, QRect(0, 0, click.x() - 2, marked->height())),
        (click.x() - 2) * marked->height());
}

QTEST_MAIN(tst_PageOperations)
#include "tst_pageoperations.moc"
