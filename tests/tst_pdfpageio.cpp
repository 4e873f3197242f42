#include "tools/image/imagefiles.h"
#include "tools/pdf/pageio.h"

#include "pdftesting.h"

#include <QBuffer>
#include <QtTest>

using namespace pdftest;

// Reading PDF pages and image files into page images, and writing them back.

namespace {
QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

} // namespace

class tst_PdfPageIo : public QObject
{
    Q_OBJECT

private slots:
    void roundTripsPagesEdgeToEdge_data();
    void roundTripsPagesEdgeToEdge();
    void refusesEmptyListOrNullPage();
    void readsImagesPaintable_data();
    void readsImagesPaintable();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

void tst_PdfPageIo::roundTripsPagesEdgeToEdge_data()
{
    QTest::addColumn<QList<QSizeF>>("points");
    QTest::addColumn<QString>("pixels"); // read at 200 dpi, and so again after each save

    QTest::addRow("letter") << QList<QSizeF> { { 612, 792 } } << "1700x2200";
    // 1653 x 2339 pixels measure 595.08 x 842.04 points, close enough to be written as A4.
    QTest::addRow("a4") << QList<QSizeF> { { 595, 842 } } << "1653x2339";
    // The writer keeps whole points, so tiny pages come out a pixel longer than 200 / 72 says.
    QTest::addRow("mixed, tiny and thin")
        << QList<QSizeF> { { 288, 216 }, { 20, 20 }, { 540, 11 } } << "800x600 56x56 1500x31";
}

void tst_PdfPageIo::roundTripsPagesEdgeToEdge()
{
    QFETCH(QList<QSizeF>, points);
    QFETCH(QString, pixels);

    QVERIFY(writeTestPdf(path("document.pdf"), points));
    PdfReadResult read = readPdfPages(path("document.pdf"));
    QVERIFY(read.ok);
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
        QVERIFY2(writePagesAsPdf(read.pages, path("document.pdf"), &error), qPrintable(error));
        read = readPdfPages(path("document.pdf"));
        QCOMPARE(sizesOf(read.pages), pixels);
        for (const QImage &page : std::as_const(read.pages)) {
            for (const QPoint &at : { QPoint(1, 1), QPoint(page.width() - 2, page.height() - 2) }) {
                QVERIFY2(qRed(page.pixel(at)) > 150 && qGreen(page.pixel(at)) < 80,
                    qPrintable(QColor(page.pixel(at)).name()));
            }
        }
    }
}

void tst_PdfPageIo::refusesEmptyListOrNullPage()
{
    QVERIFY(!writePagesAsPdf({}, path("none.pdf")));
    QString error;
    QVERIFY(!writePagesAsPdf({ plainPage({ 100, 100 }), QImage() }, path("null.pdf"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(path("none.pdf")) && !QFile::exists(path("null.pdf")));
}

void tst_PdfPageIo::readsImagesPaintable_data()
{
    QTest::addColumn<QString>("name"); // the content decides the format, not the name
    QTest::addColumn<QByteArray>("bytes");

    QImage mono(40, 30, QImage::Format_Mono);
    mono.setColorTable({ qRgb(255, 255, 255), qRgb(0, 0, 0) });
    mono.fill(1);
    QImage indexed(40, 30, QImage::Format_Indexed8);
    indexed.setColorTable({ qRgba(0, 0, 0, 0), qRgb(0, 128, 0) });
    indexed.fill(1);
    QTest::addRow("1-bit") << "mono.png" << encoded(mono, "png");
    QTest::addRow("indexed with transparency") << "indexed.png" << encoded(indexed, "png");
    QTest::addRow("greyscale named jpg, quotes")
        << "the \"grey\" one's.jpg"
        << encoded(plainPage({ 40, 30 }, Qt::gray, QImage::Format_Grayscale8), "png");
    QTest::addRow("webp without suffix, non-ASCII")
        << "Ölgemälde – 写真 ✓" << encoded(noisePage({ 40, 30 }), "webp");
}

void tst_PdfPageIo::readsImagesPaintable()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);

    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    QImage page = readPageImage(path(name));
    QCOMPARE(page.size(), QSize(40, 30));
    QCOMPARE(ImageFiles::load(path(name)).image.size(), QSize(40, 30));
    // Its colours as they were, and a mark drawn on it shows in colour.
    QCOMPARE(page.pixelColor(10, 10), QImage::fromData(bytes).pixelColor(10, 10));
    QPainter(&page).fillRect(QRect(0, 0, 5, 5), Qt::red);
    QCOMPARE(page.pixelColor(2, 2), QColor(Qt::red));
}

QTEST_MAIN(tst_PdfPageIo)
#include "tst_pdfpageio.moc"
