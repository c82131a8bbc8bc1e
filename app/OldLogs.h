#pragma once
#include <cstdint>
#include <string>

// Log files last written 2678400 s (31 days) ago or earlier are old.
constexpr int64_t kOldLogAgeSeconds = 2678400;

// Whether a file last written at `lastWriteSeconds` is old at `nowSeconds` (both whole
// seconds on the same clock). A last-write time in the future (a clock set back, a file
// from another machine) is a negative age: not old.
bool IsAgeOld(int64_t nowSeconds, int64_t lastWriteSeconds);

// Thread bodies started by the main dialog; both work on their own copy of the folder.
// Deletes every old file directly in `folder`; directories stay.
void DeleteOldLogs(std::wstring folder);
// Empties `folder` and creates it again.
void EmptyTmpFolder(std::wstring folder);
// Whether the file at `path` is old by IsAgeOld (false when it cannot be opened or dated).
bool IsFileOlderThan(const std::wstring& path);
