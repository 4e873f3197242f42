#include "floatingdisplay.h"

#include "floatingwidget.h"

#include <QLabel>
#include <QObject>
#include <QVBoxLayout>

FloatingDisplay makeFloatingDisplay(QWidget *host, const QString &title, const QString &text,
    const std::function<void(FloatingWidget *card)> &forget)
{
    auto *card = new FloatingWidget(title, host);
    // Its size and weight come from the style sheets.
    auto *label = new QLabel(text, card->contentWidget());
    label->setObjectName(QStringLiteral("FloatingBigDisplay"));
    auto *layout = new QVBoxLayout(card->contentWidget());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    card->adjustSize();
    QObject::connect(card, &FloatingWidget::closeRequested, host, [card, forget] { forget(card); });
    return { card, label };
}
