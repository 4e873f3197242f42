#include "texttoolspage.h"

#include "common/toolpageheader.h"

#include <QPushButton>
#include <QVBoxLayout>

TextToolsPage::TextToolsPage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TextToolsPage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 28);
    layout->setSpacing(20);

    auto *header = new ToolPageHeader(tr("< Back"), tr("Text tools"), this);
    connect(header->backButton(), &QPushButton::clicked, this, &TextToolsPage::backRequested);
    layout->addWidget(header);
    layout->addStretch(1);
}
