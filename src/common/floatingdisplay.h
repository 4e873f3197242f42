#pragma once

#include <QString>

#include <functional>

class FloatingWidget;
class QLabel;
class QWidget;

// A floating card as the clock and the days counter float a value: one big label in the card.
struct FloatingDisplay
{
    FloatingWidget *card = nullptr;
    QLabel *label = nullptr;
};

// Makes a hidden card titled title, a child of host, whose label shows text. When the user
// closes the card with its own button, forget runs (with host as context) while the card is
// still shown; the card then hides itself and stays a child of host, so forget drops the host's
// record of it and nothing more.
FloatingDisplay makeFloatingDisplay(QWidget *host, const QString &title, const QString &text,
    const std::function<void(FloatingWidget *card)> &forget);
