#pragma once

// Puts the calling thread to sleep for `ms` milliseconds (none for 0 or less).
//
// On Windows this is Sleep. The C++ library's sleep_for waits on an event with a time-out
// there, and under Wine every such wait is a round trip to wineserver: a thread that polls
// every millisecond would cost wineserver hundreds of requests a second.
void SleepMilliseconds(int ms);
