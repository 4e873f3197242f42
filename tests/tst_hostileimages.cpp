// Image files built to break the readers: cut short, empty, lying about their size, named for
// another format, at awkward paths. The PDF page's reader and the image resizer's reader give a
// usable image or nothing (the resizer then says why, and its page "Could not load that image.");
// none may crash, hang, or change the file read.

#include "tools/image/imagefiles.h"
#include "tools/image/resizemath.h"
#include "tools/pdf/pageio.h"

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <climits>

namespace {

// A picture with some detail, so that every format has real data to cut into.
QImage picture(const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(QColor(250, 240, 200));
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 12; ++i) {
        painter.setBrush(QColor::fromHsv(i * 30, 200, 200, 160 + i * 8));
        painter.drawEllipse(QPointF(size.width() * (i + 1) / 13.0, size.height() / 2.0),
            size.width() / 6.0, size.height() / 3.0);
    }
    return image;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Qt reads GIF but does not write it: one pixel, in a frame and on a screen of the given sizes.
QByteArray gif(quint16 width, quint16 height, quint16 screenWidth, quint16 screenHeight)
{
    QByteArray bytes = QByteArray::fromHex("47494638396101000100800000000000ffffff21f9040100000000"
                                           "2c000000000100010000"
                                           "02024401003b");
    qToLittleEndian(screenWidth, bytes.data() + 6);
    qToLittleEndian(screenHeight, bytes.data() + 8);
    qToLittleEndian(width, bytes.data() + 32);
    qToLittleEndian(height, bytes.data() + 34);
    return bytes;
}

// A picture in format whose header claims width x height (for WebP, the header alone).
QByteArray claiming(const char *format, qint32 width, qint32 height)
{
    QByteArray bytes = encoded(picture({ 40, 30 }), format);
    if (qstrcmp(format, "png") == 0) {
        // Signature (8), chunk length (4), "IHDR" (4), width, height; the checksum mended.
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
    } else if (qstrcmp(format, "jpeg") == 0) {
        const qsizetype frame = bytes.indexOf("\xff\xc0");
        qToBigEndian(quint16(height), bytes.data() + frame + 5);
        qToBigEndian(quint16(width), bytes.data() + frame + 7);
    } else if (qstrcmp(format, "bmp") == 0) {
        qToLittleEndian(width, bytes.data() + 18); // negative height: rows from the top
        qToLittleEndian(height, bytes.data() + 22);
    } else { // an extended WebP header, 24 bits a side, stored less one
        bytes = QByteArray("RIFF\x16\0\0\0WEBPVP8X\x0a\0\0\0", 20) + QByteArray(11, '\0');
        qToLittleEndian(width - 1, bytes.data() + 24);
        qToLittleEndian(height - 1, bytes.data() + 27);
        bytes.chop(1);
    }
    return bytes;
}

QByteArray randomBytes(quint32 seed, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// What both readers must give.
enum class Expect {
    Nothing,
    Exact, // an image of the size given
    Partial, // nothing, or an image of the size given (a decoder may show what arrived)
    Bounded, // nothing, or an image within the resizer's pixel budget
};

} // namespace

Q_DECLARE_METATYPE(Expect)

class tst_HostileImages : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void readersGiveAnImageOrNothing_data();
    void readersGiveAnImageOrNothing();
    void refusesWhatIsNoFile();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_HostileImages::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
}

void tst_HostileImages::readersGiveAnImageOrNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Expect>("expect");
    QTest::addColumn<QSize>("size");

    const QImage source = picture({ 40, 30 });
    const auto row = [](const char *tag, const char *name, const QByteArray &bytes,
                         Expect expect = Expect::Nothing, QSize size = {}) {
        QTest::addRow("%s", tag) << QString::fromUtf8(name) << bytes << expect << size;
    };
    row("zero-length", "empty.jpg", {});
    row("random bytes", "noise.webp", randomBytes(12, 3000));
    row("text", "notes.png", "just some words\n");
    row("png claiming 100000 x 100000", "huge.png", claiming("png", 100000, 100000));
    row("png claiming 1 x 4 billion", "thin.png", claiming("png", 1, -1));
    row("png claiming 0 x 0", "zero.png", claiming("png", 0, 0));
    row("jpeg claiming 65500 x 65500", "huge.jpg", claiming("jpeg", 65500, 65500));
    row("bmp claiming 50000 x 50000", "huge.bmp", claiming("bmp", 50000, 50000));
    row("bmp claiming -2^31 rows", "rows.bmp", claiming("bmp", 40, INT_MIN));
    row("gif claiming 65535 x 65535", "huge.gif", gif(65535, 65535, 65535, 65535), Expect::Bounded);
    row("gif frame beyond its screen", "frame.gif", gif(4, 4, 1, 1), Expect::Bounded);
    row("webp claiming 16384 x 16384", "huge.webp", claiming("webp", 16384, 16384));
    row("png named jpg, quotes", "the \"best\"  one's.jpg", encoded(source, "png"), Expect::Exact,
        { 40, 30 });
    row("jpeg named png, non-ASCII", "Ölgemälde – 写真 ✓.png", encoded(source, "jpeg"),
        Expect::Exact, { 40, 30 });
    row("gif named bmp, shell characters", "-rf $(x) `y` & z | *.bmp", gif(1, 1, 1, 1),
        Expect::Exact, { 1, 1 });
    row("webp without suffix", "picture", encoded(source, "webp"), Expect::Exact, { 40, 30 });
    for (const char *format : { "png", "jpeg", "bmp", "webp" }) {
        const QByteArray whole = encoded(picture({ 120, 80 }), format);
        for (int tenth = 1; tenth < 10; ++tenth) {
            QTest::addRow("%s cut at %d/10", format, tenth)
                << QStringLiteral("cut.") + QLatin1String(format)
                << whole.left(whole.size() * tenth / 10) << Expect::Partial << QSize(120, 80);
        }
    }
}

void tst_HostileImages::readersGiveAnImageOrNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(Expect, expect);
    QFETCH(QSize, size);

    const QDir folder(path(QStringLiteral("a folder – ü \"x\"")));
    const QString file = folder.filePath(name);
    QVERIFY(folder.mkpath(folder.path()) && writeFile(file, bytes));
    QElapsedTimer timer;
    timer.start();
    const QImage page = readPageImage(file);
    const ImageFiles::LoadResult loaded = ImageFiles::load(file);
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));

    for (const QImage &image : { page, loaded.image }) {
        switch (expect) {
        case Expect::Nothing:
            QVERIFY(image.isNull());
            break;
        case Expect::Exact:
            QCOMPARE(image.size(), size);
            break;
        case Expect::Partial:
            QVERIFY(image.isNull() || image.size() == size);
            break;
        case Expect::Bounded:
            QVERIFY(image.isNull() || ResizeMath::fitsPixelBudget(image.size()));
            break;
        }
    }
    QVERIFY(!loaded.image.isNull() || !loaded.error.isEmpty());
    // The PDF page paints on what it gets.
    QVERIFY(page.isNull() || page.format() == QImage::Format_RGB32
        || page.format() == QImage::Format_ARGB32
        || page.format() == QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(contentsOf(file), bytes);
    QCOMPARE(folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList { name });
}

void tst_HostileImages::refusesWhatIsNoFile()
{
    for (const QString &where :
        { m_dir->path(), path(QStringLiteral("missing/x.png")), QString() }) {
        const ImageFiles::LoadResult loaded = ImageFiles::load(where);
        QVERIFY(readPageImage(where).isNull() && loaded.image.isNull() && !loaded.error.isEmpty());
    }
}

QTEST_MAIN(tst_HostileImages)
#include "tst_hostileimages.moc"
