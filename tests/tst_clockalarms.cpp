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
    void due_data();
    void due();
    void ringOncePerDayInListOrder();
};

void tst_ClockAlarms::due_data()
{
    QTest::addColumn<Alarm>("alarm");
    QTest::addColumn<QDateTime>("previous");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<bool>("due");

    const Alarm seven = makeAlarm(QTime(7, 0));
    QTest::addRow("second 0") << seven << at(6, 59, 59) << at(7, 0, 0) << true;
    QTest::addRow("second 0 skipped") << seven << at(6, 58, 10) << at(7, 0, 59) << true;
    QTest::addRow("first check, second 0") << seven << QDateTime() << at(7, 0, 0) << true;
    QTest::addRow("first check, past second 0") << seven << QDateTime() << at(7, 0, 1) << false;
    QTest::addRow("checked earlier in the minute") << seven << at(7, 0, 0) << at(7, 0, 1) << false;
    QTest::addRow("other hour") << seven << at(18, 59, 59) << at(19, 0, 0) << false;
    QTest::addRow("alarm's seconds ignored")
        << makeAlarm(QTime(7, 0, 45)) << at(6, 59, 59) << at(7, 0, 0) << true;
    QTest::addRow("already rang today")
        << makeAlarm(QTime(7, 0), true, true) << at(6, 59, 59) << at(7, 0, 0) << false;
    QTest::addRow("midnight, second 0 skipped")
        << makeAlarm(QTime(0, 0)) << at(23, 59, 59, today.addDays(-1)) << at(0, 0, 2) << true;
}

void tst_ClockAlarms::due()
{
    QFETCH(Alarm, alarm);
    QFETCH(QDateTime, previous);
    QFETCH(QDateTime, now);
    QFETCH(bool, due);
    QCOMPARE(isAlarmDue(alarm, previous, now), due);
}

void tst_ClockAlarms::ringOncePerDayInListOrder()
{
    // A check every second over two days, each second 0 skipped as a busy thread might, run
    // the way the page runs them.
    QList<Alarm> alarms { makeAlarm(QTime(0, 0)), makeAlarm(QTime(23, 59)),
        makeAlarm(QTime(0, 0), false), makeAlarm(QTime(0, 0)) };
    QDate remembered;
    QDateTime previous;
    QStringList rings;
    for (QDateTime now = at(23, 58, 0); now < at(0, 1, 0, today.addDays(2));
         now = now.addSecs(now.time().second() == 59 ? 2 : 1)) {
        resetAlarmsOnNewDate(alarms, remembered, now.date());
        for (const int index : dueAlarms(alarms, previous, now)) {
            alarms[index].firedToday = true;
            rings << now.toString(QStringLiteral("d HH:mm #")) + QString::number(index);
        }
        previous = now;
    }
    const QStringList expected { "10 23:59 #1", "11 00:00 #0", "11 00:00 #3", "11 23:59 #1",
        "12 00:00 #0", "12 00:00 #3" };
    QCOMPARE(rings, expected);
}

QTEST_GUILESS_MAIN(tst_ClockAlarms)
#include "tst_clockalarms.moc"
