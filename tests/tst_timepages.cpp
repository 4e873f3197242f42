// The clock suite and the days counter: their texts, alarms, counts and floating cards.
#include "common/floatingwidget.h"
#include "tools/clock/alarms.h"
#include "tools/clock/clockformat.h"
#include "tools/clock/clocksuitepage.h"
#include "tools/days/dayscounterpage.h"

#include "dialoganswers.h"

#include <QtTest>

#include <ctime>

using namespace clocksuite;

namespace {
// The local zone; a test moves the clock by changing it ("AHD-0:01": a minute ahead of UTC).
void setZone(const QByteArray &zone)
{
    qputenv("TZ", zone);
    tzset();
}

// The page's widgets of that type whose text or placeholder is text, in the order made.
template <typename T> QList<T *> named(QWidget *page, const QString &text)
{
    QList<T *> found = page->findChildren<T *>();
    found.removeIf([&](T *w) {
        return w->property("text") != text && w->property("placeholderText") != text;
    });
    return found;
}

QList<FloatingWidget *> shown(QWidget *page)
{
    QList<FloatingWidget *> cards = page->findChildren<FloatingWidget *>();
    cards.removeIf([](FloatingWidget *card) { return !card->isVisible(); });
    return cards;
}

bool tick(QWidget *page)
{
    return QSignalSpy(
        page->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly), &QTimer::timeout)
        .wait(3000);
}
} // namespace

class tst_TimePages : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void alarmsRingOncePerDayInListOrder();
    void parsesCountdownMinutes();
    void alarmsRingFromTheTickOneBoxAtATime();
    void countersRefuseBlankTitlesAndCountEverySecond();
    void pinsOneCounterCardPerTitleAcrossRebuilds();
    void cardClosesAndPinsThroughItsButtons();

private:
    [[nodiscard]] QString add(
        const QString &title, const QDateTime &target, const QList<dialogs::Step> &steps = {})
    {
        m_days->findChild<QDateTimeEdit *>()->setDateTime(target);
        named<QLineEdit>(m_days.get(), "e.g. Project deadline").first()->setText(title);
        return dialogs::click(m_days.get(), "+ Add", steps);
    }
    QPushButton *pin(int card) const
    {
        return named<QPushButton>(m_days.get(), "Pin to screen").at(card);
    }
    std::unique_ptr<ClockSuitePage> m_clock;
    std::unique_ptr<DaysCounterPage> m_days;
    const QDateTime m_now = QDateTime::currentDateTime();
};

void tst_TimePages::init()
{
    setZone("UTC");
    m_clock = std::make_unique<ClockSuitePage>();
    m_days = std::make_unique<DaysCounterPage>();
}

// In their own minute, once a day, in list order, even when the checks skip second 0.
void tst_TimePages::alarmsRingOncePerDayInListOrder()
{
    const auto alarm = [](int hour, int minute, bool enabled = true) {
        return Alarm { QTime(hour, minute), {}, enabled, false };
    };
    QList<Alarm> alarms { alarm(0, 0), alarm(23, 59), alarm(0, 0, false), alarm(0, 0) };
    const QDate today(2024, 6, 10);
    QDate remembered;
    QDateTime previous;
    QStringList rings;
    for (QDateTime now(today, QTime(23, 58)); now < QDateTime(today.addDays(2), QTime(0, 1));
         now = now.addSecs(now.time().second() == 59 ? 2 : 1)) {
        resetAlarmsOnNewDate(alarms, remembered, now.date());
        for (const int index : dueAlarms(alarms, previous, now)) {
            alarms[index].firedToday = true;
            rings << now.toString("d HH:mm #") + QString::number(index);
        }
        previous = now;
    }
    QCOMPARE(rings,
        QStringList({ "10 23:59 #1", "11 00:00 #0", "11 00:00 #3", "11 23:59 #1", "12 00:00 #0",
            "12 00:00 #3" }));
}

void tst_TimePages::parsesCountdownMinutes()
{
    QCOMPARE(countdownSecondsFromMinutes("35791394"), 2147483640); // the most 32 bits hold
    for (const char *refused : { "", "0", "-3", "5min", "35791395", "99999999999999999999" }) {
        QVERIFY2(!countdownSecondsFromMinutes(refused), refused);
    }
}

void tst_TimePages::alarmsRingFromTheTickOneBoxAtATime()
{
    QTRY_VERIFY_WITH_TIMEOUT(
        QTime::currentTime().second() < 55, 10000); // clear of the minute's end
    const QTime next = QTime::currentTime().addSecs(60);
    for (const char *label : { "first", "", "switched off" }) {
        m_clock->findChild<QTimeEdit *>()->setTime(next);
        named<QLineEdit>(m_clock.get(), "What's this alarm for?").first()->setText(label);
        QCOMPARE(dialogs::click(m_clock.get(), "+ New alarm"), QString());
    }
    auto *list = m_clock->findChild<QListWidget *>();
    QCOMPARE(list->item(0)->text(), next.toString("HH:mm") + "  \u2014  first");
    list->item(2)->setCheckState(Qt::Unchecked);
    // The clock moves a minute on: the next tick rings that minute's alarms in list order, one
    // box at a time.
    QCOMPARE(dialogs::runWithDialogs(
                 [&] {
                     setZone("AHD-0:01");
                     QVERIFY(tick(m_clock.get()));
                 },
                 { dialogs::messageBox("first"), dialogs::messageBox("Alarm") }),
        "");
    // Rung today: not again.
    QCOMPARE(
        dialogs::runWithDialogs([&] { QVERIFY(tick(m_clock.get()) && tick(m_clock.get())); }), "");
}

void tst_TimePages::countersRefuseBlankTitlesAndCountEverySecond()
{
    for (const QString typed : { "", " \t ", "\u00A0" }) {
        QCOMPARE(add(typed, m_now, { dialogs::messageBox("Give the counter a title.") }), "");
        QCOMPARE(named<QLineEdit>(m_days.get(), "e.g. Project deadline").first()->text(), typed);
    }
    QCOMPARE(add("Passed", QDateTime::currentDateTime().addSecs(-5000 - 2 * 86400)), QString());
    pin(0)->click();
    QLabel *const labels[] = { pin(0)->parentWidget()->findChild<QLabel *>("FloatingBigDisplay"),
        shown(m_days.get()).first()->findChild<QLabel *>("FloatingBigDisplay") };
    labels[0]->setText("stale");
    labels[1]->setText("stale");
    QTRY_VERIFY_WITH_TIMEOUT(labels[0]->text() != "stale" && labels[1]->text() != "stale", 2500);
    QVERIFY2(QRegularExpression("^2d 01:23:2[0-5] ago$").match(labels[0]->text()).hasMatch(),
        qPrintable(labels[0]->text()));
    QCOMPARE(labels[1]->text(), labels[0]->text());
}

void tst_TimePages::pinsOneCounterCardPerTitleAcrossRebuilds()
{
    QWidget *page = m_days.get();
    QCOMPARE(add("  Launch \t", m_now.addDays(10)), QString());
    QCOMPARE(add("Launch", m_now.addDays(40)), QString());
    QCOMPARE(add("launch", m_now.addDays(10)), QString()); // titles are case-sensitive
    pin(0)->click();
    pin(1)->click();
    pin(2)->click();
    QCOMPARE(shown(page).size(), 2);
    FloatingWidget *pinned = shown(page).last();
    pin(1)->click(); // any pin of the title switched off closes its one card
    QCOMPARE(shown(page), QList<FloatingWidget *> { pinned });
    // Adding rebuilds the cards with unchecked pins; the floating card stays, and the fresh pin of
    // its title shows the same card, unchecked closes it.
    QCOMPARE(add("D", m_now.addDays(3)), QString());
    QVERIFY(!pin(2)->isChecked());
    QCOMPARE(shown(page), QList<FloatingWidget *> { pinned });
    pin(2)->click();
    QCOMPARE(shown(page), QList<FloatingWidget *> { pinned });
    pin(2)->click();
    QVERIFY(shown(page).isEmpty());
}

// The card's pin switches staying on top; its cross hides it, and the page forgets it but keeps
// it: the counter's pin stays checked, and pinning the title again floats a new card.
void tst_TimePages::cardClosesAndPinsThroughItsButtons()
{
    QCOMPARE(add("Trip", m_now.addDays(2)), QString());
    pin(0)->click();
    FloatingWidget *card = shown(m_days.get()).first();
    for (const bool onTop : { false, true }) {
        card->findChild<QPushButton *>("FloatingPinButton")->click();
        QVERIFY(
            card->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop && card->isVisible());
    }
    card->findChild<QPushButton *>("FloatingCloseButton")->click();
    QVERIFY(shown(m_days.get()).isEmpty() && pin(0)->isChecked());
    QCOMPARE(add("Other", m_now), QString()); // fresh pins
    pin(0)->click();
    QCOMPARE(shown(m_days.get()).size(), 1);
    QCOMPARE(m_days->findChildren<FloatingWidget *>().size(), 2);
}

QTEST_MAIN(tst_TimePages)
#include "tst_timepages.moc"
