#pragma once

// How the PDF render helper is confined, written as if the engine it runs were already taken
// over by the file it reads. Plain C++ with no Qt, so that the Windows part compiles anywhere a
// Windows compiler does.

#include <string>

namespace pdf::helper {

enum Layer : unsigned {
    // Linux: a Landlock ruleset. Read and execute only the system folders the engine and Qt
    // need, write no file anywhere, connect and bind no TCP port, reach no abstract unix socket
    // and signal no process outside the helper. It also keeps ptrace and every /proc/<pid>/mem
    // of other processes out of reach.
    Landlock = 1,
    // Linux: a seccomp filter on every thread: no new process (fork, vfork, clone without
    // CLONE_THREAD, execve, execveat; clone3 answers ENOSYS so that threads start through clone),
    // no socket, no ptrace, no access to other processes' memory, no signal to another process,
    // no kernel keyring and no io_uring (whose requests would pass the filter by).
    Seccomp = 2,
    AllLayers = Landlock | Seccomp,
};

// Confines the calling process for the rest of its life: called once, before a byte of the PDF
// is parsed, and before any thread but the calling one exists. What the process holds already
// (its descriptors, its loaded libraries) stays usable. A layer this system lacks is skipped,
// never the reading: the result names each skipped layer and why, for the log; it is empty when
// every layer asked for holds. On Windows nothing is applied here (the program puts the helper
// in a job object); the helper's standard output is switched to binary there, so that no line
// gains a carriage return.
std::string confine(unsigned layers = AllLayers);

// The C runtime descriptor for an inheritable handle of the program given as a number: the
// descriptor itself on Unix, a descriptor made for the handle on Windows. -1 when there is none.
int adoptInherited(long long number, bool writable);

} // namespace pdf::helper
