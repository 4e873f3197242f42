#include "tools/pdf/pageio.h"

#include "pdftesting.h"

#include <QDir>
#include <QFile>
#include <QPdfDocument>
#include <QTemporaryDir>
#include <QtTest>

using namespace pdftest;

namespace {
bool closeTo(const QSizeF &a, const QSizeF &b)
{
    // The writer stores whole points.
    return qAbs(a.width() - b.width()) <= 0.5 && qAbs(a.height() - b.height()) <= 0.5;
}

bool isRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 80 && qBlue(pixel) < 80;
}

bool isWhite(QRgb pixel)
{
    return qRed(pixel) > 245 && qGreen(pixel) > 245 && qBlue(pixel) > 245;
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
} // namespace

class tst_PdfPageIo : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void roundTripsPageSizes_data();
    void roundTripsPageSizes();
    void drawsPagesVisibly_data();
    void drawsPagesVisibly();
    void refusesToWrite_data();
    void refusesToWrite();
    void keepsExistingFileWhenDiskFills();
    void readsImagesPaintable_data();
    void readsImagesPaintable();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_PdfPageIo::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_PdfPageIo::roundTripsPageSizes_data()
{
    QTest::addColumn<QList<QSizeF>>("pointSizes");
    QTest::addColumn<QList<QSize>>("pixelSizes");
    QTest::addColumn<QList<QSizeF>>("writtenSizes");

    QTest::addRow("letter") << QList<QSizeF> { { 612, 792 } } << QList<QSize> { { 1700, 2200 } }
                            << QList<QSizeF> { { 612, 792 } };
    // 1653 x 2339 pixels measure 595.08 x 842.04 points, close enough to be written as A4.
    QTest::addRow("a4") << QList<QSizeF> { { 595, 842 } } << QList<QSize> { { 1653, 2339 } }
                        << QList<QSizeF> { QPageSize(QPageSize::A4).size(QPageSize::Point) };
    QTest::addRow("mixed sizes")
        << QList<QSizeF> { { 612, 792 }, { 288, 216 }, { 842, 595 }, { 144, 720 } }
        << QList<QSize> { { 1700, 2200 }, { 800, 600 }, { 2339, 1653 }, { 400, 2000 } }
        << QList<QSizeF> { { 612, 792 }, { 288, 216 }, { 842, 595 }, { 144, 720 } };
}

void tst_PdfPageIo::roundTripsPageSizes()
{
    QFETCH(QList<QSizeF>, pointSizes);
    QFETCH(QList<QSize>, pixelSizes);
    QFETCH(QList<QSizeF>, writtenSizes);

    QVERIFY(writeTestPdf(path("document.pdf"), pointSizes));
    const PdfReadResult read = readPdfPages(path("document.pdf"));
    QVERIFY(read.ok);
    QCOMPARE(sizesOf(read.pages), pixelSizes);
    for (const QImage &page : read.pages) {
        // Grey drops alpha: a page rendered on a transparent background would turn black.
        const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
        QVERIFY(qGray(grey.pixel(page.width() - 5, page.height() - 5)) > 245);
        QVERIFY(qGray(grey.pixel(60, 45)) < 40); // the black bar
    }

    // Written over the very file that was read.
    QString error;
    QVERIFY2(writePagesAsPdf(read.pages, path("document.pdf"), &error), qPrintable(error));
    const QList<QSizeF> written = pdfPointSizes(path("document.pdf"));
    QCOMPARE(written.size(), writtenSizes.size());
    for (qsizetype i = 0; i < written.size(); ++i) {
        QVERIFY2(closeTo(written.at(i), writtenSizes.at(i)),
            qPrintable(QStringLiteral("page %1: %2 x %3")
                           .arg(i + 1)
                           .arg(written.at(i).width())
                           .arg(written.at(i).height())));
    }
}

void tst_PdfPageIo::drawsPagesVisibly_data()
{
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<QSizeF>("points");
    QTest::addColumn<bool>("margins");

    QTest::addRow("800 x 600, inside the default margins")
        << QSize(800, 600) << QSizeF(288, 216) << true;
    // Pages of 20 points or less on a side would be written blank inside those margins.
    QTest::addRow("55 px, under 20 pt") << QSize(55, 55) << QSizeF(19.8, 19.8) << false;
    QTest::addRow("thin crop") << QSize(1500, 30) << QSizeF(540, 10.8) << false;
}

void tst_PdfPageIo::drawsPagesVisibly()
{
    QFETCH(QSize, pixels);
    QFETCH(QSizeF, points);
    QFETCH(bool, margins);

    QVERIFY(writePagesAsPdf({ plainPage(pixels, Qt::red) }, path("page.pdf")));
    const QList<QSizeF> written = pdfPointSizes(path("page.pdf"));
    QCOMPARE(written.size(), 1);
    QVERIFY(closeTo(written.first(), points));
    QPdfDocument doc;
    QCOMPARE(doc.load(path("page.pdf")), QPdfDocument::Error::None);
    const QImage back = renderPage(doc, 0, kPageDpi);
    QVERIFY(!back.isNull());
    const QRgb centre = back.pixel(back.width() / 2, back.height() / 2);
    QVERIFY2(isRed(centre), qPrintable(QColor(centre).name()));
    if (margins) {
        QVERIFY(isWhite(back.pixel(5, 5)));
        QVERIFY(isWhite(back.pixel(back.width() - 6, back.height() - 6)));
        QVERIFY(isRed(back.pixel(40, 40)));
    }
}

void tst_PdfPageIo::refusesToWrite_data()
{
    QTest::addColumn<QList<QImage>>("pages");

    QTest::addRow("no pages") << QList<QImage>();
    QTest::addRow("a null page") << QList<QImage> { plainPage(QSize(100, 100)), QImage() };
}

void tst_PdfPageIo::refusesToWrite()
{
    QFETCH(QList<QImage>, pages);

    QFile old(path("old.pdf"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old contents");
    old.close();

    QString error;
    QVERIFY(!writePagesAsPdf(pages, path("old.pdf"), &error));
    QVERIFY(!error.isEmpty() || pages.isEmpty());
    QCOMPARE(contentsOf(path("old.pdf")), QByteArray("old contents"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList { "old.pdf" });
}

void tst_PdfPageIo::keepsExistingFileWhenDiskFills()
{
    QVERIFY(writeTestPdf(path("keep.pdf"), { { 612, 792 } }));
    const QByteArray before = contentsOf(path("keep.pdf"));

    // Noise does not compress: far more than the 4 KB the disk takes.
    QImage noisy(800, 800, QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y) {
        for (int x = 0; x < noisy.width(); ++x) {
            noisy.setPixel(x, y, qRgb((x * 7 + y * 13) % 256, (x * y) % 256, (x ^ y) % 256));
        }
    }
    QString error;
    bool written = true;
    {
        const FileSizeLimit fullDisk(4096);
        written = writePagesAsPdf({ noisy, noisy }, path("keep.pdf"), &error);
    }
    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(contentsOf(path("keep.pdf")), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList { "keep.pdf" });
}

void tst_PdfPageIo::readsImagesPaintable_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<bool>("hasAlpha");

    QImage mono(40, 30, QImage::Format_Mono);
    mono.setColorTable({ qRgb(255, 255, 255), qRgb(0, 0, 0) });
    mono.fill(1);
    QImage indexed(40, 30, QImage::Format_Indexed8);
    indexed.setColorTable({ qRgb(0, 0, 255), qRgb(0, 128, 0) });
    indexed.fill(1);
    QImage indexedAlpha = indexed;
    indexedAlpha.setColorTable({ qRgba(0, 0, 0, 0), qRgb(0, 128, 0) });
    QImage grey(40, 30, QImage::Format_Grayscale8);
    grey.fill(QColor(90, 90, 90));

    QTest::addRow("1-bit") << mono << false;
    QTest::addRow("indexed") << indexed << false;
    QTest::addRow("indexed with transparency") << indexedAlpha << true;
    QTest::addRow("greyscale") << grey << false;
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
    QPainter(&page).fillRect(QRect(0, 0, 5, 5), QColor(255, 0, 0));
    QCOMPARE(page.pixelColor(2, 2), QColor(255, 0, 0));
}

QTEST_MAIN(tst_PdfPageIo)
#include "tst_pdfpageio.moc"
