// The overlay window's procedure: every redraw of the program happens here,
// asked for by the private messages (private_messages.h).
#pragma once

#include "win32.h"

namespace qv {

LRESULT CALLBACK OverlayWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace qv
