#include "thememanager.h"

#include <QApplication>
#include <QFile>
#include <QPalette>
#include <QSettings>
#include <QStyleHints>

namespace {
constexpr auto themeKey = "appearance/theme";
}

ThemeManager *ThemeManager::instance()
{
    static ThemeManager manager;
    return &manager;
}

void ThemeManager::applySavedTheme()
{
    const QString saved = QSettings().value(themeKey).toString();
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
        app->setStyleSheet(stylesheetForTheme(theme));
    }
    QSettings().setValue(themeKey, theme == Dark ? QStringLiteral("dark") : QStringLiteral("light"));
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
