#include "foundation/Sleep.h"

#include <windows.h>

void SleepMilliseconds(int ms) {
    if (ms > 0) Sleep(DWORD(ms));
}
