#include "pdfreader.h"

#include "helperfiles.h"
#include "helperprocess.h"
#include "renderprotocol.h"

#include "common/availablememory.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <csignal>

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace pdf {

namespace {

// What a helper printed to its error output that is kept for the log.
constexpr qsizetype kMaxKeptErrorOutput = 4096;
// How often the running helpers are looked at, and the file's identity checked.
constexpr int kLookIntervalMs = 250;
constexpr int kIdentityIntervalMs = 1000;
// A look this much later than the one before means this program itself was held up (stopped,
// suspended with its container, starved): the time between counts for no helper's idleness.
constexpr qint64 kLateLookMs = 1000;
// What a helper takes besides its page images for most documents: the engine, Qt, and the
// bitmap of the page it renders on top of the page it writes.
constexpr qint64 kHelperFootprint = qint64(64) << 20;
// Less memory available than this when a helper is killed means memory is what killed it.
constexpr qint64 kLowMemory = qint64(256) << 20;

// Text a helper printed, for the log: control and format characters escaped, so that it can
// forge no line of the log and move no terminal.
QString printableText(const QByteArray &printed)
{
    QString text;
    for (const QChar c : QString::fromUtf8(printed)) {
        if (c == u'\n') {
            text += QStringLiteral("\\n");
        } else if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) {
            text += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            text += c;
        }
    }
    return text;
}

// What becomes of a line: taken; refused as not in the protocol, or as one more than the helper
// had to tell; refused because this program has no memory to map the page it tells; or taken
// as enough, ending the run.
enum class LineVerdict { Taken, Refused, Surplus, NoMemory, Enough };

// One helper process and what becomes of the lines it prints.
struct HelperJob
{
    QStringList arguments;
    std::vector<HelperFile> files;
    std::function<LineVerdict(const QByteArray &)> takeLine;
    // Once it exited with Done: whether it told everything it had to.
    std::function<bool()> isComplete;
    // How much processor time it may use before it tells its next line, in milliseconds.
    std::function<qint64()> patience;
};

enum class RunOutcome {
    Done,
    Failed,
    NotStarted,
    Cancelled,
    Stopped,
    Stalled,
    Changed,
    // A helper was ended by the system for want of memory.
    HelperOutOfMemory,
    // This program could not map a page.
    OutOfMemory,
};

struct RunSettings
{
    QString program;
    QString document;
    const SourceFile *source = nullptr;
    // How many helpers run at once; the others wait for one to end.
    int concurrency = 1;
    qint64 idleTimeoutMs = 0;
};

// Runs every job's helper, at most settings.concurrency at once, and waits until all have
// ended, running the caller's event loop meanwhile. A helper that works past its patience or
// does no work for the idle bound without telling anything, dies, ends with a status other than
// Done, prints a line the job refuses or a line longer than the protocol allows fails the run,
// and so does a file that changes meanwhile: then every helper is ended, why is logged with what
// the helper printed to its error output, and all have been waited for when this returns. A
// line the job has had enough with stops the run the same way, unlogged; while it runs, *cancel
// ends it as cancelled, and so does the application's quitting.
RunOutcome runHelpers(
    const RunSettings &settings, const std::vector<HelperJob> &jobs, std::function<void()> *cancel)
{
    struct Helper
    {
        QProcess *process = nullptr;
        QByteArray pending; // output after its last complete line
        QByteArray errorOutput;
        qint64 workAtLine = 0; // its processor time when it last told something
        qint64 work = 0; // at the last look
        qint64 idleMs = 0; // since it last worked, counting only looks on time
    };
    std::vector<Helper> helpers(jobs.size());
    QEventLoop loop;
    RunOutcome outcome = RunOutcome::Done;
    QString reason;
    size_t failedHelper = 0;
    size_t started = 0;
    size_t running = 0;
    const std::optional<qint64> killsBefore = memoryKillCount();
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
    const auto takeOutput = [&](size_t i) {
        Helper &helper = helpers[i];
        helper.pending.append(helper.process->readAllStandardOutput());
        qsizetype start = 0;
        for (qsizetype end = 0;
             outcome == RunOutcome::Done && (end = helper.pending.indexOf('\n', start)) >= 0;
             start = end + 1) {
            const QByteArray line = helper.pending.mid(start, end - start);
            const QString shown =
                QString::fromLatin1(line.left(kMaxLineLength).toPercentEncoding(" "));
            switch (line.size() > kMaxLineLength ? LineVerdict::Refused : jobs[i].takeLine(line)) {
            case LineVerdict::Taken:
                helper.workAtLine =
                    processCpuTimeMs(helper.process->processId()).value_or(helper.work);
                break;
            case LineVerdict::Refused:
                fail(i, RunOutcome::Failed,
                    line.size() > kMaxLineLength ? QStringLiteral("a line too long")
                                                 : QStringLiteral("an unexpected line: ") + shown);
                break;
            case LineVerdict::Surplus:
                fail(i, RunOutcome::Failed,
                    QStringLiteral("a line more than it had to tell: ") + shown);
                break;
            case LineVerdict::NoMemory:
                fail(i, RunOutcome::OutOfMemory, QStringLiteral("no memory to map its page"));
                break;
            case LineVerdict::Enough:
                fail(i, RunOutcome::Stopped, QString());
                break;
            }
        }
        helper.pending.remove(0, start);
        if (helper.pending.size() > kMaxLineLength) {
            fail(i, RunOutcome::Failed, QStringLiteral("a line too long"));
        }
    };
    std::function<void()> startNext;
    const auto finish = [&](size_t i, int code, QProcess::ExitStatus status) {
        takeOutput(i);
        --running;
        // Nothing here ends a helper while the run lasts: a kill is the system's.
#ifdef Q_OS_UNIX
        const bool killed = status == QProcess::CrashExit && code == SIGKILL;
#else
        const bool killed = false;
#endif
        const std::optional<qint64> available = killed ? availableMemoryBytes() : std::nullopt;
        const std::optional<qint64> kills = killed ? memoryKillCount() : std::nullopt;
        if (killed
            && ((kills && killsBefore && *kills > *killsBefore)
                || (available && *available < kLowMemory))) {
            fail(i, RunOutcome::HelperOutOfMemory,
                QStringLiteral("it was ended for want of memory"));
        } else if (status != QProcess::NormalExit) {
            fail(i, RunOutcome::Failed, QStringLiteral("it crashed"));
        } else if (code != int(HelperExit::Done)) {
            fail(i, RunOutcome::Failed, describeHelperExit(code));
        } else if (!helpers[i].pending.isEmpty()) {
            // A line cut short is a helper that did not finish what it was saying.
            fail(i, RunOutcome::Failed, QStringLiteral("its last line cut short"));
        } else if (!jobs[i].isComplete()) {
            fail(i, RunOutcome::Failed, QStringLiteral("it ended before telling everything"));
        } else if (started < jobs.size()) {
            startNext();
        } else if (running == 0) {
            loop.quit();
        }
    };
    startNext = [&] {
        const size_t i = started++;
        ++running;
        Helper &helper = helpers[i];
        helper.process = new QProcess(&loop);
        QList<const HelperFile *> files;
        for (const HelperFile &file : jobs[i].files) {
            files.append(&file);
        }
        prepareHelperProcess(*helper.process, files);
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
        helper.process->start(settings.program, jobs[i].arguments, QIODevice::ReadOnly);
    };

    // The watch: a helper's patience is counted in the processor time it uses, so that waiting
    // for a processor on a busy machine, or being stopped with this program, is no stall; and
    // a file that changes is noticed within a second, not at the end.
    QTimer look;
    QElapsedTimer sinceLook;
    QElapsedTimer sinceIdentity;
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        const qint64 elapsed = sinceLook.restart();
        const bool onTime = elapsed < kLateLookMs;
        if (sinceIdentity.elapsed() >= kIdentityIntervalMs) {
            sinceIdentity.restart();
            if (!settings.source->isUnchanged()) {
                fail(0, RunOutcome::Changed, QStringLiteral("the file changed while it was read"));
                return;
            }
        }
        for (size_t i = 0; i < started && outcome == RunOutcome::Done; ++i) {
            Helper &helper = helpers[i];
            if (helper.process->state() != QProcess::Running) {
                continue;
            }
            // Where the system tells no processor time, time on this program's clock stands in.
            const qint64 work = processCpuTimeMs(helper.process->processId())
                                    .value_or(helper.work + (onTime ? elapsed : 0));
            helper.idleMs = work > helper.work ? 0 : helper.idleMs + (onTime ? elapsed : 0);
            helper.work = work;
            if (work - helper.workAtLine > jobs[i].patience()) {
                fail(i, RunOutcome::Stalled,
                    QStringLiteral("nothing told for %1 ms of work").arg(jobs[i].patience()));
            } else if (helper.idleMs >= settings.idleTimeoutMs) {
                fail(i, RunOutcome::Stalled,
                    QStringLiteral("nothing told nor done for %1 ms").arg(helper.idleMs));
            }
        }
    });

    while (started < std::min<size_t>(jobs.size(), size_t(std::max(1, settings.concurrency)))
        && outcome == RunOutcome::Done) {
        startNext();
    }
    if (outcome == RunOutcome::Done && running > 0) {
        sinceLook.start();
        sinceIdentity.start();
        look.start(kLookIntervalMs);
        loop.exec();
        look.stop();
        // The loop also ends when the application quits: what is still running is cancelled.
        if (outcome == RunOutcome::Done && (running > 0 || started < jobs.size())) {
            outcome = RunOutcome::Cancelled;
        }
    }
    for (size_t i = 0; i < started; ++i) {
        QProcess *process = helpers[i].process;
        QObject::disconnect(process, nullptr, &loop, nullptr);
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(-1);
        }
    }
    // Why the run failed, and anything else the helpers said (a layer of confinement this system
    // lacks, say), each text once.
    QSet<QByteArray> logged;
    const bool helperFailed = outcome != RunOutcome::Done && outcome != RunOutcome::Cancelled
        && outcome != RunOutcome::Stopped;
    for (size_t i = 0; i < started; ++i) {
        keepErrorOutput(i);
        const QByteArray printed = helpers[i].errorOutput.trimmed();
        const bool failed = helperFailed && i == failedHelper;
        if (!failed && (printed.isEmpty() || logged.contains(printed))) {
            continue;
        }
        logged.insert(printed);
        const QString said = printed.isEmpty() ? QString() : printableText(printed);
        const QString program = QDir::toNativeSeparators(settings.program);
        const QString document = QDir::toNativeSeparators(settings.document);
        if (failed) {
            qWarning().noquote() << QStringLiteral("%1 could not read %2: %3%4")
                                        .arg(program, document, reason,
                                            said.isEmpty()
                                                ? QString()
                                                : QStringLiteral("; it printed: ") + said);
        } else {
            qWarning().noquote()
                << QStringLiteral("%1 printed while reading %2: %3").arg(program, document, said);
        }
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
        if (words.size() != 3 || words.at(0) != "size") {
            return LineVerdict::Refused;
        }
        if (m_sizes.size() >= m_count) {
            return LineVerdict::Surplus;
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

// How much work a helper may do to render a page of size: the base, and a second for every 10
// million pixels.
qint64 renderPatience(int baseMs, const QSize &size)
{
    return baseMs + qint64(size.width()) * size.height() / 10'000;
}

// The pages still to read, as ranges [first, end) of pages in a row, parts of them when the
// pages to read are all in one range.
QList<std::pair<int, int>> rangesToRead(const QList<QImage> &pages, int parts)
{
    QList<std::pair<int, int>> ranges;
    for (int page = 0; page < pages.size(); ++page) {
        if (!pages.at(page).isNull()) {
            continue;
        }
        if (!ranges.isEmpty() && ranges.last().second == page) {
            ++ranges.last().second;
        } else {
            ranges.append({ page, page + 1 });
        }
    }
    if (ranges.size() == 1) {
        const auto [first, end] = ranges.takeFirst();
        const int count = end - first;
        parts = std::clamp(parts, 1, count);
        for (int part = 0; part < parts; ++part) {
            ranges.append({ first + count * part / parts, first + count * (part + 1) / parts });
        }
    }
    return ranges;
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
    RunSettings settings { pdfRenderHelperPath(), path, &source, 1, options.idleTimeoutMs };
    const auto failed = [&result](RunOutcome outcome) {
        switch (outcome) {
        case RunOutcome::NotStarted:
            result.status = PdfReadStatus::HelperNotStarted;
            break;
        case RunOutcome::Cancelled:
            result.status = PdfReadStatus::Cancelled;
            break;
        case RunOutcome::Stalled:
            result.status = PdfReadStatus::TookTooLong;
            break;
        case RunOutcome::HelperOutOfMemory:
        case RunOutcome::OutOfMemory:
            result.status = PdfReadStatus::OutOfMemory;
            break;
        default:
            break;
        }
        return result;
    };
    // Each helper's files: false, logged, when one could not be made.
    const auto handOver = [&path](HelperJob &job, std::initializer_list<HelperFile *> files) {
        for (HelperFile *file : files) {
            if (!file->isValid()) {
                qWarning().noquote() << QStringLiteral("%1 could not be handed to a reader")
                                            .arg(QDir::toNativeSeparators(path));
                return false;
            }
            job.files.push_back(std::move(*file));
        }
        return true;
    };

    // Sizes first: a document too large to hold is refused before any page is rendered.
    PageSizes sizes(kMaxPdfPages - options.pagesBefore, kMaxPdfPixels - options.pixelsBefore);
    std::vector<HelperJob> sizeJob(1);
    HelperFile input = source.forHelper();
    if (!handOver(sizeJob[0], { &input })) {
        return result;
    }
    sizeJob[0].arguments = QStringList { sizeJob[0].files[0].argument() };
    sizeJob[0].takeLine = [&sizes](const QByteArray &line) {
        return sizes.take(line);
    };
    sizeJob[0].isComplete = [&sizes] {
        return sizes.isComplete();
    };
    sizeJob[0].patience = [&options] {
        return qint64(options.stallTimeoutMs);
    };
    const RunOutcome told = runHelpers(settings, sizeJob, &m_cancel);
    if (told != RunOutcome::Done && told != RunOutcome::Stopped) {
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
    // What the machine can give now: the pages are held in memory for as long as they are open,
    // and each helper needs room of its own besides.
    const qint64 bytes = sizes.pixels() * kPageBytesPerPixel;
    const std::optional<qint64> available = availableMemoryBytes();
    if (available && bytes > *available) {
        result.status = PdfReadStatus::TooLargeForMemory;
        result.bytesNeeded = bytes;
        result.bytesAvailable = *available;
        return result;
    }
    qint64 largestPage = 0;
    for (const QSize &size : sizes.sizes()) {
        largestPage = std::max(largestPage, pageBytes(size));
    }
    const qint64 helperNeeds = kHelperFootprint + 2 * largestPage;

    // The engine does one thing at a time in a process, so a long document is rendered in
    // several helpers at once, each a range of pages into an area of its own. A helper that the
    // system ends for want of memory costs no page already read: the pages still to read are
    // read again with half as many helpers at once, down to one.
    const int count = int(sizes.sizes().size());
    const int wanted = options.helperCount > 0 ? options.helperCount : QThread::idealThreadCount();
    settings.concurrency = int(std::clamp<qint64>(
        available ? (*available - bytes) / helperNeeds : wanted, 1, std::min(wanted, count)));
    QList<QImage> pages(count);
    QList<bool> blank(count, false);
    int pagesDone = 0;
    emit progressed(0, count);
    for (;;) {
        const QList<std::pair<int, int>> ranges = rangesToRead(pages, settings.concurrency);
        std::vector<std::unique_ptr<PageArea>> areas;
        std::vector<int> pagesTold(size_t(ranges.size()), 0);
        std::vector<HelperJob> jobs(size_t(ranges.size()));
        for (qsizetype part = 0; part < ranges.size(); ++part) {
            const auto [first, end] = ranges.at(part);
            areas.push_back(std::make_unique<PageArea>(sizes.sizes().mid(first, end - first)));
            const PageArea *area = areas.back().get();
            if (!areas.back()->create()) {
                qWarning("Could not make a page area of %lld bytes", area->bytes());
                result.status = PdfReadStatus::OutOfMemory;
                return result;
            }
            HelperJob &job = jobs[size_t(part)];
            HelperFile input = source.forHelper();
            HelperFile output = area->forHelper();
            if (!handOver(job, { &input, &output })) {
                return result;
            }
            job.arguments = QStringList { job.files[0].argument(), QString::number(first),
                QString::number(end - first), job.files[1].argument() };
            int *done = &pagesTold[size_t(part)];
            job.takeLine = [this, &pages, &blank, &pagesDone, count, area, first = first, end = end,
                               done](const QByteArray &line) {
                const int page = first + *done;
                if (line != "page" && line != "blank") {
                    return LineVerdict::Refused;
                }
                if (page >= end) {
                    return LineVerdict::Surplus;
                }
                bool outOfMemory = false;
                pages[page] = area->page(*done, &outOfMemory);
                if (pages.at(page).isNull()) {
                    return outOfMemory ? LineVerdict::NoMemory : LineVerdict::Refused;
                }
                blank[page] = line == "blank";
                ++*done;
                emit pageRead(pages.at(page));
                emit progressed(++pagesDone, count);
                return LineVerdict::Taken;
            };
            job.isComplete = [first = first, end = end, done] {
                return first + *done == end;
            };
            job.patience = [&options, &sizes, first = first, end = end, done] {
                return renderPatience(
                    options.stallTimeoutMs, sizes.sizes().at(std::min(first + *done, end - 1)));
            };
        }
        const RunOutcome rendered = runHelpers(settings, jobs, &m_cancel);
        if (rendered == RunOutcome::HelperOutOfMemory && settings.concurrency > 1) {
            settings.concurrency /= 2;
            qWarning().noquote() << QStringLiteral("Reading the rest of %1 with %2 at once")
                                        .arg(QDir::toNativeSeparators(path))
                                        .arg(settings.concurrency);
            continue;
        }
        if (rendered != RunOutcome::Done) {
            return failed(rendered);
        }
        break;
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
