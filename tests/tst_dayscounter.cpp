#include "common/floatingwidget.h"
#include "tools/days/countdownformat.h"
#include "tools/days/dayscounterpage.h"

#include "dialoganswers.h"

#include <QtTest>
#include <QtWidgets>

#include <ctime>
#include <limits>

class tst_DaysCounter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void formatsAcrossZeroAndLargeSpans();
    void refusesBlankTitles();
    void cardsAndFloatingCardsCountEverySecond();
    void pinsOneFloatingCardPerTitleAcrossRebuilds();
    void countsElapsedTimeAcrossDaylightSaving();

private:
    QString add(const QString &title, const QDateTime &target, QList<dialogs::Step> steps = {})
    {
        m_page->findChild<QDateTimeEdit *>()->setDateTime(target);
        titleEdit()->setText(title);
        QPushButton *add = m_page->findChild<QPushButton *>("PrimaryButton");
        return dialogs::runWithDialogs([add] { add->click(); }, steps);
    }
    QLineEdit *titleEdit() const
    {
        for (QLineEdit *edit : m_page->findChildren<QLineEdit *>()) {
            if (edit->placeholderText() == "e.g. Project deadline") {
                return edit;
            }
        }
        return nullptr;
    }
    QList<QPushButton *> pins() const
    {
        QList<QPushButton *> found = m_page->findChildren<QPushButton *>();
        found.removeIf([](QPushButton *b) { return b->text() != "Pin to screen"; });
        return found;
    }
    QLabel *count(int card) const
    {
        return pins().at(card)->parentWidget()->findChild<QLabel *>("FloatingBigDisplay");
    }
    QList<FloatingWidget *> shown() const
    {
        QList<FloatingWidget *> cards = m_page->findChildren<FloatingWidget *>();
        cards.removeIf([](FloatingWidget *card) { return !card->isVisible(); });
        return cards;
    }

    std::unique_ptr<DaysCounterPage> m_page;
    const QDateTime m_now = QDateTime::currentDateTime();
};

void tst_DaysCounter::init()
{
    m_page = std::make_unique<DaysCounterPage>();
}

void tst_DaysCounter::formatsAcrossZeroAndLargeSpans()
{
    const QDateTime now(QDate(2025, 6, 1), QTime(12, 0, 0, 250), Qt::UTC);
    const auto to = [&now](const QDateTime &target) { return formatCountdownTo(now, target, "ago"); };
    QCOMPARE(to(now), "0d 00:00:00");
    QCOMPARE(to(now.addMSecs(-999)), "0d 00:00:00"); // under a second past is still now
    QCOMPARE(to(now.addMSecs(-1500)), "0d 00:00:01 ago");
    QCOMPARE(to(now.addSecs(-61)), "0d 00:01:01 ago");
    QCOMPARE(to(now.addSecs(86400 + 3600 + 60 + 1)), "1d 01:01:01");
    QCOMPARE(to(now.addYears(3)), "1096d 00:00:00"); // over a leap day
    // The most negative count has no signed magnitude.
    QCOMPARE(formatCountdown(std::numeric_limits<qint64>::min(), "ago"),
        "106751991167300d 15:30:08 ago");
}

void tst_DaysCounter::refusesBlankTitles()
{
    QCOMPARE(add("Existing", m_now.addDays(1)), "");
    QLabel *existing = count(0);
    for (const QString typed : { "", " \t ", "\u00A0" }) {
        QCOMPARE(add(typed, m_now, { dialogs::messageBox("Give the counter a title.") }), "");
        QCOMPARE(titleEdit()->text(), typed);
    }
    QCOMPARE(pins().size(), 1);
    QCOMPARE(count(0), existing); // nothing was rebuilt
}

void tst_DaysCounter::cardsAndFloatingCardsCountEverySecond()
{
    add("Ahead", m_now.addSecs(3605));
    add("Passed", m_now.addSecs(-5000));
    pins().at(1)->click();
    QLabel *const labels[] = { count(0), count(1),
        shown().first()->findChild<QLabel *>("FloatingBigDisplay") };
    for (QLabel *label : labels) {
        label->setText("stale");
    }
    const QDateTime before = QDateTime::currentDateTime();
    QTRY_VERIFY_WITH_TIMEOUT(labels[0]->text() != "stale" && labels[2]->text() != "stale", 2500);
    const qint64 secs[] = { before.secsTo(m_now.addSecs(3605)), before.secsTo(m_now.addSecs(-5000)) };
    for (int i = 0; i < 2; ++i) {
        const QStringList expected { formatCountdown(secs[i], "ago"),
            formatCountdown(secs[i] - 1, "ago"), formatCountdown(secs[i] - 2, "ago") };
        QVERIFY2(expected.contains(labels[i]->text()), qPrintable(labels[i]->text()));
    }
    QCOMPARE(labels[2]->text(), labels[1]->text());
}

void tst_DaysCounter::pinsOneFloatingCardPerTitleAcrossRebuilds()
{
    add("  Launch \t", m_now.addDays(10));
    add("Launch", m_now.addDays(40));
    add("launch", m_now.addDays(10)); // titles are case-sensitive
    QVERIFY(titleEdit()->text().isEmpty());
    QCOMPARE(m_page->findChild<QDateTimeEdit *>()->dateTime(), m_now.addDays(10)); // kept
    pins().at(0)->click();
    pins().at(1)->click();
    QCOMPARE(shown().size(), 1);
    const QPointer<FloatingWidget> launch = shown().first();
    QCOMPARE(launch->title(), "Launch");
    pins().at(2)->click();
    QCOMPARE(shown().size(), 2);
    pins().at(1)->click(); // any pin of the title switched off closes its one card
    QVERIFY(!launch->isVisible());

    // Closed by its cross, a card is forgotten; the pin, still checked, opens a new one on its
    // second click.
    FloatingWidget *other = shown().first();
    other->findChild<QPushButton *>("FloatingCloseButton")->click();
    QVERIFY(shown().isEmpty());
    pins().at(2)->click();
    QVERIFY(shown().isEmpty());
    pins().at(2)->click();
    QCOMPARE(shown().size(), 1);
    QVERIFY(shown().first() != other);

    // Adding rebuilds the cards in rows of three with unchecked pins; the floating card stays.
    const QPointer<QLabel> oldCount = count(0);
    const QPointer<FloatingWidget> pinned = shown().first();
    add("D", m_now.addDays(3));
    QVERIFY(oldCount.isNull());
    QCOMPARE(pins().size(), 4);
    int row = 0, column = 0, span = 0;
    m_page->findChild<QGridLayout *>()->getItemPosition(3, &row, &column, &span, &span);
    QCOMPARE(QPoint(column, row), QPoint(0, 1));
    QCOMPARE(shown(), QList<FloatingWidget *> { pinned });
    QVERIFY(!pins().at(2)->isChecked());
    // The fresh pin of that title shows the same card; unchecking it closes it.
    pins().at(2)->click();
    QCOMPARE(shown(), QList<FloatingWidget *> { pinned });
    pins().at(2)->click();
    QVERIFY(shown().isEmpty());
}

// Noon the day before to noon the day after each change of offset, counted from local
// date-times with TZ set to the zone (and left so: the other tests work in any zone).
void tst_DaysCounter::countsElapsedTimeAcrossDaylightSaving()
{
    const QTimeZone zone("Europe/Berlin");
    qputenv("TZ", zone.id());
    tzset();
    QDateTime change(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC);
    for (const char *elapsed : { "1d 23:00:00", "2d 01:00:00" }) { // clocks forward, then back
        change = zone.nextTransition(change).atUtc;
        const QDate day = change.toTimeZone(zone).date();
        const QDateTime from(day.addDays(-1), QTime(12, 0));
        const QDateTime to(day.addDays(1), QTime(12, 0));
        QCOMPARE(from.offsetFromUtc(), zone.offsetFromUtc(from)); // local time is the zone's
        QCOMPARE(formatCountdownTo(from, to, "ago"), elapsed);
        QCOMPARE(formatCountdownTo(to, from, "ago"), elapsed + QString(" ago"));
    }
}

QTEST_MAIN(tst_DaysCounter)
#include "tst_dayscounter.moc"
