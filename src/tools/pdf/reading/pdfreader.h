#pragma once

#include "renderprotocol.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>

#include <functional>

namespace pdf {

// Reading a PDF into page images. The PDF engine runs in helper processes (mirvale-pdfrender,
// found beside the program), so that a file on which it hangs or crashes costs a helper, never
// the program: a helper that dies, says anything but what renderprotocol.h allows, or works
// longer on a page than the page may take without telling it is ended and the file refused. Long
// documents are rendered in several helpers at once, each a range of pages; a helper the system
// ended for want of memory has its pages read again with fewer helpers at once.

struct PdfReadOptions
{
    // The document the pages join: the limits above count it and the new pages together.
    qsizetype pagesBefore = 0;
    qint64 pixelsBefore = 0;
    // How many helpers at most; 0 for one per core. Never more than there are pages, nor than
    // the memory available can carry.
    int helperCount = 0;
    // How much work (processor time) a helper may do without telling anything. Rendering a page
    // may take this plus a second for every 10 million pixels of the page (a large page takes
    // long in any engine); an ordinary page of real documents takes under a tenth of a second.
    // A helper that waits for a processor, or is stopped with this program, does no work.
    int stallTimeoutMs = 15'000;
    // How long a helper may go doing no work at all and telling nothing (waiting on a file that
    // never answers), counted only while this program itself runs.
    int idleTimeoutMs = 60'000;
};

enum class PdfReadStatus {
    Read,
    // Missing, not a regular file, damaged, password-protected, no pages, no page readable,
    // changed while it was read (noticed within a second), or the engine failed on it.
    NotOpened,
    // The document would go over kMaxPdfPages or kMaxPdfPixels.
    TooLarge,
    // Its page images would not fit in the memory available.
    TooLargeForMemory,
    // One page is larger than a page can be (kMaxRenderSide, kMaxRenderPixels).
    PageTooLarge,
    // A helper worked past its bound, or did nothing past its bound, without telling anything.
    TookTooLong,
    // Even one helper alone was ended for want of memory, or the pages could not be mapped.
    OutOfMemory,
    // The render helper is missing or cannot be started.
    HelperNotStarted,
    // PdfReader::cancel was called.
    Cancelled,
};

struct PdfReadResult
{
    PdfReadStatus status = PdfReadStatus::NotOpened;
    // Every page at kPageDpi in kPageFormat, in the document's order, when read.
    QList<QImage> pages;
    // Pages the engine could not size or render, which came in white (0-based, ascending).
    QList<int> blankPages;
    // PageTooLarge: the first such page (0-based) and its size in pixels.
    int largePage = -1;
    QSize largePageSize;
    // TooLargeForMemory: what the new pages would take, and what was available.
    qint64 bytesNeeded = 0;
    qint64 bytesAvailable = 0;

    bool ok() const { return status == PdfReadStatus::Read; }
};

// Reads one PDF at a time. read() returns once every page is in, or the reading has failed or
// been cancelled; meanwhile the caller's event loop runs (the window keeps painting, timers
// fire), so the caller keeps user input away from whatever the reading must not meet.
class PdfReader : public QObject
{
    Q_OBJECT

public:
    explicit PdfReader(QObject *parent = nullptr);
    ~PdfReader() override;

    // Every page of the PDF at path. Nothing of the reading (processes, page areas, the open
    // file) outlives the call; on failure nothing read is kept, and why the helpers failed is
    // logged.
    PdfReadResult read(const QString &path, const PdfReadOptions &options = {});

public slots:
    // Ends the reading at once: read() returns Cancelled.
    void cancel();

signals:
    // pagesDone of pageCount pages are in; first with 0 once the page count is known.
    void progressed(int pagesDone, int pageCount);
    // One more page is in (the pages come in no set order; read() returns them in order).
    void pageRead(const QImage &page);

private:
    std::function<void()> m_cancel;
};

// PdfReader::read without progress or cancel.
PdfReadResult readPdfPages(const QString &path, const PdfReadOptions &options = {});

// The render helper beside the program.
QString pdfRenderHelperPath();

} // namespace pdf
