#include "pdftesting.h"

#include <QtTest>

// Reordering pages with a real mouse drag: xdotool moves the pointer through the X server, so the
// drag runs through Qt's own drag-and-drop machinery as it does for a user.
class tst_PdfThumbnailDrag : public QObject
{
    Q_OBJECT

private slots:
    void reordersByMouseDrag_data();
    void reordersByMouseDrag();
};

void tst_PdfThumbnailDrag::reordersByMouseDrag_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("onto"); // -1: into the empty space below the last thumbnail
    QTest::addColumn<QString>("order"); // the moved page selected
    QTest::addRow("third onto the first") << 2 << 0 << "[12x14] 10x14 11x14 13x14";
    QTest::addRow("first onto the third") << 0 << 2 << "11x14 12x14 [10x14] 13x14";
    QTest::addRow("second below the last") << 1 << -1 << "10x14 12x14 13x14 [11x14]";
    QTest::addRow("second onto itself") << 1 << 1 << "10x14 [11x14] 12x14 13x14";
}

void tst_PdfThumbnailDrag::reordersByMouseDrag()
{
    QFETCH(int, from);
    QFETCH(int, onto);
    QFETCH(QString, order);
    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    QVERIFY2(!xdotool.isEmpty(), "xdotool is needed (scripts/setup.sh installs it)");
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

QTEST_MAIN(tst_PdfThumbnailDrag)
#include "tst_pdfthumbnaildrag.moc"
