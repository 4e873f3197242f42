#include "tools/clock/alarms.h"

#include <QTest>

Q_DECLARE_METATYPE(Alarm)

namespace {

Alarm makeAlarm(const QTime &time, bool enabled = true, bool firedToday = false)
{
    Alarm alarm;
    alarm.time = time;
    alarm.enabled = enabled;
    alarm.firedToday = firedToday;
    return alarm;
}

const QDate today(2024, 6, 10);

QDateTime at(int hour, int minute, int second, const QDate &date = today)
{
    return QDateTime(date, QTime(hour, minute, second));
}

} // namespace

class tst_ClockAlarms : public QObject
{
    Q_OBJECT

private slots:
    void itemText_data();
    void itemText();
    void due_data();
    void due();
    void alarmsOfOneMinuteRingInListOrder();
    void newDateRearmsEveryAlarm();
    void ringsOncePerDayAcrossMidnight();
};

void tst_ClockAlarms::itemText_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("expected");
    QTest::addRow("with label") << "Gym" << QStringLiteral("07:00  \u2014  Gym");
    QTest::addRow("empty label") << ""
                                 << "07:00";
    QTest::addRow("spaces are a label") << "  " << QStringLiteral("07:00  \u2014    ");
}

void tst_ClockAlarms::itemText()
{
    QFETCH(QString, label);
    QFETCH(QString, expected);
    Alarm alarm = makeAlarm(QTime(7, 0, 0));
    alarm.label = label;
    QCOMPARE(alarmItemText(alarm), expected);
}

void tst_ClockAlarms::due_data()
{
    QTest::addColumn<Alarm>("alarm");
    QTest::addColumn<QDateTime>("previous");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<bool>("due");

    const Alarm seven = makeAlarm(QTime(7, 0, 0));
    QTest::addRow("second 0") << seven << at(6, 59, 59) << at(7, 0, 0) << true;
    QTest::addRow("second 0 skipped") << seven << at(6, 59, 59) << at(7, 0, 1) << true;
    QTest::addRow("late in the minute after a long stall")
        << seven << at(6, 58, 10) << at(7, 0, 59) << true;
    QTest::addRow("second 0 without any previous check")
        << seven << QDateTime() << at(7, 0, 0) << true;
    QTest::addRow("first check ever, past second 0")
        << seven << QDateTime() << at(7, 0, 1) << false;
    QTest::addRow("previous check inside the minute")
        << seven << at(7, 0, 0) << at(7, 0, 1) << false;
    QTest::addRow("added after second 0") << seven << at(7, 0, 29) << at(7, 0, 30) << false;
    QTest::addRow("minute before") << seven << at(6, 59, 58) << at(6, 59, 59) << false;
    QTest::addRow("minute after") << seven << at(7, 0, 59) << at(7, 1, 0) << false;
    QTest::addRow("other hour, same minute") << seven << at(18, 59, 59) << at(19, 0, 0) << false;
    QTest::addRow("seconds of the alarm time are ignored")
        << makeAlarm(QTime(7, 0, 45)) << at(6, 59, 59) << at(7, 0, 0) << true;
    QTest::addRow("switched off") << makeAlarm(QTime(7, 0), false) << at(6, 59, 59) << at(7, 0, 0)
                                  << false;
    QTest::addRow("already rang today")
        << makeAlarm(QTime(7, 0), true, true) << at(6, 59, 59) << at(7, 0, 0) << false;
    QTest::addRow("midnight, second 0 skipped")
        << makeAlarm(QTime(0, 0)) << at(23, 59, 59, today.addDays(-1)) << at(0, 0, 2) << true;
    QTest::addRow("previous check days ago")
        << seven << at(7, 0, 30, today.addDays(-3)) << at(7, 0, 30) << true;
    QTest::addRow("clock set back into the minute") << seven << at(7, 5, 0) << at(7, 0, 1) << false;
    QTest::addRow("clock set back onto second 0") << seven << at(7, 5, 0) << at(7, 0, 0) << true;
}

void tst_ClockAlarms::due()
{
    QFETCH(Alarm, alarm);
    QFETCH(QDateTime, previous);
    QFETCH(QDateTime, now);
    QFETCH(bool, due);
    QCOMPARE(isAlarmDue(alarm, previous, now), due);
}

void tst_ClockAlarms::alarmsOfOneMinuteRingInListOrder()
{
    const QList<Alarm> alarms { makeAlarm(QTime(7, 0)), makeAlarm(QTime(6, 0)),
        makeAlarm(QTime(7, 0), false), makeAlarm(QTime(7, 0)), makeAlarm(QTime(7, 0), true, true),
        makeAlarm(QTime(7, 1)) };
    QCOMPARE(dueAlarms(alarms, at(6, 59, 59), at(7, 0, 3)), (QList<int> { 0, 3 }));
    QCOMPARE(dueAlarms(alarms, at(7, 0, 3), at(7, 0, 4)), QList<int>());
    QCOMPARE(dueAlarms(alarms, at(7, 0, 59), at(7, 1, 0)), QList<int> { 5 });
}

void tst_ClockAlarms::newDateRearmsEveryAlarm()
{
    QList<Alarm> alarms { makeAlarm(QTime(7, 0), true, true), makeAlarm(QTime(8, 0), false, true),
        makeAlarm(QTime(9, 0)) };
    QDate remembered;
    QVERIFY(resetAlarmsOnNewDate(alarms, remembered, today));
    QCOMPARE(remembered, today);
    for (const Alarm &alarm : std::as_const(alarms)) {
        QVERIFY(!alarm.firedToday);
    }
    QCOMPARE(alarms.at(1).enabled, false);

    alarms[0].firedToday = true;
    QVERIFY(!resetAlarmsOnNewDate(alarms, remembered, today));
    QVERIFY(alarms.at(0).firedToday);
    QVERIFY(resetAlarmsOnNewDate(alarms, remembered, today.addDays(1)));
    QVERIFY(!alarms.at(0).firedToday);
}

void tst_ClockAlarms::ringsOncePerDayAcrossMidnight()
{
    // Checks once a second over two days, with every tick around midnight landing late,
    // as the page would run them.
    QList<Alarm> alarms { makeAlarm(QTime(0, 0)), makeAlarm(QTime(23, 59)) };
    QDate remembered;
    QDateTime previous;
    QList<QDateTime> rings;
    QDateTime now(today, QTime(23, 58, 0));
    const QDateTime end(today.addDays(2), QTime(0, 1, 0));
    while (now < end) {
        resetAlarmsOnNewDate(alarms, remembered, now.date());
        for (const int index : dueAlarms(alarms, previous, now)) {
            alarms[index].firedToday = true;
            rings << QDateTime(now.date(), alarms.at(index).time);
        }
        previous = now;
        // Skip every second 0, as a busy thread might.
        now = now.addSecs(now.time().second() == 59 ? 2 : 1);
    }
    const QList<QDateTime> expected { at(23, 59, 0), at(0, 0, 0, today.addDays(1)),
        at(23, 59, 0, today.addDays(1)), at(0, 0, 0, today.addDays(2)) };
    QCOMPARE(rings, expected);
}

QTEST_GUILESS_MAIN(tst_ClockAlarms)
#include "tst_clockalarms.moc"
