#include "pdftoolspage.h"

#include <QGridLayout>
#include <QIcon>
#include <QToolButton>

namespace {
const QString iconDir = QStringLiteral(":/resources/icons/pdf/");
} // namespace

QWidget *PdfToolsPage::buildToolbar()
{
    auto *toolbar = new QWidget(this);
    auto *grid = new QGridLayout(toolbar);
    grid->setSpacing(6);
    grid->setContentsMargins(0, 0, 0, 0);

    // The other commands join this grid, three rows of buttons, as they are built.
    m_undoButton = makeToolButton(
        grid, 0, 7, iconDir + QStringLiteral("undo.svg"), tr("Undo"), &PdfToolsPage::undo);
    m_undoButton->setEnabled(false);
    return toolbar;
}

QToolButton *PdfToolsPage::makeToolButton(QGridLayout *grid, int row, int column,
    const QString &iconPath, const QString &text, void (PdfToolsPage::*slot)())
{
    auto *button = new QToolButton(this);
    button->setObjectName(QStringLiteral("PdfToolbarButton"));
    button->setCursor(Qt::PointingHandCursor);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIcon(QIcon(iconPath));
    button->setIconSize(QSize(22, 22));
    button->setText(text);
    button->setAutoRaise(false);
    connect(button, &QToolButton::clicked, this, slot);
    grid->addWidget(button, row, column);
    return button;
}

// The stamp bar, the recognised-text panel and the comments panel keep their places in the
// layout as empty widgets until their commands are built.

QWidget *PdfToolsPage::buildStampBar()
{
    return new QWidget(this);
}

QWidget *PdfToolsPage::buildOcrPanel()
{
    return new QWidget(this);
}

QWidget *PdfToolsPage::buildCommentsPanel()
{
    auto *panel = new QWidget(this);
    panel->setMaximumWidth(220);
    return panel;
}
