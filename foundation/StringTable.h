#pragma once
#include <string>

// The executable's string-table resources by id. Missing ids give empty texts.
// One process-wide instance, created on first use.
class StringTable {
public:
    static StringTable& Instance();

    bool Load(unsigned id, std::wstring& text) const;   // always true; "" for a missing id
    std::wstring GetString(unsigned id) const;
    // Copies the text and its terminating null into `buffer` of `capacity` characters,
    // cut to fit; returns the buffer.
    wchar_t* CopyString(unsigned id, wchar_t* buffer, size_t capacity) const;

private:
    StringTable() = default;
};

// The text of a string-table id: StringTable::Instance().GetString(id).
inline std::wstring Text(unsigned id) { return StringTable::Instance().GetString(id); }
