#pragma once
#include <memory>
#include <string>

#include "foundation/JsonValue.h"

// Reads a whole wide text into a JsonValue tree. The grammar is JSON with a few
// leniencies that stored settings files and service replies rely on:
// - true, false and null in any case ("TRUE", "Null");
// - a raw tab inside a string;
// - a later duplicate member replaces the earlier one.
// Rejected: a leading byte-order mark, leading zeros ("012"), "1." and "1e", a leading
// "+" or ".", Infinity and NaN, trailing commas, raw control characters other than tab
// inside strings, bad escapes, and anything but blanks (space, tab, CR, LF) after the
// value. \u escapes give single 16-bit units (a surrogate pair stays two units).
//
// The text may come from the network, so the parser is bounded: nesting deeper than
// kMaxDepth arrays and objects fails instead of exhausting the stack, and an exponent
// of any length is read in constant time (it saturates; the value becomes 0 or an
// infinity, which the writer emits as "null").
class Json {
public:
    static constexpr int kMaxDepth = 512;

    // The root value, owned by the caller; null when the text is empty, all blanks, not
    // valid, nested too deeply, or followed by anything but blanks.
    static std::unique_ptr<JsonValue> Parse(const std::wstring& text);
};
