#include "pdftoolspage.h"

#include "thumbnaillist.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QVBoxLayout>

PdfToolsPage::PdfToolsPage(QWidget *parent)
    : ToolPage(tr("PDF tools"), parent)
{
    setObjectName(QStringLiteral("PdfToolsPage"));

    QVBoxLayout *layout = pageLayout();
    layout->setContentsMargins(28, 24, 28, 20);
    layout->setSpacing(10);

    // The header is the column's first row already; this adds the page count and "Close".
    buildHeader();
    layout->addWidget(buildToolbar());
    m_stampBar = buildStampBar();
    m_stampBar->hide();
    layout->addWidget(m_stampBar);
    m_ocrPanel = buildOcrPanel();
    m_ocrPanel->hide();
    layout->addWidget(m_ocrPanel);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(buildThumbnailList());
    splitter->addWidget(buildPageView());
    splitter->addWidget(buildCommentsPanel());
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setStretchFactor(2, 0);
    splitter->setSizes({ 160, 600, 180 });
    layout->addWidget(splitter, 1);

    m_statusLabel = new QLabel(tr("Open a PDF (or add images) to start editing."), this);
    layout->addWidget(m_statusLabel, 0);
}

PdfToolsPage::~PdfToolsPage() = default;

void PdfToolsPage::buildHeader()
{
    // The count sits right after the title, before the row's stretch; "Close" goes at the end.
    QHBoxLayout *row = headerRow();
    QWidget *header = row->parentWidget();
    const int stretch = row->count() - 1;
    m_infoLabel = new QLabel(header);
    m_infoLabel->setStyleSheet(QStringLiteral("color: #888780;"));
    row->insertSpacing(stretch, 12);
    row->insertWidget(stretch + 1, m_infoLabel);

    auto *closeButton = new QPushButton(tr("Close"), header);
    connect(closeButton, &QPushButton::clicked, this, &PdfToolsPage::closeDocument);
    row->addWidget(closeButton);
}

QWidget *PdfToolsPage::buildThumbnailList()
{
    m_thumbList = new pdf::ThumbnailList(this);
    m_thumbList->setViewMode(QListView::IconMode);
    m_thumbList->setFlow(QListView::TopToBottom);
    m_thumbList->setWrapping(false);
    m_thumbList->setIconSize(QSize(110, 150));
    m_thumbList->setResizeMode(QListView::Adjust);
    // The movement first: setting it switches dragging and dropping off, and the drag-and-drop
    // mode switches them on again for moves within the list. The viewport, where drops land,
    // stays refusing them on its own.
    m_thumbList->setMovement(QListView::Static);
    m_thumbList->setDragDropMode(QAbstractItemView::InternalMove);
    m_thumbList->setDefaultDropAction(Qt::MoveAction);
    m_thumbList->viewport()->setAcceptDrops(true);
    m_thumbList->setSpacing(6);
    m_thumbList->setFixedWidth(150);

    connect(m_thumbList, &QListWidget::currentRowChanged, this, &PdfToolsPage::selectPage);
    connect(m_thumbList->model(), &QAbstractItemModel::rowsMoved, this,
        &PdfToolsPage::thumbnailOrderChanged);
    return m_thumbList;
}

QWidget *PdfToolsPage::buildPageView()
{
    m_pageScroll = new QScrollArea(this);
    m_pageScroll->setWidgetResizable(false);
    m_pageScroll->setAlignment(Qt::AlignCenter);
    m_pageScroll->setObjectName(QStringLiteral("QRPreview"));

    m_pageLabel = new QLabel(tr("No page selected"), m_pageScroll);
    m_pageLabel->setAlignment(Qt::AlignCenter);
    m_pageLabel->installEventFilter(this);
    m_pageScroll->setWidget(m_pageLabel);
    return m_pageScroll;
}
