#include "common/floatingwidget.h"
#include "tools/clock/alarms.h"
#include "tools/clock/clockformat.h"
#include "tools/clock/clocksuitepage.h"

#include "dialoganswers.h"

#include <QtTest>
#include <QtWidgets>

#include <ctime>

namespace {
// Local time is UTC until a test moves the clock by changing the zone.
const bool s_utc = [] {
    qputenv("TZ", "UTC0");
    return true;
}();

Alarm alarm(const QTime &time, const QString &label = {}, bool enabled = true)
{
    return Alarm { time, label, enabled, false };
}

void setZoneAhead(int minutes)
{
    qputenv("TZ", QByteArray("AHD-0:") + QByteArray::number(minutes).rightJustified(2, '0'));
    tzset();
}
} // namespace

class tst_ClockSuite : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void formatsAndParses();
    void alarmsRingOncePerDayInListOrder();
    void floatingCardsFollowTheClockAndAreForgottenWhenClosed();
    void addsWorldClocks();
    void stopwatchAndCountdown();
    void alarmsRingFromTheTickOneBoxAtATime();

private:
    template<typename T> T *find(const QString &text) const
    {
        for (T *widget : m_page->findChildren<T *>()) {
            if (widget->property("text") == text || widget->property("placeholderText") == text) {
                return widget;
            }
        }
        return nullptr;
    }
    QString click(const QString &text, const QList<dialogs::Step> &steps = {})
    {
        QPushButton *button = find<QPushButton>(text);
        return dialogs::runWithDialogs([button] { button->click(); }, steps);
    }
    // Adds a world clock; its row's pin button.
    QPushButton *addWorldClock(const QString &city, int zone, const QList<dialogs::Step> &steps = {})
    {
        find<QLineEdit>("City name")->setText(city);
        m_page->findChild<QComboBox *>()->setCurrentIndex(zone);
        const int before = pins().size();
        return click("+ Add clock", steps).isEmpty() && pins().size() > before ? pins().last()
                                                                                : nullptr;
    }
    QList<QPushButton *> pins() const
    {
        QList<QPushButton *> found = m_page->findChildren<QPushButton *>();
        found.removeIf([](QPushButton *b) { return b->text() != "Pin"; });
        return found;
    }
    QList<FloatingWidget *> shown() const
    {
        QList<FloatingWidget *> cards = m_page->findChildren<FloatingWidget *>();
        cards.removeIf([](FloatingWidget *card) { return !card->isVisible(); });
        return cards;
    }
    bool tick() const
    {
        QSignalSpy spy(m_page->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly), &QTimer::timeout);
        return spy.wait(3000);
    }

    std::unique_ptr<ClockSuitePage> m_page;
};

void tst_ClockSuite::init()
{
    setZoneAhead(0);
    m_page = std::make_unique<ClockSuitePage>();
}

void tst_ClockSuite::formatsAndParses()
{
    QCOMPARE(clockText(QTime(13, 45, 30, 999)), "13:45:30");
    QCOMPARE(dateText(QDate(2024, 3, 5)), "Tuesday, March 5");
    QCOMPARE(stopwatchText(3299), "00:03.2"); // tenths truncated
    QCOMPARE(stopwatchText(3723400), "02:03.4"); // hours not shown
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
    for (const QDateTime &utc : { january, january.addMonths(6) }) { // Sydney, then New York
        QCOMPARE(zoneTimeText(utc, QTimeZone("Australia/Sydney")),
            utc.date().month() == 1 ? "23:34:56" : "22:34:56");
        QCOMPARE(zoneTimeText(utc, QTimeZone("America/New_York")),
            utc.date().month() == 1 ? "07:34:56" : "08:34:56");
    }
}

// In their own minute, once a day, in list order, even when the checks skip second 0.
void tst_ClockSuite::alarmsRingOncePerDayInListOrder()
{
    const QDate today(2024, 6, 10);
    QVERIFY(isAlarmDue(alarm(QTime(7, 0, 45)), {}, QDateTime(today, QTime(7, 0)))); // seconds ignored
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

void tst_ClockSuite::floatingCardsFollowTheClockAndAreForgottenWhenClosed()
{
    auto *keep = find<QCheckBox>("Keep floating on screen");
    keep->setChecked(true);
    QPushButton *pin = addWorldClock("Home", 2); // London
    pin->click();
    const QList<FloatingWidget *> first = shown();
    QCOMPARE(first.size(), 2);
    QCOMPARE(first.at(0)->title(), "Local time");
    QVERIFY(tick());
    const auto display = [](FloatingWidget *card) {
        return card->findChild<QLabel *>("FloatingBigDisplay")->text();
    };
    QCOMPARE(display(first.at(0)), m_page->findChild<QLabel *>("ClockDisplay")->text());
    QCOMPARE(display(first.at(1)), pin->parentWidget()->findChildren<QLabel *>().at(1)->text());
    for (FloatingWidget *card : first) {
        card->findChild<QPushButton *>("FloatingCloseButton")->click();
    }
    QVERIFY(shown().isEmpty() && !keep->isChecked());
    // Opened again as new cards; the pin still shows checked, so it takes two clicks.
    keep->setChecked(true);
    pin->click();
    QCOMPARE(shown().size(), 1);
    pin->click();
    QCOMPARE(shown().size(), 2);
    QVERIFY(!first.contains(shown().at(0)) && !first.contains(shown().at(1)));
    keep->setChecked(false);
    QCOMPARE(shown().size(), 1);
}

void tst_ClockSuite::addsWorldClocks()
{
    m_page->findChild<QComboBox *>()->setItemData(0, "Nowhere/Atlantis"); // as if the system lacked it
    QVERIFY(!addWorldClock("Atlantis", 0,
        { dialogs::messageBox("That timezone isn't available on this system.") }));
    QCOMPARE(find<QLineEdit>("City name")->text(), "Atlantis");
    QStringList rows;
    for (const auto &[city, zone] : { std::pair("   ", 9), std::pair("  My office \t", 6) }) {
        const QDateTime utc = QDateTime::currentDateTimeUtc();
        const QList<QLabel *> labels = addWorldClock(city, zone)->parentWidget()->findChildren<QLabel *>();
        const QString expected = zone == 9 ? "Australia/Sydney" : "Asia/Kolkata";
        QVERIFY(QStringList({ zoneTimeText(utc, QTimeZone(expected.toLatin1())),
                    zoneTimeText(utc.addSecs(1), QTimeZone(expected.toLatin1())) })
                    .contains(labels.at(1)->text()));
        rows << labels.at(0)->text();
    }
    QCOMPARE(rows, QStringList({ "Sydney", "My office" }));
    QVERIFY(find<QLineEdit>("City name")->text().isEmpty());
}

void tst_ClockSuite::stopwatchAndCountdown()
{
    QLabel *stopwatch = find<QLabel>("00:00.0");
    click("Start");
    QTRY_VERIFY(stopwatch->text() != "00:00.0");
    click("Pause");
    const QString paused = stopwatch->text();
    QVERIFY(tick());
    QCOMPARE(stopwatch->text(), paused);
    click("Resume"); // from where it stood, not from zero
    QVERIFY(tick());
    QVERIFY2(stopwatch->text() >= paused, qPrintable(stopwatch->text()));
    click("Reset");
    QVERIFY(tick());
    QCOMPARE(stopwatch->text() + find<QPushButton>("Start")->text(), "00:00.0Start");

    QLabel *countdown = find<QLabel>("00:00");
    click("Start timer");
    QVERIFY(tick());
    const QString running = countdown->text();
    QVERIFY(running.startsWith("04:5"));
    find<QLineEdit>("5")->setText("35791395"); // its seconds overflow 32 bits
    QCOMPARE(click("Start timer", { dialogs::messageBox("Enter a positive number of minutes.") }),
        "");
    QVERIFY(tick());
    QVERIFY2(countdown->text() < running, qPrintable(countdown->text())); // it went on
    // Started again while running, it counts from the new length, and ends a tick after 00:00.
    auto *timer = m_page->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    timer->setInterval(2);
    QStringList shown;
    connect(timer, &QTimer::timeout, this, [&] { shown << countdown->text(); });
    find<QLineEdit>("35791395")->setText("1");
    click("Start timer");
    QTRY_VERIFY(shown.contains("Time's up!"));
    QCOMPARE(shown.mid(0, 1) + shown.mid(59, 2), QStringList({ "00:59", "00:00", "Time's up!" }));
}

void tst_ClockSuite::alarmsRingFromTheTickOneBoxAtATime()
{
    QPushButton *pin = addWorldClock("Home", 2);
    QTRY_VERIFY_WITH_TIMEOUT(QTime::currentTime().second() < 55, 10000); // clear of the minute's end
    const QTime next = QTime::currentTime().addSecs(60);
    for (const auto &[minutes, label] : { std::pair(0, "first"), std::pair(0, ""),
             std::pair(0, "switched off"), std::pair(1, "later") }) {
        m_page->findChild<QTimeEdit *>()->setTime(next.addSecs(60 * minutes));
        find<QLineEdit>("What's this alarm for?")->setText(label);
        click("+ New alarm");
    }
    auto *list = m_page->findChild<QListWidget *>();
    QCOMPARE(list->item(0)->text(), next.toString("HH:mm") + "  \u2014  first");
    list->item(2)->setCheckState(Qt::Unchecked);

    // The clock moves a minute on: the next tick rings that minute's alarms in list order, one
    // box at a time. The clock label is set before the first box, the world clock after it.
    QLabel *clock = m_page->findChild<QLabel *>("ClockDisplay");
    QLabel *world = pin->parentWidget()->findChildren<QLabel *>().at(1);
    QStringList seenWhileOpen;
    int rung = 0;
    const auto ring = [&](const QString &text) {
        return dialogs::Step { &QMessageBox::staticMetaObject, text, [&](QWidget *box) {
                                  seenWhileOpen << clock->text().left(1) + world->text().left(1);
                                  ++rung;
                                  static_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
                              } };
    };
    const auto moveClock = [&](int minutes, int boxes) {
        clock->setText("x");
        world->setText("x");
        setZoneAhead(minutes);
        QVERIFY(QTest::qWaitFor([&] { return rung == boxes; }, 5000));
    };
    QCOMPARE(dialogs::runWithDialogs([&] { moveClock(1, 2); }, { ring("first"), ring("Alarm") }),
        "");
    QCOMPARE(seenWhileOpen.first().at(1), 'x');
    QVERIFY(seenWhileOpen.first().at(0) != 'x');
    QVERIFY(world->text() != "x");
    QCOMPARE(dialogs::runWithDialogs([&] { moveClock(2, 3); }, { ring("later") }), "");
    // Rung today: not again.
    QCOMPARE(dialogs::runWithDialogs([&] { QVERIFY(tick() && tick()); }), "");
}

QTEST_MAIN(tst_ClockSuite)
#include "tst_clocksuite.moc"
