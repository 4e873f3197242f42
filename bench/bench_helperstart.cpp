// How long a PDF render helper takes from its start to its first line (the page count of a
// one-page PDF), as the median of many starts, and the peak memory of one. The helper is started
// as the program starts it (helperprocess.h) and confines itself before it reads the file, so
// the figure includes what the confinement costs.
#include "tools/pdf/reading/helperfiles.h"
#include "tools/pdf/reading/helperprocess.h"
#include "tools/pdf/reading/pdfreader.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

constexpr int kStarts = 50;

bool writeOnePagePdf(const QString &path)
{
    QPdfWriter writer(path);
    QPainter painter(&writer);
    if (!painter.isActive()) {
        return false;
    }
    painter.drawText(QPointF(100, 100), QStringLiteral("One page"));
    return painter.end();
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("one.pdf"));
    pdf::SourceFile source;
    if (!dir.isValid() || !writeOnePagePdf(pdf) || !source.open(pdf)) {
        std::fprintf(stderr, "could not write the test document\n");
        return 1;
    }
    QList<double> firstLines;
    for (int start = 0; start < kStarts; ++start) {
        const pdf::HelperFile file = source.forHelper();
        QProcess helper;
        pdf::prepareHelperProcess(helper, { &file });
        QElapsedTimer timer;
        timer.start();
        helper.start(pdf::pdfRenderHelperPath(), { file.argument() }, QIODevice::ReadOnly);
        while (!helper.canReadLine() && helper.waitForReadyRead(10'000)) { }
        firstLines.append(timer.nsecsElapsed() / 1e6);
        const QByteArray line = helper.readLine();
        helper.waitForFinished();
        if (!line.startsWith("pages 1")) {
            std::fprintf(stderr, "the helper said: %s\n", line.constData());
            return 1;
        }
    }
    std::sort(firstLines.begin(), firstLines.end());
    long peakKb = 0;
#ifdef Q_OS_UNIX
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    peakKb = usage.ru_maxrss;
#endif
    std::printf("helper start to first line over %d starts: min %.1f ms, median %.1f ms, max %.1f "
                "ms; peak memory of a helper %ld MB\n",
        kStarts, firstLines.first(), firstLines.at(kStarts / 2), firstLines.last(), peakKb / 1024);
    return 0;
}
