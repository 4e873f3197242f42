#include "texttoolspage.h"

#include "texttransforms.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QList>
#include <QPair>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

// Replaces the whole document, even when the text is unchanged: that is what drops pasted
// formatting and paragraph alignment, and it clears the undo history and updates the counts.
void rewritePlainText(QTextEdit *editor, QString (*transform)(const QString &))
{
    editor->setPlainText(transform(editor->toPlainText()));
}

} // namespace

TextToolsPage::TextToolsPage(QWidget *parent)
    : ToolPage(tr("Text tools"), parent)
{
    setObjectName(QStringLiteral("TextToolsPage"));
    QVBoxLayout *layout = pageLayout();
    layout->setSpacing(16);

    m_editor = new QTextEdit(this);
    m_editor->setObjectName(QStringLiteral("TextEditor"));
    m_editor->setPlaceholderText(tr("Paste or type your text here\u2026"));
    m_editor->setMinimumHeight(110);
    layout->addWidget(m_editor);

    layout->addWidget(buildButtonGrid());

    auto *countsRow = new QHBoxLayout;
    m_wordCountLabel = new QLabel(tr("Word count: 0"), this);
    m_lineCountLabel = new QLabel(tr("Line count: 0"), this);
    countsRow->addWidget(m_wordCountLabel);
    countsRow->addWidget(m_lineCountLabel);
    countsRow->addStretch(1);
    layout->addLayout(countsRow);

    // The editor keeps its preferred height; the free space collects below the counts.
    layout->addStretch(1);

    connect(m_editor, &QTextEdit::textChanged, this, &TextToolsPage::updateCounts);
}

QWidget *TextToolsPage::buildButtonGrid()
{
    auto *grid = new QWidget(this);
    auto *gridLayout = new QGridLayout(grid);
    gridLayout->setSpacing(8);

    using Slot = void (TextToolsPage::*)();
    const QList<QPair<QString, Slot>> buttons = {
        { tr("Reverse text"), &TextToolsPage::reverseText },
        { tr("Align left"), &TextToolsPage::alignLeft },
        { tr("Align center"), &TextToolsPage::alignCenter },
        { tr("Align right"), &TextToolsPage::alignRight },
        { tr("Reverse per line"), &TextToolsPage::reversePerLine },
        { tr("Reverse word order"), &TextToolsPage::reverseWordOrder },
        { tr("Remove empty lines"), &TextToolsPage::removeEmptyLines },
        { tr("Remove double spaces"), &TextToolsPage::removeDoubleSpaces },
        { tr("Tabs to spaces"), &TextToolsPage::tabsToSpaces },
        { tr("Copy"), &TextToolsPage::copyToClipboard },
    };

    constexpr int kColumns = 5;
    int row = 0;
    int column = 0;
    for (const auto &[label, slot] : buttons) {
        auto *button = new QPushButton(label, grid);
        connect(button, &QPushButton::clicked, this, slot);
        gridLayout->addWidget(button, row, column);
        if (++column == kColumns) {
            column = 0;
            ++row;
        }
    }
    return grid;
}

void TextToolsPage::reverseText()
{
    rewritePlainText(m_editor, &text::reversed);
}

void TextToolsPage::alignLeft()
{
    m_editor->setAlignment(Qt::AlignLeft);
}

void TextToolsPage::alignCenter()
{
    m_editor->setAlignment(Qt::AlignCenter);
}

void TextToolsPage::alignRight()
{
    m_editor->setAlignment(Qt::AlignRight);
}

void TextToolsPage::reversePerLine()
{
    rewritePlainText(m_editor, &text::reversedPerLine);
}

void TextToolsPage::reverseWordOrder()
{
    rewritePlainText(m_editor, &text::wordOrderReversed);
}

void TextToolsPage::removeEmptyLines()
{
    rewritePlainText(m_editor, &text::withoutEmptyLines);
}

void TextToolsPage::removeDoubleSpaces()
{
    rewritePlainText(m_editor, &text::withoutDoubleSpaces);
}

void TextToolsPage::tabsToSpaces()
{
    rewritePlainText(m_editor, &text::tabsToSpaces);
}

void TextToolsPage::copyToClipboard()
{
    QGuiApplication::clipboard()->setText(m_editor->toPlainText(), QClipboard::Clipboard);
}

void TextToolsPage::updateCounts()
{
    const QString text = m_editor->toPlainText();
    m_wordCountLabel->setText(tr("Word count: %1").arg(text::wordCount(text)));
    m_lineCountLabel->setText(tr("Line count: %1").arg(text::lineCount(text)));
}
