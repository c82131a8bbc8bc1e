#pragma once
#include "editor/SelectRegionEnvironment.h"

// The region editor's environment in the program: Windows' key state, analytics through
// the collector, the draw-mode hotkey and the editor's settings (draw colour, last save
// folder, image type) from the settings, and the capture core's virtual screen.
SelectRegionEnvironment MakeEditorEnvironment();
