#include "tools/image/imageresizerpage.h"

#include "dialoganswers.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

namespace {

const QString openTitle = QStringLiteral("Choose an image");
const QString saveTitle = QStringLiteral("Save resized image");
const QString couldNotSave = QStringLiteral("mirvale: Could not save the file.");
const QString invalidSize = QStringLiteral("mirvale: Enter a valid width and height.");

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QSize sizeOnDisk(const QString &path, const QByteArray &format = "png")
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.format() == format ? reader.size() : QSize();
}

} // namespace

class tst_ImageResizerPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void backButtonRequestsBack();
    void loadFillsSizePreviewAndProposedName_data();
    void loadFillsSizePreviewAndProposedName();
    void refusedLoadKeepsCurrentImage();
    void refusedResizeWarnsAndWritesNothing_data();
    void refusedResizeWarnsAndWritesNothing();
    void savesResizedImageAndThumbnail_data();
    void savesResizedImageAndThumbnail();
    void secondSaveStartsFromSource();
    void thumbnailNeverReplacesSource();
    void failedWriteKeepsExistingFile();
    void failedThumbnailIsReported();
    void failedResizeStopsBeforeSaveDialog();

private:
    QAbstractButton *button(const QString &text) const;
    QPixmap preview() const { return m_page->findChild<QLabel *>("QRPreview")->pixmap(); }
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString makeImage(const QString &name, const QSize &size, const char *format = nullptr);
    void load(const QString &file);
    void setSize(const QString &width, const QString &height);
    QStringList resizeAndSave(const QString &file = {}, QString *proposed = nullptr)
    {
        return clickAndAnswer(button(QStringLiteral("Resize and save")),
            QFileInfo(file).absolutePath(), QFileInfo(file).fileName(), proposed);
    }
    QStringList files() const { return QDir(m_dir->path()).entryList(QDir::Files); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ImageResizerPage> m_page;
};

void tst_ImageResizerPage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
    m_page = std::make_unique<ImageResizerPage>();
    m_page->show();
}

void tst_ImageResizerPage::cleanup()
{
    m_page.reset();
    m_dir.reset();
}

QAbstractButton *tst_ImageResizerPage::button(const QString &text) const
{
    for (auto *b : m_page->findChildren<QAbstractButton *>()) {
        if (b->text() == text) {
            return b;
        }
    }
    qFatal("no button %s", qPrintable(text));
}

QString tst_ImageResizerPage::makeImage(const QString &name, const QSize &size, const char *format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    if (!image.save(path(name), format)) {
        qWarning("could not write %s", qPrintable(name));
    }
    return path(name);
}

void tst_ImageResizerPage::load(const QString &file)
{
    QCOMPARE(clickAndAnswer(button(QStringLiteral("Browse for image…")),
                 QFileInfo(file).absolutePath(), QFileInfo(file).fileName()),
        QStringList { openTitle });
}

// The width and height fields, found by their placeholders.
void tst_ImageResizerPage::setSize(const QString &width, const QString &height)
{
    for (auto *edit : m_page->findChildren<QLineEdit *>()) {
        edit->setText(edit->placeholderText() == QLatin1String("Width") ? width : height);
    }
}

void tst_ImageResizerPage::backButtonRequestsBack()
{
    QSignalSpy spy(m_page.get(), &ImageResizerPage::backRequested);
    button(QStringLiteral("< Back"))->click();
    QCOMPARE(spy.size(), 1);
}

void tst_ImageResizerPage::loadFillsSizePreviewAndProposedName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("previewSize");
    QTest::addColumn<QString>("proposal");
    QTest::addRow("landscape, several dots")
        << "a.b.png" << QSize(640, 480) << QSize(220, 165) << "a_resized.png";
    QTest::addRow("portrait, no suffix")
        << "scan" << QSize(300, 600) << QSize(90, 180) << "scan_resized.";
}

void tst_ImageResizerPage::loadFillsSizePreviewAndProposedName()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QSize, previewSize);
    QFETCH(QString, proposal);

    load(makeImage(name, size, "PNG"));
    QStringList fields;
    for (auto *edit : m_page->findChildren<QLineEdit *>()) {
        fields << edit->placeholderText() + '=' + edit->text();
    }
    QCOMPARE(fields.join(' '),
        QStringLiteral("Width=%1 Height=%2").arg(size.width()).arg(size.height()));
    QCOMPARE(preview().size(), previewSize);

    QString proposed;
    QCOMPARE(resizeAndSave({}, &proposed), QStringList { saveTitle });
    QCOMPARE(proposed, path(proposal));
    QCOMPARE(files(), QStringList { name });
}

void tst_ImageResizerPage::refusedLoadKeepsCurrentImage()
{
    load(makeImage(QStringLiteral("good.png"), QSize(400, 300)));
    const QImage shown = preview().toImage();
    QFile notes(path(QStringLiteral("notes.png")));
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("not an image at all\n");
    notes.close();

    QCOMPARE(clickAndAnswer(button(QStringLiteral("Browse for image…")), m_dir->path(),
                 QStringLiteral("notes.png")),
        (QStringList { openTitle, QStringLiteral("mirvale: Could not load that image.") }));
    QCOMPARE(preview().toImage(), shown);
}

void tst_ImageResizerPage::refusedResizeWarnsAndWritesNothing_data()
{
    QTest::addColumn<QSize>("source"); // invalid: no image loaded
    QTest::addColumn<QString>("width"); // null: as filled in from the image
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("message");
    const auto row = [](const char *tag, QSize source, const char *width, const char *height,
                         const QString &message) {
        QTest::addRow("%s", tag) << source << QString::fromLatin1(width)
                                 << QString::fromLatin1(height) << message;
    };

    row("no image", QSize(), "800", "600", QStringLiteral("mirvale: Choose an image first."));
    row("empty width", QSize(50, 50), "", "100", invalidSize);
    row("zero", QSize(50, 50), "0", "100", invalidSize);
    row("above 20000", QSize(50, 50), "100", "20001", invalidSize);
    row("loaded image wider than 20000", QSize(20500, 3), nullptr, nullptr, invalidSize);
    // Allowed sides, but 400 million pixels would take 1.6 GB.
    row("too many pixels", QSize(50, 50), "20000", "20000", invalidSize);
}

void tst_ImageResizerPage::refusedResizeWarnsAndWritesNothing()
{
    QFETCH(QSize, source);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QString, message);

    if (source.isValid()) {
        load(makeImage(QStringLiteral("src.png"), source));
    }
    if (!width.isNull()) {
        setSize(width, height);
    }
    const QStringList before = files();
    QCOMPARE(resizeAndSave(), QStringList { message });
    QCOMPARE(files(), before);
}

void tst_ImageResizerPage::savesResizedImageAndThumbnail_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<bool>("keepRatio");
    QTest::addColumn<bool>("thumbnail");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("resized");
    QTest::addColumn<QSize>("thumb"); // invalid: none written
    const auto row = [](const char *tag, QSize source, bool keepRatio, bool thumbnail,
                         const char *name, QSize resized, QSize thumb) {
        QTest::addRow("%s", tag) << source << keepRatio << thumbnail << QString::fromLatin1(name)
                                 << resized << thumb;
    };

    row("exact png", QSize(1000, 1000), false, false, "out.png", QSize(800, 600), QSize());
    row("kept jpg", QSize(1000, 1000), true, false, "out.jpg", QSize(600, 600), QSize());
    row("thumbnail of 640x480", QSize(640, 480), false, true, "out.png", QSize(800, 600),
        QSize(160, 120));
    row("thumbnail of 100x50, enlarged", QSize(100, 50), true, true, "small.jpg", QSize(800, 400),
        QSize(160, 80));
}

void tst_ImageResizerPage::savesResizedImageAndThumbnail()
{
    QFETCH(QSize, source);
    QFETCH(bool, keepRatio);
    QFETCH(bool, thumbnail);
    QFETCH(QString, name);
    QFETCH(QSize, resized);
    QFETCH(QSize, thumb);

    load(makeImage(QStringLiteral("src.png"), source));
    if (keepRatio) {
        button(QStringLiteral("Keep proportions — fits within width or height"))->click();
    }
    if (thumbnail) {
        button(QStringLiteral("Create thumbnails too"))->click();
    }
    button(QStringLiteral("800 x 600"))->click();
    QCOMPARE(resizeAndSave(path(name)), QStringList { saveTitle });

    const QByteArray format = name.endsWith(QLatin1String(".png")) ? "png" : "jpeg";
    QCOMPARE(sizeOnDisk(path(name), format), resized);
    QCOMPARE(sizeOnDisk(path(QString(name).replace('.', "_thumb.")), format), thumb);
    QCOMPARE(preview().size(), resized.scaled(QSize(220, 180), Qt::KeepAspectRatio));
}

void tst_ImageResizerPage::secondSaveStartsFromSource()
{
    load(makeImage(QStringLiteral("src.png"), QSize(400, 300)));
    setSize(QStringLiteral("50"), QStringLiteral("50"));
    resizeAndSave(path(QStringLiteral("first.png")));
    QCOMPARE(sizeOnDisk(path(QStringLiteral("first.png"))), QSize(50, 50));

    button(QStringLiteral("Keep proportions — fits within width or height"))->click();
    setSize(QStringLiteral("800"), QStringLiteral("800"));
    resizeAndSave(path(QStringLiteral("second.png")));
    QCOMPARE(sizeOnDisk(path(QStringLiteral("second.png"))), QSize(800, 600));
}

void tst_ImageResizerPage::thumbnailNeverReplacesSource()
{
    const QString source = makeImage(QStringLiteral("pic_thumb.png"), QSize(640, 480));
    const QByteArray before = readAll(source);
    load(source);
    button(QStringLiteral("320 x 240"))->click();
    button(QStringLiteral("Create thumbnails too"))->click();
    QCOMPARE(resizeAndSave(path(QStringLiteral("pic.png"))), QStringList { saveTitle });

    QCOMPARE(sizeOnDisk(path(QStringLiteral("pic.png"))), QSize(320, 240));
    QCOMPARE(readAll(source), before);
    QCOMPARE(files(), (QStringList { QStringLiteral("pic.png"), QStringLiteral("pic_thumb.png") }));
}

void tst_ImageResizerPage::failedWriteKeepsExistingFile()
{
    // Noise does not compress: its PNG outgrows a 16 KiB file size limit, like a full disk.
    QImage noise(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y) {
        QRandomGenerator::global()->fillRange(
            reinterpret_cast<quint32 *>(noise.scanLine(y)), noise.width());
    }
    QVERIFY(noise.save(path(QStringLiteral("noise.png"))));
    load(path(QStringLiteral("noise.png")));
    const QImage shown = preview().toImage();
    const QString target = makeImage(QStringLiteral("out.png"), QSize(10, 10));
    const QByteArray before = readAll(target);
    button(QStringLiteral("Create thumbnails too"))->click();

    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
    rlimit lowered = old;
    lowered.rlim_cur = 16 * 1024;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &lowered) == 0);
    const QStringList seen = resizeAndSave(target); // and replace out.png
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(seen.size(), 3); // the save dialog, whether to replace out.png, the warning
    QCOMPARE(seen.last(), couldNotSave);
    QCOMPARE(readAll(target), before);
    QCOMPARE(files(), (QStringList { QStringLiteral("noise.png"), QStringLiteral("out.png") }));
    QCOMPARE(preview().toImage(), shown);
}

void tst_ImageResizerPage::failedThumbnailIsReported()
{
    load(makeImage(QStringLiteral("src.png"), QSize(640, 480)));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("out_thumb.png")));
    button(QStringLiteral("Create thumbnails too"))->click();
    button(QStringLiteral("460 x 308"))->click();
    QCOMPARE(
        resizeAndSave(path(QStringLiteral("out.png"))), (QStringList { saveTitle, couldNotSave }));
    // The result was written, so the preview shows it.
    QCOMPARE(sizeOnDisk(path(QStringLiteral("out.png"))), QSize(460, 308));
    QCOMPARE(preview().size(), QSize(220, 147));
}

void tst_ImageResizerPage::failedResizeStopsBeforeSaveDialog()
{
    load(makeImage(QStringLiteral("src.png"), QSize(64, 64)));
    setSize(QStringLiteral("8000"), QStringLiteral("4000"));
    // 8000 x 4000 is allowed but needs 128 MB: with too little address space left for it the
    // resize gives no image.
    QFile statm(QStringLiteral("/proc/self/statm"));
    QVERIFY(statm.open(QIODevice::ReadOnly));
    const qint64 pages = statm.readAll().split(' ').value(0).toLongLong();
    QVERIFY(pages > 0);
    rlimit old {};
    QVERIFY(getrlimit(RLIMIT_AS, &old) == 0);
    rlimit lowered = old;
    lowered.rlim_cur = rlim_t(pages * 4096 + 64 * 1024 * 1024);
    QVERIFY(setrlimit(RLIMIT_AS, &lowered) == 0);
    const QStringList seen = resizeAndSave();
    setrlimit(RLIMIT_AS, &old);

    QCOMPARE(seen, QStringList { couldNotSave });
    QCOMPARE(files(), QStringList { QStringLiteral("src.png") });
}

int main(int argc, char *argv[])
{
    // Qt's own dialogs, which the tests can find and answer.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    tst_ImageResizerPage test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_imageresizerpage.moc"
