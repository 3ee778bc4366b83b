#include "startup/reload.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/host_api.h"
#include "sim/loop_state.h"
#include "startup/data_faults.h"
#include "startup/data_paths.h"
#include "startup/setting_keys.h"
#include "startup/settings.h"
#include "startup/tables.h"

namespace pellix {

int32_t effectReloadPending = 0;

namespace {

enum WatchedIndex { kIni, kWeapons, kSurfaces, kEffect, kWatchedCount };
constexpr const char* kWatchedNames[kWatchedCount] = {SettingsFileName, WeaponFileName,
                                                      SurfaceFileName, "\\pellix.fx"};
constexpr size_t kLeastBytes = 256 * 1024;  // room for a file's bytes, at least
constexpr int kReadTries = 3;               // reads of one check that may disagree
constexpr int kListedRows = 16;             // changed rows named in one line

struct WatchedFile {
  char path[PathBufferSize];
  FileStamp seen;  // of the version last read (or refused)
};

struct ReloadState {
  bool on = false;
  FileAccess files{};
  ProfileReader profile{};
  const StartupLog* startupLog = nullptr;
  WatchedFile watched[kWatchedCount]{};
  char* bytes[2] = {nullptr, nullptr};  // two reads of one file, compared
  size_t capacity = 0;
  WeaponBallistics* spareWeapons = nullptr;
  int32_t* filledAt = nullptr;  // the weapon check's scratch, one entry per row
  SurfaceBallistics spareSurfaces[SurfaceClassCount]{};
  Settings spareSettings{};
  bool batchHeldOff = false;  // HoldTracerBatchOff
  bool checked = false;
  uint32_t lastCheck = 0;
};
ReloadState state;

// The log: lines waiting to be written, and the latest lines kept for a rewrite.
char pending[ReloadLogKeep / 2];
size_t pendingLength = 0;
char kept[ReloadLogKeep];
size_t keptLength = 0;
bool logWritten = false;  // the file holds the start-up lines and `logBytes` bytes in all
uint64_t logBytes = 0;

const char* NameOf(int index) { return kWatchedNames[index] + 1; }

// Drops whole lines from the front of `text` until `needed` more bytes fit in `capacity`.
void MakeRoom(char* text, size_t& length, size_t capacity, size_t needed) {
  if (length + needed <= capacity) return;
  size_t cut = length + needed - capacity;
  while (cut < length && text[cut - 1] != '\n') ++cut;
  if (cut > length) cut = length;
  std::memmove(text, text + cut, length - cut);
  length -= cut;
}

void Append(char* text, size_t& length, size_t capacity, const char* line, size_t n) {
  MakeRoom(text, length, capacity, n);
  if (length + n > capacity) return;  // longer than the whole buffer: never, lines are short
  std::memcpy(text + length, line, n);
  length += n;
}

// --- Faults --------------------------------------------------------------------------------

struct FaultLines {
  int written = 0;
};

void LogFault(void* context, const char* file, int line, const char* reason) {
  auto& lines = *static_cast<FaultLines*>(context);
  if (lines.written >= ReloadFaultLines) return;
  ++lines.written;
  if (line > 0) {
    ReloadLogLine("%s:%d: %s", file, line, reason);
  } else {
    ReloadLogLine("%s: %s", file, reason);
  }
}

void LogRefusal(int index, int faults, int written) {
  if (faults > written) ReloadLogLine("... and %d more faults", faults - written);
  ReloadLogLine("reload refused: %s has %d fault%s; the previous values stay", NameOf(index),
                faults, faults == 1 ? "" : "s");
}

// --- Reading -------------------------------------------------------------------------------

enum class ReadOutcome { Stable, Unsettled, Missing, TooLarge };

// Reads the file until two reads agree and its stamp stays that of `stamp` (updated to the
// stamp of the bytes read). `between`, when given, reads the file another way between them.
ReadOutcome ReadStable(int index, FileStamp& stamp, size_t& size, void (*between)()) {
  const char* path = state.watched[index].path;
  for (int attempt = 0; attempt < kReadTries; ++attempt) {
    const int64_t first = state.files.read(path, state.bytes[0], state.capacity);
    if (first < 0) return ReadOutcome::Missing;
    if (static_cast<uint64_t>(first) > state.capacity) return ReadOutcome::TooLarge;
    if (between) between();
    const int64_t second = state.files.read(path, state.bytes[1], state.capacity);
    const FileStamp after = state.files.stamp(path);
    if (second == first && after == stamp &&
        std::memcmp(state.bytes[0], state.bytes[1], static_cast<size_t>(first)) == 0) {
      size = static_cast<size_t>(first);
      return ReadOutcome::Stable;
    }
    stamp = after;  // written meanwhile: the next try reads the newer version
  }
  return ReadOutcome::Unsettled;
}

// Stable when the bytes are there to use; a file that cannot be read or does not fit is
// refused here (logged), one still being written is left for the next check.
ReadOutcome ReadForReload(int index, FileStamp& stamp, size_t& size, void (*between)() = nullptr) {
  const ReadOutcome outcome = ReadStable(index, stamp, size, between);
  switch (outcome) {
    case ReadOutcome::Stable:
    case ReadOutcome::Unsettled:
      break;
    case ReadOutcome::Missing:
      ReloadLogLine("reload refused: %s cannot be read; the previous values stay", NameOf(index));
      break;
    case ReadOutcome::TooLarge:
      ReloadLogLine(
          "reload refused: %s is larger than the %lu bytes kept for it; a restart reads it",
          NameOf(index), static_cast<unsigned long>(state.capacity));
      break;
  }
  return outcome;
}

// Whether the version read is settled: used or refused, it is not read again until it changes.
bool Settled(ReadOutcome outcome) { return outcome != ReadOutcome::Unsettled; }

// The swap: a line "reloaded: FILE (rows 3, 5)" naming the rows of `spare` that differ from
// `live`, then the spare rows copied over the live ones.
template <typename Row, typename Name>
void SwapInRows(int index, const Row* spare, Row* live, int32_t rows, Name name) {
  char ids[ReloadLogLineSize / 2];
  size_t n = 0;
  int count = 0;
  for (int32_t r = 0; r < rows; ++r) {
    if (std::memcmp(&spare[r], &live[r], sizeof(Row)) == 0) continue;
    if (++count > kListedRows) continue;
    char id[16];
    name(r, id);
    n += static_cast<size_t>(
        std::snprintf(ids + n, sizeof ids - n, "%s%s", count == 1 ? "" : ", ", id));
  }
  if (count == 0) {
    ReloadLogLine("reloaded: %s (no row changed)", NameOf(index));
  } else if (count > kListedRows) {
    ReloadLogLine("reloaded: %s (rows %s and %d more)", NameOf(index), ids, count - kListedRows);
  } else {
    ReloadLogLine("reloaded: %s (%s %s)", NameOf(index), count == 1 ? "row" : "rows", ids);
  }
  std::memcpy(live, spare, static_cast<size_t>(rows) * sizeof(Row));
}

// --- The three files -----------------------------------------------------------------------

void ReadSpareSettings() {
  state.spareSettings = Settings{};
  ReadSettings(state.profile, state.watched[kIni].path, state.spareSettings);
}

bool SameField(const Settings& a, const Settings& b, const SettingKey& key) {
  return std::memcmp(reinterpret_cast<const char*>(&a) + key.offset,
                     reinterpret_cast<const char*>(&b) + key.offset, 4) == 0;
}

// "4096" or "1.5", as the key's value reads.
void FormatValue(const Settings& s, const SettingKey& key, char (&out)[32]) {
  const double value = SettingValue(s, key);
  if (key.integer) {
    std::snprintf(out, sizeof out, "%ld", static_cast<long>(value));
  } else {
    std::snprintf(out, sizeof out, "%g", value);
  }
}

bool RestartOnly(const SettingKey& key) {
  return key.offset == offsetof(Settings, MaxPellix) ||
         key.offset == offsetof(Settings, weaponCount) || key.offset == offsetof(Settings, Reload);
}

// Reads the file and checks it: true when its bytes (state.bytes[0], `size`) are to be used.
// Otherwise `settled` tells whether this version is done with (refused) or to be read again.
template <typename Check>
bool ReadWithoutFaults(int index, FileStamp& stamp, void (*between)(), size_t& size, bool& settled,
                       Check check) {
  const ReadOutcome read = ReadForReload(index, stamp, size, between);
  settled = Settled(read);
  if (read != ReadOutcome::Stable) return false;
  // The data files as the runtime's text mode reads them; the INI as the profile functions do.
  if (index != kIni && state.files.textMode) size = ToRuntimeText(state.bytes[0], size);
  FaultLines lines;
  const FaultSink sink{LogFault, &lines};
  const int faults = check(state.bytes[0], size, sink);
  if (faults == 0) return true;
  LogRefusal(index, faults, lines.written);
  return false;
}

bool ReloadSettings(FileStamp& stamp) {
  size_t size = 0;
  bool settled = true;
  if (!ReadWithoutFaults(kIni, stamp, ReadSpareSettings, size, settled, CheckSettingsFaults)) {
    return settled;
  }
  Settings& fresh = state.spareSettings;
  char line[ReloadLogLineSize];
  int n = 0;
  for (const SettingKey& key : settingKeys) {
    if (state.batchHeldOff && key.offset == offsetof(Settings, TracerBatch)) {
      fresh.TracerBatch = settings.TracerBatch;  // start-up's log said why
      continue;
    }
    if (SameField(settings, fresh, key)) continue;
    char before[32], after[32];
    FormatValue(settings, key, before);
    FormatValue(fresh, key, after);
    if (RestartOnly(key)) {
      ReloadLogLine("pellix.ini: %s %s -> %s needs a restart: kept at %s", key.key, before, after,
                    before);
      std::memcpy(reinterpret_cast<char*>(&fresh) + key.offset,
                  reinterpret_cast<const char*>(&settings) + key.offset, 4);
      continue;
    }
    if (n < static_cast<int>(sizeof line)) {
      n += std::snprintf(line + n, sizeof line - n, "%s%s %s -> %s", n == 0 ? "" : ", ", key.key,
                         before, after);
    }
  }
  settings = fresh;
  ReloadLogLine("reloaded: pellix.ini (%s)", n == 0 ? "no value changed" : line);
  return true;
}

bool ReloadWeapons(FileStamp& stamp) {
  const int32_t count = settings.weaponCount;  // the start-up table's size
  const auto check = [count](const char* text, size_t n, const FaultSink& sink) {
    return CheckWeaponFaults(text, n, count, state.filledAt, sink);
  };
  size_t size = 0;
  bool settled = true;
  if (!ReadWithoutFaults(kWeapons, stamp, nullptr, size, settled, check)) return settled;
  WeaponBallistics* spare = state.spareWeapons;
  std::memset(spare, 0, static_cast<size_t>(count) * sizeof(WeaponBallistics));
  ReadWeaponText(state.bytes[0], size, spare, count);
  SwapInRows(kWeapons, spare, weaponTable, count, [](int32_t r, char(&id)[16]) {
    std::snprintf(id, sizeof id, "%d", static_cast<int>(r));
  });
  return true;
}

bool ReloadSurfaces(FileStamp& stamp) {
  size_t size = 0;
  bool settled = true;
  if (!ReadWithoutFaults(kSurfaces, stamp, nullptr, size, settled, CheckSurfaceFaults)) {
    return settled;
  }
  SurfaceBallistics* spare = state.spareSurfaces;
  std::memset(spare, 0, sizeof state.spareSurfaces);
  ReadSurfaceText(state.bytes[0], size, spare);
  SwapInRows(kSurfaces, spare, surfaceTable, SurfaceClassCount, [](int32_t r, char(&id)[16]) {
    std::snprintf(id, sizeof id, "%s", surfaceKeyNames[r]);
  });
  return true;
}

// Looks at every file once. A file used or refused is not read again until it changes; one
// caught while being written is read again at the next check.
void CheckFiles() {
  for (int index = 0; index < kWatchedCount; ++index) {
    WatchedFile& file = state.watched[index];
    FileStamp stamp = state.files.stamp(file.path);
    if (stamp == file.seen) continue;
    bool settled = true;
    switch (index) {
      case kIni:
        settled = ReloadSettings(stamp);
        break;
      case kWeapons:
        settled = ReloadWeapons(stamp);
        break;
      case kSurfaces:
        settled = ReloadSurfaces(stamp);
        break;
      case kEffect:
        effectReloadPending = 1;
        break;
    }
    if (settled) file.seen = stamp;
  }
}

}  // namespace

void PrepareReload(const FileAccess& files, const ProfileReader& profile, ZeroAllocator allocate,
                   const StartupLog& startupLog, StartupLog& log) {
  ReleaseReload();
  if (files.stamp == nullptr || files.read == nullptr || files.write == nullptr) {
    log.Line("reload: not available here: the files are read once");
    settings.Reload = 0;
    return;
  }
  state.files = files;
  state.profile = profile;
  state.startupLog = &startupLog;
  size_t largest = 0;
  for (int index = 0; index < kWatchedCount; ++index) {
    WatchedFile& file = state.watched[index];
    BuildDataPath(file.path, kWatchedNames[index]);  // fits: start-up built longer ones
    file.seen = files.stamp(file.path);
    if (file.seen.size > largest) largest = static_cast<size_t>(file.seen.size);
  }
  state.capacity = largest * 4 > kLeastBytes ? largest * 4 : kLeastBytes;
  const size_t rows = static_cast<size_t>(settings.weaponCount);
  state.bytes[0] = static_cast<char*>(allocate(state.capacity, 1));
  state.bytes[1] = static_cast<char*>(allocate(state.capacity, 1));
  state.spareWeapons = static_cast<WeaponBallistics*>(allocate(rows, sizeof(WeaponBallistics)));
  state.filledAt = static_cast<int32_t*>(allocate(rows, sizeof(int32_t)));
  if (!state.bytes[0] || !state.bytes[1] || !state.spareWeapons || !state.filledAt) {
    ReleaseReload();
    log.Line("reload: off: not enough memory for the spare copies; the files are read once");
    settings.Reload = 0;
    return;
  }
  state.on = true;
  log.Line(
      "reload: on: pellix.ini, the two data files and pellix.fx are read again when they "
      "change (checked once a second)");
}

void HoldTracerBatchOff() { state.batchHeldOff = true; }

void ReleaseReload() {
  std::free(state.bytes[0]);
  std::free(state.bytes[1]);
  std::free(state.spareWeapons);
  std::free(state.filledAt);
  state = ReloadState{};
  effectReloadPending = 0;
  pendingLength = 0;
  keptLength = 0;
  logWritten = false;
  logBytes = 0;
}

void ReloadCheckpoint() {
  if (!state.on) return;
  // Between frames only: neither loop is on the pool.
  if (projectileLoopOnPool != 0 || traceLoopOnPool != 0) return;
  const uint32_t now = *host.clockMs;
  if (state.checked && now - state.lastCheck < ReloadIntervalMs) return;
  state.checked = true;
  state.lastCheck = now;
  CheckFiles();
  FlushReloadLog();
}

void ReloadLogLine(const char* format, ...) {
  char line[ReloadLogLineSize + 1];
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(line, ReloadLogLineSize, format, args);
  va_end(args);
  if (written < 0) return;
  size_t n = std::strlen(line);
  line[n++] = '\n';
  if (pendingLength + n > sizeof pending) FlushReloadLog();  // a long reload: write what waits
  Append(pending, pendingLength, sizeof pending, line, n);
}

void FlushReloadLog() {
  if (pendingLength == 0 || !state.files.write) return;
  Append(kept, keptLength, sizeof kept, pending, pendingLength);
  char path[PathBufferSize];
  if (!BuildDataPath(path, LogFileName)) {
    pendingLength = 0;
    return;
  }
  const StartupLog* startup = state.startupLog;
  const size_t startupLength = startup ? startup->length : 0;
  if (!logWritten) logBytes = startupLength;  // as start-up wrote it
  logWritten = true;
  if (logBytes + pendingLength <= startupLength + 2 * ReloadLogKeep) {
    if (state.files.write(path, pending, pendingLength, true)) logBytes += pendingLength;
  } else {
    static const char dropped[] =
        "(earlier reload lines dropped: the log keeps the start-up "
        "lines and the latest reload lines)\n";
    const bool whole =
        state.files.write(path, startup ? startup->text : "", startupLength, false) &&
        state.files.write(path, dropped, sizeof dropped - 1, true) &&
        state.files.write(path, kept, keptLength, true);
    logBytes = whole ? startupLength + sizeof dropped - 1 + keptLength : 0;
  }
  pendingLength = 0;
}

}  // namespace pellix
