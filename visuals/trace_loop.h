// The trace-loop takeover: after the host's own trace records the host's trace loop either
// draws the pool's trails as its own traces, or visits one harmless sentinel record and then
// hands over to the plug-in's drawing. ESI is the record + 8 throughout.
#pragma once
#include "host/hook_entries.h"
#include "sim/pool.h"

namespace pellix {

// Visited by the host's loop body in place of the pool when the plug-in draws the trails:
// shown, never expiring, colourless. The plug-in never writes it; it is not read-only all
// the same, because the host's loop body may write to the records it visits.
extern TrailRecord sentinelTrace;

// The plug-in's drawing of every live trail, called once per run of the trace loop when the
// host does not draw the trails. Null: nothing is drawn.
extern void (*drawTracers)();

}  // namespace pellix
