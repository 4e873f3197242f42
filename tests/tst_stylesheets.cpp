#include "common/thememanager.h"

#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>

namespace {
const QRegularExpression colourPattern(QStringLiteral("#[0-9A-Fa-f]+\\b"));

// Selectors and "property: value" declarations of each rule, white space simplified, comments
// dropped. Anything outside plain rules (nesting, a stray brace or text) gives no rules.
using Rule = QPair<QString, QStringList>;
QList<Rule> parseSheet(ThemeManager::Theme theme)
{
    static const QRegularExpression comment(
        QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression rule(QStringLiteral("([^{}]*)\\{([^{}]*)\\}"));
    const QString text = ThemeManager::instance()->stylesheetForTheme(theme).remove(comment);
    QList<Rule> rules;
    for (auto it = rule.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        QStringList declarations = match.captured(2).split(QLatin1Char(';'));
        for (QString &declaration : declarations) {
            declaration = declaration.simplified();
        }
        declarations.removeAll(QString());
        rules.append({ match.captured(1).simplified(), declarations });
    }
    return QString(text).remove(rule).trimmed().isEmpty() ? rules : QList<Rule>();
}
} // namespace

class tst_Stylesheets : public QObject
{
    Q_OBJECT

private slots:
    void sheetsDifferOnlyInColours();
    void qtTakesBothSheets();
};

void tst_Stylesheets::sheetsDifferOnlyInColours()
{
    const QList<Rule> light = parseSheet(ThemeManager::Light);
    const QList<Rule> dark = parseSheet(ThemeManager::Dark);
    QCOMPARE(light.size(), 46);
    QCOMPARE(dark.size(), light.size());
    for (int i = 0; i < light.size(); ++i) {
        QCOMPARE(dark.at(i).first, light.at(i).first);
        QVERIFY2(!light.at(i).second.isEmpty(), qPrintable(light.at(i).first));
        QStringList darkDeclarations = dark.at(i).second;
        // The dark sheet alone sets a light glyph colour on the floating card's buttons, whose
        // default would vanish on the dark card.
        if (light.at(i).first == "QPushButton#FloatingPinButton, QPushButton#FloatingCloseButton") {
            const QString extra = darkDeclarations.isEmpty() ? "" : darkDeclarations.takeLast();
            QVERIFY2(QRegularExpression("^color: #[0-9A-Fa-f]{6}$").match(extra).hasMatch(),
                qPrintable(extra));
        }
        QStringList lightDeclarations = light.at(i).second;
        QCOMPARE(darkDeclarations.replaceInStrings(colourPattern, "#colour"),
            lightDeclarations.replaceInStrings(colourPattern, "#colour"));
    }
}

void tst_Stylesheets::qtTakesBothSheets()
{
    // A syntax error makes Qt drop the whole sheet with one warning.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("(?i)(style ?sheet|could not)")));
    for (const auto theme : { ThemeManager::Light, ThemeManager::Dark }) {
        // Every colour is a valid six-digit one: Qt takes a bad colour silently.
        const QString text = ThemeManager::instance()->stylesheetForTheme(theme);
        for (auto it = colourPattern.globalMatch(text); it.hasNext();) {
            const QString colour = it.next().captured();
            QVERIFY2(colour.size() == 7 && QColor::isValidColorName(colour), qPrintable(colour));
        }
        ThemeManager::instance()->setTheme(theme);
        QLabel label(QStringLiteral("x"));
        label.setObjectName(QStringLiteral("AppTitle"));
        label.ensurePolished();
        QCOMPARE(label.font().pixelSize(), 15);
    }
}

QTEST_MAIN(tst_Stylesheets)
#include "tst_stylesheets.moc"
