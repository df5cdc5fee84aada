// The program's overlay window, made as start-up makes it (served by
// OverlayWndProc, bound to the program's process-wide objects), and the
// queue lock the entry point would have created.
#pragma once

#include "process_state.h"

namespace qv::test {

// Creates the window once and makes it overlayWindow; the surface is
// fitted to the desktop.
HWND OverlayForTest();

// Removes every message waiting for the test thread's windows and returns
// how many were of the given number (0: any).
int CountPosted(UINT message);

}  // namespace qv::test
