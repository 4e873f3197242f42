#include "tools/pdf/ocrengine.h"
#include "tools/pdf/pdftoolspage.h"

#include "pdftesting.h"

#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

using namespace pdftest;

namespace {

const QString kPrinted = QStringLiteral("Pack my box with five dozen liquor jugs");
const QString kBefore = QStringLiteral("before");

// A line of black text at a legible size, on white or on transparent paper.
QImage printedPage(const QColor &paper = Qt::white)
{
    QImage page(1300, 200, QImage::Format_ARGB32);
    page.fill(paper);
    QPainter painter(&page);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    painter.setFont(font);
    painter.drawText(QPoint(40, 110), kPrinted);
    return page;
}

} // namespace

class tst_PdfOcr : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recognisesPrintedPage_data();
    void recognisesPrintedPage();
    void engineFailureShowsMessage();
    void pagePastTheEndOnlyWarns();
    void pageGoneMeanwhileEndsQuietly_data();
    void pageGoneMeanwhileEndsQuietly();
    void copiesEditedText();

private:
    void showPages(const QList<QImage> &pages, int currentIndex);

    std::unique_ptr<PdfToolsPage> m_page;
};

void tst_PdfOcr::init()
{
    m_page = std::make_unique<PdfToolsPage>();
    m_page->setStatus(kBefore);
}

void tst_PdfOcr::cleanup()
{
    m_page.reset();
}

void tst_PdfOcr::showPages(const QList<QImage> &pages, int currentIndex)
{
    m_page->m_pages = pages;
    m_page->m_currentIndex = currentIndex;
    m_page->refreshThumbnails();
    m_page->showCurrentPage();
}

void tst_PdfOcr::recognisesPrintedPage_data()
{
    QTest::addColumn<QColor>("paper");
    QTest::addRow("white paper") << QColor(Qt::white);
    // Read as it looks: the transparent paper must not turn black.
    QTest::addRow("transparent paper") << QColor(Qt::transparent);
}

void tst_PdfOcr::recognisesPrintedPage()
{
    QFETCH(QColor, paper);
    const QImage page = printedPage(paper);
    showPages({ whitePage(QSize(400, 400)), page }, 1);

    QVERIFY(QMetaObject::invokeMethod(m_page.get(), "runOcr"));
    QVERIFY(!m_page->m_ocrPanel->isHidden());
    QCOMPARE(m_page->m_ocrText->toPlainText().simplified(), kPrinted);
    QCOMPARE(m_page->m_statusLabel->text(),
        QStringLiteral("Recognized text from page 2 — edit or copy it from the panel below."));
    QCOMPARE(m_page->m_pages.at(1), page); // only read
}

void tst_PdfOcr::engineFailureShowsMessage()
{
    if (!OcrEngine::defaultDataPath().isEmpty()) {
        QSKIP("English data lies beside the test program");
    }
    QTemporaryDir dir;
    QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
    // With no data beside the program the engine looks where this points: at nothing.
    const QByteArray previous = qgetenv("TESSDATA_PREFIX");
    const bool hadPrevious = qEnvironmentVariableIsSet("TESSDATA_PREFIX");
    qputenv("TESSDATA_PREFIX", dir.filePath(QStringLiteral("missing/")).toUtf8());
    const auto restore = qScopeGuard([&] {
        if (hadPrevious) {
            qputenv("TESSDATA_PREFIX", previous);
        } else {
            qunsetenv("TESSDATA_PREFIX");
        }
    });

    showPages({ printedPage() }, 0);
    QVERIFY(QMetaObject::invokeMethod(m_page.get(), "runOcr"));
    QVERIFY(!m_page->m_ocrPanel->isHidden());
    QCOMPARE(m_page->m_ocrText->toPlainText(), OcrEngine::engineNotStartedMessage());
    QCOMPARE(m_page->m_statusLabel->text(), kBefore);
}

void tst_PdfOcr::pagePastTheEndOnlyWarns()
{
    showPages({ printedPage() }, 0);
    m_page->m_currentIndex = 1;
    QCOMPARE(runWithDialogs(
                 m_page.get(), "runOcr", { messageBox(QStringLiteral("Select a page first.")) }),
        QString());
    QVERIFY(m_page->m_ocrPanel->isHidden());
    QCOMPARE(m_page->m_statusLabel->text(), kBefore);
}

void tst_PdfOcr::pageGoneMeanwhileEndsQuietly_data()
{
    QTest::addColumn<bool>("removed");
    QTest::addRow("page removed") << true;
    QTest::addRow("page turned null") << false;
}

void tst_PdfOcr::pageGoneMeanwhileEndsQuietly()
{
    QFETCH(bool, removed);
    showPages({ printedPage() }, 0);
    // As a click on "Remove page" queued before recognition lets events run.
    QMetaObject::invokeMethod(
        m_page.get(),
        [this, removed] {
            if (removed) {
                m_page->m_pages.clear();
            } else {
                m_page->m_pages[0] = QImage();
            }
        },
        Qt::QueuedConnection);

    QCOMPARE(runWithDialogs(m_page.get(), "runOcr"), QString());
    QVERIFY(!m_page->m_ocrPanel->isHidden());
    QCOMPARE(m_page->m_ocrText->toPlainText(), QString());
    QCOMPARE(m_page->m_statusLabel->text(), kBefore);
}

void tst_PdfOcr::copiesEditedText()
{
    m_page->m_ocrText->setPlainText(QStringLiteral("edited by hand"));
    auto *copy = m_page->m_ocrPanel->findChild<QPushButton *>();
    QVERIFY(copy);
    copy->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("edited by hand"));
    QCOMPARE(m_page->m_statusLabel->text(), QStringLiteral("Copied recognized text to clipboard."));
}

QTEST_MAIN(tst_PdfOcr)
#include "tst_pdfocr.moc"
