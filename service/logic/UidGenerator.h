#pragma once
#include <string>

namespace service {

// A fresh identifier of kIssuedUidLength characters of the 62-character alphabet,
// drawn from the kernel's random source (unguessable, so a link cannot be found by
// counting). Uniqueness is the storage's job.
std::string NewUid();

}  // namespace service
