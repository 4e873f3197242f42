// mirvale-pdfrender: reads one PDF for the program, in a process of its own, so that a file on
// which the engine hangs or crashes costs this process, never the program and its open document.
//
//   mirvale-pdfrender FILE
//       prints "pages N", then "size W H" for every page: its pixel size at 200 dpi, or 0 0 for
//       a page that cannot be rendered.
//   mirvale-pdfrender FILE FIRST COUNT OUTPUT
//       renders pages FIRST to FIRST + COUNT - 1 into the existing file OUTPUT, one after the
//       other from its start, and after each prints "page I W H FORMAT OFFSET BYTESPERLINE".
//
// Exit status 0 when everything was told; anything else, or no exit, is a failure.
#include "tools/pdf/pagerender.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPdfDocument>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <future>

namespace {

enum ExitCode { Done = 0, Usage = 1, NotLoaded = 2, NotRendered = 3, NotWritten = 4 };

// A test-only fault, named in MIRVALE_PDFRENDER_FAULT: "crash-load" or "stall-load" once the
// file is loaded, "stall-render" after the first page rendered. The program's tests use it to
// stand for files on which the engine crashes or never returns.
void injectFault(const char *where)
{
    const QByteArray fault = qgetenv("MIRVALE_PDFRENDER_FAULT");
    if (fault.isEmpty() || !fault.endsWith(where)) {
        return;
    }
    if (fault.startsWith("crash")) {
        std::abort();
    }
    for (;;) {
        QThread::sleep(60);
    }
}

void tell(const QByteArray &line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    // Every line is progress for the program's watchdog, so none may wait in a buffer.
    std::fflush(stdout);
}

int tellSizes(QPdfDocument &doc)
{
    const int count = doc.pageCount();
    tell("pages " + QByteArray::number(count));
    for (int page = 0; page < count; ++page) {
        const QSize size = renderPixelSize(doc.pagePointSize(page), kPageDpi);
        tell("size " + QByteArray::number(size.width()) + ' ' + QByteArray::number(size.height()));
    }
    return Done;
}

// Page page at offset of file, then its line. False when it could not be written whole.
bool writePage(QFile &file, const QImage &image, int page, qint64 offset)
{
    // Written straight into the file, not through a mapping: a mapping faults in each memory
    // page one by one, which costs more than the copy.
    const qint64 bytes = image.sizeInBytes();
    if (offset + bytes > file.size() || !file.seek(offset)
        || file.write(reinterpret_cast<const char *>(image.constBits()), bytes) != bytes) {
        return false;
    }
    tell("page " + QByteArray::number(page) + ' ' + QByteArray::number(image.width()) + ' '
        + QByteArray::number(image.height()) + ' ' + QByteArray::number(int(image.format())) + ' '
        + QByteArray::number(offset) + ' ' + QByteArray::number(image.bytesPerLine()));
    return true;
}

int renderRange(QPdfDocument &doc, int first, int count, const QString &output)
{
    if (first < 0 || count < 1 || first > doc.pageCount() - count) {
        return Usage;
    }
    QFile file(output);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        return NotWritten;
    }
    // Each page is written while the next one renders; one write at a time, in page order.
    std::future<bool> writing;
    qint64 offset = 0;
    for (int page = first; page < first + count; ++page) {
        const QImage image = renderPage(doc, page, kPageDpi);
        if (image.isNull()) {
            return NotRendered;
        }
        if (writing.valid() && !writing.get()) {
            return NotWritten;
        }
        writing = std::async(std::launch::async,
            [&file, image, page, offset] { return writePage(file, image, page, offset); });
        // Each page starts at a multiple of 64 KiB, so that the program can map it whole.
        constexpr qint64 alignment = 64 * 1024;
        offset += (image.sizeInBytes() + alignment - 1) / alignment * alignment;
        injectFault("render");
    }
    return writing.get() ? Done : NotWritten;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && args.size() != 5) {
        std::fprintf(stderr, "usage: mirvale-pdfrender FILE [FIRST COUNT OUTPUT]\n");
        return Usage;
    }
    QPdfDocument doc;
    if (doc.load(args.at(1)) != QPdfDocument::Error::None) {
        return NotLoaded;
    }
    injectFault("load");
    if (args.size() == 2) {
        return tellSizes(doc);
    }
    bool firstOk = false;
    bool countOk = false;
    const int first = args.at(2).toInt(&firstOk);
    const int count = args.at(3).toInt(&countOk);
    if (!firstOk || !countOk) {
        return Usage;
    }
    return renderRange(doc, first, count, args.at(4));
}
