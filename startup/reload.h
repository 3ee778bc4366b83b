// Reading the files again while the game runs ("PELLIX" "Reload" = 1). Start-up makes spare
// copies of the settings, the two tables and the files' bytes; once a second of HostClockMs,
// between two frames, the files' stamps are compared with those last read. A changed file is
// read (until two reads agree) into the spare copy, checked for the faults lint reports, and
// swapped in only when it has none; the settings that size the pool and the table, and Reload
// itself, stay as start-up read them. A changed pellix.fx is made again by the drawing at its
// next frame. Every reload adds its lines to pellix.log, which keeps the start-up lines and
// the latest reload lines. Nothing is allocated after start-up.
#pragma once
#include <cstdint>

#include "sim/pool.h"
#include "startup/file_access.h"
#include "startup/profile.h"
#include "startup/startup_log.h"

namespace pellix {

// How often the files are looked at, in HostClockMs.
inline constexpr uint32_t ReloadIntervalMs = 1000;
// Bounds of the log: the latest reload lines it keeps, and the longest line.
inline constexpr size_t ReloadLogKeep = 32 * 1024;
inline constexpr size_t ReloadLogLineSize = 512;
// Fault lines written for one file at one reload; the rest are counted.
inline constexpr int ReloadFaultLines = 40;

// Set when pellix.fx changed; the drawing makes the effect again at its next frame and clears it.
extern int32_t effectReloadPending;

// Start-up, after the pool, when settings.Reload is non-zero: the spare copies and the files'
// stamps. Without file access or memory for the copies it says so in `log` and sets
// settings.Reload to 0: the files are then read once, as without the key.
void PrepareReload(const FileAccess& files, const ProfileReader& profile, ZeroAllocator allocate,
                   const StartupLog& startupLog, StartupLog& log);

// Start-up left a Reset site unhooked and turned the batched drawing off (its buffers would
// make that Reset fail): a reload keeps TracerBatch at 0, whatever the file says.
void HoldTracerBatchOff();

// Frees the spare copies and forgets every stamp (tests and tools; the library never calls it).
void ReleaseReload();

// Called at every frame's boundaries. With Reload off it returns at once; otherwise, at most
// once per ReloadIntervalMs and never while a loop walks the pool, it looks at the files.
void ReloadCheckpoint();

// One line for pellix.log (printf format), cut at ReloadLogLineSize; written at the next flush.
void ReloadLogLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
// Appends the lines not yet written to pellix.log, or writes it anew (the start-up lines, then
// the latest ReloadLogKeep bytes of reload lines) when it would grow past its bound.
void FlushReloadLog();

}  // namespace pellix
