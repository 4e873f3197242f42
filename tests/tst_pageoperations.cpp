#include "tools/pdf/pageio.h"
#include "tools/pdf/pageoperations.h"

#include "pdftesting.h"

#include <QtTest>

using namespace pdftest;

// Pages read from and written to PDF files, and the pure operations on pages.

Q_DECLARE_METATYPE(QImage::Format)

class tst_PageOperations : public QObject
{
    Q_OBJECT

private slots:
    void roundTripsPagesEdgeToEdge();
    void marksInColourOnAnyFormat_data();
    void marksInColourOnAnyFormat();
    void computes_data();
    void computes();

private:
    QTemporaryDir m_dir;
};

void tst_PageOperations::roundTripsPagesEdgeToEdge()
{
    // 1653 x 2339 pixels measure 595.08 x 842.04 points, close enough to be written as A4. The
    // writer keeps whole points, so tiny pages come out a pixel longer than 200 / 72 says.
    const QList<QSizeF> points { { 595, 842 }, { 288, 216 }, { 20, 20 }, { 540, 11 } };
    const QString pixels = "1653x2339 800x600 56x56 1500x31"; // read at 200 dpi, and after saves
    const QString path = m_dir.filePath("document.pdf");
    QVERIFY(writeTestPdf(path, points));
    PdfReadResult read = readPdfPages(path);
    QCOMPARE(sizesOf(read.pages), pixels);
    for (QImage &page : read.pages) {
        // White paper, not transparent (black once alpha is dropped); then a red frame.
        QVERIFY(qGray(page.pixel(page.width() / 2, page.height() - 5)) > 245);
        QPainter painter(&page);
        painter.setPen(QPen(Qt::red, 4));
        painter.drawRect(page.rect().adjusted(2, 2, -2, -2));
    }
    // Saved twice over the very file read, the pages keep their sizes and their frames their
    // edges: no white border, no shrinking.
    for (int save = 1; save <= 2; ++save) {
        QString error;
        QVERIFY2(writePagesAsPdf(read.pages, path, &error), qPrintable(error));
        read = readPdfPages(path);
        QCOMPARE(sizesOf(read.pages), pixels);
        for (const QImage &page : std::as_const(read.pages)) {
            for (const QPoint &at : { QPoint(1, 1), QPoint(page.width() - 2, page.height() - 2) }) {
                QVERIFY2(qRed(page.pixel(at)) > 150 && qGreen(page.pixel(at)) < 80,
                    qPrintable(QColor(page.pixel(at)).name()));
            }
        }
    }
}

void tst_PageOperations::marksInColourOnAnyFormat_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("mono") << QImage::Format_Mono;
    QTest::newRow("indexed") << QImage::Format_Indexed8;
    QTest::newRow("grey") << QImage::Format_Grayscale8;
}

void tst_PageOperations::marksInColourOnAnyFormat()
{
    QFETCH(QImage::Format, format);

    const QImage page = plainPage({ 200, 160 }, Qt::white, format);
    const QPoint start(10, 10), end(60, 40);
    // Each mark, the only part it may touch, and how many pixels it must change at least: all
    // of its rectangle for a highlight.
    const QList<std::tuple<std::optional<QImage>, QRect, int>> marks {
        { highlightedPage(page, start, end), QRect(10, 10, 51, 31), 51 * 31 },
        { stampedPage(page, StampKind::Dot, { 100, 100 }, Qt::blue, QString()),
            QRect(90, 90, 21, 21), 1 },
        { signedPage(page, { start, end }, Qt::blue), QRect(7, 7, 57, 37), 1 },
    };
    for (const auto &[marked, expected, least] : marks) {
        QVERIFY(marked);
        const QImage rgb = marked->convertToFormat(QImage::Format_RGB32);
        int inside = 0;
        for (int y = 0; y < rgb.height(); ++y) {
            for (int x = 0; x < rgb.width(); ++x) {
                const QRgb pixel = rgb.pixel(x, y);
                const bool paper = pixel == qRgb(255, 255, 255);
                QVERIFY(paper || (expected.contains(x, y) && qBlue(pixel) != qRed(pixel)));
                inside += paper ? 0 : 1;
            }
        }
        QVERIFY(inside >= least);
    }
}

void tst_PageOperations::computes_data()
{
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("expected");

    // A crop never enlarges a page nor cuts it to a sliver; a highlight is clipped to it. Both
    // keep the two points dragged between, whichever way the drag went.
    const auto mark = [](const std::optional<QRect> &r) {
        return r
            ? QStringLiteral("%1,%2 %3x%4").arg(r->x()).arg(r->y()).arg(r->width()).arg(r->height())
            : QString();
    };
    const QSize page(200, 160);
    QTest::addRow("crop four high") << mark(cropRectangle({ 20, 20 }, { 40, 23 }, page)) << "";
    QTest::addRow("crop beyond every side")
        << mark(cropRectangle({ -100, -100 }, { 1000, 1000 }, page)) << "0,0 200x160";
    QTest::addRow("crop dragged up and left")
        << mark(cropRectangle({ 60, 50 }, { 10, 20 }, page)) << "10,20 51x31";
    QTest::addRow("crop clipped to a sliver")
        << mark(cropRectangle({ 197, 10 }, { 300, 100 }, page)) << "";
    QTest::addRow("highlight partly outside")
        << mark(highlightRectangle({ 190, 150 }, { 260, 200 }, page)) << "190,150 10x10";
    QTest::addRow("highlight wholly outside")
        << mark(highlightRectangle({ -50, -50 }, { -10, -10 }, page)) << "";
}

void tst_PageOperations::computes()
{
    QFETCH(QString, result);
    QFETCH(QString, expected);
    QCOMPARE(result, expected);
}

QTEST_MAIN(tst_PageOperations)
#include "tst_pageoperations.moc"
