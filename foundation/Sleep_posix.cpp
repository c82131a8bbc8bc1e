#include "foundation/Sleep.h"

#include <chrono>
#include <thread>

void SleepMilliseconds(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
