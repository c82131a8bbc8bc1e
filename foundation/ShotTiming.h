#pragma once
// Optional timing of screenshots, for the latency benchmark
// (tests/e2e/bench_screenshot_latency.py). Only when the environment holds
// BRIVANE_TIMING=1 at start: the steps of a shot are stamped in memory and, once the shot
// is finished, written as one log line
//   "Timing: key 1765400000123.456, dispatch 0.4 ms, capture 25.1 ms, ..."
// ("key": the wall-clock milliseconds since 1970 when the first step was stamped; every
// other value: milliseconds since the step before). Nothing is logged inside the timed
// steps. Without the switch every call returns at once. Any thread.
#include <string>

namespace ShotTiming {

bool Enabled();
// Forgets the stamps of an unfinished shot and stamps its first step ("key").
void Begin();
// Stamps the end of a step.
void Mark(const char* step);
// Logs the line for the stamps so far (when there are any) and forgets them.
void Finish();

// For tests: switches the timing on or off whatever the environment says.
void SetEnabledForTesting(bool on);
// For tests: the line that Finish would log now ("" without stamps), without forgetting.
std::string LineForTesting();

}  // namespace ShotTiming
