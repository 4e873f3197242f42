#include "tools/clock/clockformat.h"

#include <QDate>
#include <QDateTime>
#include <QTest>
#include <QTime>
#include <QTimeZone>

class tst_ClockFormat : public QObject
{
    Q_OBJECT

private slots:
    void formatsTexts_data();
    void formatsTexts();
    void parsesCountdownMinutes_data();
    void parsesCountdownMinutes();
    void countdownEndsOneTickAfterZero();
    void zoneTimeFollowsDaylightSaving_data();
    void zoneTimeFollowsDaylightSaving();
    void looksUpZonesById();
};

void tst_ClockFormat::formatsTexts_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    QTest::addRow("clock pads to HH:mm:ss") << clockText(QTime(7, 5, 9)) << "07:05:09";
    QTest::addRow("clock is 24-hour") << clockText(QTime(13, 45, 30, 999)) << "13:45:30";
    QTest::addRow("date in English") << dateText(QDate(2024, 3, 5)) << "Tuesday, March 5";
    QTest::addRow("stopwatch at zero") << stopwatchText(0) << "00:00.0";
    QTest::addRow("stopwatch truncates tenths") << stopwatchText(3299) << "00:03.2";
    QTest::addRow("stopwatch minutes wrap at the hour") << stopwatchText(3723400) << "02:03.4";
    QTest::addRow("countdown") << countdownText(299) << "04:59";
    QTest::addRow("countdown minutes past two digits") << countdownText(119 * 60 + 59) << "119:59";
}

void tst_ClockFormat::formatsTexts()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void tst_ClockFormat::parsesCountdownMinutes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds"); // 0: refused
    QTest::addRow("five") << "5" << 300;
    QTest::addRow("largest that fits") << "35791394" << 2147483640;
    QTest::addRow("empty") << "" << 0;
    QTest::addRow("zero") << "0" << 0;
    QTest::addRow("negative") << "-3" << 0;
    QTest::addRow("not a whole number") << "5min" << 0;
    QTest::addRow("seconds overflow 32 bits") << "35791395" << 0;
    QTest::addRow("seconds overflow 64 bits") << "9223372036854775807" << 0;
    QTest::addRow("minutes overflow 64 bits") << "99999999999999999999" << 0;
}

void tst_ClockFormat::parsesCountdownMinutes()
{
    QFETCH(QString, text);
    QFETCH(int, seconds);
    QCOMPARE(countdownSecondsFromMinutes(text).value_or(0), seconds);
}

void tst_ClockFormat::countdownEndsOneTickAfterZero()
{
    QCOMPARE(countdownAfterTick(60), 59);
    QCOMPARE(countdownAfterTick(1), 0);
    QCOMPARE(countdownAfterTick(0), std::nullopt);
    QCOMPARE(countdownAfterTick(-5), std::nullopt);
}

void tst_ClockFormat::zoneTimeFollowsDaylightSaving_data()
{
    QTest::addColumn<QByteArray>("zoneId");
    QTest::addRow("northern summer") << QByteArray("America/New_York");
    QTest::addRow("southern summer") << QByteArray("Australia/Sydney");
}

void tst_ClockFormat::zoneTimeFollowsDaylightSaving()
{
    QFETCH(QByteArray, zoneId);
    const QTimeZone zone(zoneId);
    const QDateTime january(QDate(2024, 1, 15), QTime(12, 34, 56), Qt::UTC);
    const QDateTime july(QDate(2024, 7, 15), QTime(12, 34, 56), Qt::UTC);
    QVERIFY(zone.isDaylightTime(january) != zone.isDaylightTime(july));
    for (const QDateTime &utc : { january, july }) {
        const QDateTime wall = utc.addSecs(zone.offsetFromUtc(utc));
        QCOMPARE(zoneTimeText(utc, zone), wall.time().toString(QStringLiteral("HH:mm:ss")));
    }
}

void tst_ClockFormat::looksUpZonesById()
{
    QCOMPARE(zoneForId(QStringLiteral("Nowhere/Atlantis")), std::nullopt);
    // An empty id must not fall back to the system zone.
    QCOMPARE(zoneForId(QString()), std::nullopt);
    for (const ZoneChoice &choice : commonZones) {
        const std::optional<QTimeZone> zone = zoneForId(QString::fromLatin1(choice.ianaId));
        QVERIFY2(zone, choice.ianaId);
        QCOMPARE(zone->id(), QByteArray(choice.ianaId));
    }
}

QTEST_GUILESS_MAIN(tst_ClockFormat)
#include "tst_clockformat.moc"
