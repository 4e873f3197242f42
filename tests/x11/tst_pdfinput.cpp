#include "pdftesting.h"

#include <QtTest>

using namespace dialogs;

// The PDF page under input that comes through the X server (xdotool), as a user's does: a real
// mouse drag reorders pages through Qt's own drag-and-drop machinery, and whatever the user
// clicks or types while a slow PDF is read never runs, while the progress dialog comes within a
// second and its Cancel answers at once and leaves everything as it was.
class tst_PdfInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(!xdotool.isEmpty(), "xdotool is needed (scripts/setup.sh)"); }
    void reordersByMouseDrag_data();
    void reordersByMouseDrag();
    void cancelKeepsEverythingAndInputDoesNotWait();

private:
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
};

namespace {

// Four pages sharing one that draws a form eight times, eight forms deep: 16 million filled
// squares a page, many seconds of work for the engine in a file of 2 KB.
QByteArray slowPdf()
{
    QList<QByteArray> objects { "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 3 0 R 3 0 R 3 0 R] /Count 4 >>",
        "<< /Type /Page /MediaBox [0 0 612 792] /Resources << /XObject << /F 5 0 R >> >> "
        "/Contents 4 0 R >>",
        "<< /Length 5 >>\nstream\n/F Do\nendstream" };
    for (int level = 0; level < 8; ++level) {
        const bool last = level == 7;
        const QByteArray content =
            last ? "0 0 1 rg 10 10 20 20 re f" : QByteArray("q /F Do Q ").repeated(8);
        const QByteArray next =
            "/Resources << /XObject << /F " + QByteArray::number(level + 6) + " 0 R >> >> ";
        objects << "<< /Type /XObject /Subtype /Form /BBox [0 0 612 792] "
                + (last ? QByteArray() : next) + "/Length " + QByteArray::number(content.size())
                + " >>\nstream\n" + content + "\nendstream";
    }
    return pdftest::buildPdf(objects);
}

} // namespace

void tst_PdfInput::cancelKeepsEverythingAndInputDoesNotWait()
{
    QTemporaryDir dir;
    QVERIFY(pdftest::writeFile(dir.filePath("slow.pdf"), slowPdf()));
    QVERIFY(pdftest::plainPage({ 50, 50 }).save(dir.filePath("first.png")));

    pdftest::PdfPage page;
    QCOMPARE(page.add("30x20 [40x20]"), QString());
    QCOMPARE(page.click("Rotate right"), QString());
    page.widget.setGeometry(0, 0, 1200, 900);
    page.widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page.widget));
    QToolButton *rotate = page.button("Rotate left");
    rotate->setFocus();
    const QPoint target = rotate->mapToGlobal(rotate->rect().center());

    // An image, then the slow PDF; once they are chosen, a click on "Rotate left" and a space bar
    // press on it, while the pages are being read and before any dialog shows.
    QProcess input;
    QElapsedTimer sinceChosen;
    const Step chosen { &QFileDialog::staticMetaObject, "Add pages",
        [&](QWidget *w) {
            fileDialog("Add pages", dir.path(), { "first.png", "slow.pdf" }).answer(w);
            sinceChosen.start();
            const QString at = QString::number(target.x()) + ' ' + QString::number(target.y());
            input.start(xdotool, ("sleep 0.1 mousemove " + at + " click 1 key space").split(' '));
        } };
    qint64 shownAfter = -1;
    QElapsedTimer sinceCancel;
    const Step progress { &QProgressDialog::staticMetaObject, "mirvale", [&](QWidget *w) {
                             shownAfter = sinceChosen.elapsed();
                             input.waitForFinished(); // the exit code is checked below
                             sinceCancel.start();
                             w->findChild<QPushButton *>()->click();
                         } };
    QCOMPARE(page.click("Add pages", { chosen, progress }), QString());
    QVERIFY2(shownAfter >= 0 && shownAfter < 1000, qPrintable(QString::number(shownAfter)));
    QVERIFY2(sinceCancel.elapsed() < 2000, qPrintable(QString::number(sinceCancel.elapsed())));
    QCOMPARE(input.exitCode(), 0);

    // Whatever was clicked or typed had its chance to run by now: nothing did.
    QTest::qWait(300);
    QCOMPARE(page.status(), "Rotated page 2 right");
    QCOMPARE(page.state(), "30x20 [20x40]");
    QCOMPARE(page.undoAll(), 2);
}

void tst_PdfInput::reordersByMouseDrag_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("onto"); // -1: into the empty space below the last thumbnail
    QTest::addColumn<QString>("order"); // the moved page selected
    QTest::addRow("third onto the first") << 2 << 0 << "[12x14] 10x14 11x14 13x14";
    QTest::addRow("first onto the third") << 0 << 2 << "11x14 12x14 [10x14] 13x14";
    QTest::addRow("second below the last") << 1 << -1 << "10x14 12x14 13x14 [11x14]";
    QTest::addRow("second onto itself") << 1 << 1 << "10x14 [11x14] 12x14 13x14";
}

void tst_PdfInput::reordersByMouseDrag()
{
    QFETCH(int, from);
    QFETCH(int, onto);
    QFETCH(QString, order);
    pdftest::PdfPage page;
    QCOMPARE(page.add(QStringLiteral("10x14 11x14 12x14 13x14")), QString());
    page.widget.setGeometry(0, 0, 1000, 1000);
    page.widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page.widget));
    QListWidget *list = page.thumbnails();
    const auto rect = [list](int row) {
        return list->visualItemRect(list->item(row));
    };
    QTRY_VERIFY(list->viewport()->rect().contains(rect(3)));
    // Onto itself: far enough to start a drag, still within its own thumbnail. Press, move in
    // steps (with a last wiggle on the target), release.
    const QPoint start = list->viewport()->mapToGlobal(rect(from).center());
    const QPoint end = list->viewport()->mapToGlobal(onto < 0
            ? QPoint(rect(3).center().x(), rect(3).bottom() + 30)
            : rect(onto).center() + QPoint(0, onto == from ? 40 : 0));
    QString script =
        QStringLiteral("mousemove %1 %2 sleep 0.05 mousedown 1 ").arg(start.x()).arg(start.y());
    for (int i = 1; i <= 14; ++i) {
        const QPoint p = i > 12 ? end + QPoint(1, 1) * (14 - i) : start + (end - start) * i / 12;
        script += QStringLiteral("sleep 0.05 mousemove %1 %2 ").arg(p.x()).arg(p.y());
    }
    QProcess pointer;
    pointer.start(xdotool, (script + QStringLiteral("sleep 0.2 mouseup 1")).split(' '));
    // The drag runs its own event loop inside this wait, as the pointer moves.
    QTRY_COMPARE_WITH_TIMEOUT(pointer.state(), QProcess::NotRunning, 20000);
    QCOMPARE(pointer.exitCode(), 0);
    QTRY_COMPARE(page.status(),
        from != onto ? "Reordered pages" : "Added 4 file(s) — document now has 4 page(s)");
    QCOMPARE(page.state(), order);
    // One step to undo, back to the order added.
    if (from != onto) {
        page.button("Undo")->click();
        QCOMPARE(pdftest::sizesOf(page.pages()), "10x14 11x14 12x14 13x14");
    }
    QCOMPARE(page.undoAll(), 1);
}

QTEST_MAIN(tst_PdfInput)
#include "tst_pdfinput.moc"
