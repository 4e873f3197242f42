#include "tools/image/imageresizerpage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/resource.h>

namespace {

// Answers the modal dialogs that one user action opens, in the order given. A dialog that is
// not the next one expected is recorded and closed, so a wrong turn fails instead of hanging.
class ModalScript : public QObject
{
public:
    struct Step
    {
        QString what;
        std::function<bool(QWidget *)> matches;
        std::function<void(QWidget *)> answer;
    };

    explicit ModalScript(QList<Step> steps)
        : m_steps(std::move(steps))
    {
        watch();
    }

    bool isComplete() const { return m_next == m_steps.size() && m_errors.isEmpty(); }

    QString report() const
    {
        QStringList lines = m_errors;
        for (qsizetype i = m_next; i < m_steps.size(); ++i) {
            lines << QStringLiteral("never shown: ") + m_steps.at(i).what;
        }
        return lines.join(QLatin1Char('\n'));
    }

private:
    static QString describe(QWidget *w)
    {
        QString text = QString::fromLatin1(w->metaObject()->className()) + QStringLiteral(" \"")
            + w->windowTitle() + QLatin1Char('"');
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            text += QStringLiteral(": ") + box->text();
        }
        return text;
    }

    // One timer per expected dialog: Qt does not fire a timer again while its own timeout is
    // still running, and answering a dialog may open the next one inside that call.
    void watch()
    {
        auto *timer = new QTimer(this);
        timer->setInterval(5);
        connect(timer, &QTimer::timeout, this, [this, timer] {
            QWidget *w = QApplication::activeModalWidget();
            if (!w || w == m_lastAnswered) {
                return;
            }
            timer->stop();
            timer->deleteLater();
            m_lastAnswered = w;
            if (m_next >= m_steps.size() || !m_steps.at(m_next).matches(w)) {
                m_errors << QStringLiteral("unexpected dialog: ") + describe(w);
                watch();
                if (auto *dialog = qobject_cast<QDialog *>(w)) {
                    dialog->reject();
                } else {
                    w->close();
                }
                return;
            }
            const Step step = m_steps.at(m_next++);
            watch();
            step.answer(w);
        });
        timer->start();
    }

    QList<Step> m_steps;
    qsizetype m_next = 0;
    QStringList m_errors;
    QPointer<QWidget> m_lastAnswered;
};

ModalScript::Step warning(const QString &text)
{
    return { QStringLiteral("warning \"%1\"").arg(text),
        [text](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            return box && box->text() == text && box->windowTitle() == QLatin1String("mirvale")
                && box->icon() == QMessageBox::Warning && box->standardButtons() == QMessageBox::Ok;
        },
        [](QWidget *w) {
            static_cast<QMessageBox *>(w)->button(QMessageBox::Ok)->click();
        } };
}

ModalScript::Step fileDialog(
    const QString &title, const QString &folder, const QString &name, QString *proposed = nullptr)
{
    return { QStringLiteral("file dialog \"%1\"").arg(title),
        [title](QWidget *w) { return qobject_cast<QFileDialog *>(w) && w->windowTitle() == title; },
        [folder, name, proposed](QWidget *w) {
            auto *dialog = static_cast<QFileDialog *>(w);
            auto *nameEdit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            if (proposed) {
                *proposed = dialog->directory().filePath(nameEdit->text());
            }
            if (name.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->setDirectory(folder);
            nameEdit->setText(name);
            static_cast<QDialog *>(dialog)->accept();
        } };
}

ModalScript::Step openDialog(const QString &folder, const QString &name)
{
    return fileDialog(QStringLiteral("Choose an image"), folder, name);
}

ModalScript::Step saveDialog(
    const QString &folder, const QString &name, QString *proposed = nullptr)
{
    return fileDialog(QStringLiteral("Save resized image"), folder, name, proposed);
}

ModalScript::Step confirmReplace()
{
    return { QStringLiteral("question whether to replace the file"),
        [](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            return box && box->text().contains(QLatin1String("already exists"));
        },
        [](QWidget *w) {
            static_cast<QMessageBox *>(w)->button(QMessageBox::Yes)->click();
        } };
}

QImage patternImage(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(x, y, qRgb(x % 256, y % 256, 128));
        }
    }
    return image;
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

struct Written
{
    QByteArray format;
    QSize size;
};

Written inspect(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return { reader.format(), reader.size() };
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

class tst_ImageResizerPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsWithoutImage();
    void presetsFillFieldsOnly_data();
    void presetsFillFieldsOnly();
    void backButtonAsksToGoBack();
    void loadsEachFormat_data();
    void loadsEachFormat();
    void refusedLoadKeepsCurrentImage_data();
    void refusedLoadKeepsCurrentImage();
    void cancelledOpenChangesNothing();
    void resizeNeedsAnImage();
    void refusesSizesOutOfBounds_data();
    void refusesSizesOutOfBounds();
    void savesResizedImage_data();
    void savesResizedImage();
    void proposesNameBesideSource_data();
    void proposesNameBesideSource();
    void writesThumbnailBesideResult_data();
    void writesThumbnailBesideResult();
    void thumbnailNeverReplacesSource();
    void secondSaveStartsFromSource();
    void cancelledSaveWritesNothing();
    void failedWriteKeepsExistingFile();
    void suffixWithoutWriterIsReported();
    void failedThumbnailIsReported();
    void failedResizeStopsBeforeSaveDialog();

private:
    QLineEdit *widthEdit() const;
    QLineEdit *heightEdit() const;
    QLabel *preview() const;
    QAbstractButton *button(const QString &text) const;
    QString makeImage(const QString &name, const QSize &size);
    void load(const QString &path);
    void resizeAndSave(QList<ModalScript::Step> steps);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ImageResizerPage> m_page;
};

void tst_ImageResizerPage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
    m_page = std::make_unique<ImageResizerPage>();
    m_page->resize(900, 600);
    m_page->show();
}

void tst_ImageResizerPage::cleanup()
{
    m_page.reset();
    m_dir.reset();
}

QLineEdit *tst_ImageResizerPage::widthEdit() const
{
    for (auto *edit : m_page->findChildren<QLineEdit *>()) {
        if (edit->placeholderText() == QLatin1String("Width")) {
            return edit;
        }
    }
    return nullptr;
}

QLineEdit *tst_ImageResizerPage::heightEdit() const
{
    for (auto *edit : m_page->findChildren<QLineEdit *>()) {
        if (edit->placeholderText() == QLatin1String("Height")) {
            return edit;
        }
    }
    return nullptr;
}

QLabel *tst_ImageResizerPage::preview() const
{
    return m_page->findChild<QLabel *>(QStringLiteral("QRPreview"));
}

QAbstractButton *tst_ImageResizerPage::button(const QString &text) const
{
    for (auto *b : m_page->findChildren<QAbstractButton *>()) {
        if (b->text() == text) {
            return b;
        }
    }
    return nullptr;
}

QString tst_ImageResizerPage::makeImage(const QString &name, const QSize &size)
{
    const QString path = m_dir->filePath(name);
    if (!patternImage(size).save(path)) {
        qWarning("could not write %s", qPrintable(path));
    }
    return path;
}

void tst_ImageResizerPage::load(const QString &path)
{
    const QFileInfo info(path);
    ModalScript script({ openDialog(info.absolutePath(), info.fileName()) });
    button(QStringLiteral("Browse for image…"))->click();
    QVERIFY2(script.isComplete(), qPrintable(script.report()));
}

void tst_ImageResizerPage::resizeAndSave(QList<ModalScript::Step> steps)
{
    ModalScript script(std::move(steps));
    button(QStringLiteral("Resize and save"))->click();
    QVERIFY2(script.isComplete(), qPrintable(script.report()));
}

void tst_ImageResizerPage::startsWithoutImage()
{
    QCOMPARE(m_page->objectName(), QStringLiteral("ImageResizerPage"));
    QCOMPARE(preview()->text(), QStringLiteral("Drop an image or\nclick Browse"));
    QCOMPARE(preview()->size(), QSize(220, 180));
    QVERIFY(widthEdit()->text().isEmpty());
    QVERIFY(heightEdit()->text().isEmpty());
    auto *exact =
        qobject_cast<QRadioButton *>(button(QStringLiteral("Fit exactly — may stretch the image")));
    auto *keep = qobject_cast<QRadioButton *>(
        button(QStringLiteral("Keep proportions — fits within width or height")));
    QVERIFY(exact && keep);
    QVERIFY(exact->isChecked());
    QVERIFY(!keep->isChecked());
    keep->click();
    QVERIFY(!exact->isChecked());
    QVERIFY(!button(QStringLiteral("Create thumbnails too"))->isChecked());
    QCOMPARE(
        button(QStringLiteral("Resize and save"))->objectName(), QStringLiteral("PrimaryButton"));
}

void tst_ImageResizerPage::presetsFillFieldsOnly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");

    QTest::addRow("first") << "1024 x 728" << 0 << 0 << "1024"
                           << "728";
    QTest::addRow("second") << "800 x 600" << 0 << 1 << "800"
                            << "600";
    QTest::addRow("third") << "460 x 308" << 0 << 2 << "460"
                           << "308";
    QTest::addRow("fourth") << "320 x 240" << 1 << 0 << "320"
                            << "240";
    QTest::addRow("fifth") << "240 x 160" << 1 << 1 << "240"
                           << "160";
    QTest::addRow("sixth") << "220 x 148" << 1 << 2 << "220"
                           << "148";
}

void tst_ImageResizerPage::presetsFillFieldsOnly()
{
    QFETCH(QString, text);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, width);
    QFETCH(QString, height);

    auto *preset = button(text);
    QVERIFY(preset);
    auto *grid = m_page->findChild<QGridLayout *>();
    QVERIFY(grid);
    QCOMPARE(grid->itemAtPosition(row, column)->widget(), preset);

    ModalScript noDialogs({});
    preset->click();
    QVERIFY2(noDialogs.isComplete(), qPrintable(noDialogs.report()));
    QCOMPARE(widthEdit()->text(), width);
    QCOMPARE(heightEdit()->text(), height);
    QCOMPARE(preview()->text(), QStringLiteral("Drop an image or\nclick Browse"));
}

void tst_ImageResizerPage::backButtonAsksToGoBack()
{
    QSignalSpy spy(m_page.get(), &ImageResizerPage::backRequested);
    button(QStringLiteral("< Back"))->click();
    QCOMPARE(spy.size(), 1);
}

void tst_ImageResizerPage::loadsEachFormat_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("previewSize");

    QTest::addRow("png") << "a.png" << QSize(640, 480) << QSize(220, 165);
    QTest::addRow("jpg") << "b.jpg" << QSize(300, 600) << QSize(90, 180);
    QTest::addRow("jpeg") << "c.jpeg" << QSize(100, 50) << QSize(220, 110);
    QTest::addRow("bmp") << "d.bmp" << QSize(20, 30) << QSize(120, 180);
    QTest::addRow("webp") << "e.webp" << QSize(440, 90) << QSize(220, 45);
    // Fields filled from an image skip the validators; resizing checks them.
    QTest::addRow("wider than the bound") << "f.png" << QSize(20500, 3) << QSize(220, 1);
}

void tst_ImageResizerPage::loadsEachFormat()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QSize, previewSize);

    load(makeImage(name, size));
    QCOMPARE(widthEdit()->text(), QString::number(size.width()));
    QCOMPARE(heightEdit()->text(), QString::number(size.height()));
    QCOMPARE(preview()->pixmap().size(), previewSize);
}

void tst_ImageResizerPage::refusedLoadKeepsCurrentImage_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");

    QTest::addRow("text renamed png") << "notes.png" << QByteArray("not an image at all\n");
    QTest::addRow("empty file") << "empty.jpg" << QByteArray();
}

void tst_ImageResizerPage::refusedLoadKeepsCurrentImage()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);

    load(makeImage(QStringLiteral("good.png"), QSize(400, 300)));
    widthEdit()->setText(QStringLiteral("123"));
    const QImage shown = preview()->pixmap().toImage();

    QFile file(m_dir->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    {
        ModalScript script({ openDialog(m_dir->path(), name),
            warning(QStringLiteral("Could not load that image.")) });
        button(QStringLiteral("Browse for image…"))->click();
        QVERIFY2(script.isComplete(), qPrintable(script.report()));
    }

    QCOMPARE(widthEdit()->text(), QStringLiteral("123"));
    QCOMPARE(heightEdit()->text(), QStringLiteral("300"));
    QCOMPARE(preview()->pixmap().toImage(), shown);

    // The image in use is still the good one: its resized copy is proposed beside it.
    QString proposed;
    resizeAndSave({ saveDialog(m_dir->path(), QString(), &proposed) });
    QCOMPARE(proposed, m_dir->filePath(QStringLiteral("good_resized.png")));
}

void tst_ImageResizerPage::cancelledOpenChangesNothing()
{
    ModalScript script({ openDialog(m_dir->path(), QString()) });
    button(QStringLiteral("Browse for image…"))->click();
    QVERIFY2(script.isComplete(), qPrintable(script.report()));
    QCOMPARE(preview()->text(), QStringLiteral("Drop an image or\nclick Browse"));
    QVERIFY(widthEdit()->text().isEmpty());
}

void tst_ImageResizerPage::resizeNeedsAnImage()
{
    button(QStringLiteral("800 x 600"))->click();
    resizeAndSave({ warning(QStringLiteral("Choose an image first.")) });
}

void tst_ImageResizerPage::refusesSizesOutOfBounds_data()
{
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<bool>("keepRatio");

    QTest::addRow("empty width") << ""
                                 << "100" << false;
    QTest::addRow("empty height") << "100"
                                  << "" << false;
    QTest::addRow("zero") << "0"
                          << "100" << false;
    QTest::addRow("above 20000") << "20001"
                                 << "100" << false;
    QTest::addRow("above 20000 kept") << "100"
                                      << "20001" << true;
    QTest::addRow("image's own width above 20000") << "30000"
                                                   << "3" << false;
    QTest::addRow("negative") << "-4"
                              << "100" << false;
    // Allowed sides, but 400 million pixels would take 1.6 GB.
    QTest::addRow("too many pixels") << "20000"
                                     << "20000" << false;
    QTest::addRow("too many pixels kept") << "20000"
                                          << "20000" << true;
}

void tst_ImageResizerPage::refusesSizesOutOfBounds()
{
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(bool, keepRatio);

    load(makeImage(QStringLiteral("src.png"), QSize(50, 50)));
    if (keepRatio) {
        button(QStringLiteral("Keep proportions — fits within width or height"))->click();
    }
    widthEdit()->setText(width);
    heightEdit()->setText(height);
    resizeAndSave({ warning(QStringLiteral("Enter a valid width and height.")) });
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList { QStringLiteral("src.png") });
}

void tst_ImageResizerPage::savesResizedImage_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<bool>("keepRatio");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("expected");

    QTest::addRow("exact png") << QSize(1000, 1000) << "800"
                               << "600" << false << "out.png" << QByteArray("png")
                               << QSize(800, 600);
    QTest::addRow("kept png") << QSize(1000, 1000) << "800"
                              << "600" << true << "out.png" << QByteArray("png") << QSize(600, 600);
    QTest::addRow("exact jpg") << QSize(1000, 1000) << "800"
                               << "600" << false << "out.jpg" << QByteArray("jpeg")
                               << QSize(800, 600);
    QTest::addRow("kept jpg enlarged")
        << QSize(100, 50) << "1024"
        << "728" << true << "big.jpg" << QByteArray("jpeg") << QSize(1024, 512);
    QTest::addRow("thin line kept")
        << QSize(2000, 2) << "800"
        << "600" << true << "line.png" << QByteArray("png") << QSize(800, 1);
    QTest::addRow("largest side") << QSize(200, 10) << "20000"
                                  << "1000" << false << "w.png" << QByteArray("png")
                                  << QSize(20000, 1000);
}

void tst_ImageResizerPage::savesResizedImage()
{
    QFETCH(QSize, source);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(bool, keepRatio);
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QFETCH(QSize, expected);

    load(makeImage(QStringLiteral("src.png"), source));
    if (keepRatio) {
        button(QStringLiteral("Keep proportions — fits within width or height"))->click();
    }
    widthEdit()->setText(width);
    heightEdit()->setText(height);
    resizeAndSave({ saveDialog(m_dir->path(), name) });

    const Written written = inspect(m_dir->filePath(name));
    QCOMPARE(written.format, format);
    QCOMPARE(written.size, expected);
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("src_thumb.png"))));
    // Qt keeps at least one pixel a side when it shrinks a thin image.
    QCOMPARE(preview()->pixmap().size(),
        expected.scaled(QSize(220, 180), Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
}

void tst_ImageResizerPage::proposesNameBesideSource_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("proposal");

    QTest::addRow("jpeg") << "cat.jpeg"
                          << "cat_resized.jpeg";
    QTest::addRow("several dots") << "a.b.png"
                                  << "a_resized.png";
    QTest::addRow("no suffix") << "scan"
                               << "scan_resized.";
}

void tst_ImageResizerPage::proposesNameBesideSource()
{
    QFETCH(QString, source);
    QFETCH(QString, proposal);

    const QString path = m_dir->filePath(source);
    QVERIFY(patternImage(QSize(30, 20)).save(path, "PNG"));
    load(path);
    QString proposed;
    resizeAndSave({ saveDialog(m_dir->path(), QString(), &proposed) });
    QCOMPARE(proposed, m_dir->filePath(proposal));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList { source });
}

void tst_ImageResizerPage::writesThumbnailBesideResult_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<bool>("keepRatio");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("thumbName");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("resized");
    QTest::addColumn<QSize>("thumb");

    QTest::addRow("640x480 exact")
        << QSize(640, 480) << false << "out.png"
        << "out_thumb.png" << QByteArray("png") << QSize(800, 600) << QSize(160, 120);
    QTest::addRow("640x480 kept") << QSize(640, 480) << true << "out.png"
                                  << "out_thumb.png" << QByteArray("png") << QSize(800, 600)
                                  << QSize(160, 120);
    QTest::addRow("100x50 enlarged")
        << QSize(100, 50) << false << "small.jpg"
        << "small_thumb.jpg" << QByteArray("jpeg") << QSize(800, 600) << QSize(160, 80);
    QTest::addRow("several dots") << QSize(300, 600) << true << "v.1.2.jpg"
                                  << "v_thumb.jpg" << QByteArray("jpeg") << QSize(300, 600)
                                  << QSize(80, 160);
}

void tst_ImageResizerPage::writesThumbnailBesideResult()
{
    QFETCH(QSize, source);
    QFETCH(bool, keepRatio);
    QFETCH(QString, name);
    QFETCH(QString, thumbName);
    QFETCH(QByteArray, format);
    QFETCH(QSize, resized);
    QFETCH(QSize, thumb);

    load(makeImage(QStringLiteral("src.png"), source));
    if (keepRatio) {
        button(QStringLiteral("Keep proportions — fits within width or height"))->click();
    }
    button(QStringLiteral("800 x 600"))->click();
    button(QStringLiteral("Create thumbnails too"))->click();
    resizeAndSave({ saveDialog(m_dir->path(), name) });

    const Written main = inspect(m_dir->filePath(name));
    QCOMPARE(main.format, format);
    QCOMPARE(main.size, resized);
    const Written small = inspect(m_dir->filePath(thumbName));
    QCOMPARE(small.format, format);
    QCOMPARE(small.size, thumb);
}

void tst_ImageResizerPage::thumbnailNeverReplacesSource()
{
    const QString source = makeImage(QStringLiteral("pic_thumb.png"), QSize(640, 480));
    const QByteArray before = readAll(source);
    load(source);
    button(QStringLiteral("320 x 240"))->click();
    button(QStringLiteral("Create thumbnails too"))->click();
    resizeAndSave({ saveDialog(m_dir->path(), QStringLiteral("pic.png")) });

    QCOMPARE(inspect(m_dir->filePath(QStringLiteral("pic.png"))).size, QSize(320, 240));
    QCOMPARE(readAll(source), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files),
        (QStringList { QStringLiteral("pic.png"), QStringLiteral("pic_thumb.png") }));
}

void tst_ImageResizerPage::secondSaveStartsFromSource()
{
    load(makeImage(QStringLiteral("src.png"), QSize(400, 300)));
    widthEdit()->setText(QStringLiteral("50"));
    heightEdit()->setText(QStringLiteral("50"));
    resizeAndSave({ saveDialog(m_dir->path(), QStringLiteral("first.png")) });
    QCOMPARE(inspect(m_dir->filePath(QStringLiteral("first.png"))).size, QSize(50, 50));

    button(QStringLiteral("Keep proportions — fits within width or height"))->click();
    widthEdit()->setText(QStringLiteral("800"));
    heightEdit()->setText(QStringLiteral("800"));
    resizeAndSave({ saveDialog(m_dir->path(), QStringLiteral("second.png")) });
    QCOMPARE(inspect(m_dir->filePath(QStringLiteral("second.png"))).size, QSize(800, 600));
    QCOMPARE(widthEdit()->text(), QStringLiteral("800"));
}

void tst_ImageResizerPage::cancelledSaveWritesNothing()
{
    load(makeImage(QStringLiteral("src.png"), QSize(40, 40)));
    const QImage shown = preview()->pixmap().toImage();
    button(QStringLiteral("Create thumbnails too"))->click();
    resizeAndSave({ saveDialog(m_dir->path(), QString()) });
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList { QStringLiteral("src.png") });
    QCOMPARE(preview()->pixmap().toImage(), shown);
}

void tst_ImageResizerPage::failedWriteKeepsExistingFile()
{
    const QString source = m_dir->filePath(QStringLiteral("noise.png"));
    QVERIFY(noiseImage(QSize(400, 300)).save(source));
    load(source);
    const QImage shown = preview()->pixmap().toImage();
    const QString target = makeImage(QStringLiteral("out.png"), QSize(10, 10));
    const QByteArray before = readAll(target);
    button(QStringLiteral("Create thumbnails too"))->click();
    {
        FileSizeLimit limit(16 * 1024);
        QVERIFY(limit.isActive());
        resizeAndSave({ saveDialog(m_dir->path(), QStringLiteral("out.png")), confirmReplace(),
            warning(QStringLiteral("Could not save the file.")) });
    }
    QCOMPARE(readAll(target), before);
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("out_thumb.png"))));
    QCOMPARE(preview()->pixmap().toImage(), shown);
}

void tst_ImageResizerPage::suffixWithoutWriterIsReported()
{
    // Qt reads GIF but has no GIF writer; a GIF source proposes such a name.
    load(makeImage(QStringLiteral("src.png"), QSize(40, 40)));
    button(QStringLiteral("Create thumbnails too"))->click();
    resizeAndSave({ saveDialog(m_dir->path(), QStringLiteral("out.gif")),
        warning(QStringLiteral("Could not save the file.")) });
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList { QStringLiteral("src.png") });
}

void tst_ImageResizerPage::failedThumbnailIsReported()
{
    load(makeImage(QStringLiteral("src.png"), QSize(640, 480)));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("out_thumb.png")));
    button(QStringLiteral("Create thumbnails too"))->click();
    button(QStringLiteral("460 x 308"))->click();
    resizeAndSave({ saveDialog(m_dir->path(), QStringLiteral("out.png")),
        warning(QStringLiteral("Could not save the file.")) });
    QCOMPARE(inspect(m_dir->filePath(QStringLiteral("out.png"))).size, QSize(460, 308));
    // The result was written, so the preview shows it.
    QCOMPARE(preview()->pixmap().size(), QSize(220, 147));
}

void tst_ImageResizerPage::failedResizeStopsBeforeSaveDialog()
{
    load(makeImage(QStringLiteral("src.png"), QSize(64, 64)));
    widthEdit()->setText(QStringLiteral("8000"));
    heightEdit()->setText(QStringLiteral("4000"));
    // 8000 x 4000 is allowed but needs 128 MB: leave the process too little address space
    // for it, and the resize gives no image.
    rlimit old {};
    QVERIFY(getrlimit(RLIMIT_AS, &old) == 0);
    QFile status(QStringLiteral("/proc/self/statm"));
    QVERIFY(status.open(QIODevice::ReadOnly));
    const qint64 pages = status.readAll().split(' ').value(0).toLongLong();
    QVERIFY(pages > 0);
    rlimit lowered = old;
    lowered.rlim_cur = rlim_t(pages * 4096 + 64 * 1024 * 1024);
    QVERIFY(setrlimit(RLIMIT_AS, &lowered) == 0);
    ModalScript script({ warning(QStringLiteral("Could not save the file.")) });
    button(QStringLiteral("Resize and save"))->click();
    setrlimit(RLIMIT_AS, &old);
    QVERIFY2(script.isComplete(), qPrintable(script.report()));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList { QStringLiteral("src.png") });
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
