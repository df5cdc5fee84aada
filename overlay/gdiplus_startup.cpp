#include "gdiplus_startup.h"

#include <objidl.h>

// The GDI+ headers use min and max unqualified; NOMINMAX hides the macros.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

namespace qv {

ULONG_PTR gdiplusToken = 0;
std::int32_t gdiplusRefCount = 0;

StartupRef::StartupRef() noexcept {
    if (gdiplusToken == 0) {
        Gdiplus::GdiplusStartupInput input;  // version 1, no callback, nothing suppressed
        Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);
    }
    ++gdiplusRefCount;
}

StartupRef::~StartupRef() {
    --gdiplusRefCount;
    if (gdiplusRefCount == 0) {
        Gdiplus::GdiplusShutdown(gdiplusToken);
        gdiplusToken = 0;
    }
}

QvGDIPlus::QvGDIPlus() : ref(new StartupRef) {}

QvGDIPlus::~QvGDIPlus() {
    delete ref;
    ref = nullptr;
}

}  // namespace qv
