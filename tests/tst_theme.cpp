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
#include <QXmlStreamReader>

namespace {
using Theme = ThemeManager::Theme;
ThemeManager *manager() { return ThemeManager::instance(); }
QString stored() { return QSettings().value("appearance/theme").toString(); }

// The sheet's rules as "selector { declarations }" lines, colours masked; empty when anything
// outside plain rules (a stray brace or text) is left.
QStringList rules(Theme theme)
{
    static const QRegularExpression comment(R"(/\*.*?\*/)",
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression rule(R"(([^{}]*)\{([^{}]*)\})");
    const QString text = manager()->stylesheetForTheme(theme).remove(comment);
    QStringList found;
    for (auto it = rule.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        found << match.captured(1).simplified() + " { "
                + match.captured(2).simplified().replace(QRegularExpression("#[0-9A-Fa-f]{6}\\b"),
                    "#c")
                + " }";
    }
    return QString(text).remove(rule).trimmed().isEmpty() ? found : QStringList();
}
} // namespace

class tst_Theme : public QObject
{
    Q_OBJECT

private slots:
    void appliesSavedTheme_data();
    void appliesSavedTheme();
    void toggleInstallsStoresAndEmits();
    void sheetsDifferOnlyInColoursAndQtTakesThem();
    void coloursFollowTheToggle();
    void everyResourceOpens();
};

void tst_Theme::appliesSavedTheme_data()
{
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QColor>("window"); // the platform's palette
    QTest::addColumn<int>("expected");
    const QColor dark(0x202020), light(0xF0F0F0);
    QTest::addRow("absent, dark palette") << QString() << dark << int(Theme::Dark);
    QTest::addRow("absent, light palette") << QString() << light << int(Theme::Light);
    QTest::addRow("dark on a light palette") << "dark" << light << int(Theme::Dark);
    QTest::addRow("light on a dark palette") << "light" << dark << int(Theme::Light);
    QTest::addRow("capitalised Dark") << "Dark" << light << int(Theme::Light);
}

void tst_Theme::appliesSavedTheme()
{
    QFETCH(QString, saved);
    QFETCH(QColor, window);
    QFETCH(int, expected);
    QSettings().clear();
    if (!saved.isNull()) {
        QSettings().setValue("appearance/theme", saved);
    }
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, QColor(0xFFFFFF - (window.rgb() & 0xFFFFFF)));
    QApplication::setPalette(palette);
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

void tst_Theme::sheetsDifferOnlyInColoursAndQtTakesThem()
{
    QStringList light = rules(Theme::Light);
    QStringList dark = rules(Theme::Dark);
    QCOMPARE(light.size(), 46);
    // The dark sheet alone sets a light glyph colour on the floating card's buttons.
    const QString buttons = "QPushButton#FloatingPinButton, QPushButton#FloatingCloseButton { ";
    for (QString &rule : dark) {
        if (rule.startsWith(buttons)) {
            QVERIFY2(rule.endsWith(" color: #c; }"), qPrintable(rule));
            rule.replace(" color: #c; }", " }");
        }
    }
    QCOMPARE(dark, light);
    // A syntax error makes Qt drop a whole sheet with one warning; a bad colour goes silently.
    QTest::failOnWarning(QRegularExpression("(?i)(style ?sheet|could not)"));
    for (const Theme theme : { Theme::Light, Theme::Dark }) {
        const QString text = manager()->stylesheetForTheme(theme);
        for (auto it = QRegularExpression("#[0-9A-Fa-f]+\\b").globalMatch(text); it.hasNext();) {
            const QString colour = it.next().captured();
            QVERIFY2(colour.size() == 7 && QColor::isValidColorName(colour), qPrintable(colour));
        }
        manager()->setTheme(theme);
        QLabel label("x");
        label.setObjectName("AppTitle");
        label.ensurePolished();
        QCOMPARE(label.font().pixelSize(), 15);
    }
}

void tst_Theme::coloursFollowTheToggle()
{
    // Light and dark: window, accent badge, floating card, big display, plain label text.
    const QRgb colours[][5] = { { 0xFFF1EFE8, 0xFFE6F1FB, 0xFFFFFFFF, 0xFF1F1F1D, 0xFF1F1F1D },
        { 0xFF17171A, 0xFF0C447C, 0xFF1E1E22, 0xFFF1EFE8, 0xFFF1EFE8 } };
    manager()->setTheme(Theme::Light); // as at start-up, before the window is built
    MainDashboard dashboard;
    dashboard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dashboard));
    const FloatingDisplay floating = makeFloatingDisplay(&dashboard, "Tokyo", "12:34:56", [](FloatingWidget *) {});
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
    QStringList paths = { ":/resources/theme_light.qss", ":/resources/theme_dark.qss" };
    for (const QString &name :
        QString("app_logo moon qrcode text-tools image-resize alarm calendar-due pdf pdf/open "
                "pdf/add_pages pdf/insert_page pdf/rotate_left pdf/rotate_right pdf/black_white "
                "pdf/remove_page pdf/undo pdf/crop pdf/fill_sign pdf/ocr pdf/compress "
                "pdf/export_image pdf/export_all pdf/close pdf/save pdf/merge pdf/split "
                "pdf/highlight pdf/comment")
            .split(' ')) {
        paths << ":/resources/icons/" + name + ".svg";
    }
    for (const QString &path : std::as_const(paths)) {
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        const bool sheet = path.endsWith(".qss");
        // The sheets are stored compressed; readers see plain text either way.
        QCOMPARE(QResource(path).compressionAlgorithm() == QResource::ZlibCompression, sheet);
        if (sheet) {
            QVERIFY(file.readAll().contains("QWidget#MainDashboard {"));
            continue;
        }
        // A 24-unit line drawing whose root styles every shape, drawn through QIcon (which needs
        // the SVG icon engine at run time) over a fair part of its box, never all of it.
        QXmlStreamReader xml(&file);
        QVERIFY(xml.readNextStartElement());
        QStringList style;
        for (const char *name : { "viewBox", "fill", "stroke-width", "stroke-linecap" }) {
            style << xml.attributes().value(name).toString();
        }
        QCOMPARE(style, QStringList({ "0 0 24 24", "none", "1.6", "round" }));
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
