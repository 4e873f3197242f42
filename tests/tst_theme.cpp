#include "common/floatingdisplay.h"
#include "common/floatingwidget.h"
#include "common/thememanager.h"
#include "maindashboard.h"

#include <QIcon>
#include <QLabel>
#include <QRegularExpression>
#include <QResource>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

namespace {
using Theme = ThemeManager::Theme;
ThemeManager *manager()
{
    return ThemeManager::instance();
}
QString stored()
{
    return QSettings().value("appearance/theme").toString();
}

} // namespace

class tst_Theme : public QObject
{
    Q_OBJECT

private slots:
    void appliesSavedTheme_data();
    void appliesSavedTheme();
    void toggleInstallsStoresAndEmits();
    void coloursFollowTheToggle();
    void everyResourceOpens();
};

void tst_Theme::appliesSavedTheme_data()
{
    QTest::addColumn<QString>("saved");
    QTest::addColumn<bool>("darkPalette"); // the platform's
    QTest::addColumn<int>("expected");
    QTest::addRow("absent, dark palette") << QString() << true << int(Theme::Dark);
    QTest::addRow("absent, light palette") << QString() << false << int(Theme::Light);
    QTest::addRow("dark, light palette") << "dark" << false << int(Theme::Dark);
    QTest::addRow("light, dark palette") << "light" << true << int(Theme::Light);
    QTest::addRow("capitalised Dark") << "Dark" << false << int(Theme::Light);
}

void tst_Theme::appliesSavedTheme()
{
    QFETCH(QString, saved);
    QFETCH(bool, darkPalette);
    QFETCH(int, expected);
    QSettings().clear();
    if (!saved.isNull()) {
        QSettings().setValue("appearance/theme", saved);
    }
    QApplication::setPalette(
        QPalette(darkPalette ? Qt::white : Qt::black, darkPalette ? Qt::black : Qt::white));
    if (saved != "dark" && saved != "light") {
        expected = ThemeManager::systemPrefersDark(); // 6.5+ asks the platform, not the palette
    }
    QSignalSpy spy(manager(), &ThemeManager::themeChanged);
    manager()->applySavedTheme();
    QCOMPARE(int(manager()->theme()), expected);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(qApp->styleSheet(), manager()->stylesheetForTheme(Theme(expected)));
    QCOMPARE(stored(), expected == Theme::Dark ? "dark" : "light"); // rewritten at every start
}

void tst_Theme::toggleInstallsStoresAndEmits()
{
    manager()->setTheme(Theme::Light);
    QSignalSpy spy(manager(), &ThemeManager::themeChanged);
    for (const Theme theme : { Theme::Dark, Theme::Light, Theme::Light }) {
        QSettings().clear();
        qApp->setStyleSheet(QString());
        if (theme == manager()->theme()) {
            manager()->setTheme(theme); // the same theme again still installs, stores, emits
        } else {
            manager()->toggleTheme();
        }
        QCOMPARE(spy.takeFirst().at(0).value<Theme>(), theme);
        QCOMPARE(stored(), theme == Theme::Dark ? "dark" : "light");
        QCOMPARE(qApp->styleSheet(), manager()->stylesheetForTheme(theme));
    }
}

void tst_Theme::coloursFollowTheToggle()
{
    // Light and dark: window, accent badge, floating card, big display, plain label text.
    const QRgb colours[][5] = { { 0xFFF1EFE8, 0xFFE6F1FB, 0xFFFFFFFF, 0xFF1F1F1D, 0xFF1F1F1D },
        { 0xFF17171A, 0xFF0C447C, 0xFF1E1E22, 0xFFF1EFE8, 0xFFF1EFE8 } };
    // A syntax error makes Qt drop a whole sheet with one warning; a bad colour goes silently.
    QTest::failOnWarning(QRegularExpression("(?i)(style ?sheet|could not)"));
    for (const Theme theme : { Theme::Light, Theme::Dark }) {
        const QString text = manager()->stylesheetForTheme(theme);
        for (auto it = QRegularExpression("#[0-9A-Fa-f]+\\b").globalMatch(text); it.hasNext();) {
            const QString colour = it.next().captured();
            QVERIFY2(colour.size() == 7 && QColor::isValidColorName(colour), qPrintable(colour));
        }
    }
    manager()->setTheme(Theme::Light); // as at start-up, before the window is built
    MainDashboard dashboard;
    dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dashboard));
    const FloatingDisplay floating =
        makeFloatingDisplay(&dashboard, "Tokyo", "12:34:56", [](FloatingWidget *) {});
    floating.card->show();
    QVERIFY(QTest::qWaitForWindowExposed(floating.card));
    auto *badge = dashboard.findChild<QLabel *>("ToolIconBadge");
    auto *card = floating.card->findChild<QWidget *>("FloatingCard");
    QLabel plain("Word count: 0", &dashboard);
    for (const Theme theme : { Theme::Light, Theme::Dark }) {
        if (theme != manager()->theme()) {
            QVERIFY(QMetaObject::invokeMethod(&dashboard, "toggleTheme"));
        }
        plain.ensurePolished();
        const QImage image = dashboard.grab().toImage();
        const QImage cardImage = floating.card->grab().toImage();
        QCOMPARE(QList<QRgb>({ image.pixel(4, 4),
                     image.pixel(badge->mapTo(&dashboard, QPoint(badge->width() / 2, 3))),
                     cardImage.pixel(card->mapTo(floating.card, QPoint(6, card->height() / 2))),
                     floating.label->palette().color(QPalette::WindowText).rgb(),
                     plain.palette().color(QPalette::WindowText).rgb() }),
            QList<QRgb>(std::begin(colours[theme]), std::end(colours[theme])));
    }
}

void tst_Theme::everyResourceOpens()
{
    for (const QString &name :
        QString(
            "theme_light.qss theme_dark.qss app_logo moon qrcode text-tools "
            "image-resize alarm calendar-due pdf pdf/open pdf/add_pages pdf/insert_page "
            "pdf/rotate_left pdf/rotate_right pdf/black_white pdf/remove_page pdf/undo pdf/crop "
            "pdf/fill_sign pdf/ocr pdf/compress pdf/export_image pdf/export_all pdf/close pdf/save "
            "pdf/merge pdf/split pdf/highlight pdf/comment")
            .split(' ')) {
        const bool sheet = name.endsWith(".qss");
        const QString path = sheet ? ":/resources/" + name : ":/resources/icons/" + name + ".svg";
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        // The sheets are stored compressed; readers see plain text either way.
        QCOMPARE(QResource(path).compressionAlgorithm() == QResource::ZlibCompression, sheet);
        if (sheet) {
            QVERIFY(file.readAll().contains("QWidget#MainDashboard {"));
            continue;
        }
        // An icon is drawn through QIcon (the SVG icon engine must be there at run time), over a
        // fair part of its box, never all of it.
        const QImage image = QIcon(path).pixmap(32, 32).toImage();
        int painted = 0;
        for (int i = 0; i < 32 * 32; ++i) {
            painted += qAlpha(image.pixel(i % 32, i / 32)) > 0 ? 1 : 0;
        }
        QVERIFY2(painted > 102 && painted < 768, qPrintable(path));
    }
}

QTEST_MAIN(tst_Theme)
#include "tst_theme.moc"
