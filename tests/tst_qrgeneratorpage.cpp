#include "tools/qr/qrgeneratorpage.h"
#include "tools/qr/qrsymbol.h"

#include "dialoganswers.h"

#include <QComboBox>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Qt's own dialogs, so the tests can find and answer them.
const bool s_ownDialogs = [] {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    return true;
}();
const QString saveTitle = QStringLiteral("Save QR code");
} // namespace

class tst_QRGeneratorPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void previewFollowsTextAndAccuracy();
    void unencodableTextShowsMessageAndSaveWarns_data();
    void unencodableTextShowsMessageAndSaveWarns();
    void savedPngHasChosenSideAndTypedText_data();
    void savedPngHasChosenSideAndTypedText();
    void unwritableDestinationWarns();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QRGeneratorPage> m_page;
    QLineEdit *m_input = nullptr;
    QComboBox *m_resolution = nullptr; // the first choice, then the accuracy
    QComboBox *m_accuracy = nullptr;
    QLabel *m_preview = nullptr;
    QPushButton *m_save = nullptr;
};

void tst_QRGeneratorPage::init()
{
    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
    m_page = std::make_unique<QRGeneratorPage>();
    m_input = m_page->findChild<QLineEdit *>();
    m_preview = m_page->findChild<QLabel *>(QStringLiteral("QRPreview"));
    m_save = m_page->findChild<QPushButton *>(QStringLiteral("PrimaryButton"));
    const QList<QComboBox *> combos = m_page->findChildren<QComboBox *>();
    QCOMPARE(combos.size(), 2);
    m_resolution = combos.at(0);
    m_accuracy = combos.at(1);
    QVERIFY(m_input && m_preview && m_save);
}

void tst_QRGeneratorPage::previewFollowsTextAndAccuracy()
{
    const auto expected = [this](QRecLevel level) {
        return paintQrSymbol(*encodeQrText(m_input->text(), level))
            .scaled(220, 220, Qt::KeepAspectRatio, Qt::FastTransformation);
    };
    const auto preview = [this] {
        return m_preview->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    };
    QCOMPARE(m_accuracy->currentIndex(), 1); // Medium at first
    QCOMPARE(preview(), expected(QR_ECLEVEL_M));
    m_input->setText(QStringLiteral("typed text"));
    for (const QRecLevel level : { QR_ECLEVEL_M, QR_ECLEVEL_L, QR_ECLEVEL_Q, QR_ECLEVEL_H }) {
        m_accuracy->setCurrentIndex(int(level)); // Low, Medium, Quartile, High
        QCOMPARE(preview(), expected(level));
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
    QCOMPARE(dialogs::clickAndAnswer(m_save),
        QStringList { "mirvale: Nothing to save yet — type some text first." });
}

void tst_QRGeneratorPage::savedPngHasChosenSideAndTypedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("choice"); // picks both the accuracy and the resolution
    QTest::addColumn<QString>("name");
    QTest::addRow("web address, low, .jpg name")
        << "https://example.org/a?b=c&d=e" << 0 << "low.jpg"; // still gets PNG data
    QTest::addRow("accents, CJK and emoji, medium")
        << "Crème brûlée, Zürich 日本語 😀🎉" << 1 << "medium.png";
    // Without a UTF-8 marker a lone accent reads as CJK.
    QTest::addRow("single accent, quartile") << "é" << 2 << "quartile.png";
    QTest::addRow("pasted NUL, high") << QString::fromUtf8("before\0after", 12) << 3 << "high.png";
}

void tst_QRGeneratorPage::savedPngHasChosenSideAndTypedText()
{
    QFETCH(QString, text);
    QFETCH(int, choice);
    QFETCH(QString, name);
    const int side = 256 << choice;
    QCOMPARE(m_resolution->itemText(choice), QStringLiteral("%1 x %1 px").arg(side));
    m_accuracy->setCurrentIndex(choice);
    m_resolution->setCurrentIndex(choice);
    m_input->setText(text);
    QCOMPARE(dialogs::clickAndAnswer(m_save, m_dir.path(), name), QStringList { saveTitle });
    QImageReader reader(m_dir.filePath(name));
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format(), QByteArray("png"));
    QCOMPARE(reader.size(), QSize(side, side));

    if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty()) {
        QSKIP("zbarimg is not installed");
    }
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), { "--raw", "-q", m_dir.filePath(name) });
    QVERIFY(zbar.waitForFinished(60000));
    QCOMPARE(zbar.exitCode(), 0);
    // Without the line feed zbarimg prints after the data.
    QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput().chopped(1)), text);
}

void tst_QRGeneratorPage::unwritableDestinationWarns()
{
    // A regular file where the folder should be: the write fails even for root.
    QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    QCOMPARE(dialogs::clickAndAnswer(m_save, m_dir.path(), QStringLiteral("blocker/qr.png")),
        (QStringList { saveTitle, "mirvale: Could not save the file." }));
}

QTEST_MAIN(tst_QRGeneratorPage)
#include "tst_qrgeneratorpage.moc"
