#include "pdftoolspage.h"

#include "common/toolpageheader.h"

#include <QPushButton>
#include <QVBoxLayout>

PdfToolsPage::PdfToolsPage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PdfToolsPage"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 28);
    layout->setSpacing(20);

    auto *header = new ToolPageHeader(tr("< Back"), tr("PDF tools"), this);
    connect(header->backButton(), &QPushButton::clicked, this, &PdfToolsPage::backRequested);
    layout->addWidget(header);
    layout->addStretch(1);
}
