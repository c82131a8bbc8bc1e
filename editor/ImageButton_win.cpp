#include "editor/ImageButton.h"

#include "foundation/Log.h"
#include "image/PxImageFormat.h"

namespace {

void LoadPng(PxImage& image, UINT id) {
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"PNG");
    if (!resource || !image.LoadResource(resource, PxFormatPNG)) {
        Log("ImageButton: PNG resource %u cannot be loaded\n", id);
    }
}

}  // namespace

ImageButton::ImageButton(UINT normalId, UINT hoverId, UINT activeId, int x, int y)
    : m_current(&m_normal), m_x(x), m_y(y) {
    LoadPng(m_normal, normalId);
    LoadPng(m_hover, hoverId ? hoverId : normalId);
    LoadPng(m_active, activeId ? activeId : normalId);
}

void ImageButton::Draw(HDC dc) {
    if (m_visible && m_current->IsValid()) m_current->Draw(dc, m_x, m_y);
}

SIZE ImageButton::GetSize() const {
    SIZE size = {static_cast<LONG>(m_current->GetWidth()), static_cast<LONG>(m_current->GetHeight())};
    return size;
}

bool ImageButton::HitTest(int px, int py) const {
    if (!m_visible) return false;
    SIZE size = GetSize();
    return m_x < px && px < m_x + size.cx && m_y < py && py < m_y + size.cy;
}
