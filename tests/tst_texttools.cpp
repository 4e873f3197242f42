#include "tools/text/texttoolspage.h"
#include "tools/text/texttransforms.h"

#include "dialoganswers.h"

#include <QtTest>

namespace {
using namespace text;
using Op = QString (*)(const QString &);
// The page's buttons in the order of the transformations.
const std::pair<const char *, Op> kOperations[] = { { "Reverse text", reversed },
    { "Reverse per line", reversedPerLine }, { "Reverse word order", wordOrderReversed },
    { "Remove empty lines", withoutEmptyLines }, { "Remove double spaces", withoutDoubleSpaces },
    { "Tabs to spaces", tabsToSpaces } };
enum { Reverse, PerLine, WordOrder, EmptyLines, DoubleSpaces, Tabs, Counts };
QString counts(const QString &text)
{
    return QString("Word count: %1|Line count: %2").arg(wordCount(text)).arg(lineCount(text));
}
} // namespace

class tst_TextTools : public QObject
{
    Q_OBJECT

private slots:
    void transformsAndCounts_data();
    void transformsAndCounts();
    void pageButtonsTransformCountAndCopy();
};

void tst_TextTools::transformsAndCounts_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    const auto row = [](int op, const char *tag, const QString &before, const QString &after) {
        QTest::addRow("%s: %s", op == Counts ? "counts" : kOperations[op].first, tag)
            << op << before << after;
    };
    // Characters of several code units stay whole, as do Windows line endings; a lone CR is one.
    row(Reverse, "surrogate pair, mark, zwj, crlf",
        "a\U0001F600e\u0301\U0001F469\u200D\U0001F467\r\n",
        "\r\n\U0001F469\u200D\U0001F467e\u0301\U0001F600a");
    row(PerLine, "empty line, mixed endings, lone cr", "ab c\n\nab\r\ncd\nx\ry\n",
        "c ba\n\nba\r\ndc\ny\rx\n");
    row(WordOrder, "spacing mirrored, tab inside word, crlf", "a\tb c  d\r\ne f",
        "d  c a\tb\r\nf e");
    row(EmptyLines, "blank, tab, unicode space, final", "a\n\n\t\n\u3000\n  b \n", "a\n  b ");
    row(EmptyLines, "crlf", "a\r\n\r\n \r\nb\r\n", "a\r\nb");
    row(DoubleSpaces, "runs; space tab space untouched", "a   b  c \t d", "a b c \t d");
    row(Counts, "crlf, final line feed", "one\r\ntwo\r\n", "Word count: 2|Line count: 3");
    // Unicode white space is trimmed at the ends but separates no words inside.
    row(Counts, "unicode spaces", "\u2028a\u2003b\v\u3000\fc\u00A0d\u3000",
        "Word count: 3|Line count: 1");
}

void tst_TextTools::transformsAndCounts()
{
    QFETCH(int, op);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QCOMPARE(op == Counts ? counts(before) : kOperations[op].second(before), after);
}

void tst_TextTools::pageButtonsTransformCountAndCopy()
{
    TextToolsPage page;
    auto *editor = page.findChild<QTextEdit *>();
    const auto shown = [&page, editor] {
        QStringList texts { editor->toPlainText() };
        for (const QLabel *label : page.findChildren<QLabel *>()) {
            if (label->text().contains(" count: ")) {
                texts << label->text();
            }
        }
        return texts.join('|');
    };
    const QString text = "one  two\tthree\n\n  four \U0001F600"; // each button changes it
    for (int op = Reverse; op <= Tabs; ++op) {
        editor->setPlainText(text);
        QCOMPARE(dialogs::click(&page, kOperations[op].first), QString());
        const QString after = kOperations[op].second(text);
        QCOMPARE(shown(), after + '|' + counts(after));
    }
    // Copy takes the whole text though a part is selected.
    editor->setPlainText("one\ntwo");
    editor->moveCursor(QTextCursor::NextWord, QTextCursor::KeepAnchor);
    QCOMPARE(dialogs::click(&page, "Copy"), QString());
    QCOMPARE(QGuiApplication::clipboard()->text(), "one\ntwo");
}

QTEST_MAIN(tst_TextTools)
#include "tst_texttools.moc"
