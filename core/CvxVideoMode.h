#pragma once
#include <string>

// The capture back end. The values are logged and compared as plain ints, and any other
// int may reach the functions that take a mode; they treat it as unknown.
enum CvxVideoMode : int {
    CvxVideoModeGdi = 0,    // GDI BitBlt of the desktop
    CvxVideoModeDx9 = 1,    // Direct3D 9 front-buffer copy
    CvxVideoModeDxgi = 2,   // DXGI 1.2 desktop duplication of the first output
};

// "{gdi}", "dx9", "{dxgi}", or "{?}" for any other value.
std::string CvxVideoModeName(int mode);
