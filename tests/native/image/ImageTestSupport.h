#pragma once
// Helpers shared by the image tests: temporary files, reference tools
// (ImageMagick, pngcheck, djpeg/cjpeg) run natively, raw pixel dumps.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/PxImage.h"
#include "image/PxMemFile.h"

namespace pxtest {

// Unique per test: ctest runs the tests of one binary in parallel processes.
inline std::string TempPath(const std::string& name) {
    static int counter = 0;
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string test = info ? std::string(info->test_suite_name()) + "." + info->name() : "none";
    return ::testing::TempDir() + "pxtest_" + test + "_" + std::to_string(++counter) + "_" + name;
}

inline std::basic_string<PxPathChar> ToPath(const std::string& s) {
    return std::basic_string<PxPathChar>(s.begin(), s.end());
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// Reference tools are run natively only (under Wine the names mean other things).
inline bool HaveTool(const char* name) {
#ifdef _WIN32
    (void)name;
    return false;
#else
    std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
#endif
}

// ImageMagick's convert; the Debian binary when present.
inline std::string Convert() {
    static const std::string path = std::system("test -x /usr/bin/convert") == 0 ? "/usr/bin/convert" : "convert";
    return path;
}

inline int Run(const std::string& cmd) { return std::system((cmd + " 2>/dev/null").c_str()); }

inline std::string RunOutput(const std::string& cmd, bool quietStderr = true) {
    std::string out;
#ifndef _WIN32
    FILE* p = popen((quietStderr ? cmd + " 2>/dev/null" : cmd).c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), p)) > 0) out.append(buf, n);
    pclose(p);
#else
    (void)cmd;
    (void)quietStderr;
#endif
    return out;
}

#define PX_REQUIRE_TOOL(name) \
    if (!pxtest::HaveTool(name)) GTEST_SKIP() << "reference tool " << name << " not available"

inline bool DecodeBytes(PxImage& image, const std::vector<uint8_t>& bytes, uint32_t code) {
    std::vector<uint8_t> copy(bytes);
    PxMemFile stream(copy.empty() ? nullptr : copy.data(), static_cast<uint32_t>(copy.size()));
    return image.Decode(copy.empty() ? nullptr : &stream, code);
}

inline std::vector<uint8_t> EncodeBytes(PxImage& image, uint32_t code) {
    uint8_t* buffer = nullptr;
    long size = 0;
    std::vector<uint8_t> out;
    if (image.Encode(buffer, size, code)) out.assign(buffer, buffer + size);
    PxImage::FreeMemory(buffer);
    return out;
}

// Top-down rows of R, G, B (and A) bytes as GetPixelColor reports them.
inline std::vector<uint8_t> Pixels(const PxImage& image, bool withAlpha) {
    std::vector<uint8_t> out;
    for (long y = static_cast<long>(image.GetHeight()) - 1; y >= 0; --y)
        for (long x = 0; x < static_cast<long>(image.GetWidth()); ++x) {
            RGBQUAD c = image.GetPixelColor(x, y, true);
            out.push_back(c.rgbRed);
            out.push_back(c.rgbGreen);
            out.push_back(c.rgbBlue);
            if (withAlpha) out.push_back(image.AlphaIsValid() ? image.AlphaGet(x, y) : 255);
        }
    return out;
}

// The same dump made by ImageMagick from a file ("rgb" or "rgba").
inline std::vector<uint8_t> ReferencePixels(const std::string& file, const std::string& layout,
                                            const std::string& extra = "") {
    std::string out = TempPath("ref.raw");
    Run(Convert() + " " + file + " " + extra + " -depth 8 " + layout + ":" + out);
    return ReadFile(out);
}

// Largest difference of two equally long byte dumps (-1 when the lengths differ).
inline int MaxDiff(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return -1;
    int worst = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        int d = a[i] > b[i] ? a[i] - b[i] : b[i] - a[i];
        if (d > worst) worst = d;
    }
    return worst;
}

// A stream whose writes always fail (a full disk).
class FailingStream : public PxMemFile {
public:
    FailingStream() { Open(); }
    size_t Write(const void*, size_t, size_t) override { return 0; }
    bool PutC(unsigned char) override { return false; }
};

// A w x h 24-bit test card: a gradient with a few solid blocks.
inline void MakeCard(PxImage& image, uint32_t w, uint32_t h) {
    image.Create(w, h, 24, PxFormatUnknown);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            RGBQUAD c;
            c.rgbRed = static_cast<uint8_t>(x * 255 / (w > 1 ? w - 1 : 1));
            c.rgbGreen = static_cast<uint8_t>(y * 255 / (h > 1 ? h - 1 : 1));
            c.rgbBlue = static_cast<uint8_t>((x + y) * 255 / (w + h));
            c.rgbReserved = 0;
            image.SetPixelColor(static_cast<long>(x), static_cast<long>(y), c);
        }
}

}  // namespace pxtest
