#include "tools/image/imagefiles.h"
#include "tools/image/imageresizerpage.h"
#include "tools/image/resizemath.h"

#include "dialoganswers.h"

#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <sys/resource.h>

using namespace ResizeMath;

namespace {
const QString saveTitle = "Save resized image";
} // namespace

class tst_ImageResizer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sizesAndNames();
    void loadsEachFormat_data();
    void loadsEachFormat();
    void failedWriteKeepsExistingFile();
    void loadsAndProposesName();
    void savesAnyPositiveSize_data();
    void savesAnyPositiveSize();
    void savesFromTheSourceWithThumbnails();
    void reportsWhatWasNotSaved();

private:
    QAbstractButton *button(const QString &text) const
    {
        for (QAbstractButton *b : m_page->findChildren<QAbstractButton *>()) {
            if (b->text().startsWith(text)) {
                return b;
            }
        }
        return nullptr;
    }
    QString click(const QString &text, const QList<dialogs::Step> &steps = {})
    {
        QAbstractButton *b = button(text);
        return b ? dialogs::runWithDialogs([b] { b->click(); }, steps) : "no button " + text;
    }
    dialogs::Step saveAs(const QString &name) const
    {
        return dialogs::fileDialog(
            saveTitle, m_dir->path(), name.isEmpty() ? QStringList() : QStringList { name });
    }
    // Writes an image of that size (none: a text file) and loads it.
    QString load(const QString &name, const QSize &size, QList<dialogs::Step> more = {})
    {
        // One bit a pixel, as Qt reads a PNG of two colours.
        QImage image(size, QImage::Format_Mono);
        image.setColorTable({ QColor(Qt::darkCyan).rgb(), qRgb(255, 255, 255) });
        image.fill(0);
        QFile file(m_dir->filePath(name));
        const bool written = size.isEmpty() ? file.open(QIODevice::WriteOnly) && file.write("a")
                                            : image.save(file.fileName(), "PNG");
        file.close();
        more.prepend(dialogs::fileDialog("Choose an image", m_dir->path(), { name }));
        return written ? click("Browse for image", more) : "could not write " + name;
    }
    QList<QLineEdit *> fields() const { return m_page->findChildren<QLineEdit *>(); }
    QString sizeFields() const { return fields().at(0)->text() + 'x' + fields().at(1)->text(); }
    QSize preview() const { return m_page->findChild<QLabel *>("QRPreview")->pixmap().size(); }
    QString onDisk(const QString &name) const
    {
        QImageReader reader(m_dir->filePath(name));
        reader.setDecideFormatFromContent(true);
        return QString("%1 %2x%3")
            .arg(reader.format(), QString::number(reader.size().width()),
                QString::number(reader.size().height()));
    }
    QStringList files() const
    {
        return QDir(m_dir->path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ImageResizerPage> m_page;
};

void tst_ImageResizer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_page = std::make_unique<ImageResizerPage>();
}

void tst_ImageResizer::sizesAndNames()
{
    QCOMPARE(fittedSize({ 1000, 1000 }, { 800, 600 }, false), QSize(800, 600));
    QCOMPARE(fittedSize({ 1000, 1000 }, { 800, 600 }, true), QSize(600, 600));
    QCOMPARE(fittedSize({ 20000, 1 }, { 800, 600 }, true), QSize(800, 1)); // never 0 px high
    QCOMPARE(thumbnailSize({ 640, 480 }), QSize(160, 120));
    QCOMPARE(thumbnailSize({ 100, 50 }), QSize(160, 80)); // enlarged
    QCOMPARE(parseTargetSize("1", "25000"), QSize(1, 25000));
    for (const auto &[width, height] : { std::pair("0", "10"), std::pair("", "10"),
             std::pair("-5", "10"), std::pair("99999999999", "10") }) {
        QCOMPARE(parseTargetSize(width, height), std::nullopt);
    }
    QCOMPARE(resizedPath("/p/my photo.final.JPG"), "/p/my photo_resized.JPG"); // first dot, last
    QCOMPARE(resizedPath("/p/scan"), "/p/scan_resized.");
    QCOMPARE(thumbnailPath("/p.old/cat.png"), "/p.old/cat_thumb.png");
    // The same file under another name, through a link, is found.
    QFile source(m_dir->filePath("pic_thumb.png"));
    QVERIFY(source.open(QIODevice::WriteOnly) && source.link(m_dir->filePath("link.png")));
    QVERIFY(isSameFile(thumbnailPath(m_dir->filePath("pic.png")), m_dir->path() + "/./link.png"));
    QVERIFY(!isSameFile(m_dir->filePath("pic.png"), source.fileName()));
}

void tst_ImageResizer::loadsEachFormat_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size"); // empty when refused
    const auto encoded = [](int width, int height, QImage::Format format, const char *type) {
        QImage image(width, height, QImage::Format_ARGB32);
        image.fill(QColor(200, 120, 40, 128));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.convertToFormat(format).save(&buffer, type);
        return bytes;
    };
    QTest::addRow("png with alpha")
        << "a.png" << encoded(33, 70, QImage::Format_ARGB32, "png") << QSize(33, 70);
    QTest::addRow("grey jpeg") << "g.jpeg" << encoded(17, 5, QImage::Format_Grayscale8, "jpeg")
                               << QSize(17, 5);
    QTest::addRow("indexed bmp") << "i.bmp" << encoded(12, 12, QImage::Format_Indexed8, "bmp")
                                 << QSize(12, 12);
    QTest::addRow("webp") << "p.webp" << encoded(50, 25, QImage::Format_RGB32, "webp")
                          << QSize(50, 25);
    QTest::addRow("gif") << "a.gif"
                         << QByteArray::fromHex("47494638396103000200810000000000ff000000ff0000"
                                                "00ff2c00000000030002000002050443711453003b")
                         << QSize(3, 2);
    QTest::addRow("text") << "t.png" << QByteArray("just some text\n") << QSize();
    // A small file that would take 324 MB decoded.
    QTest::addRow("huge") << "h.png" << encoded(9000, 9000, QImage::Format_Mono, "png") << QSize();
}

void tst_ImageResizer::loadsEachFormat()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QFile file(m_dir->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    const ImageFiles::LoadResult result = ImageFiles::load(file.fileName());
    QCOMPARE(result.image.size(), size.isEmpty() ? QSize(0, 0) : size);
    QCOMPARE(result.error.isEmpty(), !size.isEmpty()); // a refusal says why
}

void tst_ImageResizer::failedWriteKeepsExistingFile()
{
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(Qt::blue);
    const QString path = m_dir->filePath("out.png");
    QVERIFY(ImageFiles::save(image, m_dir->filePath("OUT.JPG")).ok);
    QCOMPARE(onDisk("OUT.JPG"), "jpeg 400x300"); // the suffix names the format
    QVERIFY(!ImageFiles::save(image, m_dir->filePath("scan_resized.")).ok);
    QFile file(path);
    QVERIFY(image.save(path) && file.open(QIODevice::ReadOnly));
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
    const ImageFiles::SaveResult saved = ImageFiles::save(image, path);
    setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY(!saved.ok && !saved.error.isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    QCOMPARE(files(), QStringList({ "OUT.JPG", "out.png" }));
}

void tst_ImageResizer::loadsAndProposesName()
{
    QCOMPARE(click("Resize and save", { dialogs::messageBox("Choose an image first.") }), "");
    QCOMPARE(load("a.b.png", { 640, 480 }), "");
    QCOMPARE(sizeFields(), "640x480");
    QCOMPARE(preview(), QSize(220, 165));
    // Not an image: refused, and the loaded one stays.
    QCOMPARE(load("notes.png", {}, { dialogs::messageBox("Could not load that image.") }), "");
    QCOMPARE(sizeFields(), "640x480");
    // The proposed name, then cancelled: nothing is written.
    QString proposed;
    const dialogs::Step check = { &QFileDialog::staticMetaObject, saveTitle, [&](QWidget *w) {
                                     auto *dialog = static_cast<QFileDialog *>(w);
                                     proposed = dialog->directory().filePath(
                                         dialog->findChild<QLineEdit *>("fileNameEdit")->text());
                                     dialog->reject();
                                 } };
    QCOMPARE(click("Resize and save", { check }), "");
    QCOMPARE(proposed, m_dir->filePath("a_resized.png"));
    QCOMPARE(files(), QStringList({ "a.b.png", "notes.png" }));
    QSignalSpy back(m_page.get(), &ImageResizerPage::backRequested);
    button("< Back")->click();
    QCOMPARE(back.size(), 1);
}

void tst_ImageResizer::savesAnyPositiveSize_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QString>("typed"); // empty: the fields as the image filled them
    QTest::addColumn<QString>("saved"); // empty: nothing can be made, nothing is written
    QTest::addRow("wider than may be typed") << QSize(25000, 1000) << ""
                                             << "png 25000x1000";
    QTest::addRow("48 megapixels") << QSize(64, 64) << "8000x6000"
                                   << "png 8000x6000";
    QTest::addRow("beyond memory") << QSize(64, 64) << "2000000000x2000000000"
                                   << "";
}

void tst_ImageResizer::savesAnyPositiveSize()
{
    QFETCH(QSize, source);
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    QCOMPARE(load("src.png", source), "");
    if (!typed.isEmpty()) {
        fields().at(0)->setText(typed.section('x', 0, 0));
        fields().at(1)->setText(typed.section('x', 1));
    }
    const dialogs::Step answer = saved.isEmpty()
        ? dialogs::messageBox("There is not enough memory for an image of 2000000000 x 2000000000")
        : saveAs("out.png");
    QCOMPARE(click("Resize and save", { answer }), "");
    QCOMPARE(files().contains("out.png") ? onDisk("out.png") : QString(), saved);
}

// Each save starts from the loaded image, not from the previous result; the thumbnail is made
// from the source, within 160 x 160.
void tst_ImageResizer::savesFromTheSourceWithThumbnails()
{
    load("src.png", { 100, 50 });
    button("800 x 600")->click();
    button("Create thumbnails too")->click();
    QCOMPARE(click("Resize and save", { saveAs("out.png") }), "");
    QCOMPARE(onDisk("out.png") + ", " + onDisk("out_thumb.png"), "png 800x600, png 160x80");
    QCOMPARE(preview(), QSize(220, 165));
    button("Keep proportions")->click();
    QCOMPARE(click("Resize and save", { saveAs("out.jpg") }), "");
    QCOMPARE(onDisk("out.jpg") + ", " + onDisk("out_thumb.jpg"), "jpeg 800x400, jpeg 160x80");
    QCOMPARE(preview(), QSize(220, 110));
}

void tst_ImageResizer::reportsWhatWasNotSaved()
{
    load("out_thumb.png", { 640, 480 });
    button("460 x 308")->click();
    // Qt writes no GIF: nothing is saved and the preview still shows the source.
    QCOMPARE(click("Resize and save",
                 { saveAs("out.gif"), dialogs::messageBox("Could not save the file.") }),
        "");
    QCOMPARE(files(), QStringList { "out_thumb.png" });
    QCOMPARE(preview(), QSize(220, 165));
    // The thumbnail of out.png would replace the loaded image: skipped, and said so.
    button("Create thumbnails too")->click();
    QCOMPARE(click("Resize and save",
                 { saveAs("out.png"),
                     dialogs::messageBox("saved as " + m_dir->filePath("out.png")
                         + ", but no thumbnail was written") }),
        "");
    QCOMPARE(onDisk("out_thumb.png"), "png 640x480");
    QCOMPARE(preview(), QSize(220, 147)); // the result was written
    // A folder where the thumbnail goes: the result is saved, the thumbnail is not.
    QVERIFY(QDir(m_dir->path()).mkdir("b_thumb.png"));
    button("220 x 148")->click(); // a reduction Qt would make black and white from one bit
    QCOMPARE(
        click("Resize and save",
            { saveAs("b.png"),
                dialogs::messageBox("saved as " + m_dir->filePath("b.png") + ", but the thumbnail "
                    + m_dir->filePath("b_thumb.png") + " could not be written") }),
        "");
    QCOMPARE(onDisk("b.png"), "png 220x148");
    QCOMPARE(QImage(m_dir->filePath("b.png")).pixel(110, 74), QColor(Qt::darkCyan).rgb());
}

QTEST_MAIN(tst_ImageResizer)
#include "tst_imageresizer.moc"
