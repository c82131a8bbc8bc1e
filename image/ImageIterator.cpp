#include "image/ImageIterator.h"

#include <cstring>

#include "image/PxImage.h"

CImageIterator::CImageIterator(PxImage* image) : m_x(0), m_y(0), m_row(nullptr), m_image(image) {
    // An empty image has no rows: a pointer kept from before would dangle.
    if (m_image && m_image->IsValid()) m_row = m_image->m_info.pixels;
}

uint8_t* CImageIterator::GetRow(long n) {
    if (m_image && m_image->IsValid() && n >= 0 && n < static_cast<long>(m_image->GetHeight())) {
        m_y = n;
        m_row = m_image->m_info.pixels + static_cast<size_t>(n) * m_image->m_info.rowSize;
    }
    return m_row;
}

void CImageIterator::GoToTopRow() {
    if (!m_image || !m_image->IsValid()) return;
    m_x = 0;
    m_y = static_cast<long>(m_image->GetHeight()) - 1;
    m_row = m_image->m_info.pixels + static_cast<size_t>(m_y) * m_image->m_info.rowSize;
}

void CImageIterator::SetRow(const uint8_t* buffer, long n) {
    if (!m_row || !buffer || n == 0 || !m_image) return;
    long rowSize = static_cast<long>(m_image->m_info.rowSize);
    if (n < 0 || n > rowSize) n = rowSize;
    std::memcpy(m_row, buffer, static_cast<size_t>(n));
}

bool CImageIterator::GetCol(uint8_t* buffer, uint32_t x) const {
    if (!buffer || !m_image || !m_image->IsValid() || m_image->GetBpp() < 8 || x >= m_image->GetWidth()) return false;
    size_t bytes = m_image->GetBpp() / 8;
    for (uint32_t y = 0; y < m_image->GetHeight(); ++y)
        std::memcpy(buffer + bytes * y, m_image->GetBits(y) + bytes * x, bytes);
    return true;
}

bool CImageIterator::SetCol(const uint8_t* buffer, uint32_t x) {
    if (!buffer || !m_image || !m_image->IsValid() || m_image->GetBpp() < 8 || x >= m_image->GetWidth()) return false;
    size_t bytes = m_image->GetBpp() / 8;
    for (uint32_t y = 0; y < m_image->GetHeight(); ++y)
        std::memcpy(m_image->GetBits(y) + bytes * x, buffer + bytes * y, bytes);
    return true;
}
