#pragma once
#include <string>

// A file by wide path. Each operation returns true on success; on failure it returns
// false and leaves a narrow failure text in LastError() (the texts below go into
// analytics labels and log lines, keep them as they are). Contents are UTF-8 on disk.
// Belongs to its creator's thread.
class File {
public:
    explicit File(std::wstring path) : m_path(std::move(path)) {}

    const std::wstring& Path() const { return m_path; }
    // The failure text of the last operation that set one.
    const std::string& LastError() const { return m_lastError; }

    bool Exists() const;
    // Copies to `target`, replacing it. LastError() is left as it was.
    bool Copy(const std::wstring& target);
    // Renames to `target`; fails when the target exists ("File::Move: Failed: -1").
    bool Move(const std::wstring& target);
    // An empty path is nothing to delete: true. Otherwise "File::Delete: Failed: <code>"
    // with the system's error code (2 for a missing file), also logged.
    bool Delete();
    // Replaces the file with the UTF-8 text (no byte-order mark). An existing file is
    // deleted first, so a read-only one makes this fail with the delete's text.
    bool WriteString(const std::wstring& text);
    // The whole file as UTF-8 into `text`. A byte-order mark is kept as U+FEFF. Bytes
    // that are not valid UTF-8 fail with "Failed File::ReadAllText: invalid UTF-8" (the
    // caller then treats the file as unreadable). On failure `text` is untouched.
    bool ReadAllText(std::wstring& text);

private:
    std::wstring m_path;
    std::string m_lastError;
};
