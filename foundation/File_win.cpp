#include "foundation/File.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstdio>
#include <vector>

#include "foundation/Format.h"
#include "foundation/Log.h"
#include "foundation/Utf.h"
#include "foundation/WinHandles.h"

namespace {

// Files this program reads whole are small (settings, replies); refuse anything that
// could not sensibly be held in memory by a 32-bit process.
constexpr LONGLONG kMaxReadBytes = 256LL * 1024 * 1024;

}  // namespace

bool File::Exists() const {
    return PathFileExistsW(m_path.c_str()) != FALSE;
}

bool File::Copy(const std::wstring& target) {
    return CopyFileW(m_path.c_str(), target.c_str(), FALSE) != FALSE;
}

bool File::Move(const std::wstring& target) {
    m_lastError.clear();
    const int rc = _wrename(m_path.c_str(), target.c_str());
    if (rc != 0) {
        m_lastError = FormatA("File::Move: Failed: {}").ArgInt(rc).Str();
        return false;
    }
    return true;
}

bool File::Delete() {
    if (m_path.empty()) return true;
    if (DeleteFileW(m_path.c_str())) return true;
    const DWORD code = GetLastError();
    m_lastError = FormatA("File::Delete: Failed: {}").ArgInt(static_cast<int>(code)).Str();
    Log("%s\n", m_lastError.c_str());
    return false;
}

bool File::WriteString(const std::wstring& text) {
    m_lastError.clear();
    if (Exists() && !Delete()) {
        Log("File::WriteString: Failed to delete file\n");
        return false;
    }
    UniqueHandle file(CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const int code = static_cast<int>(GetLastError());
        Log("Failed File::WriteString: CreateFile: %d\n", code);
        m_lastError = FormatA("Failed File::WriteString: CreateFile: {}").ArgInt(code).Str();
        return false;
    }
    const std::string bytes = WideToUtf8(text);
    const DWORD toWrite = static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), toWrite, &written, nullptr)) {
        Log("Failed File::WriteString: Unable to write to file.\n");
        m_lastError = "Failed File::WriteString: Unable to write to file";
        return false;
    }
    if (written != toWrite) {
        Log("Failed File::WriteString: dwBytesWritten != dwBytesToWrite\n");
        m_lastError = "Failed File::WriteString: dwBytesWritten != dwBytesToWrite";
        return false;
    }
    return true;
}

bool File::ReadAllText(std::wstring& text) {
    m_lastError.clear();
    UniqueHandle file(CreateFileW(m_path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const int code = static_cast<int>(GetLastError());
        Log("Failed File::ReadAllText: CreateFile: %d\n", code);
        m_lastError = FormatA("Failed File::ReadAllText: CreateFile: {}").ArgInt(code).Str();
        return false;
    }
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxReadBytes) {
        Log("Failed File::ReadAllText: file too large\n");
        m_lastError = "Failed File::ReadAllText: file too large";
        return false;
    }
    const DWORD toRead = static_cast<DWORD>(size.QuadPart);
    std::string bytes(toRead, '\0');
    DWORD read = 0;
    if (toRead > 0 && !ReadFile(file.get(), &bytes[0], toRead, &read, nullptr)) {
        Log("Failed File::ReadAllText: Unable to read from file.\n");
        m_lastError = "Failed File::ReadAllText: Unable to read from file.";
        return false;
    }
    if (read != toRead) {
        Log("Failed File::ReadAllText: dwBytesRead != dwBytesToRead\n");
        m_lastError = "Failed File::ReadAllText: dwBytesRead != dwBytesToRead";
        return false;
    }
    std::wstring converted;
    if (!TryUtf8ToWide(bytes, converted)) {
        Log("Failed File::ReadAllText: invalid UTF-8\n");
        m_lastError = "Failed File::ReadAllText: invalid UTF-8";
        return false;
    }
    text.swap(converted);
    return true;
}
