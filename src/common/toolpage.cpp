#include "toolpage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ToolPage::ToolPage(const QString &title, QWidget *parent)
    : QWidget(parent)
    , m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(28, 24, 28, 28);
    m_layout->setSpacing(20);

    auto *header = new QWidget(this);
    m_headerRow = new QHBoxLayout(header);
    m_headerRow->setContentsMargins(0, 0, 0, 0);
    auto *backButton = new QPushButton(tr("< Back"), header);
    backButton->setObjectName(QStringLiteral("BackButton"));
    backButton->setFixedWidth(70);
    connect(backButton, &QPushButton::clicked, this, &ToolPage::backRequested);
    auto *titleLabel = new QLabel(title, header);
    titleLabel->setObjectName(QStringLiteral("ToolPageTitle"));

    m_headerRow->addWidget(backButton);
    m_headerRow->addSpacing(10);
    m_headerRow->addWidget(titleLabel);
    m_headerRow->addStretch(1);
    m_layout->addWidget(header);
}
