#include "floatingcards.h"

#include <QObject>
#include <QVBoxLayout>

FloatingDisplay makeFloatingDisplay(QWidget *host, const QString &title, const QString &text,
    const std::function<void(FloatingWidget *card)> &closed)
{
    auto *card = new FloatingWidget(title, host);
    // Its size and weight come from the style sheets.
    auto *label = new QLabel(text, card->contentWidget());
    label->setObjectName(QStringLiteral("FloatingBigDisplay"));
    auto *layout = new QVBoxLayout(card->contentWidget());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    card->adjustSize();
    QObject::connect(card, &FloatingWidget::closeRequested, host, [card, closed] { closed(card); });
    return { card, label };
}
