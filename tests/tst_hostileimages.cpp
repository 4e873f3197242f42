// Image files built to break the readers: cut short, empty, lying about their size, named for
// another format, at awkward paths. The PDF page's reader and the image resizer's reader either
// give a usable image or nothing; none may crash, hang, or change the file they read. The
// resizer page says "Could not load that image." and keeps what it had.

#include "tools/image/imagefiles.h"
#include "tools/image/imageresizerpage.h"
#include "tools/image/resizemath.h"
#include "tools/pdf/pageio.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <QtTest>

#include <functional>

namespace {

const bool s_qtDialogs = [] {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    return true;
}();

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
    painter.end();
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

// Qt reads GIF but does not write it: a width x height picture in four colours, every pixel
// coded on its own after a clear code, so the code size never grows.
QByteArray gif(quint16 width, quint16 height, quint16 screenWidth = 0, quint16 screenHeight = 0)
{
    QByteArray bytes("GIF89a");
    const auto u16 = [&bytes](quint16 v) {
        bytes.append(char(v & 0xff)).append(char(v >> 8));
    };
    u16(screenWidth ? screenWidth : width);
    u16(screenHeight ? screenHeight : height);
    bytes.append(char(0x81)).append('\0').append('\0'); // four-colour global table
    bytes.append(QByteArray::fromHex("000000ff000000ff000000ff"));
    bytes.append(char(0x2c));
    u16(0);
    u16(0);
    u16(width);
    u16(height);
    bytes.append('\0').append(char(2)); // no local table; codes start at two bits
    QByteArray codes;
    quint32 bits = 0;
    int count = 0;
    const auto put = [&](int code) {
        bits |= quint32(code) << count;
        count += 3;
        while (count >= 8) {
            codes.append(char(bits & 0xff));
            bits >>= 8;
            count -= 8;
        }
    };
    for (qint64 i = 0; i < qint64(width) * height && i < 4096; ++i) {
        put(4);
        put(int(i % 4));
    }
    put(5);
    if (count > 0) {
        codes.append(char(bits & 0xff));
    }
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        bytes.append(char(block.size())).append(block);
    }
    bytes.append('\0').append(char(0x3b));
    return bytes;
}

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xffffffffu;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

// The PNG with its header claiming width x height, its checksum mended so that only the size lies.
QByteArray pngClaiming(quint32 width, quint32 height)
{
    QByteArray png = encoded(picture({ 40, 30 }), "png");
    // Signature (8), chunk length (4), "IHDR" (4), then width and height.
    qToBigEndian(width, png.data() + 16);
    qToBigEndian(height, png.data() + 20);
    qToBigEndian(crc32(png.mid(12, 17)), png.data() + 29);
    return png;
}

// The JPEG with its frame header claiming width x height.
QByteArray jpegClaiming(quint16 width, quint16 height)
{
    QByteArray jpeg = encoded(picture({ 40, 30 }), "jpeg");
    const qsizetype frame = jpeg.indexOf(QByteArray::fromHex("ffc0"));
    if (frame < 0) {
        return {};
    }
    qToBigEndian(height, jpeg.data() + frame + 5);
    qToBigEndian(width, jpeg.data() + frame + 7);
    return jpeg;
}

// The BMP with its header claiming width x height (negative height: rows from the top).
QByteArray bmpClaiming(qint32 width, qint32 height)
{
    QByteArray bmp = encoded(picture({ 40, 30 }), "bmp");
    qToLittleEndian(width, bmp.data() + 18);
    qToLittleEndian(height, bmp.data() + 22);
    return bmp;
}

// An extended WebP header for a canvas of width x height and nothing else.
QByteArray webpClaiming(quint32 width, quint32 height)
{
    QByteArray chunk("VP8X");
    QByteArray body(11, '\0');
    qToLittleEndian(width - 1, body.data() + 4); // 24 bits each, stored less one
    qToLittleEndian(height - 1, body.data() + 7);
    body.truncate(10);
    chunk += QByteArray::fromHex("0a000000") + body;
    QByteArray riff("RIFF");
    riff += QByteArray(4, '\0') + "WEBP" + chunk;
    qToLittleEndian(quint32(riff.size() - 8), riff.data() + 4);
    return riff;
}

QByteArray randomBytes(quint32 seed, int size)
{
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes) {
        c = char(random.bounded(256));
    }
    return bytes;
}

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Reading must end within this time whatever the file holds.
constexpr qint64 kReadDeadlineMs = 10000;

} // namespace

class tst_HostileImages : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void readersGiveAnImageOrNothing_data();
    void readersGiveAnImageOrNothing();
    void cutAtEveryTenthGivesAnImageOrNothing_data();
    void cutAtEveryTenthGivesAnImageOrNothing();
    void readsAwkwardPaths_data();
    void readsAwkwardPaths();
    void refusesWhatIsNoFile();
    void resizerKeepsItsImageWhenFileIsHostile_data();
    void resizerKeepsItsImageWhenFileIsHostile();

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
    QTest::addColumn<QSize>("size"); // the image both readers give; empty: nothing
    QTest::addColumn<bool>("maybe"); // a damaged file a decoder may still show in part

    const QImage source = picture({ 40, 30 });
    const QSize none;
    const auto row = [&](const char *tag, const char *name, const QByteArray &bytes, QSize size,
                         bool maybe = false) {
        QTest::addRow("%s", tag) << QString::fromUtf8(name) << bytes << size << maybe;
    };

    row("zero-length png", "empty.png", {}, none);
    row("zero-length jpg", "empty.jpg", {}, none);
    row("zero-length gif", "empty.gif", {}, none);
    row("random bytes as bmp", "noise.bmp", randomBytes(11, 3000), none);
    row("random bytes as webp", "noise.webp", randomBytes(12, 3000), none);
    row("text as png", "notes.png", "just some words\n", none);
    row("pdf as png", "doc.png", "%PDF-1.4\n1 0 obj << >> endobj\n%%EOF\n", none);

    row("png claiming 100000 x 100000", "huge.png", pngClaiming(100000, 100000), none);
    row("png claiming 2^31 - 1 a side", "huge2.png", pngClaiming(0x7fffffff, 0x7fffffff), none);
    row("png claiming 1 x 4 billion", "thin.png", pngClaiming(1, 0xffffffffu), none);
    row("png claiming 0 x 0", "zero.png", pngClaiming(0, 0), none);
    row("jpeg claiming 65500 x 65500", "huge.jpg", jpegClaiming(65500, 65500), none);
    row("jpeg claiming 0 x 0", "zero.jpg", jpegClaiming(0, 0), none);
    row("bmp claiming 50000 x 50000", "huge.bmp", bmpClaiming(50000, 50000), none);
    row("bmp claiming -2^31 rows", "rows.bmp", bmpClaiming(40, std::numeric_limits<qint32>::min()),
        none);
    row("bmp claiming negative width", "neg.bmp", bmpClaiming(-40, 30), none);
    row("gif claiming 65535 x 65535", "huge.gif", gif(65535, 65535), none, true);
    row("gif frame beyond its screen", "frame.gif", gif(4, 4, 1, 1), none, true);
    row("webp claiming 16384 x 16384", "huge.webp", webpClaiming(16384, 16384), none);

    row("png named jpg", "photo.jpg", encoded(source, "png"), { 40, 30 });
    row("jpeg named png", "scan.png", encoded(source, "jpeg"), { 40, 30 });
    row("bmp named webp", "pic.webp", encoded(source, "bmp"), { 40, 30 });
    row("gif named bmp", "anim.bmp", gif(4, 3), { 4, 3 });
    row("webp named gif", "still.gif", encoded(source, "webp"), { 40, 30 });
    row("png without suffix", "picture", encoded(source, "png"), { 40, 30 });
    row("png named pdf", "page.pdf", encoded(source, "png"), { 40, 30 });
}

void tst_HostileImages::readersGiveAnImageOrNothing()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QFETCH(bool, maybe);

    const QString file = path(name);
    QVERIFY(writeFile(file, bytes));

    QElapsedTimer timer;
    timer.start();
    const QImage page = readPageImage(file);
    const ImageFiles::LoadResult loaded = ImageFiles::load(file);
    QVERIFY2(timer.elapsed() < kReadDeadlineMs, qPrintable(QString::number(timer.elapsed())));

    if (maybe) {
        // Nothing, or an image that can be held and painted.
        for (const QImage &image : { page, loaded.image }) {
            if (!image.isNull()) {
                QVERIFY(ResizeMath::fitsPixelBudget(image.size()));
            }
        }
    } else if (size.isValid()) {
        QCOMPARE(page.size(), size);
        QCOMPARE(loaded.image.size(), size);
    } else {
        QVERIFY(page.isNull());
        QVERIFY(loaded.image.isNull());
    }
    if (loaded.image.isNull()) {
        QVERIFY(!loaded.error.isEmpty());
    }
    if (!page.isNull()) {
        // The PDF page paints on it.
        QVERIFY(page.format() == QImage::Format_RGB32 || page.format() == QImage::Format_ARGB32
            || page.format() == QImage::Format_ARGB32_Premultiplied);
    }
    QCOMPARE(contentsOf(file), bytes);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
        QStringList { name });
}

void tst_HostileImages::cutAtEveryTenthGivesAnImageOrNothing_data()
{
    QTest::addColumn<QByteArray>("format");

    QTest::addRow("png") << QByteArray("png");
    QTest::addRow("jpeg") << QByteArray("jpeg");
    QTest::addRow("bmp") << QByteArray("bmp");
    QTest::addRow("webp") << QByteArray("webp");
    QTest::addRow("gif") << QByteArray("gif");
}

void tst_HostileImages::cutAtEveryTenthGivesAnImageOrNothing()
{
    QFETCH(QByteArray, format);

    const QSize size(120, 80);
    const QByteArray whole = format == "gif" ? gif(quint16(size.width()), quint16(size.height()))
                                             : encoded(picture(size), format);
    QVERIFY(!whole.isEmpty());
    const QString file = path(QStringLiteral("cut.") + QString::fromLatin1(format));
    for (int tenth = 1; tenth < 10; ++tenth) {
        const QByteArray cut = whole.left(whole.size() * tenth / 10);
        QVERIFY(writeFile(file, cut));
        const QImage page = readPageImage(file);
        const ImageFiles::LoadResult loaded = ImageFiles::load(file);
        // A decoder may show what arrived and fill the rest, never more than the picture.
        for (const QImage &image : { page, loaded.image }) {
            QVERIFY2(image.isNull() || image.size() == size,
                qPrintable(QStringLiteral("%1/10").arg(tenth)));
        }
    }
}

void tst_HostileImages::readsAwkwardPaths_data()
{
    QTest::addColumn<QString>("name");

    QTest::addRow("spaces") << QStringLiteral("my holiday   photo .png");
    QTest::addRow("non-ASCII") << QStringLiteral("Ölgemälde – 写真 ✓.png");
    QTest::addRow("quotes") << QStringLiteral("the \"best\" one's.png");
    QTest::addRow("shell characters") << QStringLiteral("$(x) `y` & z | *.png");
    QTest::addRow("leading dash") << QStringLiteral("-rf.png");
    QTest::addRow("dots only before the suffix") << QStringLiteral("....png");
}

void tst_HostileImages::readsAwkwardPaths()
{
    QFETCH(QString, name);

    const QString folder = path(QStringLiteral("a folder – ü \"x\""));
    QVERIFY(QDir().mkpath(folder));
    const QString file = QDir(folder).filePath(name);
    QVERIFY(writeFile(file, encoded(picture({ 40, 30 }), "png")));
    QCOMPARE(readPageImage(file).size(), QSize(40, 30));
    QCOMPARE(ImageFiles::load(file).image.size(), QSize(40, 30));
}

void tst_HostileImages::refusesWhatIsNoFile()
{
    for (const QString &where : { m_dir->path(), path(QStringLiteral("missing.png")), QString(),
             path(QStringLiteral("missing/folder/x.png")) }) {
        QVERIFY2(readPageImage(where).isNull(), qPrintable(where));
        const ImageFiles::LoadResult loaded = ImageFiles::load(where);
        QVERIFY2(loaded.image.isNull(), qPrintable(where));
        QVERIFY(!loaded.error.isEmpty());
    }
}

void tst_HostileImages::resizerKeepsItsImageWhenFileIsHostile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loads");

    const QByteArray png = encoded(picture({ 64, 48 }), "png");
    QTest::addRow("gigantic png") << "huge.png" << pngClaiming(100000, 100000) << false;
    QTest::addRow("gigantic bmp") << "huge.bmp" << bmpClaiming(50000, 50000) << false;
    QTest::addRow("gigantic webp") << "huge.webp" << webpClaiming(16384, 16384) << false;
    QTest::addRow("signature only") << "cut.png" << png.left(8) << false;
    QTest::addRow("random bytes") << "noise.jpg" << randomBytes(5, 5000) << false;
    QTest::addRow("spaces and non-ASCII") << "mein Bild – 写真.png" << png << true;
    QTest::addRow("jpeg named png")
        << "really jpeg.png" << encoded(picture({ 64, 48 }), "jpeg") << true;
}

void tst_HostileImages::resizerKeepsItsImageWhenFileIsHostile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loads);

    ImageResizerPage page;
    QLineEdit *width = nullptr;
    QLineEdit *height = nullptr;
    for (auto *edit : page.findChildren<QLineEdit *>()) {
        if (edit->placeholderText() == QLatin1String("Width")) {
            width = edit;
        } else if (edit->placeholderText() == QLatin1String("Height")) {
            height = edit;
        }
    }
    auto *preview = page.findChild<QLabel *>(QStringLiteral("QRPreview"));
    QVERIFY(width && height && preview);

    // An image already loaded, as the user had it.
    const QString first = path(QStringLiteral("first.png"));
    QVERIFY(writeFile(first, encoded(picture({ 300, 200 }), "png")));
    const QString file = path(name);
    QVERIFY(writeFile(file, bytes));

    // Answers the dialogs of one Browse click: the file dialog with name, then, if expected,
    // the warning. Every dialog is recorded; one not expected is closed and fails the test.
    QStringList shown;
    const auto browse = [&](const QString &chosen, bool expectWarning) {
        shown.clear();
        QTimer timer;
        timer.setInterval(5);
        QList<QPointer<QWidget>> answered; // a file dialog outlives its nested box
        connect(&timer, &QTimer::timeout, &page, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || answered.contains(modal)) {
                return;
            }
            answered << modal;
            if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
                shown << QStringLiteral("file dialog ") + dialog->windowTitle();
                dialog->setDirectory(m_dir->path());
                dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(chosen);
                static_cast<QDialog *>(dialog)->accept();
            } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                shown << box->windowTitle() + QStringLiteral(": ") + box->text();
                if (QAbstractButton *ok = box->button(QMessageBox::Ok)) {
                    ok->click();
                } else {
                    box->close();
                }
            } else {
                shown << QStringLiteral("unexpected ") + modal->windowTitle();
                modal->close();
            }
        });
        timer.start();
        QVERIFY(QMetaObject::invokeMethod(&page, "browseForImage"));
        timer.stop();
        QCOMPARE(answered.size(), expectWarning ? 2 : 1);
    };

    browse(QStringLiteral("first.png"), false);
    if (QTest::currentTestFailed()) {
        return;
    }
    QCOMPARE(shown, QStringList { QStringLiteral("file dialog Choose an image") });
    QCOMPARE(width->text(), QStringLiteral("300"));
    const QImage before = preview->pixmap().toImage();

    browse(name, !loads);
    if (QTest::currentTestFailed()) {
        return;
    }
    if (loads) {
        QCOMPARE(width->text(), QStringLiteral("64"));
        QCOMPARE(height->text(), QStringLiteral("48"));
    } else {
        QCOMPARE(shown,
            QStringList({ QStringLiteral("file dialog Choose an image"),
                QStringLiteral("mirvale: Could not load that image.") }));
        QCOMPARE(width->text(), QStringLiteral("300"));
        QCOMPARE(height->text(), QStringLiteral("200"));
        QCOMPARE(preview->pixmap().toImage(), before);
    }
    QCOMPARE(contentsOf(file), bytes);
}

QTEST_MAIN(tst_HostileImages)
#include "tst_hostileimages.moc"
