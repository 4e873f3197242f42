#include "tools/pdf/exportfiles.h"
#include "tools/pdf/pageio.h"

#include "pdftesting.h"

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

using namespace pdftest;

namespace {
// The page sizes of the PDF at path in whole points, as the writer stores them.
QList<QSize> wholePoints(const QString &path)
{
    QList<QSize> sizes;
    for (const QSizeF &points : pdfPointSizes(path)) {
        sizes << points.toSize();
    }
    return sizes;
}
} // namespace

class tst_PdfPageIo : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }
    void roundTripsPageSizes_data();
    void roundTripsPageSizes();
    void drawsSmallPagesVisibly_data();
    void drawsSmallPagesVisibly();
    void refusesEmptyListOrNullPage();
    void readsImagesPaintable_data();
    void readsImagesPaintable();
    void writesJpegOnWhite();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_PdfPageIo::roundTripsPageSizes_data()
{
    QTest::addColumn<QList<QSizeF>>("points");
    QTest::addColumn<QList<QSize>>("pixels");
    QTest::addColumn<QList<QSize>>("written");

    QTest::addRow("letter") << QList<QSizeF> { { 612, 792 } } << QList<QSize> { { 1700, 2200 } }
                            << QList<QSize> { { 612, 792 } };
    // 1653 x 2339 pixels measure 595.08 x 842.04 points, close enough to be written as A4.
    QTest::addRow("a4") << QList<QSizeF> { { 595, 842 } } << QList<QSize> { { 1653, 2339 } }
                        << QList<QSize> { QPageSize(QPageSize::A4).sizePoints() };
    QTest::addRow("mixed sizes")
        << QList<QSizeF> { { 612, 792 }, { 288, 216 }, { 842, 595 }, { 144, 720 } }
        << QList<QSize> { { 1700, 2200 }, { 800, 600 }, { 2339, 1653 }, { 400, 2000 } }
        << QList<QSize> { { 612, 792 }, { 288, 216 }, { 842, 595 }, { 144, 720 } };
}

void tst_PdfPageIo::roundTripsPageSizes()
{
    QFETCH(QList<QSizeF>, points);
    QFETCH(QList<QSize>, pixels);
    QFETCH(QList<QSize>, written);

    QVERIFY(writeTestPdf(path("document.pdf"), points));
    const PdfReadResult read = readPdfPages(path("document.pdf"));
    QVERIFY(read.ok);
    QCOMPARE(sizesOf(read.pages), pixels);
    for (const QImage &page : read.pages) {
        // Grey drops alpha: a page rendered on a transparent background would turn black.
        const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
        QVERIFY(qGray(grey.pixel(page.width() - 5, page.height() - 5)) > 245);
        QVERIFY(qGray(grey.pixel(60, 45)) < 40); // the black bar
    }
    // Written over the very file that was read.
    QString error;
    QVERIFY2(writePagesAsPdf(read.pages, path("document.pdf"), &error), qPrintable(error));
    QCOMPARE(wholePoints(path("document.pdf")), written);
}

void tst_PdfPageIo::drawsSmallPagesVisibly_data()
{
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<QSize>("points");
    QTest::addColumn<bool>("margins");

    QTest::addRow("inside the default margins") << QSize(800, 600) << QSize(288, 216) << true;
    // Pages of 20 points or less on a side would be written blank inside those margins.
    QTest::addRow("55 px, under 20 pt") << QSize(55, 55) << QSize(20, 20) << false;
    QTest::addRow("thin crop") << QSize(1500, 30) << QSize(540, 11) << false;
}

void tst_PdfPageIo::drawsSmallPagesVisibly()
{
    QFETCH(QSize, pixels);
    QFETCH(QSize, points);
    QFETCH(bool, margins);

    QVERIFY(writePagesAsPdf({ plainPage(pixels, Qt::red) }, path("page.pdf")));
    QCOMPARE(wholePoints(path("page.pdf")), QList<QSize> { points });
    const QImage back = readPdfPages(path("page.pdf")).pages.value(0);
    const QColor centre = back.pixelColor(back.width() / 2, back.height() / 2);
    QVERIFY2(centre.red() > 200 && centre.green() < 80, qPrintable(centre.name()));
    QCOMPARE(back.pixelColor(5, 5) == Qt::white, margins);
}

void tst_PdfPageIo::refusesEmptyListOrNullPage()
{
    QVERIFY(!writePagesAsPdf({}, path("none.pdf")));
    QString error;
    QVERIFY(!writePagesAsPdf({ plainPage(QSize(100, 100)), QImage() }, path("null.pdf"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QDir(m_dir->path()).isEmpty());
}

void tst_PdfPageIo::readsImagesPaintable_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<bool>("hasAlpha");

    QImage mono(40, 30, QImage::Format_Mono);
    mono.setColorTable({ qRgb(255, 255, 255), qRgb(0, 0, 0) });
    mono.fill(1);
    QImage indexed(40, 30, QImage::Format_Indexed8);
    indexed.setColorTable({ qRgba(0, 0, 0, 0), qRgb(0, 128, 0) });
    indexed.fill(1);

    QTest::addRow("1-bit") << mono << false;
    QTest::addRow("indexed with transparency") << indexed << true;
    QTest::addRow("greyscale") << plainPage(QSize(40, 30), Qt::gray, QImage::Format_Grayscale8)
                               << false;
}

void tst_PdfPageIo::readsImagesPaintable()
{
    QFETCH(QImage, image);
    QFETCH(bool, hasAlpha);

    QVERIFY(image.save(path("page.png")));
    QImage page = readPageImage(path("page.png"));
    QCOMPARE(page.size(), image.size());
    QCOMPARE(page.hasAlphaChannel(), hasAlpha);
    QCOMPARE(page.pixelColor(10, 10), image.pixelColor(10, 10));
    // A mark drawn on the page shows in its colour.
    QPainter(&page).fillRect(QRect(0, 0, 5, 5), Qt::red);
    QCOMPARE(page.pixelColor(2, 2), QColor(Qt::red));
}

void tst_PdfPageIo::writesJpegOnWhite()
{
    // JPEG keeps no alpha: the page goes on white paper, not black. The suffix names the format.
    QString error;
    QVERIFY2(writePageImage(plainPage(QSize(40, 30), Qt::transparent, QImage::Format_ARGB32),
                 path("page.1.JPG"), &error),
        qPrintable(error));
    QImageReader reader(path("page.1.JPG"));
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    QCOMPARE(reader.read().pixelColor(20, 15), QColor(Qt::white));
}

QTEST_MAIN(tst_PdfPageIo)
#include "tst_pdfpageio.moc"
