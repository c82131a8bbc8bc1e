#include "app/CommandLine.h"

#include "app/CaptureLabels.h"

#include <vector>

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

struct Token {
    std::wstring text;   // without quotes
    size_t end;          // position just past the token in the line
};

// Arguments split at blanks outside double quotes; quotes are dropped.
std::vector<Token> Tokens(const std::wstring& text) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        if (i >= text.size()) break;
        Token token;
        bool quoted = false;
        while (i < text.size() && (quoted || !IsBlank(text[i]))) {
            if (text[i] == L'"') quoted = !quoted;
            else token.text += text[i];
            ++i;
        }
        token.end = i;
        tokens.push_back(token);
    }
    return tokens;
}

std::wstring Trim(const std::wstring& text) {
    size_t start = 0, end = text.size();
    while (start < end && (IsBlank(text[start]) || text[start] == L'\r' || text[start] == L'\n')) ++start;
    while (end > start && (IsBlank(text[end - 1]) || text[end - 1] == L'\r' || text[end - 1] == L'\n')) --end;
    return text.substr(start, end - start);
}

LaunchCommand Parse(const std::wstring& commandLine, bool allowQuietStart) {
    const std::wstring args = CommandLineArguments(commandLine);
    const std::vector<Token> tokens = Tokens(args);
    auto find = [&](const wchar_t* option) -> const Token* {
        for (const Token& t : tokens) {
            if (t.text == option) return &t;
        }
        return nullptr;
    };
    struct Option { const wchar_t* text; LaunchAction action; };
    const Option options[] = {{L"-r", LaunchAction::RegionScreenshot},
                              {L"-f", LaunchAction::FullScreenshot},
                              {L"-v", LaunchAction::MakeVideo},
                              {L"-s", LaunchAction::QuietStart},
                              {L"-u", LaunchAction::Quit}};
    LaunchCommand command;
    for (const Option& o : options) {
        if (o.action == LaunchAction::QuietStart && !allowQuietStart) continue;
        if (find(o.text)) {
            command.action = o.action;
            return command;
        }
    }
    if (const Token* upload = find(L"upload")) {
        std::wstring path = Trim(args.substr(upload->end));
        if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') {
            path = path.substr(1, path.size() - 2);
        }
        if (!path.empty()) {
            command.action = LaunchAction::UploadFile;
            command.uploadPath = path;
        }
    }
    return command;
}

}  // namespace

std::wstring CommandLineArguments(const std::wstring& commandLine) {
    size_t i = 0;
    while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
    if (i < commandLine.size() && commandLine[i] == L'"') {
        // A quoted program path ends at the next quote; it has no escapes.
        size_t close = commandLine.find(L'"', i + 1);
        i = close == std::wstring::npos ? commandLine.size() : close + 1;
    }
    while (i < commandLine.size() && !IsBlank(commandLine[i])) ++i;
    return i < commandLine.size() ? commandLine.substr(i) : std::wstring();
}

LaunchCommand ParseFirstInstanceCommandLine(const std::wstring& commandLine) {
    return Parse(commandLine, true);
}

LaunchCommand ParseHandedOverCommandLine(const std::wstring& commandLine) {
    return Parse(commandLine, false);
}

bool LaunchCommandEvent(const LaunchCommand& command, int storageType, int videoSaveType,
                        LaunchEvent& event) {
    switch (command.action) {
        case LaunchAction::RegionScreenshot:
            event = {L"Screenshot.Region", L"Launch on Cmd", StorageLabel(storageType)};
            return true;
        case LaunchAction::FullScreenshot:
            event = {L"Screenshot.Fullscreen", L"Launch on Cmd", StorageLabel(storageType)};
            return true;
        case LaunchAction::MakeVideo:
            event = {L"Video", L"Launch on Cmd", VideoLabel(videoSaveType)};
            return true;
        case LaunchAction::UploadFile:
            event = {L"File", L"Launch on Cmd", L""};
            return true;
        default:
            return false;
    }
}
