#include "common/floatingwidget.h"
#include "tools/days/countdownformat.h"
#include "tools/days/dayscounterpage.h"

#include <QDateTimeEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// Qt's own message boxes, so the tests can find and answer them.
const bool s_qtDialogs = [] {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    return true;
}();

// Answers the one modal dialog a test expects: polls until it appears (or the deadline passes),
// records what it showed, runs an optional check inside the dialog's event loop, then clicks Ok.
class WarningAnswerer : public QObject
{
public:
    explicit WarningAnswerer(std::function<void()> whileOpen = {})
        : m_whileOpen(std::move(whileOpen))
    {
        m_poll.setInterval(20);
        QObject::connect(&m_poll, &QTimer::timeout, this, [this] { poll(); });
        m_poll.start();
        m_deadline.start();
    }

    bool answered = false;
    QString className;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            if (m_deadline.hasExpired(5000)) {
                m_poll.stop();
            }
            return;
        }
        m_poll.stop();
        className = QString::fromLatin1(modal->metaObject()->className());
        title = modal->windowTitle();
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (box) {
            text = box->text();
            icon = box->icon();
            if (m_whileOpen) {
                m_whileOpen();
            }
            if (QAbstractButton *ok = box->button(QMessageBox::Ok)) {
                answered = true;
                ok->click();
                return;
            }
        }
        modal->close(); // anything else: close it so the test fails instead of hanging
    }

    std::function<void()> m_whileOpen;
    QTimer m_poll;
    QElapsedTimer m_deadline;
};

// The count shown for target at some moment between before and after.
bool showsCountTo(
    const QString &shown, const QDateTime &target, const QDateTime &before, const QDateTime &after)
{
    for (qint64 s = after.secsTo(target); s <= before.secsTo(target); ++s) {
        if (shown == formatCountdown(s, QStringLiteral("ago"))) {
            return true;
        }
    }
    return false;
}

} // namespace

class tst_DaysCounterPage : public QObject
{
    Q_OBJECT

private slots:
    void runsOneSecondTimerAndIgnoresEnter();
    void untouchedEditorCountsToThirtyDaysAfterStartup();
    void storesTrimmedTitleAndClearsOnlyTheTitle();
    void refusesEmptyAndBlankTitles_data();
    void refusesEmptyAndBlankTitles();
    void countsKeepChangingUnderTheWarning();
    void placesCardsInRowsOfThreeInInsertionOrder();
    void showsCountAheadAndAgoOncePassed();
    void tickRefreshesCardsAndFloatingCards();
    void timerRefreshesEverySecond();
    void pinsOneFloatingCardPerTitle();
    void pinsDifferentTitlesSeparately();
    void floatingCardClosedByCrossIsForgottenAndPinnableAgain();
    void rebuildKeepsFloatingCardsWithoutLeaksOrDuplicates();

private:
    static void addCounter(DaysCounterPage &page, const QString &title, const QDateTime &target);
    static QWidget *card(DaysCounterPage &page, int index);
    static QPushButton *pinButton(DaysCounterPage &page, int index);
    static QList<FloatingWidget *> floatingCards(DaysCounterPage &page);
    static QLabel *floatingLabel(FloatingWidget *card);
};

void tst_DaysCounterPage::addCounter(
    DaysCounterPage &page, const QString &title, const QDateTime &target)
{
    page.m_dateTimeEdit->setDateTime(target);
    page.m_titleEdit->setText(title);
    auto *add = page.findChild<QPushButton *>(QStringLiteral("PrimaryButton"));
    QVERIFY(add);
    add->click();
}

QWidget *tst_DaysCounterPage::card(DaysCounterPage &page, int index)
{
    QLabel *label = page.m_counters.at(index).remainingLabel;
    return label ? label->parentWidget() : nullptr;
}

QPushButton *tst_DaysCounterPage::pinButton(DaysCounterPage &page, int index)
{
    return card(page, index)->findChild<QPushButton *>();
}

QList<FloatingWidget *> tst_DaysCounterPage::floatingCards(DaysCounterPage &page)
{
    return page.findChildren<FloatingWidget *>();
}

QLabel *tst_DaysCounterPage::floatingLabel(FloatingWidget *card)
{
    return card->contentWidget()->findChild<QLabel *>(QStringLiteral("FloatingBigDisplay"));
}

void tst_DaysCounterPage::runsOneSecondTimerAndIgnoresEnter()
{
    DaysCounterPage page;
    const QList<QTimer *> timers = page.findChildren<QTimer *>(Qt::FindDirectChildrenOnly);
    QCOMPARE(timers.size(), 1);
    QCOMPARE(timers.first()->interval(), 1000);
    QVERIFY(timers.first()->isActive());

    page.m_titleEdit->setText(QStringLiteral("Trip"));
    QTest::keyClick(page.m_titleEdit, Qt::Key_Return);
    QVERIFY(page.m_counters.isEmpty());
    QCOMPARE(page.m_cardsGrid->count(), 0);
}

void tst_DaysCounterPage::untouchedEditorCountsToThirtyDaysAfterStartup()
{
    const QDateTime before = QDateTime::currentDateTime();
    DaysCounterPage page;
    const QDateTime after = QDateTime::currentDateTime();
    const QDateTime initial = page.m_dateTimeEdit->dateTime();
    QVERIFY(initial >= before.addDays(30));
    QVERIFY(initial <= after.addDays(30));

    page.m_titleEdit->setText(QStringLiteral("Holiday"));
    page.findChild<QPushButton *>(QStringLiteral("PrimaryButton"))->click();
    QCOMPARE(page.m_counters.size(), 1);
    QCOMPARE(page.m_counters.first().target, initial);
}

void tst_DaysCounterPage::storesTrimmedTitleAndClearsOnlyTheTitle()
{
    DaysCounterPage page;
    const QDateTime target = QDateTime::currentDateTime().addDays(3);
    addCounter(page, QStringLiteral("  Launch day \t"), target);

    QCOMPARE(page.m_counters.size(), 1);
    QCOMPARE(page.m_counters.first().title, QStringLiteral("Launch day"));
    QVERIFY(page.m_titleEdit->text().isEmpty());
    QCOMPARE(page.m_dateTimeEdit->dateTime(), target);

    QWidget *c = card(page, 0);
    QVERIFY(c);
    QCOMPARE(c->objectName(), QStringLiteral("QRPreview"));
    QStringList texts;
    for (QLabel *label : c->findChildren<QLabel *>()) {
        texts << label->text();
    }
    QVERIFY(texts.contains(QStringLiteral("Launch day")));
    QCOMPARE(pinButton(page, 0)->text(), QStringLiteral("Pin to screen"));
    QVERIFY(pinButton(page, 0)->isCheckable());
    QVERIFY(!pinButton(page, 0)->isChecked());
}

void tst_DaysCounterPage::refusesEmptyAndBlankTitles_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addRow("empty") << QString();
    QTest::addRow("three spaces") << QStringLiteral("   ");
    QTest::addRow("tab and spaces") << QStringLiteral(" \t ");
    QTest::addRow("no-break space") << QStringLiteral("\u00A0");
}

void tst_DaysCounterPage::refusesEmptyAndBlankTitles()
{
    QFETCH(QString, typed);
    DaysCounterPage page;
    addCounter(page, QStringLiteral("Existing"), QDateTime::currentDateTime().addDays(1));
    QWidget *existingCard = card(page, 0);
    const QDateTime chosen = QDateTime::currentDateTime().addDays(9);
    page.m_dateTimeEdit->setDateTime(chosen);
    page.m_titleEdit->setText(typed);

    WarningAnswerer answer;
    page.findChild<QPushButton *>(QStringLiteral("PrimaryButton"))->click();

    QVERIFY(answer.answered);
    QCOMPARE(answer.className, QStringLiteral("QMessageBox"));
    QCOMPARE(answer.title, QStringLiteral("mirvale"));
    QCOMPARE(answer.text, QStringLiteral("Give the counter a title."));
    QCOMPARE(answer.icon, QMessageBox::Warning);
    QCOMPARE(page.m_counters.size(), 1);
    QCOMPARE(page.m_cardsGrid->count(), 1);
    QCOMPARE(card(page, 0), existingCard); // nothing was rebuilt
    QCOMPARE(page.m_titleEdit->text(), typed);
    QCOMPARE(page.m_dateTimeEdit->dateTime(), chosen);
}

void tst_DaysCounterPage::countsKeepChangingUnderTheWarning()
{
    DaysCounterPage page;
    addCounter(page, QStringLiteral("Exam"), QDateTime::currentDateTime().addDays(2));
    QLabel *count = page.m_counters.first().remainingLabel;
    auto *timer = page.findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(timer);

    bool tickedWhileOpen = false;
    WarningAnswerer answer([&] {
        count->setText(QStringLiteral("stale"));
        QSignalSpy ticks(timer, &QTimer::timeout);
        tickedWhileOpen = ticks.wait(3000) && count->text() != QStringLiteral("stale");
    });
    page.findChild<QPushButton *>(QStringLiteral("PrimaryButton"))->click();
    QVERIFY(answer.answered);
    QVERIFY(tickedWhileOpen);
}

void tst_DaysCounterPage::placesCardsInRowsOfThreeInInsertionOrder()
{
    DaysCounterPage page;
    const QDateTime now = QDateTime::currentDateTime();
    const QStringList titles { "A", "B", "C", "D", "E" };
    for (int i = 0; i < titles.size(); ++i) {
        addCounter(page, titles.at(i), now.addDays(i + 1));
    }
    QCOMPARE(page.m_cardsGrid->count(), titles.size());

    const QList<QPoint> cells { { 0, 0 }, { 0, 1 }, { 0, 2 }, { 1, 0 }, { 1, 1 } };
    for (int i = 0; i < titles.size(); ++i) {
        QLayoutItem *item = page.m_cardsGrid->itemAtPosition(cells.at(i).x(), cells.at(i).y());
        QVERIFY(item);
        QCOMPARE(item->widget(), card(page, i));
        QLabel *title = nullptr;
        for (QLabel *label : item->widget()->findChildren<QLabel *>()) {
            if (label->objectName() != QStringLiteral("FloatingBigDisplay")) {
                title = label;
            }
        }
        QVERIFY(title);
        QCOMPARE(title->text(), titles.at(i));
    }
    QVERIFY(!page.m_cardsGrid->itemAtPosition(1, 2));
}

void tst_DaysCounterPage::showsCountAheadAndAgoOncePassed()
{
    DaysCounterPage page;
    const QDateTime base = QDateTime::currentDateTime();
    const QDateTime ahead = base.addSecs(3600 + 5);
    const QDateTime passed = base.addSecs(-61);
    const QDateTime yearsAhead = base.addYears(3);

    const QDateTime before = QDateTime::currentDateTime();
    addCounter(page, QStringLiteral("Ahead"), ahead);
    addCounter(page, QStringLiteral("Passed"), passed);
    addCounter(page, QStringLiteral("Years"), yearsAhead);
    const QDateTime after = QDateTime::currentDateTime();

    const QString aheadText = page.m_counters.at(0).remainingLabel->text();
    const QString passedText = page.m_counters.at(1).remainingLabel->text();
    QVERIFY2(showsCountTo(aheadText, ahead, before, after), qPrintable(aheadText));
    QVERIFY2(showsCountTo(passedText, passed, before, after), qPrintable(passedText));
    QVERIFY(!aheadText.endsWith(QStringLiteral(" ago")));
    QVERIFY(passedText.endsWith(QStringLiteral(" ago")));
    QVERIFY2(showsCountTo(page.m_counters.at(2).remainingLabel->text(), yearsAhead, before, after),
        qPrintable(page.m_counters.at(2).remainingLabel->text()));
}

void tst_DaysCounterPage::tickRefreshesCardsAndFloatingCards()
{
    DaysCounterPage page;
    const QDateTime target = QDateTime::currentDateTime().addSecs(-5000);
    addCounter(page, QStringLiteral("Since"), target);
    pinButton(page, 0)->click();
    QCOMPARE(floatingCards(page).size(), 1);

    QLabel *count = page.m_counters.first().remainingLabel;
    QLabel *floating = floatingLabel(floatingCards(page).first());
    QVERIFY(floating);
    count->setText(QStringLiteral("stale"));
    floating->setText(QStringLiteral("stale"));

    const QDateTime before = QDateTime::currentDateTime();
    QVERIFY(QMetaObject::invokeMethod(&page, "tick"));
    const QDateTime after = QDateTime::currentDateTime();
    QVERIFY2(showsCountTo(count->text(), target, before, after), qPrintable(count->text()));
    QVERIFY2(showsCountTo(floating->text(), target, before, after), qPrintable(floating->text()));
}

void tst_DaysCounterPage::timerRefreshesEverySecond()
{
    DaysCounterPage page;
    addCounter(page, QStringLiteral("Soon"), QDateTime::currentDateTime().addSecs(600));
    QLabel *count = page.m_counters.first().remainingLabel;
    count->setText(QStringLiteral("stale"));
    QTRY_VERIFY_WITH_TIMEOUT(count->text() != QStringLiteral("stale"), 2500);
}

void tst_DaysCounterPage::pinsOneFloatingCardPerTitle()
{
    DaysCounterPage page;
    const QDateTime first = QDateTime::currentDateTime().addDays(10);
    const QDateTime second = QDateTime::currentDateTime().addDays(40);
    addCounter(page, QStringLiteral("Launch"), first);
    addCounter(page, QStringLiteral("Launch"), second);

    pinButton(page, 0)->click();
    QCOMPARE(floatingCards(page).size(), 1);
    const QPointer<FloatingWidget> floating = floatingCards(page).first();
    QVERIFY(floating->isVisible());
    QVERIFY(floating->isWindow());
    QCOMPARE(floating->title(), QStringLiteral("Launch"));

    pinButton(page, 1)->click();
    QVERIFY(pinButton(page, 1)->isChecked());
    QCOMPARE(floatingCards(page).size(), 1);
    QCOMPARE(floatingCards(page).first(), floating.data());
    QVERIFY(floating->isVisible());

    // It keeps counting to the target of the counter that opened it.
    const QDateTime before = QDateTime::currentDateTime();
    QVERIFY(QMetaObject::invokeMethod(&page, "tick"));
    const QDateTime after = QDateTime::currentDateTime();
    const QString shown = floatingLabel(floating)->text();
    QVERIFY2(showsCountTo(shown, first, before, after), qPrintable(shown));

    // Any pin of the title switched off closes the one card.
    pinButton(page, 1)->click();
    QVERIFY(!floating->isVisible());
    QVERIFY(page.m_floating.isEmpty());
    QTRY_VERIFY(floating.isNull());
    QVERIFY(floatingCards(page).isEmpty());
    QVERIFY(pinButton(page, 0)->isChecked()); // the other pin is not touched

    // That pin's next click unchecks it and closes nothing; the one after opens a new card.
    pinButton(page, 0)->click();
    QVERIFY(floatingCards(page).isEmpty());
    pinButton(page, 0)->click();
    QCOMPARE(floatingCards(page).size(), 1);
    QVERIFY(floatingCards(page).first()->isVisible());
}

void tst_DaysCounterPage::pinsDifferentTitlesSeparately()
{
    DaysCounterPage page;
    const QDateTime now = QDateTime::currentDateTime();
    addCounter(page, QStringLiteral("Trip"), now.addDays(5));
    addCounter(page, QStringLiteral("trip"), now.addDays(6)); // titles are case-sensitive
    pinButton(page, 0)->click();
    pinButton(page, 1)->click();

    const QList<FloatingWidget *> cards = floatingCards(page);
    QCOMPARE(cards.size(), 2);
    QStringList titles;
    for (FloatingWidget *c : cards) {
        QVERIFY(c->isVisible());
        titles << c->title();
    }
    titles.sort();
    QCOMPARE(titles, (QStringList { "Trip", "trip" }));
}

void tst_DaysCounterPage::floatingCardClosedByCrossIsForgottenAndPinnableAgain()
{
    DaysCounterPage page;
    addCounter(page, QStringLiteral("Move"), QDateTime::currentDateTime().addDays(12));
    QPushButton *pin = pinButton(page, 0);
    pin->click();
    QCOMPARE(floatingCards(page).size(), 1);
    const QPointer<FloatingWidget> floating = floatingCards(page).first();

    auto *cross = floating->findChild<QPushButton *>(QStringLiteral("FloatingCloseButton"));
    QVERIFY(cross);
    QSignalSpy closed(floating.data(), &FloatingWidget::closeRequested);
    cross->click();
    QCOMPARE(closed.size(), 1);
    QVERIFY(page.m_floating.isEmpty());
    QVERIFY(!floating->isVisible());
    // A closed card is never shown again, so it does not linger as a hidden window.
    QTRY_VERIFY(floating.isNull());

    // Ticks after the close touch nothing that is gone.
    QVERIFY(QMetaObject::invokeMethod(&page, "tick"));

    // The pin still shows checked: its next click only unchecks it...
    QVERIFY(pin->isChecked());
    pin->click();
    QVERIFY(!pin->isChecked());
    QVERIFY(floatingCards(page).isEmpty());
    // ...and the one after that opens a new card.
    pin->click();
    QCOMPARE(floatingCards(page).size(), 1);
    FloatingWidget *again = floatingCards(page).first();
    QVERIFY(again->isVisible());
    QCOMPARE(again->title(), QStringLiteral("Move"));
    QCOMPARE(page.m_floating.size(), 1);
}

void tst_DaysCounterPage::rebuildKeepsFloatingCardsWithoutLeaksOrDuplicates()
{
    DaysCounterPage page;
    const QDateTime now = QDateTime::currentDateTime();
    addCounter(page, QStringLiteral("Pinned"), now.addDays(1));
    pinButton(page, 0)->click();
    const QPointer<FloatingWidget> floating = floatingCards(page).first();
    const QPointer<QWidget> oldCard = card(page, 0);
    const QPointer<QLabel> oldCount = page.m_counters.first().remainingLabel;

    const int rebuilds = 12;
    for (int i = 0; i < rebuilds; ++i) {
        addCounter(page, QStringLiteral("Other %1").arg(i), now.addDays(i + 2));
    }
    const int counters = rebuilds + 1;

    // The old cards went at once; exactly one card per counter is left, each with a fresh pin.
    QVERIFY(oldCard.isNull());
    QVERIFY(oldCount.isNull());
    QCOMPARE(page.m_cardsGrid->count(), counters);
    QCOMPARE(
        page.m_cardsHost->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).size(), counters);
    QCOMPARE(page.m_cardsHost->findChildren<QPushButton *>().size(), counters);
    for (int i = 0; i < counters; ++i) {
        QVERIFY(!pinButton(page, i)->isChecked());
    }

    // The floating card stayed open, alone, and goes on counting.
    QCOMPARE(floatingCards(page).size(), 1);
    QCOMPARE(floatingCards(page).first(), floating.data());
    QVERIFY(floating->isVisible());
    floatingLabel(floating)->setText(QStringLiteral("stale"));
    QVERIFY(QMetaObject::invokeMethod(&page, "tick"));
    QVERIFY(floatingLabel(floating)->text() != QStringLiteral("stale"));

    // Checking the fresh pin of that title shows the same card; unchecking it closes it.
    pinButton(page, 0)->click();
    QCOMPARE(floatingCards(page).size(), 1);
    QCOMPARE(floatingCards(page).first(), floating.data());
    pinButton(page, 0)->click();
    QVERIFY(page.m_floating.isEmpty());
    QTRY_VERIFY(floating.isNull());
    QVERIFY(floatingCards(page).isEmpty());
}

QTEST_MAIN(tst_DaysCounterPage)
#include "tst_dayscounterpage.moc"
