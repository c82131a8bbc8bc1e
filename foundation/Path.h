#pragma once
#include <string>

// Path splitting on wide paths. Both separators are understood: "\" (Windows) and "/"
// (URLs, paths typed by hand, the native build).

// The text before the last backslash; without a backslash, the text before the last
// slash; with neither, "". "C:\a\b.txt" gives "C:\a", "a/b/c" gives "a/b".
std::wstring GetDirectoryName(const std::wstring& path);

// The text after the last dot, without the dot; "" when there is no dot or when a
// separator follows the last dot ("C:\dir.old\file" has no extension).
std::wstring GetFileExtension(const std::wstring& path);

// The name between the last separator and the last dot; the whole name when it has
// no dot ("C:\dir.old\file" gives "file").
std::wstring GetFileBaseName(const std::wstring& path);

// True for the directory entries "." and "..".
bool IsDotEntry(const std::wstring& name);
