#include "tools/image/imagefiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

namespace {

QImage filledImage(const QSize &size, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(QColor(200, 120, 40, 128));
    return image.convertToFormat(format);
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class tst_ImageFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void load_data();
    void load();
    void save_data();
    void save();
    void failedWriteKeepsExistingFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_ImageFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_ImageFiles::load_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size"); // invalid: refused

    const auto row = [](const char *name, const QByteArray &bytes, QSize size) {
        QTest::addRow("%s", name) << QString::fromLatin1(name) << bytes << size;
    };
    row("transparent.png", encoded(filledImage({ 33, 70 }, QImage::Format_ARGB32), "png"),
        { 33, 70 });
    row("mono.png", encoded(filledImage({ 81, 9 }, QImage::Format_Mono), "png"), { 81, 9 });
    row("grey.jpeg", encoded(filledImage({ 17, 5 }, QImage::Format_Grayscale8), "jpeg"), { 17, 5 });
    row("indexed.bmp", encoded(filledImage({ 12, 12 }, QImage::Format_Indexed8), "bmp"),
        { 12, 12 });
    row("photo.webp", encoded(filledImage({ 50, 25 }), "webp"), { 50, 25 });
    // Qt reads GIF but cannot write it: four colours, every pixel coded right after a clear code.
    row("anim.gif",
        QByteArray::fromHex("47494638396103000200810000000000ff000000ff000000"
                            "ff2c00000000030002000002050443711453003b"),
        { 3, 2 });
    row("text renamed.png", "just some text\nno pixels\n", {});
    row("signature only.png", QByteArray("\x89PNG\r\n\x1a\n", 8), {});
    // 81 million one-bit pixels: a small file, 324 MB once decoded at four bytes a pixel.
    QImage huge(9000, 9000, QImage::Format_Mono);
    huge.fill(0);
    row("beyond the pixel budget.png", encoded(huge, "png"), {});
}

void tst_ImageFiles::load()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QFile file(m_dir->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    const ImageFiles::LoadResult loaded = ImageFiles::load(file.fileName());
    QCOMPARE(loaded.image.size(), size.isValid() ? size : QSize(0, 0));
    QCOMPARE(loaded.error.isEmpty(), size.isValid());
}

void tst_ImageFiles::save_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format"); // empty: refused
    QTest::addRow("png") << "out.png" << QByteArray("png");
    QTest::addRow("upper-case JPG") << "OUT.JPG" << QByteArray("jpeg");
    QTest::addRow("several dots") << "out.v2.final.bmp" << QByteArray("bmp");
    QTest::addRow("no suffix") << "scan_resized." << QByteArray();
    QTest::addRow("gif, read but not written") << "out.gif" << QByteArray();
    QTest::addRow("missing folder") << "gone/out.png" << QByteArray();
}

void tst_ImageFiles::save()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    const QString path = m_dir->filePath(name);
    const ImageFiles::SaveResult saved = ImageFiles::save(filledImage(QSize(90, 40)), path);
    QCOMPARE(saved.ok, !format.isEmpty());
    QCOMPARE(saved.error.isEmpty(), saved.ok);

    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), format);
    QCOMPARE(reader.size(), format.isEmpty() ? QSize() : QSize(90, 40));
}

void tst_ImageFiles::failedWriteKeepsExistingFile()
{
    const QString path = m_dir->filePath(QStringLiteral("out.png"));
    QVERIFY(filledImage(QSize(10, 10)).save(path));
    const QByteArray before = readAll(path);

    // Noise does not compress: its PNG outgrows a 16 KiB file size limit, like a full disk.
    QImage noise(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y) {
        QRandomGenerator::global()->fillRange(
            reinterpret_cast<quint32 *>(noise.scanLine(y)), noise.width());
    }
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
    rlimit lowered = old;
    lowered.rlim_cur = 16 * 1024;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &lowered) == 0);
    const ImageFiles::SaveResult saved = ImageFiles::save(noise, path);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!saved.ok);
    QVERIFY(!saved.error.isEmpty());
    QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList { QStringLiteral("out.png") });
}

QTEST_GUILESS_MAIN(tst_ImageFiles)
#include "tst_imagefiles.moc"
