#pragma once
#include <cstdint>
#include <string>

#include "foundation/WinHandles.h"

// The shared block of the single-instance hand-over: a wire format between two
// processes of the program, 4100 bytes.
struct SingleInstanceBlock {
    uint32_t firstThreadId;       // the owner's UI thread
    uint16_t commandLine[2048];   // UTF-16, at most 2047 characters and a null
};
static_assert(sizeof(SingleInstanceBlock) == 4100, "the block is shared with other builds");

// Name of both the shared block and the registered thread message.
constexpr const wchar_t* kSingleInstanceName = L"011b66c3-9ada-4dcd-afc9-71c53777a5d4";
constexpr size_t kMaxHandedOverCommandLine = 2047;

// The registered message a second start posts to the owner's UI thread.
extern unsigned g_singleInstanceMessage;

// One instance per signed-in user. The first process to create the named block owns
// it and keeps its UI thread id there (construct this on the UI thread); a later start
// writes its command line into the block, posts the registered message to that thread
// and must then exit.
class SingleInstanceApp {
public:
    // `commandLine`: what a second instance hands over (its GetCommandLineW() when
    // null). `name` is for tests.
    explicit SingleInstanceApp(const wchar_t* commandLine = nullptr,
                               const std::wstring& name = kSingleInstanceName);
    ~SingleInstanceApp();
    SingleInstanceApp(const SingleInstanceApp&) = delete;
    SingleInstanceApp& operator=(const SingleInstanceApp&) = delete;

    bool IsFirstInstance() const { return m_isFirstInstance; }

    // Owner, on its UI thread when the registered message arrives: the command line of
    // the last second start, which is then cleared. Two starts at once may overwrite
    // each other; the block has no lock.
    std::wstring TakeHandedOverCommandLine();

private:
    SingleInstanceBlock* Block() const { return static_cast<SingleInstanceBlock*>(m_view.get()); }

    bool m_isFirstInstance = true;
    UniqueHandle m_mapping;   // the named file mapping
    UniqueMapView m_view;     // the block; unmapped before the mapping is closed
};
