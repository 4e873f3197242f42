#include "tools/pdf/pdftoolspage.h"

#include "pdftesting.h"

#include <QLabel>
#include <QListWidget>
#include <QToolButton>
#include <QtTest>

using namespace pdftest;

class tst_PdfToolbar : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void buttonsRunTheirCommands_data();
    void buttonsRunTheirCommands();
    void commentRowSelectsItsPage_data();
    void commentRowSelectsItsPage();

private:
    std::unique_ptr<PdfToolsPage> m_page;
};

void tst_PdfToolbar::initTestCase()
{
    Q_INIT_RESOURCE(mirvale);
}

void tst_PdfToolbar::init()
{
    m_page = std::make_unique<PdfToolsPage>();
}

void tst_PdfToolbar::cleanup()
{
    m_page.reset();
}

void tst_PdfToolbar::buttonsRunTheirCommands_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("dialog"); // the title of the dialog it opens, if any
    QTest::addColumn<QString>("status"); // the status it leaves, if it opens no dialog

    const struct
    {
        const char *button;
        const char *dialog;
        const char *status;
    } rows[] = {
        { "Open PDF", "Open PDF", "" },
        { "Add pages", "Add pages", "" },
        { "Insert page", "Insert page after selected", "" },
        { "Rotate left", "", "Rotated page 1 left" },
        { "Rotate right", "", "Rotated page 1 right" },
        { "Black && white", "", "Converted page 1 to black & white (Undo to revert)" },
        { "Remove page", "", "Removed page 1 — 1 page(s) left (Undo to bring it back)" },
        { "Undo", "", "Undid last action" },
        { "OCR", "", "Recognized text from page 1 — edit or copy it from the panel below." },
        { "Compress all", "",
            "Compressed all 2 page(s) (Undo to revert) — save to write the result to disk" },
        { "Export page", "Export page", "" },
        { "Export all", "Choose output folder", "" },
        { "Close", "Close", "" },
        { "Save As PDF", "Save As PDF", "" },
        { "Merge files", "Choose PDF files to merge", "" },
        { "Split", "Split document", "" },
    };
    for (const auto &row : rows) {
        QTest::addRow("%s", row.button)
            << QString::fromUtf8(row.button) << QString::fromUtf8(row.dialog)
            << QString::fromUtf8(row.status);
    }
}

void tst_PdfToolbar::buttonsRunTheirCommands()
{
    QFETCH(QString, text);
    QFETCH(QString, dialog);
    QFETCH(QString, status);

    m_page->m_pages = plainPages({ { 40, 60 }, { 50, 60 } });
    m_page->m_currentIndex = 0;
    m_page->pushUndo();
    m_page->setStatus(QStringLiteral("previous status"));
    QToolButton *tool = pdftest::button(m_page.get(), text);
    QVERIFY(tool);

    // Each dialog is declined, which ends its command without a change.
    QList<Step> steps;
    if (!dialog.isEmpty()) {
        steps << Step { dialog, [dialog](QWidget *w) { return w->windowTitle() == dialog; },
            [](QWidget *w) {
                if (auto *box = qobject_cast<QMessageBox *>(w)) {
                    box->button(QMessageBox::No)->click();
                } else {
                    static_cast<QDialog *>(w)->reject();
                }
            } };
    }
    QCOMPARE(runWithDialogs([tool] { tool->click(); }, steps), QString());
    QCOMPARE(m_page->m_statusLabel->text(),
        dialog.isEmpty() ? status : QStringLiteral("previous status"));
}

void tst_PdfToolbar::commentRowSelectsItsPage_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("selected");

    // The comments name pages 2 and 9 of a three-page document.
    QTest::addRow("page of the comment") << 0 << 2;
    QTest::addRow("page gone since") << 1 << -1;
}

void tst_PdfToolbar::commentRowSelectsItsPage()
{
    QFETCH(int, row);
    QFETCH(int, selected);

    m_page->m_pages = plainPages({ { 10, 10 }, { 20, 10 }, { 30, 10 } });
    m_page->m_currentIndex = 1;
    m_page->refreshThumbnails();
    for (const int page : { 2, 9 }) {
        m_page->m_comments.append(PageComment { page, QPoint(1, 1), QStringLiteral("note") });
        m_page->m_commentsList->addItem(QStringLiteral("note"));
    }
    m_page->m_commentsList->setCurrentRow(row);
    QCOMPARE(m_page->m_currentIndex, selected);
    QCOMPARE(m_page->m_thumbList->currentRow(), selected);
}

QTEST_MAIN(tst_PdfToolbar)
#include "tst_pdftoolbar.moc"
