#include "tools/text/texttransforms.h"

#include <QRegularExpression>
#include <QTest>

namespace {

using Transform = QString (*)(const QString &);
const std::pair<const char *, Transform> operations[] = { { "reverse", TextTransforms::reversed },
    { "reverse per line", TextTransforms::reversedPerLine },
    { "reverse word order", TextTransforms::wordOrderReversed },
    { "remove empty lines", TextTransforms::withoutEmptyLines },
    { "remove double spaces", TextTransforms::withoutDoubleSpaces },
    { "tabs to spaces", TextTransforms::tabsToSpaces } };
enum { Reverse, PerLine, WordOrder, EmptyLines, DoubleSpaces, Tabs };

// Words as a "\s+" split of the trimmed text counts them, to check the hand-written count.
qsizetype regexWordCount(const QString &text)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    return text.trimmed().split(space, Qt::SkipEmptyParts).size();
}

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

    // Reference examples.
    row(Reverse, "two lines", "ab\ncd", "dc\nba");
    row(PerLine, "two lines", "ab\ncd", "ba\ndc");
    row(PerLine, "empty line kept", "one two\n\nthree", "owt eno\n\neerht");
    row(WordOrder, "double space mirrored", "one two  three\nfour five",
        "three  two one\nfive four");
    row(WordOrder, "tab inside word", "a\tb c", "c a\tb");
    row(EmptyLines, "blank, tab and final line", "a\n\n\t\nb\n", "a\nb");
    row(DoubleSpaces, "runs of three and two", "a   b  c", "a b c");
    row(Tabs, "one tab", "a\tb", "a    b");

    for (int operation = Reverse; operation <= Tabs; ++operation) {
        row(operation, "empty", QString(), QString());
    }

    // Line ends and white space around text.
    row(Reverse, "final line feed moves to front", "ab\n", "\nba");
    row(PerLine, "final line feed stays", "ab\n", "ba\n");
    row(EmptyLines, "spaces around text kept", "\n  a b  \n\t\n", "  a b  ");
    row(EmptyLines, "only blank lines, unicode space too", "\n \n\u3000\n\n", "");
    row(DoubleSpaces, "space tab space untouched", "a \t b", "a \t b");

    // Characters made of several code units are reversed whole.
    row(Reverse, "surrogate pair", "a" + grinning + "b", "b" + grinning + "a");
    row(Reverse, "combining mark", "x" + eAcute + "y", "y" + eAcute + "x");
    row(Reverse, "zwj sequence", "a" + family + "b", "b" + family + "a");
    row(PerLine, "surrogate pair and combining mark", grinning + "a\nb" + eAcute,
        "a" + grinning + "\n" + eAcute + "b");

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
    const auto row = [](const char *tag, const QString &text, qsizetype words, qsizetype lines) {
        QTest::addRow("%s", tag) << text << words << lines;
    };

    // Reference examples.
    row("empty", QString(), 0, 0);
    row("three spaces", "   ", 0, 1);
    row("word and line feed", "a\n", 1, 2);
    row("three words, two lines", "one two\nthree", 3, 2);
    row("two line feeds", "\n\n", 0, 3);
    row("tab separates", "a\tb", 2, 1);

    // Unicode white space is trimmed at the ends but separates no words inside.
    row("ideographic space joins", "a\u3000b", 1, 1);
    row("ideographic space alone", "\u3000", 0, 1);
    row("unicode and ascii spaces", "\u2028a\u2003b\v\u3000\fc\u00A0d\u3000", 3, 1);
    row("crlf", "one\r\ntwo\r\n", 2, 3);
}

void tst_TextTransforms::counts()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, words);
    QFETCH(qsizetype, lines);
    QCOMPARE(TextTransforms::wordCount(text), words);
    QCOMPARE(TextTransforms::wordCount(text), regexWordCount(text));
    QCOMPARE(TextTransforms::lineCount(text), lines);
}

void tst_TextTransforms::invariants_data()
{
    QTest::addColumn<QString>("text");
    QTest::addRow("emoji and combining marks")
        << QString(grinning + family + "\U0001F44D\U0001F3FF\na\u0301\u0327b\u0308");
    QTest::addRow("lone surrogates") << QString(QChar(0xD800)) + "a" + QChar(0xDC00);

    // With a quadratic step these would take far longer than the suite's time limit.
    constexpr qsizetype million = 1'000'000;
    QString mixed;
    while (mixed.size() < million) {
        mixed += "one  two\tthr" + eAcute + "e " + grinning + "\r\n\n   \n";
    }
    QTest::addRow("a million mixed characters") << mixed;
    QTest::addRow("a million-character line") << QString(million, u'x');
    QTest::addRow("a million combining marks") << QString(million, QChar(0x0301));
}

// Reversing twice gives the text back; no empty line or double space is left behind.
void tst_TextTransforms::invariants()
{
    QFETCH(QString, text);
    for (const int operation : { Reverse, PerLine, WordOrder }) {
        const Transform reverse = operations[operation].second;
        QCOMPARE(reverse(reverse(text)), text);
    }
    QVERIFY(!TextTransforms::withoutEmptyLines(text).contains(QStringLiteral("\n\n")));
    QVERIFY(!TextTransforms::withoutDoubleSpaces(text).contains(QStringLiteral("  ")));
    QCOMPARE(TextTransforms::tabsToSpaces(text).size(), text.size() + 3 * text.count(u'\t'));
    QCOMPARE(TextTransforms::wordCount(text), regexWordCount(text));
    QCOMPARE(TextTransforms::lineCount(text), text.count(u'\n') + 1);
}

QTEST_GUILESS_MAIN(tst_TextTransforms)
#include "tst_texttransforms.moc"
