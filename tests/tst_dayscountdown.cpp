#include "tools/days/cardgrid.h"
#include "tools/days/countdownformat.h"

#include <QDateTime>
#include <QTimeZone>
#include <QtTest>

#include <ctime>
#include <limits>

namespace {
const QString Ago = QStringLiteral("ago");
} // namespace

class tst_DaysCountdown : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void formatsAcrossZeroAndLargeSpans_data();
    void formatsAcrossZeroAndLargeSpans();
    void formatsTheLargestSpans();
    void countsElapsedTimeAcrossDaylightSaving_data();
    void countsElapsedTimeAcrossDaylightSaving();
    void placesCardsInRowsOfThree();

private:
    const QByteArray m_savedTz = qgetenv("TZ");
    const bool m_hadTz = qEnvironmentVariableIsSet("TZ");
};

void tst_DaysCountdown::cleanup()
{
    if (m_hadTz) {
        qputenv("TZ", m_savedTz);
    } else {
        qunsetenv("TZ");
    }
    tzset();
}

void tst_DaysCountdown::formatsAcrossZeroAndLargeSpans_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QDateTime>("target");
    QTest::addColumn<QString>("text");

    const QDateTime now(QDate(2025, 6, 1), QTime(12, 0, 0, 250));
    QTest::addRow("exactly now") << now << now << "0d 00:00:00";
    QTest::addRow("one second ahead") << now << now.addSecs(1) << "0d 00:00:01";
    QTest::addRow("under a second past is now") << now << now.addMSecs(-999) << "0d 00:00:00";
    QTest::addRow("1.5 seconds past") << now << now.addMSecs(-1500) << "0d 00:00:01 ago";
    QTest::addRow("every unit once") << now << now.addSecs(86400 + 3600 + 60 + 1) << "1d 01:01:01";
    // In UTC, so no daylight-saving shift enters: whole calendar years in whole days.
    const QDateTime leapYear(QDate(2024, 1, 1), QTime(8, 0), Qt::UTC);
    QTest::addRow("three years over a leap day")
        << leapYear << leapYear.addYears(3) << "1096d 00:00:00";
    QTest::addRow("three years past") << leapYear.addYears(3) << leapYear << "1096d 00:00:00 ago";
}

void tst_DaysCountdown::formatsAcrossZeroAndLargeSpans()
{
    QFETCH(QDateTime, now);
    QFETCH(QDateTime, target);
    QFETCH(QString, text);
    QCOMPARE(formatCountdownTo(now, target, Ago), text);
}

void tst_DaysCountdown::formatsTheLargestSpans()
{
    QCOMPARE(formatCountdown(std::numeric_limits<qint64>::max(), Ago),
        QStringLiteral("106751991167300d 15:30:07"));
    // The most negative count has no signed magnitude.
    QCOMPARE(formatCountdown(std::numeric_limits<qint64>::min(), Ago),
        QStringLiteral("106751991167300d 15:30:08 ago"));
}

void tst_DaysCountdown::countsElapsedTimeAcrossDaylightSaving_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<int>("transition"); // 0: the year's first change, 1: its second
    QTest::addRow("Berlin, clocks forward") << QByteArray("Europe/Berlin") << 0;
    QTest::addRow("New York, clocks back") << QByteArray("America/New_York") << 1;
}

void tst_DaysCountdown::countsElapsedTimeAcrossDaylightSaving()
{
    QFETCH(QByteArray, zone);
    QFETCH(int, transition);
    const QTimeZone tz(zone);
    QDateTime shift(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC);
    for (int i = 0; i <= transition; ++i) {
        shift = tz.nextTransition(shift).atUtc;
        QVERIFY(shift.isValid());
    }
    // Noon the day before and the day after the change, read in that zone.
    const QDate changeDay = shift.toTimeZone(tz).date();
    const QDateTime from(changeDay.addDays(-1), QTime(12, 0), tz);
    const QDateTime to(changeDay.addDays(1), QTime(12, 0), tz);
    const qint64 elapsed = from.secsTo(to);
    QVERIFY2(elapsed != 2 * 86400, "the span does not cross a change of offset");

    // The counters hold local date-times, as the editor gives them.
    qputenv("TZ", zone);
    tzset();
    const QDateTime localFrom(from.date(), from.time());
    const QDateTime localTo(to.date(), to.time());
    QCOMPARE(localFrom.offsetFromUtc(), from.offsetFromUtc());
    QCOMPARE(formatCountdownTo(localFrom, localTo, Ago), formatCountdown(elapsed, Ago));
    QCOMPARE(formatCountdownTo(localTo, localFrom, Ago), formatCountdown(-elapsed, Ago));
}

void tst_DaysCountdown::placesCardsInRowsOfThree()
{
    const auto cell = [](int index) {
        const CardCell c = counterCardCell(index);
        return QPoint(c.column, c.row);
    };
    QCOMPARE(cell(0), QPoint(0, 0));
    QCOMPARE(cell(2), QPoint(2, 0));
    QCOMPARE(cell(3), QPoint(0, 1));
    QCOMPARE(cell(99), QPoint(0, 33));
}

QTEST_GUILESS_MAIN(tst_DaysCountdown)
#include "tst_dayscountdown.moc"
