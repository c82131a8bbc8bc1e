#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Small scanners for the text forms kept in the settings: hotkeys as decimal key codes
// ("17,16,44") and identifier lists as double-quoted tokens.

// From `position`, skips to the next run of decimal digits and reads it. A run whose
// value does not fit in 32 bits (above 4294967295) is skipped whole and the scan goes
// on with the next run. A null character ends the text like `length` does. On success
// stores the value, moves `position` just past the digits and returns true; otherwise
// returns false and leaves `position` and `value` as they were.
bool ReadNextUnsignedIntegerFromBuffer(const char* text, size_t length, size_t& position,
                                       uint32_t& value);

// Every run of decimal digits in the text, in order: "17,16,44" and "1.2.3" both give
// three numbers, "" gives none. Values above 2147483647 are kept as their 32-bit
// pattern, so that JoinNumbers writes them back unchanged.
std::vector<int> ParseNumbers(const std::string& text);

// The numbers as unsigned decimal joined by "," without blanks; {} gives "".
std::string JoinNumbers(const std::vector<int>& numbers);

// Reads from `position` up to and including the next double quote, then collects the
// characters up to the closing double quote into `out` (cleared first). `position`
// ends just past the last character read, so repeated calls walk a list of quoted
// tokens. True only when a closing quote was found; text without an opening quote,
// or with nothing after it, gives false. A null character ends the text.
bool ExtractQuotedText(const std::string& text, size_t& position, std::string& out);
