#include "common/floatingwidget.h"
#include "tools/clock/clocksuitepage.h"

#include <QTest>
#include <QtWidgets>

#include <functional>

namespace {

// A zone with daylight saving for the whole process, and Qt's own dialogs the tests can answer.
constexpr char localZoneId[] = "America/New_York";
const bool s_setUp = [] {
    qputenv("TZ", localZoneId);
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    return true;
}();

// Answers every message box with Ok and records "title: text", so an unexpected box fails the
// test instead of hanging it. whileOpen runs once while the first box is still open: where the
// page's timer would run a nested tick.
struct Boxes : QObject
{
    explicit Boxes(std::function<void()> whileOpen = {})
    {
        connect(&poll, &QTimer::timeout, this, [this, whileOpen]() mutable {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box && !box->property("answered").toBool()) {
                box->setProperty("answered", true);
                seen << box->windowTitle() + ": " + box->text();
                QTimer::singleShot(0, box, [box, run = std::exchange(whileOpen, {})] {
                    if (run) {
                        run();
                    }
                    box->button(QMessageBox::Ok)->click();
                });
            }
        });
        poll.start(5);
    }
    QStringList seen;
    QTimer poll;
};

} // namespace

class tst_ClockSuitePage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void floatingCardsClosedByCrossAreForgotten();
    void addsWorldClocks();
    void stopwatchAndCountdown();
    void alarmsRingOnceADayOneBoxAtATime();
    void tickRunsItsStepsInOrder();

private:
    void addAlarm(int hour, int minute, const QString &label)
    {
        m_page->m_alarmTimeEdit->setTime(QTime(hour, minute));
        m_page->m_alarmLabelEdit->setText(label);
        m_page->addAlarm();
    }
    // Adds a world clock and returns its pin button.
    QPushButton *addWorldClock(const QString &city, const QString &zoneName)
    {
        m_page->m_cityEdit->setText(city);
        m_page->m_zoneCombo->setCurrentIndex(m_page->m_zoneCombo->findText(zoneName));
        m_page->addWorldClock();
        return m_page->m_worldClockHost->findChildren<QPushButton *>().value(
            m_page->m_worldClocks.size() - 1);
    }

    std::unique_ptr<ClockSuitePage> m_page;
};

void tst_ClockSuitePage::init()
{
    m_page = std::make_unique<ClockSuitePage>();
    // The tests drive the ticks; the page's own timer would add ticks at random moments.
    m_page->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->stop();
}

void tst_ClockSuitePage::floatingCardsClosedByCrossAreForgotten()
{
    m_page->m_keepFloatingCheck->setChecked(true);
    QPushButton *pin = addWorldClock("Home", "London");
    pin->click();
    const auto cards = [this] {
        return QList<FloatingWidget *> { m_page->m_floatingClock,
            m_page->m_floatingZoneClocks.value("Home").card };
    };
    const QList<FloatingWidget *> first = cards();
    for (FloatingWidget *card : first) {
        QVERIFY(card->isVisible());
        card->findChild<QPushButton *>("FloatingCloseButton")->click();
    }
    QCOMPARE(cards(), (QList<FloatingWidget *> { nullptr, nullptr }));
    QVERIFY(!m_page->m_floatingClockLabel && !m_page->m_keepFloatingCheck->isChecked());
    // Opened again as new cards; the pin still shows checked, so it takes two clicks.
    m_page->m_keepFloatingCheck->setChecked(true);
    pin->click();
    pin->click();
    for (FloatingWidget *card : cards()) {
        QVERIFY(card && !first.contains(card) && card->isVisible());
    }
}

void tst_ClockSuitePage::addsWorldClocks()
{
    m_page->m_zoneCombo->setItemData(0, "Nowhere/Atlantis"); // as if the system lacked it
    Boxes boxes;
    addWorldClock("Atlantis", m_page->m_zoneCombo->itemText(0));
    QCOMPARE(boxes.seen, QStringList { "mirvale: That timezone isn't available on this system." });
    QCOMPARE(m_page->m_cityEdit->text(), "Atlantis");

    addWorldClock("   ", "Sydney");
    addWorldClock("  My office \t", "Mumbai");
    QStringList added;
    for (const WorldClock &clock : std::as_const(m_page->m_worldClocks)) {
        added << clock.city + '=' + clock.zone.id();
    }
    QCOMPARE(added, (QStringList { "Sydney=Australia/Sydney", "My office=Asia/Kolkata" }));
}

void tst_ClockSuitePage::stopwatchAndCountdown()
{
    QLabel *stopwatch = m_page->m_stopwatchLabel;
    m_page->m_stopwatchButton->click();
    QTRY_VERIFY((m_page->tick(), stopwatch->text() != "00:00.0"));
    m_page->m_stopwatchButton->click();
    const QString paused = stopwatch->text();
    m_page->tick();
    QCOMPARE(stopwatch->text(), paused);
    m_page->m_stopwatchButton->click(); // resumes from where it stood, not from zero
    m_page->tick();
    QVERIFY2(stopwatch->text() >= paused, qPrintable(stopwatch->text()));
    m_page->resetStopwatch();
    m_page->tick();
    QCOMPARE(stopwatch->text(), "00:00.0");

    m_page->startTimer();
    m_page->tick();
    m_page->m_timerMinutesEdit->setText("35791395"); // its seconds overflow 32 bits
    Boxes boxes;
    m_page->startTimer();
    QCOMPARE(boxes.seen, QStringList { "mirvale: Enter a positive number of minutes." });
    m_page->tick();
    QCOMPARE(m_page->m_timerLabel->text(), "04:58"); // the running countdown went on
    // Started again while running, it counts from the new length, and ends a tick after 00:00.
    m_page->m_timerMinutesEdit->setText("1");
    m_page->startTimer();
    QStringList shown;
    for (int i = 0; i < 61; ++i) {
        m_page->tick();
        shown << m_page->m_timerLabel->text();
    }
    QCOMPARE(shown.mid(59), (QStringList { "00:00", "Time's up!" }));
}

void tst_ClockSuitePage::alarmsRingOnceADayOneBoxAtATime()
{
    addAlarm(7, 0, "first");
    addAlarm(7, 0, QString());
    addAlarm(7, 1, "later");
    QListWidgetItem *unnamed = m_page->m_alarmList->item(1);
    {
        Boxes boxes;
        unnamed->setCheckState(Qt::Unchecked);
        m_page->checkAlarms(QTime(6, 59, 30));
        m_page->checkAlarms(QTime(7, 0, 1)); // second 0 skipped
        unnamed->setCheckState(Qt::Checked);
        m_page->checkAlarms(QTime(7, 0, 30)); // switched on too late for today
        QCOMPARE(boxes.seen, QStringList { "Alarm: first" });
    }
    // A new day re-arms them. A tick nested in the first box within the same minute leaves the
    // second alarm to wait for that box; one in the next minute rings its own alarm.
    m_page->m_alarmDate = m_page->m_alarmDate.addDays(-1);
    m_page->m_lastAlarmCheck = QDateTime(QDate::currentDate(), QTime(6, 59, 59));
    Boxes boxes([this] {
        m_page->checkAlarms(QTime(7, 0, 1));
        m_page->checkAlarms(QTime(7, 1, 1));
    });
    m_page->checkAlarms(QTime(7, 0));
    QCOMPARE(boxes.seen, (QStringList { "Alarm: first", "Alarm: later", "Alarm: Alarm" }));
}

void tst_ClockSuitePage::tickRunsItsStepsInOrder()
{
    m_page->m_keepFloatingCheck->setChecked(true);
    addWorldClock("Home", "London")->click();
    m_page->m_stopwatchButton->click();
    m_page->startTimer();
    m_page->tick();
    // The alarm rings in the real current minute, so keep clear of its end.
    QTRY_VERIFY_WITH_TIMEOUT(QTime::currentTime().second() < 58, 5000);
    const QTime now = QTime::currentTime();
    addAlarm(now.hour(), now.minute(), "order");
    m_page->m_lastAlarmCheck =
        QDateTime(QDate::currentDate(), QTime(now.hour(), now.minute())).addSecs(-1);

    QLabel *const labels[] = { m_page->m_clockLabel, m_page->m_dateLabel,
        m_page->m_floatingClockLabel, m_page->m_worldClocks.first().timeLabel,
        m_page->m_floatingZoneClocks.first().label, m_page->m_stopwatchLabel,
        m_page->m_timerLabel };
    const auto stale = [&labels] {
        QString marks;
        for (QLabel *label : labels) {
            marks += label->text() == "x" ? 'x' : '-';
        }
        return marks;
    };
    for (QLabel *label : labels) {
        label->setText("x");
    }
    QString whileOpen;
    Boxes boxes([&] { whileOpen = stale(); });
    const QDateTime before = QDateTime::currentDateTimeUtc();
    m_page->tick();
    QCOMPARE(boxes.seen, QStringList { "Alarm: order" });
    // Clock, date and floating clock come before the alarms; the rest waits for the box.
    QCOMPARE(whileOpen, "---xxxx");
    QCOMPARE(stale(), "-------");
    // The local clock follows the process's zone, computed here from that zone's offset.
    const QTimeZone zone(localZoneId);
    QStringList wall;
    for (const QDateTime &t : { before, before.addSecs(1) }) {
        wall << t.addSecs(zone.offsetFromUtc(t)).time().toString("HH:mm:ss");
    }
    QVERIFY2(wall.contains(labels[0]->text()), qPrintable(labels[0]->text()));
    QCOMPARE(labels[2]->text(), labels[0]->text());
    QCOMPARE(labels[4]->text(), labels[3]->text());
}

QTEST_MAIN(tst_ClockSuitePage)
#include "tst_clocksuitepage.moc"
