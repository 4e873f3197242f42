#include "maindashboard.h"

#include "common/thememanager.h"
#include "common/windowsizing.h"
#include "tools/clock/clocksuitepage.h"
#include "tools/days/dayscounterpage.h"
#include "tools/image/imageresizerpage.h"
#include "tools/pdf/pdftoolspage.h"
#include "tools/qr/qrgeneratorpage.h"
#include "tools/text/texttoolspage.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include <iterator>

namespace {
struct ToolInfo
{
    const char *id;
    const char *iconPath;
    const char *title; // translated by the dashboard
    const char *accentRole;
};

// The grid's cards and the stack's pages, in one order: the tool at position i is page i + 1.
constexpr ToolInfo kTools[] = {
    { "qr", ":/resources/icons/qrcode.svg", QT_TRANSLATE_NOOP("MainDashboard", "QR generator"),
        "accent" },
    { "text", ":/resources/icons/text-tools.svg", QT_TRANSLATE_NOOP("MainDashboard", "Text tools"),
        "pro" },
    { "image", ":/resources/icons/image-resize.svg",
        QT_TRANSLATE_NOOP("MainDashboard", "Image resizer"), "success" },
    { "clock", ":/resources/icons/alarm.svg", QT_TRANSLATE_NOOP("MainDashboard", "Clock suite"),
        "warning" },
    { "days", ":/resources/icons/calendar-due.svg",
        QT_TRANSLATE_NOOP("MainDashboard", "Days counter"), "danger" },
    { "pdf", ":/resources/icons/pdf.svg", QT_TRANSLATE_NOOP("MainDashboard", "PDF tools"),
        "accent" },
};
} // namespace

MainDashboard::MainDashboard(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MainDashboard"));
    setWindowTitle(tr("mirvale"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_stack = new QStackedWidget(this);
    layout->addWidget(m_stack);

    m_stack->addWidget(buildHomePage());

    // In the order of the tools table, which maps each tool id to its page.
    const auto addPage = [this](auto *page) {
        using Page = std::remove_pointer_t<decltype(page)>;
        connect(page, &Page::backRequested, this, [this] { m_stack->setCurrentIndex(0); });
        m_stack->addWidget(page);
        return page;
    };
    m_qrPage = addPage(new QRGeneratorPage(this));
    m_textPage = addPage(new TextToolsPage(this));
    m_imagePage = addPage(new ImageResizerPage(this));
    m_clockPage = addPage(new ClockSuitePage(this));
    m_daysPage = addPage(new DaysCounterPage(this));
    m_pdfPage = addPage(new PdfToolsPage(this));

    m_stack->setCurrentIndex(0);
    // Connected after the index is set, so building the window sizes it once, below.
    connect(m_stack, &QStackedWidget::currentChanged, this, &MainDashboard::resizeForCurrentPage);
    resizeForCurrentPage(0);
}

QWidget *MainDashboard::buildHomePage()
{
    auto *page = new QWidget(this);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(28, 24, 28, 28);
    layout->setSpacing(20);
    layout->addWidget(buildHeader(), 0);
    layout->addWidget(buildToolGrid(), 1);
    return page;
}

QWidget *MainDashboard::buildHeader()
{
    auto *header = new QWidget(this);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);

    auto *logo = new QLabel(header);
    logo->setObjectName(QStringLiteral("AppLogo"));
    logo->setPixmap(QIcon(QStringLiteral(":/resources/icons/app_logo.svg")).pixmap(24, 24));
    logo->setFixedSize(40, 40);
    logo->setAlignment(Qt::AlignCenter);

    auto *title = new QLabel(tr("mirvale"), header);
    title->setObjectName(QStringLiteral("AppTitle"));
    auto *subtitle = new QLabel(tr("6 tools, one place"), header);
    subtitle->setObjectName(QStringLiteral("AppSubtitle"));
    auto *titles = new QVBoxLayout;
    titles->setSpacing(0);
    titles->addWidget(title);
    titles->addWidget(subtitle);

    // Decorative: nothing reads what is typed here.
    m_searchBox = new QLineEdit(header);
    m_searchBox->setObjectName(QStringLiteral("SearchBox"));
    m_searchBox->setPlaceholderText(tr("Search tools\u2026"));
    m_searchBox->setFixedWidth(220);

    auto *themeToggle = new QPushButton(header);
    themeToggle->setObjectName(QStringLiteral("ThemeToggleButton"));
    themeToggle->setIcon(QIcon(QStringLiteral(":/resources/icons/moon.svg")));
    themeToggle->setToolTip(tr("Toggle theme"));
    connect(themeToggle, &QPushButton::clicked, this, &MainDashboard::toggleTheme);

    row->addWidget(logo);
    row->addSpacing(4);
    row->addLayout(titles, 0);
    row->addStretch(1);
    row->addWidget(m_searchBox);
    row->addWidget(themeToggle);
    return header;
}

QWidget *MainDashboard::buildToolGrid()
{
    auto *gridPage = new QWidget(this);
    m_grid = new QGridLayout(gridPage);
    m_grid->setSpacing(14);

    int row = 0;
    int column = 0;
    for (const ToolInfo &tool : kTools) {
        m_grid->addWidget(createToolCard(QLatin1String(tool.id), QLatin1String(tool.iconPath),
                              tr(tool.title), QLatin1String(tool.accentRole)),
            row, column);
        if (++column == 3) {
            column = 0;
            ++row;
        }
    }
    return gridPage;
}

QWidget *MainDashboard::createToolCard(
    const QString &id, const QString &iconPath, const QString &title, const QString &accentRole)
{
    auto *card = new QPushButton(this);
    card->setObjectName(QStringLiteral("ToolCard"));
    card->setProperty("accentRole", accentRole);
    card->setCursor(Qt::PointingHandCursor);
    card->setMinimumSize(150, 130);

    auto *layout = new QVBoxLayout(card);
    layout->setAlignment(Qt::AlignCenter);
    layout->setSpacing(12);

    auto *badge = new QLabel(card);
    badge->setObjectName(QStringLiteral("ToolIconBadge"));
    badge->setProperty("accentRole", accentRole);
    badge->setFixedSize(60, 60);
    badge->setAlignment(Qt::AlignCenter);
    badge->setPixmap(QIcon(iconPath).pixmap(32, 32));

    auto *label = new QLabel(title, card);
    label->setObjectName(QStringLiteral("ToolLabel"));
    label->setAlignment(Qt::AlignCenter);

    layout->addWidget(badge, 0, Qt::AlignHCenter);
    layout->addWidget(label, 0, Qt::AlignHCenter);

    connect(card, &QPushButton::clicked, this, [this, id] { openTool(id); });
    return card;
}

void MainDashboard::openTool(const QString &toolId)
{
    for (int i = 0; i < int(std::size(kTools)); ++i) {
        if (toolId == QLatin1String(kTools[i].id)) {
            m_stack->setCurrentIndex(i + 1);
            return;
        }
    }
}

void MainDashboard::toggleTheme()
{
    ThemeManager::instance()->toggleTheme();
}

void MainDashboard::resizeForCurrentPage(int index)
{
    // Only the current page counts toward the stack's size hint and minimum size.
    for (int i = 0; i < m_stack->count(); ++i) {
        if (QWidget *page = m_stack->widget(i)) {
            page->setSizePolicy(i == index ? QSizePolicy::Preferred : QSizePolicy::Ignored,
                i == index ? QSizePolicy::Preferred : QSizePolicy::Ignored);
        }
    }
    m_stack->adjustSize();
    // Recompute the window's minimum size now rather than at the next layout pass, so the
    // resize below is not held at the previous page's minimum.
    layout()->activate();

    if (isMaximized() || isFullScreen()) {
        return;
    }
    QScreen *target = screen();
    if (!target) {
        target = QGuiApplication::primaryScreen();
    }
    if (!target) {
        return;
    }
    const QRect geometry = windowGeometryForPage(target->availableGeometry(), index);
    resize(geometry.size());
    move(geometry.topLeft());
}

void MainDashboard::closeEvent(QCloseEvent *event)
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        event->ignore();
        hide();
        return;
    }
    // Without a tray nothing could bring the window back or end the process: quit instead.
    event->accept();
    QCoreApplication::exit(0);
}

void MainDashboard::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_initialSizeDone) {
        m_initialSizeDone = true;
        resizeForCurrentPage(m_stack->currentIndex());
    }
}
