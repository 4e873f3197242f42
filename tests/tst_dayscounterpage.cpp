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

namespace {

// Qt's own message boxes, so the tests can find and answer them.
const bool s_qtDialogs = [] {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    return true;
}();

// Answers the one warning a test expects with Ok and records "title: text"; anything else
// modal is closed, so the test fails instead of hanging.
class WarningAnswerer : public QObject
{
public:
    WarningAnswerer()
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal) {
                return;
            }
            m_poll.stop();
            auto *box = qobject_cast<QMessageBox *>(modal);
            if (box && box->icon() == QMessageBox::Warning && box->button(QMessageBox::Ok)) {
                seen = box->windowTitle() + QStringLiteral(": ") + box->text();
                box->button(QMessageBox::Ok)->click();
            } else {
                modal->close();
            }
        });
        m_poll.start(20);
    }

    QString seen;

private:
    QTimer m_poll;
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
    void addsCardsInRowsOfThreeWithTrimmedTitles();
    void refusesEmptyAndBlankTitles_data();
    void refusesEmptyAndBlankTitles();
    void ticksRefreshCardsAndFloatingCards();
    void timerRefreshesEverySecond();
    void pinsOneFloatingCardPerTitle();
    void floatingCardClosedByCrossIsForgottenAndPinnableAgain();
    void rebuildKeepsFloatingCardsWithoutLeaksOrDuplicates();

private:
    static void addCounter(DaysCounterPage &page, const QString &title, const QDateTime &target)
    {
        page.m_dateTimeEdit->setDateTime(target);
        page.m_titleEdit->setText(title);
        page.findChild<QPushButton *>(QStringLiteral("PrimaryButton"))->click();
    }
    static QWidget *card(DaysCounterPage &page, int index)
    {
        return page.m_counters.at(index).remainingLabel->parentWidget();
    }
    static QPushButton *pinButton(DaysCounterPage &page, int index)
    {
        return card(page, index)->findChild<QPushButton *>();
    }
    static QList<FloatingWidget *> floatingCards(DaysCounterPage &page)
    {
        return page.findChildren<FloatingWidget *>();
    }
    static QLabel *floatingLabel(FloatingWidget *card)
    {
        return card->contentWidget()->findChild<QLabel *>();
    }
};

void tst_DaysCounterPage::addsCardsInRowsOfThreeWithTrimmedTitles()
{
    DaysCounterPage page;
    const QDateTime target = QDateTime::currentDateTime().addDays(3);
    for (const char *title : { "  Launch day \t", "B", "C", "D" }) {
        addCounter(page, QString::fromLatin1(title), target);
    }
    QCOMPARE(page.m_counters.first().title, QStringLiteral("Launch day"));
    // Only the title is cleared, ready for the next counter to the same moment.
    QVERIFY(page.m_titleEdit->text().isEmpty());
    QCOMPARE(page.m_dateTimeEdit->dateTime(), target);
    QCOMPARE(page.m_cardsGrid->count(), 4);
    QCOMPARE(page.m_cardsGrid->itemAtPosition(0, 2)->widget(), card(page, 2));
    QCOMPARE(page.m_cardsGrid->itemAtPosition(1, 0)->widget(), card(page, 3));
}

void tst_DaysCounterPage::refusesEmptyAndBlankTitles_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addRow("empty") << QString();
    QTest::addRow("tab and spaces") << QStringLiteral(" \t ");
    QTest::addRow("no-break space") << QStringLiteral("\u00A0");
}

void tst_DaysCounterPage::refusesEmptyAndBlankTitles()
{
    QFETCH(QString, typed);
    DaysCounterPage page;
    addCounter(page, QStringLiteral("Existing"), QDateTime::currentDateTime().addDays(1));
    QWidget *existingCard = card(page, 0);

    WarningAnswerer answer;
    addCounter(page, typed, QDateTime::currentDateTime().addDays(9));
    QCOMPARE(answer.seen, QStringLiteral("mirvale: Give the counter a title."));
    QCOMPARE(page.m_counters.size(), 1);
    QCOMPARE(page.m_cardsGrid->count(), 1);
    QCOMPARE(card(page, 0), existingCard); // nothing was rebuilt
    QCOMPARE(page.m_titleEdit->text(), typed);
}

void tst_DaysCounterPage::ticksRefreshCardsAndFloatingCards()
{
    DaysCounterPage page;
    const QDateTime ahead = QDateTime::currentDateTime().addSecs(3605);
    const QDateTime passed = QDateTime::currentDateTime().addSecs(-5000);
    addCounter(page, QStringLiteral("Ahead"), ahead);
    addCounter(page, QStringLiteral("Passed"), passed);
    pinButton(page, 1)->click();
    QLabel *const labels[] = { page.m_counters.at(0).remainingLabel,
        page.m_counters.at(1).remainingLabel, floatingLabel(floatingCards(page).first()) };
    for (QLabel *label : labels) {
        label->setText(QStringLiteral("stale"));
    }

    const QDateTime before = QDateTime::currentDateTime();
    QVERIFY(QMetaObject::invokeMethod(&page, "tick"));
    const QDateTime after = QDateTime::currentDateTime();
    const QDateTime targets[] = { ahead, passed, passed };
    for (int i = 0; i < 3; ++i) {
        const QString shown = labels[i]->text();
        QVERIFY2(showsCountTo(shown, targets[i], before, after), qPrintable(shown));
        QCOMPARE(shown.endsWith(QStringLiteral(" ago")), i > 0);
    }
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
    addCounter(page, QStringLiteral("Launch"), first);
    addCounter(page, QStringLiteral("Launch"), first.addDays(30));
    addCounter(page, QStringLiteral("launch"), first); // titles are case-sensitive

    pinButton(page, 0)->click();
    pinButton(page, 1)->click();
    QCOMPARE(floatingCards(page).size(), 1);
    const QPointer<FloatingWidget> floating = floatingCards(page).first();
    QVERIFY(floating->isVisible());
    // It keeps counting to the target of the counter that opened it.
    const QDateTime before = QDateTime::currentDateTime();
    QVERIFY(QMetaObject::invokeMethod(&page, "tick"));
    const QString shown = floatingLabel(floating)->text();
    QVERIFY2(showsCountTo(shown, first, before, QDateTime::currentDateTime()), qPrintable(shown));

    pinButton(page, 2)->click();
    QCOMPARE(floatingCards(page).size(), 2);

    // Any pin of the title switched off closes its one card.
    pinButton(page, 1)->click();
    QTRY_VERIFY(floating.isNull());
    QCOMPARE(page.m_floating.keys(), QStringList { QStringLiteral("launch") });
}

void tst_DaysCounterPage::floatingCardClosedByCrossIsForgottenAndPinnableAgain()
{
    DaysCounterPage page;
    addCounter(page, QStringLiteral("Move"), QDateTime::currentDateTime().addDays(12));
    QPushButton *pin = pinButton(page, 0);
    pin->click();
    const QPointer<FloatingWidget> floating = floatingCards(page).first();

    floating->findChild<QPushButton *>(QStringLiteral("FloatingCloseButton"))->click();
    QVERIFY(page.m_floating.isEmpty());
    QVERIFY(!floating->isVisible());
    // A closed card is never shown again, so it does not linger as a hidden window.
    QTRY_VERIFY(floating.isNull());
    QVERIFY(QMetaObject::invokeMethod(&page, "tick"));

    // The pin still shows checked: its next click only unchecks it, the one after opens a card.
    pin->click();
    QVERIFY(floatingCards(page).isEmpty());
    pin->click();
    QCOMPARE(floatingCards(page).size(), 1);
    QVERIFY(floatingCards(page).first()->isVisible());
    QCOMPARE(floatingCards(page).first()->title(), QStringLiteral("Move"));
}

void tst_DaysCounterPage::rebuildKeepsFloatingCardsWithoutLeaksOrDuplicates()
{
    DaysCounterPage page;
    const QDateTime now = QDateTime::currentDateTime();
    addCounter(page, QStringLiteral("Pinned"), now.addDays(1));
    pinButton(page, 0)->click();
    const QPointer<FloatingWidget> floating = floatingCards(page).first();
    const QPointer<QWidget> oldCard = card(page, 0);
    for (int i = 0; i < 3; ++i) {
        addCounter(page, QStringLiteral("Other %1").arg(i), now.addDays(i + 2));
    }

    // The old cards went at once; one card per counter is left, each with a fresh pin.
    QVERIFY(oldCard.isNull());
    QCOMPARE(page.m_cardsHost->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).size(), 4);
    for (int i = 0; i < 4; ++i) {
        QVERIFY(!pinButton(page, i)->isChecked());
    }
    // The floating card stayed open, alone, and goes on counting.
    QCOMPARE(floatingCards(page), QList<FloatingWidget *> { floating.data() });
    QVERIFY(floating->isVisible());
    floatingLabel(floating)->setText(QStringLiteral("stale"));
    QVERIFY(QMetaObject::invokeMethod(&page, "tick"));
    QVERIFY(floatingLabel(floating)->text() != QStringLiteral("stale"));

    // The fresh pin of that title shows the same card; unchecking it closes it.
    pinButton(page, 0)->click();
    QCOMPARE(floatingCards(page), QList<FloatingWidget *> { floating.data() });
    pinButton(page, 0)->click();
    QTRY_VERIFY(floating.isNull());
    QVERIFY(page.m_floating.isEmpty());
}

QTEST_MAIN(tst_DaysCounterPage)
#include "tst_dayscounterpage.moc"
