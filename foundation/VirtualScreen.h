#pragma once
// Windows only.
#include <windows.h>

// The virtual screen (all monitors together) in screen coordinates, as the system
// metrics give it now; its left and top are negative when a monitor lies left of or
// above the primary one.
RECT VirtualScreenRect();
