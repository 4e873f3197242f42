#pragma once

#include <QWidget>

class QHBoxLayout;
class QVBoxLayout;

// What the six tool pages share: the frame the dashboard shows them in, a column with margins
// 28, 24, 28, 28 and spacing 20 whose first row is the header ("< Back", 10 px, the title, a
// stretch), and the one signal the dashboard listens to.
class ToolPage : public QWidget
{
    Q_OBJECT

public:
    // The title is shown as given: the page passes it through its own translation.
    explicit ToolPage(const QString &title, QWidget *parent = nullptr);

signals:
    // Emitted by "< Back"; the dashboard answers with its grid.
    void backRequested();

protected:
    // The page's column; a page adds its sections below the header and may change the bottom
    // margin and the spacing.
    QVBoxLayout *pageLayout() const { return m_layout; }
    // The header row, whose last item is the stretch; a page may add to it on either side of it.
    QHBoxLayout *headerRow() const { return m_headerRow; }

private:
    QVBoxLayout *m_layout = nullptr;
    QHBoxLayout *m_headerRow = nullptr;
};
