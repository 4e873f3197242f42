#pragma once

#include <QWidget>

class ClockSuitePage;
class DaysCounterPage;
class ImageResizerPage;
class PdfToolsPage;
class QGridLayout;
class QLineEdit;
class QRGeneratorPage;
class QStackedWidget;
class TextToolsPage;

// The main window: a page stack with the tool grid at index 0 and the six tool pages behind it.
class MainDashboard : public QWidget
{
    Q_OBJECT

public:
    explicit MainDashboard(QWidget *parent = nullptr);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void openTool(const QString &toolId);
    void toggleTheme();
    void resizeForCurrentPage(int index);

private:
    QWidget *buildHomePage();
    QWidget *buildHeader();
    QWidget *buildToolGrid();
    QWidget *createToolCard(const QString &id, const QString &iconPath, const QString &title,
        const QString &accentRole);

    QLineEdit *m_searchBox = nullptr;
    QGridLayout *m_grid = nullptr;
    QStackedWidget *m_stack = nullptr;
    bool m_initialSizeDone = false;
    QRGeneratorPage *m_qrPage = nullptr;
    TextToolsPage *m_textPage = nullptr;
    ImageResizerPage *m_imagePage = nullptr;
    ClockSuitePage *m_clockPage = nullptr;
    DaysCounterPage *m_daysPage = nullptr;
    PdfToolsPage *m_pdfPage = nullptr;
};
