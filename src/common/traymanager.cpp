#include "traymanager.h"

#include "loginregistration.h"

#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace {
constexpr auto kDefaultAppliedKey = "startup/defaultApplied";
}

bool isLoginStart(const QStringList &arguments)
{
    return arguments.contains(QStringLiteral("--startup"), Qt::CaseSensitive);
}

TrayManager::TrayManager(QWidget *window, QObject *parent)
    : TrayManager(window, LoginRegistration::createForPlatform(), parent)
{ }

TrayManager::TrayManager(
    QWidget *window, std::unique_ptr<LoginRegistration> registration, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_registration(std::move(registration))
{
    m_startedFromStartup = isLoginStart(QCoreApplication::arguments());

    createTrayIcon();
    createMenu();
    m_tray->show();

    if (!m_startedFromStartup) {
        QTimer::singleShot(kFirstRunDelayMs, this, [this] { applyFirstRunDefault(); });
    }
}

// A menu takes only a widget as parent and the tray manager is none, so the menu is the
// one object released by hand, here, when the event loop has ended.
TrayManager::~TrayManager()
{
    delete m_menu;
}

bool TrayManager::isStartupEnabled() const
{
    return m_registration->isEnabled();
}

void TrayManager::setStartupEnabled(bool enabled)
{
    writeStartupEntry(enabled);
}

bool TrayManager::writeStartupEntry(bool enabled)
{
    const bool written = enabled ? m_registration->enable(QCoreApplication::applicationFilePath(),
                             { QStringLiteral("--startup") })
                                 : m_registration->disable();
    if (written) {
        return true;
    }
    if (m_startupAction) {
        // The entry shows what is registered, not what was asked for; its toggled signal would
        // try the write again.
        const QSignalBlocker blocker(m_startupAction);
        m_startupAction->setChecked(isStartupEnabled());
    }
    // Said once a run: the first-run default and the user's later tries fail the same way.
    if (!m_startupWarningShown) {
        m_startupWarningShown = true;
        QMessageBox::warning(m_window, tr("mirvale"),
            enabled ? tr("mirvale could not be set to launch at startup.")
                    : tr("mirvale could not be kept from launching at startup."),
            QMessageBox::Ok);
    }
    return false;
}

void TrayManager::applyFirstRunDefault()
{
    QSettings settings;
    if (settings.value(kDefaultAppliedKey, false).toBool()) {
        return;
    }
    // Tried once per user: where the entry cannot be written, the warning says so this one time
    // and the menu shows it off; the user can switch it on later. The try is on disk before the
    // warning can show, so a program ended while it is open does not warn again at the next start.
    settings.setValue(kDefaultAppliedKey, true);
    settings.sync();
    if (writeStartupEntry(true) && m_startupAction) {
        // The entry's toggled signal would write the registration again.
        const QSignalBlocker blocker(m_startupAction);
        m_startupAction->setChecked(true);
    }
}

void TrayManager::createTrayIcon()
{
    m_tray = new QSystemTrayIcon(QIcon(QStringLiteral(":/resources/icons/app_logo.svg")), this);
    m_tray->setToolTip(QStringLiteral("mirvale"));
    connect(m_tray, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                showWindow();
            }
        });
}

void TrayManager::createMenu()
{
    m_menu = new QMenu;

    QAction *open = m_menu->addAction(tr("Open mirvale"));
    connect(open, &QAction::triggered, this, [this] { showWindow(); });

    m_menu->addSeparator();

    m_startupAction = m_menu->addAction(tr("Launch at startup"));
    m_startupAction->setCheckable(true);
    m_startupAction->setChecked(isStartupEnabled());
    connect(m_startupAction, &QAction::toggled, this, &TrayManager::setStartupEnabled);

    m_menu->addSeparator();

    QAction *quit = m_menu->addAction(tr("Quit"));
    // QCoreApplication::quit() first asks every window to close and gives up when one refuses,
    // which the dashboard does while a tray exists; ending the loop directly always quits.
    connect(quit, &QAction::triggered, this, [] { QCoreApplication::exit(0); });

    m_tray->setContextMenu(m_menu);
}

void TrayManager::showWindow()
{
    if (!m_window) {
        return;
    }
    // Bring back a minimised window too, keeping it maximised if it was.
    if (m_window->isMinimized()) {
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
