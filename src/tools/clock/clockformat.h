#pragma once

#include <QtGlobal>

#include <array>
#include <optional>

class QDate;
class QDateTime;
class QString;
class QTime;
class QTimeZone;

namespace clocksuite {

// Texts and steps of the clock page, kept free of widgets so they can be checked at any time of
// day.

// The local clock read-out, 24-hour "HH:mm:ss".
QString clockText(const QTime &time);

// The date line, "dddd, MMMM d" with English day and month names.
QString dateText(const QDate &date);

// The stopwatch read-out "mm:ss.t"; minutes wrap at 60 because hours are not shown.
QString stopwatchText(qint64 totalMs);

// The countdown read-out "mm:ss"; the minutes grow past two digits when needed.
QString countdownText(qint64 remainingSecs);

// The countdown length typed in minutes, as seconds. Empty when the text is not a base-10
// integer, not positive, or so long that its seconds would not fit a 32-bit count.
std::optional<int> countdownSecondsFromMinutes(const QString &text);

// One tick of a running countdown: the seconds left after it, or nothing when the countdown
// had already reached zero and ends on this tick.
std::optional<int> countdownAfterTick(int remainingSecs);

// A UTC instant shown as "HH:mm:ss" in the given zone.
QString zoneTimeText(const QDateTime &utc, const QTimeZone &zone);

// The zone with that IANA id, or nothing when the system's time-zone data lacks it.
std::optional<QTimeZone> zoneForId(const QString &ianaId);

struct ZoneChoice
{
    const char *displayName; // untranslated; see zoneDisplayName
    const char *ianaId;
};

// The zones the world clocks offer, in the order the page lists them.
extern const std::array<ZoneChoice, 10> kCommonZones;

// The zone's name as the page shows it, translated.
QString zoneDisplayName(const ZoneChoice &choice);

} // namespace clocksuite
