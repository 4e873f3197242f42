// The program's side of the boundary with its PDF render helper. This suite runs beside a helper
// that misbehaves as each "PDF" tells it to (fakepdfrender.cpp): whatever it says or does, the
// page refuses the file, keeps its document, selection and undo history, says why in the log,
// and nothing of the reading (a process, a mapped page) stays behind. Confined as the real
// helper is, it also tries to reach what a PDF that took over the engine would want: each try
// must be denied.

#include "pdftesting.h"
#include "tools/pdf/reading/pdfreader.h"

#include <QLocalServer>
#include <QTcpServer>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

using namespace dialogs;
using namespace pdftest;

namespace {

// Pages of this process mapped from page areas.
int mappedPages()
{
    return int(contentsOf(QStringLiteral("/proc/self/maps")).count("/memfd:mirvale-pages"));
}

// The memory that page areas hold in this process.
qint64 pageAreaBytes()
{
    qint64 bytes = 0;
#ifdef Q_OS_LINUX
    const QDir descriptors(QStringLiteral("/proc/self/fd"));
    for (const QString &fd : descriptors.entryList(QDir::AllEntries | QDir::System)) {
        const QByteArray name = QFile::encodeName(descriptors.filePath(fd));
        char target[64] = {};
        struct stat status = {};
        if (readlink(name.constData(), target, sizeof(target) - 1) > 0
            && qstrcmp(target, "/memfd:mirvale-pages (deleted)") == 0
            && stat(name.constData(), &status) == 0) {
            bytes += qint64(status.st_blocks) * 512;
        }
    }
#endif
    return bytes;
}

// Child processes of a process (this one by default) that have not been waited for.
QByteArray childProcesses(const QString &process = QStringLiteral("self"))
{
    QByteArray all;
    const QDir tasks("/proc/" + process + "/task");
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        all += contentsOf(tasks.filePath(task + QStringLiteral("/children")));
    }
    return all.trimmed();
}

// The Landlock version of this kernel; 0 without it.
int landlockVersion()
{
#ifdef Q_OS_LINUX
    return int(std::max(0L, syscall(444 /* landlock_create_ruleset */, nullptr, 0, 1U)));
#else
    return 0;
#endif
}

// Two pages for each helper the program starts, so that every helper has a page after its first.
int pageCount()
{
    return 2 * qMax(2, QThread::idealThreadCount());
}

// The pages, of 20 x 10 pixels, told by the size pass unless the script's own lines tell
// something else.
QByteArray script(const QByteArray &lines)
{
    const QByteArray sizes = "tell pages " + QByteArray::number(pageCount()) + '\n'
        + QByteArray("tell size 20 10\n").repeated(pageCount());
    return QByteArray("page 20 10\n").repeated(pageCount()) + (lines.contains("tell") ? "" : sizes)
        + lines;
}

} // namespace

class tst_RenderBoundary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusesWhatTheHelperGetsWrong_data();
    void refusesWhatTheHelperGetsWrong();
    void judgesHelpersByWorkAndMemory_data();
    void judgesHelpersByWorkAndMemory();
    void givesEachPageMemoryBack();
    void helpersDieWithTheProgram();
    void quittingCancelsTheRead();
    void cleanupTestCase();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
    QTcpServer m_tcp;
    QLocalServer m_local;
    QString m_memoryGroup; // a memory group of 64 MiB for a helper to join, where one can be made
};

void tst_RenderBoundary::initTestCase()
{
    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
    // What a helper must not reach: a TCP listener, a unix socket, the session's addresses in
    // the environment and a descriptor this process inherited from whoever started it.
    QVERIFY(m_tcp.listen(QHostAddress::LocalHost));
    QVERIFY(m_local.listen(path("socket")));
    qputenv("DISPLAY", ":7");
    qputenv("XAUTHORITY", path("xauthority").toLocal8Bit());
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + path("socket").toLocal8Bit());
#ifdef Q_OS_LINUX
    QVERIFY(::open("/dev/null", O_RDONLY) >= 0);
    for (const QByteArray &line : contentsOf("/proc/self/cgroup").split('\n')) {
        const QList<QByteArray> fields = line.split(':');
        const QString group = "/sys/fs/cgroup/memory" + fields.value(2) + "/mirvale-test-"
            + QString::number(QCoreApplication::applicationPid());
        if (fields.size() == 3 && fields.at(1).split(',').contains("memory")
            && QDir().mkdir(group)) {
            m_memoryGroup = writeFile(group + "/memory.limit_in_bytes", "67108864") ? group : "";
        }
    }
#endif
}

void tst_RenderBoundary::cleanupTestCase()
{
    if (!m_memoryGroup.isEmpty()) {
        QDir().rmdir(m_memoryGroup);
    }
}

void tst_RenderBoundary::refusesWhatTheHelperGetsWrong_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("log"); // what the log says of the helper, if anything
    QTest::addColumn<QString>("message"); // the refusal, or nothing when the file is read
    QTest::addColumn<int>("landlock"); // the Landlock version the row needs
    const QString notOpened = "Could not open: " + path("open.pdf");
    const auto row = [&](const char *tag, const QByteArray &lines, const QString &log,
                         const QString &message, int landlock = 0) {
        QTest::addRow("%s", tag) << script(lines) << log << message << landlock;
    };
    // Read whole: the area is sealed at its size, so the helper cannot take back what is mapped.
    row("page area shrunk after the pages", "fault shrink", "shrunk: no", "");
    row("no pages", "tell pages 0", "unexpected line: pages 0", notOpened);
    row("more sizes than pages", "tell pages 1\ntell size 20 10\ntell size 20 10",
        "a line more than it had to tell: size 20 10", notOpened);
    row("fewer sizes than pages", "tell pages 2\ntell size 20 10", "before telling everything",
        notOpened);
    row("a side over the most rendered", "tell pages 1\ntell size 32768 10", "",
        "page 1 would be 32768 x 10 pixels");
    row("pixels over the most rendered", "tell pages 1\ntell size 30000 20000", "",
        "page 1 would be 30000 x 20000 pixels");
    row("a signed size", "tell pages 1\ntell size +20 10", "size %2B20 10", notOpened);
    row("a line not in the protocol", "fault line page 0", "unexpected line: page 0", notOpened);
    // One past the first helper's range: a page of the next helper's range.
    row("a page too many", "fault line page", "a line more than it had to tell: page", notOpened);
    row("a line too long", "fault line page" + QByteArray(40, ' '), "a line too long", notOpened);
    row("a flood without newline", "fault flood", "a line too long", notOpened);
    row("an endless stall", "fault spin", "nothing told for 15000 ms of work",
        "Could not open " + path("open.pdf") + ": reading it took too long.");
    row("a crash after the last page", "fault crash-at-end", "crashed", notOpened);
    // What the helper printed is logged with its line breaks and escape sequences shown, not
    // obeyed: it forges no line of the log.
    row("an error status", "fault exit 2 engine: bad\\n\x1b[31mpage",
        "could not be loaded.*engine: bad\\\\n\\\\u001b\\[31mpage$",
        notOpened);
    row("every page blank", "fault blank", "No page of .* could be rendered", notOpened);
    row("a last line cut short", "fault cut", "cut short", notOpened);
    // Replaced by another file of the same script: pages of two files never make one document.
    // Noticed while the helpers still read (here they stall), not once they are done.
    row("the file swapped during the read",
        "fault swap " + path("other.pdf").toLocal8Bit() + ' ' + path("open.pdf").toLocal8Bit(),
        "changed while it was read", notOpened);
    row("the helper cannot be started", "", "could not read",
        "the PDF reader " + QDir::toNativeSeparators(pdf::pdfRenderHelperPath())
            + " could not be started");

#ifdef Q_OS_LINUX
    // Escapes, tried after the first page: each try denied, and the file read whole.
    const auto escape = [&](const char *tag, const QByteArray &what, const char *denied,
                            const QByteArray &confine = {}, int landlock = 1) {
        row(tag, "fault escape " + what + (confine.isEmpty() ? "" : "\nconfine " + confine),
            "printed while reading .*: escape " + what.split(' ').at(0) + ": "
                + QRegularExpression::escape(denied) + '$',
            "", landlock);
    };
    const QByteArray dir = m_dir.path().toLocal8Bit();
    escape("write a file", "write " + dir, "EACCES");
    escape("read a file outside the system folders", "read " + dir + "/other.pdf", "EACCES");
    escape("open the PDF for writing", "write-pdf " + dir + "/open.pdf",
        "by path EACCES, through /proc EACCES");
    escape("connect over TCP", "tcp " + QByteArray::number(m_tcp.serverPort()), "EPERM");
    escape("connect over TCP, Landlock alone", "tcp " + QByteArray::number(m_tcp.serverPort()),
        "EACCES", "landlock", 4);
    escape("connect to a unix socket", "unix " + dir + "/socket", "EPERM");
    escape("open the program's memory", "mem", "EACCES");
    const char *program =
        "ptrace EPERM, process_vm_readv EPERM, process_vm_writev EPERM, pidfd_getfd EPERM";
    escape("trace the program", "program", program);
    escape("trace the program, seccomp alone", "program", program, "seccomp", 0);
    escape("trace the program, Landlock alone", "program", program, "landlock");
    const char *signal =
        "kill EPERM, tkill EPERM, tgkill EPERM, sigqueue EPERM, tgsigqueue EPERM, pidfd EPERM";
    escape("signal the program", "signal", signal);
    escape("signal the program, seccomp alone", "signal", signal, "seccomp", 0);
    escape("signal the program, Landlock alone", "signal", signal, "landlock", 6);
    escape("start a process", "start",
        "fork EPERM, vfork EPERM, clone EPERM, clone3 ENOSYS, execve EPERM, execveat EPERM");
    escape("advise the program's memory, reach the keyrings or io_uring", "kernel",
        "process_madvise EPERM, keyctl EPERM, add_key EPERM, request_key EPERM, io_uring EPERM");
    // From outside: what the helper was started with beyond its standard channels and files.
    escape("the environment and descriptors", "started", "environment, descriptors");
#endif
}

void tst_RenderBoundary::refusesWhatTheHelperGetsWrong()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, log);
    QFETCH(QString, message);
    QFETCH(int, landlock);
    if (landlockVersion() < landlock) {
        QSKIP(qPrintable(QStringLiteral("This kernel has Landlock %1; the row needs %2.")
                             .arg(landlockVersion())
                             .arg(landlock)));
    }
    QVERIFY(writeFile(path("open.pdf"), script) && writeFile(path("other.pdf"), script));
    const QString helper = pdf::pdfRenderHelperPath();
    const QFile::Permissions executable = QFile::permissions(helper);
    if (message.contains("could not be started")) {
        QVERIFY(QFile::setPermissions(helper, QFile::ReadOwner | QFile::WriteOwner));
    }
    const auto restore = qScopeGuard([&] { QFile::setPermissions(helper, executable); });

    PdfPage page;
    QCOMPARE(page.add("30x20 [40x20]"), QString());
    const int mappedBefore = mappedPages();
    if (!log.isEmpty()) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(log));
    }
    // Every helper tries the row's escape: none may report another outcome.
    QTest::failOnWarning(QRegularExpression("escape"));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(page.click("Open PDF",
                 QList { fileDialog("Open PDF", m_dir.path(), { "open.pdf" }) }
                     + (message.isEmpty() ? QList<Step>() : QList { messageBox(message) })),
        QString());
    // Only a stall waits for the watchdog.
    QVERIFY2(timer.elapsed() < (log.startsWith("nothing told") ? 60'000 : 5'000),
        qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(childProcesses(), QByteArray());
    if (message.isEmpty()) {
        QCOMPARE(page.status(), QStringLiteral("Opened open.pdf (%1 pages)").arg(pageCount()));
        QCOMPARE(mappedPages(), pageCount());
        // Each page where its helper put it, in the document's order.
        const QList<QImage> pages = page.pages();
        for (int i = 0; i < pageCount(); ++i) {
            QCOMPARE(pages.value(i).pixel(19, 9), qRgb(i, 100, 200));
        }
        QCOMPARE(page.click("Close", { messageBox("Close the", QMessageBox::Yes) }), QString());
        QCOMPARE(mappedPages(), 0);
        return;
    }
    QCOMPARE(mappedPages(), mappedBefore);
    QCOMPARE(page.state(), "30x20 [40x20]");
    // The history is the one from before: one undo takes back the pages added.
    QCOMPARE(page.undoAll(), 1);
}

void tst_RenderBoundary::judgesHelpersByWorkAndMemory_data()
{
    QTest::addColumn<QByteArray>("fault");
    QTest::addColumn<int>("helpers");
    QTest::addColumn<int>("stallMs"); // the bound on work
    QTest::addColumn<int>("idleMs"); // the bound on doing nothing
    QTest::addColumn<pdf::PdfReadStatus>("status");
    QTest::addColumn<QString>("log");
    const auto row = [](const char *tag, const QByteArray &fault, int helpers, int stallMs,
                         int idleMs, pdf::PdfReadStatus status, const QString &log) {
        QTest::addRow("%s", tag) << fault << helpers << stallMs << idleMs << status << log;
    };
    using pdf::PdfReadStatus;
    // A helper that waits (for a processor, for this program to go on) is no stalled helper.
    row("waiting longer than the work bound", "nap", 0, 1000, 60'000, PdfReadStatus::Read, "");
    row("working without telling", "spin", 0, 1000, 60'000, PdfReadStatus::TookTooLong,
        "nothing told for 1000 ms of work");
    row("neither working nor telling", "stall", 0, 60'000, 1000, PdfReadStatus::TookTooLong,
        "nothing told nor done for");
    // The system ends helpers for want of memory unless one reads every page alone.
    const QByteArray oom = "oom " + m_memoryGroup.toLocal8Bit();
    row("killed for memory, read by fewer helpers", oom, 4, 60'000, 60'000, PdfReadStatus::Read,
        "Reading the rest of .* with 1 at once");
    row("killed for memory even alone", oom + " always", 2, 60'000, 60'000,
        PdfReadStatus::OutOfMemory, "ended for want of memory");
}

void tst_RenderBoundary::judgesHelpersByWorkAndMemory()
{
    QFETCH(QByteArray, fault);
    QFETCH(int, helpers);
    QFETCH(int, stallMs);
    QFETCH(int, idleMs);
    QFETCH(pdf::PdfReadStatus, status);
    QFETCH(QString, log);
    if (fault.startsWith("oom") && m_memoryGroup.isEmpty()) {
        QSKIP("No memory group can be made here.");
    }
    QVERIFY(writeFile(path("bounds.pdf"), script("fault " + fault)));
    if (!log.isEmpty()) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(log));
    }
    pdf::PdfReadOptions options;
    options.helperCount = helpers;
    options.stallTimeoutMs = stallMs;
    options.idleTimeoutMs = idleMs;
    QElapsedTimer timer;
    timer.start();
    const pdf::PdfReadResult read = pdf::readPdfPages(path("bounds.pdf"), options);
    QCOMPARE(read.status, status);
    QCOMPARE(read.pages.size(), status == pdf::PdfReadStatus::Read ? pageCount() : 0);
    QVERIFY2(timer.elapsed() < 10'000, qPrintable(QString::number(timer.elapsed())));
}

// A page that goes gives its memory back, however many pages of its helper live on.
void tst_RenderBoundary::givesEachPageMemoryBack()
{
    QVERIFY(writeFile(path("pages.pdf"),
        "tell pages 8\n" + QByteArray("page 256 256\ntell size 256 256\n").repeated(8)));
    pdf::PdfReadOptions options;
    options.helperCount = 2;
    pdf::PdfReadResult read = pdf::readPdfPages(path("pages.pdf"), options);
    QVERIFY(read.ok());
    QCOMPARE(pageAreaBytes(), 8 * 256 * 256 * 4);
    for (int page = 7; page >= 0; page -= 2) {
        read.pages.removeAt(page);
    }
    QCOMPARE(pageAreaBytes(), 4 * 256 * 256 * 4);
    read.pages.clear();
    QCOMPARE(pageAreaBytes(), 0);
}

// A program killed in the middle of a read takes its helpers with it.
void tst_RenderBoundary::helpersDieWithTheProgram()
{
#ifdef Q_OS_LINUX
    QVERIFY(writeFile(path("stalls.pdf"), script("fault stall")));
    QProcess reader;
    reader.start(QCoreApplication::applicationFilePath(), { "--read", path("stalls.pdf") });
    // A helper of the render pass (its command line has five words), stalled after its page.
    QString process;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            for (const QByteArray &pid :
                childProcesses(QString::number(reader.processId())).split(' ')) {
                process = "/proc/" + pid;
                if (contentsOf(process + "/cmdline").count('\0') == 5
                    && contentsOf(process + "/stat").contains(") S ")) {
                    return true;
                }
            }
            return false;
        }(),
        10'000);
    // It goes first when memory runs out, can gain no privileges and is confined.
    QCOMPARE(contentsOf(process + "/oom_score_adj"), "1000\n");
    QVERIFY(contentsOf(process + "/status").contains("NoNewPrivs:\t1"));
    QVERIFY(contentsOf(process + "/status").contains("Seccomp:\t2"));
    reader.kill();
    QTRY_VERIFY_WITH_TIMEOUT(!contentsOf(process + "/stat").contains(") S "), 5'000);
#else
    QSKIP("Helpers are bound to the program's life on Linux only.");
#endif
}

// The application quitting in the middle of a read ends it as cancelled, with no page kept.
void tst_RenderBoundary::quittingCancelsTheRead()
{
    QVERIFY(writeFile(path("quits.pdf"), script("fault stall")));
    QProcess reader;
    reader.start(
        QCoreApplication::applicationFilePath(), { "--read", path("quits.pdf"), "--quit" });
    QVERIFY(reader.waitForFinished(10'000));
    QCOMPARE(reader.exitCode(), int(pdf::PdfReadStatus::Cancelled));
}

int main(int argc, char **argv)
{
    // A program that only reads a file, and tells how the reading ended. With --quit it quits
    // once a page is in, as the tray's Quit may.
    if (argc >= 3 && qstrcmp(argv[1], "--read") == 0) {
        QCoreApplication app(argc, argv);
        pdf::PdfReader reader;
        if (argc == 4) {
            QObject::connect(&reader, &pdf::PdfReader::pageRead, &app, &QCoreApplication::quit,
                Qt::QueuedConnection);
        }
        int status = -1;
        QTimer::singleShot(0, &app, [&] {
            status = int(reader.read(QString::fromLocal8Bit(argv[2])).status);
            app.exit();
        });
        app.exec();
        return status;
    }
    QApplication app(argc, argv);
    tst_RenderBoundary test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_renderboundary.moc"
