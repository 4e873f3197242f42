#include "tools/text/texttoolspage.h"
#include "tools/text/texttransforms.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

namespace {
using namespace TextTransforms;
const std::pair<const char *, QString (*)(const QString &)> transformButtons[] = {
    { "Reverse text", reversed }, { "Reverse per line", reversedPerLine },
    { "Reverse word order", wordOrderReversed }, { "Remove empty lines", withoutEmptyLines },
    { "Remove double spaces", withoutDoubleSpaces }, { "Tabs to spaces", tabsToSpaces }
};
} // namespace

class tst_TextToolsPage : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_page = std::make_unique<TextToolsPage>(); }
    void buttonsApplyTheirTransform_data();
    void buttonsApplyTheirTransform();
    void countsFollowTypingAndPasting();
    void alignButtonsAlignSelectedParagraphsUntilTransform();
    void copyPutsWholeTextOnClipboard();

private:
    QTextEdit *editor() const { return m_page->findChild<QTextEdit *>(); }
    Qt::Alignment alignment(int block) const
    {
        return editor()->document()->findBlockByNumber(block).blockFormat().alignment();
    }
    // "Word count: w, Line count: l", read from the page's labels.
    QString counts() const
    {
        QStringList shown;
        for (const QLabel *label : m_page->findChildren<QLabel *>()) {
            if (label->text().contains(QLatin1String(" count: "))) {
                shown << label->text();
            }
        }
        return shown.join(QStringLiteral(", "));
    }
    void click(const QString &text)
    {
        const QList<QPushButton *> buttons = m_page->findChildren<QPushButton *>();
        const auto it = std::find_if(buttons.begin(), buttons.end(),
            [&text](const QPushButton *button) { return button->text() == text; });
        QVERIFY2(it != buttons.end(), qPrintable(text));
        (*it)->click();
    }

    std::unique_ptr<TextToolsPage> m_page;
};

void tst_TextToolsPage::buttonsApplyTheirTransform_data()
{
    QTest::addColumn<int>("index");
    for (int index = 0; index < int(std::size(transformButtons)); ++index) {
        QTest::addRow("%s", transformButtons[index].first) << index;
    }
}

void tst_TextToolsPage::buttonsApplyTheirTransform()
{
    QFETCH(int, index);
    const auto &[button, transform] = transformButtons[index];
    // Every transformation changes this text differently.
    const QString text = QStringLiteral("one  two\tthree\n\n  four \U0001F600");
    editor()->setPlainText(text);
    click(button);
    QCOMPARE(editor()->toPlainText(), transform(text));
}

void tst_TextToolsPage::countsFollowTypingAndPasting()
{
    QCOMPARE(counts(), QStringLiteral("Word count: 0, Line count: 0"));
    QTest::keyClicks(editor(), QStringLiteral("one two"));
    QTest::keyClick(editor(), Qt::Key_Return);
    QTest::keyClicks(editor(), QStringLiteral("three"));
    QCOMPARE(counts(), QStringLiteral("Word count: 3, Line count: 2"));
    editor()->clear();
    QCOMPARE(counts(), QStringLiteral("Word count: 0, Line count: 0"));

    // Pasted Windows line endings become lines.
    QGuiApplication::clipboard()->setText(QStringLiteral("ab\r\ncd\r\n"));
    editor()->paste();
    QCOMPARE(counts(), QStringLiteral("Word count: 2, Line count: 3"));
}

void tst_TextToolsPage::alignButtonsAlignSelectedParagraphsUntilTransform()
{
    for (const auto &[button, expected] :
        { std::pair("Align left", Qt::AlignLeft), std::pair("Align center", Qt::AlignCenter),
            std::pair("Align right", Qt::AlignRight) }) {
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
    }
}

void tst_TextToolsPage::copyPutsWholeTextOnClipboard()
{
    for (const QString &text : { QStringLiteral("one\ntwo \U0001F600"), QString() }) {
        QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
        editor()->setPlainText(text);
        QTextCursor cursor(editor()->document());
        cursor.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        editor()->setTextCursor(cursor); // a part is selected
        click(QStringLiteral("Copy"));
        QCOMPARE(QGuiApplication::clipboard()->text(), text);
    }
}

QTEST_MAIN(tst_TextToolsPage)
#include "tst_texttoolspage.moc"
