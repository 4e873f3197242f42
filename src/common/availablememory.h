#pragma once

#include <QtGlobal>

#include <optional>

// How many bytes of memory the system can give this process now without swapping: on Linux the
// kernel's estimate of available memory (MemAvailable), lowered to what is left under the
// process's control-group limit when one is set (as in containers); on Windows the available
// physical memory. Nothing where the system does not tell.
std::optional<qint64> availableMemoryBytes();
