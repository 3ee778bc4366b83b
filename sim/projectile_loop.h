// The projectile-loop takeover: the decisions behind the hooks in the host's projectile loop
// (declared in host/hook_entries.h). The host's loop pointer EDI is the record + 4; after the
// host's own array the loop walks the pool with the same convention, then leaves.
#pragma once
#include <cstdint>

#include "host/hook_entries.h"
#include "sim/pool.h"

namespace pellix {

// The record that EDI (record + 4) points at. Pool records are ours; the host's own records
// are host memory, reached through host.at.
ProjectileRecord* LoopRecord(uintptr_t edi);

}  // namespace pellix
