#include "tools/text/texttransforms.h"

#include <QRegularExpression>
#include <QTest>

namespace {

QString apply(const QString &operation, const QString &text)
{
    if (operation == u"reverse") {
        return TextTransforms::reversed(text);
    }
    if (operation == u"reverse per line") {
        return TextTransforms::reversedPerLine(text);
    }
    if (operation == u"reverse word order") {
        return TextTransforms::wordOrderReversed(text);
    }
    if (operation == u"remove empty lines") {
        return TextTransforms::withoutEmptyLines(text);
    }
    if (operation == u"remove double spaces") {
        return TextTransforms::withoutDoubleSpaces(text);
    }
    if (operation == u"tabs to spaces") {
        return TextTransforms::tabsToSpaces(text);
    }
    qFatal("unknown operation");
    return {};
}

const QStringList &allOperations()
{
    static const QStringList operations = {
        QStringLiteral("reverse"),
        QStringLiteral("reverse per line"),
        QStringLiteral("reverse word order"),
        QStringLiteral("remove empty lines"),
        QStringLiteral("remove double spaces"),
        QStringLiteral("tabs to spaces"),
    };
    return operations;
}

// Words the way a "\s+" split of the trimmed text counts them, to check the hand-written count.
qsizetype regexWordCount(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        return 0;
    }
    return trimmed.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).size();
}

const QString grinning = QStringLiteral("\U0001F600"); // a surrogate pair
const QString family = QStringLiteral("\U0001F469\u200D\U0001F467"); // emoji joined by ZWJ
const QString flagDe = QStringLiteral("\U0001F1E9\U0001F1EA"); // two regional indicators
const QString flagFr = QStringLiteral("\U0001F1EB\U0001F1F7");
const QString eAcute = QStringLiteral("e\u0301"); // letter and combining mark
const QString thumbsUpDark = QStringLiteral("\U0001F44D\U0001F3FF"); // emoji and skin tone

} // namespace

class tst_TextTransforms : public QObject
{
    Q_OBJECT

private slots:
    void transforms_data();
    void transforms();
    void emptyTextStaysEmpty_data();
    void emptyTextStaysEmpty();
    void reversingTwiceRestoresText_data();
    void reversingTwiceRestoresText();
    void counts_data();
    void counts();
    void wordCountAgreesWithRegexSplit_data();
    void wordCountAgreesWithRegexSplit();
    void millionCharacters_data();
    void millionCharacters();
};

void tst_TextTransforms::transforms_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");

    const auto row = [](const char *tag, const char *operation, const QString &before,
                         const QString &after) {
        QTest::addRow("%s: %s", operation, tag)
            << QString::fromLatin1(operation) << before << after;
    };

    // Worked values.
    row("two lines", "reverse", "ab\ncd", "dc\nba");
    row("two lines", "reverse per line", "ab\ncd", "ba\ndc");
    row("empty line kept", "reverse per line", "one two\n\nthree", "owt eno\n\neerht");
    row("double space mirrored", "reverse word order", "one two  three\nfour five",
        "three  two one\nfive four");
    row("tab inside word", "reverse word order", "a\tb c", "c a\tb");
    row("blank, tab and final line", "remove empty lines", "a\n\n\t\nb\n", "a\nb");
    row("runs of three and two", "remove double spaces", "a   b  c", "a b c");
    row("one tab", "tabs to spaces", "a\tb", "a    b");

    // Line feeds at the ends and white space around text.
    row("final line feed moves to front", "reverse", "ab\n", "\nba");
    row("final line feed stays", "reverse per line", "ab\n", "ba\n");
    row("leading space moves to end", "reverse word order", " a b", "b a ");
    row("no space", "reverse word order", "abc\n", "abc\n");
    row("only spaces", "reverse word order", "   ", "   ");
    row("spaces around text kept", "remove empty lines", "\n  a b  \n\t\n", "  a b  ");
    row("only blank lines", "remove empty lines", "\n \n\t\n\n", "");
    row("ideographic space line dropped", "remove empty lines", "a\n\u3000\nb", "a\nb");
    row("space tab space untouched", "remove double spaces", "a \t b", "a \t b");
    row("runs at line ends become one", "remove double spaces", "   a  \n  b", " a \n b");
    row("two tabs", "tabs to spaces", "\t\ta", "        a");
    row("no tabs", "tabs to spaces", "a b", "a b");

    // Characters made of several code units survive reversing whole.
    row("surrogate pair", "reverse", "a" + grinning + "b", "b" + grinning + "a");
    row("combining mark", "reverse", "x" + eAcute + "y", "y" + eAcute + "x");
    row("zwj sequence", "reverse", "a" + family + "b", "b" + family + "a");
    row("flags", "reverse", flagDe + flagFr, flagFr + flagDe);
    row("skin tone", "reverse", thumbsUpDark + "!", "!" + thumbsUpDark);
    row("surrogate pair", "reverse per line", grinning + "a\nb" + eAcute,
        "a" + grinning + "\n" + eAcute + "b");
    row("emoji words", "reverse word order", grinning + " " + family, family + " " + grinning);

    // Windows line endings stay whole and in place.
    row("crlf", "reverse", "ab\r\ncd", "dc\r\nba");
    row("crlf", "reverse per line", "ab\r\ncd\r\n", "ba\r\ndc\r\n");
    row("mixed line endings", "reverse per line", "ab\r\ncd\nef", "ba\r\ndc\nfe");
    row("lone carriage return is a character", "reverse per line", "a\rb", "b\ra");
    row("crlf", "reverse word order", "one two\r\nthree four", "two one\r\nfour three");
    row("crlf", "remove empty lines", "a\r\n\r\n \r\nb\r\n", "a\r\nb");
    row("crlf", "remove double spaces", "a  \r\n  b", "a \r\n b");
    row("crlf", "tabs to spaces", "\t\r\n", "    \r\n");
}

void tst_TextTransforms::transforms()
{
    QFETCH(QString, operation);
    QFETCH(QString, before);
    QFETCH(QString, after);

    QCOMPARE(apply(operation, before), after);
}

void tst_TextTransforms::emptyTextStaysEmpty_data()
{
    QTest::addColumn<QString>("operation");
    for (const QString &operation : allOperations()) {
        QTest::addRow("%s", qPrintable(operation)) << operation;
    }
}

void tst_TextTransforms::emptyTextStaysEmpty()
{
    QFETCH(QString, operation);
    QCOMPARE(apply(operation, QString()), QString());
    QCOMPARE(apply(operation, QStringLiteral("")), QString());
}

void tst_TextTransforms::reversingTwiceRestoresText_data()
{
    QTest::addColumn<QString>("text");

    QTest::addRow("ascii lines") << QStringLiteral("one two\n\nthree\n");
    QTest::addRow("emoji") << QString(grinning + family + thumbsUpDark + flagDe + flagFr);
    QTest::addRow("combining marks") << QStringLiteral("a\u0301\u0327b\u0308\nn\u0303o");
    QTest::addRow("hangul jamo") << QStringLiteral("\u1100\u1161\u11A8\u1100\u1161");
    QTest::addRow("crlf") << QStringLiteral("ab\r\ncd\r\n\r\n");
    QTest::addRow("lone surrogates") << QString(QChar(0xD800)) + "a" + QChar(0xDC00);
}

void tst_TextTransforms::reversingTwiceRestoresText()
{
    QFETCH(QString, text);

    QCOMPARE(TextTransforms::reversed(TextTransforms::reversed(text)), text);
    QCOMPARE(TextTransforms::reversedPerLine(TextTransforms::reversedPerLine(text)), text);
    QCOMPARE(TextTransforms::wordOrderReversed(TextTransforms::wordOrderReversed(text)), text);
}

void tst_TextTransforms::counts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("words");
    QTest::addColumn<qsizetype>("lines");

    // Worked values.
    QTest::addRow("empty") << QString() << qsizetype(0) << qsizetype(0);
    QTest::addRow("three spaces") << QStringLiteral("   ") << qsizetype(0) << qsizetype(1);
    QTest::addRow("word and line feed") << QStringLiteral("a\n") << qsizetype(1) << qsizetype(2);
    QTest::addRow("three words, two lines")
        << QStringLiteral("one two\nthree") << qsizetype(3) << qsizetype(2);
    QTest::addRow("two line feeds") << QStringLiteral("\n\n") << qsizetype(0) << qsizetype(3);
    QTest::addRow("tab separates") << QStringLiteral("a\tb") << qsizetype(2) << qsizetype(1);

    QTest::addRow("ideographic space joins")
        << QStringLiteral("a\u3000b") << qsizetype(1) << qsizetype(1);
    QTest::addRow("ideographic space alone")
        << QStringLiteral("\u3000") << qsizetype(0) << qsizetype(1);
    QTest::addRow("no-break space alone")
        << QStringLiteral("\u00A0") << qsizetype(0) << qsizetype(1);
    QTest::addRow("vertical tab and form feed separate")
        << QStringLiteral("a\vb\fc") << qsizetype(3) << qsizetype(1);
    QTest::addRow("crlf") << QStringLiteral("one\r\ntwo\r\n") << qsizetype(2) << qsizetype(3);
    QTest::addRow("emoji is a word")
        << QString(grinning + " " + family) << qsizetype(2) << qsizetype(1);
}

void tst_TextTransforms::counts()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, words);
    QFETCH(qsizetype, lines);

    QCOMPARE(TextTransforms::wordCount(text), words);
    QCOMPARE(TextTransforms::lineCount(text), lines);
}

void tst_TextTransforms::wordCountAgreesWithRegexSplit_data()
{
    QTest::addColumn<QString>("text");

    QTest::addRow("plain") << QStringLiteral("  one  two\tthree\n");
    QTest::addRow("unicode spaces inside") << QStringLiteral(" a\u2003b \u3000 c\u00A0d ");
    QTest::addRow("unicode spaces at the ends") << QStringLiteral("\u2028\u3000a b\u00A0\u2029");
    QTest::addRow("control separators") << QStringLiteral("\va\fb\rc\x1C"
                                                          "d");
    QTest::addRow("next line character") << QStringLiteral("a\u0085b");
}

void tst_TextTransforms::wordCountAgreesWithRegexSplit()
{
    QFETCH(QString, text);
    QCOMPARE(TextTransforms::wordCount(text), regexWordCount(text));
}

void tst_TextTransforms::millionCharacters_data()
{
    QTest::addColumn<QString>("text");

    constexpr qsizetype size = 1'000'000;
    const QString mixed =
        QStringLiteral("one  two\tthr") + eAcute + "e " + grinning + QStringLiteral("\r\n\n   \n");
    QString text;
    while (text.size() < size) {
        text += mixed;
    }
    QTest::addRow("many mixed lines") << text;
    QTest::addRow("one long line") << QString(size, u'x');
    QTest::addRow("only line feeds") << QString(size, u'\n');
    QTest::addRow("only spaces") << QString(size, u' ');
    QTest::addRow("only combining marks") << QString(size, QChar(0x0301));
}

// A quadratic step on a million characters would take far longer than the suite's time limit.
void tst_TextTransforms::millionCharacters()
{
    QFETCH(QString, text);

    QCOMPARE(TextTransforms::reversed(TextTransforms::reversed(text)), text);
    QCOMPARE(TextTransforms::reversedPerLine(TextTransforms::reversedPerLine(text)), text);
    QCOMPARE(TextTransforms::wordOrderReversed(TextTransforms::wordOrderReversed(text)), text);

    const QString withoutEmpty = TextTransforms::withoutEmptyLines(text);
    QCOMPARE(TextTransforms::withoutEmptyLines(withoutEmpty), withoutEmpty);
    QVERIFY(!withoutEmpty.contains(QStringLiteral("\n\n")));

    const QString singleSpaced = TextTransforms::withoutDoubleSpaces(text);
    QVERIFY(!singleSpaced.contains(QStringLiteral("  ")));
    QCOMPARE(singleSpaced.count(u'\n'), text.count(u'\n'));

    const QString expanded = TextTransforms::tabsToSpaces(text);
    QCOMPARE(expanded.size(), text.size() + 3 * text.count(u'\t'));

    QCOMPARE(TextTransforms::lineCount(text), text.count(u'\n') + 1);
    QCOMPARE(TextTransforms::wordCount(text), regexWordCount(text));
}

QTEST_GUILESS_MAIN(tst_TextTransforms)
#include "tst_texttransforms.moc"
