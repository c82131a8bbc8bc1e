#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

// Collects what Log writes to the console while it lives, as lines without the time
// prefix ("hh:mm:ss: ").
class LogCapture {
public:
    LogCapture() { testing::internal::CaptureStdout(); }
    ~LogCapture() { Finish(); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<std::string>& Lines() {
        Finish();
        return m_lines;
    }
    bool Has(const std::string& line) {
        const auto& lines = Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    size_t Count(const std::string& line) {
        const auto& lines = Lines();
        return size_t(std::count(lines.begin(), lines.end(), line));
    }
    std::string All() {
        std::string all;
        for (const std::string& line : Lines()) all += line + "\n";
        return all;
    }

private:
    void Finish() {
        if (m_done) return;
        m_done = true;
        std::istringstream in(testing::internal::GetCapturedStdout());
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            // "hh:mm:ss: " prefix
            if (line.size() >= 10 && line[2] == ':' && line[5] == ':' && line[8] == ':')
                line = line.substr(10);
            m_lines.push_back(line);
        }
    }

    bool m_done = false;
    std::vector<std::string> m_lines;
};
