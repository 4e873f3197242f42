#include "tools/pdf/ocrengine.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kPrinted = QStringLiteral("The quick brown fox jumps over the lazy dog");
const QString kSecondLine = QStringLiteral("Invoice 2024 total 317");

// A page with two lines of black text at a legible size, on white or on transparent paper.
QImage printedPage(QImage::Format format, int width)
{
    QImage page(width, 260, QImage::Format_ARGB32_Premultiplied);
    page.fill(format == QImage::Format_ARGB32_Premultiplied ? QColor(Qt::transparent)
                                                            : QColor(Qt::white));
    QPainter painter(&page);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPoint(40, 90), kPrinted);
    painter.drawText(QPoint(40, 190), kSecondLine);
    painter.end();
    return page.convertToFormat(format);
}

QString words(const QString &text)
{
    return text.simplified();
}

} // namespace

Q_DECLARE_METATYPE(QImage::Format)

class tst_OcrEngine : public QObject
{
    Q_OBJECT

private slots:
    void readsPrintedText_data();
    void readsPrintedText();
    void agreesWithTheCommandLineTool();
    void badDataPathFailsToStart_data();
    void badDataPathFailsToStart();
    void nullPageStartsNoEngine();
    void tinyPageGivesNoText();
    void dataFolderBesideTheProgramNeedsEnglishData();
};

void tst_OcrEngine::readsPrintedText_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<int>("width");
    QTest::addRow("rgb32") << QImage::Format_RGB32 << 1200;
    // 1201 * 3 bytes is not a multiple of 4: the rows are padded.
    QTest::addRow("rgb32, padded rows") << QImage::Format_RGB32 << 1201;
    QTest::addRow("text on transparent paper") << QImage::Format_ARGB32_Premultiplied << 1200;
    QTest::addRow("grayscale8") << QImage::Format_Grayscale8 << 1203;
    QTest::addRow("indexed8") << QImage::Format_Indexed8 << 1200;
}

void tst_OcrEngine::readsPrintedText()
{
    QFETCH(QImage::Format, format);
    QFETCH(int, width);
    const QImage page = printedPage(format, width);

    // An empty data path: the engine's own default location, where the packages put the data.
    const OcrEngine::Result result = OcrEngine(QString()).recognize(page);
    QCOMPARE(result.outcome, OcrEngine::Outcome::Recognized);
    QCOMPARE(words(result.text), kPrinted + QLatin1Char(' ') + kSecondLine);
    QCOMPARE(page, printedPage(format, width)); // only read
}

void tst_OcrEngine::agreesWithTheCommandLineTool()
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("tesseract"));
    if (tool.isEmpty()) {
        QSKIP("the tesseract command-line tool is not installed");
    }
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QImage page = printedPage(QImage::Format_RGB32, 1200);
    const QString path = dir.filePath(QStringLiteral("page.png"));
    QVERIFY(page.save(path));

    QProcess process;
    process.start(
        tool, { path, QStringLiteral("stdout"), QStringLiteral("-l"), QStringLiteral("eng") });
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QString fromTool = QString::fromUtf8(process.readAllStandardOutput());

    const OcrEngine::Result result = OcrEngine(QString()).recognize(page);
    QCOMPARE(result.outcome, OcrEngine::Outcome::Recognized);
    QCOMPARE(words(result.text), words(fromTool));
}

void tst_OcrEngine::badDataPathFailsToStart_data()
{
    QTest::addColumn<bool>("folderExists");
    QTest::addRow("folder without English data") << true;
    QTest::addRow("missing folder") << false;
}

void tst_OcrEngine::badDataPathFailsToStart()
{
    QFETCH(bool, folderExists);
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString dataPath = folderExists ? dir.path() : dir.filePath(QStringLiteral("missing"));

    const OcrEngine engine(dataPath);
    QCOMPARE(engine.dataPath(), dataPath);
    const OcrEngine::Result result = engine.recognize(printedPage(QImage::Format_RGB32, 1200));
    QCOMPARE(result.outcome, OcrEngine::Outcome::EngineNotStarted);
    QVERIFY(result.text.isEmpty());
    QVERIFY(OcrEngine::engineNotStartedMessage().startsWith(
        QStringLiteral("Could not start the OCR engine")));
}

void tst_OcrEngine::nullPageStartsNoEngine()
{
    // A bad data path too: a started engine would report EngineNotStarted instead.
    const OcrEngine::Result result = OcrEngine(QStringLiteral("/nonexistent")).recognize(QImage());
    QCOMPARE(result.outcome, OcrEngine::Outcome::NoPage);
    QVERIFY(result.text.isEmpty());
}

void tst_OcrEngine::tinyPageGivesNoText()
{
    QImage dot(1, 1, QImage::Format_RGB32);
    dot.fill(Qt::white);
    const OcrEngine::Result result = OcrEngine(QString()).recognize(dot);
    QCOMPARE(result.outcome, OcrEngine::Outcome::Recognized);
    QCOMPARE(words(result.text), QString());
}

void tst_OcrEngine::dataFolderBesideTheProgramNeedsEnglishData()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString tessdata = dir.filePath(QStringLiteral("tessdata"));

    QCOMPARE(OcrEngine::dataPathBeside(dir.path()), QString()); // nothing there

    QFile file(tessdata); // a file, not a folder
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(OcrEngine::dataPathBeside(dir.path()), QString());
    QVERIFY(file.remove());

    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("tessdata")));
    QCOMPARE(OcrEngine::dataPathBeside(dir.path()), QString()); // no English data in it

    QFile data(tessdata + QStringLiteral("/eng.traineddata"));
    QVERIFY(data.open(QIODevice::WriteOnly));
    data.close();
    QCOMPARE(OcrEngine::dataPathBeside(dir.path()), tessdata);

    // The test program has no data folder beside it.
    QCOMPARE(OcrEngine::defaultDataPath(), QString());
    QCOMPARE(OcrEngine().dataPath(), QString());
}

QTEST_MAIN(tst_OcrEngine)
#include "tst_ocrengine.moc"
