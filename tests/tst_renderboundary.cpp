// The program's side of the boundary with its PDF render helper. This suite runs beside a helper
// that misbehaves as each "PDF" tells it to (fakepdfrender.cpp): whatever it says or does, the
// page refuses the file, keeps its document, selection and undo history, says why in the log,
// and nothing of the reading (a process, a mapped page) stays behind.

#include "pdftesting.h"
#include "tools/pdf/reading/pdfreader.h"

#include <QtTest>

using namespace dialogs;
using namespace pdftest;

namespace {

// Pages of this process mapped from page areas.
int mappedPages()
{
    return int(contentsOf(QStringLiteral("/proc/self/maps")).count("/memfd:mirvale-pages"));
}

// Child processes of this process that have not been waited for.
QByteArray childProcesses()
{
    QByteArray all;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        all += contentsOf(tasks.filePath(task + QStringLiteral("/children"))).trimmed();
    }
    return all;
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
    void helpersDieWithTheProgram();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void tst_RenderBoundary::initTestCase()
{
    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
}

void tst_RenderBoundary::refusesWhatTheHelperGetsWrong_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("log"); // what the log says of the helper, if anything
    QTest::addColumn<QString>("message"); // the refusal, or nothing when the file is read
    const QString notOpened = "Could not open: " + path("open.pdf");
    const auto row = [&](const char *tag, const QByteArray &lines, const char *log,
                         const QString &message) {
        QTest::addRow("%s", tag) << script(lines) << QString::fromLatin1(log) << message;
    };
    // Read whole: the area is sealed at its size, so the helper cannot take back what is mapped.
    row("page area shrunk after the pages", "fault shrink", "", "");
    row("no pages", "tell pages 0", "unexpected line: pages 0", notOpened);
    row("more sizes than pages", "tell pages 1\ntell size 20 10\ntell size 20 10",
        "unexpected line: size 20 10", notOpened);
    row("fewer sizes than pages", "tell pages 2\ntell size 20 10", "before telling everything",
        notOpened);
    row("a side over the most rendered", "tell pages 1\ntell size 32768 10", "",
        "page 1 would be 32768 x 10 pixels");
    row("pixels over the most rendered", "tell pages 1\ntell size 30000 20000", "",
        "page 1 would be 30000 x 20000 pixels");
    row("a signed size", "tell pages 1\ntell size +20 10", "size %2B20 10", notOpened);
    row("a line not in the protocol", "fault line page 0", "unexpected line: page 0", notOpened);
    row("a page too many", "fault line page", "unexpected line: page", notOpened);
    row("a line too long", "fault line page" + QByteArray(40, ' '), "a line too long", notOpened);
    row("a flood without newline", "fault flood", "a line too long", notOpened);
    row("an endless stall", "fault stall", "nothing told for 15000 ms", notOpened);
    row("a crash after the last page", "fault crash-at-end", "crashed", notOpened);
    row("an error status", "fault exit 2 engine: bad page", "could not be loaded.*engine: bad page",
        notOpened);
    row("every page blank", "fault blank", "No page of .* could be rendered", notOpened);
    row("a last line cut short", "fault cut", "cut short", notOpened);
    // Replaced by another file of the same script: pages of two files never make one document.
    row("the file swapped during the read",
        "fault swap " + path("other.pdf").toLocal8Bit() + ' ' + path("open.pdf").toLocal8Bit(),
        "changed while it was read", notOpened);
    row("the helper cannot be started", "", "could not read",
        "the PDF reader " + QDir::toNativeSeparators(pdf::pdfRenderHelperPath())
            + " could not be started");
}

void tst_RenderBoundary::refusesWhatTheHelperGetsWrong()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, log);
    QFETCH(QString, message);
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
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(page.click("Open PDF",
                 QList { fileDialog("Open PDF", m_dir.path(), { "open.pdf" }) }
                     + (message.isEmpty() ? QList<Step>() : QList { messageBox(message) })),
        QString());
    // Only a stall waits for the watchdog.
    QVERIFY2(timer.elapsed() < (log.startsWith("nothing told") ? 20'000 : 5'000),
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

// A program killed in the middle of a read takes its helpers with it.
void tst_RenderBoundary::helpersDieWithTheProgram()
{
#ifdef Q_OS_LINUX
    const QString pidFile = path("helper.pid");
    QVERIFY(writeFile(path("stalls.pdf"), script("fault pid " + pidFile.toLocal8Bit())));
    QProcess reader;
    reader.start(QCoreApplication::applicationFilePath(), { "--read", path("stalls.pdf") });
    QTRY_VERIFY_WITH_TIMEOUT(QFile(pidFile).size() > 0, 10'000);
    // Running: neither gone nor a zombie left for whoever adopted it. It goes first when memory
    // runs out and can gain no privileges.
    const QString process = "/proc/" + contentsOf(pidFile);
    QTRY_VERIFY(contentsOf(process + "/stat").contains(") S "));
    QCOMPARE(contentsOf(process + "/oom_score_adj"), "1000\n");
    QVERIFY(contentsOf(process + "/status").contains("NoNewPrivs:\t1"));
    reader.kill();
    QTRY_VERIFY_WITH_TIMEOUT(!contentsOf(process + "/stat").contains(") S "), 5'000);
#else
    QSKIP("Helpers are bound to the program's life on Linux only.");
#endif
}

int main(int argc, char **argv)
{
    // The program whose helpers are to die with it: it only reads a file.
    if (argc == 3 && qstrcmp(argv[1], "--read") == 0) {
        QCoreApplication app(argc, argv);
        return pdf::readPdfPages(QString::fromLocal8Bit(argv[2])).ok() ? 0 : 1;
    }
    QApplication app(argc, argv);
    tst_RenderBoundary test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_renderboundary.moc"
