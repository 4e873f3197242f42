#include "pdftoolspage.h"

#include "pageoperations.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const QString kIconDir = QStringLiteral(":/resources/icons/pdf/");
} // namespace

QWidget *PdfToolsPage::buildToolbar()
{
    auto *toolbar = new QWidget(this);
    auto *grid = new QGridLayout(toolbar);
    grid->setSpacing(6);
    grid->setContentsMargins(0, 0, 0, 0);

    // The mode buttons keep their own checked state: only the user's clicks change it.
    const auto addModeButton = [this, grid](int row, int column, const QString &icon,
                                   const QString &text, void (PdfToolsPage::*slot)(bool)) {
        auto *button = new QToolButton(this);
        button->setObjectName(QStringLiteral("PdfToolbarButton"));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIcon(QIcon(kIconDir + icon));
        button->setIconSize(QSize(22, 22));
        button->setText(text);
        button->setCheckable(true);
        connect(button, &QToolButton::toggled, this, slot);
        grid->addWidget(button, row, column);
    };

    int column = 0;
    makeToolButton(grid, 0, column++, kIconDir + QStringLiteral("open.svg"), tr("Open PDF"),
        &PdfToolsPage::openDocument);
    makeToolButton(grid, 0, column++, kIconDir + QStringLiteral("add_pages.svg"), tr("Add pages"),
        &PdfToolsPage::addPagesAtEnd);
    makeToolButton(grid, 0, column++, kIconDir + QStringLiteral("insert_page.svg"),
        tr("Insert page"), &PdfToolsPage::insertPageAfterSelected);
    makeToolButton(grid, 0, column++, kIconDir + QStringLiteral("rotate_left.svg"),
        tr("Rotate left"), &PdfToolsPage::rotateSelectedLeft);
    makeToolButton(grid, 0, column++, kIconDir + QStringLiteral("rotate_right.svg"),
        tr("Rotate right"), &PdfToolsPage::rotateSelectedRight);
    makeToolButton(grid, 0, column++, kIconDir + QStringLiteral("black_white.svg"),
        tr("Black && white"), &PdfToolsPage::toggleBlackAndWhiteSelected);
    makeToolButton(grid, 0, column++, kIconDir + QStringLiteral("remove_page.svg"),
        tr("Remove page"), &PdfToolsPage::removeSelected);
    m_undoButton = makeToolButton(
        grid, 0, column++, kIconDir + QStringLiteral("undo.svg"), tr("Undo"), &PdfToolsPage::undo);
    m_undoButton->setEnabled(false);

    column = 0;
    addModeButton(
        1, column++, QStringLiteral("crop.svg"), tr("Crop"), &PdfToolsPage::toggleCropMode);
    addModeButton(1, column++, QStringLiteral("fill_sign.svg"), tr("Fill && Sign"),
        &PdfToolsPage::toggleFillSignMode);
    makeToolButton(
        grid, 1, column++, kIconDir + QStringLiteral("ocr.svg"), tr("OCR"), &PdfToolsPage::runOcr);
    makeToolButton(grid, 1, column++, kIconDir + QStringLiteral("compress.svg"), tr("Compress all"),
        &PdfToolsPage::compressDocument);
    makeToolButton(grid, 1, column++, kIconDir + QStringLiteral("export_image.svg"),
        tr("Export page"), &PdfToolsPage::exportSelectedAsImage);
    makeToolButton(grid, 1, column++, kIconDir + QStringLiteral("export_all.svg"), tr("Export all"),
        &PdfToolsPage::exportAllAsImages);
    makeToolButton(grid, 1, column++, kIconDir + QStringLiteral("close.svg"), tr("Close"),
        &PdfToolsPage::closeDocument);
    QToolButton *save = makeToolButton(grid, 1, column++, kIconDir + QStringLiteral("save.svg"),
        tr("Save As PDF"), &PdfToolsPage::saveAs);
    // Only the primary rule of the style sheets applies to the main action.
    save->setObjectName(QStringLiteral("PrimaryToolbarButton"));

    column = 0;
    makeToolButton(grid, 2, column++, kIconDir + QStringLiteral("merge.svg"), tr("Merge files"),
        &PdfToolsPage::mergeFiles);
    makeToolButton(grid, 2, column++, kIconDir + QStringLiteral("split.svg"), tr("Split"),
        &PdfToolsPage::splitDocument);
    addModeButton(2, column++, QStringLiteral("highlight.svg"), tr("Highlight"),
        &PdfToolsPage::toggleHighlightMode);
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

QWidget *PdfToolsPage::buildStampBar()
{
    auto *bar = new QWidget(this);
    auto *layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *typeLabel = new QLabel(tr("Click on the page to stamp (drag for Signature):"), bar);
    // Each item holds its type as data: the texts are only shown.
    m_stampTypeCombo = new QComboBox(bar);
    const QList<std::pair<QString, pdf::StampType>> types {
        { tr("Text"), pdf::StampType::Text },
        { tr("Signature"), pdf::StampType::Signature },
        { tr("Comment"), pdf::StampType::Comment },
        { tr("X"), pdf::StampType::X },
        { tr("Checkmark"), pdf::StampType::Checkmark },
        { tr("Circle"), pdf::StampType::Circle },
        { tr("Line"), pdf::StampType::Line },
        { tr("Dot"), pdf::StampType::Dot },
    };
    for (const auto &[name, type] : types) {
        m_stampTypeCombo->addItem(name, int(type));
    }

    auto *colorLabel = new QLabel(tr("Color:"), bar);
    auto *colorBox = new QComboBox(bar);
    colorBox->addItem(tr("Black"), QColor(Qt::black));
    colorBox->addItem(tr("Blue"), QColor(Qt::blue));
    colorBox->addItem(tr("Red"), QColor(Qt::red));
    // Connected after filling, so the items going in do not count as choices.
    connect(colorBox, &QComboBox::currentIndexChanged, this, [this, colorBox](int index) {
        if (index >= 0) {
            m_stampColor = colorBox->itemData(index, Qt::UserRole).value<QColor>();
        }
    });

    layout->addWidget(typeLabel);
    layout->addWidget(m_stampTypeCombo);
    layout->addSpacing(12);
    layout->addWidget(colorLabel);
    layout->addWidget(colorBox);
    layout->addStretch(1);
    return bar;
}

QWidget *PdfToolsPage::buildOcrPanel()
{
    auto *panel = new QWidget(this);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *row = new QHBoxLayout;
    auto *label = new QLabel(tr("Recognized text (editable — copy what you need; this does not "
                                "rewrite the page image itself):"),
        panel);
    label->setWordWrap(true);
    auto *copyButton = new QPushButton(tr("Copy"), panel);
    connect(copyButton, &QPushButton::clicked, this, &PdfToolsPage::copyOcrText);
    row->addWidget(label, 1);
    row->addWidget(copyButton, 0);

    m_ocrText = new QTextEdit(panel);
    m_ocrText->setFixedHeight(120);

    layout->addLayout(row);
    layout->addWidget(m_ocrText);
    return panel;
}

QWidget *PdfToolsPage::buildCommentsPanel()
{
    auto *panel = new QWidget(this);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *title = new QLabel(tr("Comments"), panel);
    title->setStyleSheet(QStringLiteral("font-weight: 600;"));
    m_commentsList = new QListWidget(panel);
    m_commentsList->setWordWrap(true);
    // Row r stands for comment r. The page index goes to the thumbnail list unchecked: an index
    // past the last page leaves the list without a current row, so no page is selected.
    connect(m_commentsList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < m_comments.size()) {
            m_thumbList->setCurrentRow(m_comments.at(row).page);
        }
    });

    layout->addWidget(title, 0);
    layout->addWidget(m_commentsList, 1);
    panel->setMaximumWidth(220);
    return panel;
}
