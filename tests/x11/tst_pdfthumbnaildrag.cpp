#include "pdftesting.h"

#include <QProcess>
#include <QStandardPaths>
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
    QWidget *view = list->viewport();
    QTRY_VERIFY(view->rect().contains(list->visualItemRect(list->item(3))));

    const QRect last = list->visualItemRect(list->item(3));
    // Onto itself: far enough to start a drag, still within its own thumbnail.
    const QPoint target = onto < 0
        ? QPoint(last.center().x(), last.bottom() + 30)
        : list->visualItemRect(list->item(onto)).center() + QPoint(0, onto == from ? 40 : 0);
    const QPoint start = view->mapToGlobal(list->visualItemRect(list->item(from)).center());
    const QPoint end = view->mapToGlobal(target);
    // Press, move in steps (with a last wiggle on the target), release.
    QList<QPoint> path { start };
    for (int i = 1; i <= 12; ++i) {
        path << start + (end - start) * i / 12;
    }
    path << end + QPoint(1, 1) << end;
    QString script;
    for (const QPoint &p : path) {
        script += QStringLiteral("mousemove %1 %2 sleep 0.05 ").arg(p.x()).arg(p.y());
        script += p == start ? QStringLiteral("mousedown 1 ") : QString();
    }
    script += QStringLiteral("sleep 0.2 mouseup 1");
    QProcess pointer;
    pointer.start(xdotool, script.split(QLatin1Char(' ')));
    // The drag runs its own event loop inside this wait, as the pointer moves.
    QTRY_COMPARE_WITH_TIMEOUT(pointer.state(), QProcess::NotRunning, 20000);
    QCOMPARE(pointer.exitCode(), 0);

    QTRY_COMPARE(page.selected(), int(order.left(order.indexOf('[')).count(' ')));
    const bool moved = from != onto;
    QCOMPARE(
        page.status(), moved ? "Reordered pages" : "Added 4 file(s) — document now has 4 page(s)");
    QCOMPARE(page.thumbnails()->item(page.selected())->text(),
        QStringLiteral("Page %1").arg(page.selected() + 1));
    QCOMPARE(page.state(), order);
    // One step to undo, back to the order added.
    if (moved) {
        page.button("Undo")->click();
        QCOMPARE(pdftest::sizesOf(page.pages()), "10x14 11x14 12x14 13x14");
    }
    QCOMPARE(page.undoAll(), 1);
}

QTEST_MAIN(tst_PdfThumbnailDrag)
#include "tst_pdfthumbnaildrag.moc"
