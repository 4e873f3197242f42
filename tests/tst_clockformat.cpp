#include "tools/clock/clockformat.h"

#include <QDate>
#include <QDateTime>
#include <QTest>
#include <QTime>
#include <QTimeZone>

#include <limits>

class tst_ClockFormat : public QObject
{
    Q_OBJECT

private slots:
    void clockTextIs24HourWithSeconds_data();
    void clockTextIs24HourWithSeconds();
    void dateTextUsesEnglishNames();
    void stopwatchText_data();
    void stopwatchText();
    void countdownText_data();
    void countdownText();
    void countdownMinutes_data();
    void countdownMinutes();
    void countdownRunsOutOneTickAfterZero();
    void zoneTimeFollowsDaylightSaving_data();
    void zoneTimeFollowsDaylightSaving();
    void zoneLookupRefusesUnknownIds();
    void commonZonesAreKnown();
};

void tst_ClockFormat::clockTextIs24HourWithSeconds_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("expected");
    QTest::addRow("midnight") << QTime(0, 0, 0) << "00:00:00";
    QTest::addRow("morning, single digits padded") << QTime(7, 5, 9) << "07:05:09";
    QTest::addRow("afternoon stays 24-hour") << QTime(13, 45, 30, 999) << "13:45:30";
    QTest::addRow("last second") << QTime(23, 59, 59) << "23:59:59";
}

void tst_ClockFormat::clockTextIs24HourWithSeconds()
{
    QFETCH(QTime, time);
    QFETCH(QString, expected);
    QCOMPARE(clockText(time), expected);
}

void tst_ClockFormat::dateTextUsesEnglishNames()
{
    QCOMPARE(dateText(QDate(2024, 3, 5)), QStringLiteral("Tuesday, March 5"));
    QCOMPARE(dateText(QDate(2025, 12, 31)), QStringLiteral("Wednesday, December 31"));
}

void tst_ClockFormat::stopwatchText_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("expected");
    QTest::addRow("zero") << qint64(0) << "00:00.0";
    QTest::addRow("tenths truncate") << qint64(3299) << "00:03.2";
    QTest::addRow("one minute") << qint64(60000) << "01:00.0";
    QTest::addRow("last tenth before the hour") << qint64(3599999) << "59:59.9";
    QTest::addRow("minutes wrap at the hour") << qint64(3600000) << "00:00.0";
    QTest::addRow("1 h 2 min 3.4 s") << qint64(3723400) << "02:03.4";
    QTest::addRow("a month of running") << qint64(31) * 24 * 3600 * 1000 + 61500 << "01:01.5";
}

void tst_ClockFormat::stopwatchText()
{
    QFETCH(qint64, ms);
    QFETCH(QString, expected);
    QCOMPARE(::stopwatchText(ms), expected);
}

void tst_ClockFormat::countdownText_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("expected");
    QTest::addRow("zero") << qint64(0) << "00:00";
    QTest::addRow("seconds only") << qint64(59) << "00:59";
    QTest::addRow("first tick of five minutes") << qint64(299) << "04:59";
    QTest::addRow("99 minutes") << qint64(99 * 60 + 59) << "99:59";
    QTest::addRow("minutes past two digits") << qint64(119 * 60 + 59) << "119:59";
    QTest::addRow("longest countdown")
        << qint64(std::numeric_limits<int>::max() - 7) << "35791394:00";
}

void tst_ClockFormat::countdownText()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, expected);
    QCOMPARE(::countdownText(seconds), expected);
}

void tst_ClockFormat::countdownMinutes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("seconds");
    QTest::addRow("default five") << "5" << true << 300;
    QTest::addRow("one") << "1" << true << 60;
    QTest::addRow("three digits") << "120" << true << 7200;
    QTest::addRow("largest that fits") << "35791394" << true << 2147483640;
    QTest::addRow("empty") << "" << false << 0;
    QTest::addRow("zero") << "0" << false << 0;
    QTest::addRow("negative") << "-3" << false << 0;
    QTest::addRow("decimal") << "1.5" << false << 0;
    QTest::addRow("letters") << "abc" << false << 0;
    QTest::addRow("digits then letters") << "5min" << false << 0;
    QTest::addRow("seconds overflow 32 bits") << "35791395" << false << 0;
    QTest::addRow("largest 32-bit minutes") << "2147483647" << false << 0;
    QTest::addRow("beyond 32-bit minutes") << "99999999999" << false << 0;
    QTest::addRow("beyond 64-bit minutes") << "99999999999999999999" << false << 0;
    QTest::addRow("largest 64-bit minutes") << "9223372036854775807" << false << 0;
}

void tst_ClockFormat::countdownMinutes()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(int, seconds);
    const std::optional<int> result = countdownSecondsFromMinutes(text);
    QCOMPARE(result.has_value(), accepted);
    if (accepted) {
        QCOMPARE(*result, seconds);
    }
}

void tst_ClockFormat::countdownRunsOutOneTickAfterZero()
{
    // One minute: 00:59 on the first tick, 00:00 on the 60th, the end on the 61st.
    std::optional<int> left = countdownSecondsFromMinutes(QStringLiteral("1"));
    QVERIFY(left);
    QStringList shown;
    int ticks = 0;
    while ((left = countdownAfterTick(*left))) {
        ++ticks;
        shown << ::countdownText(*left);
    }
    ++ticks;
    QCOMPARE(ticks, 61);
    QCOMPARE(shown.first(), QStringLiteral("00:59"));
    QCOMPARE(shown.last(), QStringLiteral("00:00"));
    QCOMPARE(countdownAfterTick(-5), std::nullopt);
}

void tst_ClockFormat::zoneTimeFollowsDaylightSaving_data()
{
    QTest::addColumn<QByteArray>("zoneId");
    QTest::addRow("New York") << QByteArray("America/New_York");
    QTest::addRow("London") << QByteArray("Europe/London");
    QTest::addRow("Sydney") << QByteArray("Australia/Sydney");
    QTest::addRow("Jerusalem") << QByteArray("Asia/Jerusalem");
}

void tst_ClockFormat::zoneTimeFollowsDaylightSaving()
{
    QFETCH(QByteArray, zoneId);
    const QTimeZone zone(zoneId);
    QVERIFY(zone.isValid());
    QVERIFY(zone.hasDaylightTime());

    const QDateTime january(QDate(2024, 1, 15), QTime(12, 34, 56), Qt::UTC);
    const QDateTime july(QDate(2024, 7, 15), QTime(12, 34, 56), Qt::UTC);
    // Only one of the two instants is in daylight-saving time, whichever hemisphere.
    QCOMPARE(zone.isDaylightTime(january) != zone.isDaylightTime(july), true);
    for (const QDateTime &utc : { january, july }) {
        const QString expected =
            utc.addSecs(zone.offsetFromUtc(utc)).time().toString(QStringLiteral("HH:mm:ss"));
        QCOMPARE(zoneTimeText(utc, zone), expected);
    }
    QVERIFY(zoneTimeText(january, zone) != zoneTimeText(july, zone));
}

void tst_ClockFormat::zoneLookupRefusesUnknownIds()
{
    QCOMPARE(zoneForId(QStringLiteral("Nowhere/Atlantis")).has_value(), false);
    QCOMPARE(zoneForId(QString()).has_value(), false);
    const std::optional<QTimeZone> kolkata = zoneForId(QStringLiteral("Asia/Kolkata"));
    QVERIFY(kolkata);
    QCOMPARE(kolkata->id(), QByteArray("Asia/Kolkata"));
}

void tst_ClockFormat::commonZonesAreKnown()
{
    for (const ZoneChoice &choice : commonZones) {
        QVERIFY2(zoneForId(QString::fromLatin1(choice.ianaId)), choice.ianaId);
    }
    QCOMPARE(QByteArray(commonZones.at(6).displayName), QByteArray("Mumbai"));
    QCOMPARE(QByteArray(commonZones.at(6).ianaId), QByteArray("Asia/Kolkata"));
}

QTEST_GUILESS_MAIN(tst_ClockFormat)
#include "tst_clockformat.moc"
