// The control panel: a GTK window with the reference panel's controls,
// ranges, Japanese texts and behaviour, all driven by the shared panel
// rules. Closing it ends the program with exit code 0.
#pragma once

#include <cstdint>

namespace qv::linuxshell {

class StateReport;

// Builds, initialises and shows the panel at the screen's bottom-right corner.
void CreatePanel();

// The wheel gesture moves the space trackbar; like the reference's silent
// position message, this neither notifies the panel nor touches its label.
void MoveSpaceTrackbar(std::uint16_t space);

// Brings the panel forward (a second copy asked for it).
void PresentPanel();

// The panel's trackbars, boxes, texts and control rectangles, for the state
// report.
void AddPanelState(StateReport& report);

}  // namespace qv::linuxshell
