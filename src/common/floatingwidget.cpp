#include "floatingwidget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

FloatingWidget::FloatingWidget(const QString &title, QWidget *parent)
    : QWidget(parent)
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setObjectName(QStringLiteral("FloatingWidget"));
    setMinimumWidth(180);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *card = new QWidget(this);
    card->setObjectName(QStringLiteral("FloatingCard"));
    // A plain QWidget paints no style-sheet background unless asked to.
    card->setAttribute(Qt::WA_StyledBackground);
    outer->addWidget(card);
    auto *cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(16, 10, 10, 14);
    cardLayout->setSpacing(6);

    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(4);
    m_title = new QLabel(title, card);
    m_title->setObjectName(QStringLiteral("FloatingTitle"));
    m_pinButton = new QPushButton(card);
    m_pinButton->setObjectName(QStringLiteral("FloatingPinButton"));
    m_pinButton->setCheckable(true);
    m_pinButton->setChecked(true);
    m_pinButton->setToolTip(tr("Keep on top"));
    m_pinButton->setFixedSize(18, 18);
    // A pin glyph, so the button can be found; the sheets colour it when checked.
    m_pinButton->setText(QStringLiteral("\u25CF"));
    m_closeButton = new QPushButton(QStringLiteral("\u2715"), card);
    m_closeButton->setObjectName(QStringLiteral("FloatingCloseButton"));
    m_closeButton->setToolTip(tr("Close"));
    m_closeButton->setFixedSize(18, 18);
    titleRow->addWidget(m_title, 1);
    titleRow->addWidget(m_pinButton);
    titleRow->addWidget(m_closeButton);
    cardLayout->addLayout(titleRow);

    m_content = new QWidget(card);
    cardLayout->addWidget(m_content);

    connect(m_closeButton, &QPushButton::clicked, this, [this] {
        emit closeRequested();
        close();
    });
    connect(m_pinButton, &QPushButton::toggled, this, [this](bool checked) {
        setWindowFlag(Qt::WindowStaysOnTopHint, checked);
        // Changing a window flag hides the window; showing it again applies the change.
        show();
    });
}

void FloatingWidget::setTitle(const QString &title)
{
    m_title->setText(title);
}

QString FloatingWidget::title() const
{
    return m_title->text();
}

void FloatingWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
}

void FloatingWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton)) {
        return;
    }
    move(event->globalPosition().toPoint() - m_dragOffset);
    event->accept();
}
