#include "tools/text/texttoolspage.h"
#include "tools/text/texttransforms.h"

#include <QtTest>
#include <QtWidgets>

namespace {
using namespace TextTransforms;
using Transform = std::function<QString(const QString &)>;
// The page's buttons in the order of the transformations, then the two counts.
const std::pair<const char *, Transform> operations[] = { { "Reverse text", reversed },
    { "Reverse per line", reversedPerLine }, { "Reverse word order", wordOrderReversed },
    { "Remove empty lines", withoutEmptyLines }, { "Remove double spaces", withoutDoubleSpaces },
    { "Tabs to spaces", tabsToSpaces },
    { "words",
        [](const QString &t) {
            return QString::number(wordCount(t));
        } },
    { "lines", [](const QString &t) {
         return QString::number(lineCount(t));
     } } };
enum { Reverse, PerLine, WordOrder, EmptyLines, DoubleSpaces, Tabs, Words, Lines };
const QString family = "\U0001F469\u200D\U0001F467"; // emoji joined by ZWJ
} // namespace

class tst_TextTools : public QObject
{
    Q_OBJECT

private slots:
    void transformsAndCounts_data();
    void transformsAndCounts();
    void invariantsHoldOnLongText();
    void pageButtonsTransformCountAlignAndCopy();
};

void tst_TextTools::transformsAndCounts_data()
{
    QTest::addColumn<int>("op");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    const auto row = [](int op, const char *tag, const QString &before, const QString &after) {
        QTest::addRow("%s: %s", operations[op].first, tag) << op << before << after;
    };
    row(PerLine, "empty line and final line feed kept", "ab c\n\nd\n", "c ba\n\nd\n");
    row(WordOrder, "spacing mirrored, tab inside word", "a\tb c  d\ne f", "d  c a\tb\nf e");
    row(EmptyLines, "blank, tab, unicode space, final", "a\n\n\t\n\u3000\n  b \n", "a\n  b ");
    row(DoubleSpaces, "runs; space tab space untouched", "a   b  c \t d", "a b c \t d");
    row(Tabs, "one tab", "a\tb", "a    b");
    // Characters made of several code units are reversed whole.
    row(Reverse, "surrogate pair, mark, zwj", "a\U0001F600e\u0301" + family,
        family + "e\u0301\U0001F600a");
    // Windows line endings stay whole and in place; a lone carriage return is a character.
    row(Reverse, "crlf", "ab\r\ncd", "dc\r\nba");
    row(PerLine, "mixed endings, lone cr", "ab\r\ncd\nx\ry", "ba\r\ndc\ny\rx");
    row(WordOrder, "crlf", "one two\r\nthree four", "two one\r\nfour three");
    row(EmptyLines, "crlf", "a\r\n\r\n \r\nb\r\n", "a\r\nb");
    row(Words, "empty", "", "0");
    row(Lines, "empty", "", "0");
    row(Lines, "three spaces", "   ", "1");
    row(Lines, "crlf, final line feed", "one\r\ntwo\r\n", "3");
    // Unicode white space is trimmed at the ends but separates no words inside.
    row(Words, "unicode spaces", "\u2028a\u2003b\v\u3000\fc\u00A0d\u3000", "3");
    row(Words, "tab separates", "a\tb", "2");
}

void tst_TextTools::transformsAndCounts()
{
    QFETCH(int, op);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QCOMPARE(operations[op].second(before), after);
}

// Reversing twice gives the text back and nothing is left behind, on texts where a step that
// takes quadratic time would run far past the suite's time limit.
void tst_TextTools::invariantsHoldOnLongText()
{
    QString mixed;
    while (mixed.size() < 1'000'000) {
        mixed += "one  two\tthre\u0301e \U0001F600" + family + "\r\n\n   \n";
    }
    for (const QString &text : { mixed, QString(1'000'000, u'x'), QString(1'000'000, u'\u0301'),
             QChar(0xD800) + QString("a") + QChar(0xDC00) }) {
        for (int op : { Reverse, PerLine, WordOrder }) {
            QVERIFY(operations[op].second(operations[op].second(text)) == text);
        }
        QVERIFY(!withoutEmptyLines(text).contains("\n\n"));
        QVERIFY(!withoutDoubleSpaces(text).contains("  "));
        QCOMPARE(tabsToSpaces(text).size(), text.size() + 3 * text.count(u'\t'));
        QCOMPARE(wordCount(text),
            text.trimmed().split(QRegularExpression("\\s+"), Qt::SkipEmptyParts).size());
    }
}

void tst_TextTools::pageButtonsTransformCountAlignAndCopy()
{
    TextToolsPage page;
    auto *editor = page.findChild<QTextEdit *>();
    const auto click = [&page](const QString &text) {
        for (QPushButton *button : page.findChildren<QPushButton *>()) {
            if (button->text() == text) {
                button->click();
            }
        }
    };
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
        click(operations[op].first);
        const QString after = operations[op].second(text);
        QCOMPARE(shown(),
            QString("%1|Word count: %2|Line count: %3")
                .arg(after, operations[Words].second(after), operations[Lines].second(after)));
    }
    // Typed and pasted (Windows line endings become lines).
    editor->clear();
    QTest::keyClicks(editor, "one two");
    QTest::keyClick(editor, Qt::Key_Return);
    QCOMPARE(shown(), "one two\n|Word count: 2|Line count: 2");
    QGuiApplication::clipboard()->setText("ab\r\ncd\r\n");
    editor->paste();
    QCOMPARE(shown(), "one two\nab\ncd\n|Word count: 4|Line count: 4");
    // Alignment touches the selected paragraphs only; a transformation rewrites the document.
    const auto alignments = [editor] {
        QList<Qt::Alignment> found;
        for (QTextBlock b = editor->document()->begin(); b.isValid(); b = b.next()) {
            found << b.blockFormat().alignment();
        }
        return found;
    };
    for (const auto &[button, expected] :
        { std::pair("Align left", Qt::AlignLeft), std::pair("Align center", Qt::AlignCenter),
            std::pair("Align right", Qt::AlignRight) }) {
        editor->setPlainText("ab\ncd\nef");
        const QList<Qt::Alignment> initial = alignments();
        QTextCursor cursor(editor->document());
        cursor.movePosition(QTextCursor::NextCharacter);
        cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        editor->setTextCursor(cursor);
        click(button);
        QCOMPARE(alignments(), QList<Qt::Alignment>({ expected, expected, initial.at(2) }));
        QCOMPARE(editor->toPlainText(), "ab\ncd\nef");
        click("Tabs to spaces");
        QCOMPARE(alignments(), initial);
    }
    // Copy takes the whole text though a part is selected, and an empty one too.
    for (const QString &copied : { QString("one\ntwo"), QString() }) {
        QGuiApplication::clipboard()->setText("earlier");
        editor->setPlainText(copied);
        editor->moveCursor(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        click("Copy");
        QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    }
}

QTEST_MAIN(tst_TextTools)
#include "tst_texttools.moc"
