#include "tools/pdf/ocrengine.h"

#include "pdftesting.h"

#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

using namespace dialogs;
using namespace pdftest;

// The mouse modes on the page view, comments, and text recognition.

namespace {
constexpr int kLines = 8;

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

int bluePixels(const QImage &page, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            count += page.pixel(x, y) == QColor(Qt::blue).rgb() ? 1 : 0;
        }
    }
    return count;
}

// Shown at its own size, so view and page pixels agree.
QImage whitePage()
{
    return plainPage(QSize(560, 780), Qt::white);
}

// Two columns of words on transparent paper: "north 10" to "north 17" on the left, "south 20" to
// "south 27" on the right. 1301 * 3 bytes is not a multiple of 4: the rows the recognition
// engine reads are padded.
QImage twoColumnPage(QString *text = nullptr)
{
    QImage page(1301, 200 + 70 * kLines, QImage::Format_ARGB32);
    page.fill(Qt::transparent);
    QPainter painter(&page);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(36);
    painter.setFont(font);
    QStringList left, right;
    for (int line = 0; line < kLines; ++line) {
        left << QStringLiteral("north %1").arg(10 + line);
        right << QStringLiteral("south %1").arg(20 + line);
        painter.drawText(60, 120 + 70 * line, left.last());
        painter.drawText(760, 120 + 70 * line, right.last());
    }
    if (text) {
        *text = (left + right).join(' ');
    }
    return page;
}

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
} // namespace

class tst_PdfModes : public QObject
{
    Q_OBJECT

private slots:
    void marksByMouse_data();
    void marksByMouse();
    void commentsOutliveTheirPages();
    void recognisesColumnsInReadingOrderOnOneThread();
    void engineFailureShowsMessage();
    void recognitionEndsQuietlyWhenClosedMeanwhile();
};

void tst_PdfModes::marksByMouse_data()
{
    QTest::addColumn<QString>("clicks"); // C: Crop, F: Fill && Sign, H: Highlight
    QTest::addColumn<QString>("stamp");
    QTest::addColumn<QList<QPoint>>("points"); // on a page shown at half its size
    QTest::addColumn<QRect>("near"); // page pixels where blue marks go
    QTest::addColumn<QString>("effect");
    QTest::addColumn<QString>("status"); // empty: it stays

    const auto row = [](const char *tag, const char *clicks, const char *stamp,
                         const QList<QPoint> &points, const QRect &near, const char *effect,
                         const QString &status) {
        QTest::addRow("%s", tag) << clicks << stamp << points << near << effect << status;
    };
    const QList<QPoint> drag { { 10, 10 }, { 60, 110 }, { 110, 210 } };
    const QString cropped = "Cropped page 1 (Undo to revert)";
    const QString highlighted = "Highlighted page 1 (Undo to revert)";
    row("crop", "C", "Dot", drag, {}, "previewed, 201x401", cropped);
    row("crop under the minimum", "C", "Dot", { { 10, 10 }, { 11, 11 } }, {}, "previewed, nothing",
        "");
    row("highlight", "H", "Dot", drag, {}, "previewed, yellow", highlighted);
    row("fill and sign clicked twice", "FF", "Dot", drag, {}, "nothing", "");
    row("crop hides the stamp bar", "FC", "Dot", drag, {}, "previewed, 201x401", cropped);
    row("highlight ends both", "FCH", "Dot", drag, {}, "previewed, yellow", highlighted);
    // The buttons keep the state the user's clicks gave them: still checked, they turn off.
    row("crop clicked again", "FCHC", "Dot", drag, {}, "previewed, yellow", highlighted);
    row("fill and sign ends highlight", "HF", "Dot", { { 10, 10 } }, { 5, 5, 30, 30 }, "bar, blue",
        "Stamped 'Dot' on page 1 (Undo to revert)");
    row("crop ends highlight", "HC", "Dot", drag, {}, "previewed, 201x401", cropped);
    // Text runs right from its baseline's left end; the other stamps sit around the point.
    row("Text", "F", "Text", { { 100, 150 } }, { 200, 260, 150, 45 }, "bar, blue",
        "Stamped 'Text' on page 1 (Undo to revert)");
    for (const char *type : { "X", "Checkmark", "Circle", "Line" }) {
        row(type, "F", type, { { 100, 150 } }, { 170, 270, 61, 61 }, "bar, blue",
            QStringLiteral("Stamped '%1' on page 1 (Undo to revert)").arg(type));
    }
    row("Signature", "F", "Signature", { { 50, 50 }, { 75, 60 }, { 100, 50 } }, { 90, 90, 120, 40 },
        "bar, previewed, blue", "Added signature to page 1 (Undo to revert)");
    row("Signature of one point", "F", "Signature", { { 50, 50 } }, {}, "bar, nothing", "");
}

void tst_PdfModes::marksByMouse()
{
    QFETCH(QString, clicks);
    QFETCH(QString, stamp);
    QFETCH(QList<QPoint>, points);
    QFETCH(QRect, near);
    QFETCH(QString, effect);
    QFETCH(QString, status);

    PdfPage page;
    QCOMPARE(page.add({ plainPage({ 1120, 1560 }, Qt::white) }), QString());
    const QList<QImage> original = page.pages();
    // The stamp bar holds the type, then the colour.
    const QList<QComboBox *> boxes = page.widget.findChildren<QComboBox *>();
    boxes.first()->setCurrentText(stamp);
    boxes.last()->setCurrentText("Blue");
    for (const QChar c : clicks) {
        QCOMPARE(page.click(QStringList { "Crop", "Fill && Sign", "Highlight" }.at(
                     QStringLiteral("CFH").indexOf(c))),
            QString());
    }
    const QString before = page.status();
    const QImage shown = page.view()->pixmap().toImage();
    QStringList seen;
    if (boxes.first()->isVisibleTo(&page.widget)) {
        seen << "bar";
    }
    const auto mouse = [&] {
        sendMouse(page.view(), QEvent::MouseButtonPress, points.first());
        for (const QPoint &point : points.mid(1)) {
            sendMouse(page.view(), QEvent::MouseMove, point);
        }
        if (points.size() > 1 && page.view()->pixmap().toImage() != shown) {
            seen << "previewed";
        }
        sendMouse(page.view(), QEvent::MouseButtonRelease, points.last());
    };
    QCOMPARE(runWithDialogs(
                 mouse, stamp == "Text" ? QList { textDialog("Add text", "WIDE") } : QList<Step>()),
        QString());
    QCOMPARE(page.status(), status.isEmpty() ? before : status);
    const QImage after = page.pages().value(0);
    const int blue = bluePixels(after, after.rect());
    const QColor middle = after.pixelColor(points.first() + points.last()); // in page pixels
    seen << (after.size() != original.first().size()                            ? sizesOf({ after })
            : middle.red() > 240 && middle.green() > 230 && middle.blue() < 200 ? "yellow"
            : blue == 0                                                         ? "nothing"
            : bluePixels(after, near) == blue                                   ? "blue"
                                                                                : "blue astray");
    QCOMPARE(seen.join(", "), effect);
    if (status.isEmpty()) {
        QCOMPARE(page.view()->pixmap().toImage(), shown);
    } else {
        page.button("Undo")->click();
        QCOMPARE(page.pages(), original);
    }
}

void tst_PdfModes::commentsOutliveTheirPages()
{
    PdfPage page;
    QCOMPARE(page.add({ whitePage(), whitePage(), whitePage() }, 2), QString());
    page.widget.findChild<QComboBox *>()->setCurrentText("Comment");
    QCOMPARE(page.click("Fill && Sign"), QString());
    const auto press = [&page] {
        sendMouse(page.view(), QEvent::MouseButtonPress, { 200, 300 });
    };
    QCOMPARE(runWithDialogs(press, { textDialog("Add comment", "fix %1 and %2") }), QString());
    QCOMPARE(page.status(), "Added a comment to page 3");
    QListWidget *comments = nullptr;
    for (QListWidget *list : page.widget.findChildren<QListWidget *>()) {
        comments = qobject_cast<ThumbnailList *>(list) ? comments : list;
    }
    QCOMPARE(comments->item(0)->text(), "Page 3: fix %1 and %2");
    // The marker's bubble, in its own colours, sits just above and right of the click.
    QCOMPARE(page.pages().at(2).pixelColor(204, 294), QColor(255, 224, 130));

    // Undo takes the marker, not the comment; its row selects its page.
    const QList<QImage> white(3, whitePage().convertToFormat(QImage::Format_ARGB32));
    page.button("Undo")->click();
    QCOMPARE(page.pages(), white);
    page.thumbnails()->setCurrentRow(0);
    comments->setCurrentRow(0);
    QCOMPARE(page.selected(), 2);

    // Once its page has gone the row selects none, and nothing acts on a page.
    QCOMPARE(page.click("Remove page"), QString());
    comments->setCurrentRow(-1);
    comments->setCurrentRow(0);
    QCOMPARE(page.selected(), -1);
    QCOMPARE(page.view()->text(), "No page selected");
    QCOMPARE(page.click("Crop"), QString());
    const QString before = page.status();
    for (const char *button :
        { "Rotate left", "Rotate right", "Black && white", "Remove page", "Export page" }) {
        QCOMPARE(page.click(button), QString());
    }
    QCOMPARE(page.click("OCR", { messageBox("Select a page first.") }), QString());
    sendMouse(page.view(), QEvent::MouseButtonPress, { 10, 10 });
    sendMouse(page.view(), QEvent::MouseButtonRelease, { 200, 200 });
    QCOMPARE(page.status(), before);
    QCOMPARE(page.pages(), white.mid(1));
    QCOMPARE(page.undoAll(), 2);
}

void tst_PdfModes::recognisesColumnsInReadingOrderOnOneThread()
{
    PdfPage page;
    QString text;
    QCOMPARE(page.add({ whitePage(), twoColumnPage(&text) }, 1), QString());
    const QList<QImage> before = page.pages();
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    QCOMPARE(page.click("OCR"), QString());
    const double cpu = cpuSeconds() - cpuBefore;
    const double seconds = double(wall.elapsed()) / 1000.0;
    // Worker threads would spend more CPU time than passes.
    QVERIFY2(cpu < seconds * 1.2 + 0.1,
        qPrintable(QStringLiteral("%1 s CPU in %2 s").arg(cpu).arg(seconds)));

    auto *panel = page.widget.findChild<QTextEdit *>();
    QVERIFY(panel->isVisibleTo(&page.widget));
    QCOMPARE(panel->toPlainText().simplified(), text);
    QCOMPARE(page.status(), "Recognized text from page 2 — edit or copy it from the panel below.");
    QCOMPARE(page.pages(), before); // only read

    panel->setPlainText("edited by hand");
    panel->parentWidget()->findChild<QPushButton *>()->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), "edited by hand");
    QCOMPARE(page.click("Crop"), QString());
    QVERIFY(!panel->isVisibleTo(&page.widget));
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
        (void)(previous.isNull() ? qunsetenv("TESSDATA_PREFIX")
                                 : qputenv("TESSDATA_PREFIX", previous));
    });
    PdfPage page;
    QCOMPARE(page.add({ twoColumnPage() }), QString());
    const QString before = page.status();
    QCOMPARE(page.click("OCR"), QString());
    QCOMPARE(
        page.widget.findChild<QTextEdit *>()->toPlainText(), OcrEngine::engineNotStartedMessage());
    QCOMPARE(page.status(), before);
}

void tst_PdfModes::recognitionEndsQuietlyWhenClosedMeanwhile()
{
    PdfPage page;
    QCOMPARE(page.add({ twoColumnPage() }), QString());
    // A click on "Close" that waits while recognition lets events run.
    QMetaObject::invokeMethod(page.button("Close"), "click", Qt::QueuedConnection);
    QCOMPARE(page.click("OCR", { messageBox("Close the current document?", QMessageBox::Yes) }),
        QString());
    QCOMPARE(page.widget.findChild<QTextEdit *>()->toPlainText(), QString());
    QCOMPARE(page.status(), "Closed. Open a PDF (or add images) to start editing.");
}

QTEST_MAIN(tst_PdfModes)
#include "tst_pdfmodes.moc"
