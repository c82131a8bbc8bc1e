#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace service {

struct ListenAddress {
    std::string host;  // without IPv6 brackets
    int port = 0;      // 0: any free port (the log says which)
};

struct Options {
    std::vector<ListenAddress> listen;        // default 127.0.0.1:8080
    std::string dataDir = "brivane-data";
    std::string publicUrl;                    // "" = "http://" + the request's Host
    uint64_t maxUploadSize = 2147483648ULL;
    std::string latestVersion = "0.0.0.0";
    int threads = 64;
    bool help = false;
};

// Reads the command line (without the program name). "--name value" and
// "--name=value" are both accepted; --listen may repeat. False, with a message, for an
// unknown option, a missing value or a value of the wrong form.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string* error);

// "HOST:PORT" or "[IPv6]:PORT".
bool ParseListenAddress(const std::string& text, ListenAddress& out);

// An http or https URL of at most 512 characters: letters, digits and URL punctuation
// only (no quotes, braces, blanks or markup), without a query; a trailing slash is
// removed.
bool NormalizePublicUrl(const std::string& text, std::string& out);

// Digits separated by dots, as the program's version check reads them.
bool IsVersionText(const std::string& text);

std::string UsageText();

}  // namespace service
