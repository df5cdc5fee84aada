#include "app_state.h"

namespace qv::linuxshell {

EffectSettings settings;
OverlayLayer overlayLayer;
RawInput rawInput;
PanelWindow panelWindow;
SingleInstance singleInstance;
DeskState desk;

}  // namespace qv::linuxshell
