#pragma once
// A cursor over the rows of one image, used by codecs and transforms. It binds
// only a valid image; over an empty one every row pointer stays null.
#include <cstdint>

class PxImage;

class CImageIterator {
public:
    explicit CImageIterator(PxImage* image = nullptr);

    // Selects row n (0 = bottom) when it exists; returns the current row pointer.
    uint8_t* GetRow(long n);
    uint8_t* GetRow() const { return m_row; }
    // x = 0, y = height - 1, the row pointer at the top row.
    void GoToTopRow();
    // Copies min(n, row size) bytes (the whole row when n < 0) into the current row.
    void SetRow(const uint8_t* buffer, long n);
    // Pixel x of every row, from row 0 up, into (get) or out of (set) the buffer;
    // images of at least 8 bits only.
    bool GetCol(uint8_t* buffer, uint32_t x) const;
    bool SetCol(const uint8_t* buffer, uint32_t x);
    long GetX() const { return m_x; }
    long GetY() const { return m_y; }

private:
    long m_x;
    long m_y;
    uint8_t* m_row;     // inside the image's pixel rows; null without a valid image
    PxImage* m_image;   // not owned
};
