#pragma once

#include "common/floatingcards.h"
#include "common/toolpage.h"

#include <QDateTime>
#include <QList>
#include <QString>

class QDateTimeEdit;
class QGridLayout;
class QLabel;
class QLineEdit;

// Titled countdowns to a date and time, one card each, counting every second; any of them can be
// pinned to the screen as a floating card, one floating card per title. Nothing is stored.
class DaysCounterPage : public ToolPage
{
    Q_OBJECT

public:
    explicit DaysCounterPage(QWidget *parent = nullptr);

private slots:
    void addCounter();
    void tick();

private:
    struct Counter
    {
        QString title;
        QDateTime target;
        QLabel *remainingLabel = nullptr; // the card's count; replaced by every rebuild
    };

    void rebuildCards();
    void toggleCounterFloating(const QString &title, const QDateTime &target, bool on);
    static QString formatRemaining(qint64 secs);

    QLineEdit *m_titleEdit = nullptr;
    QDateTimeEdit *m_dateTimeEdit = nullptr;
    QWidget *m_cardsHost = nullptr;
    QGridLayout *m_cardsGrid = nullptr;
    QList<Counter> m_counters;
    // Keyed by title, each with the target of the counter whose pin opened it.
    FloatingCards<QDateTime> m_floating { this };
};
