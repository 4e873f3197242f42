#include "tools/days/countdownformat.h"

#include <QtTest>

#include <ctime>
#include <limits>

class tst_DaysCountdown : public QObject
{
    Q_OBJECT

private slots:
    void formatsAcrossZeroAndLargeSpans();
    void countsElapsedTimeAcrossDaylightSaving();
};

void tst_DaysCountdown::formatsAcrossZeroAndLargeSpans()
{
    const QDateTime now(QDate(2025, 6, 1), QTime(12, 0, 0, 250), Qt::UTC);
    const auto to = [&now](const QDateTime &target) {
        return formatCountdownTo(now, target, "ago");
    };
    QCOMPARE(to(now), "0d 00:00:00");
    QCOMPARE(to(now.addMSecs(-999)), "0d 00:00:00"); // under a second past is still now
    QCOMPARE(to(now.addMSecs(-1500)), "0d 00:00:01 ago");
    QCOMPARE(to(now.addSecs(86400 + 3600 + 60 + 1)), "1d 01:01:01");
    QCOMPARE(to(now.addYears(3)), "1096d 00:00:00"); // over a leap day
    QCOMPARE(to(now.addYears(-3)), "1096d 00:00:00 ago");
    // The most negative count has no signed magnitude.
    QCOMPARE(formatCountdown(std::numeric_limits<qint64>::min(), "ago"),
        "106751991167300d 15:30:08 ago");
}

// Noon the day before to noon the day after each change of offset, counted as the page does
// from local date-times with TZ set to the zone (and left so: the other test works in UTC).
void tst_DaysCountdown::countsElapsedTimeAcrossDaylightSaving()
{
    const QTimeZone zone("Europe/Berlin");
    qputenv("TZ", zone.id());
    tzset();
    QDateTime change(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC);
    for (const char *elapsed : { "1d 23:00:00", "2d 01:00:00" }) { // clocks forward, then back
        change = zone.nextTransition(change).atUtc;
        const QDate day = change.toTimeZone(zone).date();
        const QDateTime from(day.addDays(-1), QTime(12, 0));
        const QDateTime to(day.addDays(1), QTime(12, 0));
        QCOMPARE(from.offsetFromUtc(), zone.offsetFromUtc(from)); // local time is the zone's
        QCOMPARE(formatCountdownTo(from, to, "ago"), elapsed);
        QCOMPARE(formatCountdownTo(to, from, "ago"), elapsed + QString(" ago"));
    }
}

QTEST_GUILESS_MAIN(tst_DaysCountdown)
#include "tst_dayscountdown.moc"
