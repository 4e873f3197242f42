#include "common/thememanager.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(ThemeManager::Theme)

class tst_ThemeManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void appliesSavedTheme_data();
    void appliesSavedTheme();
    void followsPlatformPaletteWhenNothingIsStored_data();
    void followsPlatformPaletteWhenNothingIsStored();
    void togglesAndStoresEachSwitch();
    void settingSameThemeStillInstallsWritesAndEmits();
    void sheetsAreReadFromResources();
    void plainTextIsReadableInBothThemes();

private:
    QPalette m_originalPalette;
    static QString storedTheme() { return QSettings().value("appearance/theme").toString(); }
};

void tst_ThemeManager::initTestCase()
{
    qRegisterMetaType<ThemeManager::Theme>();
    QCoreApplication::setOrganizationName(QStringLiteral("mirvale"));
    QCoreApplication::setApplicationName(QStringLiteral("mirvale"));
    m_originalPalette = QApplication::palette();
}

void tst_ThemeManager::init()
{
    QSettings().clear();
    QApplication::setPalette(m_originalPalette);
}

void tst_ThemeManager::appliesSavedTheme_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("usesPlatform");
    QTest::addColumn<int>("expected");

    const int platform = ThemeManager::systemPrefersDark() ? ThemeManager::Dark : ThemeManager::Light;
    QTest::addRow("absent") << QVariant() << true << platform;
    QTest::addRow("dark") << QVariant(QStringLiteral("dark")) << false << int(ThemeManager::Dark);
    QTest::addRow("light") << QVariant(QStringLiteral("light")) << false << int(ThemeManager::Light);
    QTest::addRow("capitalised Dark") << QVariant(QStringLiteral("Dark")) << true << platform;
    QTest::addRow("padded") << QVariant(QStringLiteral(" dark")) << true << platform;
    QTest::addRow("number") << QVariant(1) << true << platform;
}

void tst_ThemeManager::appliesSavedTheme()
{
    QFETCH(QVariant, stored);
    QFETCH(int, expected);

    if (stored.isValid()) {
        QSettings().setValue("appearance/theme", stored);
    }
    ThemeManager *manager = ThemeManager::instance();
    QSignalSpy spy(manager, &ThemeManager::themeChanged);
    manager->applySavedTheme();

    QCOMPARE(int(manager->theme()), expected);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(int(spy.at(0).at(0).value<ThemeManager::Theme>()), expected);
    QCOMPARE(qApp->styleSheet(), manager->stylesheetForTheme(ThemeManager::Theme(expected)));
    // Every start writes the key back in its canonical form.
    QCOMPARE(storedTheme(), expected == ThemeManager::Dark ? QStringLiteral("dark")
                                                           : QStringLiteral("light"));
}

void tst_ThemeManager::followsPlatformPaletteWhenNothingIsStored_data()
{
    QTest::addColumn<QColor>("window");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QString>("expected");

    QTest::addRow("dark palette") << QColor(0x20, 0x20, 0x20) << QColor(0xEE, 0xEE, 0xEE) << "dark";
    QTest::addRow("light palette") << QColor(0xF0, 0xF0, 0xF0) << QColor(0x10, 0x10, 0x10) << "light";
    QTest::addRow("undetermined") << QColor(0x80, 0x80, 0x80) << QColor(0x80, 0x80, 0x80) << "light";
}

void tst_ThemeManager::followsPlatformPaletteWhenNothingIsStored()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    QSKIP("The platform's colour-scheme hint decides on this Qt version");
#endif
    QFETCH(QColor, window);
    QFETCH(QColor, text);
    QFETCH(QString, expected);

    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    QApplication::setPalette(palette);

    ThemeManager::instance()->applySavedTheme();
    QCOMPARE(storedTheme(), expected);

    // Once stored, the platform is no longer asked: a later start keeps the theme.
    QApplication::setPalette(m_originalPalette);
    ThemeManager::instance()->applySavedTheme();
    QCOMPARE(storedTheme(), expected);
}

void tst_ThemeManager::togglesAndStoresEachSwitch()
{
    ThemeManager *manager = ThemeManager::instance();
    manager->setTheme(ThemeManager::Light);
    QSignalSpy spy(manager, &ThemeManager::themeChanged);

    manager->toggleTheme();
    QCOMPARE(manager->theme(), ThemeManager::Dark);
    QCOMPARE(storedTheme(), QStringLiteral("dark"));
    QCOMPARE(qApp->styleSheet(), manager->stylesheetForTheme(ThemeManager::Dark));

    manager->toggleTheme();
    QCOMPARE(manager->theme(), ThemeManager::Light);
    QCOMPARE(storedTheme(), QStringLiteral("light"));
    QCOMPARE(qApp->styleSheet(), manager->stylesheetForTheme(ThemeManager::Light));

    QCOMPARE(spy.size(), 2);
    QCOMPARE(spy.at(0).at(0).value<ThemeManager::Theme>(), ThemeManager::Dark);
    QCOMPARE(spy.at(1).at(0).value<ThemeManager::Theme>(), ThemeManager::Light);
}

void tst_ThemeManager::settingSameThemeStillInstallsWritesAndEmits()
{
    ThemeManager *manager = ThemeManager::instance();
    manager->setTheme(ThemeManager::Dark);
    QSettings().remove("appearance/theme");
    qApp->setStyleSheet(QString());
    QSignalSpy spy(manager, &ThemeManager::themeChanged);

    manager->setTheme(ThemeManager::Dark);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(storedTheme(), QStringLiteral("dark"));
    QCOMPARE(qApp->styleSheet(), manager->stylesheetForTheme(ThemeManager::Dark));
}

void tst_ThemeManager::sheetsAreReadFromResources()
{
    const ThemeManager *manager = ThemeManager::instance();
    const QString light = manager->stylesheetForTheme(ThemeManager::Light);
    const QString dark = manager->stylesheetForTheme(ThemeManager::Dark);
    QVERIFY(light.contains(QLatin1String("QWidget#MainDashboard")));
    QVERIFY(dark.contains(QLatin1String("QWidget#MainDashboard")));
    QVERIFY(light != dark);
    // Line ends come out as single line feeds whatever the file holds.
    QVERIFY(!light.contains(QLatin1Char('\r')));
}

void tst_ThemeManager::plainTextIsReadableInBothThemes()
{
    // A label without an object name of its own gets its colour from the palette, not the sheets.
    for (const auto theme : { ThemeManager::Dark, ThemeManager::Light }) {
        ThemeManager::instance()->setTheme(theme);
        QWidget window;
        window.setObjectName(QStringLiteral("MainDashboard"));
        auto *label = new QLabel(QStringLiteral("Word count: 0"), &window);
        label->ensurePolished();
        window.ensurePolished();
        const QColor text = label->palette().color(QPalette::WindowText);
        const QColor background = QColor(theme == ThemeManager::Dark ? 0x17171A : 0xF1EFE8);
        QVERIFY2(qAbs(text.lightness() - background.lightness()) > 128,
                 qPrintable(text.name() + QLatin1String(" on ") + background.name()));
    }
}

QTEST_MAIN(tst_ThemeManager)
#include "tst_thememanager.moc"
