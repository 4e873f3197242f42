#include "imageresizerpage.h"

#include "common/toolpageheader.h"

#include <QPushButton>
#include <QVBoxLayout>

ImageResizerPage::ImageResizerPage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ImageResizerPage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 28);
    layout->setSpacing(20);

    auto *header = new ToolPageHeader(tr("< Back"), tr("Image resizer"), this);
    connect(header->backButton(), &QPushButton::clicked, this, &ImageResizerPage::backRequested);
    layout->addWidget(header);
    layout->addStretch(1);
}
