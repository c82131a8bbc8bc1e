#pragma once
#include <windows.h>

#include "image/PxImage.h"

// A picture button of the editor's panels: normal, hover and active pictures from the
// program's "PNG" resources, drawn over the panel's background and hit-tested by hand.
class ImageButton {
public:
    // A hover or active id of 0 uses the normal picture again.
    ImageButton(UINT normalId, UINT hoverId, UINT activeId, int x, int y);
    ImageButton(const ImageButton&) = delete;
    ImageButton& operator=(const ImageButton&) = delete;

    // Draws the current picture at (x, y) in its natural size, when visible.
    void Draw(HDC dc);
    SIZE GetSize() const;
    // Visible and strictly inside the current picture's rectangle.
    bool HitTest(int px, int py) const;

    void ShowNormal() { m_current = &m_normal; }
    void ShowHover() { m_current = &m_hover; }
    void ShowActive() { m_current = &m_active; }
    bool IsShowing(const PxImage* picture) const { return m_current == picture; }

    PxImage m_normal, m_hover, m_active;
    PxImage* m_current;
    bool m_visible = true;
    int m_x, m_y;
};
