#include "common/thememanager.h"

#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>

namespace {
struct Rule
{
    QString selectors; // as written, whitespace simplified
    QList<QPair<QString, QString>> declarations; // property, value
};

// Enough of the style-sheet grammar for these two files: comments, selector groups and
// "property: value;" lists, no nesting. Anything else gives no rules.
QList<Rule> parseSheet(QString text)
{
    text.remove(QRegularExpression(
        QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption));
    QList<Rule> rules;
    const QStringList blocks = text.split(QLatin1Char('}'));
    for (const QString &block : blocks) {
        const int open = block.indexOf(QLatin1Char('{'));
        if (block.trimmed().isEmpty()) {
            continue;
        }
        if (open < 0) {
            return {};
        }
        Rule rule { block.left(open).simplified(), {} };
        const QStringList declarations = block.mid(open + 1).split(QLatin1Char(';'));
        for (const QString &declaration : declarations) {
            const int colon = declaration.indexOf(QLatin1Char(':'));
            if (declaration.trimmed().isEmpty()) {
                continue;
            }
            if (colon < 0) {
                return {};
            }
            rule.declarations.append(
                { declaration.left(colon).trimmed(), declaration.mid(colon + 1).simplified() });
        }
        rules.append(rule);
    }
    return rules;
}

const QRegularExpression colourPattern(QStringLiteral("#[0-9A-Fa-f]+\\b"));
} // namespace

class tst_Stylesheets : public QObject
{
    Q_OBJECT

private slots:
    void sheetsDifferOnlyInColours();
    void qtTakesEverySheet_data();
    void qtTakesEverySheet();
};

void tst_Stylesheets::sheetsDifferOnlyInColours()
{
    const QList<Rule> light =
        parseSheet(ThemeManager::instance()->stylesheetForTheme(ThemeManager::Light));
    const QList<Rule> dark =
        parseSheet(ThemeManager::instance()->stylesheetForTheme(ThemeManager::Dark));
    QCOMPARE(light.size(), 46);
    QCOMPARE(dark.size(), light.size());

    const auto withoutColours = [](QString value) {
        return value.replace(colourPattern, QStringLiteral("#colour"));
    };
    for (int i = 0; i < light.size(); ++i) {
        QCOMPARE(dark.at(i).selectors, light.at(i).selectors);
        QList<QPair<QString, QString>> darkDeclarations = dark.at(i).declarations;
        // The dark sheet alone sets a light glyph colour on the floating card's buttons, whose
        // default would vanish on the dark card.
        if (light.at(i).selectors
            == QLatin1String("QPushButton#FloatingPinButton, QPushButton#FloatingCloseButton")) {
            QVERIFY(!darkDeclarations.isEmpty());
            const auto extra = darkDeclarations.takeLast();
            QCOMPARE(extra.first, QStringLiteral("color"));
            QVERIFY(colourPattern.match(extra.second).hasMatch());
        }
        const QList<QPair<QString, QString>> &lightDeclarations = light.at(i).declarations;
        QVERIFY2(!lightDeclarations.isEmpty(), qPrintable(light.at(i).selectors));
        QCOMPARE(darkDeclarations.size(), lightDeclarations.size());
        for (int d = 0; d < lightDeclarations.size(); ++d) {
            QCOMPARE(darkDeclarations.at(d).first, lightDeclarations.at(d).first);
            QCOMPARE(withoutColours(darkDeclarations.at(d).second),
                withoutColours(lightDeclarations.at(d).second));
        }
    }
}

void tst_Stylesheets::qtTakesEverySheet_data()
{
    QTest::addColumn<int>("theme");
    QTest::addRow("light") << int(ThemeManager::Light);
    QTest::addRow("dark") << int(ThemeManager::Dark);
}

void tst_Stylesheets::qtTakesEverySheet()
{
    QFETCH(int, theme);
    // Every colour is a valid six-digit one: Qt takes a bad colour silently.
    const QString text = ThemeManager::instance()->stylesheetForTheme(ThemeManager::Theme(theme));
    for (auto it = colourPattern.globalMatch(text); it.hasNext();) {
        const QString colour = it.next().captured();
        QVERIFY2(colour.size() == 7 && QColor::isValidColorName(colour), qPrintable(colour));
    }
    // A syntax error makes Qt drop the whole sheet with one warning.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("(?i)(style ?sheet|could not)")));
    ThemeManager::instance()->setTheme(ThemeManager::Theme(theme));
    QLabel label(QStringLiteral("x"));
    label.setObjectName(QStringLiteral("AppTitle"));
    label.ensurePolished();
    QCOMPARE(label.font().pixelSize(), 15);
}

QTEST_MAIN(tst_Stylesheets)
#include "tst_stylesheets.moc"
