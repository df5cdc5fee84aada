// One copy per X display. The first copy owns a selection named after the
// program's window class; a second copy finds the owner, asks it with a
// ClientMessage to present itself, and ends.
//
// The owner window also carries the program's state report (see
// state_report.h), refreshed shortly after every change.
#pragma once

#include <gdk/gdk.h>

namespace qv::linuxshell {

// The window class and title of the reference program, which names the
// selection too.
inline constexpr char kInstanceName[] = "Velk tool v.2";
inline constexpr char kPresentMessageName[] = "_QUORVANE_PRESENT";
inline constexpr char kStatePropertyName[] = "_QUORVANE_STATE";

enum class InstanceClaim { kFirst, kOtherPresented };

// Claims the selection on GDK's display, or asks its owner to present itself.
InstanceClaim ClaimInstance();

// Handles the X events that belong to the owner window; GDK never sees them.
GdkFilterReturn FilterInstanceEvent(GdkXEvent* xevent);

// Publishes the state report soon (once per burst of changes).
void SchedulePublishState();

void ReleaseInstance();

}  // namespace qv::linuxshell
