#include "tools/clock/alarms.h"
#include "tools/clock/clockformat.h"

#include <QDateTime>
#include <QTest>
#include <QTimeZone>

namespace {

const QDate today(2024, 6, 10);

Alarm alarm(const QTime &time, bool enabled = true, bool firedToday = false)
{
    return Alarm { time, QString(), enabled, firedToday };
}

QDateTime at(int hour, int minute, int second, const QDate &date = today)
{
    return QDateTime(date, QTime(hour, minute, second));
}

} // namespace

class tst_ClockFormat : public QObject
{
    Q_OBJECT

private slots:
    void formatsTexts();
    void parsesAndStepsCountdown();
    void zonesAndDaylightSaving();
    void alarmsRingOncePerDayInListOrder();
};

void tst_ClockFormat::formatsTexts()
{
    QCOMPARE(clockText(QTime(7, 5, 9)), "07:05:09");
    QCOMPARE(clockText(QTime(13, 45, 30, 999)), "13:45:30");
    QCOMPARE(dateText(QDate(2024, 3, 5)), "Tuesday, March 5");
    QCOMPARE(stopwatchText(0), "00:00.0");
    QCOMPARE(stopwatchText(3299), "00:03.2"); // tenths truncated
    QCOMPARE(stopwatchText(3723400), "02:03.4"); // hours not shown
    QCOMPARE(countdownText(299), "04:59");
    QCOMPARE(countdownText(119 * 60 + 59), "119:59");
}

void tst_ClockFormat::parsesAndStepsCountdown()
{
    QCOMPARE(countdownSecondsFromMinutes("5"), 300);
    QCOMPARE(countdownSecondsFromMinutes("35791394"), 2147483640); // the most 32 bits hold
    for (const char *refused :
        { "", "0", "-3", "5min", "35791395", "9223372036854775807", "99999999999999999999" }) {
        QVERIFY2(!countdownSecondsFromMinutes(refused), refused);
    }
    QCOMPARE(countdownAfterTick(1), 0);
    QCOMPARE(countdownAfterTick(0), std::nullopt); // ends on the tick after 00:00
}

void tst_ClockFormat::zonesAndDaylightSaving()
{
    QCOMPARE(zoneForId("Nowhere/Atlantis"), std::nullopt);
    QCOMPARE(zoneForId(QString()), std::nullopt); // not the system's zone
    for (const ZoneChoice &choice : commonZones) {
        QCOMPARE(zoneForId(choice.ianaId).value_or(QTimeZone()).id(), choice.ianaId);
    }
    const QDateTime january(QDate(2024, 1, 15), QTime(12, 34, 56), Qt::UTC);
    for (const QByteArray id : { "America/New_York", "Australia/Sydney" }) {
        const QTimeZone zone(id);
        QVERIFY(zone.isDaylightTime(january) != zone.isDaylightTime(january.addMonths(6)));
        for (const QDateTime &utc : { january, january.addMonths(6) }) {
            const QDateTime wall = utc.addSecs(zone.offsetFromUtc(utc));
            QCOMPARE(zoneTimeText(utc, zone), wall.time().toString("HH:mm:ss"));
        }
    }
}

// Alarms ring in their own minute, once a day, in list order, even when ticks skip second 0.
void tst_ClockFormat::alarmsRingOncePerDayInListOrder()
{
    // The very first check rings only at second 0; the alarm's own seconds do not count.
    QVERIFY(isAlarmDue(alarm(QTime(7, 0, 45)), {}, at(7, 0, 0)));
    QVERIFY(!isAlarmDue(alarm(QTime(7, 0)), {}, at(7, 0, 1)));
    // A check every second over two days, each second 0 skipped, run the way the page runs them.
    QList<Alarm> alarms { alarm(QTime(0, 0)), alarm(QTime(23, 59)), alarm(QTime(0, 0), false),
        alarm(QTime(0, 0)) };
    QDate remembered;
    QDateTime previous;
    QStringList rings;
    for (QDateTime now = at(23, 58, 0); now < at(0, 1, 0, today.addDays(2));
         now = now.addSecs(now.time().second() == 59 ? 2 : 1)) {
        resetAlarmsOnNewDate(alarms, remembered, now.date());
        for (const int index : dueAlarms(alarms, previous, now)) {
            alarms[index].firedToday = true;
            rings << now.toString("d HH:mm #") + QString::number(index);
        }
        previous = now;
    }
    QCOMPARE(rings,
        (QStringList { "10 23:59 #1", "11 00:00 #0", "11 00:00 #3", "11 23:59 #1", "12 00:00 #0",
            "12 00:00 #3" }));
}

QTEST_GUILESS_MAIN(tst_ClockFormat)
#include "tst_clockformat.moc"
