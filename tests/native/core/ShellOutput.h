#pragma once
#include <cstdio>
#include <string>

// What a shell command prints on its standard output (empty when it cannot be run);
// the tests look at written files with ffprobe and ffmpeg this way.
inline std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
    }
    return out;
}
