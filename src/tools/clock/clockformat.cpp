#include "clockformat.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <QTimeZone>

#include <limits>

namespace clocksuite {

namespace {
// The translation context of this file's texts.
class ClockFormat
{
    Q_DECLARE_TR_FUNCTIONS(ClockFormat)
};
} // namespace

const std::array<ZoneChoice, 10> kCommonZones = { {
    { QT_TRANSLATE_NOOP("ClockFormat", "New York"), "America/New_York" },
    { QT_TRANSLATE_NOOP("ClockFormat", "Los Angeles"), "America/Los_Angeles" },
    { QT_TRANSLATE_NOOP("ClockFormat", "London"), "Europe/London" },
    { QT_TRANSLATE_NOOP("ClockFormat", "Paris"), "Europe/Paris" },
    { QT_TRANSLATE_NOOP("ClockFormat", "Jerusalem"), "Asia/Jerusalem" },
    { QT_TRANSLATE_NOOP("ClockFormat", "Dubai"), "Asia/Dubai" },
    { QT_TRANSLATE_NOOP("ClockFormat", "Mumbai"), "Asia/Kolkata" },
    { QT_TRANSLATE_NOOP("ClockFormat", "Singapore"), "Asia/Singapore" },
    { QT_TRANSLATE_NOOP("ClockFormat", "Tokyo"), "Asia/Tokyo" },
    { QT_TRANSLATE_NOOP("ClockFormat", "Sydney"), "Australia/Sydney" },
} };

QString zoneDisplayName(const ZoneChoice &choice)
{
    return ClockFormat::tr(choice.displayName);
}

QString clockText(const QTime &time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QString dateText(const QDate &date)
{
    // QDate::toString with a format uses the C locale, so the names stay English.
    return date.toString(QStringLiteral("dddd, MMMM d"));
}

QString stopwatchText(qint64 totalMs)
{
    const qint64 minutes = (totalMs / 60000) % 60;
    const qint64 seconds = (totalMs / 1000) % 60;
    const qint64 tenths = (totalMs / 100) % 10;
    return QStringLiteral("%1:%2.%3")
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds, 2, 10, QLatin1Char('0'))
        .arg(tenths);
}

QString countdownText(qint64 remainingSecs)
{
    return QStringLiteral("%1:%2")
        .arg(remainingSecs / 60, 2, 10, QLatin1Char('0'))
        .arg(remainingSecs % 60, 2, 10, QLatin1Char('0'));
}

std::optional<int> countdownSecondsFromMinutes(const QString &text)
{
    bool ok = false;
    const qint64 minutes = text.toLongLong(&ok, 10);
    if (!ok || minutes <= 0) {
        return std::nullopt;
    }
    // Minutes beyond this would overflow the 64-bit product long before the check below.
    constexpr qint64 kMaxSeconds = std::numeric_limits<int>::max();
    if (minutes > kMaxSeconds / 60) {
        return std::nullopt;
    }
    return static_cast<int>(minutes * 60);
}

std::optional<int> countdownAfterTick(int remainingSecs)
{
    if (remainingSecs <= 0) {
        return std::nullopt;
    }
    return remainingSecs - 1;
}

QString zoneTimeText(const QDateTime &utc, const QTimeZone &zone)
{
    return utc.toTimeZone(zone).toString(QStringLiteral("HH:mm:ss"));
}

std::optional<QTimeZone> zoneForId(const QString &ianaId)
{
    // An empty id would give the system's own zone rather than none.
    if (ianaId.isEmpty()) {
        return std::nullopt;
    }
    const QTimeZone zone(ianaId.toUtf8());
    if (!zone.isValid()) {
        return std::nullopt;
    }
    return zone;
}

} // namespace clocksuite
