#pragma once
#include <string>

// How a replacement of settings.json failed.
enum class ReplaceFileResult {
    Ok,
    AccessDenied,   // a read-only or locked target: the old file stays
    Failed,         // any other error: the old file stays
};

// Puts `source` in place of `target` in one step: at every moment `target` is either
// the complete old file or the complete new one (MoveFileExW with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH on Windows, rename() elsewhere).
// A read-only target is refused on both systems. On failure `errorText` names the
// operation and the system's code; `source` is left where it was.
ReplaceFileResult ReplaceFileAtomically(const std::wstring& source, const std::wstring& target,
                                        std::string& errorText);

// The whole file with malformed UTF-8 turned into U+FFFD, for salvaging what a file
// that cannot be read strictly still holds. False when it cannot be opened.
bool ReadFileLenient(const std::wstring& path, std::wstring& text);
