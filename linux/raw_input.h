// The gestures, seen system-wide through XInput2's raw events on the root
// window: raw key presses and releases, raw motion and raw button presses
// (the wheel's buttons 4 and 5). They are read through GDK's own display by
// a filter that takes only those raw events; everything else, GTK's own XI2
// input included, goes on to GDK. Raw events are only watched, never
// swallowed: every application still gets its input.
#pragma once

#include <gdk/gdk.h>

namespace qv::linuxshell {

// Selects the raw events and installs the event filter (which also serves
// the single-instance window). False when the server has no XInput2: the
// panel still works, the gestures do not.
bool StartRawInput();

// Selects the raw events again and reads the keyboard map afresh: what the
// panel's Reset does, as the reference re-installs its hooks there.
void RestartRawInput();

void StopRawInput();

}  // namespace qv::linuxshell
