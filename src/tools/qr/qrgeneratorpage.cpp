#include "qrgeneratorpage.h"

#include "common/toolpageheader.h"

#include <QPushButton>
#include <QVBoxLayout>

QRGeneratorPage::QRGeneratorPage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("QRGeneratorPage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 28);
    layout->setSpacing(20);

    auto *header = new ToolPageHeader(tr("< Back"), tr("QR generator"), this);
    connect(header->backButton(), &QPushButton::clicked, this, &QRGeneratorPage::backRequested);
    layout->addWidget(header);
    layout->addStretch(1);
}
