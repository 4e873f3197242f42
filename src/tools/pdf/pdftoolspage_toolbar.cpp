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

// What every toolbar button has, whatever a click on it does: the look the style sheets give
// it, its icon above its text, and its cell, which it fills.
QToolButton *addToolbarButton(QWidget *page, QGridLayout *grid, int row, int column,
    const QString &iconPath, const QString &text)
{
    auto *button = new QToolButton(page);
    button->setObjectName(QStringLiteral("PdfToolbarButton"));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIcon(QIcon(iconPath));
    button->setIconSize(QSize(22, 22));
    button->setText(text);
    grid->addWidget(button, row, column);
    return button;
}
} // namespace

QWidget *PdfToolsPage::buildToolbar()
{
    auto *toolbar = new QWidget(this);
    auto *grid = new QGridLayout(toolbar);
    grid->setSpacing(6);
    grid->setContentsMargins(0, 0, 0, 0);

    // Each button goes into the next column of the current row.
    int row = 0;
    int column = 0;
    const auto command = [&](const char *icon, const QString &text, void (PdfToolsPage::*slot)()) {
        return makeToolButton(grid, row, column++, kIconDir + QLatin1String(icon), text, slot);
    };
    // The mode buttons keep their own checked state: only the user's clicks change it.
    const auto mode = [&](const char *icon, const QString &text, void (PdfToolsPage::*slot)(bool)) {
        QToolButton *button =
            addToolbarButton(this, grid, row, column++, kIconDir + QLatin1String(icon), text);
        button->setCheckable(true);
        connect(button, &QToolButton::toggled, this, slot);
    };
    const auto nextRow = [&] {
        ++row;
        column = 0;
    };

    command("open.svg", tr("Open PDF"), &PdfToolsPage::openDocument);
    command("add_pages.svg", tr("Add pages"), &PdfToolsPage::addPagesAtEnd);
    command("insert_page.svg", tr("Insert page"), &PdfToolsPage::insertPageAfterSelected);
    command("rotate_left.svg", tr("Rotate left"), &PdfToolsPage::rotateSelectedLeft);
    command("rotate_right.svg", tr("Rotate right"), &PdfToolsPage::rotateSelectedRight);
    command("black_white.svg", tr("Black && white"), &PdfToolsPage::toggleBlackAndWhiteSelected);
    command("remove_page.svg", tr("Remove page"), &PdfToolsPage::removeSelected);
    m_undoButton = command("undo.svg", tr("Undo"), &PdfToolsPage::undo);
    m_undoButton->setEnabled(false);

    nextRow();
    mode("crop.svg", tr("Crop"), &PdfToolsPage::toggleCropMode);
    mode("fill_sign.svg", tr("Fill && Sign"), &PdfToolsPage::toggleFillSignMode);
    command("ocr.svg", tr("OCR"), &PdfToolsPage::runOcr);
    command("compress.svg", tr("Compress all"), &PdfToolsPage::compressDocument);
    command("export_image.svg", tr("Export page"), &PdfToolsPage::exportSelectedAsImage);
    command("export_all.svg", tr("Export all"), &PdfToolsPage::exportAllAsImages);
    command("close.svg", tr("Close"), &PdfToolsPage::closeDocument);
    // Only the primary rule of the style sheets applies to the main action.
    command("save.svg", tr("Save As PDF"), &PdfToolsPage::saveAs)
        ->setObjectName(QStringLiteral("PrimaryToolbarButton"));

    nextRow();
    command("merge.svg", tr("Merge files"), &PdfToolsPage::mergeFiles);
    command("split.svg", tr("Split"), &PdfToolsPage::splitDocument);
    mode("highlight.svg", tr("Highlight"), &PdfToolsPage::toggleHighlightMode);
    return toolbar;
}

QToolButton *PdfToolsPage::makeToolButton(QGridLayout *grid, int row, int column,
    const QString &iconPath, const QString &text, void (PdfToolsPage::*slot)())
{
    QToolButton *button = addToolbarButton(this, grid, row, column, iconPath, text);
    button->setCursor(Qt::PointingHandCursor);
    button->setAutoRaise(false);
    connect(button, &QToolButton::clicked, this, slot);
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
