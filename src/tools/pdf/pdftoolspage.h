#pragma once

#include "common/toolpage.h"
#include "tools/pdf/pagecomment.h"
#include "tools/pdf/thumbnailcache.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPoint>
#include <QString>

#include <functional>

class QComboBox;
class QGridLayout;
class QLabel;
class QListWidget;
class QScrollArea;
class QTextEdit;
class QToolButton;

namespace pdf {
enum class Rotation;
enum class StampType;
} // namespace pdf

// The PDF tools page. The document is kept as a list of page images (a PDF is read by rendering
// every page, and written as one image per page); every command changes whole page images.
//
// The definition is spread over files by concern:
//   pdftoolspage.cpp           construction and layout
//   pdftoolspage_document.cpp  page list, undo, closing, status
//   pdftoolspage_io.cpp        reading PDFs and images, writing PDFs
//   pdftoolspage_views.cpp     thumbnails, page view, selection and reordering
//   pdftoolspage_toolbar.cpp   toolbar, stamp bar and side panels
//   pdftoolspage_commands.cpp  page commands
//   pdftoolspage_export.cpp    saving, export, merge and split
//   pdftoolspage_modes.cpp     crop, highlight and fill-and-sign mouse modes
//   pdftoolspage_ocr.cpp       text recognition
class PdfToolsPage : public ToolPage
{
    Q_OBJECT

public:
    explicit PdfToolsPage(QWidget *parent = nullptr);
    ~PdfToolsPage() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void openDocument();
    void addPagesAtEnd();
    void insertPageAfterSelected();
    void selectPage(int index);
    void rotateSelectedLeft();
    void rotateSelectedRight();
    void removeSelected();
    void thumbnailOrderChanged();
    void toggleBlackAndWhiteSelected();
    void compressDocument();
    void saveAs();
    void exportSelectedAsImage();
    void exportAllAsImages();
    void undo();
    void closeDocument();
    void toggleCropMode(bool on);
    void applyCrop();
    void toggleFillSignMode(bool on);
    void runOcr();
    void copyOcrText();
    void mergeFiles();
    void splitDocument();
    void toggleHighlightMode(bool on);

private:
    void buildHeader();
    QWidget *buildToolbar();
    QWidget *buildStampBar();
    QWidget *buildOcrPanel();
    QWidget *buildThumbnailList();
    QWidget *buildPageView();
    QWidget *buildCommentsPanel();
    QToolButton *makeToolButton(QGridLayout *grid, int row, int column, const QString &iconPath,
        const QString &text, void (PdfToolsPage::*slot)());
    void refreshThumbnails();
    void showCurrentPage();
    bool loadPdf(const QString &path, bool append, int insertAt);
    bool loadImage(const QString &path, bool append, int insertAt);
    void setStatus(const QString &text);
    void pushUndo();
    QPoint viewToImage(const QPoint &point) const;
    // On failure errorString says why.
    static bool writePdf(const QList<QImage> &pages, const QString &path, QString *errorString);
    // m_currentIndex names a page of m_pages.
    bool hasSelectedPage() const;
    // How every page command ends once it has changed the document: the views rebuilt from the
    // pages, then one status line.
    void showChange(const QString &status);
    // The ending of the commands that make a new selected page: a snapshot for undo, the page
    // replaced, then showChange.
    void replaceSelectedPage(const QImage &page, const QString &status);
    void rotateSelected(pdf::Rotation direction);
    // The page commands' reading of one chosen file.
    bool loadPageFile(const QString &path, int insertAt);
    // A snapshot for undo, then change. When change says it changed nothing, the history is put
    // back as it was, so no step to undo is left behind. Returns what change returned.
    bool changeWithSnapshot(const std::function<bool()> &change);
    // The mouse modes' handling of the page label's events.
    bool dragModeEvent(QEvent *event, bool highlight);
    bool fillSignEvent(QEvent *event);
    void placeStamp(const QPoint &viewPoint, pdf::StampType type);
    void placeComment(const QPoint &viewPoint);
    QPixmap pagePreviewBase() const;

    QListWidget *m_thumbList = nullptr;
    QScrollArea *m_pageScroll = nullptr;
    QLabel *m_pageLabel = nullptr;
    QLabel *m_statusLabel = nullptr;
    QLabel *m_infoLabel = nullptr;
    QToolButton *m_undoButton = nullptr;
    QWidget *m_stampBar = nullptr;
    QComboBox *m_stampTypeCombo = nullptr;
    QWidget *m_ocrPanel = nullptr;
    QTextEdit *m_ocrText = nullptr;
    QList<QImage> m_pages;
    int m_currentIndex = -1;
    QString m_currentPath;
    QList<QList<QImage>> m_undoStack;
    bool m_cropMode = false;
    bool m_fillSignMode = false;
    bool m_highlightMode = false;
    QPoint m_dragStart;
    QPoint m_dragEnd;
    bool m_dragging = false;
    QList<QPoint> m_signaturePoints;
    bool m_signing = false;
    QColor m_stampColor = Qt::black;
    QListWidget *m_commentsList = nullptr;
    QList<PageComment> m_comments;

    // Scaled copies kept so that an edit re-scales only the pages it changed: the thumbnails by
    // page, and the page view's picture of the page last shown.
    pdf::ThumbnailCache m_thumbnailCache;
    qint64 m_shownPageKey = 0;
    QPixmap m_shownPagePixmap;

    // The last loadPdf ended because the user cancelled the reading: the command that asked
    // stops and leaves the document as it was before it began.
    bool m_readCancelled = false;
};
