#include "confinement.h"

#if defined(__linux__)
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>
#elif defined(_WIN32)
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#endif

namespace pdf::helper {

#if defined(__linux__)

namespace {

// Landlock's interface, defined here rather than taken from the system's headers: they may
// predate the parts used (network rules came with version 4, scopes with version 6), and the
// kernel, not the headers, tells what it can do.
#ifndef SYS_landlock_create_ruleset
#define SYS_landlock_create_ruleset 444
#define SYS_landlock_add_rule 445
#define SYS_landlock_restrict_self 446
#endif

constexpr unsigned kLandlockCreateVersion = 1U << 0;
constexpr int kLandlockRulePathBeneath = 1;

constexpr std::uint64_t kFsExecute = 1ULL << 0;
constexpr std::uint64_t kFsReadFile = 1ULL << 2;
constexpr std::uint64_t kFsReadDir = 1ULL << 3;
// Version 1: execute, write, read, read folders, remove folders and files, make devices,
// folders, files, sockets, pipes and links (bits 0 to 12).
constexpr std::uint64_t kFsVersion1 = (1ULL << 13) - 1;
constexpr std::uint64_t kFsRefer = 1ULL << 13; // version 2
constexpr std::uint64_t kFsTruncate = 1ULL << 14; // version 3
constexpr std::uint64_t kFsIoctlDev = 1ULL << 15; // version 5
constexpr std::uint64_t kNetBindTcp = 1ULL << 0; // version 4
constexpr std::uint64_t kNetConnectTcp = 1ULL << 1;
constexpr std::uint64_t kScopeAbstractUnixSocket = 1ULL << 0; // version 6
constexpr std::uint64_t kScopeSignal = 1ULL << 1;

struct RulesetAttr
{
    std::uint64_t handledAccessFs;
    std::uint64_t handledAccessNet;
    std::uint64_t scoped;
};

struct __attribute__((packed)) PathBeneathAttr
{
    std::uint64_t allowedAccess;
    std::int32_t parentFd;
};

// What the engine and Qt read once the helper runs: their libraries, data and fonts, and the
// font configuration. Nothing of the user's.
constexpr const char *kReadableFolders[] = { "/usr", "/etc/fonts" };

std::string errnoText(const char *what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    { }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor()
    {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Empty when the ruleset holds, else why not.
std::string applyLandlock()
{
    const long version = syscall(SYS_landlock_create_ruleset, nullptr, 0, kLandlockCreateVersion);
    if (version < 1) {
        return errnoText("Landlock is not available", errno);
    }
    RulesetAttr ruleset {};
    ruleset.handledAccessFs = kFsVersion1 | (version >= 2 ? kFsRefer : 0)
        | (version >= 3 ? kFsTruncate : 0) | (version >= 5 ? kFsIoctlDev : 0);
    ruleset.handledAccessNet = version >= 4 ? kNetBindTcp | kNetConnectTcp : 0;
    ruleset.scoped = version >= 6 ? kScopeAbstractUnixSocket | kScopeSignal : 0;
    // A kernel reads as much of the structure as its version knows.
    const size_t size = version >= 6 ? sizeof(RulesetAttr)
        : version >= 4               ? offsetof(RulesetAttr, scoped)
                                     : offsetof(RulesetAttr, handledAccessNet);
    const Descriptor rules(int(syscall(SYS_landlock_create_ruleset, &ruleset, size, 0)));
    if (rules.get() < 0) {
        return errnoText("Landlock ruleset not made", errno);
    }
    for (const char *folder : kReadableFolders) {
        const Descriptor path(open(folder, O_PATH | O_CLOEXEC | O_DIRECTORY));
        if (path.get() < 0) {
            continue; // a system without it needs no rule for it
        }
        const PathBeneathAttr rule { kFsExecute | kFsReadFile | kFsReadDir, path.get() };
        if (syscall(SYS_landlock_add_rule, rules.get(), kLandlockRulePathBeneath, &rule, 0) != 0) {
            return errnoText("Landlock rule not added", errno);
        }
    }
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0
        || syscall(SYS_landlock_restrict_self, rules.get(), 0) != 0) {
        return errnoText("Landlock not applied", errno);
    }
    return {};
}

std::string applySeccomp()
{
    const scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
    if (!filter) {
        return "seccomp is not available";
    }
    const pid_t self = getpid();
    const std::uint32_t denied = SCMP_ACT_ERRNO(EPERM);
    int failed = seccomp_attr_set(filter, SCMP_FLTATR_CTL_TSYNC, 1);
    const auto deny = [&](int call, std::uint32_t action = SCMP_ACT_ERRNO(EPERM)) {
        if (failed == 0) {
            failed = seccomp_rule_add(filter, action, call, 0);
        }
    };
    // Signals: only to this process itself (raise and abort use tgkill on it).
    const auto denyUnlessSelf = [&](int call) {
        if (failed == 0) {
            failed =
                seccomp_rule_add(filter, denied, call, 1, SCMP_A0(SCMP_CMP_NE, scmp_datum_t(self)));
        }
    };
    for (const int call :
        { SCMP_SYS(fork), SCMP_SYS(vfork), SCMP_SYS(execve), SCMP_SYS(execveat), SCMP_SYS(socket),
            SCMP_SYS(ptrace), SCMP_SYS(process_vm_readv), SCMP_SYS(process_vm_writev),
            SCMP_SYS(process_madvise), SCMP_SYS(pidfd_getfd), SCMP_SYS(pidfd_send_signal),
            SCMP_SYS(tkill), SCMP_SYS(add_key), SCMP_SYS(request_key), SCMP_SYS(keyctl),
            SCMP_SYS(io_uring_setup), SCMP_SYS(io_uring_enter), SCMP_SYS(io_uring_register) }) {
        deny(call);
    }
    // clone3 passes its flags in memory, out of the filter's sight: glibc starts threads
    // through clone when it is missing.
    deny(SCMP_SYS(clone3), SCMP_ACT_ERRNO(ENOSYS));
    if (failed == 0) {
        failed = seccomp_rule_add(filter, denied, SCMP_SYS(clone), 1,
            SCMP_A0(SCMP_CMP_MASKED_EQ, scmp_datum_t(CLONE_THREAD), 0));
    }
    for (const int call : { SCMP_SYS(kill), SCMP_SYS(tgkill), SCMP_SYS(rt_sigqueueinfo),
             SCMP_SYS(rt_tgsigqueueinfo) }) {
        denyUnlessSelf(call);
    }
    if (failed == 0) {
        failed = seccomp_load(filter);
    }
    seccomp_release(filter);
    return failed == 0 ? std::string() : errnoText("seccomp filter not applied", -failed);
}

} // namespace

std::string confine(unsigned layers)
{
    std::string skipped;
    const auto note = [&skipped](const std::string &why) {
        if (!why.empty()) {
            skipped += (skipped.empty() ? "" : "; ") + why;
        }
    };
    if (layers & Landlock) {
        note(applyLandlock());
    }
    if (layers & Seccomp) {
        note(applySeccomp());
    }
    return skipped;
}

int adoptInherited(long long number, bool)
{
    return number >= 0 && number <= 0x7fffffff ? int(number) : -1;
}

#elif defined(_WIN32)

std::string confine(unsigned)
{
    // Text mode would end every line in "\r\n", and the program takes a line as it is.
    _setmode(_fileno(stdout), _O_BINARY);
    return {};
}

int adoptInherited(long long number, bool writable)
{
    if (number <= 0) {
        return -1;
    }
    return _open_osfhandle(
        static_cast<std::intptr_t>(number), (writable ? 0 : _O_RDONLY) | _O_BINARY);
}

#else

std::string confine(unsigned)
{
    return "no confinement on this system";
}

int adoptInherited(long long number, bool)
{
    return number >= 0 && number <= 0x7fffffff ? int(number) : -1;
}

#endif

} // namespace pdf::helper
