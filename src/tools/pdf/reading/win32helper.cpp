#include "win32helper.h"

#ifdef _WIN32

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00 // job lists of new processes came with Windows 10
#endif
#include <windows.h>

#include <algorithm>
#include <string>

namespace pdf::win32 {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::uint64_t joined(DWORD high, DWORD low)
{
    return (std::uint64_t(high) << 32) | low;
}

Handle validOrNull(HANDLE handle)
{
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

} // namespace

void closeHandle(Handle handle)
{
    if (handle) {
        CloseHandle(handle);
    }
}

bool identify(Handle file, FileIdentity *identity)
{
    BY_HANDLE_FILE_INFORMATION info {};
    if (!GetFileInformationByHandle(file, &info)
        || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    identity->volume = info.dwVolumeSerialNumber;
    identity->index = joined(info.nFileIndexHigh, info.nFileIndexLow);
    identity->size = joined(info.nFileSizeHigh, info.nFileSizeLow);
    identity->written =
        joined(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime);
    return true;
}

Handle openForReading(const wchar_t *path, FileIdentity *identity)
{
    // Not a device, a pipe or a folder: only a file on a disk has an identity to check.
    const Handle file = validOrNull(CreateFileW(
        path, GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file && (GetFileType(file) != FILE_TYPE_DISK || !identify(file, identity))) {
        closeHandle(file);
        return nullptr;
    }
    return file;
}

bool identifyPath(const wchar_t *path, FileIdentity *identity)
{
    const Handle file = validOrNull(CreateFileW(path, FILE_READ_ATTRIBUTES, kShareAll, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const bool known = file && identify(file, identity);
    closeHandle(file);
    return known;
}

Handle reopenForChild(Handle file, bool writable)
{
    const Handle handle =
        validOrNull(ReOpenFile(file, GENERIC_READ | (writable ? GENERIC_WRITE : 0), kShareAll, 0));
    if (handle && !SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) {
        closeHandle(handle);
        return nullptr;
    }
    return handle;
}

Handle createPageFile(const wchar_t *folder, std::uint64_t bytes)
{
    // A name of its own in the folder: the process id and a counter, tried until one is free.
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring path = std::wstring(folder) + L"\\mirvale-pages-"
            + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
        const Handle file = validOrNull(
            CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED
                    | FILE_FLAG_DELETE_ON_CLOSE,
                nullptr));
        if (!file) {
            if (GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            return nullptr;
        }
        LARGE_INTEGER size;
        size.QuadPart = LONGLONG(bytes);
        if (!SetFilePointerEx(file, size, nullptr, FILE_BEGIN) || !SetEndOfFile(file)) {
            closeHandle(file);
            return nullptr;
        }
        return file;
    }
    return nullptr;
}

bool fileSize(Handle file, std::uint64_t *bytes)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) {
        return false;
    }
    *bytes = std::uint64_t(size.QuadPart);
    return true;
}

bool readAt(Handle file, std::uint64_t offset, void *buffer, std::uint64_t bytes)
{
    auto *at = static_cast<char *>(buffer);
    while (bytes > 0) {
        OVERLAPPED where {};
        where.Offset = DWORD(offset);
        where.OffsetHigh = DWORD(offset >> 32);
        const DWORD chunk = DWORD(std::min<std::uint64_t>(bytes, 1U << 30));
        DWORD read = 0;
        if (!ReadFile(file, at, chunk, &read, &where) || read == 0) {
            return false;
        }
        at += read;
        offset += read;
        bytes -= read;
    }
    return true;
}

Handle createHelperJob(std::uint64_t memoryLimit)
{
    const Handle job = CreateJobObjectW(nullptr, nullptr);
    if (!job) {
        return nullptr;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE
        | JOB_OBJECT_LIMIT_PROCESS_MEMORY | JOB_OBJECT_LIMIT_ACTIVE_PROCESS
        | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    // The helper itself is the one process the job may hold.
    limits.BasicLimitInformation.ActiveProcessLimit = 1;
    limits.ProcessMemoryLimit = SIZE_T(memoryLimit);
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        closeHandle(job);
        return nullptr;
    }
    return job;
}

bool processCpuTimeMs(unsigned long processId, std::uint64_t *milliseconds)
{
    const Handle process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    FILETIME created {};
    FILETIME exited {};
    FILETIME kernel {};
    FILETIME user {};
    const bool known = process && GetProcessTimes(process, &created, &exited, &kernel, &user);
    closeHandle(process);
    if (known) {
        // In units of 100 nanoseconds.
        *milliseconds = (joined(kernel.dwHighDateTime, kernel.dwLowDateTime)
                            + joined(user.dwHighDateTime, user.dwLowDateTime))
            / 10'000;
    }
    return known;
}

struct ChildStart::Private
{
    Handle job = nullptr;
    std::vector<Handle> inherited;
    std::vector<char> attributeMemory;
    bool attributesMade = false;
    STARTUPINFOEXW info {};
};

ChildStart::ChildStart(Handle job, std::vector<Handle> inherited)
    : d(std::make_unique<Private>())
{
    d->job = job;
    d->inherited = std::move(inherited);
}

ChildStart::~ChildStart()
{
    if (d->attributesMade) {
        DeleteProcThreadAttributeList(
            reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(d->attributeMemory.data()));
    }
}

void *ChildStart::extend(const void *startupInfo, unsigned long *creationFlags)
{
    const auto *given = static_cast<const STARTUPINFOW *>(startupInfo);
    if (!d->job || d->attributesMade) {
        return nullptr;
    }
    // The standard handles the child is given, and the files: each once, none invalid.
    std::vector<Handle> handles;
    for (const Handle handle :
        { Handle(given->hStdInput), Handle(given->hStdOutput), Handle(given->hStdError) }) {
        if (handle && handle != INVALID_HANDLE_VALUE) {
            handles.push_back(handle);
        }
    }
    handles.insert(handles.end(), d->inherited.begin(), d->inherited.end());
    std::sort(handles.begin(), handles.end());
    handles.erase(std::unique(handles.begin(), handles.end()), handles.end());
    d->inherited = handles;

    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 2, 0, &size);
    d->attributeMemory.resize(size);
    auto *attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(d->attributeMemory.data());
    if (!InitializeProcThreadAttributeList(attributes, 2, 0, &size)) {
        return nullptr;
    }
    d->attributesMade = true;
    if (!UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
            d->inherited.data(), d->inherited.size() * sizeof(Handle), nullptr, nullptr)
        || !UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_JOB_LIST, &d->job,
            sizeof(Handle), nullptr, nullptr)) {
        return nullptr;
    }
    d->info.StartupInfo = *given;
    d->info.StartupInfo.cb = sizeof(STARTUPINFOEXW);
    d->info.lpAttributeList = attributes;
    *creationFlags |= EXTENDED_STARTUPINFO_PRESENT;
    return &d->info;
}

} // namespace pdf::win32

#endif
