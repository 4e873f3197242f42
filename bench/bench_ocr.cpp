// Text recognition of one US Letter page at 200 dpi (1700 x 2200 pixels), as the PDF page runs
// it: a page of one column of text and a page of two columns. Prints the wall time and the CPU
// time of each recognition (CPU well above wall means the engine ran worker threads) and, for the
// two columns, the share of words read right after the word that precedes them on the page.
#include "tools/pdf/ocrengine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

double cpuSeconds()
{
#ifdef Q_OS_UNIX
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#else
    return 0.0;
#endif
}

// Words w0001, w0002... in reading order: down the first column, then down the second.
QImage letterPage(int columns, QStringList *words)
{
    QImage page(1700, 2200, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(30);
    painter.setFont(font);
    const int columnWidth = 1500 / columns;
    for (int column = 0; column < columns; ++column) {
        for (int line = 0; line < 40; ++line) {
            QStringList lineWords;
            for (int i = 0; i < 8 / columns; ++i) {
                lineWords << QStringLiteral("w%1").arg(words->size() + 1, 4, 10, QLatin1Char('0'));
                *words << lineWords.last();
            }
            painter.drawText(
                100 + column * (columnWidth + 60), 150 + line * 48, lineWords.join(' '));
        }
    }
    return page;
}

void recognise(const char *name, int columns)
{
    QStringList words;
    const QImage page = letterPage(columns, &words);
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    const pdf::OcrEngine::Result result = pdf::OcrEngine().recognize(page);
    const double wallSeconds = double(wall.elapsed()) / 1000.0;
    const double cpu = cpuSeconds() - cpuBefore;

    const QStringList read = result.text.simplified().split(QLatin1Char(' '));
    int inOrder = 0;
    for (qsizetype i = 1; i < read.size(); ++i) {
        const qsizetype before = words.indexOf(read.at(i - 1));
        inOrder += before >= 0 && words.indexOf(read.at(i)) == before + 1 ? 1 : 0;
    }
    std::printf("%s: wall %.2f s, CPU %.2f s; %lld words read, %.1f %% in reading order\n", name,
        wallSeconds, cpu, static_cast<long long>(read.size()),
        100.0 * inOrder / double(qMax<qsizetype>(1, words.size() - 1)));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    recognise("one column", 1);
    recognise("two columns", 2);
    return 0;
}
