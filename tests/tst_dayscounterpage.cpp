#include "common/floatingwidget.h"
#include "tools/days/countdownformat.h"
#include "tools/days/dayscounterpage.h"

#include "dialoganswers.h"

#include <QtTest>
#include <QtWidgets>

namespace {

const bool s_qtDialogs = [] {
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); // dialogs the tests can answer
    return true;
}();

// Whether shown is the count to target as of before or the second after.
bool showsCountTo(const QLabel *shown, const QDateTime &target, const QDateTime &before)
{
    const qint64 secs = before.secsTo(target);
    return shown->text() == formatCountdown(secs, "ago")
        || shown->text() == formatCountdown(secs - 1, "ago");
}

} // namespace

class tst_DaysCounterPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void refusesEmptyAndBlankTitles();
    void refreshesCardsEverySecond();
    void pinsOneFloatingCardPerTitle();
    void addsAndRebuildsCards();

private:
    void add(const QString &title, const QDateTime &target)
    {
        m_page->m_dateTimeEdit->setDateTime(target);
        m_page->m_titleEdit->setText(title);
        addButton()->click();
    }
    QPushButton *addButton() const { return m_page->findChild<QPushButton *>("PrimaryButton"); }
    QWidget *card(int index) const
    {
        return m_page->m_counters.at(index).remainingLabel->parentWidget();
    }
    QPushButton *pin(int index) const { return card(index)->findChild<QPushButton *>(); }
    QList<FloatingWidget *> floating() const { return m_page->findChildren<FloatingWidget *>(); }

    std::unique_ptr<DaysCounterPage> m_page;
    const QDateTime m_now = QDateTime::currentDateTime();
};

void tst_DaysCounterPage::init()
{
    m_page = std::make_unique<DaysCounterPage>();
}

void tst_DaysCounterPage::refusesEmptyAndBlankTitles()
{
    add("Existing", m_now.addDays(1));
    QWidget *existing = card(0);
    for (const QString &typed : { QString(), QString(" \t "), QString("\u00A0") }) {
        m_page->m_titleEdit->setText(typed);
        QCOMPARE(dialogs::clickAndAnswer(addButton()), QStringList { "mirvale: Give the counter a title." });
        QCOMPARE(m_page->m_titleEdit->text(), typed);
    }
    QCOMPARE(m_page->m_counters.size(), 1);
    QCOMPARE(card(0), existing); // nothing was rebuilt
}

// Cards and floating cards, refreshed by a tick and by the page's own one-second timer.
void tst_DaysCounterPage::refreshesCardsEverySecond()
{
    add("Ahead", m_now.addSecs(3605));
    add("Passed", m_now.addSecs(-5000));
    pin(1)->click();
    QLabel *const labels[] = { m_page->m_counters.at(0).remainingLabel,
        m_page->m_counters.at(1).remainingLabel,
        floating().first()->contentWidget()->findChild<QLabel *>() };
    for (QLabel *shown : labels) {
        shown->setText("stale");
    }
    const QDateTime before = QDateTime::currentDateTime();
    QVERIFY(QMetaObject::invokeMethod(m_page.get(), "tick"));
    QVERIFY2(showsCountTo(labels[0], m_now.addSecs(3605), before), qPrintable(labels[0]->text()));
    QVERIFY2(showsCountTo(labels[1], m_now.addSecs(-5000), before), qPrintable(labels[1]->text()));
    QCOMPARE(labels[2]->text(), labels[1]->text());
    labels[0]->setText("stale");
    QTRY_VERIFY_WITH_TIMEOUT(labels[0]->text() != "stale", 2500);
}

void tst_DaysCounterPage::pinsOneFloatingCardPerTitle()
{
    add("Launch", m_now.addDays(10));
    add("Launch", m_now.addDays(40));
    add("launch", m_now.addDays(10)); // titles are case-sensitive
    pin(0)->click();
    pin(1)->click();
    QCOMPARE(floating().size(), 1);
    const QPointer<FloatingWidget> launch = floating().first();
    QVERIFY(launch->isVisible());
    pin(2)->click();
    QCOMPARE(floating().size(), 2);
    // Any pin of the title switched off closes its one card.
    pin(1)->click();
    QTRY_VERIFY(launch.isNull());
    QCOMPARE(m_page->m_floating.keys(), QStringList { "launch" });

    // Closed by its cross, a card is forgotten and released; the pin, still checked, opens a new
    // one on its second click.
    const QPointer<FloatingWidget> other = floating().first();
    other->findChild<QPushButton *>("FloatingCloseButton")->click();
    QVERIFY(m_page->m_floating.isEmpty());
    QTRY_VERIFY(other.isNull());
    pin(2)->click();
    QVERIFY(floating().isEmpty());
    pin(2)->click();
    QCOMPARE(floating().size(), 1);
    QVERIFY(floating().first()->isVisible());
    QCOMPARE(floating().first()->title(), "launch");
}

void tst_DaysCounterPage::addsAndRebuildsCards()
{
    add("  Pinned \t", m_now.addDays(1));
    pin(0)->click();
    const QPointer<FloatingWidget> pinned = floating().first();
    const QPointer<QWidget> oldCard = card(0);
    for (const char *title : { "B", "C", "D" }) {
        add(title, m_now.addDays(3));
    }
    // Only the title is cleared, ready for the next counter to the same moment.
    QVERIFY(m_page->m_titleEdit->text().isEmpty());
    QCOMPARE(m_page->m_dateTimeEdit->dateTime(), m_now.addDays(3));
    // Rebuilt at once in rows of three; the floating card stayed, alone.
    QVERIFY(oldCard.isNull());
    QCOMPARE(m_page->m_cardsHost->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).size(), 4);
    QCOMPARE(m_page->m_cardsGrid->itemAtPosition(0, 2)->widget(), card(2));
    QCOMPARE(m_page->m_cardsGrid->itemAtPosition(1, 0)->widget(), card(3));
    QCOMPARE(floating(), QList<FloatingWidget *> { pinned.data() });
    QCOMPARE(pinned->title(), "Pinned");
    // The fresh pin of that title shows the same card; unchecking it closes it.
    pin(0)->click();
    QCOMPARE(floating(), QList<FloatingWidget *> { pinned.data() });
    pin(0)->click();
    QTRY_VERIFY(pinned.isNull());
    QVERIFY(m_page->m_floating.isEmpty());
}

QTEST_MAIN(tst_DaysCounterPage)
#include "tst_dayscounterpage.moc"
