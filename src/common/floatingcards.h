#pragma once

#include "floatingwidget.h"

#include <QLabel>
#include <QMap>
#include <QString>

#include <functional>
#include <variant>

// A floating card as the clock and the days counter float a value: one big label in the card.
struct FloatingDisplay
{
    FloatingWidget *card = nullptr;
    QLabel *label = nullptr;
};

// Makes a hidden card titled title, a child of host, whose label shows text. When the user
// closes the card with its own button, closed runs (with host as context) while the card is
// still shown; the card then hides itself and stays a child of host.
FloatingDisplay makeFloatingDisplay(QWidget *host, const QString &title, const QString &text,
    const std::function<void(FloatingWidget *card)> &closed);

// The floating cards a page keeps open, at most one a key (a city, a counter's title), each with
// the Data its label is refreshed from. Cards are never deleted: one closed by the page or by
// its own button hides, stays a child of the page and is forgotten here, and the next show of
// its key makes a new card.
template <typename Data = std::monostate> class FloatingCards
{
public:
    explicit FloatingCards(QWidget *host)
        : m_host(host)
    { }
    FloatingCards(const FloatingCards &) = delete;
    FloatingCards &operator=(const FloatingCards &) = delete;

    // Shows the card of key, first making it when none is open: titled title, its label showing
    // text, data kept beside it; an open card keeps its own. When the user closes the card with
    // its own button, it is forgotten and then closed runs.
    void show(const QString &key, const QString &title, const QString &text, const Data &data = {},
        const std::function<void()> &closed = {})
    {
        auto it = m_cards.find(key);
        if (it == m_cards.end()) {
            const auto forget = [this, key, closed](FloatingWidget *card) {
                // Only the card on record for the key may drop the record.
                const auto open = m_cards.constFind(key);
                if (open != m_cards.constEnd() && open->display.card == card) {
                    m_cards.erase(open);
                    if (closed) {
                        closed();
                    }
                }
            };
            it = m_cards.insert(
                key, Card { makeFloatingDisplay(m_host, title, text, forget), data });
        }
        it->display.card->show();
    }

    // Hides the card of key and forgets it; nothing when none is open.
    void close(const QString &key)
    {
        const auto it = m_cards.find(key);
        if (it != m_cards.end()) {
            it->display.card->close();
            m_cards.erase(it);
        }
    }

    // Sets the label of every open card, in key order, to textOf(its data).
    template <typename TextOf> void refresh(const TextOf &textOf) const
    {
        for (const Card &card : m_cards) {
            card.display.label->setText(textOf(card.data));
        }
    }

private:
    struct Card
    {
        FloatingDisplay display;
        Data data;
    };

    QWidget *m_host = nullptr;
    QMap<QString, Card> m_cards;
};
