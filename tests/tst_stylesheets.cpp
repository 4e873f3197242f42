#include "common/thememanager.h"

#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>

namespace {
struct Declaration
{
    QString property;
    QString value;
};

struct Rule
{
    QStringList selectors;
    QList<Declaration> declarations;
};

// Enough of the style-sheet grammar for these two files: comments, selector groups and
// "property: value;" lists, no nesting.
QList<Rule> parseSheet(QString text)
{
    text.remove(QRegularExpression(
        QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption));
    QList<Rule> rules;
    const QStringList blocks = text.split(QLatin1Char('}'));
    for (const QString &block : blocks) {
        if (block.trimmed().isEmpty()) {
            continue;
        }
        const int open = block.indexOf(QLatin1Char('{'));
        if (open < 0) {
            return {};
        }
        Rule rule;
        const QStringList selectors = block.left(open).split(QLatin1Char(','));
        for (const QString &selector : selectors) {
            rule.selectors.append(selector.simplified());
        }
        const QStringList declarations = block.mid(open + 1).split(QLatin1Char(';'));
        for (const QString &declaration : declarations) {
            if (declaration.trimmed().isEmpty()) {
                continue;
            }
            const int colon = declaration.indexOf(QLatin1Char(':'));
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

const QRegularExpression &colourPattern()
{
    static const QRegularExpression pattern(QStringLiteral("#[0-9A-Fa-f]+\\b"));
    return pattern;
}

QString withoutColours(QString value)
{
    return value.replace(colourPattern(), QStringLiteral("#colour"));
}

bool isFloatingButtonsRule(const Rule &rule)
{
    return rule.selectors
        == QStringList { QStringLiteral("QPushButton#FloatingPinButton"),
               QStringLiteral("QPushButton#FloatingCloseButton") };
}
} // namespace

class tst_Stylesheets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void bothSheetsHaveTheSameSelectorsInOrder();
    void rulesDifferOnlyInColours_data();
    void rulesDifferOnlyInColours();
    void everyColourIsSixDigitHex_data();
    void everyColourIsSixDigitHex();
    void qtParsesSheetWithoutComplaint_data();
    void qtParsesSheetWithoutComplaint();

private:
    QString m_lightText;
    QString m_darkText;
    QList<Rule> m_light;
    QList<Rule> m_dark;
};

void tst_Stylesheets::initTestCase()
{
    m_lightText = ThemeManager::instance()->stylesheetForTheme(ThemeManager::Light);
    m_darkText = ThemeManager::instance()->stylesheetForTheme(ThemeManager::Dark);
    QVERIFY(!m_lightText.isEmpty());
    QVERIFY(!m_darkText.isEmpty());
    m_light = parseSheet(m_lightText);
    m_dark = parseSheet(m_darkText);
}

void tst_Stylesheets::bothSheetsHaveTheSameSelectorsInOrder()
{
    QCOMPARE(m_light.size(), 46);
    QCOMPARE(m_dark.size(), 46);
    QStringList lightSelectors;
    QStringList darkSelectors;
    for (int i = 0; i < m_light.size(); ++i) {
        QCOMPARE(m_dark.at(i).selectors, m_light.at(i).selectors);
        lightSelectors += m_light.at(i).selectors;
        darkSelectors += m_dark.at(i).selectors;
    }
    QCOMPARE(lightSelectors.size(), 51);
    QCOMPARE(lightSelectors.removeDuplicates(), 0);
    QCOMPARE(darkSelectors, lightSelectors);
}

void tst_Stylesheets::rulesDifferOnlyInColours_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < m_light.size(); ++i) {
        QTest::addRow("%s", qPrintable(m_light.at(i).selectors.join(QLatin1Char(',')))) << i;
    }
}

void tst_Stylesheets::rulesDifferOnlyInColours()
{
    QFETCH(int, index);
    QVERIFY(index < m_dark.size());
    const Rule &light = m_light.at(index);
    QList<Declaration> dark = m_dark.at(index).declarations;

    // The dark sheet alone sets a light glyph colour on the floating card's buttons, whose
    // light default would vanish on the dark card.
    if (isFloatingButtonsRule(light)) {
        QVERIFY(!dark.isEmpty());
        const Declaration extra = dark.takeLast();
        QCOMPARE(extra.property, QStringLiteral("color"));
        QVERIFY(colourPattern().match(extra.value).hasMatch());
        for (const Declaration &declaration : light.declarations) {
            QVERIFY(declaration.property != QLatin1String("color"));
        }
    }

    QVERIFY(!light.declarations.isEmpty());
    QCOMPARE(dark.size(), light.declarations.size());
    for (int i = 0; i < dark.size(); ++i) {
        const Declaration &l = light.declarations.at(i);
        const Declaration &d = dark.at(i);
        QCOMPARE(d.property, l.property);
        QCOMPARE(withoutColours(d.value), withoutColours(l.value));
    }
}

void tst_Stylesheets::everyColourIsSixDigitHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addRow("light") << m_lightText;
    QTest::addRow("dark") << m_darkText;
}

void tst_Stylesheets::everyColourIsSixDigitHex()
{
    QFETCH(QString, text);
    int colours = 0;
    auto it = colourPattern().globalMatch(text);
    while (it.hasNext()) {
        const QString colour = it.next().captured();
        QCOMPARE(colour.size(), 7);
        QVERIFY2(QColor::isValidColorName(colour), qPrintable(colour));
        ++colours;
    }
    QVERIFY(colours > 46);
}

void tst_Stylesheets::qtParsesSheetWithoutComplaint_data()
{
    QTest::addColumn<int>("theme");
    QTest::addRow("light") << int(ThemeManager::Light);
    QTest::addRow("dark") << int(ThemeManager::Dark);
}

void tst_Stylesheets::qtParsesSheetWithoutComplaint()
{
    QFETCH(int, theme);
    // A syntax error makes Qt drop the whole sheet with one warning.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("(?i)(style ?sheet|could not)")));
    ThemeManager::instance()->setTheme(ThemeManager::Theme(theme));
    QLabel label(QStringLiteral("x"));
    label.setObjectName(QStringLiteral("AppTitle"));
    label.ensurePolished();
    QVERIFY(!qApp->styleSheet().isEmpty());
    QCOMPARE(label.font().pixelSize(), 15);
}

QTEST_MAIN(tst_Stylesheets)
#include "tst_stylesheets.moc"
