#pragma once

#include <QList>

#include <optional>

class QProcess;

namespace pdf {

class HelperFile;

// Makes process start as a render helper: with an empty environment, inheriting its standard
// channels and the given files and nothing else of this process's. On Linux it also dies with
// this process, goes first when memory runs out, never gains privileges and keeps to a bounded
// address space; on Windows it runs in a job object of its own that ends it with this process,
// bounds its memory and lets it start no process. The helper confines itself further before it
// reads a byte (helper/confinement.h). Call before start; the files stay open until it started.
void prepareHelperProcess(QProcess &process, const QList<const HelperFile *> &files);

// How much processor time the process pid (a child of this one) has used, in milliseconds;
// nothing where the system does not tell.
std::optional<qint64> processCpuTimeMs(qint64 pid);

} // namespace pdf
