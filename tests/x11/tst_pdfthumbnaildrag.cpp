#include "tools/pdf/pdftoolspage.h"

#include "pdftesting.h"

#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using namespace pdftest;

// Reordering pages with a real mouse drag: the pointer is driven through the X server (XTest,
// by xdotool), so the drag runs through Qt's own drag-and-drop machinery as it does for a user.

namespace {
QStringList pointerPath(const QPoint &from, const QPoint &to)
{
    const auto at = [](const QPoint &p) {
        return QStringList { QStringLiteral("mousemove"), QString::number(p.x()),
            QString::number(p.y()), QStringLiteral("sleep"), QStringLiteral("0.05") };
    };
    QStringList args = at(from);
    args << QStringLiteral("mousedown") << QStringLiteral("1");
    constexpr int steps = 12;
    for (int i = 1; i <= steps; ++i) {
        args << at(from + (to - from) * i / steps);
    }
    args << at(to + QPoint(1, 1)) << at(to);
    args << QStringLiteral("sleep") << QStringLiteral("0.2") << QStringLiteral("mouseup")
         << QStringLiteral("1");
    return args;
}
} // namespace

class tst_PdfThumbnailDrag : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void reordersByMouseDrag_data();
    void reordersByMouseDrag();

private:
    QPoint globalCentreOfRow(int row) const;
    void drag(const QPoint &from, const QPoint &to);

    std::unique_ptr<PdfToolsPage> m_page;
    QString m_xdotool;
};

void tst_PdfThumbnailDrag::initTestCase()
{
    m_xdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
    QVERIFY2(!m_xdotool.isEmpty(), "xdotool is needed (scripts/setup.sh installs it)");
}

void tst_PdfThumbnailDrag::init()
{
    m_page = std::make_unique<PdfToolsPage>();
    m_page->m_pages = pagesOfWidths({ 100, 110, 120, 130 });
    m_page->m_currentIndex = 0;
    m_page->refreshThumbnails();
    m_page->showCurrentPage();
    m_page->setGeometry(0, 0, 1000, 1000);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    QListWidget *list = m_page->m_thumbList;
    QTRY_VERIFY(list->visualItemRect(list->item(3)).bottom() > 0);
    QVERIFY2(list->viewport()->rect().contains(list->visualItemRect(list->item(3))),
        "every thumbnail must be in view");
}

void tst_PdfThumbnailDrag::cleanup()
{
    m_page.reset();
}

QPoint tst_PdfThumbnailDrag::globalCentreOfRow(int row) const
{
    QListWidget *list = m_page->m_thumbList;
    return list->viewport()->mapToGlobal(list->visualItemRect(list->item(row)).center());
}

void tst_PdfThumbnailDrag::drag(const QPoint &from, const QPoint &to)
{
    QProcess xdotool;
    xdotool.start(m_xdotool, pointerPath(from, to));
    QVERIFY(xdotool.waitForStarted());
    // The drag runs its own event loop inside this wait, as the pointer moves.
    QTRY_COMPARE_WITH_TIMEOUT(xdotool.state(), QProcess::NotRunning, 20000);
    QCOMPARE(xdotool.exitCode(), 0);
}

void tst_PdfThumbnailDrag::reordersByMouseDrag_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("onto"); // -1: into the empty space below the last thumbnail
    QTest::addColumn<QList<int>>("order");
    QTest::addColumn<int>("selected");

    QTest::addRow("third onto the first") << 2 << 0 << QList<int> { 120, 100, 110, 130 } << 0;
    QTest::addRow("first onto the third") << 0 << 2 << QList<int> { 110, 120, 100, 130 } << 2;
    QTest::addRow("second below the last") << 1 << -1 << QList<int> { 100, 120, 130, 110 } << 3;
    QTest::addRow("second onto itself") << 1 << 1 << QList<int> { 100, 110, 120, 130 } << 1;
}

void tst_PdfThumbnailDrag::reordersByMouseDrag()
{
    QFETCH(int, from);
    QFETCH(int, onto);
    QFETCH(QList<int>, order);
    QFETCH(int, selected);

    QListWidget *list = m_page->m_thumbList;
    QPoint target;
    if (onto < 0) {
        const QRect last = list->visualItemRect(list->item(list->count() - 1));
        target = list->viewport()->mapToGlobal(QPoint(last.center().x(), last.bottom() + 30));
        QVERIFY(list->viewport()->rect().contains(list->viewport()->mapFromGlobal(target)));
    } else {
        // Onto itself: far enough to start a drag, still within its own thumbnail.
        target = globalCentreOfRow(onto) + QPoint(0, onto == from ? 40 : 0);
    }
    const QList<int> original = widthsOf(m_page->m_pages);
    drag(globalCentreOfRow(from), target);

    QTRY_COMPARE(widthsOf(m_page->m_pages), order);
    QCOMPARE(list->count(), 4);
    QCOMPARE(m_page->m_currentIndex, selected);
    QCOMPARE(list->currentRow(), selected);
    for (int row = 0; row < list->count(); ++row) {
        QCOMPARE(list->item(row)->text(), QStringLiteral("Page %1").arg(row + 1));
    }
    if (order == original) {
        QVERIFY(m_page->m_undoStack.isEmpty());
        return;
    }
    QCOMPARE(m_page->m_statusLabel->text(), QStringLiteral("Reordered pages"));
    QVERIFY(QMetaObject::invokeMethod(m_page.get(), "undo"));
    QCOMPARE(widthsOf(m_page->m_pages), original);
}

QTEST_MAIN(tst_PdfThumbnailDrag)
#include "tst_pdfthumbnaildrag.moc"
