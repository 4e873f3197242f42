#include "dayscounterpage.h"

#include "common/toolpageheader.h"

#include <QPushButton>
#include <QVBoxLayout>

DaysCounterPage::DaysCounterPage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("DaysCounterPage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 28);
    layout->setSpacing(20);

    auto *header = new ToolPageHeader(tr("< Back"), tr("Days counter"), this);
    connect(header->backButton(), &QPushButton::clicked, this, &DaysCounterPage::backRequested);
    layout->addWidget(header);
    layout->addStretch(1);
}
