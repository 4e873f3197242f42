#pragma once

#include "alarms.h"
#include "common/floatingcards.h"
#include "common/toolpage.h"

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QTimeZone>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimeEdit;
class QVBoxLayout;

// One world-clock row; the widgets belong to the page.
struct WorldClock
{
    QString city;
    QTimeZone zone;
    QLabel *timeLabel = nullptr;
};

// The clock page: local time and date, stopwatch, countdown, world clocks and daily alarms,
// all driven by one one-second tick that keeps running while other pages are shown.
class ClockSuitePage : public ToolPage
{
    Q_OBJECT

public:
    explicit ClockSuitePage(QWidget *parent = nullptr);
    ~ClockSuitePage() override;

private slots:
    void tick();
    void addAlarm();
    void toggleFloatingClock(bool on);
    void addWorldClock();
    void startStopStopwatch();
    void resetStopwatch();
    void startTimer();

private:
    QWidget *buildClockSection();
    QWidget *buildAlarmSection();
    QWidget *buildStopwatchSection();
    QWidget *buildTimerSection();
    QWidget *buildWorldClockSection();
    void checkAlarms(const QTime &now);
    void ringAlarm(const QString &text);
    void toggleWorldClockFloating(const QString &city, const QTimeZone &zone, bool on);

    QLabel *m_clockLabel = nullptr;
    QLabel *m_dateLabel = nullptr;
    QCheckBox *m_keepFloatingCheck = nullptr;
    // The floating local clock: one card, under the empty key.
    FloatingCards<> m_floatingClock { this };
    QTimeEdit *m_alarmTimeEdit = nullptr;
    QLineEdit *m_alarmLabelEdit = nullptr;
    QListWidget *m_alarmList = nullptr;
    QList<clocksuite::Alarm> m_alarms;
    QLabel *m_stopwatchLabel = nullptr;
    QPushButton *m_stopwatchButton = nullptr;
    qint64 m_stopwatchAccumulatedMs = 0;
    QElapsedTimer m_stopwatchElapsed;
    bool m_stopwatchRunning = false;
    QLineEdit *m_timerMinutesEdit = nullptr;
    QLabel *m_timerLabel = nullptr;
    int m_timerRemainingSecs = 0;
    bool m_timerRunning = false;
    QLineEdit *m_cityEdit = nullptr;
    QComboBox *m_zoneCombo = nullptr;
    QWidget *m_worldClockHost = nullptr;
    QVBoxLayout *m_worldClockLayout = nullptr;
    QList<WorldClock> m_worldClocks;
    // Keyed by city text, so rows that share a name share the card.
    FloatingCards<QTimeZone> m_floatingZoneClocks { this };

    // The alarm check's memory: the date it last saw (a new date re-arms every alarm) and
    // when it last ran (so a tick that misses second 0 still rings the alarms of its minute).
    QDate m_alarmDate;
    QDateTime m_lastAlarmCheck;
};
