#include "helperprocess.h"

#include "helperfiles.h"

#include <QProcess>

#if defined(Q_OS_LINUX)
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include "win32helper.h"

#include <qt_windows.h>

#include <memory>
#include <vector>
#endif

namespace pdf {

namespace {

// A helper may take this much memory: room for the engine and the largest page twice over
// (kMaxRenderPixels at 4 bytes, under 2 GiB), so that only files asking for absurd memory fail
// there.
constexpr quint64 kHelperMemory = quint64(6) << 30;

#ifdef Q_OS_LINUX
#ifndef SYS_close_range
#define SYS_close_range 436
#endif
constexpr unsigned kCloseRangeCloexec = 1U << 2;
#endif

} // namespace

void prepareHelperProcess(QProcess &process, const QList<const HelperFile *> &files)
{
    // Nothing of the session: no display, X authority, D-Bus, agent or other address.
    process.setProcessEnvironment(QProcessEnvironment());
#if defined(Q_OS_LINUX)
    QList<int> inherited;
    for (const HelperFile *file : files) {
        inherited.append(int(file->handle()));
    }
    rlimit descriptors {};
    const int mostDescriptors =
        getrlimit(RLIMIT_NOFILE, &descriptors) == 0 && descriptors.rlim_cur < 1'048'576
        ? int(descriptors.rlim_cur)
        : 1'048'576;
    const pid_t parent = getpid();
    process.setChildProcessModifier([inherited, parent, mostDescriptors] {
        // Between fork and exec: only calls that are safe there. Every descriptor but the
        // standard three closes at exec (not before: Qt's own report of a failed exec needs
        // one), then the files handed over are kept open.
        if (syscall(SYS_close_range, 3U, ~0U, kCloseRangeCloexec) != 0) {
            for (int fd = 3; fd < mostDescriptors; ++fd) {
                fcntl(fd, F_SETFD, FD_CLOEXEC);
            }
        }
        for (const int fd : inherited) {
            fcntl(fd, F_SETFD, 0);
        }
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) {
            _exit(127); // the program died before the line above took effect
        }
        prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
        const int adjust = open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC);
        if (adjust >= 0) {
            [[maybe_unused]] const ssize_t written = write(adjust, "1000", 4);
            close(adjust);
        }
#ifndef MIRVALE_NO_ADDRESS_LIMIT
        const rlimit limit { kHelperMemory, kHelperMemory };
        setrlimit(RLIMIT_AS, &limit);
#endif
    });
#elif defined(Q_OS_WIN)
    // The job lives as long as the process object: closing its handle ends the helper, and the
    // system closes it when this process ends, however it ends.
    struct Start
    {
        win32::Handle job = win32::createHelperJob(kHelperMemory);
        std::unique_ptr<win32::ChildStart> start;
        ~Start() { win32::closeHandle(job); }
    };
    std::vector<win32::Handle> inherited;
    for (const HelperFile *file : files) {
        inherited.push_back(reinterpret_cast<win32::Handle>(file->handle()));
    }
    auto start = std::make_shared<Start>();
    start->start = std::make_unique<win32::ChildStart>(start->job, inherited);
    process.setCreateProcessArgumentsModifier([start](QProcess::CreateProcessArguments *arguments) {
        void *extended = start->start->extend(arguments->startupInfo, &arguments->flags);
        // Without its job and handle list no helper runs: a start that fails is refused.
        arguments->startupInfo = static_cast<LPSTARTUPINFOW>(extended);
        arguments->inheritHandles = TRUE;
    });
#else
    Q_UNUSED(files);
#endif
}

std::optional<qint64> processCpuTimeMs(qint64 pid)
{
#if defined(Q_OS_LINUX)
    clockid_t clock {};
    timespec time {};
    if (pid <= 0 || clock_getcpuclockid(pid_t(pid), &clock) != 0
        || clock_gettime(clock, &time) != 0) {
        return std::nullopt;
    }
    return qint64(time.tv_sec) * 1000 + time.tv_nsec / 1'000'000;
#elif defined(Q_OS_WIN)
    std::uint64_t milliseconds = 0;
    return win32::processCpuTimeMs(static_cast<unsigned long>(pid), &milliseconds)
        ? std::optional<qint64>(qint64(milliseconds))
        : std::nullopt;
#else
    Q_UNUSED(pid);
    return std::nullopt;
#endif
}

} // namespace pdf
