// mirvale-pdfrender: reads one PDF for the program, in a process of its own, so that a file on
// which the engine hangs or crashes costs this process, never the program and its open document.
// What it is given and what it prints is described in renderprotocol.h.
#include "confinement.h"
#include "pagerender.h"
#include "tools/pdf/reading/renderprotocol.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPdfDocument>

#include <algorithm>
#include <cstdio>
#include <future>
#include <memory>

namespace {

int exitWith(pdf::HelperExit code)
{
    return int(code);
}

void tell(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    // Every line is progress for the program's watchdog, so none may wait in a buffer.
    std::fflush(stdout);
}

// A file the program hands over: on Linux and Windows an inherited descriptor or handle, which is
// used as it is (this process opens nothing by name once it is confined); elsewhere a path.
bool openHandle(QFile &file, const QString &argument, QIODevice::OpenMode mode)
{
    const std::optional<int> number = pdf::descriptorFromArgument(argument);
    if (!number) {
        file.setFileName(argument);
        return file.open(mode);
    }
    const int descriptor =
        pdf::helper::adoptInherited(*number, mode.testFlag(QIODevice::WriteOnly));
    return descriptor >= 0 && file.open(descriptor, mode, QFileDevice::AutoCloseHandle);
}

// Tells a page count, at most the largest number the protocol carries: anything above is more
// than the program takes anyway.
void tellPageCount(qint64 count)
{
    tell("pages " + QByteArray::number(std::min<qint64>(count, pdf::kMaxProtocolNumber)));
}

int tellSizes(QPdfDocument &doc)
{
    const int count = doc.pageCount();
    tellPageCount(count);
    // More pages than a document may hold: the program refuses it without their sizes.
    if (count > pdf::kMaxPdfPages) {
        return exitWith(pdf::HelperExit::Done);
    }
    for (int page = 0; page < count; ++page) {
        const QSize size = pdf::renderPixelSize(doc.pagePointSize(page));
        const QSize told = size.isEmpty() ? QSize(0, 0) : size;
        tell("size " + QByteArray::number(told.width()) + ' ' + QByteArray::number(told.height()));
    }
    return exitWith(pdf::HelperExit::Done);
}

// The page, drawn over white, at offset of the page area; white when the page is null. Written
// a band of rows at a time through a buffer that stays in the cache, so that the white costs no
// pass over the page of its own and even the largest page needs no second image. False when it
// could not be written whole.
bool writePage(QFile &area, const QImage &page, const QSize &size, qint64 offset)
{
    constexpr qint64 kBandBytes = 256 * 1024;
    const qint64 rowBytes = qint64(size.width()) * pdf::kPageBytesPerPixel;
    const int bandRows = int(std::max<qint64>(1, kBandBytes / rowBytes));
    QList<quint32> band(qsizetype(size.width()) * bandRows);
    if (!area.seek(offset)) {
        return false;
    }
    for (int row = 0; row < size.height(); row += bandRows) {
        const int rows = std::min(bandRows, size.height() - row);
        for (int i = 0; i < rows; ++i) {
            pdf::rowOnWhite(page, row + i, size.width(), band.data() + qsizetype(i) * size.width());
        }
        const qint64 bytes = rowBytes * rows;
        if (area.write(reinterpret_cast<const char *>(band.constData()), bytes) != bytes) {
            return false;
        }
    }
    return true;
}

int renderRange(QPdfDocument &doc, int first, int count, const QString &pagesArgument)
{
    if (first < 0 || count < 1 || first > doc.pageCount() - count) {
        return exitWith(pdf::HelperExit::Usage);
    }
    QList<QSize> sizes;
    for (int page = first; page < first + count; ++page) {
        const QSize reported = pdf::renderPixelSize(doc.pagePointSize(page));
        // The program refuses a document with a page too large before it asks for pages.
        if (!reported.isEmpty() && !pdf::isRenderableSize(reported)) {
            return exitWith(pdf::HelperExit::Usage);
        }
        sizes.append(pdf::pageAreaSize(reported));
    }
    const pdf::PageAreaLayout layout = pdf::pageAreaLayout(sizes);
    QFile area;
    // The program sized the area for exactly these pages: any other size is not this document.
    if (!openHandle(area, pagesArgument, QIODevice::ReadWrite | QIODevice::Unbuffered)
        || area.size() != layout.bytes) {
        return exitWith(pdf::HelperExit::NotWritten);
    }
    // Each page is written while the next one renders; one write at a time, in page order, and
    // its line once it is there.
    std::future<bool> writing;
    for (int i = 0; i < count; ++i) {
        const QImage image = pdf::renderPdfPage(doc, first + i, pdf::kPageDpi);
        if (writing.valid() && !writing.get()) {
            return exitWith(pdf::HelperExit::NotWritten);
        }
        const qint64 offset = layout.offsets.at(i);
        const QSize size = sizes.at(i);
        writing = std::async(std::launch::async, [&area, image, offset, size] {
            // A page the engine cannot size or render is a white page.
            const bool rendered = image.size() == size;
            const bool written = writePage(area, rendered ? image : QImage(), size, offset);
            if (written) {
                tell(rendered ? "page" : "blank");
            }
            return written;
        });
    }
    return exitWith(writing.get() ? pdf::HelperExit::Done : pdf::HelperExit::NotWritten);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && args.size() != 5) {
        std::fprintf(stderr, "usage: mirvale-pdfrender SOURCE [FIRST COUNT PAGES]\n");
        return exitWith(pdf::HelperExit::Usage);
    }
    // Before a byte of the file is read: from here on a file that takes over the engine reaches
    // nothing but this process and the two files it was given.
    if (const std::string skipped = pdf::helper::confine(); !skipped.empty()) {
        std::fprintf(
            stderr, "mirvale-pdfrender: reading with less confinement: %s\n", skipped.c_str());
    }
    QFile source;
    QPdfDocument doc;
    if (!openHandle(source, args.at(1), QIODevice::ReadOnly)) {
        return exitWith(pdf::HelperExit::NotLoaded);
    }
    // The engine makes room for every page a page tree claims while it loads the file: a file
    // of a few kilobytes claiming a billion pages would take gigabytes before its page count
    // could be asked for. Such a claim in the file's bytes ends the reading first.
    if (args.size() == 2) {
        const qint64 claimed = pdf::largestCountClaim(source);
        if (claimed > pdf::kMaxCountClaim) {
            tellPageCount(claimed);
            return exitWith(pdf::HelperExit::Done);
        }
    }
    // Judged by the engine's error, not the document's status: a page tree with a page the
    // engine cannot find is a document, whose missing page comes in white.
    doc.load(&source);
    if (doc.error() != QPdfDocument::Error::None) {
        return exitWith(pdf::HelperExit::NotLoaded);
    }
    if (args.size() == 2) {
        return tellSizes(doc);
    }
    const std::optional<int> first = pdf::parseProtocolNumber(args.at(2).toLatin1());
    const std::optional<int> count = pdf::parseProtocolNumber(args.at(3).toLatin1());
    if (!first || !count) {
        return exitWith(pdf::HelperExit::Usage);
    }
    return renderRange(doc, *first, *count, args.at(4));
}
