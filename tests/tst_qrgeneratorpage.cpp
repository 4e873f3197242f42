#include "tools/qr/qrgeneratorpage.h"
#include "tools/qr/qrsymbol.h"

#include "dialoganswers.h"

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

#include <memory>

namespace {

// Qt's own dialogs, so the tests can find and answer them.
const bool s_ownDialogs = [] {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    return true;
}();

// What the preview shows for the text at that level.
QImage expectedPreview(const QString &text, QRecLevel level)
{
    return paintQrSymbol(*encodeQrText(text, level))
        .scaled(220, 220, Qt::KeepAspectRatio, Qt::FastTransformation);
}

const QString saveTitle = QStringLiteral("Save QR code");

} // namespace

class tst_QRGeneratorPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void backButtonRequestsBack();
    void previewFollowsTextAndAccuracy();
    void unencodableTextShowsMessageAndSaveWarns_data();
    void unencodableTextShowsMessageAndSaveWarns();
    void savedPngHasChosenSideAndTypedText_data();
    void savedPngHasChosenSideAndTypedText();
    void unwritableDestinationWarns();

private:
    QImage preview() const
    {
        return m_preview->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    }

    std::unique_ptr<QRGeneratorPage> m_page;
    std::unique_ptr<QTemporaryDir> m_dir;
    QLineEdit *m_input = nullptr;
    QComboBox *m_resolution = nullptr;
    QComboBox *m_accuracy = nullptr;
    QLabel *m_preview = nullptr;
    QPushButton *m_save = nullptr;
};

void tst_QRGeneratorPage::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY2(m_dir->isValid(), qPrintable(m_dir->errorString()));
    m_page = std::make_unique<QRGeneratorPage>();
    m_input = m_page->findChild<QLineEdit *>();
    m_preview = m_page->findChild<QLabel *>(QStringLiteral("QRPreview"));
    m_save = m_page->findChild<QPushButton *>(QStringLiteral("PrimaryButton"));
    // The resolution choice comes first, then the accuracy.
    const QList<QComboBox *> combos = m_page->findChildren<QComboBox *>();
    QCOMPARE(combos.size(), 2);
    m_resolution = combos.at(0);
    m_accuracy = combos.at(1);
    QVERIFY(m_input && m_preview && m_save);
}

void tst_QRGeneratorPage::cleanup()
{
    m_page.reset();
    m_dir.reset();
}

void tst_QRGeneratorPage::backButtonRequestsBack()
{
    QSignalSpy spy(m_page.get(), &QRGeneratorPage::backRequested);
    m_page->findChild<QPushButton *>(QStringLiteral("BackButton"))->click();
    QCOMPARE(spy.size(), 1);
}

void tst_QRGeneratorPage::previewFollowsTextAndAccuracy()
{
    QCOMPARE(preview(), expectedPreview(m_input->text(), QR_ECLEVEL_M)); // the initial choice
    const QString text = QStringLiteral("typed text");
    m_input->setText(text);
    QCOMPARE(preview(), expectedPreview(text, QR_ECLEVEL_M));
    for (const auto &[index, level] :
        { std::pair(0, QR_ECLEVEL_L), std::pair(2, QR_ECLEVEL_Q), std::pair(3, QR_ECLEVEL_H) }) {
        m_accuracy->setCurrentIndex(index);
        QCOMPARE(preview(), expectedPreview(text, level));
    }
}

void tst_QRGeneratorPage::unencodableTextShowsMessageAndSaveWarns_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addRow("empty") << QString() << "Type something to\ngenerate a code";
    // 2000 bytes fit the largest symbol at low, not at high.
    QTest::addRow("too long for high") << QString(2000, u'a') << "Could not encode\nthis text";
}

void tst_QRGeneratorPage::unencodableTextShowsMessageAndSaveWarns()
{
    QFETCH(QString, text);
    QFETCH(QString, message);

    m_input->setText(text);
    m_accuracy->setCurrentIndex(3);
    QCOMPARE(m_preview->text(), message);
    QVERIFY(m_preview->pixmap().isNull());
    QCOMPARE(clickAndAnswer(m_save),
        QStringList { QStringLiteral("mirvale: Nothing to save yet — type some text first.") });
}

void tst_QRGeneratorPage::savedPngHasChosenSideAndTypedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("choice"); // picks both the accuracy and the resolution
    QTest::addColumn<int>("side");
    QTest::addColumn<QString>("name");

    const std::pair<const char *, QString> texts[] = {
        { "web address", QStringLiteral("https://example.org/a?b=c&d=e") },
        { "accents, CJK and emoji", QStringLiteral("Crème brûlée, Zürich 日本語 😀🎉") },
        { "single accent", QStringLiteral("é") }, // without a UTF-8 marker read as CJK
        { "pasted NUL", QString::fromUtf8("before\0after", 12) },
    };
    const char *levels[] = { "Low", "Medium", "Quartile", "High" };
    for (const auto &[tag, text] : texts) {
        for (int i = 0; i < 4; ++i) {
            // A .jpg name still gets PNG data.
            QTest::addRow("%s, %s, %d px", tag, levels[i], 256 << i)
                << text << i << (256 << i) << (i == 0 ? "qr.jpg" : "qr.png");
        }
    }
}

void tst_QRGeneratorPage::savedPngHasChosenSideAndTypedText()
{
    QFETCH(QString, text);
    QFETCH(int, choice);
    QFETCH(int, side);
    QFETCH(QString, name);
    QCOMPARE(m_resolution->itemText(choice), QStringLiteral("%1 x %1 px").arg(side));

    m_accuracy->setCurrentIndex(choice);
    m_resolution->setCurrentIndex(choice);
    m_input->setText(text);
    QCOMPARE(clickAndAnswer(m_save, m_dir->path(), name), QStringList { saveTitle });
    const QString file = m_dir->filePath(name);
    QImageReader reader(file);
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), QByteArray("png"));
    QCOMPARE(reader.size(), QSize(side, side));

    if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty()) {
        QSKIP("zbarimg is not installed");
    }
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), { QStringLiteral("--raw"), QStringLiteral("-q"), file });
    QVERIFY(zbar.waitForFinished(60000));
    QCOMPARE(zbar.exitCode(), 0);
    QByteArray decoded = zbar.readAllStandardOutput();
    decoded.chop(1); // the line feed zbarimg prints after the data
    QCOMPARE(QString::fromUtf8(decoded), text);
}

void tst_QRGeneratorPage::unwritableDestinationWarns()
{
    // A regular file where the folder should be: the write fails even for root.
    QFile blocker(m_dir->filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QCOMPARE(clickAndAnswer(m_save, m_dir->path(), QStringLiteral("blocker/qr.png")),
        (QStringList { saveTitle, QStringLiteral("mirvale: Could not save the file.") }));
}

QTEST_MAIN(tst_QRGeneratorPage)
#include "tst_qrgeneratorpage.moc"
