#pragma once

#include "common/toolpage.h"

class QLabel;
class QTextEdit;

// A text editor with one-click transformations of its plain text, paragraph alignment, copying
// to the clipboard and live word and line counts.
class TextToolsPage : public ToolPage
{
    Q_OBJECT

public:
    explicit TextToolsPage(QWidget *parent = nullptr);

private slots:
    void reverseText();
    void alignLeft();
    void alignCenter();
    void alignRight();
    void reversePerLine();
    void reverseWordOrder();
    void removeEmptyLines();
    void removeDoubleSpaces();
    void tabsToSpaces();
    void copyToClipboard();
    void updateCounts();

private:
    QWidget *buildButtonGrid();

    QTextEdit *m_editor = nullptr;
    QLabel *m_wordCountLabel = nullptr;
    QLabel *m_lineCountLabel = nullptr;
};
