#include "tools/qr/qrgeneratorpage.h"
#include "tools/qr/qrsymbol.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <type_traits>

namespace {

// Qt's own dialogs, so the tests can find and answer them.
const bool s_ownDialogs = [] {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    return true;
}();

const QString nothingToSave = QStringLiteral("Nothing to save yet — type some text first.");
const QString couldNotEncode = QStringLiteral("Could not encode\nthis text");

struct ModalAnswer
{
    bool answered = false;
    QString title;
    QString text;
};

QString longText(int length)
{
    QString text;
    for (int i = 0; i < length; ++i) {
        text += QChar(u'a' + i % 26);
    }
    return text;
}

QImage libraryPreview(const QString &text, QRecLevel level)
{
    const QByteArray bytes = text.toUtf8();
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(bytes.constData(), 0, level, QR_MODE_8, 1), &QRcode_free);
    if (!code) {
        return {};
    }
    QImage image(code->width, code->width, QImage::Format_RGB32);
    for (int y = 0; y < code->width; ++y) {
        for (int x = 0; x < code->width; ++x) {
            const bool dark = code->data[y * code->width + x] & 1;
            image.setPixel(x, y, dark ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return image.scaled(220, 220, Qt::KeepAspectRatio, Qt::FastTransformation);
}

// zbarimg prints the symbol's data and a line break; nothing when it finds no symbol.
std::optional<QByteArray> decodeWithZbar(const QString &fileName)
{
    QProcess zbar;
    zbar.start(
        QStringLiteral("zbarimg"), { QStringLiteral("--raw"), QStringLiteral("-q"), fileName });
    if (!zbar.waitForFinished(60000) || zbar.exitCode() != 0) {
        return std::nullopt;
    }
    QByteArray out = zbar.readAllStandardOutput();
    if (out.endsWith('\n')) {
        out.chop(1);
    }
    return out;
}

} // namespace

class tst_QRGeneratorPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsWithSymbolOfInitialText();
    void accuracyChangeReencodesAtOnce_data();
    void accuracyChangeReencodesAtOnce();
    void resolutionChangeLeavesPreview();
    void emptyTextShowsPromptAndSaveWarns();
    void textTooLongForLevelShowsMessageAndSaveWarns();
    void savedPngDecodesToTypedText_data();
    void savedPngDecodesToTypedText();
    void savedPngHasChosenSide_data();
    void savedPngHasChosenSide();
    void jpgNameStillGetsPngData();
    void unwritableDestinationWarns();
    void cancellingTheDialogWritesNothing();
    void backButtonRequestsBack();

private:
    // Arms a poll that answers the next modal of class Dialog once, or closes whatever modal is
    // open after a deadline so a missing or unexpected dialog fails the test instead of hanging.
    template <typename Dialog>
    std::shared_ptr<ModalAnswer> answerModal(std::function<void(Dialog *)> answer);
    std::shared_ptr<ModalAnswer> answerMessageBox();
    std::shared_ptr<ModalAnswer> answerFileDialog(const QString &fileName);
    std::shared_ptr<ModalAnswer> cancelFileDialog();

    QString save(int resolutionIndex, const QString &fileName);

    std::unique_ptr<QRGeneratorPage> m_page;
    std::unique_ptr<QTemporaryDir> m_dir;
    QList<QPointer<QTimer>> m_polls;
    QLineEdit *m_input = nullptr;
    QComboBox *m_resolution = nullptr;
    QComboBox *m_accuracy = nullptr;
    QLabel *m_preview = nullptr;
    QPushButton *m_save = nullptr;
};

template <typename Dialog>
std::shared_ptr<ModalAnswer> tst_QRGeneratorPage::answerModal(std::function<void(Dialog *)> answer)
{
    auto result = std::make_shared<ModalAnswer>();
    auto *poll = new QTimer(this);
    m_polls.append(poll);
    const QDeadlineTimer deadline(20000);
    connect(poll, &QTimer::timeout, poll, [poll, deadline, result, answer] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<Dialog *>(modal); dialog && dialog->isVisible()) {
            poll->stop();
            result->answered = true;
            result->title = dialog->windowTitle();
            if constexpr (std::is_same_v<Dialog, QMessageBox>) {
                result->text = dialog->text();
            }
            answer(dialog);
            poll->deleteLater();
        } else if (deadline.hasExpired()) {
            poll->stop();
            if (modal) {
                modal->close();
            }
            poll->deleteLater();
        }
    });
    poll->start(10);
    return result;
}

std::shared_ptr<ModalAnswer> tst_QRGeneratorPage::answerMessageBox()
{
    return answerModal<QMessageBox>(
        [](QMessageBox *box) { box->button(QMessageBox::Ok)->click(); });
}

std::shared_ptr<ModalAnswer> tst_QRGeneratorPage::answerFileDialog(const QString &fileName)
{
    const QString dir = m_dir->path();
    return answerModal<QFileDialog>([dir, fileName](QFileDialog *dialog) {
        dialog->setDirectory(dir);
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(fileName);
        static_cast<QDialog *>(dialog)->accept();
    });
}

std::shared_ptr<ModalAnswer> tst_QRGeneratorPage::cancelFileDialog()
{
    return answerModal<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
}

void tst_QRGeneratorPage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
    m_page = std::make_unique<QRGeneratorPage>();
    m_input = m_page->findChild<QLineEdit *>();
    m_preview = m_page->findChild<QLabel *>(QStringLiteral("QRPreview"));
    m_save = m_page->findChild<QPushButton *>(QStringLiteral("PrimaryButton"));
    const QList<QComboBox *> combos = m_page->findChildren<QComboBox *>();
    for (QComboBox *combo : combos) {
        if (combo->itemText(0) == QLatin1String("Low")) {
            m_accuracy = combo;
        } else if (combo->itemText(0) == QLatin1String("256 x 256 px")) {
            m_resolution = combo;
        }
    }
    QVERIFY(m_input && m_preview && m_save && m_accuracy && m_resolution);
}

void tst_QRGeneratorPage::cleanup()
{
    for (const QPointer<QTimer> &poll : std::as_const(m_polls)) {
        delete poll.data();
    }
    m_polls.clear();
    QVERIFY2(!QApplication::activeModalWidget(), "a dialog was left open");
    m_page.reset();
    m_dir.reset();
}

QString tst_QRGeneratorPage::save(int resolutionIndex, const QString &fileName)
{
    m_resolution->setCurrentIndex(resolutionIndex);
    const auto dialog = answerFileDialog(fileName);
    m_save->click();
    return dialog->answered ? m_dir->filePath(fileName) : QString();
}

void tst_QRGeneratorPage::startsWithSymbolOfInitialText()
{
    QVERIFY(!m_input->text().isEmpty());
    QCOMPARE(m_resolution->currentIndex(), 1);
    QCOMPARE(m_accuracy->currentIndex(), 1);
    QCOMPARE(m_preview->size(), QSize(220, 220));
    const QImage shown = m_preview->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), QSize(220, 220));
    QCOMPARE(shown, libraryPreview(m_input->text(), QR_ECLEVEL_M));
}

void tst_QRGeneratorPage::accuracyChangeReencodesAtOnce_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("level");
    QTest::addRow("Low") << 0 << int(QR_ECLEVEL_L);
    QTest::addRow("Quartile") << 2 << int(QR_ECLEVEL_Q);
    QTest::addRow("High") << 3 << int(QR_ECLEVEL_H);
}

void tst_QRGeneratorPage::accuracyChangeReencodesAtOnce()
{
    QFETCH(int, index);
    QFETCH(int, level);
    // Spaces only: encoded like any other text.
    const QString text = QStringLiteral("     ");
    m_input->setText(text);
    m_accuracy->setCurrentIndex(index);
    const QImage shown = m_preview->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown, libraryPreview(text, QRecLevel(level)));
}

void tst_QRGeneratorPage::resolutionChangeLeavesPreview()
{
    const qint64 before = m_preview->pixmap().cacheKey();
    m_resolution->setCurrentIndex(3);
    QCOMPARE(m_preview->pixmap().cacheKey(), before);
}

void tst_QRGeneratorPage::emptyTextShowsPromptAndSaveWarns()
{
    m_input->clear();
    QCOMPARE(m_preview->text(), QStringLiteral("Type something to\ngenerate a code"));
    QVERIFY(m_preview->pixmap().isNull());

    const auto box = answerMessageBox();
    m_save->click();
    QVERIFY(box->answered);
    QCOMPARE(box->title, QStringLiteral("mirvale"));
    QCOMPARE(box->text, nothingToSave);
}

void tst_QRGeneratorPage::textTooLongForLevelShowsMessageAndSaveWarns()
{
    // Fits the largest symbol at low (2953 bytes), not at high (1273 bytes).
    m_accuracy->setCurrentIndex(0);
    m_input->setText(longText(2000));
    QVERIFY(!m_preview->pixmap().isNull());

    m_accuracy->setCurrentIndex(3);
    QCOMPARE(m_preview->text(), couldNotEncode);
    QVERIFY(m_preview->pixmap().isNull());

    const auto box = answerMessageBox();
    m_save->click();
    QVERIFY(box->answered);
    QCOMPARE(box->title, QStringLiteral("mirvale"));
    QCOMPARE(box->text, nothingToSave);

    m_accuracy->setCurrentIndex(0);
    QVERIFY(m_preview->text().isEmpty());
    QCOMPARE(m_preview->pixmap().toImage().convertToFormat(QImage::Format_RGB32),
        libraryPreview(longText(2000), QR_ECLEVEL_L));
}

void tst_QRGeneratorPage::savedPngDecodesToTypedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("accuracy");

    const QList<std::pair<const char *, QString>> texts = {
        { "web address", QStringLiteral("https://example.org/a?b=c&d=e") },
        { "spaces only", QStringLiteral("   ") },
        { "accents", QStringLiteral("Crème brûlée à São Paulo, Zürich, é") },
        { "emoji", QStringLiteral("héllo 😀 wörld 🎉") },
        { "CJK", QStringLiteral("日本語のテキスト") },
        { "single accent", QStringLiteral("é") },
        { "pasted NUL", QString::fromUtf8("before\0after", 12) },
    };
    const char *levels[] = { "Low", "Medium", "Quartile", "High" };
    for (const auto &[tag, text] : texts) {
        for (int i = 0; i < 4; ++i) {
            QTest::addRow("%s, %s", tag, levels[i]) << text << i;
        }
    }
}

void tst_QRGeneratorPage::savedPngDecodesToTypedText()
{
    if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty()) {
        QSKIP("zbarimg is not installed");
    }
    QFETCH(QString, text);
    QFETCH(int, accuracy);

    m_accuracy->setCurrentIndex(accuracy);
    m_input->setText(text);
    const QString file = save(0, QStringLiteral("code.png"));
    QVERIFY(!file.isEmpty());
    QVERIFY(QFile::exists(file));

    const std::optional<QByteArray> decoded = decodeWithZbar(file);
    QVERIFY2(decoded, "zbarimg found no symbol");
    QCOMPARE(QString::fromUtf8(*decoded), text);
}

void tst_QRGeneratorPage::savedPngHasChosenSide_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("side");
    QTest::addRow("256 x 256 px") << 0 << 256;
    QTest::addRow("512 x 512 px") << 1 << 512;
    QTest::addRow("1024 x 1024 px") << 2 << 1024;
    QTest::addRow("2048 x 2048 px") << 3 << 2048;
}

void tst_QRGeneratorPage::savedPngHasChosenSide()
{
    QFETCH(int, index);
    QFETCH(int, side);
    QCOMPARE(m_resolution->itemText(index), QStringLiteral("%1 x %1 px").arg(side));

    m_input->setText(QStringLiteral("size check"));
    const QString file = save(index, QStringLiteral("qr-code.png"));
    QVERIFY(!file.isEmpty());
    QImageReader reader(file);
    QCOMPARE(reader.format(), QByteArray("png"));
    QCOMPARE(reader.size(), QSize(side, side));

    if (!QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty()) {
        QCOMPARE(decodeWithZbar(file).value_or("(none)"), QByteArray("size check"));
    }
}

void tst_QRGeneratorPage::jpgNameStillGetsPngData()
{
    const QString file = save(0, QStringLiteral("code.jpg"));
    QVERIFY(!file.isEmpty());
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
}

void tst_QRGeneratorPage::unwritableDestinationWarns()
{
    // A regular file where the folder should be: the write fails even for root.
    QFile blocker(m_dir->filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const auto box = answerMessageBox();
    const QString file = save(1, QStringLiteral("blocker/qr-code.png"));
    QVERIFY(!file.isEmpty());
    QVERIFY(box->answered);
    QCOMPARE(box->title, QStringLiteral("mirvale"));
    QCOMPARE(box->text, QStringLiteral("Could not save the file."));
    // The page keeps its symbol and can still save elsewhere.
    QVERIFY(!m_preview->pixmap().isNull());
    QVERIFY(!save(1, QStringLiteral("after.png")).isEmpty());
    QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("after.png"))));
}

void tst_QRGeneratorPage::cancellingTheDialogWritesNothing()
{
    const auto dialog = cancelFileDialog();
    m_save->click();
    QVERIFY(dialog->answered);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void tst_QRGeneratorPage::backButtonRequestsBack()
{
    QSignalSpy spy(m_page.get(), &QRGeneratorPage::backRequested);
    auto *back = m_page->findChild<QPushButton *>(QStringLiteral("BackButton"));
    QVERIFY(back);
    back->click();
    QCOMPARE(spy.size(), 1);
}

QTEST_MAIN(tst_QRGeneratorPage)
#include "tst_qrgeneratorpage.moc"
