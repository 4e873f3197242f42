// mirvale-pdfrender: reads one PDF for the program, in a process of its own, so that a file on
// which the engine hangs or crashes costs this process, never the program and its open document.
// What it is given and what it prints is described in renderprotocol.h.
#include "pagerender.h"
#include "tools/pdf/renderprotocol.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QPdfDocument>

#include <cstdio>
#include <future>
#include <memory>

namespace {

int exitWith(HelperExit code)
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

// A handle argument as a file name this process can open: an inherited descriptor is opened
// afresh through /proc, so that helpers sharing one descriptor do not share its file offset.
QString handlePath(const QString &argument)
{
    const std::optional<int> descriptor = descriptorFromArgument(argument);
    return descriptor ? QStringLiteral("/proc/self/fd/%1").arg(*descriptor) : argument;
}

int tellSizes(QPdfDocument &doc)
{
    const int count = doc.pageCount();
    tell("pages " + QByteArray::number(count));
    for (int page = 0; page < count; ++page) {
        const QSize size = renderPixelSize(doc.pagePointSize(page));
        tell("size " + QByteArray::number(size.width()) + ' ' + QByteArray::number(size.height()));
    }
    return exitWith(HelperExit::Done);
}

// The page's pixels at offset of the page area, then its line. False when they could not be
// written whole.
bool writePage(QFile &area, const QImage &image, qint64 offset)
{
    // Written straight into the area, not through a mapping: a mapping faults in each memory
    // page one by one, which costs more than the copy.
    const qint64 bytes = pageBytes(image.size());
    if (image.sizeInBytes() != bytes || !area.seek(offset)
        || area.write(reinterpret_cast<const char *>(image.constBits()), bytes) != bytes) {
        return false;
    }
    tell("page");
    return true;
}

int renderRange(QPdfDocument &doc, int first, int count, const QString &pagesArgument)
{
    if (first < 0 || count < 1 || first > doc.pageCount() - count) {
        return exitWith(HelperExit::Usage);
    }
    QList<QSize> sizes;
    for (int page = first; page < first + count; ++page) {
        sizes.append(renderPixelSize(doc.pagePointSize(page)));
        if (sizes.last().isEmpty()) {
            return exitWith(HelperExit::NotRendered);
        }
    }
    const PageAreaLayout layout = pageAreaLayout(sizes);
    QFile area(handlePath(pagesArgument));
    // The program sized the area for exactly these pages: any other size is not this document.
    if (!area.open(QIODevice::ReadWrite | QIODevice::Unbuffered) || area.size() != layout.bytes) {
        return exitWith(HelperExit::NotWritten);
    }
    // Each page is written while the next one renders; one write at a time, in page order.
    std::future<bool> writing;
    for (int i = 0; i < count; ++i) {
        const QImage image = renderPdfPage(doc, first + i, kPageDpi);
        if (image.isNull() || image.size() != sizes.at(i)) {
            return exitWith(HelperExit::NotRendered);
        }
        if (writing.valid() && !writing.get()) {
            return exitWith(HelperExit::NotWritten);
        }
        writing = std::async(std::launch::async, [&area, image, offset = layout.offsets.at(i)] {
            return writePage(area, image, offset);
        });
    }
    return exitWith(writing.get() ? HelperExit::Done : HelperExit::NotWritten);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && args.size() != 5) {
        std::fprintf(stderr, "usage: mirvale-pdfrender SOURCE [FIRST COUNT PAGES]\n");
        return exitWith(HelperExit::Usage);
    }
    QPdfDocument doc;
    if (doc.load(handlePath(args.at(1))) != QPdfDocument::Error::None) {
        return exitWith(HelperExit::NotLoaded);
    }
    if (args.size() == 2) {
        return tellSizes(doc);
    }
    const std::optional<int> first = parseProtocolNumber(args.at(2).toLatin1());
    const std::optional<int> count = parseProtocolNumber(args.at(3).toLatin1());
    if (!first || !count) {
        return exitWith(HelperExit::Usage);
    }
    return renderRange(doc, *first, *count, args.at(4));
}
