#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTime>

namespace clocksuite {

// One daily alarm; only the hour and minute of time take part in the match.
struct Alarm
{
    QTime time;
    QString label; // exactly as typed, may be empty
    bool enabled = true;
    bool firedToday = false;
};

// The list item text: "HH:mm", then "  —  " and the label when there is one.
QString alarmItemText(const Alarm &alarm);

// Clears firedToday on every alarm when today is not the remembered date, and remembers today.
// Returns whether the date changed.
bool resetAlarmsOnNewDate(QList<Alarm> &alarms, QDate &rememberedDate, const QDate &today);

// Whether the alarm rings at now (local wall-clock date and time). It rings in its own minute,
// once a day: at second 0, or at the first check of that minute when the previous check fell
// before the minute began (a late or missed tick must not cost the alarm its day). A check
// that follows another inside the same minute rings nothing, so an alarm added or switched
// on after its minute has started waits for the next day. previousCheck may be invalid
// when there was none.
bool isAlarmDue(const Alarm &alarm, const QDateTime &previousCheck, const QDateTime &now);

// The indices of the alarms due at now, in list order.
QList<int> dueAlarms(
    const QList<Alarm> &alarms, const QDateTime &previousCheck, const QDateTime &now);

} // namespace clocksuite
