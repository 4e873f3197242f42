#include "common/floatingwidget.h"
#include "tools/clock/clockformat.h"
#include "tools/clock/clocksuitepage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>
#include <QTimeZone>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <utility>

namespace {

// A zone with daylight saving, set for the whole process before the application starts.
constexpr char localZoneId[] = "America/New_York";

// Answers every message box the page opens with Ok, recording "title: text" and how many boxes
// were open, so a box that should not appear fails the test instead of hanging it. whileOpen
// runs once, from its own timer, while the first box is still open: that is where a nested
// tick would run.
class BoxAnswerer : public QObject
{
public:
    explicit BoxAnswerer(std::function<void()> whileOpen = {})
        : m_whileOpen(std::move(whileOpen))
    {
        connect(&m_poll, &QTimer::timeout, this, &BoxAnswerer::poll);
        m_poll.start(10);
    }

    QStringList seen;
    QList<int> openBoxes;

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || box == m_hookBox) {
            return;
        }
        if (!box->property("answererSeen").toBool()) {
            box->setProperty("answererSeen", true);
            seen << box->windowTitle() + QStringLiteral(": ") + box->text();
            const QWidgetList windows = QApplication::topLevelWidgets();
            openBoxes << int(std::count_if(windows.cbegin(), windows.cend(),
                [](QWidget *w) { return qobject_cast<QMessageBox *>(w) && w->isVisible(); }));
            if (m_whileOpen) {
                m_hookBox = box;
                QTimer::singleShot(0, this, [this] {
                    std::exchange(m_whileOpen, {})();
                    m_hookBox = nullptr;
                });
                return;
            }
        }
        box->button(QMessageBox::Ok)->click();
    }

    QTimer m_poll;
    std::function<void()> m_whileOpen;
    QPointer<QMessageBox> m_hookBox;
};

// Whether shown is the zone's wall-clock time at some second from before to after (both UTC),
// computed from the zone's offset rather than the page's own code path.
bool showsZoneTime(
    const QString &shown, const QTimeZone &zone, const QDateTime &before, const QDateTime &after)
{
    for (QDateTime t = before; t <= after.addSecs(1); t = t.addSecs(1)) {
        if (shown == t.addSecs(zone.offsetFromUtc(t)).time().toString(QStringLiteral("HH:mm:ss"))) {
            return true;
        }
    }
    return false;
}

QPushButton *buttonNamed(QWidget *parent, const QString &text)
{
    const QList<QPushButton *> buttons = parent->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

// Ticks are driven by the tests; the page's own timer would add ticks at random moments.
struct QuietPage : ClockSuitePage
{
    QuietPage() { findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->stop(); }
};

} // namespace

class tst_ClockSuitePage : public QObject
{
    Q_OBJECT

private slots:
    void floatingClockClosedByCrossIsForgotten();
    void worldClocksShowTheirZoneTime();
    void unavailableZoneIsRefused();
    void floatingWorldClockClosedByCrossIsForgotten();
    void stopwatchPausesResumesAndResets();
    void countdownRestartsAndEnds();
    void countdownRefusalKeepsRunningCountdown();
    void alarmRingsOnceInItsMinute_data();
    void alarmRingsOnceInItsMinute();
    void alarmsRingOneBoxAtATimeInListOrder_data();
    void alarmsRingOneBoxAtATimeInListOrder();
    void switchingAlarmsOffAndOn();
    void tickRunsItsStepsInOrder();

private:
    static void addAlarm(ClockSuitePage &page, const QTime &time, const QString &label)
    {
        page.m_alarmTimeEdit->setTime(time);
        page.m_alarmLabelEdit->setText(label);
        buttonNamed(&page, QStringLiteral("+ New alarm"))->click();
    }
    static void addWorldClock(ClockSuitePage &page, const QString &city, const QString &zoneName)
    {
        page.m_cityEdit->setText(city);
        page.m_zoneCombo->setCurrentIndex(page.m_zoneCombo->findText(zoneName));
        buttonNamed(&page, QStringLiteral("+ Add clock"))->click();
    }
    static QPushButton *pinOfRow(ClockSuitePage &page, int row)
    {
        return page.m_worldClocks.at(row).timeLabel->parentWidget()->findChild<QPushButton *>();
    }
    static QDateTime todayAt(const QTime &time) { return QDateTime(QDate::currentDate(), time); }
};

void tst_ClockSuitePage::floatingClockClosedByCrossIsForgotten()
{
    QuietPage page;
    page.m_keepFloatingCheck->setChecked(true);
    const QPointer<FloatingWidget> first = page.m_floatingClock;
    QVERIFY(first && first->isVisible());

    first->findChild<QPushButton *>(QStringLiteral("FloatingCloseButton"))->click();
    QVERIFY(!first->isVisible());
    QCOMPARE(page.m_floatingClock, nullptr);
    QCOMPARE(page.m_floatingClockLabel, nullptr);
    QVERIFY(!page.m_keepFloatingCheck->isChecked());

    page.m_keepFloatingCheck->setChecked(true);
    QVERIFY(page.m_floatingClock && page.m_floatingClock != first);
    QVERIFY(page.m_floatingClock->isVisible());
}

void tst_ClockSuitePage::worldClocksShowTheirZoneTime()
{
    QuietPage page;
    addWorldClock(page, QStringLiteral("   "), QStringLiteral("Sydney"));
    addWorldClock(page, QStringLiteral("  My office \t"), QStringLiteral("Mumbai"));
    const QDateTime before = QDateTime::currentDateTimeUtc();
    page.tick();
    const QDateTime after = QDateTime::currentDateTimeUtc();

    const QStringList cities { QStringLiteral("Sydney"), QStringLiteral("My office") };
    const QList<QByteArray> zones { "Australia/Sydney", "Asia/Kolkata" };
    QCOMPARE(page.m_worldClocks.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const WorldClock &clock = page.m_worldClocks.at(i);
        QCOMPARE(clock.city, cities.at(i));
        QCOMPARE(clock.zone.id(), zones.at(i));
        const QString shown = clock.timeLabel->text();
        QVERIFY2(showsZoneTime(shown, QTimeZone(zones.at(i)), before, after), qPrintable(shown));
    }
}

void tst_ClockSuitePage::unavailableZoneIsRefused()
{
    QuietPage page;
    // As if the system's zone data lacked one of the offered zones.
    page.m_zoneCombo->setItemData(0, QStringLiteral("Nowhere/Atlantis"), Qt::UserRole);
    page.m_zoneCombo->setCurrentIndex(0);
    page.m_cityEdit->setText(QStringLiteral("Atlantis"));

    BoxAnswerer answerer;
    buttonNamed(&page, QStringLiteral("+ Add clock"))->click();
    QCOMPARE(answerer.seen,
        QStringList { QStringLiteral("mirvale: That timezone isn't available on this system.") });
    QVERIFY(page.m_worldClockHost->findChildren<QWidget *>().isEmpty());
    QCOMPARE(page.m_cityEdit->text(), QStringLiteral("Atlantis"));
}

void tst_ClockSuitePage::floatingWorldClockClosedByCrossIsForgotten()
{
    QuietPage page;
    addWorldClock(page, QStringLiteral("Home"), QStringLiteral("London"));
    QPushButton *pin = pinOfRow(page, 0);
    pin->click();
    const QPointer<FloatingWidget> first =
        page.m_floatingZoneClocks.value(QStringLiteral("Home")).card;
    QVERIFY(first && first->isVisible());

    first->findChild<QPushButton *>(QStringLiteral("FloatingCloseButton"))->click();
    QVERIFY(!first->isVisible());
    QVERIFY(page.m_floatingZoneClocks.isEmpty());

    // The pin still shows checked: its next click unchecks it, the one after opens a new card.
    pin->click();
    QVERIFY(page.m_floatingZoneClocks.isEmpty());
    pin->click();
    FloatingWidget *second = page.m_floatingZoneClocks.value(QStringLiteral("Home")).card;
    QVERIFY(second && second != first);
    QVERIFY(second->isVisible());
}

void tst_ClockSuitePage::stopwatchPausesResumesAndResets()
{
    QuietPage page;
    QLabel *shown = page.m_stopwatchLabel;
    page.m_stopwatchButton->click();
    QTRY_VERIFY((page.tick(), shown->text() != QStringLiteral("00:00.0")));

    page.m_stopwatchButton->click();
    const QString paused = shown->text();
    page.tick();
    QCOMPARE(shown->text(), paused);

    // Resumed, it goes on from the time it had, not from zero.
    const qint64 accumulated = page.m_stopwatchAccumulatedMs;
    page.m_stopwatchButton->click();
    page.tick();
    QVERIFY2(shown->text() >= stopwatchText(accumulated), qPrintable(shown->text()));

    buttonNamed(&page, QStringLiteral("Reset"))->click();
    page.tick();
    QCOMPARE(shown->text(), QStringLiteral("00:00.0"));
}

void tst_ClockSuitePage::countdownRestartsAndEnds()
{
    QuietPage page;
    QPushButton *start = buttonNamed(&page, QStringLiteral("Start timer"));
    page.m_timerMinutesEdit->setText(QStringLiteral("120"));
    start->click();
    page.tick();
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("119:59"));

    // Started again while running: it counts from the new value, and ends a tick after 00:00.
    page.m_timerMinutesEdit->setText(QStringLiteral("1"));
    start->click();
    QStringList shown;
    for (int i = 0; i < 62; ++i) {
        page.tick();
        shown << page.m_timerLabel->text();
    }
    QCOMPARE(shown.first(), QStringLiteral("00:59"));
    QCOMPARE(shown.at(59), QStringLiteral("00:00"));
    QCOMPARE(shown.mid(60), QStringList(2, QStringLiteral("Time's up!")));
}

void tst_ClockSuitePage::countdownRefusalKeepsRunningCountdown()
{
    QuietPage page;
    QPushButton *start = buttonNamed(&page, QStringLiteral("Start timer"));
    start->click();
    page.tick();

    // Minutes whose seconds overflow 32 bits, which the parsing refuses like any bad text.
    page.m_timerMinutesEdit->setText(QStringLiteral("35791395"));
    BoxAnswerer answerer;
    start->click();
    QCOMPARE(answerer.seen,
        QStringList { QStringLiteral("mirvale: Enter a positive number of minutes.") });
    page.tick();
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("04:58"));
    QCOMPARE(page.m_timerMinutesEdit->text(), QStringLiteral("35791395"));
}

void tst_ClockSuitePage::alarmRingsOnceInItsMinute_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QTime>("firstCheck");
    QTest::addColumn<QString>("shown");
    QTest::addRow("second 0, labelled") << "Gym" << QTime(7, 0) << QTime(7, 0, 0) << "Alarm: Gym";
    QTest::addRow("second 0 skipped, no label")
        << "" << QTime(7, 0) << QTime(7, 0, 2) << "Alarm: Alarm";
    QTest::addRow("second 0 skipped after midnight, rang yesterday")
        << "Midnight" << QTime(0, 0) << QTime(0, 0, 1) << "Alarm: Midnight";
}

void tst_ClockSuitePage::alarmRingsOnceInItsMinute()
{
    QFETCH(QString, label);
    QFETCH(QTime, time);
    QFETCH(QTime, firstCheck);
    QFETCH(QString, shown);
    QuietPage page;
    addAlarm(page, time, label);
    // The last check came in the second before the alarm's minute; if that was yesterday, the
    // alarm rang yesterday.
    const QDateTime previous = todayAt(time).addSecs(-1);
    page.m_alarmDate = previous.date();
    page.m_alarms.first().firedToday = previous.date() < QDate::currentDate();
    page.m_lastAlarmCheck = previous;

    BoxAnswerer answerer;
    page.checkAlarms(firstCheck);
    page.checkAlarms(firstCheck.addSecs(1));
    QCOMPARE(answerer.seen, QStringList { shown });
}

void tst_ClockSuitePage::alarmsRingOneBoxAtATimeInListOrder_data()
{
    QTest::addColumn<QTime>("nestedTick");
    QTest::addColumn<QStringList>("rung");
    QTest::addColumn<QList<int>>("openBoxes");
    QTest::addRow("next second: the second alarm waits for the first box")
        << QTime(7, 0, 1) << QStringList { "Alarm: first", "Alarm: second" } << QList<int> { 1, 1 };
    QTest::addRow("next minute: its alarm rings above the first box")
        << QTime(7, 1, 1) << QStringList { "Alarm: first", "Alarm: later", "Alarm: second" }
        << QList<int> { 1, 2, 1 };
}

void tst_ClockSuitePage::alarmsRingOneBoxAtATimeInListOrder()
{
    QFETCH(QTime, nestedTick);
    QFETCH(QStringList, rung);
    QFETCH(QList<int>, openBoxes);
    QuietPage page;
    addAlarm(page, QTime(7, 0), QStringLiteral("first"));
    addAlarm(page, QTime(7, 0), QStringLiteral("second"));
    addAlarm(page, QTime(7, 1), QStringLiteral("later"));
    page.m_lastAlarmCheck = todayAt(QTime(6, 59, 59));

    // The nested tick runs while the first box is open, as the page's timer would.
    BoxAnswerer answerer([&page, nestedTick] { page.checkAlarms(nestedTick); });
    page.checkAlarms(QTime(7, 0, 0));
    QCOMPARE(answerer.seen, rung);
    QCOMPARE(answerer.openBoxes, openBoxes);
}

void tst_ClockSuitePage::switchingAlarmsOffAndOn()
{
    QuietPage page;
    addAlarm(page, QTime(7, 0), QStringLiteral("Gym"));
    addAlarm(page, QTime(7, 0), QStringLiteral("Run"));
    QListWidgetItem *gym = page.m_alarmList->item(0);
    QListWidgetItem *run = page.m_alarmList->item(1);

    // Gym off and on again before its minute rings; Run switched off stays quiet.
    BoxAnswerer answerer;
    gym->setCheckState(Qt::Unchecked);
    page.checkAlarms(QTime(6, 59, 30));
    gym->setCheckState(Qt::Checked);
    run->setCheckState(Qt::Unchecked);
    page.checkAlarms(QTime(7, 0, 1));
    QCOMPARE(answerer.seen, QStringList { QStringLiteral("Alarm: Gym") });

    // Run on again inside its minute, past second 0: it waits for tomorrow.
    run->setCheckState(Qt::Checked);
    page.checkAlarms(QTime(7, 0, 30));
    // Gym off and on again after ringing: still once a day, even on a fresh second 0.
    run->setCheckState(Qt::Unchecked);
    gym->setCheckState(Qt::Unchecked);
    gym->setCheckState(Qt::Checked);
    page.m_lastAlarmCheck = todayAt(QTime(6, 59, 59));
    page.checkAlarms(QTime(7, 0, 0));
    QCOMPARE(answerer.seen.size(), 1);
}

void tst_ClockSuitePage::tickRunsItsStepsInOrder()
{
    QuietPage page;
    page.m_keepFloatingCheck->setChecked(true);
    addWorldClock(page, QStringLiteral("Home"), QStringLiteral("London"));
    pinOfRow(page, 0)->click();
    page.m_stopwatchButton->click();
    buttonNamed(&page, QStringLiteral("Start timer"))->click();
    page.tick();

    // The alarm rings in the real current minute, so keep clear of its end.
    QTRY_VERIFY_WITH_TIMEOUT(QTime::currentTime().second() < 58, 5000);
    const QTime now = QTime::currentTime();
    const QTime minute(now.hour(), now.minute());
    addAlarm(page, minute, QStringLiteral("order"));
    page.m_lastAlarmCheck = todayAt(minute).addSecs(-1);

    QLabel *const labels[] = { page.m_clockLabel, page.m_dateLabel, page.m_floatingClockLabel,
        page.m_worldClocks.first().timeLabel, page.m_floatingZoneClocks.first().label,
        page.m_stopwatchLabel, page.m_timerLabel };
    for (QLabel *label : labels) {
        label->setText(QStringLiteral("x"));
    }
    QStringList whileOpen;
    BoxAnswerer answerer([&] {
        for (QLabel *label : labels) {
            whileOpen << label->text();
        }
    });
    const QDateTime before = QDateTime::currentDateTimeUtc();
    page.tick();
    const QDateTime after = QDateTime::currentDateTimeUtc();

    QCOMPARE(answerer.seen, QStringList { QStringLiteral("Alarm: order") });
    // Clock, date and floating clock come before the alarms; world clocks, stopwatch and
    // countdown wait for the box.
    QCOMPARE(whileOpen.size(), 7);
    for (int i = 0; i < 7; ++i) {
        QVERIFY2((whileOpen.at(i) == QStringLiteral("x")) == (i >= 3), qPrintable(whileOpen.at(i)));
        QVERIFY(labels[i]->text() != QStringLiteral("x"));
    }
    // The local clock follows the process's daylight-saving zone; the floating cards their rows.
    QVERIFY2(showsZoneTime(page.m_clockLabel->text(), QTimeZone(localZoneId), before, after),
        qPrintable(page.m_clockLabel->text()));
    QCOMPARE(page.m_floatingClockLabel->text(), page.m_clockLabel->text());
    QCOMPARE(page.m_floatingZoneClocks.first().label->text(), labels[3]->text());
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("04:58"));
}

int main(int argc, char *argv[])
{
    qputenv("TZ", localZoneId);
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    tst_ClockSuitePage test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_clocksuitepage.moc"
