#pragma once

#include <QImage>
#include <QList>
#include <QString>

// Reading a PDF into page images. The PDF engine runs in helper processes (mirvale-pdfrender,
// found beside the program), so that a file on which it hangs or crashes costs a helper, never
// the program: a helper that dies, says anything but what renderprotocol.h allows, or tells
// nothing new for stallTimeoutMs is ended and the file refused. Long documents are rendered in
// several helpers at once, each a range of pages. While reading, the caller's window keeps
// painting; user input waits until the reading is over.

// The most one document may hold. Every page is held as a 200 dpi raster, so a file of a few
// hundred bytes whose page tree shares its branches (claiming millions of pages) would otherwise
// fill the memory. 2^31 pixels are 8 GiB, some 570 Letter pages.
constexpr int kMaxPdfPages = 5000;
constexpr qint64 kMaxPdfPixels = qint64(1) << 31;

struct PdfReadOptions
{
    // The document the pages join: the limits above count it and the new pages together.
    qsizetype pagesBefore = 0;
    qint64 pixelsBefore = 0;
    // How many helpers at most; 0 for one per core. Never more than there are pages.
    int helperCount = 0;
    // The slowest page of real documents measured took under 0.1 s: 15 s leaves room for slow
    // machines and heavy pages.
    int stallTimeoutMs = 15'000;
};

enum class PdfReadStatus {
    Read,
    // Missing, not a regular file, damaged, password-protected, no pages, changed while it was
    // read, or the engine failed on it.
    NotOpened,
    // The document would go over kMaxPdfPages or kMaxPdfPixels.
    TooLarge,
    // The render helper is missing or cannot be started.
    HelperNotStarted,
};

struct PdfReadResult
{
    PdfReadStatus status = PdfReadStatus::NotOpened;
    QList<QImage> pages; // every page at kPageDpi in the document's order, when read

    bool ok() const { return status == PdfReadStatus::Read; }
};

// Every page of the PDF at path rendered at kPageDpi, in kPageFormat. Nothing of the reading
// (processes, page areas, the open file) outlives the call; on failure nothing read is kept,
// and why the helpers failed is logged.
PdfReadResult readPdfPages(const QString &path, const PdfReadOptions &options = {});

// The render helper beside the program.
QString pdfRenderHelperPath();
