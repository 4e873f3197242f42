#include "common/floatingwidget.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

namespace {
// A host page with one card, filled the way the clock and the days counter fill theirs, shown.
struct Host
{
    QWidget page;
    FloatingWidget *card = new FloatingWidget(QStringLiteral("Lisbon"), &page);
    QLabel *display = new QLabel(QStringLiteral("08:15:00"), card->contentWidget());

    QPushButton *button(const char *name) const { return card->findChild<QPushButton *>(name); }
    QLabel *title() const { return card->findChild<QLabel *>(QStringLiteral("FloatingTitle")); }
    void click(const char *name)
    {
        QTest::mouseClick(card->windowHandle(), Qt::LeftButton, {},
            button(name)->mapTo(card, button(name)->rect().center()));
    }
};

void showAt(Host &host, const QPoint &position)
{
    (new QVBoxLayout(host.card->contentWidget()))->addWidget(host.display);
    host.card->move(position);
    host.card->show();
    QVERIFY(QTest::qWaitForWindowExposed(host.card));
    QTRY_COMPARE(host.card->windowHandle()->position(), position);
}

// Through the window system layer, so Qt picks the widget under the pointer and keeps sending
// it the moves while a button is held, as with a real mouse.
void pointer(QTest::MouseAction action, QWindow *window, Qt::MouseButton button, const QPoint &at)
{
    QTest::mouseEvent(action, window, button, {}, window->mapFromGlobal(at));
}
} // namespace

class tst_FloatingWidget : public QObject
{
    Q_OBJECT

private slots:
    void closeAndPinButtons();
    void dragsWithTheLeftButtonOnly_data();
    void dragsWithTheLeftButtonOnly();
};

void tst_FloatingWidget::closeAndPinButtons()
{
    Host host;
    showAt(host, QPoint(300, 200));
    const QSize size = host.card->size();
    QSignalSpy spy(host.card, &FloatingWidget::closeRequested);
    QList<bool> visibleDuringSignal;
    connect(host.card, &FloatingWidget::closeRequested, host.card,
        [&] { visibleDuringSignal.append(host.card->isVisible()); });
    for (int round = 1; round <= 2; ++round) {
        host.click("FloatingCloseButton");
        QCOMPARE(spy.size(), round);
        QCOMPARE(visibleDuringSignal, QList<bool>(round, true)); // signalled, then closed
        QVERIFY(!host.card->isVisible());
        // Still there, and shown again just as it was.
        host.card->show();
        QVERIFY(QTest::qWaitForWindowExposed(host.card));
        QCOMPARE(host.card->title(), QStringLiteral("Lisbon"));
        QVERIFY(host.card->contentWidget()->isAncestorOf(host.display));
        QVERIFY(host.button("FloatingPinButton")->isChecked());
        QCOMPARE(host.card->geometry(), QRect(QPoint(300, 200), size));
    }
    // The pin switches staying on top off and on again; the card shows again where it was.
    for (const bool onTop : { false, true }) {
        host.click("FloatingPinButton");
        QCOMPARE(host.button("FloatingPinButton")->isChecked(), onTop);
        QCOMPARE(host.card->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        QVERIFY(QTest::qWaitForWindowExposed(host.card));
        QTRY_COMPARE(host.card->windowHandle()->position(), QPoint(300, 200));
    }
    QVERIFY(host.card->close()); // the host closing the card hides it without a word
    QCOMPARE(spy.size(), 2);
}

void tst_FloatingWidget::dragsWithTheLeftButtonOnly_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<bool>("byTitle"); // else by the card's free space
    QTest::addColumn<bool>("clickedFirst"); // a left click before the drag
    QTest::addRow("left, by the title") << Qt::LeftButton << true << false;
    QTest::addRow("left, by free space") << Qt::LeftButton << false << false;
    QTest::addRow("right") << Qt::RightButton << true << false;
    QTest::addRow("right after a left click") << Qt::RightButton << true << true;
}

void tst_FloatingWidget::dragsWithTheLeftButtonOnly()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(bool, byTitle);
    QFETCH(bool, clickedFirst);
    Host host;
    const QPoint start(300, 200);
    showAt(host, start);
    QWindow *window = host.card->windowHandle();
    QWidget *grabbedWidget = byTitle ? static_cast<QWidget *>(host.title()) : host.card;
    const QPoint grabbed = byTitle ? QPoint(8, 5) : QPoint(4, host.card->height() - 4);
    QPoint at = grabbedWidget->mapToGlobal(grabbed);
    if (clickedFirst) {
        pointer(QTest::MousePress, window, Qt::LeftButton, at);
        pointer(QTest::MouseRelease, window, Qt::LeftButton, at);
    }
    pointer(QTest::MousePress, window, button, at);
    QPoint moved;
    // Small steps, as a hand moves, so every event lands on the card before it follows.
    for (const QPoint &step :
        { QPoint(17, 11), QPoint(17, 11), QPoint(-22, -7), QPoint(60, -40) }) {
        at += step;
        moved += button == Qt::LeftButton ? step : QPoint();
        pointer(QTest::MouseMove, window, button, at);
        QCOMPARE(host.card->pos(), start + moved);
        // The window system takes the new place asynchronously; the next event needs it.
        QTRY_COMPARE(window->position(), start + moved);
    }
    QCOMPARE(grabbedWidget->mapToGlobal(grabbed) == at, button == Qt::LeftButton);
    pointer(QTest::MouseRelease, window, button, at);
    // Released: moving the pointer without a button leaves the card where it is.
    pointer(QTest::MouseMove, window, Qt::NoButton, at + QPoint(30, 20));
    QCOMPARE(host.card->pos(), start + moved);
    QVERIFY(host.card->isVisible());
}

QTEST_MAIN(tst_FloatingWidget)
#include "tst_floatingwidget.moc"
