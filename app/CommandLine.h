#pragma once
#include <string>

// What a command line asks the program to do; it carries one action at most.
enum class LaunchAction {
    None,
    RegionScreenshot,   // "-r"
    FullScreenshot,     // "-f"
    MakeVideo,          // "-v"
    QuietStart,         // "-s": first instance only
    Quit,               // "-u"
    UploadFile,         // upload "<path>"
};

struct LaunchCommand {
    LaunchAction action = LaunchAction::None;
    std::wstring uploadPath;   // UploadFile only: never empty
};

// The text after the program path: the first argument is skipped whole, quoted or not,
// so that a folder such as "C:\Users\jean-robert" or "...\uploads" is never read as an
// option.
std::wstring CommandLineArguments(const std::wstring& commandLine);

// The first instance's own command line (the whole line, program path included).
// Options count as whole arguments, tested in the order -r, -f, -v, -s, -u, upload; the
// first found decides. The upload path is the rest of the line after "upload", trimmed
// and without its surrounding quotes when it has them; an empty path asks for nothing.
LaunchCommand ParseFirstInstanceCommandLine(const std::wstring& commandLine);

// A command line handed over by a second start: the same, without the quiet start
// (a second "-s" start shows the running instance's settings window like no option).
LaunchCommand ParseHandedOverCommandLine(const std::wstring& commandLine);

// The analytics event a command-line action sends ("Screenshot.Region" / "Launch on
// Cmd" / StorageLabel, ...). False for actions that send none (quiet start, quit,
// none).
struct LaunchEvent {
    std::wstring category;
    std::wstring action;
    std::wstring label;
};
bool LaunchCommandEvent(const LaunchCommand& command, int storageType, int videoSaveType,
                        LaunchEvent& event);
