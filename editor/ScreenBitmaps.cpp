#include "editor/ScreenBitmaps.h"

void DimmedGreyTable(uint8_t table[256]) {
    for (int level = 0; level < 256; ++level) table[level] = static_cast<uint8_t>(level > 46 ? level - 46 : 0);
}

void GreyLevelRow(const uint8_t* bgr, size_t count, uint8_t* levels) {
    for (size_t x = 0; x < count; ++x, bgr += 3) levels[x] = GreyLevel(bgr[2], bgr[1], bgr[0]);
}

void BgrRowToBgrx(const uint8_t* bgr, size_t count, uint8_t* bgrx) {
    for (size_t x = 0; x < count; ++x, bgr += 3, bgrx += 4) {
        bgrx[0] = bgr[0];
        bgrx[1] = bgr[1];
        bgrx[2] = bgr[2];
        bgrx[3] = 0;
    }
}
