// pximg: test driver for the image library (not a product feature).
//   pximg info INPUT                      prints "WIDTHxHEIGHT bpp=N alpha=0|1 type=N dpi=X,Y"
//   pximg convert INPUT OUTPUT FORMAT [-q QUALITY] [-o OPTION] [-a] [-f FRAME]
//   pximg anim OUTPUT LOOPS DISPOSAL INPUT...   writes the inputs as GIF frames
//   pximg op INPUT OUTPUT OPERATION [ARGS...]   applies one operation, saves PNG (BMP for .bmp)
//   pximg time INPUT RUNS OPERATION [ARGS...]   prints the best time of RUNS in ms
// FORMAT is bmp, gif, jpg, png, ico, tga, pcx, wbmp, jp2, j2k, pgx, pnm or ras;
// -o sets the codec option word of that format; -a drops the alpha plane before
// saving; -f picks the frame read (GIF frames, JPEG-2000 components; also for
// info). Exit code 0 on success; failures print the library's error text.
#include <chrono>
#include <cmath>
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
                 "       pximg anim OUTPUT LOOPS DISPOSAL INPUT...\n"
                 "       pximg op INPUT OUTPUT OPERATION [ARGS...]\n"
                 "       pximg time INPUT RUNS OPERATION [ARGS...]\n"
                 "operations: filter DIVISOR OFFSET K1..Kn (n = k*k, rows from the bottom up) | erode K |\n"
                 "  dilate K | edge K | median K | contour | unsharp RADIUS AMOUNT THRESHOLD |\n"
                 "  repair RADIUS ITERATIONS SPACE | jitter RADIUS SEED | noise LEVEL SEED |\n"
                 "  colorize HUE SAT BLEND | channel rgb|hsl|yuv|yiq|xyz|cmyk N | combine SPACE C2 C3 |\n"
                 "  fft2 DIR FORCE MAGNITUDE [imag] | rotate ANGLE | rotate2 ANGLE METHOD OVERFLOW OPTIMISE KEEP |\n"
                 "  skew XGAIN YGAIN XPIVOT YPIVOT INTERPOLATE | circle TYPE RMAX K | crop-rotated X Y W H RADIANS |\n"
                 "  grey\n");
    return 2;
}

// Applies operation args[0] with its arguments to image; false when the
// operation fails or is unknown.
bool Apply(PxImage& image, const std::vector<std::string>& args) {
    if (args.empty()) return false;
    auto num = [&](size_t i) { return i < args.size() ? std::atof(args[i].c_str()) : 0.0; };
    auto lng = [&](size_t i) { return static_cast<long>(num(i)); };
    const std::string& op = args[0];
    if (op == "filter") {
        std::vector<long> kernel;
        for (size_t i = 3; i < args.size(); ++i) kernel.push_back(lng(i));
        long k = static_cast<long>(std::lround(std::sqrt(static_cast<double>(kernel.size()))));
        if (k * k != static_cast<long>(kernel.size())) return false;
        return image.Filter(kernel.data(), k, lng(1), lng(2));
    }
    if (op == "erode") return image.Erode(lng(1));
    if (op == "dilate") return image.Dilate(lng(1));
    if (op == "edge") return image.Edge(lng(1));
    if (op == "median") return image.Median(lng(1));
    if (op == "contour") return image.Contour();
    if (op == "unsharp") return image.UnsharpMask(static_cast<float>(num(1)), static_cast<float>(num(2)), static_cast<int>(lng(3)));
    if (op == "repair") return image.Repair(static_cast<float>(num(1)), lng(2), lng(3));
    if (op == "jitter" || op == "noise") {
        PxImage::SeedRandom(static_cast<uint32_t>(lng(2)));
        return op == "jitter" ? image.Jitter(lng(1)) : image.Noise(lng(1));
    }
    if (op == "colorize")
        return image.Colorize(static_cast<uint8_t>(lng(1)), static_cast<uint8_t>(lng(2)), static_cast<float>(num(3)));
    if (op == "channel") {
        PxImage c[4];
        const std::string& space = args.size() > 1 ? args[1] : std::string();
        long n = lng(2);
        if (n < 0 || n > 3 || (n == 3 && space != "cmyk")) return false;
        bool ok = space == "rgb"   ? image.SplitRGB(&c[0], &c[1], &c[2])
                  : space == "hsl" ? image.SplitHSL(&c[0], &c[1], &c[2])
                  : space == "yuv" ? image.SplitYUV(&c[0], &c[1], &c[2])
                  : space == "yiq" ? image.SplitYIQ(&c[0], &c[1], &c[2])
                  : space == "xyz" ? image.SplitXYZ(&c[0], &c[1], &c[2])
                  : space == "cmyk" ? image.SplitCMYK(&c[0], &c[1], &c[2], &c[3])
                                    : false;
        return ok && image.Transfer(c[n]);
    }
    if (op == "combine") {
        if (args.size() < 4) return false;
        PxImage c1(image), c2, c3;
        if (!c2.Load(args[2].c_str()) || !c3.Load(args[3].c_str())) return false;
        return image.Combine(&c1, &c2, &c3, nullptr, lng(1));
    }
    if (op == "fft2") {
        PxImage re, im;
        if (!image.FFT2(&image, nullptr, &re, &im, lng(1), lng(2) != 0, lng(3) != 0)) return false;
        return image.Transfer(args.size() > 4 && args[4] == "imag" ? im : re);
    }
    if (op == "rotate") return image.Rotate(static_cast<float>(num(1)));
    if (op == "rotate2")
        return image.Rotate2(static_cast<float>(num(1)), nullptr, static_cast<PxImage::InterpolationMethod>(lng(2)),
                             static_cast<PxImage::OverflowMethod>(lng(3)), nullptr, lng(4) != 0, lng(5) != 0);
    if (op == "skew")
        return image.Skew(static_cast<float>(num(1)), static_cast<float>(num(2)), lng(3), lng(4), lng(5) != 0);
    if (op == "circle") return image.CircleTransform(static_cast<int>(lng(1)), lng(2), static_cast<float>(num(3)));
    if (op == "crop-rotated") return image.CropRotatedRectangle(lng(1), lng(2), lng(3), lng(4), static_cast<float>(num(5)));
    if (op == "grey") return image.GrayScale();
    return false;
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
    if (command == "op" && argc >= 5) {
        if (!Apply(image, std::vector<std::string>(argv + 4, argv + argc))) {
            std::fprintf(stderr, "pximg: %s failed\n", argv[4]);
            return 1;
        }
        std::string out = argv[3];
        bool bmp = out.size() > 4 && out.compare(out.size() - 4, 4, ".bmp") == 0;
        if (!image.Save(argv[3], bmp ? PxFormatBMP : PxFormatPNG)) {
            std::fprintf(stderr, "pximg: cannot save %s: %s\n", argv[3], image.GetLastError());
            return 1;
        }
        return 0;
    }
    if (command == "time" && argc >= 5) {
        // The operation alone: loading and saving are outside the clock.
        std::vector<std::string> args(argv + 4, argv + argc);
        double best = 1e30;
        for (int run = 0; run < std::atoi(argv[3]); ++run) {
            PxImage copy(image);
            auto start = std::chrono::steady_clock::now();
            if (!Apply(copy, args)) return 1;
            double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            if (ms < best) best = ms;
        }
        std::printf("%.3f\n", best);
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
