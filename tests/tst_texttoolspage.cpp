#include "tools/text/texttoolspage.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include <memory>

namespace {

const QString grinning = QStringLiteral("\U0001F600");

QPushButton *buttonLabelled(const QWidget &page, const QString &text)
{
    const auto buttons = page.findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

QLabel *labelStartingWith(const QWidget &page, const QString &prefix)
{
    const auto labels = page.findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (label->text().startsWith(prefix)) {
            return label;
        }
    }
    return nullptr;
}

Qt::Alignment blockAlignment(const QTextEdit *editor, int block)
{
    return editor->document()->findBlockByNumber(block).blockFormat().alignment();
}

} // namespace

class tst_TextToolsPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsEmptyWithZeroCounts();
    void layoutAndHeader();
    void backButtonRequestsBack();
    void buttonGrid_data();
    void buttonGrid();
    void transformButtons_data();
    void transformButtons();
    void transformsOfEmptyEditorKeepItEmpty_data();
    void transformsOfEmptyEditorKeepItEmpty();
    void countsFollowTyping();
    void countsFollowEdits_data();
    void countsFollowEdits();
    void reverseTwiceRestoresEmoji();
    void transformDropsFormattingAndUndo();
    void alignButtonsAlignCurrentParagraph();
    void alignSelectionAndLoseItOnTransform();
    void copyPutsWholeTextOnClipboard();
    void copyOfEmptyEditorClearsClipboard();
    void pastedWindowsLineEndingsBecomeLines();

private:
    QTextEdit *editor() const
    {
        return m_page->findChild<QTextEdit *>(QStringLiteral("TextEditor"));
    }
    QString wordLabel() const { return labelStartingWith(*m_page, "Word count:")->text(); }
    QString lineLabel() const { return labelStartingWith(*m_page, "Line count:")->text(); }
    void click(const QString &label);

    std::unique_ptr<TextToolsPage> m_page;
};

void tst_TextToolsPage::init()
{
    m_page = std::make_unique<TextToolsPage>();
    QVERIFY(editor());
    QVERIFY(labelStartingWith(*m_page, "Word count:"));
    QVERIFY(labelStartingWith(*m_page, "Line count:"));
}

void tst_TextToolsPage::cleanup()
{
    m_page.reset();
}

void tst_TextToolsPage::click(const QString &label)
{
    QPushButton *button = buttonLabelled(*m_page, label);
    QVERIFY2(button, qPrintable(label));
    button->click();
}

void tst_TextToolsPage::startsEmptyWithZeroCounts()
{
    QCOMPARE(m_page->objectName(), QStringLiteral("TextToolsPage"));
    QVERIFY(editor()->toPlainText().isEmpty());
    QCOMPARE(editor()->placeholderText(), QStringLiteral("Paste or type your text here\u2026"));
    QCOMPARE(wordLabel(), QStringLiteral("Word count: 0"));
    QCOMPARE(lineLabel(), QStringLiteral("Line count: 0"));
}

void tst_TextToolsPage::layoutAndHeader()
{
    auto *root = qobject_cast<QVBoxLayout *>(m_page->layout());
    QVERIFY(root);
    QCOMPARE(root->contentsMargins(), QMargins(28, 24, 28, 28));
    QCOMPARE(root->spacing(), 16);
    QCOMPARE(root->count(), 5);

    // Header, editor, button grid, counts row, then the stretch that takes the free space.
    auto *back = m_page->findChild<QPushButton *>(QStringLiteral("BackButton"));
    QVERIFY(back);
    QCOMPARE(back->text(), QStringLiteral("< Back"));
    QCOMPARE(back->minimumWidth(), 70);
    QCOMPARE(back->maximumWidth(), 70);
    auto *title = m_page->findChild<QLabel *>(QStringLiteral("ToolPageTitle"));
    QVERIFY(title);
    QCOMPARE(title->text(), QStringLiteral("Text tools"));
    QCOMPARE(root->itemAt(0)->widget(), back->parentWidget());

    QCOMPARE(root->itemAt(1)->widget(), editor());
    QCOMPARE(editor()->minimumHeight(), 110);

    auto *grid = qobject_cast<QGridLayout *>(root->itemAt(2)->widget()->layout());
    QVERIFY(grid);
    QCOMPARE(grid->spacing(), 8);

    auto *counts = qobject_cast<QHBoxLayout *>(root->itemAt(3)->layout());
    QVERIFY(counts);
    QCOMPARE(counts->count(), 3);
    QCOMPARE(counts->itemAt(0)->widget(), labelStartingWith(*m_page, "Word count:"));
    QCOMPARE(counts->itemAt(1)->widget(), labelStartingWith(*m_page, "Line count:"));
    QVERIFY(counts->itemAt(2)->spacerItem());

    QVERIFY(root->itemAt(4)->spacerItem());
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(root->stretch(i), 0);
    }
    QCOMPARE(root->stretch(4), 1);
}

void tst_TextToolsPage::backButtonRequestsBack()
{
    QSignalSpy spy(m_page.get(), &TextToolsPage::backRequested);
    click(QStringLiteral("< Back"));
    QCOMPARE(spy.size(), 1);
}

void tst_TextToolsPage::buttonGrid_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");

    QTest::addRow("reverse text") << "Reverse text" << 0 << 0;
    QTest::addRow("align left") << "Align left" << 0 << 1;
    QTest::addRow("align center") << "Align center" << 0 << 2;
    QTest::addRow("align right") << "Align right" << 0 << 3;
    QTest::addRow("reverse per line") << "Reverse per line" << 0 << 4;
    QTest::addRow("reverse word order") << "Reverse word order" << 1 << 0;
    QTest::addRow("remove empty lines") << "Remove empty lines" << 1 << 1;
    QTest::addRow("remove double spaces") << "Remove double spaces" << 1 << 2;
    QTest::addRow("tabs to spaces") << "Tabs to spaces" << 1 << 3;
    QTest::addRow("copy") << "Copy" << 1 << 4;
}

void tst_TextToolsPage::buttonGrid()
{
    QFETCH(QString, label);
    QFETCH(int, row);
    QFETCH(int, column);

    QPushButton *button = buttonLabelled(*m_page, label);
    QVERIFY(button);
    QVERIFY(button->objectName().isEmpty());
    auto *grid = qobject_cast<QGridLayout *>(button->parentWidget()->layout());
    QVERIFY(grid);
    QCOMPARE(grid->count(), 10);
    int gotRow = -1;
    int gotColumn = -1;
    int rowSpan = 0;
    int columnSpan = 0;
    grid->getItemPosition(grid->indexOf(button), &gotRow, &gotColumn, &rowSpan, &columnSpan);
    QCOMPARE(gotRow, row);
    QCOMPARE(gotColumn, column);
}

void tst_TextToolsPage::transformButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("lines");

    QTest::addRow("reverse text") << "Reverse text"
                                  << "ab\ncd"
                                  << "dc\nba"
                                  << "2"
                                  << "2";
    QTest::addRow("reverse per line") << "Reverse per line"
                                      << "one two\n\nthree"
                                      << "owt eno\n\neerht"
                                      << "3"
                                      << "3";
    QTest::addRow("reverse word order") << "Reverse word order"
                                        << "one two  three\nfour five"
                                        << "three  two one\nfive four"
                                        << "5"
                                        << "2";
    QTest::addRow("remove empty lines") << "Remove empty lines"
                                        << "a\n\n\t\nb\n"
                                        << "a\nb"
                                        << "2"
                                        << "2";
    QTest::addRow("remove double spaces") << "Remove double spaces"
                                          << "a   b  c"
                                          << "a b c"
                                          << "3"
                                          << "1";
    QTest::addRow("tabs to spaces") << "Tabs to spaces"
                                    << "a\tb"
                                    << "a    b"
                                    << "2"
                                    << "1";
    QTest::addRow("reverse text with emoji")
        << "Reverse text" << QString("x" + grinning + "e\u0301")
        << QString("e\u0301" + grinning + "x") << "1"
        << "1";
}

void tst_TextToolsPage::transformButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, words);
    QFETCH(QString, lines);

    editor()->setPlainText(before);
    click(button);
    QCOMPARE(editor()->toPlainText(), after);
    QCOMPARE(wordLabel(), "Word count: " + words);
    QCOMPARE(lineLabel(), "Line count: " + lines);
}

void tst_TextToolsPage::transformsOfEmptyEditorKeepItEmpty_data()
{
    QTest::addColumn<QString>("button");
    const QStringList buttons = { "Reverse text", "Reverse per line", "Reverse word order",
        "Remove empty lines", "Remove double spaces", "Tabs to spaces" };
    for (const QString &button : buttons) {
        QTest::addRow("%s", qPrintable(button)) << button;
    }
}

void tst_TextToolsPage::transformsOfEmptyEditorKeepItEmpty()
{
    QFETCH(QString, button);

    click(button);
    QVERIFY(editor()->toPlainText().isEmpty());
    QCOMPARE(wordLabel(), QStringLiteral("Word count: 0"));
    QCOMPARE(lineLabel(), QStringLiteral("Line count: 0"));
}

void tst_TextToolsPage::countsFollowTyping()
{
    editor()->setFocus();
    QTest::keyClicks(editor(), QStringLiteral("one two"));
    QCOMPARE(wordLabel(), QStringLiteral("Word count: 2"));
    QCOMPARE(lineLabel(), QStringLiteral("Line count: 1"));

    QTest::keyClick(editor(), Qt::Key_Return);
    QCOMPARE(wordLabel(), QStringLiteral("Word count: 2"));
    QCOMPARE(lineLabel(), QStringLiteral("Line count: 2"));

    QTest::keyClicks(editor(), QStringLiteral("three"));
    QCOMPARE(wordLabel(), QStringLiteral("Word count: 3"));

    editor()->selectAll();
    QTest::keyClick(editor(), Qt::Key_Delete);
    QCOMPARE(wordLabel(), QStringLiteral("Word count: 0"));
    QCOMPARE(lineLabel(), QStringLiteral("Line count: 0"));
}

void tst_TextToolsPage::countsFollowEdits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("lines");

    QTest::addRow("three spaces") << "   "
                                  << "0"
                                  << "1";
    QTest::addRow("word and line feed") << "a\n"
                                        << "1"
                                        << "2";
    QTest::addRow("two line feeds") << "\n\n"
                                    << "0"
                                    << "3";
    QTest::addRow("ideographic space joins words") << "a\u3000b"
                                                   << "1"
                                                   << "1";
    QTest::addRow("ideographic space alone") << "\u3000"
                                             << "0"
                                             << "1";
    QTest::addRow("no-break space separates")
        << "a\u00A0b"
        << "2"
        << "1"; // the editor's plain text turns it into a space
}

void tst_TextToolsPage::countsFollowEdits()
{
    QFETCH(QString, text);
    QFETCH(QString, words);
    QFETCH(QString, lines);

    editor()->setPlainText(text);
    QCOMPARE(wordLabel(), "Word count: " + words);
    QCOMPARE(lineLabel(), "Line count: " + lines);
}

void tst_TextToolsPage::reverseTwiceRestoresEmoji()
{
    const QString text = "ab" + grinning + "\n\U0001F469\u200D\U0001F467 n\u0303\n";
    editor()->setPlainText(text);
    click(QStringLiteral("Reverse text"));
    QCOMPARE(editor()->toPlainText().size(), text.size());
    click(QStringLiteral("Reverse text"));
    QCOMPARE(editor()->toPlainText(), text);
    click(QStringLiteral("Reverse per line"));
    click(QStringLiteral("Reverse per line"));
    QCOMPARE(editor()->toPlainText(), text);
}

void tst_TextToolsPage::transformDropsFormattingAndUndo()
{
    editor()->setHtml(QStringLiteral("<b>ab</b> cd"));
    QTextCursor cursor(editor()->document());
    cursor.movePosition(QTextCursor::NextCharacter);
    QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Bold));
    editor()->textCursor().insertText(QStringLiteral("x"));
    QVERIFY(editor()->document()->isUndoAvailable());

    click(QStringLiteral("Tabs to spaces"));
    QCOMPARE(editor()->toPlainText(), QStringLiteral("xab cd"));
    cursor = QTextCursor(editor()->document());
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor, 2);
    QVERIFY(cursor.charFormat().fontWeight() != int(QFont::Bold));
    QVERIFY(!editor()->document()->isUndoAvailable());
}

void tst_TextToolsPage::alignButtonsAlignCurrentParagraph()
{
    editor()->setPlainText(QStringLiteral("ab\ncd"));
    QTextCursor cursor(editor()->document());
    editor()->setTextCursor(cursor); // in the first paragraph
    const Qt::Alignment initial = blockAlignment(editor(), 1);

    click(QStringLiteral("Align center"));
    QCOMPARE(blockAlignment(editor(), 0), Qt::Alignment(Qt::AlignCenter));
    QCOMPARE(blockAlignment(editor(), 1), initial);

    click(QStringLiteral("Align right"));
    QCOMPARE(blockAlignment(editor(), 0), Qt::Alignment(Qt::AlignRight));

    click(QStringLiteral("Align left"));
    QCOMPARE(blockAlignment(editor(), 0), Qt::Alignment(Qt::AlignLeft));
    QCOMPARE(editor()->toPlainText(), QStringLiteral("ab\ncd"));
}

void tst_TextToolsPage::alignSelectionAndLoseItOnTransform()
{
    editor()->setPlainText(QStringLiteral("ab\ncd\nef"));
    QTextCursor cursor(editor()->document());
    cursor.movePosition(QTextCursor::NextCharacter);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    editor()->setTextCursor(cursor);
    const Qt::Alignment initial = blockAlignment(editor(), 2);

    click(QStringLiteral("Align center"));
    QCOMPARE(blockAlignment(editor(), 0), Qt::Alignment(Qt::AlignCenter));
    QCOMPARE(blockAlignment(editor(), 1), Qt::Alignment(Qt::AlignCenter));
    QCOMPARE(blockAlignment(editor(), 2), initial);

    // A transformation that changes no character still rewrites the document.
    click(QStringLiteral("Tabs to spaces"));
    QCOMPARE(editor()->toPlainText(), QStringLiteral("ab\ncd\nef"));
    QCOMPARE(blockAlignment(editor(), 0), initial);
    QCOMPARE(blockAlignment(editor(), 1), initial);
}

void tst_TextToolsPage::copyPutsWholeTextOnClipboard()
{
    const QString text = QStringLiteral("one\ntwo ") + grinning;
    editor()->setPlainText(text);
    QTextCursor cursor(editor()->document());
    cursor.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
    editor()->setTextCursor(cursor);
    click(QStringLiteral("Align center"));

    click(QStringLiteral("Copy"));
    QCOMPARE(QGuiApplication::clipboard()->text(QClipboard::Clipboard), text);
    QCOMPARE(editor()->toPlainText(), text);
    QCOMPARE(blockAlignment(editor(), 0), Qt::Alignment(Qt::AlignCenter));
}

void tst_TextToolsPage::copyOfEmptyEditorClearsClipboard()
{
    QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
    click(QStringLiteral("Copy"));
    QCOMPARE(QGuiApplication::clipboard()->text(QClipboard::Clipboard), QString());
}

void tst_TextToolsPage::pastedWindowsLineEndingsBecomeLines()
{
    auto *mime = new QMimeData;
    mime->setText(QStringLiteral("ab\r\ncd\r\n"));
    QGuiApplication::clipboard()->setMimeData(mime);
    editor()->paste();
    QCOMPARE(lineLabel(), QStringLiteral("Line count: 3"));
    QCOMPARE(wordLabel(), QStringLiteral("Word count: 2"));

    click(QStringLiteral("Reverse per line"));
    const QString after = editor()->toPlainText();
    QVERIFY2(!after.contains(u'\r'), qPrintable(after));
    QCOMPARE(after, QStringLiteral("ba\ndc\n"));
}

QTEST_MAIN(tst_TextToolsPage)
#include "tst_texttoolspage.moc"
