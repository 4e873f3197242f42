// The clock suite and the days counter: their texts, their alarms and counts, and the floating
// cards both pin to the screen.
#include "common/floatingwidget.h"
#include "tools/clock/alarms.h"
#include "tools/clock/clockformat.h"
#include "tools/clock/clocksuitepage.h"
#include "tools/days/countdownformat.h"
#include "tools/days/dayscounterpage.h"

#include "dialoganswers.h"

#include <QtTest>
#include <QtWidgets>

#include <ctime>
#include <limits>

namespace {
// Local time is a zone the given minutes ahead of UTC: a test moves the clock by changing it.
void setZoneAhead(int minutes)
{
    qputenv("TZ", "AHD-0:" + QByteArray::number(minutes).rightJustified(2, '0'));
    tzset();
}

Alarm alarm(const QTime &time, const QString &label = {}, bool enabled = true)
{
    return Alarm { time, label, enabled, false };
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

QString press(QWidget *page, const QString &text, const QList<dialogs::Step> &steps = {})
{
    QPushButton *button = named<QPushButton>(page, text).value(0);
    return button ? dialogs::runWithDialogs([button] { button->click(); }, steps) : "no " + text;
}

QList<FloatingWidget *> shown(QWidget *page)
{
    QList<FloatingWidget *> cards = page->findChildren<FloatingWidget *>();
    cards.removeIf([](FloatingWidget *card) { return !card->isVisible(); });
    return cards;
}

QString display(QWidget *card)
{
    return card->findChild<QLabel *>("FloatingBigDisplay")->text();
}

bool tick(QWidget *page)
{
    QSignalSpy spy(
        page->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly), &QTimer::timeout);
    return spy.wait(3000);
}
} // namespace

class tst_TimePages : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void formatsClockTextsAndParsesMinutes();
    void alarmsRingOncePerDayInListOrder();
    void formatsCountdowns();
    void clockCardsFollowTheClockAndAreForgottenWhenClosed();
    void addsWorldClocks();
    void stopwatchAndCountdown();
    void alarmsRingFromTheTickOneBoxAtATime();
    void refusesBlankCounterTitles();
    void countersAndTheirCardsCountEverySecond();
    void pinsOneCounterCardPerTitleAcrossRebuilds();
    void countsElapsedTimeAcrossDaylightSaving();

private:
    QPushButton *addWorldClock(
        const QString &city, int zone, const QList<dialogs::Step> &steps = {})
    {
        named<QLineEdit>(m_clock.get(), "City name").first()->setText(city);
        m_clock->findChild<QComboBox *>()->setCurrentIndex(zone);
        const qsizetype rows = named<QPushButton>(m_clock.get(), "Pin").size();
        return press(m_clock.get(), "+ Add clock", steps).isEmpty()
            ? named<QPushButton>(m_clock.get(), "Pin").value(rows)
            : nullptr;
    }
    QString add(
        const QString &title, const QDateTime &target, const QList<dialogs::Step> &steps = {})
    {
        m_days->findChild<QDateTimeEdit *>()->setDateTime(target);
        named<QLineEdit>(m_days.get(), "e.g. Project deadline").first()->setText(title);
        return press(m_days.get(), "+ Add", steps);
    }
    QPushButton *pin(int card) const
    {
        return named<QPushButton>(m_days.get(), "Pin to screen").at(card);
    }
    QLabel *count(int card) const
    {
        return pin(card)->parentWidget()->findChild<QLabel *>("FloatingBigDisplay");
    }

    std::unique_ptr<ClockSuitePage> m_clock;
    std::unique_ptr<DaysCounterPage> m_days;
    const QDateTime m_now = QDateTime::currentDateTime();
};

void tst_TimePages::init()
{
    setZoneAhead(0);
    m_clock = std::make_unique<ClockSuitePage>();
    m_days = std::make_unique<DaysCounterPage>();
}

void tst_TimePages::formatsClockTextsAndParsesMinutes()
{
    QCOMPARE(clockText(QTime(13, 45, 30, 999)), "13:45:30");
    QCOMPARE(dateText(QDate(2024, 3, 5)), "Tuesday, March 5");
    QCOMPARE(
        stopwatchText(3299) + stopwatchText(3723400), "00:03.202:03.4"); // tenths cut, no hours
    QCOMPARE(countdownText(119 * 60 + 59), "119:59");
    QCOMPARE(countdownSecondsFromMinutes("35791394"), 2147483640); // the most 32 bits hold
    for (const char *refused : { "", "0", "-3", "5min", "35791395", "99999999999999999999" }) {
        QVERIFY2(!countdownSecondsFromMinutes(refused), refused);
    }
    QCOMPARE(countdownAfterTick(1), 0);
    QCOMPARE(countdownAfterTick(0), std::nullopt); // ends on the tick after 00:00
    QCOMPARE(zoneForId("Nowhere/Atlantis"), std::nullopt);
    QCOMPARE(zoneForId(QString()), std::nullopt); // not the system's zone
    for (const ZoneChoice &choice : commonZones) {
        QCOMPARE(zoneForId(choice.ianaId).value_or(QTimeZone()).id(), choice.ianaId);
    }
    const QDateTime january(QDate(2024, 1, 15), QTime(12, 34, 56), Qt::UTC);
    QCOMPARE(QStringList({ zoneTimeText(january, QTimeZone("Australia/Sydney")),
                 zoneTimeText(january.addMonths(6), QTimeZone("America/New_York")) }),
        QStringList({ "23:34:56", "08:34:56" })); // both in daylight saving time
}

// In their own minute, once a day, in list order, even when the checks skip second 0.
void tst_TimePages::alarmsRingOncePerDayInListOrder()
{
    const QDate today(2024, 6, 10);
    QVERIFY(
        isAlarmDue(alarm(QTime(7, 0, 45)), {}, QDateTime(today, QTime(7, 0)))); // seconds ignored
    QVERIFY(!isAlarmDue(alarm(QTime(7, 0)), {}, QDateTime(today, QTime(7, 0, 1))));
    QList<Alarm> alarms { alarm(QTime(0, 0)), alarm(QTime(23, 59)), alarm(QTime(0, 0), "", false),
        alarm(QTime(0, 0)) };
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
    QCOMPARE(alarmItemText(alarm(QTime(7, 5), "Gym")), "07:05  \u2014  Gym");
}

void tst_TimePages::formatsCountdowns()
{
    const QDateTime now(QDate(2025, 6, 1), QTime(12, 0, 0, 250), Qt::UTC);
    QStringList texts;
    for (const qint64 ms : { 0LL, -999LL, -1500LL, -61000LL, 90061000LL, 94694400000LL }) {
        texts << formatCountdownTo(now, now.addMSecs(ms), "ago");
    }
    // Under a second past is still now; three years ahead cross a leap day.
    QCOMPARE(texts,
        QStringList({ "0d 00:00:00", "0d 00:00:00", "0d 00:00:01 ago", "0d 00:01:01 ago",
            "1d 01:01:01", "1096d 00:00:00" }));
    QCOMPARE(formatCountdown(std::numeric_limits<qint64>::min(), "ago"),
        "106751991167300d 15:30:08 ago");
}

void tst_TimePages::clockCardsFollowTheClockAndAreForgottenWhenClosed()
{
    auto *keep = named<QCheckBox>(m_clock.get(), "Keep floating on screen").first();
    keep->setChecked(true);
    QPushButton *pin = addWorldClock("Home", 2); // London
    pin->click();
    const QList<FloatingWidget *> first = shown(m_clock.get());
    QCOMPARE(first.size(), 2);
    QCOMPARE(first.at(0)->title() + first.at(1)->title(), "Local timeHome");
    QVERIFY(tick(m_clock.get()));
    QCOMPARE(display(first.at(0)), m_clock->findChild<QLabel *>("ClockDisplay")->text());
    QCOMPARE(display(first.at(1)), pin->parentWidget()->findChildren<QLabel *>().at(1)->text());
    for (FloatingWidget *card : first) {
        card->findChild<QPushButton *>("FloatingCloseButton")->click();
    }
    QVERIFY(shown(m_clock.get()).isEmpty() && !keep->isChecked());
    // Opened again as new cards; the pin still shows checked, so it takes two clicks.
    keep->setChecked(true);
    pin->click();
    pin->click();
    QCOMPARE(shown(m_clock.get()).size(), 2);
    QVERIFY(
        !first.contains(shown(m_clock.get()).at(0)) && !first.contains(shown(m_clock.get()).at(1)));
    keep->setChecked(false);
    QCOMPARE(shown(m_clock.get()).size(), 1);
}

void tst_TimePages::addsWorldClocks()
{
    m_clock->findChild<QComboBox *>()->setItemData(
        0, "Nowhere/Atlantis"); // as if the system lacked it
    QVERIFY(!addWorldClock(
        "Atlantis", 0, { dialogs::messageBox("That timezone isn't available on this system.") }));
    QVERIFY(!named<QLineEdit>(m_clock.get(), "Atlantis").isEmpty()); // kept
    QStringList rows;
    for (const auto &[city, zone, id] : { std::tuple("   ", 9, "Australia/Sydney"),
             std::tuple("  My office \t", 6, "Asia/Kolkata") }) {
        const QDateTime utc = QDateTime::currentDateTimeUtc();
        const QList<QLabel *> labels =
            addWorldClock(city, zone)->parentWidget()->findChildren<QLabel *>();
        rows << labels.at(0)->text();
        QVERIFY(labels.at(1)->text() == zoneTimeText(utc, QTimeZone(id))
            || labels.at(1)->text() == zoneTimeText(utc.addSecs(1), QTimeZone(id)));
    }
    QCOMPARE(rows, QStringList({ "Sydney", "My office" })); // blank: the zone's name; trimmed
    QCOMPARE(named<QLineEdit>(m_clock.get(), "City name").first()->text(), "");
}

void tst_TimePages::stopwatchAndCountdown()
{
    QWidget *page = m_clock.get();
    QLabel *stopwatch = named<QLabel>(page, "00:00.0").first();
    press(page, "Start");
    QTRY_VERIFY(stopwatch->text() != "00:00.0");
    press(page, "Pause");
    const QString paused = stopwatch->text();
    QVERIFY(tick(page));
    QCOMPARE(stopwatch->text(), paused);
    press(page, "Resume"); // from where it stood, not from zero
    QVERIFY(tick(page) && stopwatch->text() >= paused);
    press(page, "Reset");
    QVERIFY(tick(page));
    QVERIFY(stopwatch->text() == "00:00.0" && !named<QPushButton>(page, "Start").isEmpty());

    QLabel *countdown = named<QLabel>(page, "00:00").first();
    press(page, "Start timer");
    QVERIFY(tick(page));
    const QString running = countdown->text();
    named<QLineEdit>(page, "5").first()->setText("35791395"); // its seconds overflow 32 bits
    QCOMPARE(
        press(page, "Start timer", { dialogs::messageBox("Enter a positive number of minutes.") }),
        "");
    QVERIFY(tick(page) && running.startsWith("04:5") && countdown->text() < running); // went on
    // Started again while running, it counts from the new length, and ends a tick after 00:00.
    auto *timer = page->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    timer->setInterval(2);
    QStringList texts;
    connect(timer, &QTimer::timeout, this, [&] { texts << countdown->text(); });
    named<QLineEdit>(page, "35791395").first()->setText("1");
    press(page, "Start timer");
    QTRY_VERIFY(texts.contains("Time's up!"));
    QCOMPARE(texts.mid(0, 1) + texts.mid(59, 2), QStringList({ "00:59", "00:00", "Time's up!" }));
}

void tst_TimePages::alarmsRingFromTheTickOneBoxAtATime()
{
    QLabel *world = addWorldClock("Home", 2)->parentWidget()->findChildren<QLabel *>().at(1);
    QTRY_VERIFY_WITH_TIMEOUT(
        QTime::currentTime().second() < 55, 10000); // clear of the minute's end
    const QTime next = QTime::currentTime().addSecs(60);
    for (const auto &[later, label] : { std::pair(0, "first"), std::pair(0, ""),
             std::pair(0, "switched off"), std::pair(1, "later") }) {
        m_clock->findChild<QTimeEdit *>()->setTime(next.addSecs(60 * later));
        named<QLineEdit>(m_clock.get(), "What's this alarm for?").first()->setText(label);
        press(m_clock.get(), "+ New alarm");
    }
    auto *list = m_clock->findChild<QListWidget *>();
    QCOMPARE(list->item(0)->text(), next.toString("HH:mm") + "  \u2014  first");
    list->item(2)->setCheckState(Qt::Unchecked);
    // The clock moves a minute on: the next tick rings that minute's alarms in list order, one
    // box at a time. The clock label is set before the first box, the world clock after it.
    QLabel *clock = m_clock->findChild<QLabel *>("ClockDisplay");
    QStringList whileOpen;
    const auto ring = [&](const QString &text) {
        return dialogs::Step { &QMessageBox::staticMetaObject, text, [&](QWidget *box) {
                                  whileOpen << clock->text().left(1) + world->text().left(1);
                                  static_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
                              } };
    };
    const auto moveClock = [&](int minutes, int boxes) {
        clock->setText("x");
        world->setText("x");
        setZoneAhead(minutes);
        QVERIFY(QTest::qWaitFor([&] { return whileOpen.size() == boxes; }));
    };
    QCOMPARE(
        dialogs::runWithDialogs([&] { moveClock(1, 2); }, { ring("first"), ring("Alarm") }), "");
    QVERIFY(
        whileOpen.first().at(0) != 'x' && whileOpen.first().at(1) == 'x' && world->text() != "x");
    QCOMPARE(dialogs::runWithDialogs([&] { moveClock(2, 3); }, { ring("later") }), "");
    // Rung today: not again.
    QCOMPARE(
        dialogs::runWithDialogs([&] { QVERIFY(tick(m_clock.get()) && tick(m_clock.get())); }), "");
}

void tst_TimePages::refusesBlankCounterTitles()
{
    QCOMPARE(add("Existing", m_now.addDays(1)), "");
    QLabel *existing = count(0);
    for (const QString typed : { "", " \t ", "\u00A0" }) {
        QCOMPARE(add(typed, m_now, { dialogs::messageBox("Give the counter a title.") }), "");
        QCOMPARE(named<QLineEdit>(m_days.get(), "e.g. Project deadline").first()->text(), typed);
    }
    QCOMPARE(named<QPushButton>(m_days.get(), "Pin to screen").size(), 1);
    QCOMPARE(count(0), existing); // nothing was rebuilt
}

void tst_TimePages::countersAndTheirCardsCountEverySecond()
{
    add("Ahead", m_now.addSecs(3605));
    add("Passed", m_now.addSecs(-5000));
    pin(1)->click();
    QLabel *const labels[] = { count(0), count(1),
        shown(m_days.get()).first()->findChild<QLabel *>("FloatingBigDisplay") };
    for (QLabel *label : labels) {
        label->setText("stale");
    }
    const QDateTime before = QDateTime::currentDateTime();
    QTRY_VERIFY_WITH_TIMEOUT(labels[0]->text() != "stale" && labels[2]->text() != "stale", 2500);
    for (const auto &[label, target] :
        { std::pair(labels[0], 3605), std::pair(labels[1], -5000) }) {
        const qint64 secs = before.secsTo(m_now.addSecs(target));
        QVERIFY2(QStringList({ formatCountdown(secs, "ago"), formatCountdown(secs - 1, "ago"),
                                 formatCountdown(secs - 2, "ago") })
                     .contains(label->text()),
            qPrintable(label->text()));
    }
    QCOMPARE(labels[2]->text(), labels[1]->text());
}

void tst_TimePages::pinsOneCounterCardPerTitleAcrossRebuilds()
{
    QWidget *page = m_days.get();
    add("  Launch \t", m_now.addDays(10));
    add("Launch", m_now.addDays(40));
    add("launch", m_now.addDays(10)); // titles are case-sensitive
    QVERIFY(named<QLineEdit>(page, "e.g. Project deadline").first()->text().isEmpty()); // date kept
    QCOMPARE(page->findChild<QDateTimeEdit *>()->dateTime(), m_now.addDays(10));
    pin(0)->click();
    pin(1)->click();
    QCOMPARE(shown(page).size(), 1);
    FloatingWidget *launch = shown(page).first();
    QCOMPARE(launch->title(), "Launch");
    pin(2)->click();
    QCOMPARE(shown(page).size(), 2);
    pin(1)->click(); // any pin of the title switched off closes its one card
    QVERIFY(!launch->isVisible());
    // Closed by its cross, a card is forgotten; the pin, still checked, opens a new one on its
    // second click.
    FloatingWidget *other = shown(page).first();
    other->findChild<QPushButton *>("FloatingCloseButton")->click();
    pin(2)->click();
    QVERIFY(shown(page).isEmpty());
    pin(2)->click();
    QVERIFY(shown(page).size() == 1 && shown(page).first() != other);
    // Adding rebuilds the cards in rows of three with unchecked pins; the floating card stays.
    const QPointer<QLabel> oldCount = count(0);
    FloatingWidget *pinned = shown(page).first();
    add("D", m_now.addDays(3));
    int row = 0, column = 0, span = 0;
    page->findChild<QGridLayout *>()->getItemPosition(3, &row, &column, &span, &span);
    QVERIFY(oldCount.isNull() && row == 1 && column == 0 && !pin(2)->isChecked());
    QCOMPARE(shown(page), QList<FloatingWidget *> { pinned });
    pin(2)->click(); // the fresh pin of that title shows the same card; unchecked, it closes it
    QCOMPARE(shown(page), QList<FloatingWidget *> { pinned });
    pin(2)->click();
    QVERIFY(shown(page).isEmpty());
}

// Noon the day before to noon the day after each change of offset, counted from local times.
void tst_TimePages::countsElapsedTimeAcrossDaylightSaving()
{
    const QTimeZone zone("Europe/Berlin");
    qputenv("TZ", zone.id());
    tzset();
    QDateTime change(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC);
    for (const char *elapsed : { "1d 23:00:00", "2d 01:00:00" }) { // clocks forward, then back
        change = zone.nextTransition(change).atUtc;
        const QDate day = change.toTimeZone(zone).date();
        const QDateTime from(day.addDays(-1), QTime(12, 0)), to(day.addDays(1), QTime(12, 0));
        QCOMPARE(from.offsetFromUtc(), zone.offsetFromUtc(from)); // local time is the zone's
        QCOMPARE(formatCountdownTo(from, to, "ago") + formatCountdownTo(to, from, "ago"),
            elapsed + QString(elapsed) + " ago");
    }
}

QTEST_MAIN(tst_TimePages)
#include "tst_timepages.moc"
