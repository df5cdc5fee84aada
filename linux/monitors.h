// What the X server says about the monitors and the pointer: the layout the
// overlay chooses its monitor from (display/monitor_layout.h decides), and
// where the pointer is when a gesture is handled.
#pragma once

#include <optional>
#include <vector>

#include "monitor_layout.h"

namespace qv::linuxshell {

// The active monitors in device pixels, from RandR 1.5. A server without
// them (no RandR, an older one, or every output switched off) gives the
// whole root window as the one primary monitor, so the list is never empty.
std::vector<Monitor> QueryMonitors();

// Calls `changed` after every RandR screen change, whether or not GDK saw
// one: GDK follows outputs, not the monitors defined on them, and says
// nothing when only those changed.
void WatchMonitors(void (*changed)());

// The pointer on the root window; none when it is on another screen.
std::optional<ScreenPoint> QueryPointer();

}  // namespace qv::linuxshell
