#pragma once

#include <QObject>

class QPalette;

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
    // The colours the sheets leave to the palette (plain labels, check boxes, list texts),
    // matched to the theme so they stay readable whatever the desktop's own scheme is.
    static QPalette paletteForTheme(Theme theme);
    Theme theme() const { return m_theme; }

    static bool systemPrefersDark();

signals:
    void themeChanged(ThemeManager::Theme newTheme);

private:
    ThemeManager() = default;

    Theme m_theme = Light;
};
