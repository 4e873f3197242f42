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

enum class LineVerdict { Taken, Refused, Enough };

// One helper process and what becomes of the lines it prints.
struct HelperJob
{
    QStringList arguments;
    std::vector<HelperFile> files;
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
RunOutcome runHelpers(const QString &program, const std::vector<HelperJob> &jobs,
    const QString &document, std::function<void()> *cancel)
{
    struct Helper
    {
        QProcess *process = nullptr;
        QTimer *watchdog = nullptr;
        QByteArray pending; // output after its last complete line
        QByteArray errorOutput;
    };
    std::vector<Helper> helpers(jobs.size());
    QEventLoop loop;
    RunOutcome outcome = RunOutcome::Done;
    QString reason;
    size_t failedHelper = 0;
    size_t running = jobs.size();
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
        helpers[i].watchdog->start(jobs[i].patience());
    };
    const auto takeOutput = [&](size_t i) {
        Helper &helper = helpers[i];
        helper.pending.append(helper.process->readAllStandardOutput());
        qsizetype start = 0;
        for (qsizetype end = 0;
             outcome == RunOutcome::Done && (end = helper.pending.indexOf('\n', start)) >= 0;
             start = end + 1) {
            const QByteArray line = helper.pending.mid(start, end - start);
            const LineVerdict verdict =
                line.size() > kMaxLineLength ? LineVerdict::Refused : jobs[i].takeLine(line);
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
        } else if (!jobs[i].isComplete()) {
            fail(i, RunOutcome::Failed, QStringLiteral("it ended before telling everything"));
        } else if (--running == 0) {
            loop.quit();
        }
    };

    for (size_t i = 0; i < helpers.size() && outcome == RunOutcome::Done; ++i) {
        const HelperJob &job = jobs[i];
        Helper &helper = helpers[i];
        helper.process = new QProcess(&loop);
        helper.watchdog = new QTimer(helper.process);
        helper.watchdog->setSingleShot(true);
        QList<const HelperFile *> files;
        for (const HelperFile &file : job.files) {
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
        QObject::connect(helper.watchdog, &QTimer::timeout, &loop, [&fail, &helper, i] {
            fail(i, RunOutcome::Failed,
                QStringLiteral("nothing told for %1 ms").arg(helper.watchdog->interval()));
        });
        helper.process->start(program, job.arguments, QIODevice::ReadOnly);
        waitForNextLine(i);
    }
    if (outcome == RunOutcome::Done && running > 0) {
        loop.exec();
        // The loop also ends when the application quits: what is still running is cancelled.
        if (outcome == RunOutcome::Done && running > 0) {
            outcome = RunOutcome::Cancelled;
        }
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
    // Why the run failed, and anything else the helpers said (a layer of confinement this system
    // lacks, say), each text once.
    QSet<QByteArray> logged;
    for (size_t i = 0; i < helpers.size(); ++i) {
        if (!helpers[i].process) {
            continue;
        }
        keepErrorOutput(i);
        const QByteArray printed = helpers[i].errorOutput.trimmed();
        const bool failed = i == failedHelper
            && (outcome == RunOutcome::Failed || outcome == RunOutcome::NotStarted);
        if (!failed && (printed.isEmpty() || logged.contains(printed))) {
            continue;
        }
        logged.insert(printed);
        const QString said = printed.isEmpty() ? QString() : printableText(printed);
        if (failed) {
            qWarning().noquote() << QStringLiteral("%1 could not read %2: %3%4")
                                        .arg(QDir::toNativeSeparators(program),
                                            QDir::toNativeSeparators(document), reason,
                                            said.isEmpty()
                                                ? QString()
                                                : QStringLiteral("; it printed: ") + said);
        } else {
            qWarning().noquote() << QStringLiteral("%1 printed while reading %2: %3")
                                        .arg(QDir::toNativeSeparators(program),
                                            QDir::toNativeSeparators(document), said);
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
    std::vector<HelperJob> sizeJob(1);
    sizeJob[0].files.push_back(source.forHelper());
    if (!sizeJob[0].files[0].isValid()) {
        qWarning().noquote() << QStringLiteral("%1 could not be opened again for reading")
                                    .arg(QDir::toNativeSeparators(path));
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
        return options.stallTimeoutMs;
    };
    const RunOutcome told = runHelpers(helper, sizeJob, path, &m_cancel);
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
    std::vector<HelperJob> jobs(static_cast<size_t>(helpers));
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
        HelperJob &job = jobs[size_t(part)];
        job.files.push_back(source.forHelper());
        job.files.push_back(area->forHelper());
        if (!job.files[0].isValid() || !job.files[1].isValid()) {
            qWarning().noquote() << QStringLiteral("%1 could not be handed to a reader")
                                        .arg(QDir::toNativeSeparators(path));
            return result;
        }
        job.arguments = QStringList { job.files[0].argument(), QString::number(first),
            QString::number(end - first), job.files[1].argument() };
        job.takeLine = [this, &pages, &blank, &pagesDone, count, area, first, end, done](
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
        };
        job.isComplete = [first, end, done] {
            return first + *done == end;
        };
        job.patience = [&options, &sizes, first, end, done] {
            return renderPatience(
                options.stallTimeoutMs, sizes.sizes().at(std::min(first + *done, end - 1)));
        };
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
