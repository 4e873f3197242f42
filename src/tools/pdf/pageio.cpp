#include "pageio.h"

#include "common/atomicwrite.h"

#include "pageoperations.h"

#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/mman.h>
#include <sys/resource.h>
#endif

namespace {
QString tr(const char *text)
{
    return QCoreApplication::translate("PageIo", text);
}

// A helper may take this much address space: room for the engine and the largest page twice
// over (kMaxRenderPixels at 4 bytes), so that only files asking for absurd memory fail there.
constexpr qint64 kHelperAddressSpace = qint64(4) << 30;

void boundAddressSpace(QProcess &process)
{
#if defined(Q_OS_UNIX) && !defined(MIRVALE_NO_ADDRESS_LIMIT)
    process.setChildProcessModifier([] {
        const rlimit limit { rlim_t(kHelperAddressSpace), rlim_t(kHelperAddressSpace) };
        setrlimit(RLIMIT_AS, &limit);
    });
#else
    Q_UNUSED(process);
#endif
}

// Where the pages pass from the helpers to the program: memory-backed /dev/shm where there is
// one (writing the pages to a file on disk costs more than rendering them), else the temporary
// folder. The name holds the process id, so each process knows its own.
QString pageFileTemplate()
{
    QString folder = QDir::tempPath();
#ifdef Q_OS_LINUX
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    if (shm.isDir() && shm.isWritable()) {
        folder = shm.filePath();
    }
#endif
    return QDir(folder).filePath(
        QStringLiteral("mirvale-pages-%1-XXXXXX").arg(QCoreApplication::applicationPid()));
}

// One helper process and what becomes of the lines it prints.
struct HelperJob
{
    QStringList arguments;
    // False ends the whole reading as failed.
    std::function<bool(const QByteArray &)> takeLine;
};

// Runs every job's helper at once and waits until all have ended. The caller's window keeps
// painting meanwhile, but takes no user input, so nothing re-enters the page. True when every
// helper ended by itself with status 0 and every line it printed was taken. A helper that prints
// nothing for stallTimeoutMs, dies or says something unexpected fails the run; then every helper
// is ended, and all have been waited for when this returns.
bool runHelpers(const QString &program, const QList<HelperJob> &jobs, int stallTimeoutMs)
{
    QEventLoop loop;
    bool failed = false;
    qsizetype running = jobs.size();
    const auto fail = [&failed, &loop] {
        failed = true;
        loop.quit();
    };
    QList<QProcess *> processes;
    for (const HelperJob &job : jobs) {
        auto *process = new QProcess(&loop);
        processes.append(process);
        auto *watchdog = new QTimer(process);
        watchdog->setSingleShot(true);
        watchdog->setInterval(stallTimeoutMs);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        boundAddressSpace(*process);
        const auto takeLines = [&failed, &job, process, watchdog, fail] {
            while (!failed && process->canReadLine()) {
                watchdog->start();
                if (!job.takeLine(process->readLine().trimmed())) {
                    fail();
                }
            }
        };
        QObject::connect(watchdog, &QTimer::timeout, &loop, fail);
        QObject::connect(process, &QProcess::readyReadStandardOutput, &loop, takeLines);
        QObject::connect(process, &QProcess::finished, &loop,
            [&running, &loop, process, watchdog, takeLines, fail](
                int code, QProcess::ExitStatus status) {
                takeLines();
                // Done is no stall, however long the others take.
                watchdog->stop();
                // A line cut short is a helper that did not finish what it was saying.
                if (status != QProcess::NormalExit || code != 0 || process->bytesAvailable() > 0) {
                    fail();
                } else if (--running == 0) {
                    loop.quit();
                }
            });
        QObject::connect(
            process, &QProcess::errorOccurred, &loop, [fail](QProcess::ProcessError e) {
                if (e == QProcess::FailedToStart) {
                    fail();
                }
            });
        process->start(program, job.arguments, QIODevice::ReadOnly);
        watchdog->start();
    }
    if (!failed && running > 0) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    for (QProcess *process : std::as_const(processes)) {
        QObject::disconnect(process, nullptr, &loop, nullptr);
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(-1);
        }
    }
    return !failed;
}

// The first helper's report: the page count, then each page's pixel size.
struct PageSizes
{
    qsizetype pagesLeft = 0;
    qint64 pixelsLeft = 0;
    qsizetype count = -1;
    QList<QSize> sizes;
    qint64 pixels = 0;
    bool tooLarge = false;

    bool isComplete() const { return count > 0 && sizes.size() == count; }

    bool take(const QByteArray &line)
    {
        const QList<QByteArray> words = line.split(' ');
        bool numbers = true;
        if (count < 0) {
            if (words.size() != 2 || words.at(0) != "pages") {
                return false;
            }
            count = words.at(1).toInt(&numbers);
            // A document of no pages has nothing to open.
            if (!numbers || count < 1) {
                return false;
            }
            tooLarge = count > pagesLeft;
            return !tooLarge;
        }
        if (words.size() != 3 || words.at(0) != "size" || sizes.size() >= count) {
            return false;
        }
        const QSize size(words.at(1).toInt(), words.at(2).toInt());
        // An empty size is a page that cannot be rendered.
        if (size.isEmpty() || qint64(size.width()) * size.height() > kMaxRenderPixels) {
            return false;
        }
        pixels += qint64(size.width()) * size.height();
        tooLarge = pixels > pixelsLeft;
        sizes.append(size);
        return !tooLarge;
    }
};

// Page images are laid out in a page file at multiples of this, so that each can be mapped
// whole (mappings start at a multiple of the memory page size, or on Windows of 64 KiB).
constexpr qint64 kPageFileAlignment = 64 * 1024;

qint64 alignedPageBytes(const QSize &size)
{
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
    return (bytes + kPageFileAlignment - 1) / kPageFileAlignment * kPageFileAlignment;
}

// The page image at offset of file. On Unix it is the file's memory itself, mapped privately
// (an edit copies the memory page it changes): no copy, and the file's name can go at once.
// Elsewhere the pixels are read into an image of their own.
QImage pageFromFile(QFile &file, qint64 offset, const QSize &size, QImage::Format format)
{
    const qint64 bytes = qint64(size.width()) * size.height() * 4;
#ifdef Q_OS_UNIX
    void *memory =
        mmap(nullptr, size_t(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE, file.handle(), offset);
    if (memory == MAP_FAILED) {
        return {};
    }
    const auto unmap = [](void *info) {
        const auto *mapping = static_cast<std::pair<void *, size_t> *>(info);
        munmap(mapping->first, mapping->second);
        delete mapping;
    };
    return QImage(static_cast<uchar *>(memory), size.width(), size.height(), size.width() * 4,
        format, unmap, new std::pair<void *, size_t>(memory, size_t(bytes)));
#else
    QImage image(size, format);
    if (image.isNull() || !file.seek(offset)
        || file.read(reinterpret_cast<char *>(image.bits()), bytes) != bytes) {
        return {};
    }
    return image;
#endif
}

// A render helper's "page I W H FORMAT OFFSET BYTESPERLINE": page I, of the helper's range
// [first, end), lies in output at OFFSET. Its pixels are copied once into pages[I].
bool takePage(const QByteArray &line, int first, int end, const QList<QSize> &sizes, QFile &output,
    QList<QImage> &pages)
{
    const QList<QByteArray> words = line.split(' ');
    if (words.size() != 7 || words.at(0) != "page") {
        return false;
    }
    const int page = words.at(1).toInt();
    const QSize size(words.at(2).toInt(), words.at(3).toInt());
    const int format = words.at(4).toInt();
    const qint64 offset = words.at(5).toLongLong();
    const qint64 bytesPerLine = words.at(6).toLongLong();
    if (page < first || page >= end || !pages.at(page).isNull() || size != sizes.at(page)
        || format <= QImage::Format_Invalid || format >= QImage::NImageFormats || offset < 0) {
        return false;
    }
    // Checked on a null image of the size: it allocates nothing.
    const qint64 bytes = QImage(1, 1, QImage::Format(format)).bytesPerLine() >= 4
        ? qint64(size.width()) * 4 * size.height()
        : -1;
    if (bytesPerLine != qint64(size.width()) * 4 || bytes < 0 || offset % kPageFileAlignment != 0
        || offset + bytes > output.size()) {
        return false;
    }
    const QImage image = pageFromFile(output, offset, size, QImage::Format(format));
    if (image.isNull()) {
        return false;
    }
    pages[page] = image;
    return true;
}

} // namespace

PdfReadResult readPdfPages(const QString &path, const PdfReadOptions &options)
{
    PdfReadResult result;
    // A folder, a device or a pipe is no document (and opening a pipe waits for a writer).
    if (!QFileInfo(path).isFile()) {
        return result;
    }
    const QString helper =
        options.helperPath.isEmpty() ? pdfRenderHelperPath() : options.helperPath;

    // Sizes first: a document too large to hold is refused before any page is rendered.
    PageSizes sizes;
    sizes.pagesLeft = kMaxPdfPages - options.pagesBefore;
    sizes.pixelsLeft = kMaxPdfPixels - options.pixelsBefore;
    const QList<HelperJob> sizeJob { { { path }, [&sizes](const QByteArray &line) {
                                          return sizes.take(line);
                                      } } };
    if (!runHelpers(helper, sizeJob, options.stallTimeoutMs) || !sizes.isComplete()) {
        result.tooLarge = sizes.tooLarge;
        return result;
    }

    // The engine does one thing at a time in a process, so a long document is rendered in
    // several helpers at once, each a range of pages into a file of its own.
    const qsizetype count = sizes.sizes.size();
    const int wanted = options.helperCount > 0 ? options.helperCount : QThread::idealThreadCount();
    const int helpers = int(std::clamp<qsizetype>(wanted, 1, count));
    QList<QImage> pages(count);
    std::vector<std::unique_ptr<QTemporaryFile>> files;
    QList<HelperJob> jobs;
    for (int part = 0; part < helpers; ++part) {
        const int first = int(count * part / helpers);
        const int end = int(count * (part + 1) / helpers);
        qint64 bytes = 0;
        for (int page = first; page < end; ++page) {
            bytes += alignedPageBytes(sizes.sizes.at(page));
        }
        auto file = std::make_unique<QTemporaryFile>(pageFileTemplate());
        if (!file->open() || !file->resize(bytes)) {
            return result;
        }
        QTemporaryFile *output = file.get();
        files.push_back(std::move(file));
        jobs.append(
            { { path, QString::number(first), QString::number(end - first), output->fileName() },
                [&pages, &sizes, output, first, end](const QByteArray &line) {
                    return takePage(line, first, end, sizes.sizes, *output, pages);
                } });
    }
    if (!runHelpers(helper, jobs, options.stallTimeoutMs)) {
        return result;
    }
    for (const QImage &page : std::as_const(pages)) {
        if (page.isNull()) {
            return result;
        }
    }
    result.ok = true;
    result.pages = pages;
    return result;
}

QString pdfRenderHelperPath()
{
    const QString fromBuild = qEnvironmentVariable("MIRVALE_PDFRENDER");
    if (!fromBuild.isEmpty()) {
        return fromBuild;
    }
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("mirvale-pdfrender.exe");
#else
    const QString name = QStringLiteral("mirvale-pdfrender");
#endif
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

QImage readPageImage(const QString &path)
{
    return toPaintableFormat(QImage(path));
}

QSizeF pagePointSize(const QSize &pixelSize)
{
    return QSizeF(pixelSize.width() * 72.0 / kPageDpi, pixelSize.height() * 72.0 / kPageDpi);
}

QPageSize writerPageSize(const QSize &pixelSize)
{
    return QPageSize(pagePointSize(pixelSize), QPageSize::Point, QString(), QPageSize::FuzzyMatch);
}

QByteArray paintPdf(const QList<QImage> &pages)
{
    if (pages.isEmpty()) {
        return {};
    }
    for (const QImage &page : pages) {
        if (page.isNull()) {
            return {};
        }
    }

    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)) {
        return {};
    }
    QPdfWriter writer(&buffer);
    writer.setResolution(int(kPageDpi));

    QPainter painter;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const QImage &page = pages.at(i);
        // Size and margins are set before the page begins: they apply from the next page on.
        // No margins: the image covers its whole page, so a page opened and saved again keeps
        // its size and its content keeps its scale, however often that is done.
        if (!writer.setPageSize(writerPageSize(page.size()))
            || !writer.setPageMargins(QMarginsF(), QPageLayout::Point)) {
            return {};
        }
        const bool begun = i == 0 ? painter.begin(&writer) : writer.newPage();
        if (!begun) {
            return {};
        }
        painter.drawImage(QRect(0, 0, writer.width(), writer.height()), page);
    }
    if (!painter.end()) {
        return {};
    }
    return bytes;
}

bool writePagesAsPdf(const QList<QImage> &pages, const QString &path, QString *errorString)
{
    if (pages.isEmpty()) {
        return reportFailure(errorString, tr("There are no pages to write."));
    }
    // Painted in memory first: the PDF writer drops whatever follows a short write to a file
    // without telling anyone, so only a complete document may reach the disk.
    const QByteArray bytes = paintPdf(pages);
    if (bytes.isEmpty()) {
        return reportFailure(errorString, tr("The pages could not be made into a PDF."));
    }
    return writeFileAtomically(path, bytes, errorString);
}
