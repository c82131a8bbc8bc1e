#pragma once
#include <windows.h>

// Where a popup should stand and how opaque it should be, asked by the popup of the
// window that opens it. Implementations are small local classes of their users.
class ILayoutManager {
public:
    virtual ~ILayoutManager() = default;
    // The screen position of the popup's top-left corner.
    virtual POINT GetPosition(HWND popup) = 0;
    // 0.0 .. 1.0
    virtual float GetOpacity(HWND popup) = 0;
};
