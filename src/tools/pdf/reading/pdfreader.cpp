#include "pdfreader.h"

#include "renderprotocol.h"

#include "common/availablememory.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#ifdef Q_OS_LINUX
#include <csignal>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pdf {

namespace {

// What a helper printed to its error output that is kept for the log.
constexpr qsizetype kMaxKeptErrorOutput = 4096;

#ifdef Q_OS_LINUX
// A helper may take this much address space: room for the engine and the largest page twice
// over (kMaxRenderPixels at 4 bytes, under 2 GiB), so that only files asking for absurd memory
// fail there.
constexpr rlim_t kHelperAddressSpace = rlim_t(6) << 30;

// A descriptor of this process, closed with its owner.
class Descriptor
{
public:
    Descriptor() = default;
    explicit Descriptor(int fd)
        : m_fd(fd)
    { }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() { reset(-1); }
    void reset(int fd)
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }
    int get() const { return m_fd; }

private:
    int m_fd = -1;
};

bool sameContent(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
        && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}
#endif

// A file as a helper is given it: on Linux a descriptor it inherits, elsewhere an absolute path,
// so that a name starting with "-" is never taken for an option.
struct HelperHandle
{
    int descriptor = -1;
    QString path;

    QString argument() const { return descriptor >= 0 ? descriptorArgument(descriptor) : path; }
};

// The PDF, opened once. On Linux every helper reads this very file through an inherited
// descriptor; elsewhere they get its absolute path. Either way a file that is changed or
// replaced while it is read is refused, so pages of two versions never make one document.
class SourceFile
{
public:
    bool open(const QString &path)
    {
        m_path = path;
#ifdef Q_OS_LINUX
        // Not blocking: opening a pipe would wait for a writer.
        m_fd.reset(::open(
            QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
        return m_fd.get() >= 0 && fstat(m_fd.get(), &m_identity) == 0
            && S_ISREG(m_identity.st_mode);
#else
        const QFileInfo info(path);
        m_absolutePath = info.absoluteFilePath();
        m_size = info.size();
        m_modified = info.lastModified();
        return info.isFile();
#endif
    }

    HelperHandle handle() const
    {
#ifdef Q_OS_LINUX
        return { m_fd.get(), QString() };
#else
        return { -1, m_absolutePath };
#endif
    }

    bool isUnchanged() const
    {
#ifdef Q_OS_LINUX
        struct stat now = {};
        struct stat named = {};
        return fstat(m_fd.get(), &now) == 0 && sameContent(now, m_identity)
            && stat(QFile::encodeName(m_path).constData(), &named) == 0
            && sameContent(named, m_identity);
#else
        const QFileInfo info(m_absolutePath);
        return info.isFile() && info.size() == m_size && info.lastModified() == m_modified;
#endif
    }

private:
    QString m_path;
#ifdef Q_OS_LINUX
    Descriptor m_fd;
    struct stat m_identity
    {
    };
#else
    QString m_absolutePath;
    qint64 m_size = 0;
    QDateTime m_modified;
#endif
};

#ifdef Q_OS_LINUX
struct Mapping
{
    void *address;
    size_t length;
};

void unmapPage(void *info)
{
    const auto *mapping = static_cast<Mapping *>(info);
    munmap(mapping->address, mapping->length);
    delete mapping;
}
#endif

// Where one helper puts its pages. On Linux an anonymous memory file, sized here and sealed at
// that size before the helper starts: it has no name to leave behind, no file system limits it,
// and since it can never shrink, a mapped page never loses its memory. Elsewhere a file in the
// temporary folder, read back (never mapped) once its size is checked.
class PageArea
{
public:
    explicit PageArea(const QList<QSize> &sizes)
        : m_sizes(sizes)
        , m_layout(pageAreaLayout(sizes))
    { }

    bool create()
    {
#ifdef Q_OS_LINUX
        m_fd.reset(memfd_create("mirvale-pages", MFD_CLOEXEC | MFD_ALLOW_SEALING));
        return m_fd.get() >= 0 && ftruncate(m_fd.get(), off_t(m_layout.bytes)) == 0
            && fcntl(m_fd.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) == 0;
#else
        m_file = std::make_unique<QTemporaryFile>(
            QDir(QDir::tempPath()).filePath(QStringLiteral("mirvale-pages-XXXXXX")));
        return m_file->open() && m_file->resize(m_layout.bytes);
#endif
    }

    qint64 bytes() const
    {
        return m_layout.bytes;
    }

    HelperHandle handle() const
    {
#ifdef Q_OS_LINUX
        return { m_fd.get(), QString() };
#else
        return { -1, QFileInfo(m_file->fileName()).absoluteFilePath() };
#endif
    }

    // Page i of the area as an image in kPageFormat; null when it cannot be had. On Linux it is
    // the area's memory itself, mapped privately (an edit copies only the memory pages it
    // changes), and stays valid after the area is closed.
    QImage page(int i) const
    {
        const QSize size = m_sizes.at(i);
        const qint64 offset = m_layout.offsets.at(i);
        const qint64 bytes = pageBytes(size);
#ifdef Q_OS_LINUX
        void *address = mmap(
            nullptr, size_t(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE, m_fd.get(), off_t(offset));
        if (address == MAP_FAILED) {
            return {};
        }
        auto *mapping = new Mapping { address, size_t(bytes) };
        QImage image(static_cast<uchar *>(address), size.width(), size.height(),
            qsizetype(size.width()) * kPageBytesPerPixel, kPageFormat, unmapPage, mapping);
        if (image.isNull()) {
            unmapPage(mapping);
        }
        return image;
#else
        QImage image(size, kPageFormat);
        if (image.isNull() || image.sizeInBytes() != bytes || m_file->size() != m_layout.bytes
            || !m_file->seek(offset)
            || m_file->read(reinterpret_cast<char *>(image.bits()), bytes) != bytes) {
            return {};
        }
        return image;
#endif
    }

private:
    QList<QSize> m_sizes;
    PageAreaLayout m_layout;
#ifdef Q_OS_LINUX
    Descriptor m_fd;
#else
    std::unique_ptr<QTemporaryFile> m_file;
#endif
};

// Makes a helper inherit descriptors (nothing else of this process's) and, on Linux, die with
// this process, go first when memory runs out, never gain privileges and keep to a bounded
// address space.
void prepareChild(QProcess &process, const QList<int> &inherited)
{
#ifdef Q_OS_LINUX
    const pid_t parent = getpid();
    process.setChildProcessModifier([inherited, parent] {
        // Between fork and exec: only calls that are safe there.
        for (const int fd : inherited) {
            fcntl(fd, F_SETFD, 0);
        }
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127); // the program died before the line above took effect
        }
        prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
        const int adjust = open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC);
        if (adjust >= 0) {
            [[maybe_unused]] const ssize_t written = write(adjust, "1000", 4);
            close(adjust);
        }
#ifndef MIRVALE_NO_ADDRESS_LIMIT
        const rlimit limit { kHelperAddressSpace, kHelperAddressSpace };
        setrlimit(RLIMIT_AS, &limit);
#endif
    });
#else
    Q_UNUSED(process);
    Q_UNUSED(inherited);
#endif
}

enum class LineVerdict { Taken, Refused, Enough };

// One helper process and what becomes of the lines it prints.
struct HelperJob
{
    QStringList arguments;
    QList<int> inherited;
    // Whether the line is one the protocol allows here; Enough ends the run as stopped.
    std::function<LineVerdict(const QByteArray &)> takeLine;
    // Once it exited with Done: whether it told everything it had to.
    std::function<bool()> isComplete;
    // How long it may take to tell the next line, in milliseconds.
    std::function<int()> patience;
};

enum class RunOutcome { Done, Failed, NotStarted, Cancelled, Stopped };

// Runs every job's helper at once and waits until all have ended, running the caller's event
// loop meanwhile. A helper that prints nothing for its patience, dies, ends with a status other
// than Done, prints a line the job refuses or a line longer than the protocol allows fails the
// run: then every helper is ended, why is logged with what the helper printed to its error
// output, and all have been waited for when this returns. A line the job has had enough with
// stops the run the same way, unlogged; while it runs, *cancel ends it as cancelled.
RunOutcome runHelpers(const QString &program, const QList<HelperJob> &jobs, const QString &document,
    std::function<void()> *cancel)
{
    struct Helper
    {
        QProcess *process = nullptr;
        QTimer *watchdog = nullptr;
        QByteArray pending; // output after its last complete line
        QByteArray errorOutput;
    };
    std::vector<Helper> helpers(size_t(jobs.size()));
    QEventLoop loop;
    RunOutcome outcome = RunOutcome::Done;
    QString reason;
    size_t failedHelper = 0;
    qsizetype running = jobs.size();
    const auto fail = [&](size_t i, RunOutcome why, const QString &what) {
        if (outcome == RunOutcome::Done) {
            outcome = why;
            reason = what;
            failedHelper = i;
        }
        loop.quit();
    };
    *cancel = [&fail] {
        fail(0, RunOutcome::Cancelled, QString());
    };
    const auto cancelDone = qScopeGuard([cancel] { *cancel = {}; });
    const auto keepErrorOutput = [&helpers](size_t i) {
        Helper &helper = helpers[i];
        const QByteArray output = helper.process->readAllStandardError();
        helper.errorOutput.append(output.left(kMaxKeptErrorOutput - helper.errorOutput.size()));
    };
    const auto waitForNextLine = [&helpers, &jobs](size_t i) {
        helpers[i].watchdog->start(jobs.at(qsizetype(i)).patience());
    };
    const auto takeOutput = [&](size_t i) {
        Helper &helper = helpers[i];
        helper.pending.append(helper.process->readAllStandardOutput());
        qsizetype start = 0;
        for (qsizetype end = 0;
             outcome == RunOutcome::Done && (end = helper.pending.indexOf('\n', start)) >= 0;
             start = end + 1) {
            const QByteArray line = helper.pending.mid(start, end - start);
            const LineVerdict verdict = line.size() > kMaxLineLength
                ? LineVerdict::Refused
                : jobs.at(qsizetype(i)).takeLine(line);
            if (line.size() > kMaxLineLength) {
                fail(i, RunOutcome::Failed, QStringLiteral("a line too long"));
            } else if (verdict == LineVerdict::Refused) {
                fail(i, RunOutcome::Failed,
                    QStringLiteral("an unexpected line: ")
                        + QString::fromLatin1(line.toPercentEncoding(" ")));
            } else if (verdict == LineVerdict::Enough) {
                fail(i, RunOutcome::Stopped, QString());
            } else {
                waitForNextLine(i);
            }
        }
        helper.pending.remove(0, start);
        if (helper.pending.size() > kMaxLineLength) {
            fail(i, RunOutcome::Failed, QStringLiteral("a line too long"));
        }
    };
    const auto finish = [&](size_t i, int code, QProcess::ExitStatus status) {
        takeOutput(i);
        // Done is no stall, however long the others take.
        helpers[i].watchdog->stop();
        if (status != QProcess::NormalExit) {
            fail(i, RunOutcome::Failed, QStringLiteral("it crashed"));
        } else if (code != int(HelperExit::Done)) {
            fail(i, RunOutcome::Failed, describeHelperExit(code));
        } else if (!helpers[i].pending.isEmpty()) {
            // A line cut short is a helper that did not finish what it was saying.
            fail(i, RunOutcome::Failed, QStringLiteral("its last line cut short"));
        } else if (!jobs.at(qsizetype(i)).isComplete()) {
            fail(i, RunOutcome::Failed, QStringLiteral("it ended before telling everything"));
        } else if (--running == 0) {
            loop.quit();
        }
    };

    for (size_t i = 0; i < helpers.size() && outcome == RunOutcome::Done; ++i) {
        const HelperJob &job = jobs.at(qsizetype(i));
        Helper &helper = helpers[i];
        helper.process = new QProcess(&loop);
        helper.watchdog = new QTimer(helper.process);
        helper.watchdog->setSingleShot(true);
        prepareChild(*helper.process, job.inherited);
        QObject::connect(helper.process, &QProcess::readyReadStandardOutput, &loop,
            [&takeOutput, i] { takeOutput(i); });
        QObject::connect(helper.process, &QProcess::readyReadStandardError, &loop,
            [&keepErrorOutput, i] { keepErrorOutput(i); });
        QObject::connect(helper.process, &QProcess::finished, &loop,
            [&finish, i](int code, QProcess::ExitStatus status) { finish(i, code, status); });
        QObject::connect(helper.process, &QProcess::errorOccurred, &loop,
            [&fail, &helper, i](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart) {
                    fail(i, RunOutcome::NotStarted, helper.process->errorString());
                }
            });
        QObject::connect(helper.watchdog, &QTimer::timeout, &loop, [&fail, &helper, i] {
            fail(i, RunOutcome::Failed,
                QStringLiteral("nothing told for %1 ms").arg(helper.watchdog->interval()));
        });
        helper.process->start(program, job.arguments, QIODevice::ReadOnly);
        waitForNextLine(i);
    }
    if (outcome == RunOutcome::Done && running > 0) {
        loop.exec();
    }
    for (const Helper &helper : helpers) {
        if (!helper.process) {
            continue;
        }
        QObject::disconnect(helper.process, nullptr, &loop, nullptr);
        if (helper.process->state() != QProcess::NotRunning) {
            helper.process->kill();
            helper.process->waitForFinished(-1);
        }
    }
    if (outcome == RunOutcome::Failed || outcome == RunOutcome::NotStarted) {
        keepErrorOutput(failedHelper);
        const QByteArray printed = helpers[failedHelper].errorOutput.trimmed();
        qWarning().noquote() << QStringLiteral("%1 could not read %2: %3%4")
                                    .arg(QDir::toNativeSeparators(program),
                                        QDir::toNativeSeparators(document), reason,
                                        printed.isEmpty() ? QString()
                                                          : QStringLiteral("; it printed: ")
                                                + QString::fromLocal8Bit(printed));
    }
    return outcome;
}

// The size pass: the page count, then each page's pixel size, checked against the limits for
// the document the pages join as they come.
class PageSizes
{
public:
    PageSizes(qsizetype pagesLeft, qint64 pixelsLeft)
        : m_pagesLeft(pagesLeft)
        , m_pixelsLeft(pixelsLeft)
    { }

    // The pages' sizes in the page area (pageAreaSize).
    const QList<QSize> &sizes() const { return m_sizes; }
    qint64 pixels() const { return m_pixels; }
    bool isComplete() const { return m_count > 0 && m_sizes.size() == m_count; }
    bool isTooLarge() const { return m_pixels > m_pixelsLeft || m_count > m_pagesLeft; }
    // The first page too large to be a page, and its size.
    int largePage() const { return m_largePage; }
    QSize largePageSize() const { return m_largePageSize; }

    // Enough once the document is known to be too large.
    LineVerdict take(const QByteArray &line)
    {
        const QList<QByteArray> words = line.split(' ');
        if (m_count < 0) {
            const std::optional<int> count = words.size() == 2 && words.at(0) == "pages"
                ? parseProtocolNumber(words.at(1))
                : std::nullopt;
            // A document of no pages has nothing to open.
            if (!count || *count < 1) {
                return LineVerdict::Refused;
            }
            m_count = *count;
            return isTooLarge() ? LineVerdict::Enough : LineVerdict::Taken;
        }
        if (words.size() != 3 || words.at(0) != "size" || m_sizes.size() >= m_count) {
            return LineVerdict::Refused;
        }
        const std::optional<int> width = parseProtocolNumber(words.at(1));
        const std::optional<int> height = parseProtocolNumber(words.at(2));
        if (!width || !height) {
            return LineVerdict::Refused;
        }
        const QSize reported(*width, *height);
        if (!reported.isEmpty() && !isRenderableSize(reported)) {
            m_largePage = int(m_sizes.size());
            m_largePageSize = reported;
            return LineVerdict::Enough;
        }
        m_sizes.append(pageAreaSize(reported));
        m_pixels += qint64(m_sizes.last().width()) * m_sizes.last().height();
        return isTooLarge() ? LineVerdict::Enough : LineVerdict::Taken;
    }

private:
    qsizetype m_pagesLeft;
    qint64 m_pixelsLeft;
    qsizetype m_count = -1;
    QList<QSize> m_sizes;
    qint64 m_pixels = 0;
    int m_largePage = -1;
    QSize m_largePageSize;
};

// How long a helper may take to render a page of size: the base, and a second for every 10
// million pixels.
int renderPatience(int baseMs, const QSize &size)
{
    const qint64 pixels = qint64(size.width()) * size.height();
    return int(std::min<qint64>(baseMs + pixels / 10'000, std::numeric_limits<int>::max()));
}

} // namespace

PdfReader::PdfReader(QObject *parent)
    : QObject(parent)
{ }

PdfReader::~PdfReader() = default;

void PdfReader::cancel()
{
    if (m_cancel) {
        m_cancel();
    }
}

PdfReadResult PdfReader::read(const QString &path, const PdfReadOptions &options)
{
    PdfReadResult result;
    SourceFile source;
    if (!source.open(path)) {
        return result;
    }
    const QString helper = pdfRenderHelperPath();
    const auto failed = [&result](RunOutcome outcome) {
        if (outcome == RunOutcome::NotStarted) {
            result.status = PdfReadStatus::HelperNotStarted;
        } else if (outcome == RunOutcome::Cancelled) {
            result.status = PdfReadStatus::Cancelled;
        }
        return result;
    };

    // Sizes first: a document too large to hold is refused before any page is rendered.
    PageSizes sizes(kMaxPdfPages - options.pagesBefore, kMaxPdfPixels - options.pixelsBefore);
    const HelperHandle input = source.handle();
    const HelperJob sizeJob { { input.argument() }, { input.descriptor },
        [&sizes](const QByteArray &line) { return sizes.take(line); },
        [&sizes] { return sizes.isComplete(); },
        [&options] {
            return options.stallTimeoutMs;
        } };
    const RunOutcome told = runHelpers(helper, { sizeJob }, path, &m_cancel);
    if (told == RunOutcome::Cancelled || told == RunOutcome::Failed
        || told == RunOutcome::NotStarted) {
        return failed(told);
    }
    if (sizes.largePage() >= 0) {
        result.status = PdfReadStatus::PageTooLarge;
        result.largePage = sizes.largePage();
        result.largePageSize = sizes.largePageSize();
        return result;
    }
    if (sizes.isTooLarge()) {
        result.status = PdfReadStatus::TooLarge;
        return result;
    }
    // What the machine can give now: the pages are held in memory for as long as they are open.
    const qint64 bytes = sizes.pixels() * kPageBytesPerPixel;
    if (const std::optional<qint64> available = availableMemoryBytes();
        available && bytes > *available) {
        result.status = PdfReadStatus::TooLargeForMemory;
        result.bytesNeeded = bytes;
        result.bytesAvailable = *available;
        return result;
    }

    // The engine does one thing at a time in a process, so a long document is rendered in
    // several helpers at once, each a range of pages into an area of its own.
    const int count = int(sizes.sizes().size());
    const int wanted = options.helperCount > 0 ? options.helperCount : QThread::idealThreadCount();
    const int helpers = std::clamp(wanted, 1, count);
    QList<QImage> pages(count);
    QList<bool> blank(count, false);
    int pagesDone = 0;
    emit progressed(0, count);
    std::vector<std::unique_ptr<PageArea>> areas;
    std::vector<int> pagesTold(size_t(helpers), 0);
    QList<HelperJob> jobs;
    for (int part = 0; part < helpers; ++part) {
        const int first = count * part / helpers;
        const int end = count * (part + 1) / helpers;
        areas.push_back(std::make_unique<PageArea>(sizes.sizes().mid(first, end - first)));
        const PageArea *area = areas.back().get();
        if (!areas.back()->create()) {
            qWarning("Could not make a page area of %lld bytes", area->bytes());
            return result;
        }
        int *done = &pagesTold[size_t(part)];
        const HelperHandle output = area->handle();
        jobs.append({ { input.argument(), QString::number(first), QString::number(end - first),
                          output.argument() },
            { input.descriptor, output.descriptor },
            [this, &pages, &blank, &pagesDone, count, area, first, end, done](
                const QByteArray &line) {
                const int page = first + *done;
                if ((line != "page" && line != "blank") || page >= end) {
                    return LineVerdict::Refused;
                }
                pages[page] = area->page(*done);
                if (pages.at(page).isNull()) {
                    return LineVerdict::Refused;
                }
                blank[page] = line == "blank";
                ++*done;
                emit pageRead(pages.at(page));
                emit progressed(++pagesDone, count);
                return LineVerdict::Taken;
            },
            [first, end, done] { return first + *done == end; },
            [&options, &sizes, first, end, done] {
                return renderPatience(
                    options.stallTimeoutMs, sizes.sizes().at(std::min(first + *done, end - 1)));
            } });
    }
    const RunOutcome rendered = runHelpers(helper, jobs, path, &m_cancel);
    if (rendered != RunOutcome::Done) {
        return failed(rendered);
    }
    if (!source.isUnchanged()) {
        qWarning().noquote()
            << QStringLiteral("%1 changed while it was read").arg(QDir::toNativeSeparators(path));
        return result;
    }
    for (int page = 0; page < count; ++page) {
        if (blank.at(page)) {
            result.blankPages.append(page);
        }
    }
    // A document of nothing but white pages is a document that could not be read.
    if (result.blankPages.size() == count) {
        qWarning().noquote() << QStringLiteral("No page of %1 could be rendered")
                                    .arg(QDir::toNativeSeparators(path));
        result.blankPages.clear();
        return result;
    }
    result.status = PdfReadStatus::Read;
    result.pages = pages;
    return result;
}

PdfReadResult readPdfPages(const QString &path, const PdfReadOptions &options)
{
    PdfReader reader;
    return reader.read(path, options);
}

QString pdfRenderHelperPath()
{
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("mirvale-pdfrender.exe");
#else
    const QString name = QStringLiteral("mirvale-pdfrender");
#endif
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

} // namespace pdf
