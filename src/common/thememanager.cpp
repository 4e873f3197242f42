#include "thememanager.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QSettings>
#include <QStyleHints>

namespace {
constexpr auto kThemeKey = "appearance/theme";
}

ThemeManager *ThemeManager::instance()
{
    static ThemeManager manager;
    return &manager;
}

void ThemeManager::applySavedTheme()
{
    const QString saved = QSettings().value(kThemeKey).toString();
    if (saved == QLatin1String("dark")) {
        setTheme(Dark);
    } else if (saved == QLatin1String("light")) {
        setTheme(Light);
    } else {
        setTheme(systemPrefersDark() ? Dark : Light);
    }
}

void ThemeManager::setTheme(Theme theme)
{
    m_theme = theme;
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance())) {
        QApplication::setPalette(paletteForTheme(theme));
        app->setStyleSheet(stylesheetForTheme(theme));
    }
    QSettings().setValue(
        kThemeKey, theme == Dark ? QStringLiteral("dark") : QStringLiteral("light"));
    emit themeChanged(theme);
}

void ThemeManager::toggleTheme()
{
    setTheme(m_theme == Dark ? Light : Dark);
}

QString ThemeManager::stylesheetForTheme(Theme theme) const
{
    const QString path = theme == Dark ? QStringLiteral(":/resources/theme_dark.qss")
                                       : QStringLiteral(":/resources/theme_light.qss");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qWarning("ThemeManager: could not open %s", qPrintable(path));
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

QPalette ThemeManager::paletteForTheme(Theme theme)
{
    const bool dark = theme == Dark;
    const QColor window(dark ? 0x17171A : 0xF1EFE8);
    const QColor surface(dark ? 0x232327 : 0xFFFFFF);
    const QColor text(dark ? 0xF1EFE8 : 0x1F1F1D);
    const QColor muted(0x888780);

    QPalette palette(text, window);
    palette.setColor(QPalette::Base, surface);
    palette.setColor(QPalette::AlternateBase, QColor(dark ? 0x1E1E22 : 0xF1EFE8));
    palette.setColor(QPalette::Button, surface);
    palette.setColor(QPalette::ToolTipBase, surface);
    for (const QPalette::ColorRole role :
        { QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText }) {
        palette.setColor(QPalette::Active, role, text);
        palette.setColor(QPalette::Inactive, role, text);
        palette.setColor(QPalette::Disabled, role, muted);
    }
    palette.setColor(QPalette::PlaceholderText, muted);
    palette.setColor(QPalette::Highlight, QColor(0x378ADD));
    palette.setColor(QPalette::HighlightedText, QColor(0xFFFFFF));
    palette.setColor(QPalette::Link, QColor(dark ? 0x85B7EB : 0x185FA5));
    return palette;
}

bool ThemeManager::systemPrefersDark()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    return QGuiApplication::styleHints()->colorScheme() == Qt::ColorScheme::Dark;
#else
    // Qt 6.4 has no colour-scheme hint: a window lighter than its text is a light scheme.
    // Without a GUI application nothing can be judged, which counts as light.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        return false;
    }
    const QPalette palette = QGuiApplication::palette();
    return palette.color(QPalette::Window).lightness()
        < palette.color(QPalette::WindowText).lightness();
#endif
}
