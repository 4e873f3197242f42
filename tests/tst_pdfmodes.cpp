#include "tools/pdf/pdftoolspage.h"

#include "pdftesting.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QToolButton>
#include <QtTest>

using namespace pdftest;

namespace {

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
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

} // namespace

Q_DECLARE_METATYPE(QImage::Format)

class tst_PdfModes : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void cropsByDragging_data();
    void cropsByDragging();
    void highlightsGreyscalePageInColour();
    void modeButtonsExcludeOneAnother();
    void stampsInChosenColour_data();
    void stampsInChosenColour();
    void signsByDragging_data();
    void signsByDragging();
    void commentsSurviveUndo();
    void ignoresSelectionPastTheEnd();

private:
    void showPages(const QList<QImage> &pages, int currentIndex);
    QToolButton *toolButton(const QString &text) const { return button(m_page.get(), text); }
    void chooseStamp(const QString &type, const QString &colour);

    std::unique_ptr<PdfToolsPage> m_page;
};

void tst_PdfModes::init()
{
    m_page = std::make_unique<PdfToolsPage>();
}

void tst_PdfModes::cleanup()
{
    m_page.reset();
}

void tst_PdfModes::showPages(const QList<QImage> &pages, int currentIndex)
{
    m_page->m_pages = pages;
    m_page->m_currentIndex = currentIndex;
    m_page->refreshThumbnails();
    m_page->showCurrentPage();
}

void tst_PdfModes::chooseStamp(const QString &type, const QString &colour)
{
    toolButton(QStringLiteral("Fill && Sign"))->click();
    QVERIFY(m_page->m_fillSignMode);
    m_page->m_stampTypeCombo->setCurrentText(type);
    QCOMPARE(m_page->m_stampTypeCombo->currentText(), type);
    for (QComboBox *combo : m_page->m_stampBar->findChildren<QComboBox *>()) {
        if (combo != m_page->m_stampTypeCombo) {
            combo->setCurrentText(colour);
            QCOMPARE(combo->currentText(), colour);
        }
    }
}

void tst_PdfModes::cropsByDragging_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QSize>("cropped"); // empty: the page stays as it was

    // A 1700 x 2200 page is shown at 560 x 724, about a third of its size.
    QTest::addRow("one view pixel, under the minimum")
        << QPoint(10, 10) << QPoint(11, 11) << QSize();
    QTest::addRow("down-right") << QPoint(10, 10) << QPoint(110, 210) << QSize(305, 609);
    QTest::addRow("leaving the view is clipped")
        << QPoint(500, 700) << QPoint(600, 800) << QSize(182, 73);
}

void tst_PdfModes::cropsByDragging()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QSize, cropped);

    showPages({ whitePage(QSize(1700, 2200), QImage::Format_RGB32) }, 0);
    QToolButton *crop = toolButton(QStringLiteral("Crop"));
    QVERIFY(crop);
    crop->click();
    QVERIFY(m_page->m_cropMode);
    m_page->setStatus(QStringLiteral("before"));

    sendMouse(m_page->m_pageLabel, QEvent::MouseButtonPress, from);
    sendMouse(m_page->m_pageLabel, QEvent::MouseMove, to);
    if (m_page->m_pageLabel->rect().contains(from)) {
        // The preview is drawn on the view's picture, not on the page.
        QVERIFY(m_page->m_pageLabel->pixmap().toImage() != m_page->m_shownPagePixmap.toImage());
    }
    sendMouse(m_page->m_pageLabel, QEvent::MouseButtonRelease, to);

    const bool changes = !cropped.isEmpty();
    QCOMPARE(m_page->m_pages.first().size(), changes ? cropped : QSize(1700, 2200));
    QCOMPARE(m_page->m_undoStack.size(), changes ? 1 : 0);
    QCOMPARE(m_page->m_statusLabel->text(),
        changes ? QStringLiteral("Cropped page 1 (Undo to revert)") : QStringLiteral("before"));
    // Either way the view shows the page again, without the preview.
    QCOMPARE(m_page->m_pageLabel->pixmap().toImage(), m_page->m_shownPagePixmap.toImage());
    QVERIFY(!m_page->m_dragging);
}

void tst_PdfModes::highlightsGreyscalePageInColour()
{
    // As the black-and-white command leaves it, shown at its own size.
    const QImage original = whitePage(QSize(560, 780), QImage::Format_Grayscale8);
    showPages({ original }, 0);
    toolButton(QStringLiteral("Highlight"))->click();
    QVERIFY(m_page->m_highlightMode);

    drag(m_page->m_pageLabel, { QPoint(100, 100), QPoint(150, 120), QPoint(200, 150) });
    const QColor marked = m_page->m_pages.first().pixelColor(150, 125);
    QVERIFY2(marked.red() > 240 && marked.green() > 230 && marked.blue() < 200,
        qPrintable(marked.name()));
    QCOMPARE(m_page->m_pages.first().pixelColor(300, 300), QColor(Qt::white));
    QCOMPARE(m_page->m_statusLabel->text(), QStringLiteral("Highlighted page 1 (Undo to revert)"));

    QVERIFY(QMetaObject::invokeMethod(m_page.get(), "undo"));
    QCOMPARE(m_page->m_pages.first(), original);
}

void tst_PdfModes::modeButtonsExcludeOneAnother()
{
    PdfToolsPage &page = *m_page;
    QToolButton *crop = toolButton(QStringLiteral("Crop"));
    QToolButton *fillSign = toolButton(QStringLiteral("Fill && Sign"));
    QToolButton *highlight = toolButton(QStringLiteral("Highlight"));
    QVERIFY(crop && fillSign && highlight);
    page.m_ocrPanel->show();

    fillSign->click();
    QVERIFY(page.m_fillSignMode);
    QVERIFY(!page.m_stampBar->isHidden());
    QVERIFY(page.m_ocrPanel->isHidden());

    // Crop leaves fill and sign set, with its bar hidden.
    crop->click();
    QVERIFY(page.m_cropMode && page.m_fillSignMode);
    QVERIFY(page.m_stampBar->isHidden());

    highlight->click();
    QVERIFY(page.m_highlightMode);
    QVERIFY(!page.m_cropMode && !page.m_fillSignMode);
    // The buttons keep the state the user's clicks gave them.
    QVERIFY(crop->isChecked() && fillSign->isChecked());

    crop->click();
    QVERIFY(!page.m_cropMode && page.m_highlightMode);
    QCOMPARE(page.m_statusLabel->text(), QStringLiteral("Crop mode off."));

    fillSign->click();
    QVERIFY(!page.m_fillSignMode);

    fillSign->click();
    QVERIFY(page.m_fillSignMode && !page.m_highlightMode);
    highlight->click();
    QVERIFY(!page.m_highlightMode && page.m_fillSignMode);
    QCOMPARE(page.m_statusLabel->text(), QStringLiteral("Highlight mode off."));
}

void tst_PdfModes::stampsInChosenColour_data()
{
    QTest::addColumn<QString>("stampType");
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QString>("colourName");
    QTest::addColumn<QColor>("colour");

    for (const char *type : { "Text", "X", "Checkmark", "Circle", "Line", "Dot" }) {
        QTest::addRow("%s on rgb", type)
            << type << QImage::Format_RGB32 << "Blue" << QColor(Qt::blue);
        QTest::addRow("%s on indexed", type)
            << type << QImage::Format_Indexed8 << "Red" << QColor(Qt::red);
    }
    QTest::addRow("X on greyscale") << "X" << QImage::Format_Grayscale8 << "Red" << QColor(Qt::red);
}

void tst_PdfModes::stampsInChosenColour()
{
    QFETCH(QString, stampType);
    QFETCH(QImage::Format, format);
    QFETCH(QString, colourName);
    QFETCH(QColor, colour);

    const QImage original = whitePage(QSize(560, 780), format);
    showPages({ original }, 0);
    chooseStamp(stampType, colourName);

    const QPoint at(200, 300);
    QList<Step> steps;
    if (stampType == QStringLiteral("Text")) {
        steps << textDialog(QStringLiteral("Add text"), QStringLiteral("WIDE"));
    }
    QCOMPARE(runWithDialogs([&] { drag(m_page->m_pageLabel, { at }); }, steps), QString());

    const QImage &page = m_page->m_pages.first();
    // Text runs right from its baseline's left end; the other stamps sit around the point.
    const QRect near = stampType == QStringLiteral("Text")
        ? QRect(at + QPoint(0, -40), QSize(150, 45))
        : QRect(at - QPoint(30, 30), QSize(61, 61));
    QVERIFY(countPixels(page, colour, near) > 0);
    QCOMPARE(countPixels(page, colour, page.rect()), countPixels(page, colour, near));
    QCOMPARE(m_page->m_statusLabel->text(),
        QStringLiteral("Stamped '%1' on page 1 (Undo to revert)").arg(stampType));
    QCOMPARE(m_page->m_undoStack.size(), 1);
}

void tst_PdfModes::signsByDragging_data()
{
    QTest::addColumn<QList<QPoint>>("stroke");

    QTest::addRow("one point changes nothing") << QList<QPoint> { QPoint(100, 100) };
    QTest::addRow("a stroke") << QList<QPoint> { QPoint(100, 100), QPoint(150, 120),
        QPoint(200, 100) };
}

void tst_PdfModes::signsByDragging()
{
    QFETCH(QList<QPoint>, stroke);

    // On a greyscale page the stroke shows in colour.
    const QImage original = whitePage(QSize(560, 780), QImage::Format_Grayscale8);
    showPages({ original }, 0);
    chooseStamp(QStringLiteral("Signature"), QStringLiteral("Blue"));
    m_page->setStatus(QStringLiteral("before"));

    drag(m_page->m_pageLabel, stroke);
    QVERIFY(!m_page->m_signing);
    if (stroke.size() == 1) {
        QCOMPARE(m_page->m_pages.first(), original);
        QVERIFY(m_page->m_undoStack.isEmpty());
        QCOMPARE(m_page->m_statusLabel->text(), QStringLiteral("before"));
        return;
    }
    QVERIFY(countPixels(m_page->m_pages.first(), Qt::blue, QRect(90, 90, 120, 40)) > 50);
    QCOMPARE(m_page->m_statusLabel->text(),
        QStringLiteral("Added signature to page 1 (Undo to revert)"));
    QVERIFY(QMetaObject::invokeMethod(m_page.get(), "undo"));
    QCOMPARE(m_page->m_pages.first(), original);
}

void tst_PdfModes::commentsSurviveUndo()
{
    // On a greyscale page the marker shows in colour.
    const QImage original = whitePage(QSize(560, 780), QImage::Format_Grayscale8);
    showPages({ original, original }, 1);
    chooseStamp(QStringLiteral("Comment"), QStringLiteral("Black"));

    const QString text = QStringLiteral("fix %1 and %2");
    const auto click = [this](const QPoint &at) {
        sendMouse(m_page->m_pageLabel, QEvent::MouseButtonPress, at);
    };
    QCOMPARE(runWithDialogs([&] { click(QPoint(200, 300)); },
                 { textDialog(QStringLiteral("Add comment"), text) }),
        QString());
    QCOMPARE(m_page->m_comments.size(), 1);
    QCOMPARE(m_page->m_comments.first().page, 1);
    QCOMPARE(m_page->m_comments.first().pos, QPoint(200, 300));
    QCOMPARE(m_page->m_commentsList->item(0)->text(), QStringLiteral("Page 2: fix %1 and %2"));
    // The marker's bubble sits just above and right of the click.
    QCOMPARE(m_page->m_pages.at(1).pixelColor(204, 294), QColor(255, 224, 130));
    QCOMPARE(m_page->m_statusLabel->text(), QStringLiteral("Added a comment to page 2"));

    QVERIFY(QMetaObject::invokeMethod(m_page.get(), "undo"));
    QCOMPARE(m_page->m_pages.at(1), original);
    QCOMPARE(m_page->m_comments.size(), 1);
    QCOMPARE(m_page->m_commentsList->count(), 1);

    // A cancelled comment records nothing.
    QCOMPARE(runWithDialogs([&] { click(QPoint(50, 50)); },
                 { textDialog(QStringLiteral("Add comment"), QString()) }),
        QString());
    QCOMPARE(m_page->m_comments.size(), 1);
    QVERIFY(m_page->m_undoStack.isEmpty());
}

void tst_PdfModes::ignoresSelectionPastTheEnd()
{
    const QImage original = whitePage(QSize(560, 780), QImage::Format_RGB32);
    showPages({ original }, 0);
    toolButton(QStringLiteral("Highlight"))->click();
    m_page->m_currentIndex = 1;

    QCOMPARE(m_page->viewToImage(QPoint(100, 100)), QPoint(0, 0));
    drag(m_page->m_pageLabel, { QPoint(100, 100), QPoint(200, 200) });
    QVERIFY(QMetaObject::invokeMethod(m_page.get(), "applyCrop"));
    QCOMPARE(m_page->m_pages, QList<QImage>({ original }));
    QVERIFY(m_page->m_undoStack.isEmpty());
}

QTEST_MAIN(tst_PdfModes)
#include "tst_pdfmodes.moc"
