#include "common/windowsizing.h"

#include <QTest>

class tst_WindowSizing : public QObject
{
    Q_OBJECT

private slots:
    void sizesAndCentres_data();
    void sizesAndCentres();
};

void tst_WindowSizing::sizesAndCentres_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<int>("page");
    QTest::addColumn<QRect>("expected");

    const QRect fullHd(0, 0, 1920, 1040);
    const QRect laptop(0, 0, 1366, 728);
    const QRect small(0, 0, 1280, 680);
    QTest::addRow("1920x1040 grid raised to 480 high") << fullHd << 0 << QRect(575, 279, 768, 480);
    QTest::addRow("1920x1040 last tool page") << fullHd << 6 << QRect(191, 103, 1536, 832);
    QTest::addRow("1366x728 grid at the minimum") << laptop << 0 << QRect(362, 123, 640, 480);
    QTest::addRow("1366x728 tool page rounded") << laptop << 3 << QRect(136, 72, 1093, 582);
    QTest::addRow("1280x680 grid") << small << 0 << QRect(319, 99, 640, 480);
    QTest::addRow("1280x680 tool page") << small << 2 << QRect(127, 67, 1024, 544);
    // A task bar on the left or top, or a second screen, moves the area; the window follows.
    QTest::addRow("offset area") << QRect(100, 40, 1920, 1040) << 1 << QRect(291, 143, 1536, 832);
    QTest::addRow("second screen")
        << QRect(1920, 0, 2560, 1400) << 0 << QRect(2687, 419, 1024, 560);
    // Smaller than the minimum: the corner stays inside the area, on the axis that does not fit.
    QTest::addRow("tiny area grid") << QRect(0, 0, 600, 400) << 0 << QRect(0, 0, 640, 480);
    QTest::addRow("tiny area tool page") << QRect(0, 0, 600, 400) << 1 << QRect(0, 0, 640, 480);
    QTest::addRow("narrow tall area") << QRect(10, 20, 600, 1000) << 1 << QRect(10, 119, 640, 800);
}

void tst_WindowSizing::sizesAndCentres()
{
    QFETCH(QRect, available);
    QFETCH(int, page);
    QFETCH(QRect, expected);
    QCOMPARE(windowGeometryForPage(available, page), expected);
}

QTEST_GUILESS_MAIN(tst_WindowSizing)
#include "tst_windowsizing.moc"
