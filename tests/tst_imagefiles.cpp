#include "tools/image/imagefiles.h"
#include "tools/image/resizemath.h"

#include <QBuffer>
#include <QDir>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray encoded(int width, int height, QImage::Format format, const char *type)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor(200, 120, 40, 128));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(format).save(&buffer, type);
    return bytes;
}

} // namespace

using namespace ResizeMath;

class tst_ImageFiles : public QObject
{
    Q_OBJECT

private slots:
    void fitsSizes();
    void boundsTargetSize();
    void marksFileNames();
    void findsThumbnailOverSource();
    void loadsEachFormat();
    void savesInTheSuffixFormat();
    void failedWriteKeepsExistingFile();

private:
    QTemporaryDir m_dir;
};

void tst_ImageFiles::fitsSizes()
{
    QCOMPARE(fittedSize({ 1000, 1000 }, { 800, 600 }, false), QSize(800, 600));
    QCOMPARE(fittedSize({ 1000, 1000 }, { 800, 600 }, true), QSize(600, 600));
    QCOMPARE(fittedSize({ 20000, 1 }, { 800, 600 }, true), QSize(800, 1)); // never 0 px high
    QCOMPARE(thumbnailSize({ 640, 480 }), QSize(160, 120));
    QCOMPARE(thumbnailSize({ 100, 50 }), QSize(160, 80));
}

void tst_ImageFiles::boundsTargetSize()
{
    QCOMPARE(parseTargetSize("1", "20000"), QSize(1, 20000));
    QCOMPARE(parseTargetSize("0", "10"), std::nullopt);
    QCOMPARE(parseTargetSize("10", "20001"), std::nullopt);
    QCOMPARE(parseTargetSize("", "10"), std::nullopt);
    QCOMPARE(parseTargetSize("99999999999", "10"), std::nullopt);
    // 128 MiB at four bytes a pixel; 20000 x 20000 would take 1.6 GB.
    QVERIFY(fitsPixelBudget({ 8192, 4096 }));
    QVERIFY(!fitsPixelBudget({ 8192, 4097 }));
}

void tst_ImageFiles::marksFileNames()
{
    QCOMPARE(resizedPath("/p/my photo.final.JPG"), "/p/my photo_resized.JPG");
    QCOMPARE(thumbnailPath("/p/my photo.final.JPG"), "/p/my photo_thumb.JPG");
    QCOMPARE(resizedPath("/p/scan"), "/p/scan_resized.");
    QCOMPARE(thumbnailPath("/p.old/cat.png"), "/p.old/cat_thumb.png");
}

// The thumbnail of "pic.png" must not replace a loaded "pic_thumb.png", however it was named.
void tst_ImageFiles::findsThumbnailOverSource()
{
    QTemporaryDir dir;
    QFile source(dir.filePath("pic_thumb.png"));
    QVERIFY(source.open(QIODevice::WriteOnly) && source.link(dir.filePath("link.png")));
    QVERIFY(isSameFile(thumbnailPath(dir.filePath("pic.png")), dir.path() + "/./link.png"));
    QVERIFY(!isSameFile(dir.filePath("pic.png"), source.fileName()));
}

void tst_ImageFiles::loadsEachFormat()
{
    // The loaded size; 0 x 0 when refused with a reason.
    const auto loaded = [this](const QString &name, const QByteArray &bytes) {
        QFile file(m_dir.filePath(name));
        const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
        file.close();
        const ImageFiles::LoadResult result = ImageFiles::load(file.fileName());
        const bool consistent = written && result.image.isNull() != result.error.isEmpty();
        return consistent ? result.image.size() : QSize(-1, -1);
    };
    QCOMPARE(loaded("alpha.png", encoded(33, 70, QImage::Format_ARGB32, "png")), QSize(33, 70));
    QCOMPARE(loaded("grey.jpeg", encoded(17, 5, QImage::Format_Grayscale8, "jpeg")), QSize(17, 5));
    QCOMPARE(loaded("indexed.bmp", encoded(12, 12, QImage::Format_Indexed8, "bmp")), QSize(12, 12));
    QCOMPARE(loaded("photo.webp", encoded(50, 25, QImage::Format_RGB32, "webp")), QSize(50, 25));
    // Qt reads GIF but cannot write it: 3 x 2 pixels of four colours.
    QCOMPARE(loaded("anim.gif",
                 QByteArray::fromHex("47494638396103000200810000000000ff000000ff000000ff2c0000"
                                     "0000030002000002050443711453003b")),
        QSize(3, 2));
    QCOMPARE(loaded("text.png", "just some text\n"), QSize(0, 0));
    // A small file that would take 324 MB decoded.
    QCOMPARE(loaded("huge.png", encoded(9000, 9000, QImage::Format_Mono, "png")), QSize(0, 0));
}

void tst_ImageFiles::savesInTheSuffixFormat()
{
    QImage image(9, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    const auto saved = [&](const QString &name) {
        const bool ok = ImageFiles::save(image, m_dir.filePath(name)).ok;
        QImageReader reader(m_dir.filePath(name));
        reader.setDecideFormatFromContent(true);
        return (ok ? "" : "refused") + reader.format();
    };
    QCOMPARE(saved("OUT.JPG"), "jpeg");
    QCOMPARE(saved("out.v2.final.bmp"), "bmp");
    QCOMPARE(saved("scan_resized."), "refused");
}

void tst_ImageFiles::failedWriteKeepsExistingFile()
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("out.png")));
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QVERIFY(image.save(file.fileName()) && file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    // Noise does not compress: its PNG outgrows a 16 KiB file size limit, like a full disk.
    for (int y = 0; y < image.height(); ++y) {
        QRandomGenerator::global()->fillRange(
            reinterpret_cast<quint32 *>(image.scanLine(y)), image.width());
    }
    std::signal(SIGXFSZ, SIG_IGN); // the write then fails instead of ending the process
    rlimit old {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
    const rlimit lowered { 16 * 1024, old.rlim_max };
    QVERIFY(setrlimit(RLIMIT_FSIZE, &lowered) == 0);
    const ImageFiles::SaveResult saved = ImageFiles::save(image, file.fileName());
    setrlimit(RLIMIT_FSIZE, &old);

    QVERIFY(!saved.ok && !saved.error.isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { QStringLiteral("out.png") });
}

QTEST_GUILESS_MAIN(tst_ImageFiles)
#include "tst_imagefiles.moc"
