// A layered window served by the real OverlayWndProc and bound to the given
// parts, as the program's start-up makes its overlay: shared by the tests of
// the overlay (with parts of their own) and of the program (with its
// process-wide objects). Its class is not the program's, so that a copy of
// the program started meanwhile does not take it for a running copy.
#pragma once

#include "overlay_window.h"

namespace qv::test {

// Also sets parts.layer.window, writes the start-up defaults into
// parts.settings and fits the surface to the desktop.
HWND CreateTestOverlayWindow(const OverlayParts& parts);

}  // namespace qv::test
