#pragma once
#include <cstdint>
#include <string>

// Fixed label texts for measurements sent with analytics events. Each compares in
// order and takes the first row that fits.

// "0-5 sec" ... "60+ min"; seconds truncated toward zero, negative as the first row.
std::wstring DurationBucket(int64_t milliseconds);
// "0-240p" ... "4K+" by width x height as a signed 32-bit product (negative: first row).
std::wstring ResolutionRangeBucket(unsigned width, unsigned height);
// "240p" ... "4K+", same rows.
std::wstring ResolutionBucket(unsigned width, unsigned height);
// "0-5" ... "30+".
std::wstring FpsBucket(int fps);
// "0", "1-2" ... "120+"; seconds rounded up.
std::wstring SecondsBucket(double milliseconds);
