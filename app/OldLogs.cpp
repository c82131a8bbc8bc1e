#include "app/OldLogs.h"

bool IsAgeOld(int64_t nowSeconds, int64_t lastWriteSeconds) {
    int64_t age = nowSeconds - lastWriteSeconds;
    return age >= kOldLogAgeSeconds;
}
