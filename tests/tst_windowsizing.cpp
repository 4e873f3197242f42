#include "common/windowsizing.h"

#include <QTest>

class tst_WindowSizing : public QObject
{
    Q_OBJECT

private slots:
    void sizesAndCentres_data();
    void sizesAndCentres();
    void keepsCornerInsideSmallScreens();
};

void tst_WindowSizing::sizesAndCentres_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<int>("page");
    QTest::addColumn<QRect>("expected");

    const QRect fullHd(0, 0, 1920, 1040);
    QTest::addRow("1920x1040 grid raised to 480 high") << fullHd << 0 << QRect(575, 279, 768, 480);
    QTest::addRow("1920x1040 tool page") << fullHd << 1 << QRect(191, 103, 1536, 832);
    QTest::addRow("1920x1040 last tool page") << fullHd << 6 << QRect(191, 103, 1536, 832);

    const QRect laptop(0, 0, 1366, 728);
    QTest::addRow("1366x728 tool page rounded") << laptop << 3 << QRect(136, 72, 1093, 582);
    QTest::addRow("1366x728 grid at the minimum") << laptop << 0 << QRect(362, 123, 640, 480);

    const QRect small(0, 0, 1280, 680);
    QTest::addRow("1280x680 grid") << small << 0 << QRect(319, 99, 640, 480);
    QTest::addRow("1280x680 tool page") << small << 2 << QRect(127, 67, 1024, 544);

    // A task bar on the left or top moves the available area; the window follows it.
    QTest::addRow("offset area") << QRect(100, 40, 1920, 1040) << 1
                                 << QRect(291, 143, 1536, 832);
    QTest::addRow("second screen") << QRect(1920, 0, 2560, 1400) << 0
                                   << QRect(2687, 419, 1024, 560);
}

void tst_WindowSizing::sizesAndCentres()
{
    QFETCH(QRect, available);
    QFETCH(int, page);
    QFETCH(QRect, expected);

    const QRect geometry = windowGeometryForPage(available, page);
    QCOMPARE(geometry, expected);
    // Centred by the area's own centre point, with integer halves.
    QCOMPARE(geometry.topLeft(),
             available.center() - QPoint(expected.width() / 2, expected.height() / 2));
}

void tst_WindowSizing::keepsCornerInsideSmallScreens()
{
    const QRect tiny(0, 0, 600, 400);
    for (int page : { 0, 1 }) {
        const QRect geometry = windowGeometryForPage(tiny, page);
        QCOMPARE(geometry.size(), QSize(640, 480));
        QCOMPARE(geometry.topLeft(), QPoint(0, 0));
    }
    // Narrow but tall: only the axis that does not fit is pinned.
    const QRect narrow(10, 20, 600, 1000);
    const QRect geometry = windowGeometryForPage(narrow, 1);
    QCOMPARE(geometry.size(), QSize(640, 800));
    QCOMPARE(geometry.topLeft(), QPoint(10, narrow.center().y() - 400));
}

QTEST_GUILESS_MAIN(tst_WindowSizing)
#include "tst_windowsizing.moc"
