#include "clocksuitepage.h"

#include "common/toolpageheader.h"

#include <QPushButton>
#include <QVBoxLayout>

ClockSuitePage::ClockSuitePage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ClockSuitePage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 28);
    layout->setSpacing(20);

    auto *header = new ToolPageHeader(tr("< Back"), tr("Clock suite"), this);
    connect(header->backButton(), &QPushButton::clicked, this, &ClockSuitePage::backRequested);
    layout->addWidget(header);
    layout->addStretch(1);
}
