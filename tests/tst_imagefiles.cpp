#include "tools/image/imagefiles.h"

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

// Qt reads GIF but cannot write it, so the test writes its own: a 128-colour image whose LZW
// data starts over with a clear code every 100 pixels. The code width then stays at 8 bits and
// every code is one byte holding the colour index itself.
QByteArray gifBytes(int width, int height)
{
    QByteArray out("GIF89a");
    const auto word = [&out](int value) {
        out.append(char(value & 0xff));
        out.append(char((value >> 8) & 0xff));
    };
    word(width);
    word(height);
    out.append(char(0xf6)); // global colour table of 2^(6+1) entries
    out.append(char(0));
    out.append(char(0));
    for (int i = 0; i < 128; ++i) {
        out.append(char(i * 2));
        out.append(char(255 - i * 2));
        out.append(char(100));
    }
    out.append(char(0x2c));
    word(0);
    word(0);
    word(width);
    word(height);
    out.append(char(0));
    out.append(char(7)); // minimum code size: codes 0..127 are colours, 128 clear, 129 end

    QByteArray codes;
    const int clearCode = 128;
    const int endCode = 129;
    for (int i = 0; i < width * height; ++i) {
        if (i % 100 == 0) {
            codes.append(char(clearCode));
        }
        codes.append(char((i % width + i / width) % 128));
    }
    codes.append(char(endCode));
    for (int pos = 0; pos < codes.size(); pos += 255) {
        const QByteArray block = codes.mid(pos, 255);
        out.append(char(block.size()));
        out.append(block);
    }
    out.append(char(0));
    out.append(char(0x3b));
    return out;
}

QImage patternImage(const QSize &size, QImage::Format format)
{
    QImage rgb(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const int alpha = format == QImage::Format_ARGB32 ? (x * 255) / size.width() : 255;
            rgb.setPixel(x, y, qRgba(x % 256, y % 256, (x + y) % 256, alpha));
        }
    }
    return rgb.convertToFormat(format);
}

QImage noiseImage(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    auto *random = QRandomGenerator::global();
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            line[x] = random->generate() | 0xff000000u;
        }
    }
    return image;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lowers the largest file this process may write while it lives, like a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit lowered = m_old;
        lowered.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool isActive() const { return m_active; }

private:
    rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

} // namespace

class tst_ImageFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void loadsEachFormat_data();
    void loadsEachFormat();
    void loadsGif();
    void refusesWhatIsNoImage_data();
    void refusesWhatIsNoImage();
    void refusesImageBeyondPixelBudget();
    void savesFormatNamedBySuffix_data();
    void savesFormatNamedBySuffix();
    void refusesSuffixWithoutWriter_data();
    void refusesSuffixWithoutWriter();
    void refusesMissingFolder();
    void failedWriteKeepsExistingFile();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_ImageFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_ImageFiles::loadsEachFormat_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format");
    QTest::addColumn<QSize>("size");

    QTest::addRow("png rgb") << "a.png" << int(QImage::Format_RGB32) << QSize(64, 48);
    QTest::addRow("png transparent") << "b.png" << int(QImage::Format_ARGB32) << QSize(33, 70);
    QTest::addRow("png indexed") << "c.png" << int(QImage::Format_Indexed8) << QSize(40, 40);
    QTest::addRow("png mono") << "d.png" << int(QImage::Format_Mono) << QSize(81, 9);
    QTest::addRow("png grey") << "e.png" << int(QImage::Format_Grayscale8) << QSize(20, 30);
    QTest::addRow("jpg") << "f.jpg" << int(QImage::Format_RGB32) << QSize(64, 48);
    QTest::addRow("jpeg grey") << "g.jpeg" << int(QImage::Format_Grayscale8) << QSize(17, 5);
    QTest::addRow("bmp") << "h.bmp" << int(QImage::Format_RGB32) << QSize(31, 17);
    QTest::addRow("bmp indexed") << "i.bmp" << int(QImage::Format_Indexed8) << QSize(12, 12);
    QTest::addRow("webp") << "j.webp" << int(QImage::Format_RGB32) << QSize(50, 25);
    QTest::addRow("webp transparent") << "k.webp" << int(QImage::Format_ARGB32) << QSize(25, 50);
}

void tst_ImageFiles::loadsEachFormat()
{
    QFETCH(QString, name);
    QFETCH(int, format);
    QFETCH(QSize, size);
    const QString path = m_dir->filePath(name);
    const QImage source = patternImage(size, QImage::Format(format));
    QVERIFY2(source.save(path), qPrintable(path));

    const ImageFiles::LoadResult loaded = ImageFiles::load(path);
    QVERIFY2(!loaded.image.isNull(), qPrintable(loaded.error));
    QCOMPARE(loaded.image.size(), size);
    QVERIFY(loaded.error.isEmpty());
}

void tst_ImageFiles::loadsGif()
{
    QVERIFY(QImageReader::supportedImageFormats().contains("gif"));
    const QString path = m_dir->filePath(QStringLiteral("anim.gif"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(gifBytes(37, 23));
    file.close();

    const ImageFiles::LoadResult loaded = ImageFiles::load(path);
    QVERIFY2(!loaded.image.isNull(), qPrintable(loaded.error));
    QCOMPARE(loaded.image.size(), QSize(37, 23));
    // Pixel (5, 3) carries colour index 8.
    QCOMPARE(loaded.image.pixel(5, 3), qRgb(16, 239, 100));
}

void tst_ImageFiles::refusesWhatIsNoImage_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");

    QTest::addRow("text renamed png") << "notes.png" << QByteArray("just some text\nno pixels\n");
    QTest::addRow("empty png") << "empty.png" << QByteArray();
    QTest::addRow("png signature only") << "cut.png" << QByteArray("\x89PNG\r\n\x1a\n", 8);
    QTest::addRow("garbage jpg") << "x.jpg" << QByteArray(300, '\x55');
}

void tst_ImageFiles::refusesWhatIsNoImage()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const QString path = m_dir->filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    const ImageFiles::LoadResult loaded = ImageFiles::load(path);
    QVERIFY(loaded.image.isNull());
    QVERIFY(!loaded.error.isEmpty());
}

void tst_ImageFiles::refusesImageBeyondPixelBudget()
{
    // 81 million one-bit pixels: 10 MB to make, 324 MB once scaled at four bytes a pixel.
    QImage huge(9000, 9000, QImage::Format_Mono);
    huge.fill(0);
    const QString path = m_dir->filePath(QStringLiteral("huge.png"));
    QVERIFY(huge.save(path));

    const ImageFiles::LoadResult loaded = ImageFiles::load(path);
    QVERIFY(loaded.image.isNull());
    QVERIFY(loaded.error.contains(QLatin1String("too large")));
}

void tst_ImageFiles::savesFormatNamedBySuffix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");

    QTest::addRow("png") << "out.png" << QByteArray("png");
    QTest::addRow("jpg") << "out.jpg" << QByteArray("jpeg");
    QTest::addRow("upper-case JPG") << "OUT.JPG" << QByteArray("jpeg");
    QTest::addRow("jpeg") << "out.jpeg" << QByteArray("jpeg");
    QTest::addRow("bmp") << "out.bmp" << QByteArray("bmp");
    QTest::addRow("several dots") << "out.v2.final.png" << QByteArray("png");
}

void tst_ImageFiles::savesFormatNamedBySuffix()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    const QString path = m_dir->filePath(name);
    const ImageFiles::SaveResult saved =
        ImageFiles::save(patternImage(QSize(90, 40), QImage::Format_RGB32), path);
    QVERIFY2(saved.ok, qPrintable(saved.error));

    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), format);
    QCOMPARE(reader.size(), QSize(90, 40));
}

void tst_ImageFiles::refusesSuffixWithoutWriter_data()
{
    QTest::addColumn<QString>("name");

    QTest::addRow("no suffix") << "scan_resized.";
    QTest::addRow("no dot") << "scan";
    QTest::addRow("gif") << "out.gif";
    QTest::addRow("text") << "out.txt";
}

void tst_ImageFiles::refusesSuffixWithoutWriter()
{
    QFETCH(QString, name);
    const QString path = m_dir->filePath(name);
    const ImageFiles::SaveResult saved =
        ImageFiles::save(patternImage(QSize(8, 8), QImage::Format_RGB32), path);
    QVERIFY(!saved.ok);
    QVERIFY(!saved.error.isEmpty());
    QVERIFY(!QFile::exists(path));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
}

void tst_ImageFiles::refusesMissingFolder()
{
    const QString path = m_dir->filePath(QStringLiteral("gone/out.png"));
    const ImageFiles::SaveResult saved =
        ImageFiles::save(patternImage(QSize(8, 8), QImage::Format_RGB32), path);
    QVERIFY(!saved.ok);
    QVERIFY(!saved.error.isEmpty());
}

void tst_ImageFiles::failedWriteKeepsExistingFile()
{
    const QString path = m_dir->filePath(QStringLiteral("out.png"));
    QVERIFY(patternImage(QSize(10, 10), QImage::Format_RGB32).save(path));
    const QByteArray before = readAll(path);

    ImageFiles::SaveResult saved;
    {
        FileSizeLimit limit(16 * 1024);
        QVERIFY(limit.isActive());
        saved = ImageFiles::save(noiseImage(QSize(400, 300)), path);
    }
    QVERIFY(!saved.ok);
    QVERIFY(!saved.error.isEmpty());
    QCOMPARE(readAll(path), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList { QStringLiteral("out.png") });
}

QTEST_GUILESS_MAIN(tst_ImageFiles)
#include "tst_imagefiles.moc"
