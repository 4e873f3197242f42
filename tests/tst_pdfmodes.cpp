#include "tools/pdf/ocrengine.h"
#include "tools/pdf/pdftoolspage.h"

#include "pdftesting.h"

#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

using namespace pdftest;

// The mouse modes on the page view, and text recognition.

namespace {
const QString kBefore = QStringLiteral("before");
const QString kPrinted = QStringLiteral("Pack my box with five dozen liquor jugs");

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Press at the first point, move through the others, release at the last.
void drag(QWidget *widget, const QList<QPoint> &points)
{
    sendMouse(widget, QEvent::MouseButtonPress, points.first());
    for (qsizetype i = 1; i < points.size(); ++i) {
        sendMouse(widget, QEvent::MouseMove, points.at(i));
    }
    sendMouse(widget, QEvent::MouseButtonRelease, points.last());
}

// A line of black text at a legible size. 1301 * 3 bytes is not a multiple of 4: the rows the
// recognition engine reads are padded.
QImage printedPage(const QColor &paper = Qt::white)
{
    QImage page(1301, 200, QImage::Format_ARGB32);
    page.fill(paper);
    QPainter painter(&page);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(40);
    painter.setFont(font);
    painter.drawText(QPoint(40, 110), kPrinted);
    return page;
}

// A white page in the format, shown at its own size.
QImage shownAsIs(QImage::Format format)
{
    return plainPage(QSize(560, 780), Qt::white, format);
}
} // namespace

Q_DECLARE_METATYPE(QImage::Format)

class tst_PdfModes : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_page = std::make_unique<PdfToolsPage>();
        m_page->setStatus(kBefore);
    }
    void dragsInModes_data();
    void dragsInModes();
    void modeButtonsExcludeOneAnother_data();
    void modeButtonsExcludeOneAnother();
    void marksInChosenColour_data();
    void marksInChosenColour();
    void commentsSurviveUndo();
    void ignoresSelectionPastTheEnd();
    void recognisesAndCopiesPrintedPage();
    void engineFailureShowsMessage();
    void recognitionEndsQuietlyWithoutPage_data();
    void recognitionEndsQuietlyWithoutPage();

private:
    void showPages(const QList<QImage> &pages, int currentIndex)
    {
        m_page->m_pages = pages;
        m_page->m_currentIndex = currentIndex;
        m_page->refreshThumbnails();
        m_page->showCurrentPage();
    }
    void chooseStamp(const QString &type, const QString &colour);
    QLabel *view() const { return m_page->m_pageLabel; }

    std::unique_ptr<PdfToolsPage> m_page;
};

void tst_PdfModes::chooseStamp(const QString &type, const QString &colour)
{
    QCOMPARE(click(m_page.get(), "Fill && Sign"), QString());
    // The stamp bar holds the type, then the colour.
    const QList<QComboBox *> boxes = m_page->m_stampBar->findChildren<QComboBox *>();
    boxes.first()->setCurrentText(type);
    boxes.last()->setCurrentText(colour);
    QCOMPARE(boxes.first()->currentText() + boxes.last()->currentText(), type + colour);
}

void tst_PdfModes::dragsInModes_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QPoint>("to"); // from (10, 10)
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("status");

    // A 1700 x 2200 page is shown at 560 x 724, about a third of its size.
    QTest::addRow("crop of one view pixel, under the minimum")
        << "Crop" << QPoint(11, 11) << QSize(1700, 2200) << kBefore;
    QTest::addRow("crop") << "Crop" << QPoint(110, 210) << QSize(305, 609)
                          << "Cropped page 1 (Undo to revert)";
    QTest::addRow("highlight on a greyscale page")
        << "Highlight" << QPoint(110, 210) << QSize(1700, 2200)
        << "Highlighted page 1 (Undo to revert)";
}

void tst_PdfModes::dragsInModes()
{
    QFETCH(QString, mode);
    QFETCH(QPoint, to);
    QFETCH(QSize, size);
    QFETCH(QString, status);

    const QImage original = plainPage(QSize(1700, 2200), Qt::white, QImage::Format_Grayscale8);
    showPages({ original }, 0);
    QCOMPARE(click(m_page.get(), mode), QString());
    m_page->setStatus(kBefore);
    sendMouse(view(), QEvent::MouseButtonPress, QPoint(10, 10));
    sendMouse(view(), QEvent::MouseMove, to);
    // The preview is drawn on the view's picture, not on the page.
    QVERIFY(view()->pixmap().toImage() != m_page->m_shownPagePixmap.toImage());
    QCOMPARE(m_page->m_pages.first(), original);
    sendMouse(view(), QEvent::MouseButtonRelease, to);

    QCOMPARE(m_page->m_pages.first().size(), size);
    QCOMPARE(m_page->m_statusLabel->text(), status);
    // Either way the view shows the page again, without the preview.
    QCOMPARE(view()->pixmap().toImage(), m_page->m_shownPagePixmap.toImage());
    if (mode == "Highlight") {
        const QColor marked = m_page->m_pages.first().pixelColor(182, 334);
        QVERIFY2(marked.red() > 240 && marked.green() > 230 && marked.blue() < 200,
            qPrintable(marked.name()));
    }
    QCOMPARE(m_page->m_undoStack.size(), status == kBefore ? 0 : 1);
    QCOMPARE(click(m_page.get(), "Undo"), QString());
    QCOMPARE(m_page->m_pages.first(), original);
}

void tst_PdfModes::modeButtonsExcludeOneAnother_data()
{
    QTest::addColumn<QString>("clicks"); // C: Crop, F: Fill && Sign, H: Highlight
    QTest::addColumn<bool>("stampBar");
    QTest::addColumn<QString>("modes"); // the modes on afterwards

    QTest::addRow("fill and sign") << "F" << true << "F";
    QTest::addRow("crop leaves fill and sign set, its bar hidden") << "FC" << false << "CF";
    QTest::addRow("highlight ends both") << "FCH" << false << "H";
    // The buttons keep the state the user's clicks gave them: still checked, they turn off.
    QTest::addRow("crop clicked again") << "FCHC" << false << "H";
    QTest::addRow("fill and sign ends highlight") << "HF" << true << "F";
    QTest::addRow("crop ends highlight") << "HC" << false << "C";
}

void tst_PdfModes::modeButtonsExcludeOneAnother()
{
    QFETCH(QString, clicks);
    QFETCH(bool, stampBar);
    QFETCH(QString, modes);

    const QStringList buttons { "Crop", "Fill && Sign", "Highlight" };
    m_page->m_ocrPanel->show();
    for (const QChar c : clicks) {
        QCOMPARE(click(m_page.get(), buttons.at(QStringLiteral("CFH").indexOf(c))), QString());
    }
    const QString on = QString(m_page->m_cropMode ? "C" : "") + (m_page->m_fillSignMode ? "F" : "")
        + (m_page->m_highlightMode ? "H" : "");
    QCOMPARE(on, modes);
    QCOMPARE(!m_page->m_stampBar->isHidden(), stampBar);
    QVERIFY(m_page->m_ocrPanel->isHidden());
}

void tst_PdfModes::marksInChosenColour_data()
{
    QTest::addColumn<QString>("stampType");
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QList<QPoint>>("points"); // one: a click
    QTest::addColumn<QRect>("near"); // where the mark goes; empty: nothing is drawn

    const QList<QPoint> at { { 200, 300 } };
    for (const char *type : { "Text", "X", "Checkmark", "Circle", "Line", "Dot" }) {
        // Text runs right from its baseline's left end; the other stamps sit around the point.
        const QRect near =
            qstrcmp(type, "Text") == 0 ? QRect(200, 260, 150, 45) : QRect(170, 270, 61, 61);
        QTest::addRow("%s on rgb", type) << type << QImage::Format_RGB32 << at << near;
        QTest::addRow("%s on indexed", type) << type << QImage::Format_Indexed8 << at << near;
    }
    QTest::addRow("signature on greyscale")
        << "Signature" << QImage::Format_Grayscale8
        << QList<QPoint> { { 100, 100 }, { 150, 120 }, { 200, 100 } } << QRect(90, 90, 120, 40);
    QTest::addRow("signature of one point changes nothing")
        << "Signature" << QImage::Format_Grayscale8 << QList<QPoint> { { 100, 100 } } << QRect();
}

void tst_PdfModes::marksInChosenColour()
{
    QFETCH(QString, stampType);
    QFETCH(QImage::Format, format);
    QFETCH(QList<QPoint>, points);
    QFETCH(QRect, near);

    const QImage original = shownAsIs(format);
    showPages({ original }, 0);
    chooseStamp(stampType, "Blue");
    m_page->setStatus(kBefore);
    const QList<Step> steps { textDialog("Add text", "WIDE") };
    QCOMPARE(
        runWithDialogs([&] { drag(view(), points); }, stampType == "Text" ? steps : QList<Step>()),
        QString());

    const QImage &page = m_page->m_pages.first();
    const int blue = countPixels(page, Qt::blue, page.rect());
    QCOMPARE(blue > 0, !near.isEmpty());
    QCOMPARE(countPixels(page, Qt::blue, near), blue);
    const QString status = stampType == "Signature"
        ? QStringLiteral("Added signature to page 1 (Undo to revert)")
        : QStringLiteral("Stamped '%1' on page 1 (Undo to revert)").arg(stampType);
    QCOMPARE(m_page->m_statusLabel->text(), near.isEmpty() ? kBefore : status);
    QCOMPARE(click(m_page.get(), "Undo"), QString());
    QCOMPARE(m_page->m_pages.first(), original);
}

void tst_PdfModes::commentsSurviveUndo()
{
    const QImage original = shownAsIs(QImage::Format_Grayscale8);
    showPages({ original, original, original }, 1);
    chooseStamp("Comment", "Black");
    const auto press = [this] {
        sendMouse(view(), QEvent::MouseButtonPress, QPoint(200, 300));
    };
    QCOMPARE(runWithDialogs(press, { textDialog("Add comment", "fix %1 and %2") }), QString());
    QCOMPARE(m_page->m_comments.size(), 1);
    QCOMPARE(m_page->m_commentsList->item(0)->text(), QStringLiteral("Page 2: fix %1 and %2"));
    // The marker's bubble, in colour, sits just above and right of the click.
    QCOMPARE(m_page->m_pages.at(1).pixelColor(204, 294), QColor(255, 224, 130));

    QCOMPARE(click(m_page.get(), "Undo"), QString());
    QCOMPARE(m_page->m_pages.at(1), original);
    QCOMPARE(m_page->m_commentsList->count(), 1);

    // A comment's row selects its page; one whose page has gone since selects none.
    m_page->m_currentIndex = 0;
    m_page->m_thumbList->setCurrentRow(0);
    m_page->m_commentsList->setCurrentRow(0);
    QCOMPARE(m_page->m_currentIndex, 1);
    m_page->m_comments.append(PageComment { 9, QPoint(1, 1), QStringLiteral("gone") });
    m_page->m_commentsList->addItem(QStringLiteral("gone"));
    m_page->m_commentsList->setCurrentRow(1);
    QCOMPARE(m_page->m_thumbList->currentRow(), -1);
}

void tst_PdfModes::ignoresSelectionPastTheEnd()
{
    const QImage original = shownAsIs(QImage::Format_RGB32);
    showPages({ original }, 0);
    QCOMPARE(click(m_page.get(), "Highlight"), QString());
    m_page->m_currentIndex = 1;
    drag(view(), { QPoint(100, 100), QPoint(200, 200) });
    QVERIFY(QMetaObject::invokeMethod(m_page.get(), "applyCrop"));
    QCOMPARE(m_page->m_pages, QList<QImage>({ original }));
    QVERIFY(m_page->m_undoStack.isEmpty());
}

void tst_PdfModes::recognisesAndCopiesPrintedPage()
{
    // Read as it looks: transparent paper must not turn black.
    const QImage page = printedPage(Qt::transparent);
    showPages({ plainPage(QSize(400, 400)), page }, 1);
    QCOMPARE(click(m_page.get(), "OCR"), QString());
    QVERIFY(!m_page->m_ocrPanel->isHidden());
    QCOMPARE(m_page->m_ocrText->toPlainText().simplified(), kPrinted);
    QCOMPARE(m_page->m_statusLabel->text(),
        QStringLiteral("Recognized text from page 2 — edit or copy it from the panel below."));
    QCOMPARE(m_page->m_pages.at(1), page); // only read

    m_page->m_ocrText->setPlainText(QStringLiteral("edited by hand"));
    m_page->m_ocrPanel->findChild<QPushButton *>()->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("edited by hand"));
}

void tst_PdfModes::engineFailureShowsMessage()
{
    if (!OcrEngine::defaultDataPath().isEmpty()) {
        QSKIP("English data lies beside the test program");
    }
    // With no data beside the program the engine looks where this points: at nothing.
    QTemporaryDir dir;
    const QByteArray previous = qgetenv("TESSDATA_PREFIX");
    qputenv("TESSDATA_PREFIX", dir.filePath("missing/").toUtf8());
    const auto restore = qScopeGuard([&] {
        if (previous.isEmpty()) {
            qunsetenv("TESSDATA_PREFIX");
        } else {
            qputenv("TESSDATA_PREFIX", previous);
        }
    });
    showPages({ printedPage() }, 0);
    QCOMPARE(click(m_page.get(), "OCR"), QString());
    QVERIFY(!m_page->m_ocrPanel->isHidden());
    QCOMPARE(m_page->m_ocrText->toPlainText(), OcrEngine::engineNotStartedMessage());
    QCOMPARE(m_page->m_statusLabel->text(), kBefore);
}

void tst_PdfModes::recognitionEndsQuietlyWithoutPage_data()
{
    QTest::addColumn<QString>("page");
    QTest::addRow("selection past the end") << "past the end";
    // Gone while recognition let events run, as by a click on "Remove page" queued before.
    QTest::addRow("page removed meanwhile") << "removed";
    QTest::addRow("page turned null meanwhile") << "null";
}

void tst_PdfModes::recognitionEndsQuietlyWithoutPage()
{
    QFETCH(QString, page);
    showPages({ printedPage() }, 0);
    if (page == "past the end") {
        m_page->m_currentIndex = 1;
    }
    QMetaObject::invokeMethod(
        m_page.get(),
        [this, page] {
            if (page == "removed") {
                m_page->m_pages.clear();
            } else if (page == "null") {
                m_page->m_pages[0] = QImage();
            }
        },
        Qt::QueuedConnection);
    const QList<Step> warning { messageBox("Select a page first.") };
    QCOMPARE(
        click(m_page.get(), "OCR", page == "past the end" ? warning : QList<Step>()), QString());
    QCOMPARE(m_page->m_ocrPanel->isHidden(), page == "past the end");
    QCOMPARE(m_page->m_ocrText->toPlainText(), QString());
    QCOMPARE(m_page->m_statusLabel->text(), kBefore);
}

QTEST_MAIN(tst_PdfModes)
#include "tst_pdfmodes.moc"
