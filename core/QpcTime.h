#pragma once
#include <cstdint>

// Performance-counter time in 100-nanosecond units: the clock of every video frame and
// audio chunk, so that frames and WASAPI positions share one time line. Any thread.
uint64_t CvxGetQpcTime();

// counter / frequency x 10,000,000 in double precision, truncated; 0 for a frequency
// that is not positive.
uint64_t QpcToHundredNs(int64_t counter, int64_t frequency);
