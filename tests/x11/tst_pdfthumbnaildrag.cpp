#include "tools/pdf/pdftoolspage.h"

#include "pdftesting.h"

#include <QListWidget>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using namespace pdftest;

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
    QTest::addColumn<QList<int>>("order");

    QTest::addRow("third onto the first") << 2 << 0 << QList<int> { 120, 100, 110, 130 };
    QTest::addRow("first onto the third") << 0 << 2 << QList<int> { 110, 120, 100, 130 };
    QTest::addRow("second below the last") << 1 << -1 << QList<int> { 100, 120, 130, 110 };
    QTest::addRow("second onto itself") << 1 << 1 << QList<int> { 100, 110, 120, 130 };
}

void tst_PdfThumbnailDrag::reordersByMouseDrag()
{
    QFETCH(int, from);
    QFETCH(int, onto);
    QFETCH(QList<int>, order);

    const QString xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    QVERIFY2(!xdotool.isEmpty(), "xdotool is needed (scripts/setup.sh installs it)");
    PdfToolsPage page;
    page.m_pages = plainPages({ { 100, 140 }, { 110, 140 }, { 120, 140 }, { 130, 140 } });
    page.m_currentIndex = 0;
    page.refreshThumbnails();
    page.setGeometry(0, 0, 1000, 1000);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QListWidget *list = page.m_thumbList;
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

    QTRY_COMPARE(widthsOf(page.m_pages), order);
    QCOMPARE(list->count(), 4);
    const int moved = order.indexOf(100 + 10 * from);
    QCOMPARE(page.m_currentIndex, moved);
    QCOMPARE(list->currentRow(), moved);
    QCOMPARE(page.m_undoStack.size(), from == onto ? 0 : 1);
}

QTEST_MAIN(tst_PdfThumbnailDrag)
#include "tst_pdfthumbnaildrag.moc"
