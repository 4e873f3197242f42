// A stand-in for mirvale-pdfrender that misbehaves as its input tells it to, for the tests of the
// program's side of the boundary. Called as the real helper is; its "PDF" is a script:
//   page W H      a page of that pixel size (render passes fill page i with qRgb(i, 100, 200))
//   tell LINE     print LINE in the size pass
//   fault NAME    misbehave in the render pass once the first page of its range is told:
//     stall, blank (every page told "blank"), line TEXT (one more line),
//     flood (print without newline, without end), swap FROM TO (rename FROM over TO),
//     pid FILE (write this process's id to FILE, then stall);
//   or once the last page is told: crash-at-end, cut (print "pag" without a newline),
//     exit N TEXT (print TEXT to the error output, exit with N), shrink (try to cut the page
//     area to nothing).
#include "tools/pdf/reading/renderprotocol.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

void tell(const QByteArray &line, const char *end = "\n")
{
    std::fprintf(stdout, "%s%s", line.constData(), end);
    std::fflush(stdout);
}

QString handlePath(const char *argument)
{
    const std::optional<int> fd = pdf::descriptorFromArgument(QString::fromLocal8Bit(argument));
    return fd ? QStringLiteral("/proc/self/fd/%1").arg(*fd) : QString::fromLocal8Bit(argument);
}

} // namespace

int main(int argc, char **argv)
{
    QFile script(handlePath(argv[argc > 1 ? 1 : 0]));
    if ((argc != 2 && argc != 5) || !script.open(QIODevice::ReadOnly)) {
        return int(pdf::HelperExit::Usage);
    }
    QList<QSize> sizes;
    QList<QByteArray> told;
    QList<QByteArray> fault { "" };
    for (const QByteArray &line : script.readAll().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.at(0) == "page") {
            sizes.append(QSize(words.value(1).toInt(), words.value(2).toInt()));
        } else if (words.at(0) == "tell") {
            told.append(line.mid(5));
        } else if (words.at(0) == "fault") {
            fault = words.mid(1);
        }
    }
    if (argc == 2) {
        for (const QByteArray &line : std::as_const(told)) {
            tell(line);
        }
        return int(pdf::HelperExit::Done);
    }

    const int first = std::atoi(argv[2]);
    const QList<QSize> range = sizes.mid(first, std::atoi(argv[3]));
    const pdf::PageAreaLayout layout = pdf::pageAreaLayout(range);
    QFile area(handlePath(argv[4]));
    if (!area.open(QIODevice::ReadWrite) || area.size() != layout.bytes) {
        return int(pdf::HelperExit::NotWritten);
    }
    const QByteArray name = fault.at(0);
    for (int i = 0; i < range.size(); ++i) {
        QImage page(range.at(i), pdf::kPageFormat);
        page.fill(qRgb(first + i, 100, 200));
        area.seek(layout.offsets.at(i));
        area.write(reinterpret_cast<const char *>(page.constBits()), page.sizeInBytes());
        area.flush();
        tell(name == "blank" ? "blank" : "page");
        if (i == 0 && name == "pid") {
            QFile pid(QString::fromLocal8Bit(fault.value(1)));
            if (pid.open(QIODevice::WriteOnly)) {
                pid.write(QByteArray::number(QCoreApplication::applicationPid()));
            }
        }
        if (i == 0 && (name == "stall" || name == "pid")) {
            for (;;) {
                std::this_thread::sleep_for(std::chrono::hours(1));
            }
        }
        while (i == 0 && name == "flood") {
            tell(QByteArray(4096, 'x'), "");
        }
        if (i == 0 && name == "line") {
            tell(fault.mid(1).join(' '));
        } else if (i == 0 && name == "swap") {
            QFile::remove(QString::fromLocal8Bit(fault.value(2)));
            QFile::rename(
                QString::fromLocal8Bit(fault.value(1)), QString::fromLocal8Bit(fault.value(2)));
        }
    }
    if (name == "crash-at-end") {
        std::abort();
    } else if (name == "cut") {
        tell("pag", "");
    } else if (name == "exit") {
        std::fprintf(stderr, "%s\n", fault.mid(2).join(' ').constData());
        return fault.value(1).toInt();
    } else if (name == "shrink") {
        std::fprintf(stderr, "shrunk: %s\n", area.resize(0) ? "yes" : "no");
    }
    return int(pdf::HelperExit::Done);
}
