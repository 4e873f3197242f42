#include "tools/text/texttransforms.h"

#include <QRegularExpression>
#include <QTest>

namespace {
using Transform = QString (*)(const QString &);
using namespace TextTransforms;
enum { Reverse, PerLine, WordOrder, EmptyLines, DoubleSpaces, Tabs };
const std::pair<const char *, Transform> operations[] = { { "reverse", reversed },
    { "reverse per line", reversedPerLine }, { "reverse word order", wordOrderReversed },
    { "remove empty lines", withoutEmptyLines }, { "remove double spaces", withoutDoubleSpaces },
    { "tabs to spaces", tabsToSpaces } };

const QString grinning = QStringLiteral("\U0001F600"); // a surrogate pair
const QString family = QStringLiteral("\U0001F469\u200D\U0001F467"); // emoji joined by ZWJ
const QString eAcute = QStringLiteral("e\u0301"); // letter and combining mark
} // namespace

class tst_TextTransforms : public QObject
{
    Q_OBJECT

private slots:
    void transforms_data();
    void transforms();
    void counts_data();
    void counts();
    void invariants_data();
    void invariants();
};

void tst_TextTransforms::transforms_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    const auto row = [](int operation, const char *tag, const QString &before,
                         const QString &after) {
        QTest::addRow("%s: %s", operations[operation].first, tag) << operation << before << after;
    };
    for (int operation = Reverse; operation <= Tabs; ++operation) {
        row(operation, "empty", QString(), QString());
    }
    // Worked values.
    row(Reverse, "two lines", "ab\ncd", "dc\nba");
    row(PerLine, "empty line kept", "one two\n\nthree", "owt eno\n\neerht");
    row(PerLine, "final line feed stays", "ab\n", "ba\n");
    row(WordOrder, "double space mirrored", "one two  three\nfour five",
        "three  two one\nfive four");
    row(WordOrder, "tab inside word", "a\tb c", "c a\tb");
    row(EmptyLines, "blank, tab and final line", "a\n\n\t\nb\n", "a\nb");
    row(EmptyLines, "spaces around text kept", "\n  a b  \n\t\n", "  a b  ");
    row(EmptyLines, "unicode space is blank", "\n \n\u3000\n\n", "");
    row(DoubleSpaces, "runs of three and two", "a   b  c", "a b c");
    row(DoubleSpaces, "space tab space untouched", "a \t b", "a \t b");
    row(Tabs, "one tab", "a\tb", "a    b");
    // Characters made of several code units are reversed whole.
    row(Reverse, "surrogate pair", "a" + grinning + "b", "b" + grinning + "a");
    row(Reverse, "combining mark", "x" + eAcute + "y", "y" + eAcute + "x");
    row(Reverse, "zwj sequence", "a" + family + "b", "b" + family + "a");
    // Windows line endings stay whole and in place; a lone carriage return is a character.
    row(Reverse, "crlf", "ab\r\ncd", "dc\r\nba");
    row(PerLine, "mixed line endings", "ab\r\ncd\nef", "ba\r\ndc\nfe");
    row(PerLine, "lone carriage return", "a\rb", "b\ra");
    row(WordOrder, "crlf", "one two\r\nthree four", "two one\r\nfour three");
    row(EmptyLines, "crlf", "a\r\n\r\n \r\nb\r\n", "a\r\nb");
}

void tst_TextTransforms::transforms()
{
    QFETCH(int, operation);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QCOMPARE(operations[operation].second(before), after);
}

void tst_TextTransforms::counts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("words");
    QTest::addColumn<qsizetype>("lines");
    QTest::addRow("empty") << QString() << qsizetype(0) << qsizetype(0);
    QTest::addRow("three spaces") << "   " << qsizetype(0) << qsizetype(1);
    QTest::addRow("word and line feed") << "a\n" << qsizetype(1) << qsizetype(2);
    QTest::addRow("three words, two lines") << "one two\nthree" << qsizetype(3) << qsizetype(2);
    QTest::addRow("two line feeds") << "\n\n" << qsizetype(0) << qsizetype(3);
    QTest::addRow("tab separates") << "a\tb" << qsizetype(2) << qsizetype(1);
    QTest::addRow("crlf") << "one\r\ntwo\r\n" << qsizetype(2) << qsizetype(3);
    // Unicode white space is trimmed at the ends but separates no words inside.
    QTest::addRow("unicode spaces")
        << "\u2028a\u2003b\v\u3000\fc\u00A0d\u3000" << qsizetype(3) << qsizetype(1);
}

void tst_TextTransforms::counts()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, words);
    QFETCH(qsizetype, lines);
    QCOMPARE(wordCount(text), words);
    QCOMPARE(lineCount(text), lines);
}

void tst_TextTransforms::invariants_data()
{
    QTest::addColumn<QString>("text");
    QTest::addRow("emoji and combining marks")
        << QString(grinning + family + "\U0001F44D\U0001F3FF\na\u0301\u0327b\u0308");
    QTest::addRow("lone surrogates") << QString(QChar(0xD800)) + "a" + QChar(0xDC00);
    // With a quadratic step these would take far longer than the suite's time limit.
    QString mixed;
    while (mixed.size() < 1'000'000) {
        mixed += "one  two\tthr" + eAcute + "e " + grinning + "\r\n\n   \n";
    }
    QTest::addRow("a million mixed characters") << mixed;
    QTest::addRow("a million-character line") << QString(1'000'000, u'x');
    QTest::addRow("a million combining marks") << QString(1'000'000, QChar(0x0301));
}

// Reversing twice gives the text back; no empty line or double space is left behind; the word
// count agrees with a plain split on white space.
void tst_TextTransforms::invariants()
{
    QFETCH(QString, text);
    for (const Transform reverse : { reversed, reversedPerLine, wordOrderReversed }) {
        QCOMPARE(reverse(reverse(text)), text);
    }
    QVERIFY(!withoutEmptyLines(text).contains(QStringLiteral("\n\n")));
    QVERIFY(!withoutDoubleSpaces(text).contains(QStringLiteral("  ")));
    QCOMPARE(tabsToSpaces(text).size(), text.size() + 3 * text.count(u'\t'));
    static const QRegularExpression space(QStringLiteral("\\s+"));
    QCOMPARE(wordCount(text), text.trimmed().split(space, Qt::SkipEmptyParts).size());
    QCOMPARE(lineCount(text), text.count(u'\n') + 1);
}

QTEST_GUILESS_MAIN(tst_TextTransforms)
#include "tst_texttransforms.moc"
