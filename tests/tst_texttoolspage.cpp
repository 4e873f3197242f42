#include "tools/text/texttoolspage.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include <memory>

class tst_TextToolsPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void backButtonRequestsBack();
    void transformButtonsRewriteTextAndCounts_data();
    void transformButtonsRewriteTextAndCounts();
    void countsFollowTyping();
    void transformDropsFormattingAndUndo();
    void alignButtonsAlignSelectedParagraphsUntilTransform_data();
    void alignButtonsAlignSelectedParagraphsUntilTransform();
    void copyPutsWholeTextOnClipboard_data();
    void copyPutsWholeTextOnClipboard();
    void pastedWindowsLineEndingsBecomeLines();

private:
    QTextEdit *editor() const { return m_page->findChild<QTextEdit *>(); }
    Qt::Alignment alignment(int block) const
    {
        return editor()->document()->findBlockByNumber(block).blockFormat().alignment();
    }
    QString counts() const;
    void click(const QString &label);

    std::unique_ptr<TextToolsPage> m_page;
};

void tst_TextToolsPage::init()
{
    m_page = std::make_unique<TextToolsPage>();
    QVERIFY(editor());
}

void tst_TextToolsPage::cleanup()
{
    m_page.reset();
}

// "Word count: w, Line count: l", read from the page's two labels.
QString tst_TextToolsPage::counts() const
{
    QStringList shown;
    for (const QLabel *label : m_page->findChildren<QLabel *>()) {
        if (label->text().contains(QLatin1String(" count: "))) {
            shown << label->text();
        }
    }
    return shown.join(QStringLiteral(", "));
}

void tst_TextToolsPage::click(const QString &label)
{
    for (QPushButton *button : m_page->findChildren<QPushButton *>()) {
        if (button->text() == label) {
            button->click();
            return;
        }
    }
    QFAIL(qPrintable("no button " + label));
}

void tst_TextToolsPage::backButtonRequestsBack()
{
    QSignalSpy spy(m_page.get(), &TextToolsPage::backRequested);
    click(QStringLiteral("< Back"));
    QCOMPARE(spy.size(), 1);
}

void tst_TextToolsPage::transformButtonsRewriteTextAndCounts_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("counts");
    const auto row = [](const char *button, const char *before, const char *after,
                         const char *counts) {
        QTest::addRow("%s", button) << button << before << after << counts;
    };

    row("Reverse text", "ab\ncd", "dc\nba", "Word count: 2, Line count: 2");
    row("Reverse per line", "one two\n\nthree", "owt eno\n\neerht", "Word count: 3, Line count: 3");
    row("Reverse word order", "one two  three\nfour five", "three  two one\nfive four",
        "Word count: 5, Line count: 2");
    row("Remove empty lines", "a\n\n\t\nb\n", "a\nb", "Word count: 2, Line count: 2");
    row("Remove double spaces", "a   b  c", "a b c", "Word count: 3, Line count: 1");
    row("Tabs to spaces", "a\tb", "a    b", "Word count: 2, Line count: 1");
}

void tst_TextToolsPage::transformButtonsRewriteTextAndCounts()
{
    QFETCH(QString, button);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, counts);

    editor()->setPlainText(before);
    click(button);
    QCOMPARE(editor()->toPlainText(), after);
    QCOMPARE(this->counts(), counts);
}

void tst_TextToolsPage::countsFollowTyping()
{
    QCOMPARE(counts(), QStringLiteral("Word count: 0, Line count: 0"));
    editor()->setFocus();
    QTest::keyClicks(editor(), QStringLiteral("one two"));
    QCOMPARE(counts(), QStringLiteral("Word count: 2, Line count: 1"));
    QTest::keyClick(editor(), Qt::Key_Return);
    QTest::keyClicks(editor(), QStringLiteral("three"));
    QCOMPARE(counts(), QStringLiteral("Word count: 3, Line count: 2"));

    // The editor's plain text turns a no-break space into a space, which separates words.
    editor()->setPlainText(QStringLiteral("a\u00A0b"));
    QCOMPARE(counts(), QStringLiteral("Word count: 2, Line count: 1"));

    editor()->selectAll();
    QTest::keyClick(editor(), Qt::Key_Delete);
    QCOMPARE(counts(), QStringLiteral("Word count: 0, Line count: 0"));
}

void tst_TextToolsPage::transformDropsFormattingAndUndo()
{
    editor()->setHtml(QStringLiteral("<b>ab</b> cd"));
    editor()->textCursor().insertText(QStringLiteral("x"));
    QVERIFY(editor()->document()->isUndoAvailable());

    click(QStringLiteral("Tabs to spaces"));
    QCOMPARE(editor()->toPlainText(), QStringLiteral("xab cd"));
    QTextCursor cursor(editor()->document());
    cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor, 2);
    QVERIFY(cursor.charFormat().fontWeight() != int(QFont::Bold));
    QVERIFY(!editor()->document()->isUndoAvailable());
}

void tst_TextToolsPage::alignButtonsAlignSelectedParagraphsUntilTransform_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("expected");
    QTest::addRow("left") << "Align left" << int(Qt::AlignLeft);
    QTest::addRow("center") << "Align center" << int(Qt::AlignCenter);
    QTest::addRow("right") << "Align right" << int(Qt::AlignRight);
}

void tst_TextToolsPage::alignButtonsAlignSelectedParagraphsUntilTransform()
{
    QFETCH(QString, button);
    QFETCH(int, expected);

    editor()->setPlainText(QStringLiteral("ab\ncd\nef"));
    const Qt::Alignment initial = alignment(2);
    QTextCursor cursor(editor()->document());
    cursor.movePosition(QTextCursor::NextCharacter);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    editor()->setTextCursor(cursor); // touches the first two paragraphs

    click(button);
    QCOMPARE(alignment(0), Qt::Alignment(expected));
    QCOMPARE(alignment(1), Qt::Alignment(expected));
    QCOMPARE(alignment(2), initial);
    QCOMPARE(editor()->toPlainText(), QStringLiteral("ab\ncd\nef"));

    // A transformation that changes no character still rewrites the document.
    click(QStringLiteral("Tabs to spaces"));
    QCOMPARE(alignment(0), initial);
    QCOMPARE(alignment(1), initial);
}

void tst_TextToolsPage::copyPutsWholeTextOnClipboard_data()
{
    QTest::addColumn<QString>("text");
    QTest::addRow("part selected") << QStringLiteral("one\ntwo \U0001F600");
    QTest::addRow("empty editor") << QString();
}

void tst_TextToolsPage::copyPutsWholeTextOnClipboard()
{
    QFETCH(QString, text);
    QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
    editor()->setPlainText(text);
    QTextCursor cursor(editor()->document());
    cursor.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
    editor()->setTextCursor(cursor);

    click(QStringLiteral("Copy"));
    QCOMPARE(QGuiApplication::clipboard()->text(QClipboard::Clipboard), text);
    QCOMPARE(editor()->toPlainText(), text);
}

void tst_TextToolsPage::pastedWindowsLineEndingsBecomeLines()
{
    auto *mime = new QMimeData;
    mime->setText(QStringLiteral("ab\r\ncd\r\n"));
    QGuiApplication::clipboard()->setMimeData(mime);
    editor()->paste();
    QCOMPARE(counts(), QStringLiteral("Word count: 2, Line count: 3"));

    click(QStringLiteral("Reverse per line"));
    QCOMPARE(editor()->toPlainText(), QStringLiteral("ba\ndc\n"));
}

QTEST_MAIN(tst_TextToolsPage)
#include "tst_texttoolspage.moc"
