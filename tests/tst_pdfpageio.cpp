#include "tools/image/imagefiles.h"
#include "tools/image/resizemath.h"
#include "tools/pdf/pageio.h"

#include "pdftesting.h"

#include <QBuffer>
#include <QtEndian>
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

// A PNG whose header claims width x height, its checksum mended.
QByteArray pngClaiming(qint32 width, qint32 height)
{
    QByteArray bytes = encoded(noisePage({ 40, 30 }), "png");
    qToBigEndian(width, bytes.data() + 16);
    qToBigEndian(height, bytes.data() + 20);
    quint32 crc = 0xffffffffu;
    for (const char c : bytes.mid(12, 17)) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
    }
    qToBigEndian(~crc, bytes.data() + 29);
    return bytes;
}

// One pixel, in a frame and on a screen of the given sizes (Qt reads GIF but does not write it).
QByteArray gif(quint16 width, quint16 height)
{
    QByteArray bytes = QByteArray::fromHex("474946383961010001008000000000"
                                           "00ffffff21f90401000000002c000000000100010000"
                                           "02024401003b");
    for (const int at : { 6, 32 }) {
        qToLittleEndian(width, bytes.data() + at);
        qToLittleEndian(height, bytes.data() + at + 2);
    }
    return bytes;
}
} // namespace

class tst_PdfPageIo : public QObject
{
    Q_OBJECT

private slots:
    void roundTripsPageSizes_data();
    void roundTripsPageSizes();
    void drawsPagesEdgeToEdge_data();
    void drawsPagesEdgeToEdge();
    void refusesEmptyListOrNullPage();
    void readsImagesPaintableOrNot_data();
    void readsImagesPaintableOrNot();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};

void tst_PdfPageIo::roundTripsPageSizes_data()
{
    QTest::addColumn<QList<QSizeF>>("points");
    QTest::addColumn<QString>("pixels");
    QTest::addColumn<QString>("written"); // read back at 200 dpi

    QTest::addRow("letter") << QList<QSizeF> { { 612, 792 } } << "1700x2200"
                            << "1700x2200";
    // 1653 x 2339 pixels measure 595.08 x 842.04 points, close enough to be written as A4.
    QTest::addRow("a4") << QList<QSizeF> { { 595, 842 } } << "1653x2339"
                        << "1653x2339";
    QTest::addRow("mixed sizes") << QList<QSizeF> { { 612, 792 }, { 288, 216 }, { 144, 720 } }
                                 << "1700x2200 800x600 400x2000"
                                 << "1700x2200 800x600 400x2000";
}

void tst_PdfPageIo::roundTripsPageSizes()
{
    QFETCH(QList<QSizeF>, points);
    QFETCH(QString, pixels);
    QFETCH(QString, written);

    QVERIFY(writeTestPdf(path("document.pdf"), points));
    const PdfReadResult read = readPdfPages(path("document.pdf"));
    QVERIFY(read.ok);
    QCOMPARE(sizesOf(read.pages), pixels);
    for (const QImage &page : read.pages) {
        // White paper, not transparent (black once alpha is dropped), and the black bar.
        QVERIFY(qGray(page.pixel(page.width() - 5, page.height() - 5)) > 245);
        QVERIFY(qGray(page.pixel(60, 45)) < 40);
    }
    // Written over the very file that was read.
    QString error;
    QVERIFY2(writePagesAsPdf(read.pages, path("document.pdf"), &error), qPrintable(error));
    QCOMPARE(pdfPageSizes(path("document.pdf")), written);
}

void tst_PdfPageIo::drawsPagesEdgeToEdge_data()
{
    QTest::addColumn<QSize>("pixels");
    QTest::addRow("800 x 600") << QSize(800, 600);
    QTest::addRow("55 px, under 20 pt") << QSize(55, 55);
    QTest::addRow("thin crop") << QSize(1500, 30);
}

void tst_PdfPageIo::drawsPagesEdgeToEdge()
{
    QFETCH(QSize, pixels);

    // A red page framed in black: saved, opened and saved again, it keeps its size and its frame
    // stays on its edges, with no white border and no shrinking.
    QImage page = plainPage(pixels, Qt::red);
    QPainter(&page).fillRect(QRect(QPoint(), pixels).adjusted(4, 4, -4, -4), Qt::white);
    QList<QImage> saved { page };
    for (int save = 1; save <= 2; ++save) {
        QVERIFY(writePagesAsPdf(saved, path("page.pdf")));
        saved = readPdfPages(path("page.pdf")).pages;
        // The writer keeps page sizes in whole points: a side may come back a pixel longer.
        QCOMPARE(saved.size(), 1);
        const QImage &back = saved.first();
        QVERIFY(qAbs(back.width() - pixels.width()) + qAbs(back.height() - pixels.height()) <= 2);
        for (const QPoint corner : { QPoint(1, 1), QPoint(back.width() - 2, back.height() - 2) }) {
            QVERIFY2(qRed(back.pixel(corner)) > 200 && qGreen(back.pixel(corner)) < 80,
                qPrintable(QColor(back.pixel(corner)).name()));
        }
        if (pixels.height() > 30) {
            QVERIFY(qGreen(back.pixel(back.width() / 2, back.height() / 2)) > 200);
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

void tst_PdfPageIo::readsImagesPaintableOrNot_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size"); // 0 x 0: no image; invalid: none or one the resizer can hold

    QImage mono(40, 30, QImage::Format_Mono);
    mono.setColorTable({ qRgb(255, 255, 255), qRgb(0, 0, 0) });
    mono.fill(1);
    QImage indexed(40, 30, QImage::Format_Indexed8);
    indexed.setColorTable({ qRgba(0, 0, 0, 0), qRgb(0, 128, 0) });
    indexed.fill(1);
    const QImage grey = plainPage({ 40, 30 }, Qt::gray, QImage::Format_Grayscale8);
    const QSize size(40, 30);
    QTest::addRow("1-bit") << "mono.png" << encoded(mono, "png") << size;
    QTest::addRow("indexed with transparency") << "indexed.png" << encoded(indexed, "png") << size;
    QTest::addRow("greyscale named jpg, quotes")
        << "the \"grey\" one's.jpg" << encoded(grey, "png") << size;
    QTest::addRow("webp without suffix, non-ASCII")
        << "Ölgemälde – 写真 ✓" << encoded(noisePage(size), "webp") << size;
    QTest::addRow("zero-length") << "empty.jpg" << QByteArray() << QSize(0, 0);
    QTest::addRow("text") << "notes.png" << QByteArray("just some words\n") << QSize(0, 0);
    QTest::addRow("png claiming 100000 x 100000")
        << "huge.png" << pngClaiming(100000, 100000) << QSize(0, 0);
    QTest::addRow("png claiming 1 x 4 billion") << "thin.png" << pngClaiming(1, -1) << QSize(0, 0);
    QTest::addRow("gif claiming 65535 x 65535") << "huge.gif" << gif(65535, 65535) << QSize();
    const QByteArray whole = encoded(noisePage({ 120, 80 }), "jpeg");
    QTest::addRow("jpeg cut in half") << "cut.jpg" << whole.left(whole.size() / 2) << QSize();
}

void tst_PdfPageIo::readsImagesPaintableOrNot()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);

    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    const QImage page = readPageImage(path(name));
    const ImageFiles::LoadResult loaded = ImageFiles::load(path(name));
    if (!size.isEmpty()) {
        QCOMPARE(page.size(), size);
        QCOMPARE(loaded.image.size(), size);
        // Its colours as they were, and a mark drawn on it shows in colour.
        QCOMPARE(page.pixelColor(10, 10), QImage(path(name)).pixelColor(10, 10));
        QImage marked = page;
        QPainter(&marked).fillRect(QRect(0, 0, 5, 5), Qt::red);
        QCOMPARE(marked.pixelColor(2, 2), QColor(Qt::red));
    } else if (size.isValid()) {
        QVERIFY(page.isNull() && loaded.image.isNull());
    } else {
        QVERIFY(page.isNull() || ResizeMath::fitsPixelBudget(page.size()));
        QVERIFY(loaded.image.isNull() || ResizeMath::fitsPixelBudget(loaded.image.size()));
    }
    QVERIFY(!loaded.image.isNull() || !loaded.error.isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
}

QTEST_MAIN(tst_PdfPageIo)
#include "tst_pdfpageio.moc"
