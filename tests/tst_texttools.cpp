#include "tools/text/texttoolspage.h"
#include "tools/text/texttransforms.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

namespace {
using namespace TextTransforms;
using Transform = QString (*)(const QString &);
// The page's buttons, in the order of the transformations.
const std::pair<const char *, Transform> operations[] = { { "Reverse text", reversed },
    { "Reverse per line", reversedPerLine }, { "Reverse word order", wordOrderReversed },
    { "Remove empty lines", withoutEmptyLines }, { "Remove double spaces", withoutDoubleSpaces },
    { "Tabs to spaces", tabsToSpaces } };
enum { Reverse, PerLine, WordOrder, EmptyLines, DoubleSpaces, Tabs };
const QString grinning = "\U0001F600"; // a surrogate pair
const QString family = "\U0001F469\u200D\U0001F467"; // emoji joined by ZWJ
} // namespace

class tst_TextTools : public QObject
{
    Q_OBJECT

private slots:
    void transforms_data();
    void transforms();
    void counts_data();
    void counts();
    void invariantsHoldOnLongText();
    void pageButtonsTransformAlignAndCopy();

private:
    static void click(QWidget *page, const QString &text)
    {
        for (QPushButton *button : page->findChildren<QPushButton *>()) {
            if (button->text() == text) {
                return button->click();
            }
        }
        QFAIL(qPrintable("no button " + text));
    }
};

void tst_TextTools::transforms_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    const auto row = [](int op, const char *tag, const QString &before, const QString &after) {
        QTest::addRow("%s: %s", operations[op].first, tag) << op << before << after;
    };
    row(Reverse, "two lines", "ab\ncd", "dc\nba");
    row(PerLine, "empty line kept", "one two\n\nthree", "owt eno\n\neerht");
    row(PerLine, "final line feed stays", "ab\n", "ba\n");
    row(WordOrder, "double space mirrored", "one two  three\nfour", "three  two one\nfour");
    row(WordOrder, "tab inside word", "a\tb c", "c a\tb");
    row(EmptyLines, "blank, tab and final line", "a\n\n\t\nb\n", "a\nb");
    row(EmptyLines, "spaces around text kept", "\n  a b  \n\t\n", "  a b  ");
    row(EmptyLines, "unicode space is blank", "\n \n\u3000\n\n", "");
    row(DoubleSpaces, "runs of three and two", "a   b  c", "a b c");
    row(DoubleSpaces, "space tab space untouched", "a \t b", "a \t b");
    row(Tabs, "one tab", "a\tb", "a    b");
    // Characters made of several code units are reversed whole.
    row(Reverse, "surrogate pair", "a" + grinning + "b", "b" + grinning + "a");
    row(Reverse, "combining mark", "xe\u0301y", "ye\u0301x");
    row(Reverse, "zwj sequence", "a" + family + "b", "b" + family + "a");
    // Windows line endings stay whole and in place; a lone carriage return is a character.
    row(Reverse, "crlf", "ab\r\ncd", "dc\r\nba");
    row(PerLine, "mixed line endings", "ab\r\ncd\nef", "ba\r\ndc\nfe");
    row(PerLine, "lone carriage return", "a\rb", "b\ra");
    row(WordOrder, "crlf", "one two\r\nthree four", "two one\r\nfour three");
    row(EmptyLines, "crlf", "a\r\n\r\n \r\nb\r\n", "a\r\nb");
}

void tst_TextTools::transforms()
{
    QFETCH(int, operation);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QCOMPARE(operations[operation].second(before), after);
    QCOMPARE(operations[operation].second(QString()), QString());
}

void tst_TextTools::counts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("words");
    QTest::addColumn<int>("lines");
    QTest::addRow("empty") << QString() << 0 << 0;
    QTest::addRow("three spaces") << "   " << 0 << 1;
    QTest::addRow("word and line feed") << "a\n" << 1 << 2;
    QTest::addRow("two line feeds") << "\n\n" << 0 << 3;
    QTest::addRow("tab separates") << "a\tb" << 2 << 1;
    QTest::addRow("crlf") << "one\r\ntwo\r\n" << 2 << 3;
    // Unicode white space is trimmed at the ends but separates no words inside.
    QTest::addRow("unicode spaces") << "\u2028a\u2003b\v\u3000\fc\u00A0d\u3000" << 3 << 1;
}

void tst_TextTools::counts()
{
    QFETCH(QString, text);
    QFETCH(int, words);
    QFETCH(int, lines);
    QCOMPARE(int(wordCount(text)), words);
    QCOMPARE(int(lineCount(text)), lines);
}

// Reversing twice gives the text back and nothing is left behind, on texts where a step that
// takes quadratic time would run far past the suite's time limit.
void tst_TextTools::invariantsHoldOnLongText()
{
    QString mixed;
    while (mixed.size() < 1'000'000) {
        mixed += "one  two\tthre\u0301e " + grinning + family + "\r\n\n   \n";
    }
    const QString loneSurrogates = QChar(0xD800) + QString("a") + QChar(0xDC00);
    for (const QString &text :
        { mixed, QString(1'000'000, u'x'), QString(1'000'000, u'\u0301'), loneSurrogates }) {
        for (const Transform reverse : { reversed, reversedPerLine, wordOrderReversed }) {
            QVERIFY(reverse(reverse(text)) == text);
        }
        QVERIFY(!withoutEmptyLines(text).contains("\n\n"));
        QVERIFY(!withoutDoubleSpaces(text).contains("  "));
        QCOMPARE(tabsToSpaces(text).size(), text.size() + 3 * text.count(u'\t'));
        QCOMPARE(wordCount(text), text.trimmed().split(QRegularExpression("\\s+"),
                                                  Qt::SkipEmptyParts).size());
    }
}

void tst_TextTools::pageButtonsTransformAlignAndCopy()
{
    TextToolsPage page;
    auto *editor = page.findChild<QTextEdit *>();
    const auto counts = [&page] {
        QStringList shown;
        for (const QLabel *label : page.findChildren<QLabel *>()) {
            if (label->text().contains(" count: ")) {
                shown << label->text();
            }
        }
        return shown.join(", ");
    };
    const QString text = "one  two\tthree\n\n  four \U0001F600"; // each button changes it
    for (const auto &[button, transform] : operations) {
        editor->setPlainText(text);
        click(&page, button);
        QCOMPARE(editor->toPlainText(), transform(text));
    }
    // Counts follow typing, clearing and pasting (Windows line endings become lines).
    editor->clear();
    QCOMPARE(counts(), "Word count: 0, Line count: 0");
    QTest::keyClicks(editor, "one two");
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, "three");
    QCOMPARE(counts(), "Word count: 3, Line count: 2");
    editor->clear();
    QGuiApplication::clipboard()->setText("ab\r\ncd\r\n");
    editor->paste();
    QCOMPARE(counts(), "Word count: 2, Line count: 3");

    // Alignment touches the selected paragraphs only; a transformation rewrites the document.
    const auto alignment = [editor](int block) {
        return editor->document()->findBlockByNumber(block).blockFormat().alignment();
    };
    for (const auto &[button, expected] : { std::pair("Align left", Qt::AlignLeft),
             std::pair("Align center", Qt::AlignCenter), std::pair("Align right", Qt::AlignRight) }) {
        editor->setPlainText("ab\ncd\nef");
        const Qt::Alignment initial = alignment(2);
        QTextCursor cursor(editor->document());
        cursor.movePosition(QTextCursor::NextCharacter);
        cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        editor->setTextCursor(cursor);
        click(&page, button);
        QCOMPARE(QList<Qt::Alignment>({ alignment(0), alignment(1), alignment(2) }),
            QList<Qt::Alignment>({ expected, expected, initial }));
        QCOMPARE(editor->toPlainText(), "ab\ncd\nef");
        click(&page, "Tabs to spaces");
        QCOMPARE(alignment(0), initial);
    }
    // Copy takes the whole text, though only a part is selected, and an empty one too.
    for (const QString &copied : { QString("one\ntwo \U0001F600"), QString() }) {
        QGuiApplication::clipboard()->setText("earlier");
        editor->setPlainText(copied);
        QTextCursor cursor(editor->document());
        cursor.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        editor->setTextCursor(cursor);
        click(&page, "Copy");
        QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    }
}

QTEST_MAIN(tst_TextTools)
#include "tst_texttools.moc"
