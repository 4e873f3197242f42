#pragma once

#include <QtGlobal>

#include <optional>

// How many bytes of memory the system can give this process now without swapping: on Linux the
// kernel's estimate of available memory (MemAvailable), lowered to what is left under the
// process's control-group limit when one is set (as in containers) and under its address-space
// limit (ulimit -v); on Windows the available physical memory. Nothing where the system does
// not tell.
std::optional<qint64> availableMemoryBytes();

// How many processes the system has ended for want of memory since it started (Linux), so that a
// process killed meanwhile can be told from one killed for another reason. Nothing elsewhere.
std::optional<qint64> memoryKillCount();
