#include "core/QpcTime.h"

uint64_t QpcToHundredNs(int64_t counter, int64_t frequency) {
    if (frequency <= 0 || counter <= 0) return 0;
    return static_cast<uint64_t>(static_cast<double>(counter) / static_cast<double>(frequency) *
                                 10000000.0);
}
