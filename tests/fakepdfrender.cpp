// A stand-in for mirvale-pdfrender that misbehaves as its input tells it to, for the tests of the
// program's side of the boundary. Called as the real helper is; its "PDF" is a script:
//   page W H         a page of that pixel size (render passes fill page i with qRgb(i, 100, 200))
//   tell LINE        in the size pass, print LINE instead of the lines the pages give
//   fault NAME [ARG] misbehave in the render pass, once the first page of its range is told:
//     crash            abort
//     crash-at-end     abort after the last page is told
//     stall            never print again
//     flood            print without a newline, without end
//     line TEXT        print TEXT as one more line, then go on
//     cut              after the last page, print "pag" without a newline
//     exit N           after the last page, exit with status N
//     stop             exit with status 0
//     blank            tell every page of its range as "blank"
//     shrink           after the last page, try to cut the page area to nothing
//     swap FROM TO     rename FROM over TO, then go on
//     pid FILE         write this process's id to FILE, then stall
//   stderr TEXT      print TEXT to the error output before exiting with a failure
#include "tools/pdf/renderprotocol.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

void tell(const QByteArray &line, bool newline = true)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    if (newline) {
        std::fputc('\n', stdout);
    }
    std::fflush(stdout);
}

[[noreturn]] void stall()
{
    for (;;) {
        std::this_thread::sleep_for(std::chrono::hours(1));
    }
}

QString handlePath(const QString &argument)
{
    const std::optional<int> fd = descriptorFromArgument(argument);
    return fd ? QStringLiteral("/proc/self/fd/%1").arg(*fd) : argument;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2 && argc != 5) {
        return int(HelperExit::Usage);
    }
    QFile script(handlePath(QString::fromLocal8Bit(argv[1])));
    if (!script.open(QIODevice::ReadOnly)) {
        return int(HelperExit::NotLoaded);
    }
    QList<QSize> sizes;
    QList<QByteArray> told;
    QList<QByteArray> fault;
    QByteArray errorText;
    for (const QByteArray &line : script.readAll().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.at(0) == "page" && words.size() == 3) {
            sizes.append(QSize(words.at(1).toInt(), words.at(2).toInt()));
        } else if (words.at(0) == "tell") {
            told.append(line.mid(5));
        } else if (words.at(0) == "fault") {
            fault = words.mid(1);
        } else if (words.at(0) == "stderr") {
            errorText = line.mid(7);
        }
    }
    const auto failWith = [&errorText](HelperExit code) {
        std::fprintf(stderr, "%s\n", errorText.constData());
        return int(code);
    };
    if (argc == 2) {
        if (told.isEmpty()) {
            told.append("pages " + QByteArray::number(sizes.size()));
            for (const QSize &size : std::as_const(sizes)) {
                told.append("size " + QByteArray::number(size.width()) + ' '
                    + QByteArray::number(size.height()));
            }
        }
        for (const QByteArray &line : std::as_const(told)) {
            tell(line);
        }
        return int(HelperExit::Done);
    }

    const int first = std::atoi(argv[2]);
    const QList<QSize> range = sizes.mid(first, std::atoi(argv[3]));
    const PageAreaLayout layout = pageAreaLayout(range);
    QFile area(handlePath(QString::fromLocal8Bit(argv[4])));
    if (!area.open(QIODevice::ReadWrite) || area.size() != layout.bytes) {
        return failWith(HelperExit::NotWritten);
    }
    const QByteArray name = fault.value(0);
    for (int i = 0; i < range.size(); ++i) {
        QImage page(range.at(i), kPageFormat);
        page.fill(qRgb(first + i, 100, 200));
        area.seek(layout.offsets.at(i));
        area.write(reinterpret_cast<const char *>(page.constBits()), page.sizeInBytes());
        area.flush();
        tell(name == "blank" ? "blank" : "page");
        if (i > 0) {
            continue;
        }
        if (name == "crash") {
            std::abort();
        } else if (name == "stall") {
            stall();
        } else if (name == "flood") {
            for (;;) {
                tell(QByteArray(4096, 'x'), false);
            }
        } else if (name == "line") {
            tell(fault.mid(1).join(' '));
        } else if (name == "stop") {
            return int(HelperExit::Done);
        } else if (name == "swap") {
            QFile::remove(QString::fromLocal8Bit(fault.value(2)));
            QFile::rename(
                QString::fromLocal8Bit(fault.value(1)), QString::fromLocal8Bit(fault.value(2)));
        } else if (name == "pid") {
            QFile pid(QString::fromLocal8Bit(fault.value(1)));
            if (pid.open(QIODevice::WriteOnly)) {
                pid.write(QByteArray::number(QCoreApplication::applicationPid()));
            }
            pid.close();
            stall();
        }
    }
    if (name == "crash-at-end") {
        std::abort();
    } else if (name == "cut") {
        tell("pag", false);
    } else if (name == "exit") {
        return failWith(HelperExit(fault.value(1).toInt()));
    } else if (name == "shrink") {
        std::fprintf(stderr, "shrunk: %s\n", area.resize(0) ? "yes" : "no");
    }
    return int(HelperExit::Done);
}
