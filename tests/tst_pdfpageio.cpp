#include "tools/pdf/pageio.h"

#include <QFile>
#include <QImageReader>
#include <QPageSize>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {
// A PDF with one page per size (whole points), each with a heading, a line of text, a coloured
// picture and a frame, so it renders like a real document.
bool writeFixturePdf(const QString &path, const QList<QSizeF> &pointSizes)
{
    QPdfWriter writer(path);
    writer.setResolution(72);
    QPainter painter;
    for (qsizetype i = 0; i < pointSizes.size(); ++i) {
        const QSizeF size = pointSizes.at(i);
        writer.setPageSize(QPageSize(size, QPageSize::Point, QString(), QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        if (i == 0 ? !painter.begin(&writer) : !writer.newPage()) {
            return false;
        }
        const QRectF page(QPointF(0, 0), size);
        painter.setPen(QPen(Qt::darkBlue, 2));
        painter.drawRect(page.adjusted(4, 4, -4, -4));
        QFont font = painter.font();
        font.setPointSizeF(qMax(4.0, size.height() / 30));
        painter.setFont(font);
        painter.drawText(page.adjusted(10, 10, -10, -10), Qt::AlignTop | Qt::AlignLeft,
            QStringLiteral("Page %1 heading\nSome words on the page").arg(i + 1));
        QLinearGradient gradient(page.center(), page.bottomRight());
        gradient.setColorAt(0, Qt::red);
        gradient.setColorAt(1, Qt::yellow);
        painter.setBrush(gradient);
        painter.drawEllipse(QRectF(page.center(), page.size() / 3));
    }
    return painter.end();
}

QImage filledImage(
    const QSize &size, const QColor &colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(size, format);
    image.fill(colour);
    return image;
}

QList<QSizeF> pointSizesOf(const QString &path)
{
    QPdfDocument doc;
    if (doc.load(path) != QPdfDocument::Error::None) {
        return {};
    }
    QList<QSizeF> sizes;
    for (int page = 0; page < doc.pageCount(); ++page) {
        sizes.append(doc.pagePointSize(page));
    }
    return sizes;
}

bool closeTo(const QSizeF &a, const QSizeF &b, double tolerance = 0.01)
{
    return qAbs(a.width() - b.width()) <= tolerance && qAbs(a.height() - b.height()) <= tolerance;
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool isRedDominant(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 80 && qBlue(pixel) < 80;
}

bool isWhite(QRgb pixel)
{
    return qRed(pixel) > 245 && qGreen(pixel) > 245 && qBlue(pixel) > 245;
}
} // namespace

class tst_PdfPageIo : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void computesRenderSize_data();
    void computesRenderSize();
    void roundTripsPageSizes_data();
    void roundTripsPageSizes();
    void writesImageAtItsPhysicalSize_data();
    void writesImageAtItsPhysicalSize();
    void drawsInsideDefaultMargins();
    void writesTinyPagesVisibly_data();
    void writesTinyPagesVisibly();
    void rendersPagesOnWhite();
    void refusesFilesThatDoNotOpen_data();
    void refusesFilesThatDoNotOpen();
    void refusesOversizedPage();
    void writesNothingForEmptyList();
    void refusesNullPage();
    void failsForUnwritablePlace();
    void keepsExistingFileWhenWriteFails();
    void savesOverTheFileItRead();
    void readsImagesPaintable_data();
    void readsImagesPaintable();
    void readsGifPaintable();
    void refusesUnreadableImage();

private:
    QTemporaryDir *dir() { return m_dir.get(); }
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_PdfPageIo::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_PdfPageIo::computesRenderSize_data()
{
    QTest::addColumn<QSizeF>("points");
    QTest::addColumn<QSize>("pixels");

    QTest::addRow("letter") << QSizeF(612, 792) << QSize(1700, 2200);
    QTest::addRow("a4") << QSizeF(595, 842) << QSize(1653, 2339);
    QTest::addRow("half rounds up") << QSizeF(0.18, 0.54) << QSize(1, 2);
    QTest::addRow("a0 poster") << QSizeF(2384, 3370) << QSize(6622, 9361);
    QTest::addRow("empty") << QSizeF(0, 792) << QSize();
    QTest::addRow("negative") << QSizeF(-612, 792) << QSize();
    QTest::addRow("side beyond the limit") << QSizeF(6000, 100) << QSize();
    QTest::addRow("area beyond the limit") << QSizeF(5000, 5000) << QSize();
    QTest::addRow("largest pdf page") << QSizeF(14400, 14400) << QSize();
    QTest::addRow("absurd") << QSizeF(1e300, 1e300) << QSize();
}

void tst_PdfPageIo::computesRenderSize()
{
    QFETCH(QSizeF, points);
    QFETCH(QSize, pixels);
    QCOMPARE(renderPixelSize(points, kPageDpi), pixels);
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

    const QString source = path(QStringLiteral("source.pdf"));
    QVERIFY(writeFixturePdf(source, pointSizes));
    const PdfReadResult read = readPdfPages(source);
    QVERIFY(read.ok);
    QList<QSize> rendered;
    for (const QImage &page : read.pages) {
        rendered.append(page.size());
    }
    QCOMPARE(rendered, pixelSizes);

    const QString target = path(QStringLiteral("written.pdf"));
    QString error;
    QVERIFY2(writePagesAsPdf(read.pages, target, &error), qPrintable(error));
    const QList<QSizeF> written = pointSizesOf(target);
    QCOMPARE(written.size(), writtenSizes.size());
    for (qsizetype i = 0; i < written.size(); ++i) {
        // The writer stores whole points.
        QVERIFY2(closeTo(written.at(i), writtenSizes.at(i), 0.5),
            qPrintable(QStringLiteral("page %1: %2 x %3")
                           .arg(i + 1)
                           .arg(written.at(i).width())
                           .arg(written.at(i).height())));
    }
}

void tst_PdfPageIo::writesImageAtItsPhysicalSize_data()
{
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<QSizeF>("points");

    QTest::addRow("800 x 600") << QSize(800, 600) << QSizeF(288, 216);
    QTest::addRow("letter at 200 dpi") << QSize(1700, 2200) << QSizeF(612, 792);
    QTest::addRow("landscape letter") << QSize(2200, 1700) << QSizeF(792, 612);
}

void tst_PdfPageIo::writesImageAtItsPhysicalSize()
{
    QFETCH(QSize, pixels);
    QFETCH(QSizeF, points);

    QCOMPARE(pagePointSize(pixels), points);
    const QString target = path(QStringLiteral("image.pdf"));
    QVERIFY(writePagesAsPdf({ filledImage(pixels, Qt::red) }, target));
    const QList<QSizeF> written = pointSizesOf(target);
    QCOMPARE(written.size(), 1);
    QVERIFY(closeTo(written.constFirst(), points));
}

void tst_PdfPageIo::drawsInsideDefaultMargins()
{
    const QString target = path(QStringLiteral("margins.pdf"));
    QVERIFY(writePagesAsPdf({ filledImage(QSize(1700, 2200), Qt::red) }, target));
    QPdfDocument doc;
    QCOMPARE(doc.load(target), QPdfDocument::Error::None);
    const QImage back = renderPage(doc, 0, kPageDpi);
    QCOMPARE(back.size(), QSize(1700, 2200));
    QVERIFY(isWhite(back.pixel(5, 5)));
    QVERIFY(isWhite(back.pixel(1694, 2194)));
    QVERIFY(isRedDominant(back.pixel(850, 1100)));
    QVERIFY(isRedDominant(back.pixel(40, 40)));
}

void tst_PdfPageIo::writesTinyPagesVisibly_data()
{
    QTest::addColumn<QSize>("pixels");

    QTest::addRow("stamp-sized image") << QSize(40, 40);
    QTest::addRow("55 px, under 20 pt") << QSize(55, 55);
    QTest::addRow("56 px, just over 20 pt") << QSize(56, 56);
    QTest::addRow("thin crop") << QSize(1500, 30);
    QTest::addRow("narrow crop") << QSize(20, 1500);
    QTest::addRow("ordinary") << QSize(200, 200);
}

void tst_PdfPageIo::writesTinyPagesVisibly()
{
    QFETCH(QSize, pixels);

    const QString target = path(QStringLiteral("tiny.pdf"));
    QVERIFY(writePagesAsPdf({ filledImage(pixels, Qt::red) }, target));
    QPdfDocument doc;
    QCOMPARE(doc.load(target), QPdfDocument::Error::None);
    QCOMPARE(doc.pageCount(), 1);
    const QImage back = renderPage(doc, 0, kPageDpi);
    QVERIFY(!back.isNull());
    QVERIFY2(isRedDominant(back.pixel(back.width() / 2, back.height() / 2)),
        qPrintable(QColor(back.pixel(back.width() / 2, back.height() / 2)).name()));
}

void tst_PdfPageIo::rendersPagesOnWhite()
{
    const QString source = path(QStringLiteral("text.pdf"));
    QVERIFY(writeFixturePdf(source, { { 612, 792 } }));
    QPdfDocument doc;
    QCOMPARE(doc.load(source), QPdfDocument::Error::None);
    const QImage page = renderPage(doc, 0, kPageDpi);
    QCOMPARE(page.size(), QSize(1700, 2200));

    int transparent = 0;
    for (int y = 0; y < page.height(); y += 3) {
        for (int x = 0; x < page.width(); x += 3) {
            transparent += qAlpha(page.pixel(x, y)) != 255;
        }
    }
    QCOMPARE(transparent, 0);
    QVERIFY(isWhite(page.pixel(850, 300)));
    // Grey drops alpha: a transparent background would come out black there.
    const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
    QVERIFY(qGray(grey.pixel(850, 300)) > 245);
}

void tst_PdfPageIo::refusesFilesThatDoNotOpen_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("create");

    QTest::addRow("missing file") << QByteArray() << false;
    QTest::addRow("garbage") << QByteArray("this is not a PDF at all\n") << true;
    QTest::addRow("empty file") << QByteArray() << true;
    QTest::addRow("truncated header") << QByteArray("%PDF-1.4\n1 0 obj\n<<") << true;
}

void tst_PdfPageIo::refusesFilesThatDoNotOpen()
{
    QFETCH(QByteArray, contents);
    QFETCH(bool, create);

    const QString source = path(QStringLiteral("broken.pdf"));
    if (create) {
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    const PdfReadResult read = readPdfPages(source);
    QVERIFY(!read.ok);
    QVERIFY(read.pages.isEmpty());
}

void tst_PdfPageIo::refusesOversizedPage()
{
    const QString source = path(QStringLiteral("huge.pdf"));
    QVERIFY(writeFixturePdf(source, { { 612, 792 }, { 14400, 14400 } }));
    const PdfReadResult read = readPdfPages(source);
    QVERIFY(!read.ok);
    QVERIFY(read.pages.isEmpty());
}

void tst_PdfPageIo::writesNothingForEmptyList()
{
    const QString target = path(QStringLiteral("empty.pdf"));
    QVERIFY(!writePagesAsPdf({}, target));
    QVERIFY(!QFile::exists(target));
    QVERIFY(paintPdf({}).isEmpty());
}

void tst_PdfPageIo::refusesNullPage()
{
    const QString target = path(QStringLiteral("null.pdf"));
    QFile existing(target);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("old contents");
    existing.close();

    QString error;
    QVERIFY(!writePagesAsPdf({ filledImage(QSize(100, 100), Qt::red), QImage() }, target, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(contentsOf(target), QByteArray("old contents"));
}

void tst_PdfPageIo::failsForUnwritablePlace()
{
    const QString notAFolder = path(QStringLiteral("plain.txt"));
    QFile file(notAFolder);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QString error;
    QVERIFY(!writePagesAsPdf({ filledImage(QSize(100, 100), Qt::red) },
        notAFolder + QStringLiteral("/out.pdf"), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!writePagesAsPdf(
        { filledImage(QSize(100, 100), Qt::red) }, path(QStringLiteral("no/such/folder/out.pdf"))));
}

void tst_PdfPageIo::keepsExistingFileWhenWriteFails()
{
    const QString target = path(QStringLiteral("keep.pdf"));
    QVERIFY(writeFixturePdf(target, { { 612, 792 } }));
    const QByteArray before = contentsOf(target);
    QVERIFY(before.startsWith("%PDF"));

    // A disk that fills up part-way: files may not grow beyond 4 KB, and the signal that would
    // end the process is ignored so that the write only comes up short.
    QImage noisy(800, 800, QImage::Format_RGB32);
    for (int y = 0; y < noisy.height(); ++y) {
        for (int x = 0; x < noisy.width(); ++x) {
            noisy.setPixel(x, y, qRgb((x * 7 + y * 13) % 256, (x * y) % 256, (x ^ y) % 256));
        }
    }
    rlimit saved {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool written = writePagesAsPdf({ noisy, noisy }, target, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!written);
    QVERIFY(!error.isEmpty());
    QCOMPARE(contentsOf(target), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList { "keep.pdf" });
}

void tst_PdfPageIo::savesOverTheFileItRead()
{
    const QString file = path(QStringLiteral("report.pdf"));
    QVERIFY(writeFixturePdf(file, { { 612, 792 }, { 288, 216 } }));
    const PdfReadResult read = readPdfPages(file);
    QVERIFY(read.ok);
    QCOMPARE(read.pages.size(), 2);

    QVERIFY(writePagesAsPdf(read.pages, file));
    const QList<QSizeF> written = pointSizesOf(file);
    QCOMPARE(written.size(), 2);
    QVERIFY(closeTo(written.at(0), QSizeF(612, 792), 0.5));
    QVERIFY(closeTo(written.at(1), QSizeF(288, 216), 0.5));
}

void tst_PdfPageIo::readsImagesPaintable_data()
{
    QTest::addColumn<QImage>("image");
    QTest::addColumn<QByteArray>("fileFormat");
    QTest::addColumn<bool>("hasAlpha");

    QImage mono(40, 30, QImage::Format_Mono);
    mono.setColor(0, qRgb(255, 255, 255));
    mono.setColor(1, qRgb(0, 0, 0));
    mono.fill(1);
    QImage indexed(40, 30, QImage::Format_Indexed8);
    indexed.setColorTable({ qRgb(0, 0, 255), qRgb(0, 128, 0) });
    indexed.fill(1);
    QImage indexedAlpha = indexed;
    indexedAlpha.setColorTable({ qRgba(0, 0, 0, 0), qRgb(0, 128, 0) });
    QImage grey(40, 30, QImage::Format_Grayscale8);
    grey.fill(QColor(90, 90, 90));
    QImage argb(40, 30, QImage::Format_ARGB32);
    argb.fill(QColor(0, 0, 255, 128));

    QTest::addRow("1-bit png") << mono << QByteArray("png") << false;
    QTest::addRow("1-bit bmp") << mono << QByteArray("bmp") << false;
    QTest::addRow("indexed png") << indexed << QByteArray("png") << false;
    QTest::addRow("indexed bmp") << indexed << QByteArray("bmp") << false;
    QTest::addRow("indexed png with transparency") << indexedAlpha << QByteArray("png") << true;
    QTest::addRow("greyscale png") << grey << QByteArray("png") << false;
    QTest::addRow("greyscale jpeg") << grey << QByteArray("jpg") << false;
    QTest::addRow("colour jpeg") << filledImage(QSize(40, 30), Qt::blue) << QByteArray("jpg")
                                 << false;
    QTest::addRow("translucent png") << argb << QByteArray("png") << true;
    QTest::addRow("webp") << filledImage(QSize(40, 30), Qt::blue) << QByteArray("webp") << false;
}

void tst_PdfPageIo::readsImagesPaintable()
{
    QFETCH(QImage, image);
    QFETCH(QByteArray, fileFormat);
    QFETCH(bool, hasAlpha);

    if (!QImageReader::supportedImageFormats().contains(fileFormat)) {
        QSKIP("This Qt cannot read the format");
    }
    const QString file = path(QStringLiteral("page.") + QString::fromLatin1(fileFormat));
    QVERIFY(image.save(file, fileFormat.constData()));

    const QImage page = readPageImage(file);
    QCOMPARE(page.size(), image.size());
    QCOMPARE(page.hasAlphaChannel(), hasAlpha);
    QVERIFY2(page.format() == QImage::Format_RGB32 || page.format() == QImage::Format_ARGB32,
        qPrintable(QString::number(page.format())));
    // The pixels are the file's (lossy formats roughly so).
    const QColor before = image.pixelColor(10, 10);
    const QColor after = page.pixelColor(10, 10);
    QVERIFY2(qAbs(before.red() - after.red()) < 12 && qAbs(before.green() - after.green()) < 12
            && qAbs(before.blue() - after.blue()) < 12,
        qPrintable(before.name() + QStringLiteral(" became ") + after.name()));

    // A mark drawn on the page shows in its colour.
    QImage marked = page;
    QPainter painter(&marked);
    painter.fillRect(QRect(0, 0, 5, 5), QColor(255, 0, 0));
    painter.end();
    QCOMPARE(marked.pixelColor(2, 2), QColor(255, 0, 0));
}

void tst_PdfPageIo::readsGifPaintable()
{
    // Qt reads GIF but cannot write it: a 40 x 30 two-colour GIF filled with #008000.
    static const unsigned char gif[] = { 0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x28, 0x00, 0x1e, 0x00,
        0xf0, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x21, 0xf9, 0x04, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00, 0x28, 0x00, 0x1e, 0x00, 0x00, 0x02, 0x21, 0x84,
        0x8f, 0xa9, 0xcb, 0xed, 0x0f, 0xa3, 0x9c, 0xb4, 0xda, 0x8b, 0xb3, 0xde, 0xbc, 0xfb, 0x0f,
        0x86, 0xe2, 0x48, 0x96, 0xe6, 0x89, 0xa6, 0xea, 0xca, 0xb6, 0xee, 0x0b, 0xc7, 0xf2, 0x4c,
        0x73, 0x05, 0x00, 0x3b };
    if (!QImageReader::supportedImageFormats().contains("gif")) {
        QSKIP("This Qt cannot read GIF");
    }
    const QString file = path(QStringLiteral("page.gif"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(reinterpret_cast<const char *>(gif), sizeof gif);
    out.close();
    QImage original(file);
    QVERIFY(!original.isNull());

    QImage page = readPageImage(file);
    QCOMPARE(page.size(), QSize(40, 30));
    QCOMPARE(page.format(), QImage::Format_RGB32);
    QCOMPARE(page.pixelColor(10, 10), QColor(0, 128, 0));
    QPainter painter(&page);
    painter.fillRect(QRect(0, 0, 5, 5), QColor(255, 0, 0));
    painter.end();
    QCOMPARE(page.pixelColor(2, 2), QColor(255, 0, 0));
}

void tst_PdfPageIo::refusesUnreadableImage()
{
    const QString file = path(QStringLiteral("broken.png"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("\x89PNG but not really");
    out.close();
    QVERIFY(readPageImage(file).isNull());
    QVERIFY(readPageImage(path(QStringLiteral("missing.png"))).isNull());
}

QTEST_MAIN(tst_PdfPageIo)
#include "tst_pdfpageio.moc"
