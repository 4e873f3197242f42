#include "tools/days/cardgrid.h"
#include "tools/days/countdownformat.h"

#include <QDateTime>
#include <QTimeZone>
#include <QtTest>

#include <ctime>
#include <limits>

namespace {

const QString Ago = QStringLiteral("ago");

// Switches the process's local time zone; Qt reads TZ again on its next local-time conversion.
void setLocalZone(const QByteArray &zone)
{
    if (zone.isNull()) {
        qunsetenv("TZ");
    } else {
        qputenv("TZ", zone);
    }
    tzset();
}

} // namespace

class tst_DaysCountdown : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void formatsSeconds_data();
    void formatsSeconds();
    void truncatesTowardZeroAroundTheTarget_data();
    void truncatesTowardZeroAroundTheTarget();
    void countsWholeCalendarYears_data();
    void countsWholeCalendarYears();
    void countsElapsedTimeAcrossDaylightSaving_data();
    void countsElapsedTimeAcrossDaylightSaving();
    void placesCardsInRowsOfThree_data();
    void placesCardsInRowsOfThree();

private:
    QByteArray m_savedTz;
};

void tst_DaysCountdown::initTestCase()
{
    m_savedTz = qgetenv("TZ");
    if (!qEnvironmentVariableIsSet("TZ")) {
        m_savedTz = QByteArray();
    }
}

void tst_DaysCountdown::cleanup()
{
    setLocalZone(m_savedTz);
}

void tst_DaysCountdown::formatsSeconds_data()
{
    QTest::addColumn<qint64>("secs");
    QTest::addColumn<QString>("text");

    QTest::addRow("exactly now") << qint64(0) << "0d 00:00:00";
    QTest::addRow("one second ahead") << qint64(1) << "0d 00:00:01";
    QTest::addRow("one second past") << qint64(-1) << "0d 00:00:01 ago";
    QTest::addRow("59 seconds") << qint64(59) << "0d 00:00:59";
    QTest::addRow("one minute") << qint64(60) << "0d 00:01:00";
    QTest::addRow("61 seconds past") << qint64(-61) << "0d 00:01:01 ago";
    QTest::addRow("last second of a day") << qint64(86399) << "0d 23:59:59";
    QTest::addRow("one day") << qint64(86400) << "1d 00:00:00";
    QTest::addRow("one day past") << qint64(-86400) << "1d 00:00:00 ago";
    QTest::addRow("every unit once") << qint64(86400 + 3600 + 60 + 1) << "1d 01:01:01";
    QTest::addRow("three years of 365 days") << qint64(3) * 365 * 86400 << "1095d 00:00:00";
    QTest::addRow("three years past") << -qint64(3) * 365 * 86400 - 1 << "1095d 00:00:01 ago";
    QTest::addRow("ten thousand days") << qint64(10000) * 86400 + 45296 << "10000d 12:34:56";
    QTest::addRow("largest span ahead")
        << std::numeric_limits<qint64>::max() << "106751991167300d 15:30:07";
    QTest::addRow("largest span past")
        << std::numeric_limits<qint64>::min() << "106751991167300d 15:30:08 ago";
}

void tst_DaysCountdown::formatsSeconds()
{
    QFETCH(qint64, secs);
    QFETCH(QString, text);
    QCOMPARE(formatCountdown(secs, Ago), text);
}

void tst_DaysCountdown::truncatesTowardZeroAroundTheTarget_data()
{
    QTest::addColumn<qint64>("targetOffsetMs");
    QTest::addColumn<QString>("text");

    QTest::addRow("target reached") << qint64(0) << "0d 00:00:00";
    QTest::addRow("under a second ahead") << qint64(999) << "0d 00:00:00";
    QTest::addRow("under a second past") << qint64(-999) << "0d 00:00:00";
    QTest::addRow("1.5 seconds ahead") << qint64(1500) << "0d 00:00:01";
    QTest::addRow("1.5 seconds past") << qint64(-1500) << "0d 00:00:01 ago";
    QTest::addRow("61.9 seconds past") << qint64(-61900) << "0d 00:01:01 ago";
}

void tst_DaysCountdown::truncatesTowardZeroAroundTheTarget()
{
    QFETCH(qint64, targetOffsetMs);
    QFETCH(QString, text);
    const QDateTime now(QDate(2025, 6, 1), QTime(12, 0, 0, 250));
    QCOMPARE(formatCountdownTo(now, now.addMSecs(targetOffsetMs), Ago), text);
}

void tst_DaysCountdown::countsWholeCalendarYears_data()
{
    QTest::addColumn<QDate>("from");
    QTest::addColumn<int>("years");

    QTest::addRow("three years over a leap day") << QDate(2024, 1, 1) << 3;
    QTest::addRow("three years without a leap day") << QDate(2025, 3, 1) << 3;
    QTest::addRow("a century") << QDate(2000, 1, 1) << 100;
    QTest::addRow("to the editor's last year") << QDate(2025, 12, 31) << 7974;
}

void tst_DaysCountdown::countsWholeCalendarYears()
{
    QFETCH(QDate, from);
    QFETCH(int, years);
    // In UTC, so no daylight-saving shift enters: the count is whole days.
    const QDateTime now(from, QTime(8, 0), Qt::UTC);
    const QDateTime target(from.addYears(years), QTime(8, 0), Qt::UTC);
    const qint64 days = from.daysTo(from.addYears(years));
    QCOMPARE(formatCountdownTo(now, target, Ago), QStringLiteral("%1d 00:00:00").arg(days));
    QCOMPARE(formatCountdownTo(target, now, Ago), QStringLiteral("%1d 00:00:00 ago").arg(days));
}

void tst_DaysCountdown::countsElapsedTimeAcrossDaylightSaving_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("transition"); // 0: the year's first change, 1: its second

    QTest::addRow("Berlin, clocks forward") << QByteArray("Europe/Berlin") << 2025 << 0;
    QTest::addRow("Berlin, clocks back") << QByteArray("Europe/Berlin") << 2025 << 1;
    QTest::addRow("New York, clocks forward") << QByteArray("America/New_York") << 2024 << 0;
    QTest::addRow("New York, clocks back") << QByteArray("America/New_York") << 2024 << 1;
    QTest::addRow("Sydney, clocks back in April") << QByteArray("Australia/Sydney") << 2025 << 0;
    QTest::addRow("Lord Howe, half-hour shift") << QByteArray("Australia/Lord_Howe") << 2025 << 0;
}

void tst_DaysCountdown::countsElapsedTimeAcrossDaylightSaving()
{
    QFETCH(QByteArray, zone);
    QFETCH(int, year);
    QFETCH(int, transition);

    const QTimeZone tz(zone);
    QVERIFY2(tz.isValid(), zone.constData());
    QDateTime after(QDate(year, 1, 1), QTime(0, 0), Qt::UTC);
    QTimeZone::OffsetData change;
    for (int i = 0; i <= transition; ++i) {
        change = tz.nextTransition(after);
        QVERIFY(change.atUtc.isValid());
        after = change.atUtc;
    }
    const QDateTime shift = change.atUtc;

    // Wall-clock moments on both sides of the change, read in that zone.
    const QDateTime noonBefore(shift.toTimeZone(tz).date().addDays(-1), QTime(12, 0), tz);
    const QDateTime noonAfter(shift.toTimeZone(tz).date().addDays(1), QTime(12, 0), tz);
    const QDateTime hoursBefore = shift.addSecs(-2 * 3600).toTimeZone(tz);
    const QDateTime hoursAfter = shift.addSecs(2 * 3600).toTimeZone(tz);

    setLocalZone(zone);
    // The counters hold local date-times, built from the wall clock as the editor shows it.
    const auto local = [](const QDateTime &wall) {
        return QDateTime(wall.date(), wall.time());
    };

    const struct
    {
        QDateTime from;
        QDateTime to;
    } spans[] = { { noonBefore, noonAfter }, { hoursBefore, hoursAfter } };
    for (const auto &span : spans) {
        const qint64 elapsed = span.from.secsTo(span.to);
        const qint64 wallSeconds = qint64(span.from.date().daysTo(span.to.date())) * 86400
            + span.from.time().secsTo(span.to.time());
        QVERIFY2(elapsed != wallSeconds, "the span does not cross a change of offset");

        const QDateTime from = local(span.from);
        const QDateTime to = local(span.to);
        QCOMPARE(from.offsetFromUtc(), span.from.offsetFromUtc());
        QCOMPARE(to.offsetFromUtc(), span.to.offsetFromUtc());
        QCOMPARE(formatCountdownTo(from, to, Ago), formatCountdown(elapsed, Ago));
        QCOMPARE(formatCountdownTo(to, from, Ago), formatCountdown(-elapsed, Ago));
    }
}

void tst_DaysCountdown::placesCardsInRowsOfThree_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");

    QTest::addRow("first") << 0 << 0 << 0;
    QTest::addRow("second") << 1 << 0 << 1;
    QTest::addRow("third") << 2 << 0 << 2;
    QTest::addRow("fourth starts a row") << 3 << 1 << 0;
    QTest::addRow("fifth") << 4 << 1 << 1;
    QTest::addRow("seventh") << 6 << 2 << 0;
    QTest::addRow("hundredth") << 99 << 33 << 0;
}

void tst_DaysCountdown::placesCardsInRowsOfThree()
{
    QFETCH(int, index);
    QFETCH(int, row);
    QFETCH(int, column);
    const CardCell cell = counterCardCell(index);
    QCOMPARE(cell.row, row);
    QCOMPARE(cell.column, column);
}

QTEST_GUILESS_MAIN(tst_DaysCountdown)
#include "tst_dayscountdown.moc"
