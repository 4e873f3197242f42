// Opening a 50-page US Letter text PDF, in one run: the pages read through the program's own
// reading path alone, the whole open through the PDF page as its "Open PDF" button does it
// (reading, thumbnails, page view, status line), and the same file rendered by pdftoppm at
// 200 dpi for comparison; each the median of several runs. Then the peak memory of this process
// and of the helpers it started.
//
//   bench_pdfopen [helpers]   helpers: how many render helpers the reading alone starts at most
//                             (default: one per core, as the page does)
#include "tools/pdf/reading/pdfreader.h"
#include "tools/pdf/pdftoolspage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

constexpr int kPages = 50;
constexpr int kRuns = 5;

bool writeTextPdf(const QString &path)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::Letter));
    writer.setResolution(72);
    QPainter painter(&writer);
    if (!painter.isActive()) {
        return false;
    }
    painter.setFont(QFont(QStringLiteral("DejaVu Serif"), 10));
    for (int page = 0; page < kPages; ++page) {
        if (page > 0) {
            writer.newPage();
        }
        for (int line = 0; line < 55; ++line) {
            painter.drawText(QPointF(20, 20 + line * 12),
                QStringLiteral("Page %1, line %2: the quick brown fox jumps over the lazy dog, "
                               "then runs back again.")
                    .arg(page + 1)
                    .arg(line + 1));
        }
    }
    return painter.end();
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// The peak resident memory of this process, and of the largest of the processes it started and
// waited for; 0 where the system does not tell.
enum class Whose { Self, Children };
long maxRssKb(Whose whose)
{
#ifdef Q_OS_UNIX
    rusage usage {};
    getrusage(whose == Whose::Self ? RUSAGE_SELF : RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
#else
    Q_UNUSED(whose);
    return 0;
#endif
}

} // namespace

// The whole open through the page: from the moment the file is chosen in its dialog until the
// click on "Open PDF" returns, the new document shown. Negative when it did not open.
double openThroughPage(const QString &pdf)
{
    PdfToolsPage page;
    QToolButton *open = nullptr;
    for (QToolButton *button : page.findChildren<QToolButton *>()) {
        open = button->text() == QLatin1String("Open PDF") ? button : open;
    }
    QElapsedTimer timer;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, &page, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            answer.stop();
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(pdf);
            timer.start();
            static_cast<QDialog *>(dialog)->accept();
        }
    });
    answer.start(1);
    open->click();
    const double elapsed = timer.nsecsElapsed() / 1e6;
    const QList<QLabel *> labels = page.findChildren<QLabel *>();
    const bool opened = std::any_of(labels.begin(), labels.end(), [](const QLabel *label) {
        return label->text() == QLatin1String("Opened letter.pdf (50 pages)");
    });
    return opened ? elapsed : -1;
}

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    const int helpers = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 0;
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("letter.pdf"));
    if (!dir.isValid() || !writeTextPdf(pdf)) {
        std::fprintf(stderr, "could not write the test document\n");
        return 1;
    }

    QList<double> opens;
    quint64 touched = 0;
    long childRss = 0;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        pdf::PdfReadOptions options;
        options.helperCount = helpers;
        const pdf::PdfReadResult read = pdf::readPdfPages(pdf, options);
        opens.append(timer.nsecsElapsed() / 1e6);
        if (!read.ok() || read.pages.size() != kPages) {
            std::fprintf(stderr, "the document did not open\n");
            return 1;
        }
        // Every byte in memory, as the thumbnails and the page view will need them, so that the
        // peak counts every page wherever its pixels live.
        quint64 sum = 0;
        for (const QImage &page : read.pages) {
            for (qsizetype at = 0; at < page.sizeInBytes(); at += 4096) {
                sum += page.constBits()[at];
            }
        }
        touched += sum;
        // A child's peak counts the memory of this process when it was started, so only the
        // first run, started before any page was held, tells the helpers' own.
        if (run == 0) {
            childRss = maxRssKb(Whose::Children);
        }
    }
    const long selfRss = maxRssKb(Whose::Self);

    QList<double> pageOpens;
    for (int run = 0; run < kRuns; ++run) {
        pageOpens.append(openThroughPage(pdf));
        if (pageOpens.last() < 0) {
            std::fprintf(stderr, "the page did not open the document\n");
            return 1;
        }
    }

    QList<double> renders;
    for (int run = 0; run < kRuns; ++run) {
        QTemporaryDir out;
        QElapsedTimer timer;
        timer.start();
        const int code = QProcess::execute(QStringLiteral("pdftoppm"),
            { QStringLiteral("-r"), QStringLiteral("200"), pdf,
                out.filePath(QStringLiteral("p")) });
        renders.append(timer.nsecsElapsed() / 1e6);
        if (code != 0) {
            std::fprintf(stderr, "pdftoppm failed\n");
            return 1;
        }
    }

    const double open = median(opens);
    const double pageOpen = median(pageOpens);
    const double render = median(renders);
    std::printf("%d pages, medians of %d runs: pdftoppm -r 200 %.0f ms; read alone (helpers %d) "
                "%.0f ms, ratio %.2f; whole open through the page %.0f ms, ratio %.2f\n",
        kPages, kRuns, render, helpers, open, open / render, pageOpen, pageOpen / render);
    std::printf(
        "peak memory: this process %ld MB (%.1f MB a page), largest child %ld MB (checksum %llu)\n",
        selfRss / 1024, selfRss / 1024.0 / kPages, childRss / 1024,
        static_cast<unsigned long long>(touched));
    return 0;
}
