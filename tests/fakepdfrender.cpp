// A stand-in for mirvale-pdfrender that misbehaves as its input tells it to, for the tests of the
// program's side of the boundary. Called as the real helper is, and confined by the very same
// code; its "PDF" is a script:
//   page W H      a page of that pixel size (render passes fill page i with qRgb(i, 100, 200))
//   tell LINE     print LINE in the size pass
//   confine LAYER confine with Landlock or seccomp alone (both otherwise)
//   fault NAME    misbehave in the render pass once the first page of its range is told:
//     stall (sleep), spin (work without end), nap (sleep two seconds, then go on),
//     blank (every page told "blank"), flood (print without newline, without end),
//     escape WHAT ARGUMENT (try to reach beyond the confinement and print what each try gave
//     on the error output);
//   or before it is confined: swap FROM TO (in the first range: rename FROM over TO, then
//     stall), oom GROUP [always] (unless it reads every page alone: join the memory group
//     GROUP, then take memory until the system ends it);
//   or once the last page is told: line TEXT (in the first range: one more line),
//     crash-at-end, cut (print "pag" without a newline), exit N TEXT (print TEXT to the error
//     output, "\n" as a line break, exit with N), shrink (try to cut the page area to nothing).
#include "tools/pdf/reading/helper/confinement.h"
#include "tools/pdf/reading/renderprotocol.h"

#include <QFile>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <thread>

#ifdef Q_OS_LINUX
#include <arpa/inet.h>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/keyctl.h>
#include <linux/sched.h>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

extern char **environ;
#endif

namespace {

void tell(const QByteArray &line, const char *end = "\n")
{
    std::fprintf(stdout, "%s%s", line.constData(), end);
    std::fflush(stdout);
}

bool openHandle(QFile &file, const char *argument, QIODevice::OpenMode mode)
{
    const std::optional<int> fd = pdf::descriptorFromArgument(QString::fromLocal8Bit(argument));
    if (!fd) {
        file.setFileName(QString::fromLocal8Bit(argument));
        return file.open(mode);
    }
    return file.open(*fd, mode, QFileDevice::AutoCloseHandle);
}

#ifdef Q_OS_LINUX
// What a call gave: "done", or the name of its error.
QByteArray outcome(long result)
{
    return result >= 0 ? QByteArray("done") : QByteArray(strerrorname_np(errno));
}

QByteArray connectTo(int family, const void *address, socklen_t size)
{
    const int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    return fd < 0 ? outcome(fd)
                  : outcome(connect(fd, static_cast<const sockaddr *>(address), size));
}

// Each try of one escape, named, and what it gave.
QByteArray escape(const QByteArray &what, const QByteArray &argument, int sourceFd)
{
    const pid_t program = getppid();
    const QByteArray mem = "/proc/" + QByteArray::number(program) + "/mem";
    if (what == "write") {
        return outcome(open((argument + "/escaped").constData(), O_CREAT | O_WRONLY, 0600));
    } else if (what == "read") {
        return outcome(open(argument.constData(), O_RDONLY));
    } else if (what == "write-pdf") {
        const QByteArray fdPath = "/proc/self/fd/" + QByteArray::number(sourceFd);
        return "by path " + outcome(open(argument.constData(), O_WRONLY | O_APPEND))
            + ", through /proc " + outcome(open(fdPath.constData(), O_WRONLY | O_APPEND));
    } else if (what == "tcp") {
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(argument.toUInt()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return connectTo(AF_INET, &address, sizeof(address));
    } else if (what == "unix") {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, argument.constData(), sizeof(address.sun_path) - 1);
        return connectTo(AF_UNIX, &address, sizeof(address));
    } else if (what == "mem") {
        return outcome(open(mem.constData(), O_RDWR));
    } else if (what == "program") {
        char byte = 0;
        const iovec local { &byte, 1 };
        const iovec remote { reinterpret_cast<void *>(0x10000), 1 };
        const int pidfd = int(syscall(SYS_pidfd_open, program, 0));
        return "ptrace " + outcome(ptrace(PTRACE_SEIZE, program, nullptr, nullptr))
            + ", process_vm_readv " + outcome(process_vm_readv(program, &local, 1, &remote, 1, 0))
            + ", process_vm_writev " + outcome(process_vm_writev(program, &local, 1, &remote, 1, 0))
            + ", pidfd_getfd " + outcome(syscall(SYS_pidfd_getfd, pidfd, 0, 0));
    } else if (what == "signal") {
        const int pidfd = int(syscall(SYS_pidfd_open, program, 0));
        siginfo_t info {};
        info.si_code = SI_QUEUE;
        return "kill " + outcome(kill(program, 0)) + ", tkill "
            + outcome(syscall(SYS_tkill, program, 0)) + ", tgkill "
            + outcome(syscall(SYS_tgkill, program, program, 0)) + ", sigqueue "
            + outcome(syscall(SYS_rt_sigqueueinfo, program, 0, &info)) + ", tgsigqueue "
            + outcome(syscall(SYS_rt_tgsigqueueinfo, program, program, 0, &info)) + ", pidfd "
            + outcome(pidfd < 0 ? pidfd : syscall(SYS_pidfd_send_signal, pidfd, 0, nullptr, 0));
    } else if (what == "start") {
        // A child that is made leaves at once.
        const auto child = [](long pid) {
            if (pid == 0) {
                _exit(0);
            }
            return outcome(pid);
        };
        clone_args args {};
        args.exit_signal = SIGCHLD;
        char *const argv[] = { const_cast<char *>("/bin/true"), nullptr };
        return "fork " + child(syscall(SYS_fork)) + ", vfork " + child(syscall(SYS_vfork))
            + ", clone " + child(syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0)) + ", clone3 "
            + child(syscall(SYS_clone3, &args, sizeof(args))) + ", execve "
            + outcome(execve(argv[0], argv, environ)) + ", execveat "
            + outcome(syscall(SYS_execveat, AT_FDCWD, argv[0], argv, environ, 0));
    } else if (what == "kernel") {
        const iovec range { reinterpret_cast<void *>(0x10000), 4096 };
        const int pidfd = int(syscall(SYS_pidfd_open, program, 0));
        return "process_madvise "
            + outcome(syscall(SYS_process_madvise, pidfd, &range, 1, MADV_COLD, 0)) + ", keyctl "
            + outcome(syscall(SYS_keyctl, KEYCTL_GET_KEYRING_ID, KEY_SPEC_USER_KEYRING, 0))
            + ", add_key "
            + outcome(syscall(SYS_add_key, "user", "mirvale", "x", 1, KEY_SPEC_PROCESS_KEYRING))
            + ", request_key " + outcome(syscall(SYS_request_key, "user", "mirvale", nullptr, 0))
            + ", io_uring " + outcome(syscall(SYS_io_uring_setup, 1, nullptr));
    }
    return "unknown";
}

// What this process was started with beyond its standard channels and the given descriptors.
QByteArray startedWith(const QList<int> &given)
{
    QByteArray names;
    for (char **variable = environ; *variable; ++variable) {
        names += ' ' + QByteArray(*variable).split('=').at(0);
    }
    QByteArray descriptors;
    if (DIR *folder = opendir("/proc/self/fd")) {
        while (const dirent *entry = readdir(folder)) {
            const int fd = std::atoi(entry->d_name);
            if (fd > 2 && fd != dirfd(folder) && !given.contains(fd)) {
                descriptors += ' ' + QByteArray(entry->d_name);
            }
        }
        closedir(folder);
    }
    return "environment" + names + ", descriptors" + descriptors;
}
#endif

} // namespace

int main(int argc, char **argv)
{
    QList<int> given;
    for (int i = 1; i < argc; ++i) {
        given.append(pdf::descriptorFromArgument(QString::fromLocal8Bit(argv[i])).value_or(-1));
    }
#ifdef Q_OS_LINUX
    const QByteArray started = startedWith(given);
#endif
    QFile script;
    QByteArray text;
    if ((argc != 2 && argc != 5) || !openHandle(script, argv[1], QIODevice::ReadOnly)
        || (text = script.readAll()).isEmpty()) {
        return int(pdf::HelperExit::Usage);
    }
    QList<QSize> sizes;
    QList<QByteArray> told;
    QList<QByteArray> fault { "" };
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.at(0) == "page") {
            sizes.append(QSize(words.value(1).toInt(), words.value(2).toInt()));
        } else if (words.at(0) == "tell") {
            told.append(line.mid(5));
        } else if (words.at(0) == "fault") {
            fault = words.mid(1);
        }
    }
    const QByteArray name = fault.at(0);
    if (name == "swap" && argc == 5 && std::atoi(argv[2]) == 0) {
        QFile::remove(QString::fromLocal8Bit(fault.value(2)));
        QFile::rename(
            QString::fromLocal8Bit(fault.value(1)), QString::fromLocal8Bit(fault.value(2)));
    }
    const bool oom = name == "oom" && argc == 5
        && (fault.value(2) == "always" || std::atoi(argv[3]) < int(sizes.size()));
    if (oom) {
        QFile group(QString::fromLocal8Bit(fault.value(1) + "/cgroup.procs"));
        if (!group.open(QIODevice::WriteOnly) || group.write("0\n") != 2) {
            return 99;
        }
    }
    const unsigned layers = text.contains("confine landlock") ? pdf::helper::Landlock
        : text.contains("confine seccomp")                    ? pdf::helper::Seccomp
                                                              : pdf::helper::AllLayers;
    if (const std::string skipped = pdf::helper::confine(layers); !skipped.empty()) {
        std::fprintf(stderr, "%s\n", skipped.c_str());
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
    QFile area;
    if (!openHandle(area, argv[4], QIODevice::ReadWrite) || area.size() != layout.bytes) {
        return int(pdf::HelperExit::NotWritten);
    }
    for (QList<QByteArray> taken; oom;) {
        taken.append(QByteArray(16 << 20, 'x'));
    }
    for (int i = 0; i < range.size(); ++i) {
        QImage page(range.at(i), pdf::kPageFormat);
        page.fill(qRgb(first + i, 100, 200));
        area.seek(layout.offsets.at(i));
        area.write(reinterpret_cast<const char *>(page.constBits()), page.sizeInBytes());
        area.flush();
        tell(name == "blank" ? "blank" : "page");
        while (i == 0 && (name == "stall" || name == "swap")) {
            std::this_thread::sleep_for(std::chrono::hours(1));
        }
        for (volatile unsigned work = 0; i == 0 && name == "spin"; work = work + 1) { }
        if (i == 0 && name == "nap") {
            std::this_thread::sleep_for(std::chrono::seconds(2));
        }
        while (i == 0 && name == "flood") {
            tell(QByteArray(4096, 'x'), "");
        }
        if (i == range.size() - 1 && name == "line" && first == 0) {
            tell(fault.mid(1).join(' '));
#ifdef Q_OS_LINUX
        } else if (i == 0 && name == "escape") {
            const QByteArray what = fault.value(1);
            std::fprintf(stderr, "escape %s: %s\n", what.constData(),
                (what == "started" ? started : escape(what, fault.value(2), given.at(0)))
                    .constData());
#endif
        }
    }
    if (name == "crash-at-end") {
        std::abort();
    } else if (name == "cut") {
        tell("pag", "");
    } else if (name == "exit") {
        std::fprintf(stderr, "%s\n", fault.mid(2).join(' ').replace("\\n", "\n").constData());
        return fault.value(1).toInt();
    } else if (name == "shrink") {
        std::fprintf(stderr, "shrunk: %s\n", area.resize(0) ? "yes" : "no");
    }
    return int(pdf::HelperExit::Done);
}
