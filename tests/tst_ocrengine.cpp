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

const QString kPrinted =
    QStringLiteral("The quick brown fox jumps over the lazy dog Invoice 2024 total 317");

// A page with two lines of black text at a legible size.
QImage printedPage(int width = 1200)
{
    QImage page(width, 260, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    painter.setFont(font);
    painter.drawText(QPoint(40, 90), kPrinted.section(QLatin1Char(' '), 0, 8));
    painter.drawText(QPoint(40, 190), kPrinted.section(QLatin1Char(' '), 9));
    painter.end();
    return page;
}

} // namespace

class tst_OcrEngine : public QObject
{
    Q_OBJECT

private slots:
    void readsAsTheCommandLineToolDoes();
    void reportsWhatItCouldNotRead();
    void looksForEnglishDataBesideTheProgram();
};

void tst_OcrEngine::readsAsTheCommandLineToolDoes()
{
    // 1201 * 3 bytes is not a multiple of 4: the rows the engine reads are padded.
    const QImage page = printedPage(1201);
    // An empty data path: the engine's own default location, where the packages put the data.
    const OcrEngine::Result result = OcrEngine(QString()).recognize(page);
    QCOMPARE(result.outcome, OcrEngine::Outcome::Recognized);
    QCOMPARE(result.text.simplified(), kPrinted);

    const QString tool = QStandardPaths::findExecutable(QStringLiteral("tesseract"));
    if (tool.isEmpty()) {
        QSKIP("the tesseract command-line tool is not installed");
    }
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const QString path = dir.filePath(QStringLiteral("page.png"));
    QVERIFY(page.save(path));

    QProcess process;
    process.start(
        tool, { path, QStringLiteral("stdout"), QStringLiteral("-l"), QStringLiteral("eng") });
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(
        result.text.simplified(), QString::fromUtf8(process.readAllStandardOutput()).simplified());
}

void tst_OcrEngine::reportsWhatItCouldNotRead()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    const OcrEngine::Result noData = OcrEngine(dir.path()).recognize(printedPage());
    QCOMPARE(noData.outcome, OcrEngine::Outcome::EngineNotStarted);
    QVERIFY(noData.text.isEmpty());
    QCOMPARE(OcrEngine::engineNotStartedMessage(),
        QStringLiteral("Could not start the OCR engine — English language data wasn't found.\n\n"
                       "On Windows: download 'eng.traineddata' (from Tesseract's tessdata "
                       "repository) and place it in a 'tessdata' folder next to mirvale.exe.\n"
                       "On Linux: sudo apt install tesseract-ocr-eng."));

    // A bad data path too: a started engine would report EngineNotStarted instead.
    QCOMPARE(OcrEngine(dir.path()).recognize(QImage()).outcome, OcrEngine::Outcome::NoPage);

    QImage dot(1, 1, QImage::Format_RGB32);
    dot.fill(Qt::white);
    const OcrEngine::Result tiny = OcrEngine(QString()).recognize(dot);
    QCOMPARE(tiny.outcome, OcrEngine::Outcome::Recognized);
    QCOMPARE(tiny.text.simplified(), QString());
}

void tst_OcrEngine::looksForEnglishDataBesideTheProgram()
{
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("tessdata")));
    QCOMPARE(OcrEngine::dataPathBeside(dir.path()), QString()); // no English data in it

    const QString tessdata = dir.filePath(QStringLiteral("tessdata"));
    QFile data(tessdata + QStringLiteral("/eng.traineddata"));
    QVERIFY(data.open(QIODevice::WriteOnly));
    data.close();
    QCOMPARE(OcrEngine::dataPathBeside(dir.path()), tessdata);

    // The test program has no data folder beside it.
    QCOMPARE(OcrEngine().dataPath(), QString());
}

QTEST_MAIN(tst_OcrEngine)
#include "tst_ocrengine.moc"
