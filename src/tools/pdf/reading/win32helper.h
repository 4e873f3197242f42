#pragma once

// The Windows side of handing a render helper its files and bounding it. Plain Win32 without Qt,
// so that it compiles with any Windows compiler.

#ifdef _WIN32

#include <cstdint>
#include <memory>
#include <vector>

namespace pdf::win32 {

using Handle = void *;

// Closes a handle unless it is null.
void closeHandle(Handle handle);

// What tells one version of a file from another: its volume and index, size and last write.
struct FileIdentity
{
    std::uint32_t volume = 0;
    std::uint64_t index = 0;
    std::uint64_t size = 0;
    std::uint64_t written = 0;

    bool operator==(const FileIdentity &other) const
    {
        return volume == other.volume && index == other.index && size == other.size
            && written == other.written;
    }
};

// The regular file at path opened for reading, and what it is; null when it cannot be opened or
// is not a regular file. Others may still read, write, rename or delete it meanwhile.
Handle openForReading(const wchar_t *path, FileIdentity *identity);
// What file is now: false when that cannot be had.
bool identify(Handle file, FileIdentity *identity);
bool identifyPath(const wchar_t *path, FileIdentity *identity);

// A new handle on the file of an open handle, with a file position of its own (so that two
// readers never move each other's), that a child process can inherit. Null on failure.
Handle reopenForChild(Handle file, bool writable);

// A new file of bytes in folder, readable and writable by this process, that the system deletes
// once its last handle is closed: nothing is left behind, whoever ends first or is killed.
Handle createPageFile(const wchar_t *folder, std::uint64_t bytes);
bool fileSize(Handle file, std::uint64_t *bytes);
// Reads bytes from offset, whatever the file position; false unless all were read.
bool readAt(Handle file, std::uint64_t offset, void *buffer, std::uint64_t bytes);

// A job for one helper: the system ends the helper when the job's last handle (the program's)
// closes, the program's end included; the helper may commit at most memoryLimit bytes and start
// no process. Null when it cannot be made.
Handle createHelperJob(std::uint64_t memoryLimit);

// How much processor time the process has used, in user and kernel mode together.
bool processCpuTimeMs(unsigned long processId, std::uint64_t *milliseconds);

// How one helper is created: in its job from its first instruction, inheriting its standard
// handles and the given ones and nothing else of the program's.
class ChildStart
{
public:
    ChildStart(Handle job, std::vector<Handle> inherited);
    ~ChildStart();
    ChildStart(const ChildStart &) = delete;
    ChildStart &operator=(const ChildStart &) = delete;

    // Extends the STARTUPINFOW that CreateProcessW is about to get: returns the STARTUPINFOEXW
    // to pass instead (valid while this object lives) and adds EXTENDED_STARTUPINFO_PRESENT to
    // the creation flags; null when it cannot, and then the child must not be started.
    void *extend(const void *startupInfo, unsigned long *creationFlags);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace pdf::win32

#endif
