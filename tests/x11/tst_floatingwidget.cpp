#include "common/floatingwidget.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

namespace {
// A host page with one card, filled the way the clock and the days counter fill theirs.
struct Host
{
    QWidget page;
    FloatingWidget *card = nullptr;
    QLabel *display = nullptr;

    Host()
    {
        card = new FloatingWidget(QStringLiteral("Lisbon"), &page);
        auto *layout = new QVBoxLayout(card->contentWidget());
        layout->setContentsMargins(0, 0, 0, 0);
        display = new QLabel(QStringLiteral("08:15:00"), card->contentWidget());
        display->setObjectName(QStringLiteral("FloatingBigDisplay"));
        layout->addWidget(display);
    }

    QPushButton *button(const char *name) const
    {
        return card->findChild<QPushButton *>(QLatin1String(name));
    }
    QLabel *title() const { return card->findChild<QLabel *>(QStringLiteral("FloatingTitle")); }
};

// Mouse events enter through the window system layer, so Qt picks the widget under the
// pointer and keeps sending it the moves while a button is held, as with a real mouse.
void pointerEvent(
    QTest::MouseAction action, QWindow *window, Qt::MouseButton button, const QPoint &global)
{
    switch (action) {
    case QTest::MousePress:
        QTest::mousePress(window, button, {}, window->mapFromGlobal(global));
        break;
    case QTest::MouseRelease:
        QTest::mouseRelease(window, button, {}, window->mapFromGlobal(global));
        break;
    case QTest::MouseMove:
        QTest::mouseMove(window, window->mapFromGlobal(global));
        break;
    default:
        QFAIL("unexpected action");
    }
}
} // namespace

class tst_FloatingWidget : public QObject
{
    Q_OBJECT

private slots:
    void newCardShowsItsParts();
    void closeButtonEmitsOncePerClickAndHides();
    void hostCloseHidesWithoutSignal();
    void leftDragKeepsGrabbedPointUnderPointer();
    void rightDragDoesNotMove();
    void pressOnCloseThenDragOffNeitherMovesNorCloses();
    void pinToggleKeepsCardInPlace();
};

void tst_FloatingWidget::newCardShowsItsParts()
{
    Host host;
    QVERIFY(host.card->isWindow());
    QVERIFY(host.card->windowFlags().testFlag(Qt::Tool));
    QVERIFY(host.card->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(host.card->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(!host.card->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(!host.card->isVisible());
    host.card->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.card));
    QVERIFY(host.card->width() >= 180);
    QCOMPARE(host.title()->text(), QStringLiteral("Lisbon"));
    QCOMPARE(host.card->title(), QStringLiteral("Lisbon"));

    QPushButton *pin = host.button("FloatingPinButton");
    QPushButton *close = host.button("FloatingCloseButton");
    QVERIFY(pin);
    QVERIFY(close);
    QCOMPARE(pin->size(), QSize(18, 18));
    QCOMPARE(close->size(), QSize(18, 18));
    QVERIFY(pin->isCheckable());
    QVERIFY(pin->isChecked());
    QCOMPARE(pin->toolTip(), QStringLiteral("Keep on top"));
    QCOMPARE(close->text(), QStringLiteral("\u2715"));
    QCOMPARE(close->toolTip(), QStringLiteral("Close"));
    QVERIFY(host.card->contentWidget()->isAncestorOf(host.display));
}

void tst_FloatingWidget::closeButtonEmitsOncePerClickAndHides()
{
    Host host;
    host.card->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.card));
    const QPoint position = host.card->pos();
    const QSize size = host.card->size();

    QSignalSpy spy(host.card, &FloatingWidget::closeRequested);
    QList<bool> visibleDuringSignal;
    connect(host.card, &FloatingWidget::closeRequested, host.card,
        [&] { visibleDuringSignal.append(host.card->isVisible()); });
    QPushButton *close = host.button("FloatingCloseButton");
    QWindow *window = host.card->windowHandle();

    for (int round = 1; round <= 2; ++round) {
        QTest::mouseClick(
            window, Qt::LeftButton, {}, close->mapTo(host.card, close->rect().center()));
        QCOMPARE(spy.size(), round);
        QCOMPARE(visibleDuringSignal.size(), round);
        QVERIFY(visibleDuringSignal.last());
        QVERIFY(!host.card->isVisible());

        // Still there, and shown again just as it was.
        host.card->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.card));
        QCOMPARE(host.card->title(), QStringLiteral("Lisbon"));
        QCOMPARE(host.display->text(), QStringLiteral("08:15:00"));
        QVERIFY(host.card->contentWidget()->isAncestorOf(host.display));
        QVERIFY(host.button("FloatingPinButton")->isChecked());
        QCOMPARE(host.card->pos(), position);
        QCOMPARE(host.card->size(), size);
    }
}

void tst_FloatingWidget::hostCloseHidesWithoutSignal()
{
    Host host;
    host.card->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.card));
    QSignalSpy spy(host.card, &FloatingWidget::closeRequested);
    QVERIFY(host.card->close());
    QVERIFY(!host.card->isVisible());
    QCOMPARE(spy.size(), 0);
    host.card->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.card));
    QCOMPARE(spy.size(), 0);
}

void tst_FloatingWidget::leftDragKeepsGrabbedPointUnderPointer()
{
    Host host;
    host.card->move(300, 200);
    host.card->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.card));
    QTRY_COMPARE(host.card->windowHandle()->position(), QPoint(300, 200));
    QWindow *window = host.card->windowHandle();

    const QPoint grabbed(8, host.title()->height() / 2);
    QPoint pointer = host.title()->mapToGlobal(grabbed);
    const QPoint start = host.card->pos();
    pointerEvent(QTest::MousePress, window, Qt::LeftButton, pointer);

    // Small steps, as a hand moves, so every event lands on the card before it follows.
    QList<QPoint> steps;
    for (int i = 0; i < 10; ++i) {
        steps << QPoint(17, 11);
    }
    for (int i = 0; i < 10; ++i) {
        steps << QPoint(-22, -7);
    }
    QPoint travelled;
    for (const QPoint &step : std::as_const(steps)) {
        pointer += step;
        travelled += step;
        pointerEvent(QTest::MouseMove, window, Qt::LeftButton, pointer);
        QCOMPARE(host.card->pos(), start + travelled);
        // The window system takes the new place asynchronously; the next event needs it.
        QTRY_COMPARE(window->position(), start + travelled);
        QCOMPARE(host.title()->mapToGlobal(grabbed), pointer);
    }
    pointerEvent(QTest::MouseRelease, window, Qt::LeftButton, pointer);

    // Released: moving the pointer without a button leaves the card where it is.
    const QPoint settled = host.card->pos();
    pointerEvent(QTest::MouseMove, window, Qt::NoButton, pointer + QPoint(30, 20));
    QCOMPARE(host.card->pos(), settled);

    // A second drag from a point on the card's free space starts from the new place.
    const QPoint freeSpace(4, host.card->height() - 4);
    pointer = host.card->mapToGlobal(freeSpace);
    pointerEvent(QTest::MousePress, window, Qt::LeftButton, pointer);
    pointer += QPoint(60, -40);
    pointerEvent(QTest::MouseMove, window, Qt::LeftButton, pointer);
    QCOMPARE(host.card->pos(), settled + QPoint(60, -40));
    QTRY_COMPARE(window->position(), settled + QPoint(60, -40));
    QCOMPARE(host.card->mapToGlobal(freeSpace), pointer);
    pointerEvent(QTest::MouseRelease, window, Qt::LeftButton, pointer);
}

void tst_FloatingWidget::rightDragDoesNotMove()
{
    Host host;
    host.card->move(400, 300);
    host.card->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.card));
    QTRY_COMPARE(host.card->windowHandle()->position(), QPoint(400, 300));
    QWindow *window = host.card->windowHandle();

    const QPoint grabbed(8, host.title()->height() / 2);
    // Once on a fresh card, then again after a left click has armed the drag.
    for (const bool armed : { false, true }) {
        if (armed) {
            const QPoint click = host.title()->mapToGlobal(grabbed);
            pointerEvent(QTest::MousePress, window, Qt::LeftButton, click);
            pointerEvent(QTest::MouseRelease, window, Qt::LeftButton, click);
        }
        QPoint pointer = host.title()->mapToGlobal(grabbed);
        pointerEvent(QTest::MousePress, window, Qt::RightButton, pointer);
        for (const QPoint &step : { QPoint(10, 5), QPoint(60, 30) }) {
            pointer += step;
            pointerEvent(QTest::MouseMove, window, Qt::RightButton, pointer);
            QCOMPARE(host.card->pos(), QPoint(400, 300));
        }
        pointerEvent(QTest::MouseRelease, window, Qt::RightButton, pointer);
        QCOMPARE(host.card->pos(), QPoint(400, 300));
        QCOMPARE(window->position(), QPoint(400, 300));
        QVERIFY(host.card->isVisible());
    }
}

void tst_FloatingWidget::pressOnCloseThenDragOffNeitherMovesNorCloses()
{
    Host host;
    host.card->move(500, 300);
    host.card->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.card));
    QTRY_COMPARE(host.card->windowHandle()->position(), QPoint(500, 300));
    QWindow *window = host.card->windowHandle();
    QSignalSpy spy(host.card, &FloatingWidget::closeRequested);

    // Arm a drag first: the card keeps its drag state after the first one.
    QPoint pointer = host.title()->mapToGlobal(QPoint(8, 5));
    pointerEvent(QTest::MousePress, window, Qt::LeftButton, pointer);
    pointerEvent(QTest::MouseRelease, window, Qt::LeftButton, pointer);

    QPushButton *close = host.button("FloatingCloseButton");
    pointer = close->mapToGlobal(close->rect().center());
    pointerEvent(QTest::MousePress, window, Qt::LeftButton, pointer);
    pointer += QPoint(-80, 30);
    pointerEvent(QTest::MouseMove, window, Qt::LeftButton, pointer);
    QCOMPARE(host.card->pos(), QPoint(500, 300));
    pointerEvent(QTest::MouseRelease, window, Qt::LeftButton, pointer);
    QCOMPARE(spy.size(), 0);
    QVERIFY(host.card->isVisible());
    QCOMPARE(host.card->pos(), QPoint(500, 300));
}

void tst_FloatingWidget::pinToggleKeepsCardInPlace()
{
    Host host;
    host.card->move(350, 250);
    host.card->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.card));
    QPushButton *pin = host.button("FloatingPinButton");

    for (const bool onTop : { false, true }) {
        QTest::mouseClick(host.card->windowHandle(), Qt::LeftButton, {},
            pin->mapTo(host.card, pin->rect().center()));
        QCOMPARE(pin->isChecked(), onTop);
        QCOMPARE(host.card->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        QVERIFY(host.card->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(host.card));
        QCOMPARE(host.card->pos(), QPoint(350, 250));
        QTRY_COMPARE(host.card->windowHandle()->position(), QPoint(350, 250));
    }
}

QTEST_MAIN(tst_FloatingWidget)
#include "tst_floatingwidget.moc"
