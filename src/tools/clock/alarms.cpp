#include "alarms.h"

namespace clocksuite {

QString alarmItemText(const Alarm &alarm)
{
    QString text = alarm.time.toString(QStringLiteral("HH:mm"));
    if (!alarm.label.isEmpty()) {
        text += QStringLiteral("  \u2014  ") + alarm.label;
    }
    return text;
}

bool resetAlarmsOnNewDate(QList<Alarm> &alarms, QDate &rememberedDate, const QDate &today)
{
    if (today == rememberedDate) {
        return false;
    }
    rememberedDate = today;
    for (Alarm &alarm : alarms) {
        alarm.firedToday = false;
    }
    return true;
}

bool isAlarmDue(const Alarm &alarm, const QDateTime &previousCheck, const QDateTime &now)
{
    if (!alarm.enabled || alarm.firedToday) {
        return false;
    }
    const QTime nowTime = now.time();
    if (alarm.time.hour() != nowTime.hour() || alarm.time.minute() != nowTime.minute()) {
        return false;
    }
    if (nowTime.second() == 0 || !previousCheck.isValid()) {
        return nowTime.second() == 0;
    }
    // Compare wall-clock dates and times, not instants, so a change of daylight-saving time
    // between two checks does not move the start of the minute.
    const QDate previousDate = previousCheck.date();
    const QDate nowDate = now.date();
    if (previousDate != nowDate) {
        return previousDate < nowDate;
    }
    const QTime minuteStart(nowTime.hour(), nowTime.minute());
    return previousCheck.time() < minuteStart;
}

QList<int> dueAlarms(
    const QList<Alarm> &alarms, const QDateTime &previousCheck, const QDateTime &now)
{
    QList<int> due;
    for (int i = 0; i < alarms.size(); ++i) {
        if (isAlarmDue(alarms.at(i), previousCheck, now)) {
            due.append(i);
        }
    }
    return due;
}

} // namespace clocksuite
