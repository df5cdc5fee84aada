// Asking Windows for its monitors and the cursor.
#include "monitor_list.h"

#include "win32.h"

namespace qv {
namespace {

// FNV-1a over the device name: a lasting id for the same display output.
std::uint64_t NameId(const wchar_t* name) noexcept {
    constexpr std::uint64_t kOffsetBasis = 14695981039346656037ull;
    constexpr std::uint64_t kPrime = 1099511628211ull;
    std::uint64_t hash = kOffsetBasis;
    for (; *name != L'\0'; ++name) {
        hash ^= static_cast<std::uint64_t>(*name);
        hash *= kPrime;
    }
    return hash;
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* list = reinterpret_cast<MonitorList*>(data);
    if (list->count == kMaxMonitors) return FALSE;
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info)) return TRUE;
    const RECT& r = info.rcMonitor;
    list->monitors[list->count++] =
        Monitor{ScreenRect{r.left, r.top, r.right, r.bottom}, NameId(info.szDevice),
                (info.dwFlags & MONITORINFOF_PRIMARY) != 0};
    return TRUE;
}

}  // namespace

MonitorList EnumerateMonitors() noexcept {
    MonitorList list;
    EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&list));
    return list;
}

ScreenPoint CursorPosition() noexcept {
    POINT p{0, 0};
    GetCursorPos(&p);
    return ScreenPoint{p.x, p.y};
}

}  // namespace qv
