#include "common/thememanager.h"

#include <QApplication>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

class tst_ThemeManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void appliesSavedTheme_data();
    void appliesSavedTheme();
    void toggleAndSameThemeInstallWriteAndEmit();
    void plainTextIsReadableInBothThemes();

private:
    static QString stored() { return QSettings().value("appearance/theme").toString(); }
};

void tst_ThemeManager::init()
{
    QSettings().clear();
}

void tst_ThemeManager::appliesSavedTheme_data()
{
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QColor>("window"); // the platform's palette
    QTest::addColumn<QColor>("text");
    QTest::addColumn<ThemeManager::Theme>("expected");
    const QColor dark(0x202020), light(0xF0F0F0), grey(0x808080);
    QTest::addRow("absent, dark palette") << QString() << dark << light << ThemeManager::Dark;
    QTest::addRow("absent, light palette") << QString() << light << dark << ThemeManager::Light;
    QTest::addRow("absent, undetermined palette")
        << QString() << grey << grey << ThemeManager::Light;
    QTest::addRow("dark on a light palette") << "dark" << light << dark << ThemeManager::Dark;
    QTest::addRow("light on a dark palette") << "light" << dark << light << ThemeManager::Light;
    QTest::addRow("capitalised Dark") << "Dark" << light << dark << ThemeManager::Light;
}

void tst_ThemeManager::appliesSavedTheme()
{
    QFETCH(QString, saved);
    QFETCH(QColor, window);
    QFETCH(QColor, text);
    QFETCH(ThemeManager::Theme, expected);
    if (!saved.isNull()) {
        QSettings().setValue("appearance/theme", saved);
    }
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    QApplication::setPalette(palette);
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    if (saved != QLatin1String("dark") && saved != QLatin1String("light")) {
        expected = ThemeManager::systemPrefersDark() ? ThemeManager::Dark : ThemeManager::Light;
    }
#endif
    ThemeManager *manager = ThemeManager::instance();
    QSignalSpy spy(manager, &ThemeManager::themeChanged);
    manager->applySavedTheme();
    QCOMPARE(manager->theme(), expected);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(qApp->styleSheet(), manager->stylesheetForTheme(expected));
    // Every start writes the key back in its canonical form.
    QCOMPARE(stored(), QLatin1String(expected == ThemeManager::Dark ? "dark" : "light"));
}

void tst_ThemeManager::toggleAndSameThemeInstallWriteAndEmit()
{
    ThemeManager *manager = ThemeManager::instance();
    manager->setTheme(ThemeManager::Light);
    QSignalSpy spy(manager, &ThemeManager::themeChanged);
    const auto check = [&](ThemeManager::Theme theme, const char *name) {
        QCOMPARE(manager->theme(), theme);
        QCOMPARE(spy.takeFirst().at(0).value<ThemeManager::Theme>(), theme);
        QCOMPARE(stored(), QLatin1String(name));
        QCOMPARE(qApp->styleSheet(), manager->stylesheetForTheme(theme));
    };
    manager->toggleTheme();
    check(ThemeManager::Dark, "dark");
    manager->toggleTheme();
    check(ThemeManager::Light, "light");

    // Setting the current theme again still installs, writes and emits.
    QSettings().clear();
    qApp->setStyleSheet(QString());
    manager->setTheme(ThemeManager::Light);
    check(ThemeManager::Light, "light");
    QVERIFY(spy.isEmpty());
}

void tst_ThemeManager::plainTextIsReadableInBothThemes()
{
    // A label without an object name of its own gets its colour from the palette, not the sheets.
    for (const auto theme : { ThemeManager::Dark, ThemeManager::Light }) {
        ThemeManager::instance()->setTheme(theme);
        QLabel label(QStringLiteral("Word count: 0"));
        label.ensurePolished();
        const QColor text = label.palette().color(QPalette::WindowText);
        const QColor background(theme == ThemeManager::Dark ? 0x17171A : 0xF1EFE8);
        QVERIFY2(qAbs(text.lightness() - background.lightness()) > 128, qPrintable(text.name()));
    }
}

QTEST_MAIN(tst_ThemeManager)
#include "tst_thememanager.moc"
