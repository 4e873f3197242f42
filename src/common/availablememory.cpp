#include "availablememory.h"

#include <QFile>
#include <QString>

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

#ifdef Q_OS_LINUX
QByteArray readSmallFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray();
}

std::optional<qint64> memAvailable()
{
    // "MemAvailable:   12345678 kB"
    for (const QByteArray &line : readSmallFile(QStringLiteral("/proc/meminfo")).split('\n')) {
        if (line.startsWith("MemAvailable:")) {
            bool ok = false;
            const qint64 kib = line.mid(13).trimmed().split(' ').value(0).toLongLong(&ok);
            if (ok) {
                return kib * 1024;
            }
        }
    }
    return std::nullopt;
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
    const std::optional<qint64> system = memAvailable();
    const std::optional<qint64> group = controlGroupRoom();
    if (system && group) {
        return std::min(*system, *group);
    }
    return system ? system : group;
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
