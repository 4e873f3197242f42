#include "tools/image/imageresizerpage.h"

#include "dialoganswers.h"

#include <QImageReader>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <sys/resource.h>

namespace {
const bool s_qtDialogs = [] {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); // dialogs the tests can answer
    return true;
}();
const QString saveTitle = "Save resized image";
const QString couldNotSave = "mirvale: Could not save the file.";
const QString invalidSize = "mirvale: Enter a valid width and height.";
} // namespace

class tst_ImageResizerPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void loadsAndProposesName();
    void refusesSizes();
    void savesFromTheSource();
    void failedSaveIsReported();
    void failedResizeStopsBeforeSaveDialog();

private:
    QAbstractButton *button(const QString &text) const
    {
        const auto all = m_page->findChildren<QAbstractButton *>();
        const auto it = std::find_if(
            all.cbegin(), all.cend(), [&](auto *b) { return b->text().startsWith(text); });
        return it != all.cend() ? *it : nullptr;
    }
    QSize preview() const { return m_page->findChild<QLabel *>("QRPreview")->pixmap().size(); }
    // The width and height fields, in that order.
    QList<QLineEdit *> edits() const { return m_page->findChildren<QLineEdit *>(); }
    QString fields() const { return edits().at(0)->text() + 'x' + edits().at(1)->text(); }
    void setSize(const QString &width, const QString &height)
    {
        edits().at(0)->setText(width);
        edits().at(1)->setText(height);
    }
    // Writes an image of that size, or with none a text file, and loads it.
    QStringList load(const QString &name, const QSize &size = {})
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QFile file(m_dir->filePath(name));
        const bool written = size.isEmpty() ? file.open(QIODevice::WriteOnly) && file.write("a")
                                            : image.save(file.fileName(), "PNG");
        file.close();
        return written ? dialogs::clickAndAnswer(button("Browse for image"), m_dir->path(), name)
                       : QStringList("could not write " + name);
    }
    QStringList resizeAndSave(const QString &name = {}, QString *proposed = nullptr)
    {
        return dialogs::clickAndAnswer(button("Resize and save"), m_dir->path(), name, proposed);
    }
    QString onDisk(const QString &name) const
    {
        QImageReader reader(m_dir->filePath(name));
        reader.setDecideFormatFromContent(true);
        const QSize s = reader.size();
        return QStringLiteral("%1 %2x%3").arg(reader.format()).arg(s.width()).arg(s.height());
    }
    QStringList files() const { return QDir(m_dir->path()).entryList(QDir::Files); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ImageResizerPage> m_page;
};

void tst_ImageResizerPage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_page = std::make_unique<ImageResizerPage>();
    m_page->show();
}

void tst_ImageResizerPage::loadsAndProposesName()
{
    QCOMPARE(load("a.b.png", { 640, 480 }), QStringList { "Choose an image" });
    QCOMPARE(fields(), "640x480");
    QCOMPARE(preview(), QSize(220, 165));
    // Not an image: refused, and the loaded one stays.
    QCOMPARE(load("notes.png"),
        (QStringList { "Choose an image", "mirvale: Could not load that image." }));
    QCOMPARE(fields(), "640x480");

    QString proposed;
    QCOMPARE(resizeAndSave({}, &proposed), QStringList { saveTitle }); // cancelled
    QCOMPARE(proposed, m_dir->filePath("a_resized.png"));
    QCOMPARE(files(), (QStringList { "a.b.png", "notes.png" }));

    QSignalSpy back(m_page.get(), &ImageResizerPage::backRequested);
    button("< Back")->click();
    QCOMPARE(back.size(), 1);
}

void tst_ImageResizerPage::refusesSizes()
{
    QCOMPARE(resizeAndSave(), QStringList { "mirvale: Choose an image first." });
    load("wide.png", { 20500, 3 });
    QCOMPARE(resizeAndSave(), QStringList { invalidSize }); // filled in past the validator
    setSize("20000", "20000"); // 1.6 GB
    QCOMPARE(resizeAndSave(), QStringList { invalidSize });
    QCOMPARE(files(), QStringList { "wide.png" });
}

// Each save starts from the loaded image, not from the previous result, and no thumbnail
// replaces the loaded image.
void tst_ImageResizerPage::savesFromTheSource()
{
    load("out_thumb.png", { 100, 50 });
    button("800 x 600")->click();
    button("Create thumbnails too")->click();
    QCOMPARE(resizeAndSave("out.png"), QStringList { saveTitle });
    QCOMPARE(onDisk("out.png"), "png 800x600");
    QCOMPARE(onDisk("out_thumb.png"), "png 100x50");
    QCOMPARE(preview(), QSize(220, 165));

    button("Keep proportions")->click();
    QCOMPARE(resizeAndSave("out.jpg"), QStringList { saveTitle });
    QCOMPARE(onDisk("out.jpg"), "jpeg 800x400");
    QCOMPARE(onDisk("out_thumb.jpg"), "jpeg 160x80");
    QCOMPARE(preview(), QSize(220, 110));
}

void tst_ImageResizerPage::failedSaveIsReported()
{
    load("src.png", { 640, 480 });
    button("460 x 308")->click();
    const QStringList failed { saveTitle, couldNotSave };
    QCOMPARE(resizeAndSave("out.gif"), failed); // Qt does not write GIF
    QVERIFY(!QFile::exists(m_dir->filePath("out.gif")));
    QCOMPARE(preview(), QSize(220, 165)); // still the source

    QVERIFY(QDir(m_dir->path()).mkdir("out_thumb.png"));
    button("Create thumbnails too")->click();
    QCOMPARE(resizeAndSave("out.png"), failed);
    QCOMPARE(onDisk("out.png"), "png 460x308");
    QCOMPARE(preview(), QSize(220, 147)); // the result was written
}

void tst_ImageResizerPage::failedResizeStopsBeforeSaveDialog()
{
    load("src.png", { 64, 64 });
    // 8000 x 4000 is allowed but takes 128 MB, more than the address space left to it.
    setSize("8000", "4000");
    QFile statm("/proc/self/statm");
    QVERIFY(statm.open(QIODevice::ReadOnly));
    const qint64 pages = statm.readAll().split(' ').value(0).toLongLong();
    rlimit old {};
    QVERIFY(pages > 0 && getrlimit(RLIMIT_AS, &old) == 0);
    const rlimit lowered { rlim_t(pages * 4096 + 64 * 1024 * 1024), old.rlim_max };
    QVERIFY(setrlimit(RLIMIT_AS, &lowered) == 0);
    const QStringList seen = resizeAndSave();
    setrlimit(RLIMIT_AS, &old);
    QCOMPARE(seen, QStringList { couldNotSave });
    QCOMPARE(files(), QStringList { "src.png" });
}

QTEST_MAIN(tst_ImageResizerPage)
#include "tst_imageresizerpage.moc"
