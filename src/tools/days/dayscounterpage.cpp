#include "dayscounterpage.h"

#include "tools/days/cardgrid.h"
#include "tools/days/countdownformat.h"

#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

DaysCounterPage::DaysCounterPage(QWidget *parent)
    : ToolPage(tr("Days counter"), parent)
{
    setObjectName(QStringLiteral("DaysCounterPage"));
    QVBoxLayout *layout = pageLayout();

    // The theme sheets style "QRPreview" on labels only, so this row draws no frame of its own.
    auto *inputRow = new QWidget(this);
    inputRow->setObjectName(QStringLiteral("QRPreview"));
    auto *inputLayout = new QHBoxLayout(inputRow);
    m_titleEdit = new QLineEdit(inputRow);
    m_titleEdit->setPlaceholderText(tr("e.g. Project deadline"));
    m_dateTimeEdit = new QDateTimeEdit(inputRow);
    // Read once: an untouched editor counts to 30 days after start-up, not after the click.
    m_dateTimeEdit->setDateTime(QDateTime::currentDateTime().addDays(30));
    m_dateTimeEdit->setCalendarPopup(true);
    m_dateTimeEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd  HH:mm"));
    auto *addButton = new QPushButton(tr("+ Add"), inputRow);
    addButton->setObjectName(QStringLiteral("PrimaryButton"));
    inputLayout->addWidget(m_titleEdit, 1);
    inputLayout->addWidget(m_dateTimeEdit);
    inputLayout->addWidget(addButton);
    layout->addWidget(inputRow);

    m_cardsHost = new QWidget(this);
    m_cardsGrid = new QGridLayout(m_cardsHost);
    m_cardsGrid->setSpacing(12);
    layout->addWidget(m_cardsHost);
    layout->addStretch(1);

    connect(addButton, &QPushButton::clicked, this, &DaysCounterPage::addCounter);

    // Runs for the life of the page, shown or not, so pinned cards keep counting from any page.
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &DaysCounterPage::tick);
    timer->start(1000);
}

QString DaysCounterPage::formatRemaining(qint64 secs)
{
    return days::formatCountdown(secs, tr("ago"));
}

void DaysCounterPage::addCounter()
{
    const QString title = m_titleEdit->text().trimmed();
    if (title.isEmpty()) {
        QMessageBox::warning(this, tr("mirvale"), tr("Give the counter a title."), QMessageBox::Ok);
        return;
    }
    m_counters.append(Counter { title, m_dateTimeEdit->dateTime(), nullptr });
    m_titleEdit->clear();
    rebuildCards();
}

void DaysCounterPage::rebuildCards()
{
    // The counter cards are the one set of widgets this page deletes itself: they are all made
    // again below, with fresh labels and unchecked pins. Floating cards are left alone.
    while (QLayoutItem *taken = m_cardsGrid->takeAt(0)) {
        const std::unique_ptr<QLayoutItem> item(taken);
        const std::unique_ptr<QWidget> card(item->widget());
    }

    const QDateTime now = QDateTime::currentDateTime();
    for (int i = 0; i < m_counters.size(); ++i) {
        Counter &counter = m_counters[i];

        auto *card = new QWidget(m_cardsHost);
        card->setObjectName(QStringLiteral("QRPreview"));
        auto *cardLayout = new QVBoxLayout(card);
        cardLayout->setAlignment(Qt::AlignCenter);

        auto *remaining = new QLabel(formatRemaining(now.secsTo(counter.target)), card);
        remaining->setObjectName(QStringLiteral("FloatingBigDisplay"));
        QFont font = remaining->font();
        font.setPointSize(16);
        font.setBold(true);
        remaining->setFont(font);
        remaining->setAlignment(Qt::AlignCenter);
        counter.remainingLabel = remaining;

        auto *title = new QLabel(counter.title, card);
        title->setAlignment(Qt::AlignCenter);
        title->setStyleSheet(QStringLiteral("font-weight: 600;"));

        auto *pin = new QPushButton(tr("Pin to screen"), card);
        pin->setCheckable(true);
        const QString pinTitle = counter.title;
        const QDateTime pinTarget = counter.target;
        connect(pin, &QPushButton::toggled, this, [this, pinTitle, pinTarget](bool on) {
            toggleCounterFloating(pinTitle, pinTarget, on);
        });

        cardLayout->addWidget(remaining);
        cardLayout->addWidget(title);
        cardLayout->addWidget(pin);

        const days::CardCell cell = days::counterCardCell(i);
        m_cardsGrid->addWidget(card, cell.row, cell.column);
    }
}

void DaysCounterPage::tick()
{
    for (const Counter &counter : std::as_const(m_counters)) {
        if (counter.remainingLabel) {
            counter.remainingLabel->setText(
                formatRemaining(QDateTime::currentDateTime().secsTo(counter.target)));
        }
    }
    m_floating.refresh([](const QDateTime &target) {
        return formatRemaining(QDateTime::currentDateTime().secsTo(target));
    });
}

void DaysCounterPage::toggleCounterFloating(const QString &title, const QDateTime &target, bool on)
{
    if (on) {
        m_floating.show(
            title, title, formatRemaining(QDateTime::currentDateTime().secsTo(target)), target);
    } else {
        m_floating.close(title);
    }
}
