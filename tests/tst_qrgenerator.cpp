#include "tools/qr/qrgeneratorpage.h"
#include "tools/qr/qrsymbol.h"

#include "dialoganswers.h"

#include <QtTest>

class tst_QrGenerator : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void symbolFitsLevelAndScalesSharp();
    void previewFollowsTextAndAccuracy();
    void savesPngThatReadsBack_data();
    void savesPngThatReadsBack();
    void refusesOrReportsFailedSaves();

private:
    [[nodiscard]] QString save(const QList<dialogs::Step> &steps)
    {
        return dialogs::click(m_page.get(), "Save PNG", steps);
    }
    QComboBox *combo(int index) const { return m_page->findChildren<QComboBox *>().at(index); }
    QLabel *preview() const { return m_page->findChild<QLabel *>("QRPreview"); }
    QLineEdit *input() const { return m_page->findChild<QLineEdit *>(); }
    QTemporaryDir m_dir;
    std::unique_ptr<QRGeneratorPage> m_page;
};

void tst_QrGenerator::init()
{
    m_page = std::make_unique<QRGeneratorPage>();
}

void tst_QrGenerator::symbolFitsLevelAndScalesSharp()
{
    const QImage scaled =
        qr::scaleSymbol(qr::paintSymbol(*qr::encodeText("hi", QR_ECLEVEL_L)), 512);
    QCOMPARE(scaled.size(), QSize(512, 512));
    // No light margin: three corners lie in finder patterns. Row 6 of 21 holds the timing
    // pattern, dark from column 8, light at 9; column 7 is the light separator. Nothing grey.
    const QList<QPoint> dark { { 0, 0 }, { 511, 0 }, { 0, 511 }, { 207, 158 } };
    QCOMPARE(scaled.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither)
                 .convertToFormat(scaled.format()),
        scaled);
    for (const QPoint &at : dark + QList<QPoint> { { 231, 158 }, { 180, 0 } }) {
        QCOMPARE(scaled.pixel(at) == qRgb(0, 0, 0), dark.contains(at));
    }
}

void tst_QrGenerator::previewFollowsTextAndAccuracy()
{
    const auto expected = [this](QRecLevel level) {
        return qr::paintSymbol(*qr::encodeText(input()->text(), level))
            .scaled(220, 220, Qt::KeepAspectRatio, Qt::FastTransformation);
    };
    const auto shown = [this] {
        return preview()->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    };
    QCOMPARE(combo(1)->currentText(), "Medium");
    QCOMPARE(shown(), expected(QR_ECLEVEL_M));
    input()->setText("typed text");
    for (const QRecLevel level : { QR_ECLEVEL_M, QR_ECLEVEL_L, QR_ECLEVEL_Q, QR_ECLEVEL_H }) {
        combo(1)->setCurrentIndex(int(level)); // Low, Medium, Quartile, High
        QCOMPARE(shown(), expected(level));
    }
}

void tst_QrGenerator::savesPngThatReadsBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("choice"); // picks both the accuracy and the resolution
    QTest::addColumn<QString>("name");
    QTest::addRow("web address, low, .jpg name")
        << "https://example.org/a?b=c&d=e" << 0 << "low.jpg"; // still gets PNG data
    QTest::addRow("accents, CJK and emoji") << "Crème brûlée, 日本語 😀🎉" << 1 << "m.png";
    // Without a UTF-8 marker a lone accent reads as CJK.
    QTest::addRow("single accent, quartile") << "é" << 2 << "q.png";
    QTest::addRow("high") << "https://example.org/" << 3 << "h.png";
}

void tst_QrGenerator::savesPngThatReadsBack()
{
    QFETCH(QString, text);
    QFETCH(int, choice);
    QFETCH(QString, name);
    const int side = 256 << choice;
    QCOMPARE(combo(0)->itemText(choice), QString("%1 x %1 px").arg(side));
    combo(1)->setCurrentIndex(choice);
    combo(0)->setCurrentIndex(choice);
    input()->setText(text);
    QCOMPARE(save({ dialogs::fileDialog("Save QR code", m_dir.path(), { name }) }), "");
    QImageReader reader(m_dir.filePath(name));
    reader.setDecideFormatFromContent(true);
    QCOMPARE(reader.format() + ' ' + QByteArray::number(reader.size().width()),
        "png " + QByteArray::number(side));
    QProcess zbar;
    zbar.start("zbarimg", { "--raw", "-q", m_dir.filePath(name) });
    QVERIFY2(zbar.waitForFinished(60000), "zbarimg is needed (scripts/setup.sh installs it)");
    // The text, then the line feed zbarimg prints after it.
    QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput()), text + '\n');
}

void tst_QrGenerator::refusesOrReportsFailedSaves()
{
    for (const QString &text : { QString(), QString(2000, u'a') }) {
        input()->setText(text);
        combo(1)->setCurrentIndex(3);
        QCOMPARE(preview()->text(),
            text.isEmpty() ? "Type something to\ngenerate a code" : "Could not encode\nthis text");
        QVERIFY(preview()->pixmap().isNull());
        QCOMPARE(save({ dialogs::messageBox("Nothing to save yet — type some text first.") }), "");
    }
}

QTEST_MAIN(tst_QrGenerator)
#include "tst_qrgenerator.moc"
