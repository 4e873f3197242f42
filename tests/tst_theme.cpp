#include "common/floatingcards.h"
#include "common/floatingwidget.h"
#include "common/thememanager.h"
#include "maindashboard.h"

#include <QtTest>
#include <QtWidgets>

using Theme = ThemeManager::Theme;

class tst_Theme : public QObject
{
    Q_OBJECT

private slots:
    void appliesSavedThemeAndStoresToggles();
    void coloursFollowTheToggle();
};

void tst_Theme::appliesSavedThemeAndStoresToggles()
{
    ThemeManager *manager = ThemeManager::instance();
    QSettings settings; // sees what the manager stores
    QSignalSpy spy(manager, &ThemeManager::themeChanged);
    settings.setValue("appearance/theme", "dark");
    manager->applySavedTheme();
    manager->toggleTheme();
    QCOMPARE(settings.value("appearance/theme").toString(), "light");
    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.first().at(0).value<Theme>(), Theme::Dark);
    // Anything else stored, or nothing, means the system's preference, stored at every start.
    for (const QVariant &saved : { QVariant("Dark"), QVariant() }) {
        settings.setValue("appearance/theme", saved);
        manager->applySavedTheme();
        QCOMPARE(settings.value("appearance/theme").toString(),
            ThemeManager::systemPrefersDark() ? "dark" : "light");
    }
}

void tst_Theme::coloursFollowTheToggle()
{
    // Light and dark: window, accent badge, floating card, big display, plain label text.
    const QRgb colours[][5] = { { 0xFFF1EFE8, 0xFFE6F1FB, 0xFFFFFFFF, 0xFF1F1F1D, 0xFF1F1F1D },
        { 0xFF17171A, 0xFF0C447C, 0xFF1E1E22, 0xFFF1EFE8, 0xFFF1EFE8 } };
    // A syntax error makes Qt drop a whole sheet with one warning.
    QTest::failOnWarning(QRegularExpression("(?i)(style ?sheet|could not)"));
    ThemeManager::instance()->setTheme(Theme::Light); // as at start-up, before the window is built
    MainDashboard dashboard;
    dashboard.show();
    const FloatingDisplay floating =
        makeFloatingDisplay(&dashboard, "Tokyo", "12:34:56", [](FloatingWidget *) {});
    floating.card->show();
    QVERIFY(
        QTest::qWaitForWindowExposed(&dashboard) && QTest::qWaitForWindowExposed(floating.card));
    auto *badge = dashboard.findChild<QLabel *>("ToolIconBadge");
    auto *card = floating.card->findChild<QWidget *>("FloatingCard");
    QLabel plain("Word count: 0", &dashboard);
    for (const Theme theme : { Theme::Light, Theme::Dark }) {
        plain.ensurePolished();
        const QImage image = dashboard.grab().toImage();
        QCOMPARE(QList<QRgb>({ image.pixel(4, 4),
                     image.pixel(badge->mapTo(&dashboard, QPoint(badge->width() / 2, 3))),
                     floating.card->grab().toImage().pixel(
                         card->mapTo(floating.card, QPoint(6, card->height() / 2))),
                     floating.label->palette().color(QPalette::WindowText).rgb(),
                     plain.palette().color(QPalette::WindowText).rgb() }),
            QList<QRgb>(std::begin(colours[theme]), std::end(colours[theme])));
        dashboard.findChild<QPushButton *>("ThemeToggleButton")->click();
    }
}

QTEST_MAIN(tst_Theme)
#include "tst_theme.moc"
