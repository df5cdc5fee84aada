// The monitors as Windows reports them (EnumDisplayMonitors, GetMonitorInfo),
// for the choice display/monitor_layout.h makes. Per-monitor DPI awareness
// (the manifest declares it) makes every rectangle physical pixels, as the
// hooks' points and the cursor position are.
#pragma once

#include <array>
#include <cstddef>

#include "monitor_layout.h"

namespace qv {

// Room for more monitors than any desktop has, so that asking allocates
// nothing; monitors past it are left out.
inline constexpr std::size_t kMaxMonitors = 32;

struct MonitorList {
    std::array<Monitor, kMaxMonitors> monitors{};
    std::size_t count = 0;
    MonitorLayout View() const noexcept { return MonitorLayout(monitors.data(), count); }
};

// The desktop's monitors now, each named by its device ("\\.\DISPLAY2").
// Empty only when the system answers nothing.
MonitorList EnumerateMonitors() noexcept;

// The cursor on the virtual screen; (0, 0) when it cannot be read.
ScreenPoint CursorPosition() noexcept;

}  // namespace qv
