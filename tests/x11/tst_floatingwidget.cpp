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
    QTest::mouseEvent(action, window, button, {}, window->mapFromGlobal(global));
}
} // namespace

class tst_FloatingWidget : public QObject
{
    Q_OBJECT

private slots:
    void closeButtonSignalsOncePerClickHostCloseNever();
    void leftDragKeepsGrabbedPointUnderPointer();
    void rightDragDoesNotMove();
    void pinToggleKeepsCardInPlace();

private:
    static void showAt(Host &host, const QPoint &position)
    {
        host.card->move(position);
        host.card->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.card));
        QTRY_COMPARE(host.card->windowHandle()->position(), position);
    }
};

void tst_FloatingWidget::closeButtonSignalsOncePerClickHostCloseNever()
{
    Host host;
    showAt(host, QPoint(300, 200));
    const QSize size = host.card->size();
    QSignalSpy spy(host.card, &FloatingWidget::closeRequested);
    QList<bool> visibleDuringSignal;
    connect(host.card, &FloatingWidget::closeRequested, host.card,
        [&] { visibleDuringSignal.append(host.card->isVisible()); });
    QPushButton *close = host.button("FloatingCloseButton");

    for (int round = 1; round <= 2; ++round) {
        QTest::mouseClick(host.card->windowHandle(), Qt::LeftButton, {},
            close->mapTo(host.card, close->rect().center()));
        QCOMPARE(spy.size(), round);
        QCOMPARE(visibleDuringSignal, QList<bool>(round, true));
        QVERIFY(!host.card->isVisible());

        // Still there, and shown again just as it was.
        host.card->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.card));
        QCOMPARE(host.card->title(), QStringLiteral("Lisbon"));
        QCOMPARE(host.display->text(), QStringLiteral("08:15:00"));
        QVERIFY(host.card->contentWidget()->isAncestorOf(host.display));
        QVERIFY(host.button("FloatingPinButton")->isChecked());
        QCOMPARE(host.card->pos(), QPoint(300, 200));
        QCOMPARE(host.card->size(), size);
    }

    // The host closing the card hides it without a word.
    QVERIFY(host.card->close());
    QVERIFY(!host.card->isVisible());
    QCOMPARE(spy.size(), 2);
}

void tst_FloatingWidget::leftDragKeepsGrabbedPointUnderPointer()
{
    Host host;
    showAt(host, QPoint(300, 200));
    QWindow *window = host.card->windowHandle();

    // Grabbed by the title, then again by the card's free space once it has moved.
    const QList<QPair<QWidget *, QPoint>> grabs { { host.title(), QPoint(8, 5) },
        { host.card, QPoint(4, host.card->height() - 4) } };
    for (const auto &[widget, grabbed] : grabs) {
        QPoint pointer = widget->mapToGlobal(grabbed);
        const QPoint start = host.card->pos();
        pointerEvent(QTest::MousePress, window, Qt::LeftButton, pointer);
        // Small steps, as a hand moves, so every event lands on the card before it follows.
        QPoint travelled;
        for (const QPoint &step :
            { QPoint(17, 11), QPoint(17, 11), QPoint(-22, -7), QPoint(60, -40) }) {
            pointer += step;
            travelled += step;
            pointerEvent(QTest::MouseMove, window, Qt::LeftButton, pointer);
            QCOMPARE(host.card->pos(), start + travelled);
            // The window system takes the new place asynchronously; the next event needs it.
            QTRY_COMPARE(window->position(), start + travelled);
            QCOMPARE(widget->mapToGlobal(grabbed), pointer);
        }
        pointerEvent(QTest::MouseRelease, window, Qt::LeftButton, pointer);

        // Released: moving the pointer without a button leaves the card where it is.
        pointerEvent(QTest::MouseMove, window, Qt::NoButton, pointer + QPoint(30, 20));
        QCOMPARE(host.card->pos(), start + travelled);
    }
}

void tst_FloatingWidget::rightDragDoesNotMove()
{
    Host host;
    showAt(host, QPoint(400, 300));
    QWindow *window = host.card->windowHandle();
    const QPoint grabbed = host.title()->mapToGlobal(QPoint(8, 5));
    // Once on a fresh card, then again after a left click has armed the drag.
    for (const bool armed : { false, true }) {
        if (armed) {
            pointerEvent(QTest::MousePress, window, Qt::LeftButton, grabbed);
            pointerEvent(QTest::MouseRelease, window, Qt::LeftButton, grabbed);
        }
        pointerEvent(QTest::MousePress, window, Qt::RightButton, grabbed);
        for (const QPoint &offset : { QPoint(10, 5), QPoint(70, 35) }) {
            pointerEvent(QTest::MouseMove, window, Qt::RightButton, grabbed + offset);
            QCOMPARE(host.card->pos(), QPoint(400, 300));
        }
        pointerEvent(QTest::MouseRelease, window, Qt::RightButton, grabbed + QPoint(70, 35));
        QCOMPARE(window->position(), QPoint(400, 300));
        QVERIFY(host.card->isVisible());
    }
}

void tst_FloatingWidget::pinToggleKeepsCardInPlace()
{
    Host host;
    showAt(host, QPoint(350, 250));
    QPushButton *pin = host.button("FloatingPinButton");
    for (const bool onTop : { false, true }) {
        QTest::mouseClick(host.card->windowHandle(), Qt::LeftButton, {},
            pin->mapTo(host.card, pin->rect().center()));
        QCOMPARE(pin->isChecked(), onTop);
        QCOMPARE(host.card->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        QVERIFY(QTest::qWaitForWindowExposed(host.card));
        QTRY_COMPARE(host.card->windowHandle()->position(), QPoint(350, 250));
    }
}

QTEST_MAIN(tst_FloatingWidget)
#include "tst_floatingwidget.moc"
