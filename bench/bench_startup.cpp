// Start-up to the first mapped window: the time from starting a program until the X server maps
// its first window, the median of several runs, beside a bare Qt window (barewindow.cpp). Each
// started program is killed once its window is mapped, and runs with a settings folder of its
// own. Run it under an X server without a window manager, so that windows map as asked:
//
//   xvfb-run -a -s "-screen 0 1920x1040x24" build/bench/bench_startup build/mirvale [runs]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <poll.h>
#include <xcb/xcb.h>

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

// Milliseconds from the start of program until a window is mapped; negative when none is within
// ten seconds.
double timeToFirstWindow(xcb_connection_t *connection, const QString &program)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(program, {});
    double mapped = -1;
    pollfd watched { xcb_get_file_descriptor(connection), POLLIN, 0 };
    while (mapped < 0 && timer.elapsed() < 10'000) {
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(
            xcb_poll_for_event(connection), &std::free);
        if (!event) {
            poll(&watched, 1, 10);
            continue;
        }
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            mapped = timer.nsecsElapsed() / 1e6;
        }
    }
    process.kill();
    process.waitForFinished();
    // Whatever the killed program's windows still say is not the next run's.
    xcb_flush(connection);
    while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
        std::free(event);
    }
    return mapped;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_startup PROGRAM [RUNS]\n");
        return 2;
    }
    const QString program = QString::fromLocal8Bit(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;

    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "no X server\n");
        return 1;
    }
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);

    // Taken in turns, so that both meet the same machine.
    QList<double> programTimes;
    QList<double> bareTimes;
    for (int run = 0; run < runs; ++run) {
        programTimes.append(timeToFirstWindow(connection, program));
        bareTimes.append(timeToFirstWindow(connection, QStringLiteral(MIRVALE_BARE_WINDOW)));
        if (programTimes.last() < 0 || bareTimes.last() < 0) {
            std::fprintf(stderr, "no window was mapped within ten seconds\n");
            return 1;
        }
    }
    const double programMedian = median(programTimes);
    const double bareMedian = median(bareTimes);
    std::printf("first window mapped, median of %d runs: %s %.0f ms, bare Qt window %.0f ms, "
                "ratio %.2f\n",
        runs, argv[1], programMedian, bareMedian, programMedian / bareMedian);
    xcb_disconnect(connection);
    return 0;
}
