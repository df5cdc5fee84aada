// GDI+ for the whole process: started once during static initialisation by
// gdiplusGuard and shut down with the last reference at exit. The engine
// fills the triangles itself; GDI+ is kept running for the lifetime of the
// process all the same, so that anything drawn through it later finds it up.
#pragma once

#include <cstdint>

#include "win32.h"

namespace qv {

extern ULONG_PTR gdiplusToken;        // 0 while GDI+ is not started
extern std::int32_t gdiplusRefCount;  // live StartupRef objects

// Starts GDI+ if it is not running, and counts itself; the last one to go
// shuts it down.
class StartupRef {
public:
    StartupRef() noexcept;
    ~StartupRef();
    StartupRef(const StartupRef&) = delete;
    StartupRef& operator=(const StartupRef&) = delete;
};

class QvGDIPlus {
public:
    QvGDIPlus();
    virtual ~QvGDIPlus();
    QvGDIPlus(const QvGDIPlus&) = delete;
    QvGDIPlus& operator=(const QvGDIPlus&) = delete;

    StartupRef* ref = nullptr;
};

}  // namespace qv
