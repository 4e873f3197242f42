#pragma once

#include <QObject>

class ThemeManager : public QObject
{
    Q_OBJECT

public:
    enum Theme { Light = 0, Dark = 1 };

    static ThemeManager *instance();

    void applySavedTheme();
    void setTheme(Theme theme);
    void toggleTheme();
    QString stylesheetForTheme(Theme theme) const;
    Theme theme() const { return m_theme; }

    static bool systemPrefersDark();

signals:
    void themeChanged(ThemeManager::Theme newTheme);

private:
    ThemeManager() = default;

    Theme m_theme = Light;
};
