#include "clocksuitepage.h"

#include "clockformat.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>
#include <QVBoxLayout>

ClockSuitePage::ClockSuitePage(QWidget *parent)
    : ToolPage(tr("Clock suite"), parent)
{
    setObjectName(QStringLiteral("ClockSuitePage"));

    QVBoxLayout *root = pageLayout();
    root->addWidget(buildClockSection());
    auto *stopwatchAndTimer = new QHBoxLayout;
    stopwatchAndTimer->addWidget(buildStopwatchSection());
    stopwatchAndTimer->addWidget(buildTimerSection());
    root->addLayout(stopwatchAndTimer);
    root->addWidget(buildWorldClockSection());
    root->addWidget(buildAlarmSection(), 1);

    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &ClockSuitePage::tick);
    timer->start(1000);

    // Fill the clock and the date at once rather than a second later.
    tick();
}

ClockSuitePage::~ClockSuitePage() = default;

QWidget *ClockSuitePage::buildClockSection()
{
    auto *section = new QWidget(this);
    auto *layout = new QVBoxLayout(section);
    layout->setAlignment(Qt::AlignCenter);

    m_clockLabel = new QLabel(QStringLiteral("00:00:00"), section);
    m_clockLabel->setObjectName(QStringLiteral("ClockDisplay"));
    m_clockLabel->setAlignment(Qt::AlignCenter);
    m_clockLabel->setWordWrap(false);
    QFont clockFont = m_clockLabel->font();
    clockFont.setPointSize(48);
    clockFont.setBold(true);
    m_clockLabel->setFont(clockFont);
    m_clockLabel->setMinimumHeight(70);
    layout->addWidget(m_clockLabel);

    m_dateLabel = new QLabel(section);
    m_dateLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_dateLabel);

    m_keepFloatingCheck = new QCheckBox(tr("Keep floating on screen"), section);
    connect(m_keepFloatingCheck, &QCheckBox::toggled, this, &ClockSuitePage::toggleFloatingClock);
    layout->addWidget(m_keepFloatingCheck, 0, Qt::AlignHCenter);
    return section;
}

QWidget *ClockSuitePage::buildStopwatchSection()
{
    auto *section = new QWidget(this);
    auto *layout = new QVBoxLayout(section);
    layout->addWidget(new QLabel(tr("Stopwatch"), section));

    m_stopwatchLabel = new QLabel(QStringLiteral("00:00.0"), section);
    m_stopwatchLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_stopwatchLabel);

    auto *buttons = new QHBoxLayout;
    m_stopwatchButton = new QPushButton(tr("Start"), section);
    connect(m_stopwatchButton, &QPushButton::clicked, this, &ClockSuitePage::startStopStopwatch);
    auto *resetButton = new QPushButton(tr("Reset"), section);
    connect(resetButton, &QPushButton::clicked, this, &ClockSuitePage::resetStopwatch);
    buttons->addWidget(m_stopwatchButton);
    buttons->addWidget(resetButton);
    layout->addLayout(buttons);
    return section;
}

QWidget *ClockSuitePage::buildTimerSection()
{
    auto *section = new QWidget(this);
    auto *layout = new QVBoxLayout(section);
    layout->addWidget(new QLabel(tr("Timer (minutes)"), section));

    m_timerMinutesEdit = new QLineEdit(QStringLiteral("5"), section);
    layout->addWidget(m_timerMinutesEdit);

    m_timerLabel = new QLabel(QStringLiteral("00:00"), section);
    m_timerLabel->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_timerLabel);

    auto *startButton = new QPushButton(tr("Start timer"), section);
    connect(startButton, &QPushButton::clicked, this, &ClockSuitePage::startTimer);
    layout->addWidget(startButton);
    return section;
}

QWidget *ClockSuitePage::buildWorldClockSection()
{
    auto *section = new QWidget(this);
    auto *layout = new QVBoxLayout(section);
    layout->addWidget(new QLabel(tr("World clocks"), section));

    auto *inputRow = new QHBoxLayout;
    m_cityEdit = new QLineEdit(section);
    m_cityEdit->setPlaceholderText(tr("City name"));
    inputRow->addWidget(m_cityEdit, 1);
    m_zoneCombo = new QComboBox(section);
    for (const clocksuite::ZoneChoice &choice : clocksuite::kCommonZones) {
        m_zoneCombo->addItem(
            clocksuite::zoneDisplayName(choice), QString::fromLatin1(choice.ianaId));
    }
    inputRow->addWidget(m_zoneCombo);
    auto *addButton = new QPushButton(tr("+ Add clock"), section);
    connect(addButton, &QPushButton::clicked, this, &ClockSuitePage::addWorldClock);
    inputRow->addWidget(addButton);
    layout->addLayout(inputRow);

    m_worldClockHost = new QWidget(section);
    m_worldClockLayout = new QVBoxLayout(m_worldClockHost);
    m_worldClockLayout->setSpacing(6);
    layout->addWidget(m_worldClockHost);
    return section;
}

QWidget *ClockSuitePage::buildAlarmSection()
{
    auto *section = new QWidget(this);
    auto *layout = new QVBoxLayout(section);
    layout->addWidget(new QLabel(tr("Your alarms"), section));

    auto *inputRow = new QHBoxLayout;
    m_alarmTimeEdit = new QTimeEdit(QTime(7, 0), section);
    inputRow->addWidget(m_alarmTimeEdit);
    m_alarmLabelEdit = new QLineEdit(section);
    m_alarmLabelEdit->setPlaceholderText(tr("What's this alarm for?"));
    inputRow->addWidget(m_alarmLabelEdit, 1);
    auto *addButton = new QPushButton(tr("+ New alarm"), section);
    connect(addButton, &QPushButton::clicked, this, &ClockSuitePage::addAlarm);
    inputRow->addWidget(addButton);
    layout->addLayout(inputRow);

    m_alarmList = new QListWidget(section);
    // Item i belongs to alarm i: both lists only ever grow together.
    connect(m_alarmList, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        const int row = m_alarmList->row(item);
        if (row >= 0 && row < m_alarms.size()) {
            m_alarms[row].enabled = item->checkState() == Qt::Checked;
        }
    });
    layout->addWidget(m_alarmList, 1);
    return section;
}

void ClockSuitePage::tick()
{
    const QTime now = QTime::currentTime();
    const QString nowText = clocksuite::clockText(now);
    m_clockLabel->setText(nowText);
    m_dateLabel->setText(clocksuite::dateText(QDate::currentDate()));
    m_floatingClock.refresh([&nowText](std::monostate) { return nowText; });

    // An alarm's box runs a nested event loop here; the steps below wait until it is closed.
    checkAlarms(now);

    const QDateTime utc = QDateTime::currentDateTimeUtc();
    for (const WorldClock &clock : std::as_const(m_worldClocks)) {
        clock.timeLabel->setText(clocksuite::zoneTimeText(utc, clock.zone));
    }
    m_floatingZoneClocks.refresh(
        [&utc](const QTimeZone &zone) { return clocksuite::zoneTimeText(utc, zone); });

    if (m_stopwatchRunning) {
        m_stopwatchLabel->setText(
            clocksuite::stopwatchText(m_stopwatchElapsed.elapsed() + m_stopwatchAccumulatedMs));
    }

    if (m_timerRunning) {
        if (const std::optional<int> left = clocksuite::countdownAfterTick(m_timerRemainingSecs)) {
            m_timerRemainingSecs = *left;
            m_timerLabel->setText(clocksuite::countdownText(*left));
        } else {
            m_timerRunning = false;
            m_timerLabel->setText(tr("Time's up!"));
            QApplication::beep();
        }
    }
}

void ClockSuitePage::toggleFloatingClock(bool on)
{
    if (on) {
        // Closed by its own button, the card unchecks the box, whose toggle then finds no card.
        m_floatingClock.show(QString(), tr("Local time"),
            clocksuite::clockText(QTime::currentTime()), {},
            [this] { m_keepFloatingCheck->setChecked(false); });
    } else {
        m_floatingClock.close(QString());
    }
}

void ClockSuitePage::startStopStopwatch()
{
    if (m_stopwatchRunning) {
        m_stopwatchAccumulatedMs += m_stopwatchElapsed.elapsed();
        m_stopwatchRunning = false;
        m_stopwatchButton->setText(tr("Resume"));
    } else {
        m_stopwatchElapsed.restart();
        m_stopwatchRunning = true;
        m_stopwatchButton->setText(tr("Pause"));
    }
}

void ClockSuitePage::resetStopwatch()
{
    m_stopwatchRunning = false;
    m_stopwatchAccumulatedMs = 0;
    m_stopwatchButton->setText(tr("Start"));
    m_stopwatchLabel->setText(QStringLiteral("00:00.0"));
}

void ClockSuitePage::startTimer()
{
    const std::optional<int> seconds =
        clocksuite::countdownSecondsFromMinutes(m_timerMinutesEdit->text());
    if (!seconds) {
        QMessageBox::warning(
            this, tr("mirvale"), tr("Enter a positive number of minutes."), QMessageBox::Ok);
        return;
    }
    m_timerRemainingSecs = *seconds;
    m_timerRunning = true;
}

void ClockSuitePage::addWorldClock()
{
    QString city = m_cityEdit->text().trimmed();
    const QString zoneId = m_zoneCombo->currentData(Qt::UserRole).toString();
    if (city.isEmpty()) {
        city = m_zoneCombo->currentText();
    }
    const std::optional<QTimeZone> zone = clocksuite::zoneForId(zoneId);
    if (!zone) {
        QMessageBox::warning(this, tr("mirvale"),
            tr("That timezone isn't available on this system."), QMessageBox::Ok);
        return;
    }

    auto *row = new QWidget(m_worldClockHost);
    auto *rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    auto *cityLabel = new QLabel(city, row);
    cityLabel->setMinimumWidth(120);
    rowLayout->addWidget(cityLabel);
    auto *timeLabel =
        new QLabel(clocksuite::zoneTimeText(QDateTime::currentDateTimeUtc(), *zone), row);
    QFont timeFont = timeLabel->font();
    timeFont.setBold(true);
    timeLabel->setFont(timeFont);
    rowLayout->addWidget(timeLabel, 1);
    auto *pinButton = new QPushButton(tr("Pin"), row);
    pinButton->setCheckable(true);
    connect(pinButton, &QPushButton::toggled, this,
        [this, city, zone = *zone](bool on) { toggleWorldClockFloating(city, zone, on); });
    rowLayout->addWidget(pinButton);

    m_worldClockLayout->addWidget(row);
    m_worldClocks.append(WorldClock { city, *zone, timeLabel });
    m_cityEdit->clear();
}

void ClockSuitePage::toggleWorldClockFloating(const QString &city, const QTimeZone &zone, bool on)
{
    if (on) {
        m_floatingZoneClocks.show(
            city, city, clocksuite::zoneTimeText(QDateTime::currentDateTimeUtc(), zone), zone);
    } else {
        m_floatingZoneClocks.close(city);
    }
}

void ClockSuitePage::addAlarm()
{
    clocksuite::Alarm alarm;
    alarm.time = m_alarmTimeEdit->time();
    alarm.label = m_alarmLabelEdit->text();
    m_alarms.append(alarm);

    auto *item = new QListWidgetItem(clocksuite::alarmItemText(alarm));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    // Appending emits no itemChanged, so the item joins after its alarm without side effects.
    m_alarmList->addItem(item);
    m_alarmLabelEdit->clear();
}

void ClockSuitePage::checkAlarms(const QTime &now)
{
    const QDate today = QDate::currentDate();
    clocksuite::resetAlarmsOnNewDate(m_alarms, m_alarmDate, today);

    const QDateTime nowDateTime(today, now);
    const QDateTime previousCheck = m_lastAlarmCheck;
    // Recorded before any box opens: the ticks nested in a box then see this check as the
    // previous one and leave the rest of this minute's alarms to this call, in list order.
    m_lastAlarmCheck = nowDateTime;

    const QList<int> due = clocksuite::dueAlarms(m_alarms, previousCheck, nowDateTime);
    for (const int index : due) {
        // A nested tick may have switched state while an earlier box was open.
        if (!m_alarms.at(index).enabled || m_alarms.at(index).firedToday) {
            continue;
        }
        m_alarms[index].firedToday = true;
        const QString label = m_alarms.at(index).label;
        ringAlarm(label.isEmpty() ? tr("Alarm") : label);
    }
}

void ClockSuitePage::ringAlarm(const QString &text)
{
    QApplication::beep();
    QMessageBox::information(this, tr("Alarm"), text, QMessageBox::Ok);
}
