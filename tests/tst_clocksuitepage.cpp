#include "common/floatingwidget.h"
#include "tools/clock/clockformat.h"
#include "tools/clock/clocksuitepage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>
#include <QTimeZone>
#include <QTimer>

#include <functional>

namespace {

// A zone with daylight saving, set for the whole process before the application starts.
constexpr char localZoneId[] = "America/New_York";

struct SeenBox
{
    QString title;
    QString text;
    int openBoxes = 0;
};

int openMessageBoxes()
{
    int count = 0;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (qobject_cast<QMessageBox *>(window) && window->isVisible()) {
            ++count;
        }
    }
    return count;
}

// Answers every message box the page opens with Ok and records it, so a box that should not
// appear fails the test instead of hanging it. whileOpen runs once, from its own timer, while
// the first box is still open: that is where a nested tick would run.
class BoxAnswerer : public QObject
{
public:
    explicit BoxAnswerer(std::function<void()> whileOpen = {})
        : m_whileOpen(std::move(whileOpen))
    {
        connect(&m_poll, &QTimer::timeout, this, &BoxAnswerer::poll);
        m_poll.start(10);
    }

    QList<SeenBox> seen;

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            return;
        }
        if (!box->property("answererSeen").toBool()) {
            box->setProperty("answererSeen", true);
            seen.append(SeenBox { box->windowTitle(), box->text(), openMessageBoxes() });
            if (m_whileOpen) {
                m_hookBox = box;
                QTimer::singleShot(0, this, [this] {
                    const std::function<void()> hook = std::move(m_whileOpen);
                    m_whileOpen = {};
                    hook();
                    m_hookBox = nullptr;
                });
                return;
            }
        }
        if (box == m_hookBox) {
            return;
        }
        box->button(QMessageBox::Ok)->click();
    }

    QTimer m_poll;
    std::function<void()> m_whileOpen;
    QPointer<QMessageBox> m_hookBox;
};

// Every text a clock can show for the seconds from before to after (both UTC).
QStringList textsBetween(const QDateTime &before, const QDateTime &after,
    const std::function<QString(const QDateTime &)> &text)
{
    QStringList texts;
    for (QDateTime t = before; t <= after.addSecs(1); t = t.addSecs(1)) {
        texts << text(t);
    }
    return texts;
}

// The zone's wall-clock time computed from its offset, independently of the page's code path.
QString timeInZone(const QDateTime &utc, const QTimeZone &zone)
{
    return utc.addSecs(zone.offsetFromUtc(utc)).time().toString(QStringLiteral("HH:mm:ss"));
}

QString localTimeText(const QDateTime &utc)
{
    return timeInZone(utc, QTimeZone(localZoneId));
}

QPushButton *buttonNamed(QWidget *parent, const QString &text)
{
    const QList<QPushButton *> buttons = parent->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

} // namespace

class tst_ClockSuitePage : public QObject
{
    Q_OBJECT

private slots:
    void showsLocalTimeAndDateAtOnce();
    void floatingClockClosedByCrossIsForgotten();
    void worldClockShowsZoneTime_data();
    void worldClockShowsZoneTime();
    void worldClockCityName_data();
    void worldClockCityName();
    void unavailableZoneIsRefused();
    void floatingWorldClockClosedByCrossIsForgotten();
    void rowsSharingACityShareOneCard();
    void stopwatchStartPauseResumeReset();
    void countdownCountsDownAndEnds();
    void countdownShowsMinutesPastTwoDigits();
    void countdownRestartsFromNewValue();
    void countdownRefusals_data();
    void countdownRefusals();
    void addingAlarms_data();
    void addingAlarms();
    void alarmRingsWithItsLabel_data();
    void alarmRingsWithItsLabel();
    void alarmRingsWhenSecondZeroIsSkipped();
    void alarmRingsAgainAfterMidnight();
    void alarmsOfOneMinuteRingOneAfterAnother();
    void laterAlarmRingsFromNestedTick();
    void switchedOffAlarmStaysQuiet();
    void switchedBackOnBeforeItsMinuteRings();
    void tickRunsItsStepsInOrder();

private:
    // Ticks are driven by the tests; the page's own timer would add ticks at random moments.
    static void stopTicking(ClockSuitePage &page)
    {
        QTimer *timer = page.findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(timer);
        timer->stop();
    }
    static void tick(ClockSuitePage &page) { page.tick(); }
    static void addAlarm(ClockSuitePage &page, const QTime &time, const QString &label)
    {
        page.m_alarmTimeEdit->setTime(time);
        page.m_alarmLabelEdit->setText(label);
        buttonNamed(&page, QStringLiteral("+ New alarm"))->click();
    }
    static void addWorldClock(ClockSuitePage &page, const QString &city, const QString &zoneName)
    {
        page.m_cityEdit->setText(city);
        page.m_zoneCombo->setCurrentIndex(page.m_zoneCombo->findText(zoneName));
        buttonNamed(&page, QStringLiteral("+ Add clock"))->click();
    }
    static QDateTime todayAt(const QTime &time) { return QDateTime(QDate::currentDate(), time); }
};

void tst_ClockSuitePage::showsLocalTimeAndDateAtOnce()
{
    const QDateTime before = QDateTime::currentDateTimeUtc();
    const QDate dateBefore = QDate::currentDate();
    ClockSuitePage page;
    const QDateTime after = QDateTime::currentDateTimeUtc();

    QCOMPARE(page.objectName(), QStringLiteral("ClockSuitePage"));
    QVERIFY(page.m_clockLabel->text() != QStringLiteral("00:00:00")
        || localTimeText(before) == QStringLiteral("00:00:00"));
    // The process runs in a daylight-saving zone; the clock follows it.
    QVERIFY2(textsBetween(before, after, localTimeText).contains(page.m_clockLabel->text()),
        qPrintable(page.m_clockLabel->text()));
    const QStringList dates { dateText(dateBefore), dateText(QDate::currentDate()) };
    QVERIFY2(dates.contains(page.m_dateLabel->text()), qPrintable(page.m_dateLabel->text()));
    QCOMPARE(page.m_clockLabel->font().pointSize(), 48);
    QVERIFY(page.m_clockLabel->font().bold());
}

void tst_ClockSuitePage::floatingClockClosedByCrossIsForgotten()
{
    ClockSuitePage page;
    stopTicking(page);

    page.m_keepFloatingCheck->setChecked(true);
    QPointer<FloatingWidget> first = page.m_floatingClock;
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QCOMPARE(first->title(), QStringLiteral("Local time"));
    QCOMPARE(page.m_floatingClockLabel->objectName(), QStringLiteral("FloatingBigDisplay"));

    page.m_floatingClockLabel->setText(QStringLiteral("x"));
    tick(page);
    QCOMPARE(page.m_floatingClockLabel->text(), page.m_clockLabel->text());

    first->findChild<QPushButton *>(QStringLiteral("FloatingCloseButton"))->click();
    QVERIFY(!first->isVisible());
    QVERIFY(first); // hidden, not deleted: it stays a child of the page
    QCOMPARE(page.m_floatingClock, nullptr);
    QCOMPARE(page.m_floatingClockLabel, nullptr);
    QVERIFY(!page.m_keepFloatingCheck->isChecked());

    page.m_keepFloatingCheck->setChecked(true);
    QVERIFY(page.m_floatingClock);
    QVERIFY(page.m_floatingClock != first);
    QVERIFY(page.m_floatingClock->isVisible());
    QVERIFY(!first->isVisible());

    QPointer<FloatingWidget> second = page.m_floatingClock;
    QLabel *secondLabel = page.m_floatingClockLabel;
    page.m_keepFloatingCheck->setChecked(false);
    QVERIFY(!second->isVisible());
    QCOMPARE(page.m_floatingClock, nullptr);
    secondLabel->setText(QStringLiteral("x"));
    tick(page);
    QCOMPARE(secondLabel->text(), QStringLiteral("x"));
}

void tst_ClockSuitePage::worldClockShowsZoneTime_data()
{
    QTest::addColumn<QString>("zoneName");
    QTest::addColumn<QByteArray>("zoneId");
    QTest::addRow("New York, the local zone too") << "New York" << QByteArray("America/New_York");
    QTest::addRow("London") << "London" << QByteArray("Europe/London");
    QTest::addRow("Sydney") << "Sydney" << QByteArray("Australia/Sydney");
    QTest::addRow("Mumbai is Kolkata") << "Mumbai" << QByteArray("Asia/Kolkata");
    QTest::addRow("Tokyo") << "Tokyo" << QByteArray("Asia/Tokyo");
}

void tst_ClockSuitePage::worldClockShowsZoneTime()
{
    QFETCH(QString, zoneName);
    QFETCH(QByteArray, zoneId);
    const QTimeZone zone(zoneId);
    const auto zoneText = [&zone](const QDateTime &utc) {
        return timeInZone(utc, zone);
    };

    ClockSuitePage page;
    stopTicking(page);
    const QDateTime before = QDateTime::currentDateTimeUtc();
    addWorldClock(page, QString(), zoneName);
    QCOMPARE(page.m_worldClocks.size(), 1);
    const WorldClock clock = page.m_worldClocks.first();
    QCOMPARE(clock.city, zoneName);
    QCOMPARE(clock.zone.id(), zoneId);
    QVERIFY(clock.timeLabel->font().bold());
    QVERIFY2(textsBetween(before, QDateTime::currentDateTimeUtc(), zoneText)
                 .contains(clock.timeLabel->text()),
        qPrintable(clock.timeLabel->text()));

    clock.timeLabel->setText(QStringLiteral("x"));
    const QDateTime beforeTick = QDateTime::currentDateTimeUtc();
    tick(page);
    QVERIFY2(textsBetween(beforeTick, QDateTime::currentDateTimeUtc(), zoneText)
                 .contains(clock.timeLabel->text()),
        qPrintable(clock.timeLabel->text()));
}

void tst_ClockSuitePage::worldClockCityName_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::addRow("empty takes the zone's name") << ""
                                                 << "Tokyo";
    QTest::addRow("only spaces count as empty") << "   "
                                                << "Tokyo";
    QTest::addRow("typed name is trimmed") << "  My office \t"
                                           << "My office";
}

void tst_ClockSuitePage::worldClockCityName()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    ClockSuitePage page;
    stopTicking(page);
    addWorldClock(page, typed, QStringLiteral("Tokyo"));
    QCOMPARE(page.m_worldClocks.size(), 1);
    QCOMPARE(page.m_worldClocks.first().city, expected);
    QCOMPARE(page.m_worldClocks.first().zone.id(), QByteArray("Asia/Tokyo"));
    QVERIFY(page.m_cityEdit->text().isEmpty());
    QCOMPARE(page.m_zoneCombo->currentText(), QStringLiteral("Tokyo"));
    QVERIFY(page.m_worldClockHost->findChildren<QLabel *>().size() >= 2);
}

void tst_ClockSuitePage::unavailableZoneIsRefused()
{
    ClockSuitePage page;
    stopTicking(page);
    // As if the system's zone data lacked one of the offered zones.
    page.m_zoneCombo->setItemData(0, QStringLiteral("Nowhere/Atlantis"), Qt::UserRole);
    page.m_zoneCombo->setCurrentIndex(0);
    page.m_cityEdit->setText(QStringLiteral("Atlantis"));

    BoxAnswerer answerer;
    buttonNamed(&page, QStringLiteral("+ Add clock"))->click();
    QCOMPARE(answerer.seen.size(), 1);
    QCOMPARE(answerer.seen.first().title, QStringLiteral("mirvale"));
    QCOMPARE(answerer.seen.first().text,
        QStringLiteral("That timezone isn't available on this system."));
    QVERIFY(page.m_worldClocks.isEmpty());
    QVERIFY(page.m_worldClockHost->findChildren<QWidget *>().isEmpty());
    QCOMPARE(page.m_cityEdit->text(), QStringLiteral("Atlantis"));
}

void tst_ClockSuitePage::floatingWorldClockClosedByCrossIsForgotten()
{
    ClockSuitePage page;
    stopTicking(page);
    addWorldClock(page, QStringLiteral("Home"), QStringLiteral("London"));
    QPushButton *pin = buttonNamed(page.m_worldClockHost, QStringLiteral("Pin"));
    QVERIFY(pin);
    QVERIFY(pin->isCheckable());

    pin->click();
    QCOMPARE(page.m_floatingZoneClocks.keys(), QStringList { QStringLiteral("Home") });
    QPointer<FloatingWidget> first = page.m_floatingZoneClocks.value(QStringLiteral("Home")).card;
    QVERIFY(first->isVisible());
    QCOMPARE(first->title(), QStringLiteral("Home"));
    QLabel *cardLabel = page.m_floatingZoneClocks.value(QStringLiteral("Home")).label;
    QCOMPARE(cardLabel->objectName(), QStringLiteral("FloatingBigDisplay"));
    cardLabel->setText(QStringLiteral("x"));
    tick(page);
    QCOMPARE(cardLabel->text(), page.m_worldClocks.first().timeLabel->text());

    first->findChild<QPushButton *>(QStringLiteral("FloatingCloseButton"))->click();
    QVERIFY(first);
    QVERIFY(!first->isVisible());
    QVERIFY(page.m_floatingZoneClocks.isEmpty());
    QVERIFY(pin->isChecked());

    pin->click(); // unchecks and finds no card
    QVERIFY(page.m_floatingZoneClocks.isEmpty());
    pin->click();
    QCOMPARE(page.m_floatingZoneClocks.size(), 1);
    FloatingWidget *second = page.m_floatingZoneClocks.value(QStringLiteral("Home")).card;
    QVERIFY(second != first);
    QVERIFY(second->isVisible());

    pin->click();
    QVERIFY(!second->isVisible());
    QVERIFY(page.m_floatingZoneClocks.isEmpty());
}

void tst_ClockSuitePage::rowsSharingACityShareOneCard()
{
    ClockSuitePage page;
    stopTicking(page);
    addWorldClock(page, QStringLiteral("Home"), QStringLiteral("London"));
    addWorldClock(page, QStringLiteral("Home"), QStringLiteral("Tokyo"));
    const QList<QPushButton *> pins = page.m_worldClockHost->findChildren<QPushButton *>();
    QCOMPARE(pins.size(), 2);
    QPushButton *londonPin =
        pins.at(0)->parentWidget() == page.m_worldClocks.at(0).timeLabel->parentWidget()
        ? pins.at(0)
        : pins.at(1);
    QPushButton *tokyoPin = londonPin == pins.at(0) ? pins.at(1) : pins.at(0);

    londonPin->click();
    tokyoPin->click();
    QCOMPARE(page.m_floatingZoneClocks.size(), 1);
    const FloatingZoneClock card = page.m_floatingZoneClocks.value(QStringLiteral("Home"));
    QCOMPARE(card.zone.id(), QByteArray("Europe/London"));
    const QList<FloatingWidget *> cards = page.findChildren<FloatingWidget *>();
    QCOMPARE(cards.size(), 1);
    tick(page);
    QCOMPARE(card.label->text(), page.m_worldClocks.at(0).timeLabel->text());

    tokyoPin->click();
    QVERIFY(!card.card->isVisible());
    QVERIFY(page.m_floatingZoneClocks.isEmpty());
    QVERIFY(londonPin->isChecked());
}

void tst_ClockSuitePage::stopwatchStartPauseResumeReset()
{
    ClockSuitePage page;
    stopTicking(page);
    QPushButton *reset = buttonNamed(&page, QStringLiteral("Reset"));
    QCOMPARE(page.m_stopwatchLabel->text(), QStringLiteral("00:00.0"));
    QCOMPARE(page.m_stopwatchButton->text(), QStringLiteral("Start"));

    page.m_stopwatchButton->click();
    QCOMPARE(page.m_stopwatchButton->text(), QStringLiteral("Pause"));
    QCOMPARE(page.m_stopwatchLabel->text(), QStringLiteral("00:00.0")); // only ticks refresh it
    QTRY_VERIFY((tick(page), page.m_stopwatchLabel->text() != QStringLiteral("00:00.0")));

    const QString shown = page.m_stopwatchLabel->text();
    page.m_stopwatchButton->click();
    QCOMPARE(page.m_stopwatchButton->text(), QStringLiteral("Resume"));
    QCOMPARE(page.m_stopwatchLabel->text(), shown);
    const qint64 accumulated = page.m_stopwatchAccumulatedMs;
    QVERIFY(accumulated >= 100);
    tick(page);
    QCOMPARE(page.m_stopwatchLabel->text(), shown);

    page.m_stopwatchButton->click();
    QCOMPARE(page.m_stopwatchButton->text(), QStringLiteral("Pause"));
    tick(page);
    QVERIFY(page.m_stopwatchAccumulatedMs == accumulated);
    QVERIFY(page.m_stopwatchLabel->text() >= stopwatchText(accumulated));

    reset->click();
    QCOMPARE(page.m_stopwatchButton->text(), QStringLiteral("Start"));
    QCOMPARE(page.m_stopwatchLabel->text(), QStringLiteral("00:00.0"));
    QCOMPARE(page.m_stopwatchAccumulatedMs, 0);
    tick(page);
    QCOMPARE(page.m_stopwatchLabel->text(), QStringLiteral("00:00.0"));
}

void tst_ClockSuitePage::countdownCountsDownAndEnds()
{
    ClockSuitePage page;
    stopTicking(page);
    QCOMPARE(page.m_timerMinutesEdit->text(), QStringLiteral("5"));
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("00:00"));
    buttonNamed(&page, QStringLiteral("Start timer"))->click();
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("00:00"));

    tick(page);
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("04:59"));
    for (int i = 2; i <= 300; ++i) {
        tick(page);
    }
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("00:00"));
    QVERIFY(page.m_timerRunning);
    tick(page);
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("Time's up!"));
    QVERIFY(!page.m_timerRunning);
    tick(page);
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("Time's up!"));
}

void tst_ClockSuitePage::countdownShowsMinutesPastTwoDigits()
{
    ClockSuitePage page;
    stopTicking(page);
    page.m_timerMinutesEdit->setText(QStringLiteral("120"));
    buttonNamed(&page, QStringLiteral("Start timer"))->click();
    tick(page);
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("119:59"));
}

void tst_ClockSuitePage::countdownRestartsFromNewValue()
{
    ClockSuitePage page;
    stopTicking(page);
    QPushButton *start = buttonNamed(&page, QStringLiteral("Start timer"));
    start->click();
    for (int i = 0; i < 170; ++i) {
        tick(page);
    }
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("02:10"));
    page.m_timerMinutesEdit->setText(QStringLiteral("1"));
    start->click();
    tick(page);
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("00:59"));
}

void tst_ClockSuitePage::countdownRefusals_data()
{
    QTest::addColumn<QString>("text");
    QTest::addRow("zero") << "0";
    QTest::addRow("negative") << "-3";
    QTest::addRow("decimal") << "1.5";
    QTest::addRow("letters") << "abc";
    QTest::addRow("empty") << "";
    QTest::addRow("seconds beyond 32 bits") << "35791395";
    QTest::addRow("largest 32-bit minutes") << "2147483647";
    QTest::addRow("beyond 64 bits") << "99999999999999999999";
}

void tst_ClockSuitePage::countdownRefusals()
{
    QFETCH(QString, text);
    ClockSuitePage page;
    stopTicking(page);
    QPushButton *start = buttonNamed(&page, QStringLiteral("Start timer"));
    start->click();
    tick(page);
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("04:59"));

    page.m_timerMinutesEdit->setText(text);
    {
        BoxAnswerer answerer;
        start->click();
        QCOMPARE(answerer.seen.size(), 1);
        QCOMPARE(answerer.seen.first().title, QStringLiteral("mirvale"));
        QCOMPARE(answerer.seen.first().text, QStringLiteral("Enter a positive number of minutes."));
    }
    QVERIFY(page.m_timerRunning);
    QCOMPARE(page.m_timerRemainingSecs, 299);
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("04:59"));
    QCOMPARE(page.m_timerMinutesEdit->text(), text);
    tick(page);
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("04:58"));
}

void tst_ClockSuitePage::addingAlarms_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("itemText");
    QTest::addRow("with label") << "Gym" << QStringLiteral("07:00  \u2014  Gym");
    QTest::addRow("without label") << ""
                                   << "07:00";
    QTest::addRow("spaces are a label") << "  " << QStringLiteral("07:00  \u2014    ");
}

void tst_ClockSuitePage::addingAlarms()
{
    QFETCH(QString, label);
    QFETCH(QString, itemText);
    ClockSuitePage page;
    stopTicking(page);
    QCOMPARE(page.m_alarmTimeEdit->time(), QTime(7, 0));
    addAlarm(page, QTime(7, 0), label);
    addAlarm(page, QTime(7, 0), label); // duplicates are fine

    QCOMPARE(page.m_alarmList->count(), 2);
    QCOMPARE(page.m_alarms.size(), 2);
    QListWidgetItem *item = page.m_alarmList->item(1);
    QCOMPARE(item->text(), itemText);
    QCOMPARE(item->checkState(), Qt::Checked);
    QVERIFY(item->flags() & Qt::ItemIsUserCheckable);
    QCOMPARE(page.m_alarms.at(1).label, label);
    QVERIFY(page.m_alarms.at(1).enabled);
    QVERIFY(!page.m_alarms.at(1).firedToday);
    QVERIFY(page.m_alarmLabelEdit->text().isEmpty());
    QCOMPARE(page.m_alarmTimeEdit->time(), QTime(7, 0));
}

void tst_ClockSuitePage::alarmRingsWithItsLabel_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("shown");
    QTest::addRow("label") << "Gym"
                           << "Gym";
    QTest::addRow("no label") << ""
                              << "Alarm";
    QTest::addRow("spaces") << "  "
                            << "  ";
}

void tst_ClockSuitePage::alarmRingsWithItsLabel()
{
    QFETCH(QString, label);
    QFETCH(QString, shown);
    ClockSuitePage page;
    stopTicking(page);
    addAlarm(page, QTime(7, 0), label);
    page.m_lastAlarmCheck = todayAt(QTime(6, 59, 59));

    BoxAnswerer answerer;
    page.checkAlarms(QTime(7, 0, 0));
    page.checkAlarms(QTime(7, 0, 1));
    page.checkAlarms(QTime(7, 1, 0));
    QCOMPARE(answerer.seen.size(), 1);
    QCOMPARE(answerer.seen.first().title, QStringLiteral("Alarm"));
    QCOMPARE(answerer.seen.first().text, shown);
    QVERIFY(page.m_alarms.first().firedToday);
}

void tst_ClockSuitePage::alarmRingsWhenSecondZeroIsSkipped()
{
    ClockSuitePage page;
    stopTicking(page);
    addAlarm(page, QTime(7, 0), QStringLiteral("Gym"));
    page.m_lastAlarmCheck = todayAt(QTime(6, 59, 59));

    BoxAnswerer answerer;
    page.checkAlarms(QTime(7, 0, 2));
    QCOMPARE(answerer.seen.size(), 1);
    page.checkAlarms(QTime(7, 0, 3));
    page.checkAlarms(QTime(7, 0, 59));
    QCOMPARE(answerer.seen.size(), 1);
    QCOMPARE(answerer.seen.first().text, QStringLiteral("Gym"));
}

void tst_ClockSuitePage::alarmRingsAgainAfterMidnight()
{
    ClockSuitePage page;
    stopTicking(page);
    addAlarm(page, QTime(0, 0), QStringLiteral("Midnight"));
    // It rang yesterday; the last check was in yesterday's last second and the first tick
    // of today came a second late.
    const QDate yesterday = QDate::currentDate().addDays(-1);
    page.m_alarms.first().firedToday = true;
    page.m_alarmDate = yesterday;
    page.m_lastAlarmCheck = QDateTime(yesterday, QTime(23, 59, 59));

    BoxAnswerer answerer;
    page.checkAlarms(QTime(0, 0, 1));
    QCOMPARE(answerer.seen.size(), 1);
    QCOMPARE(answerer.seen.first().text, QStringLiteral("Midnight"));
    QCOMPARE(page.m_alarmDate, QDate::currentDate());
    page.checkAlarms(QTime(0, 0, 2));
    QCOMPARE(answerer.seen.size(), 1);
}

void tst_ClockSuitePage::alarmsOfOneMinuteRingOneAfterAnother()
{
    ClockSuitePage page;
    stopTicking(page);
    addAlarm(page, QTime(7, 0), QStringLiteral("first"));
    addAlarm(page, QTime(7, 0), QStringLiteral("second"));
    page.m_lastAlarmCheck = todayAt(QTime(6, 59, 59));

    // The tick of the next second runs while the first box is open; it must not open the
    // second alarm's box above the first, nor ring the first again.
    BoxAnswerer answerer([&page] { page.checkAlarms(QTime(7, 0, 1)); });
    page.checkAlarms(QTime(7, 0, 0));

    QCOMPARE(answerer.seen.size(), 2);
    QCOMPARE(answerer.seen.at(0).text, QStringLiteral("first"));
    QCOMPARE(answerer.seen.at(0).openBoxes, 1);
    QCOMPARE(answerer.seen.at(1).text, QStringLiteral("second"));
    QCOMPARE(answerer.seen.at(1).openBoxes, 1);
}

void tst_ClockSuitePage::laterAlarmRingsFromNestedTick()
{
    ClockSuitePage page;
    stopTicking(page);
    addAlarm(page, QTime(7, 0), QStringLiteral("first"));
    addAlarm(page, QTime(7, 0), QStringLiteral("second"));
    addAlarm(page, QTime(7, 1), QStringLiteral("later"));
    page.m_lastAlarmCheck = todayAt(QTime(6, 59, 59));

    // The first box stays open into the next minute; that minute's tick comes late too.
    BoxAnswerer answerer([&page] { page.checkAlarms(QTime(7, 1, 1)); });
    page.checkAlarms(QTime(7, 0, 0));

    QCOMPARE(answerer.seen.size(), 3);
    QCOMPARE(answerer.seen.at(0).text, QStringLiteral("first"));
    QCOMPARE(answerer.seen.at(1).text, QStringLiteral("later"));
    QCOMPARE(answerer.seen.at(1).openBoxes, 2);
    QCOMPARE(answerer.seen.at(2).text, QStringLiteral("second"));
    QCOMPARE(answerer.seen.at(2).openBoxes, 1);
}

void tst_ClockSuitePage::switchedOffAlarmStaysQuiet()
{
    ClockSuitePage page;
    stopTicking(page);
    addAlarm(page, QTime(7, 0), QStringLiteral("Gym"));
    page.m_lastAlarmCheck = todayAt(QTime(6, 59, 59));

    BoxAnswerer answerer;
    page.m_alarmList->item(0)->setCheckState(Qt::Unchecked);
    QVERIFY(!page.m_alarms.first().enabled);
    page.checkAlarms(QTime(7, 0, 0));
    QVERIFY(answerer.seen.isEmpty());

    // Switched on again within its minute, after second 0: it waits for tomorrow.
    page.m_alarmList->item(0)->setCheckState(Qt::Checked);
    QVERIFY(page.m_alarms.first().enabled);
    page.checkAlarms(QTime(7, 0, 1));
    page.checkAlarms(QTime(7, 0, 59));
    QVERIFY(answerer.seen.isEmpty());
}

void tst_ClockSuitePage::switchedBackOnBeforeItsMinuteRings()
{
    ClockSuitePage page;
    stopTicking(page);
    addAlarm(page, QTime(7, 0), QStringLiteral("Gym"));
    addAlarm(page, QTime(7, 0), QStringLiteral("Run"));

    BoxAnswerer answerer;
    page.m_alarmList->item(0)->setCheckState(Qt::Unchecked);
    page.checkAlarms(QTime(6, 59, 30));
    page.m_alarmList->item(0)->setCheckState(Qt::Checked);
    page.checkAlarms(QTime(7, 0, 1));
    QCOMPARE(answerer.seen.size(), 2);
    QCOMPARE(answerer.seen.at(0).text, QStringLiteral("Gym"));
    QCOMPARE(answerer.seen.at(1).text, QStringLiteral("Run"));

    // Off and on again after ringing does not make it ring twice in a day.
    page.m_alarmList->item(0)->setCheckState(Qt::Unchecked);
    page.m_alarmList->item(0)->setCheckState(Qt::Checked);
    page.m_lastAlarmCheck = todayAt(QTime(6, 59, 59));
    page.checkAlarms(QTime(7, 0, 0));
    QCOMPARE(answerer.seen.size(), 2);
}

void tst_ClockSuitePage::tickRunsItsStepsInOrder()
{
    ClockSuitePage page;
    stopTicking(page);
    page.m_keepFloatingCheck->setChecked(true);
    addWorldClock(page, QStringLiteral("Home"), QStringLiteral("London"));
    buttonNamed(page.m_worldClockHost, QStringLiteral("Pin"))->click();
    page.m_stopwatchButton->click();
    buttonNamed(&page, QStringLiteral("Start timer"))->click();
    tick(page);

    // The alarm rings in the real current minute, so keep clear of its end.
    QTRY_VERIFY_WITH_TIMEOUT(QTime::currentTime().second() < 58, 5000);
    const QTime now = QTime::currentTime();
    const QTime minute(now.hour(), now.minute());
    addAlarm(page, minute, QStringLiteral("order"));
    page.m_lastAlarmCheck = todayAt(minute).addSecs(-1);

    QLabel *const labels[] = { page.m_clockLabel, page.m_dateLabel, page.m_floatingClockLabel,
        page.m_worldClocks.first().timeLabel, page.m_floatingZoneClocks.first().label,
        page.m_stopwatchLabel, page.m_timerLabel };
    for (QLabel *label : labels) {
        label->setText(QStringLiteral("x"));
    }
    QStringList whileOpen;
    BoxAnswerer answerer([&] {
        for (QLabel *label : labels) {
            whileOpen << label->text();
        }
    });
    tick(page);

    QCOMPARE(answerer.seen.size(), 1);
    QCOMPARE(answerer.seen.first().text, QStringLiteral("order"));
    // Clock, date and floating clock come before the alarms; world clocks, stopwatch and
    // countdown wait for the box.
    QCOMPARE(whileOpen.size(), 7);
    for (int i = 0; i < 3; ++i) {
        QVERIFY2(whileOpen.at(i) != QStringLiteral("x"), qPrintable(QString::number(i)));
    }
    for (int i = 3; i < 7; ++i) {
        QCOMPARE(whileOpen.at(i), QStringLiteral("x"));
    }
    for (QLabel *label : labels) {
        QVERIFY(label->text() != QStringLiteral("x"));
    }
    QCOMPARE(page.m_timerLabel->text(), QStringLiteral("04:58"));
}

int main(int argc, char *argv[])
{
    qputenv("TZ", localZoneId);
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    tst_ClockSuitePage test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_clocksuitepage.moc"
