#include "service/logic/UidGenerator.h"

#include "service/logic/Identifiers.h"

#include <random>

namespace service {

std::string NewUid() {
    // std::random_device reads the kernel's random source on Linux.
    thread_local std::random_device device;
    std::string uid;
    while (uid.size() < kIssuedUidLength) {
        unsigned value = device();
        for (int k = 0; k < 4 && uid.size() < kIssuedUidLength; ++k) {
            unsigned byte = value & 0xFF;
            value >>= 8;
            if (byte < 248) uid += kIdAlphabet[byte % 62];  // 248 = 4 * 62: no bias
        }
    }
    return uid;
}

}  // namespace service
