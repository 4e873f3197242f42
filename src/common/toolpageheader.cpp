#include "toolpageheader.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

ToolPageHeader::ToolPageHeader(const QString &backText, const QString &title, QWidget *parent)
    : QWidget(parent)
    , m_row(new QHBoxLayout(this))
    , m_backButton(new QPushButton(backText, this))
    , m_title(new QLabel(title, this))
{
    m_row->setContentsMargins(0, 0, 0, 0);
    m_backButton->setObjectName(QStringLiteral("BackButton"));
    m_backButton->setFixedWidth(70);
    m_title->setObjectName(QStringLiteral("ToolPageTitle"));

    m_row->addWidget(m_backButton);
    m_row->addSpacing(10);
    m_row->addWidget(m_title);
    m_row->addStretch(1);
}
