#include "tools/image/imagefiles.h"
#include "tools/image/imageresizerpage.h"
#include "tools/image/resizemath.h"

#include "dialoganswers.h"

#include <QtTest>

using namespace image;

class tst_ImageResizer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sizesAndNames();
    void loadsAndRefuses();
    void savesAnyPositiveSize();
    void savesFromTheSourceWithThumbnails();
    void reportsWhatWasNotSaved();

private:
    [[nodiscard]] QString click(const QString &text, const QList<dialogs::Step> &steps = {})
    {
        return dialogs::click(m_page.get(), text, steps);
    }
    dialogs::Step saveAs(const QString &name) const
    {
        return dialogs::fileDialog("Save resized image", m_dir->path(), { name });
    }
    // Writes an image of that size (none: a text file) and loads it.
    [[nodiscard]] QString load(
        const QString &name, const QSize &size, QList<dialogs::Step> more = {})
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
        return written ? click("Browse for image…", more) : "could not write " + name;
    }
    QList<QLineEdit *> fields() const { return m_page->findChildren<QLineEdit *>(); }
    QString sizeFields() const { return fields().at(0)->text() + 'x' + fields().at(1)->text(); }
    QSize preview() const { return m_page->findChild<QLabel *>("QRPreview")->pixmap().size(); }
    QString onDisk(const QString &name) const
    {
        QImageReader reader(m_dir->filePath(name));
        reader.setDecideFormatFromContent(true);
        const QSize size = reader.size();
        return QString("%1 %2x%3").arg(reader.format()).arg(size.width()).arg(size.height());
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
    QCOMPARE(fittedSize({ 20000, 1 }, { 800, 600 }, true), QSize(800, 1)); // never 0 px high
    QCOMPARE(parseTargetSize("1", "25000"), QSize(1, 25000));
    for (const char *width : { "0", "", "-5", "99999999999" }) {
        QCOMPARE(parseTargetSize(width, "10"), std::nullopt);
    }
    QCOMPARE(resizedPath("/p/my photo.final.JPG"), "/p/my photo_resized.JPG"); // first dot, last
}

void tst_ImageResizer::loadsAndRefuses()
{
    QCOMPARE(click("Resize and save", { dialogs::messageBox("Choose an image first.") }), "");
    // A 48-megapixel photo loads whole.
    QCOMPARE(load("a.b.png", { 8000, 6000 }), "");
    QCOMPARE(sizeFields() + ' ' + QString::number(preview().height()), "8000x6000 165");
    // Not an image: refused, and the loaded one stays.
    QCOMPARE(load("notes.png", {}, { dialogs::messageBox("Could not load that image.") }), "");
    QCOMPARE(sizeFields(), "8000x6000");
    // Cancelled: nothing is written.
    QCOMPARE(
        click("Resize and save", { dialogs::fileDialog("Save resized image", m_dir->path(), {}) }),
        "");
    QCOMPARE(files(), QStringList({ "a.b.png", "notes.png" }));
}

// Wider than may be typed, saved as it is; beyond memory, refused before a name is asked.
void tst_ImageResizer::savesAnyPositiveSize()
{
    QCOMPARE(load("src.png", { 25000, 10 }), QString());
    QCOMPARE(click("Resize and save", { saveAs("out.png") }), QString());
    QCOMPARE(onDisk("out.png"), "png 25000x10");
    fields().at(0)->setText("2000000000");
    fields().at(1)->setText("2000000000");
    QCOMPARE(
        click("Resize and save",
            { dialogs::messageBox("not enough memory for an image of 2000000000 x 2000000000") }),
        QString());
    QCOMPARE(files(), QStringList({ "out.png", "src.png" }));
}

// Each save starts from the loaded image, not from the previous result; the thumbnail is made
// from the source, within 160 x 160.
void tst_ImageResizer::savesFromTheSourceWithThumbnails()
{
    QCOMPARE(load("src.png", { 100, 50 }), QString());
    QCOMPARE(click("800 x 600"), QString());
    QCOMPARE(click("Create thumbnails too"), QString());
    QCOMPARE(click("Resize and save", { saveAs("out.png") }), "");
    QCOMPARE(onDisk("out.png") + ", " + onDisk("out_thumb.png"), "png 800x600, png 160x80");
    QCOMPARE(click("Keep proportions — fits within width or height"), QString());
    QCOMPARE(click("Resize and save", { saveAs("out.jpg") }), "");
    QCOMPARE(onDisk("out.jpg") + ", " + onDisk("out_thumb.jpg"), "jpeg 800x400, jpeg 160x80");
}

void tst_ImageResizer::reportsWhatWasNotSaved()
{
    QCOMPARE(load("out_thumb.png", { 640, 480 }), QString());
    QCOMPARE(click("460 x 308"), QString());
    // Qt writes no GIF: nothing is saved and the preview still shows the source.
    QCOMPARE(click("Resize and save",
                 { saveAs("out.gif"), dialogs::messageBox("Could not save the file.") }),
        "");
    QCOMPARE(files(), QStringList { "out_thumb.png" });
    QCOMPARE(preview(), QSize(220, 165));
    // The thumbnail of out.png would replace the loaded image: skipped, and said so.
    QCOMPARE(click("Create thumbnails too"), QString());
    const QString saved = "The resized image was saved as " + m_dir->filePath("out.png");
    QCOMPARE(click("Resize and save",
                 { saveAs("out.png"), dialogs::messageBox(saved + ", but no thumbnail was") }),
        "");
    QCOMPARE(onDisk("out.png") + ", " + onDisk("out_thumb.png"), "png 460x308, png 640x480");
    // A folder where the thumbnail goes: the result is saved, the thumbnail is not.
    QVERIFY(QDir(m_dir->path()).mkdir("b_thumb.png"));
    QCOMPARE(click("220 x 148"), QString()); // a one-bit reduction Qt would make black and white
    QCOMPARE(click("Resize and save",
                 { saveAs("b.png"),
                     dialogs::messageBox("saved as " + m_dir->filePath("b.png")
                         + ", but the thumbnail " + m_dir->filePath("b_thumb.png")) }),
        "");
    QCOMPARE(QImage(m_dir->filePath("b.png")).pixel(110, 74), QColor(Qt::darkCyan).rgb());
}

QTEST_MAIN(tst_ImageResizer)
#include "tst_imageresizer.moc"
