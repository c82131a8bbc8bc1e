// pximg: test driver for the image library (not a product feature).
//   pximg info INPUT                      prints "WIDTHxHEIGHT bpp=N alpha=0|1 type=N dpi=X,Y"
//   pximg convert INPUT OUTPUT FORMAT [-q QUALITY] [-o OPTION] [-a] [-f FRAME]
//   pximg anim OUTPUT LOOPS DISPOSAL INPUT...   writes the inputs as GIF frames
// FORMAT is bmp, gif, jpg, png, ico, tga, pcx, wbmp, jp2, j2k, pgx, pnm or ras;
// -o sets the codec option word of that format; -a drops the alpha plane before
// saving; -f picks the frame read (GIF frames, JPEG-2000 components; also for
// info). Exit code 0 on success; failures print the library's error text.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "image/PxImage.h"
#include "image/codecs/PxImageGIF.h"

namespace {
int Usage() {
    std::fprintf(stderr,
                 "usage: pximg info INPUT\n"
                 "       pximg convert INPUT OUTPUT FORMAT [-q QUALITY] [-o OPTION] [-a] [-f FRAME]\n"
                 "       pximg anim OUTPUT LOOPS DISPOSAL INPUT...\n");
    return 2;
}

uint32_t FormatFromName(const std::string& name) {
    if (name == "bmp") return PxFormatBMP;
    if (name == "jpg" || name == "jpeg") return PxFormatJPG;
    if (name == "png") return PxFormatPNG;
    if (name == "ico") return PxFormatICO;
    if (name == "gif") return PxFormatGIF;
    if (name == "tga") return PxFormatTGA;
    if (name == "pcx") return PxFormatPCX;
    if (name == "wbmp") return PxFormatWBMP;
    if (name == "jp2") return PxFormatJP2;
    if (name == "j2k" || name == "jpc") return PxFormatJPC;
    if (name == "pgx") return PxFormatPGX;
    if (name == "pnm" || name == "ppm" || name == "pgm") return PxFormatPNM;
    if (name == "ras") return PxFormatRAS;
    return PxFormatUnknown;
}

// Every input as one frame of an animated GIF.
int WriteAnimation(int argc, char** argv) {
    if (argc < 6) return Usage();
    std::vector<std::unique_ptr<PxImage>> frames;
    std::vector<PxImage*> pages;
    for (int i = 5; i < argc; ++i) {
        frames.emplace_back(new PxImage());
        if (!frames.back()->Load(argv[i], PxFormatUnknown)) {
            std::fprintf(stderr, "pximg: cannot load %s: %s\n", argv[i], frames.back()->GetLastError());
            return 1;
        }
        pages.push_back(frames.back().get());
    }
    PxImageGIF gif;
    gif.SetLoops(std::atoi(argv[3]));
    gif.SetDisposalMethod(std::atoi(argv[4]));
    FILE* out = std::fopen(argv[2], "wb");
    if (!out) return 1;
    bool ok = gif.Encode(out, pages.data(), static_cast<int>(pages.size()));
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "pximg: cannot save %s: %s\n", argv[2], gif.GetLastError());
        return 1;
    }
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    std::string command = argv[1];
    if (command == "anim") return WriteAnimation(argc, argv);
    PxImage image;
    for (int i = 3; i + 1 < argc; ++i)
        if (!std::strcmp(argv[i], "-f")) image.SetFrame(std::atoi(argv[i + 1]));
    if (!image.Load(argv[2], PxFormatUnknown)) {
        std::fprintf(stderr, "pximg: cannot load %s: %s\n", argv[2], image.GetLastError());
        return 1;
    }
    if (command == "info") {
        std::printf("%ux%u bpp=%u alpha=%d type=%u dpi=%d,%d trans=%d frames=%d\n", image.GetWidth(),
                    image.GetHeight(), image.GetBpp(), image.AlphaIsValid() ? 1 : 0, image.GetType(), image.GetXDPI(),
                    image.GetYDPI(), image.GetTransIndex(), image.GetNumFrames());
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
        } else if (!std::strcmp(argv[i], "-f") && i + 1 < argc) {
            ++i;  // read before loading
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
