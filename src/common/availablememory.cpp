#include "availablememory.h"

#include <QFile>
#include <QString>

#include <algorithm>

#if defined(Q_OS_LINUX)
#include <sys/resource.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace {

#ifdef Q_OS_LINUX
QByteArray readSmallFile(const QString &path, qsizetype bytes = 4096)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(bytes) : QByteArray();
}

// The number after key in a file of "key value" lines ("MemAvailable:   12345678 kB").
std::optional<qint64> fieldOf(const QString &path, const QByteArray &key, qsizetype bytes = 4096)
{
    for (const QByteArray &line : readSmallFile(path, bytes).split('\n')) {
        if (line.startsWith(key)) {
            bool ok = false;
            const qint64 value = line.mid(key.size()).trimmed().split(' ').value(0).toLongLong(&ok);
            if (ok) {
                return value;
            }
        }
    }
    return std::nullopt;
}

std::optional<qint64> memAvailable()
{
    const std::optional<qint64> kib = fieldOf(QStringLiteral("/proc/meminfo"), "MemAvailable:");
    return kib ? std::optional<qint64>(*kib * 1024) : std::nullopt;
}

// What the address-space limit of this process leaves: the limit less the address space in use.
std::optional<qint64> addressSpaceRoom()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return std::nullopt;
    }
    const std::optional<qint64> usedKib = fieldOf(QStringLiteral("/proc/self/status"), "VmSize:");
    return std::max<qint64>(0, qint64(limit.rlim_cur) - usedKib.value_or(0) * 1024);
}

// What the memory control group of this process may still take: its limit less its use, when
// a limit is set ("max", or version 1's huge number for none, means no limit).
std::optional<qint64> controlGroupRoom()
{
    QString unified;
    QString legacy;
    for (const QByteArray &line : readSmallFile(QStringLiteral("/proc/self/cgroup")).split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(':');
        if (fields.size() == 3 && fields.at(0) == "0" && fields.at(1).isEmpty()) {
            unified = QStringLiteral("/sys/fs/cgroup") + QString::fromLocal8Bit(fields.at(2));
        } else if (fields.size() == 3 && fields.at(1).split(',').contains("memory")) {
            legacy = QStringLiteral("/sys/fs/cgroup/memory") + QString::fromLocal8Bit(fields.at(2));
        }
    }
    const auto room = [](const QString &limitFile,
                          const QString &usageFile) -> std::optional<qint64> {
        bool limited = false;
        bool used = false;
        const qint64 limit = readSmallFile(limitFile).trimmed().toLongLong(&limited);
        const qint64 usage = readSmallFile(usageFile).trimmed().toLongLong(&used);
        // Version 1 says "no limit" with a number near the largest it can hold.
        if (!limited || !used || limit >= (qint64(1) << 62)) {
            return std::nullopt;
        }
        return std::max<qint64>(0, limit - usage);
    };
    if (!legacy.isEmpty()) {
        if (const auto left = room(legacy + QStringLiteral("/memory.limit_in_bytes"),
                legacy + QStringLiteral("/memory.usage_in_bytes"))) {
            return left;
        }
    }
    if (!unified.isEmpty()) {
        return room(
            unified + QStringLiteral("/memory.max"), unified + QStringLiteral("/memory.current"));
    }
    return std::nullopt;
}
#endif

} // namespace

std::optional<qint64> availableMemoryBytes()
{
#if defined(Q_OS_LINUX)
    std::optional<qint64> least;
    for (const std::optional<qint64> &room :
        { memAvailable(), controlGroupRoom(), addressSpaceRoom() }) {
        if (room && (!least || *room < *least)) {
            least = room;
        }
    }
    return least;
#elif defined(Q_OS_WIN)
    MEMORYSTATUSEX status {};
    status.dwLength = sizeof(status);
    if (GlobalMemoryStatusEx(&status)) {
        return qint64(status.ullAvailPhys);
    }
    return std::nullopt;
#else
    return std::nullopt;
#endif
}

std::optional<qint64> memoryKillCount()
{
#ifdef Q_OS_LINUX
    // Counts every kill of the out-of-memory killer, a memory group's included.
    return fieldOf(QStringLiteral("/proc/vmstat"), "oom_kill ", 1 << 16);
#else
    return std::nullopt;
#endif
}
