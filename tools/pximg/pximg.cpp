// pximg: test driver for the image library (not a product feature).
//   pximg info INPUT                      prints "WIDTHxHEIGHT bpp=N alpha=0|1 type=N dpi=X,Y"
//   pximg convert INPUT OUTPUT FORMAT [-q QUALITY] [-o OPTION] [-a]
// FORMAT is bmp, jpg, png or ico; -o sets the codec option word of that format;
// -a drops the alpha plane before saving. Exit code 0 on success; failures print
// the library's error text.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "image/PxImage.h"

namespace {
int Usage() {
    std::fprintf(stderr,
                 "usage: pximg info INPUT\n"
                 "       pximg convert INPUT OUTPUT bmp|jpg|png|ico [-q QUALITY] [-o OPTION] [-a]\n");
    return 2;
}

uint32_t FormatFromName(const std::string& name) {
    if (name == "bmp") return PxFormatBMP;
    if (name == "jpg" || name == "jpeg") return PxFormatJPG;
    if (name == "png") return PxFormatPNG;
    if (name == "ico") return PxFormatICO;
    return PxFormatUnknown;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    std::string command = argv[1];
    PxImage image;
    if (!image.Load(argv[2], PxFormatUnknown)) {
        std::fprintf(stderr, "pximg: cannot load %s: %s\n", argv[2], image.GetLastError());
        return 1;
    }
    if (command == "info") {
        std::printf("%ux%u bpp=%u alpha=%d type=%u dpi=%d,%d trans=%d\n", image.GetWidth(), image.GetHeight(),
                    image.GetBpp(), image.AlphaIsValid() ? 1 : 0, image.GetType(), image.GetXDPI(), image.GetYDPI(),
                    image.GetTransIndex());
        return 0;
    }
    if (command != "convert" || argc < 5) return Usage();
    uint32_t format = FormatFromName(argv[4]);
    if (format == PxFormatUnknown) return Usage();
    for (int i = 5; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-q") && i + 1 < argc) {
            image.SetJpegQuality(static_cast<uint8_t>(std::atoi(argv[++i])));
        } else if (!std::strcmp(argv[i], "-o") && i + 1 < argc) {
            image.SetCodecOption(static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 0)), format);
        } else if (!std::strcmp(argv[i], "-a")) {
            image.AlphaDelete();
        } else {
            return Usage();
        }
    }
    if (!image.Save(argv[3], format)) {
        std::fprintf(stderr, "pximg: cannot save %s: %s\n", argv[3], image.GetLastError());
        return 1;
    }
    return 0;
}
