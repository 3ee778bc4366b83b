#include "visuals/trace_loop.h"

#include <cstring>

#include "host/host_addresses.h"
#include "host/host_api.h"
#include "sim/loop_state.h"
#include "startup/reload.h"
#include "startup/settings.h"
#include "visuals/trail_update.h"

namespace pellix {

namespace {

constexpr uintptr_t kPointerOffset = 8;  // ESI is the record + 8

constexpr TrailRecord MakeSentinel() {
  TrailRecord record{};
  record.activity = 1;
  record.lifetime = 0x7FFFFFFF;
  return record;
}

}  // namespace

TrailRecord sentinelTrace = MakeSentinel();

void (*drawTracers)() = nullptr;

uint32_t TraceLoopEndEntry(HookRegisters& regs) {
  if (traceLoopOnPool == 0) {
    // The host's own test is a signed comparison.
    if (static_cast<intptr_t>(regs.esi) < static_cast<intptr_t>(host_addr::HostTraceArrayEnd)) {
      return host_addr::TraceLoopTop;
    }
    // No pool: nothing of ours to visit or draw.
    if (settings.MaxPellix <= 0 || pool.trailArray == nullptr) return host_addr::TraceLoopAfter;
    traceLoopOnPool = 1;
    const TrailRecord* first = HostDrawsTrails() ? pool.trailArray : &sentinelTrace;
    regs.esi = reinterpret_cast<uintptr_t>(first) + kPointerOffset;
    return host_addr::TraceLoopTop;
  }
  if (HostDrawsTrails()) {
    if (regs.esi < reinterpret_cast<uintptr_t>(pool.trailArrayEnd)) return host_addr::TraceLoopTop;
    traceLoopOnPool = 0;
    return host_addr::TraceLoopAfter;
  }
  if (drawTracers != nullptr) drawTracers();
  traceLoopOnPool = 0;
  return host_addr::TraceLoopAfter;
}

uint32_t TraceColourEntry(HookRegisters& regs) {
  const uintptr_t address = regs.esi - kPointerOffset;
  // Pool trails and the sentinel are ours; the host's own records are host memory.
  const void* record = traceLoopOnPool != 0 ? reinterpret_cast<const void*>(address)
                                            : host.at(static_cast<uint32_t>(address));
  const auto* bytes = static_cast<const uint8_t*>(record);
  uint32_t loaded;
  std::memcpy(&loaded, host.at(host_addr::TraceColourSource), sizeof loaded);
  regs.eax = loaded;
  regs.edi =
      TrailColour(bytes[offsetof(TrailRecord, isTracer)], bytes[offsetof(TrailRecord, weaponType)]);
  return host_addr::TraceColourResume;
}

// The trace routine's end is a frame boundary too, should the projectile loop's hook be missing.
void TrailUpdateEntry() {
  ReloadCheckpoint();
  UpdateTrails();
}

}  // namespace pellix
