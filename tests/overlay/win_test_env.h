// A test overlay window served by the real OverlayWndProc, and the queue
// lock the program's entry point would have created.
#pragma once

#include "process_state.h"

namespace qv::test {

// Creates (once) a layered window with OverlayWndProc and makes it the
// program's overlay window, as start-up does; the surface is fitted to the
// desktop.
HWND OverlayForTest();

// Removes every message waiting for the test thread's windows and returns
// how many were of the given number (0: any).
int CountPosted(UINT message);

}  // namespace qv::test
