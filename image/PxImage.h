#pragma once
// The image object: one packed, bottom-up device-independent bitmap (header,
// palette, pixel rows) plus per-image settings, with optional one-byte-per-pixel
// selection mask and alpha planes. An image is used by one thread at a time.
#include <cstdint>
#include <cstdio>
#include <functional>

#include "image/PxCompat.h"
#include "image/PxImageFormat.h"

class PxFile;

#ifdef _WIN32
struct HRSRC__;
struct HINSTANCE__;
struct HRGN__;
#endif

class PxImage {
    friend class CImageIterator;

public:
    // Per-image settings (the "information block").
    struct Info {
        uint32_t rowSize;          // bytes per row, padded to 4
        uint8_t* pixels;           // row 0 inside the DIB block; null without one
        PxImage* ghost;            // non-null when this image only aliases another's buffers
        uint32_t formatCode;
        char lastError[256];
        int32_t progress;
        int32_t escape;            // non-zero cancels a codec; -1 asks for the size only
        int32_t transIndex;        // -1 = none
        RGBQUAD transColor;
        uint8_t jpegQuality;
        uint8_t jpegScale;
        int32_t frame;
        int32_t numFrames;
        uint32_t frameDelay;
        int32_t xDpi;
        int32_t yDpi;
        RECT selectionBox;         // columns and bottom-up rows
        uint8_t alphaMax;
        bool alphaPaletteEnabled;
        bool enabled;
        int32_t xOffset;
        int32_t yOffset;
        uint32_t codecOptions[PxMaxFormats];
        RGBQUAD nearestColor;      // nearest-colour cache
        uint8_t nearestIndex;
        bool nearestValid;
        int32_t numSubImages;
        uint32_t flags;            // upper 16 bits reserved
    };

    struct rgb_color {
        uint8_t r, g, b;
    };

    explicit PxImage(uint32_t formatCode = PxFormatUnknown);
    PxImage(uint32_t width, uint32_t height, uint32_t bpp, uint32_t formatCode);
    PxImage(const PxImage& source, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
    PxImage(const PxPathChar* path, uint32_t formatCode);
    PxImage(FILE* file, uint32_t formatCode);
    PxImage(PxFile* stream, uint32_t formatCode);
    PxImage(uint8_t* buffer, uint32_t size, uint32_t formatCode);
    PxImage& operator=(const PxImage& source);
    virtual ~PxImage();

    // Largest image (DIB block, and width x height for the planes) that Create
    // accepts. Process-wide; set it once at start-up (tests and fuzzers lower it).
    static uint64_t GetMaxImageBytes();
    static void SetMaxImageBytes(uint64_t bytes);

    // Life cycle
    void* Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t formatCode = PxFormatUnknown);
    bool Destroy();
    void Copy(const PxImage& source, bool copyPixels = true, bool copySelection = true, bool copyAlpha = true);
    bool Transfer(PxImage& from);
    bool CreateFromArray(uint8_t* pixels, uint32_t width, uint32_t height, uint32_t bpp,
                         uint32_t bytesPerLine, bool flip);
    bool CreateFromMatrix(uint8_t** rows, uint32_t width, uint32_t height, uint32_t bpp,
                          uint32_t bytesPerLine, bool flip);
    void Clear(uint8_t value = 0);
    uint8_t* GetBits(uint32_t row = 0);
    uint32_t GetSize() const;
    bool IsInside(long x, long y) const;
    static void FreeMemory(void* memory);

    // Accessors
    uint32_t GetWidth() const { return static_cast<uint32_t>(m_header.biWidth); }
    uint32_t GetHeight() const { return static_cast<uint32_t>(m_header.biHeight); }
    uint32_t GetEffWidth() const { return m_info.rowSize; }
    uint16_t GetBpp() const { return m_header.biBitCount; }
    uint32_t GetNumColors() const { return m_header.biClrUsed; }
    void* GetDIB() const { return m_dib; }
    bool IsValid() const { return m_dib != nullptr; }
    bool IsIndexed() const { return m_header.biClrUsed != 0; }
    uint8_t GetColorType() const;
    uint32_t GetType() const { return m_info.formatCode; }
    int32_t GetTransIndex() const { return m_info.transIndex; }
    void SetTransIndex(int32_t index) { m_info.transIndex = index; }
    bool IsTransparent() const { return m_info.transIndex >= 0; }
    RGBQUAD GetTransColor() const;
    void SetTransColor(RGBQUAD color);
    int32_t GetXDPI() const { return m_info.xDpi; }
    int32_t GetYDPI() const { return m_info.yDpi; }
    void SetXDPI(int32_t dpi);
    void SetYDPI(int32_t dpi);
    uint8_t GetJpegQuality() const { return m_info.jpegQuality; }
    void SetJpegQuality(uint8_t quality) { m_info.jpegQuality = quality; }
    uint8_t GetJpegScale() const { return m_info.jpegScale; }
    void SetJpegScale(uint8_t scale) { m_info.jpegScale = scale; }
    int32_t GetProgress() const { return m_info.progress; }
    void SetProgress(int32_t progress) { m_info.progress = progress; }
    int32_t GetEscape() const { return m_info.escape; }
    void SetEscape(int32_t escape) { m_info.escape = escape; }
    int32_t GetFrame() const { return m_info.frame; }
    void SetFrame(int32_t frame) { m_info.frame = frame; }
    int32_t GetNumFrames() const { return m_info.numFrames; }
    uint32_t GetFrameDelay() const { return m_info.frameDelay; }
    void SetFrameDelay(uint32_t delay) { m_info.frameDelay = delay; }
    void GetOffset(int32_t* x, int32_t* y) const;
    void SetOffset(int32_t x, int32_t y);
    bool IsEnabled() const { return m_info.enabled; }
    void Enable(bool enable = true) { m_info.enabled = enable; }
    uint32_t GetFlags() const { return m_info.flags; }
    void SetFlags(uint32_t flags, bool lockReserved = true);
    uint32_t GetCodecOption(uint32_t formatCode = 0) const;
    bool SetCodecOption(uint32_t option, uint32_t formatCode = 0);
    const char* GetLastError() const { return m_info.lastError; }
    static const wchar_t* GetVersion();
    static float GetVersionNumber();
    const BITMAPINFOHEADER& GetHeader() const { return m_header; }

    // Palette
    RGBQUAD* GetPalette() const;
    uint32_t GetPaletteSize() const { return m_header.biClrUsed * 4; }
    RGBQUAD GetPaletteColor(uint8_t index) const;
    bool GetPaletteColor(uint8_t index, uint8_t* r, uint8_t* g, uint8_t* b) const;
    void SetPaletteColor(uint8_t index, uint8_t r, uint8_t g, uint8_t b, uint8_t alpha = 0);
    void SetPaletteColor(uint8_t index, RGBQUAD color);
    void SetPaletteColor(uint8_t index, COLORREF color);
    void SetPalette(const RGBQUAD* colors, uint32_t count = 256);
    void SetPalette(const rgb_color* colors, uint32_t count = 256);
    void SetPalette(uint32_t count, const uint8_t* red, const uint8_t* green = nullptr, const uint8_t* blue = nullptr);
    void SetGrayPalette();
    void BlendPalette(COLORREF color, long percent);
    bool IsGrayScale() const;
    bool IsSamePalette(const PxImage& other, bool checkAlpha = true) const;
    void SwapIndex(uint8_t a, uint8_t b);
    uint32_t GetClrImportant() const { return m_header.biClrImportant; }
    void SetClrImportant(uint32_t count);
    void SetStdPalette();
    uint8_t GetNearestIndex(RGBQUAD color);
    static long CompareColors(const void* a, const void* b);

    // Pixels (x = column, y = row from the bottom)
    uint8_t GetPixelIndex(long x, long y) const;
    void SetPixelIndex(long x, long y, uint8_t index);
    RGBQUAD GetPixelColor(long x, long y, bool withAlpha = true) const;
    uint8_t GetPixelGray(long x, long y) const;
    void SetPixelColor(long x, long y, RGBQUAD color, bool setAlpha = false);
    void SetPixelColor(long x, long y, COLORREF color);
    void BlendPixelColor(long x, long y, RGBQUAD color, float blend, bool setAlpha = false);
    void DrawLine(int startX, int endX, int startY, int endY, RGBQUAD color, bool setAlpha = false);
    void DrawLine(int startX, int endX, int startY, int endY, COLORREF color);
    bool IsTransparent(long x, long y) const;
    static RGBQUAD RGBtoRGBQUAD(COLORREF color);
    static COLORREF RGBQUADtoRGB(RGBQUAD color);

    // Alpha channel
    bool AlphaIsValid() const { return m_alpha != nullptr; }
    void AlphaCreate();
    void AlphaDelete();
    void AlphaClear();
    void AlphaSet(uint8_t level);
    void AlphaInvert();
    void AlphaSet(long x, long y, uint8_t level);
    uint8_t AlphaGet(long x, long y) const;
    uint8_t* AlphaGetPointer(long x = 0, long y = 0) const;
    uint8_t AlphaGetMax() const { return m_info.alphaMax; }
    void AlphaSetMax(uint8_t level) { m_info.alphaMax = level; }
    void AlphaPaletteEnable(bool enable = true) { m_info.alphaPaletteEnabled = enable; }
    bool AlphaPaletteIsEnabled() const { return m_info.alphaPaletteEnabled; }
    bool AlphaPaletteIsValid() const;
    void AlphaPaletteClear();
    bool AlphaCopy(const PxImage& source);
    bool AlphaSet(const PxImage& source);
    bool AlphaFlip();
    bool AlphaMirror();
    bool AlphaSplit(PxImage* dest) const;
    bool AlphaPaletteSplit(PxImage* dest) const;
    void AlphaStrip();

    // Selection mask
    bool SelectionIsValid() const { return m_selection != nullptr; }
    bool SelectionCreate();
    bool SelectionDelete();
    bool SelectionClear();
    void SelectionGetBox(RECT& box) const { box = m_info.selectionBox; }
    bool SelectionIsInside(long x, long y) const;
    bool SelectionInvert();
    bool SelectionCopy(const PxImage& source);
    bool SelectionSplit(PxImage* dest) const;
    bool SelectionAddRect(RECT r);
    bool SelectionAddEllipse(RECT r);
    bool SelectionAddPolygon(const POINT* points, long count);
    bool SelectionAddColor(RGBQUAD color);
    bool SelectionAddPixel(long x, long y);
#ifdef _WIN32
    bool SelectionToHRGN(HRGN__*& region) const;
#endif

    // Encoding and decoding by format code
    bool Encode(PxFile* stream, uint32_t formatCode);
    bool Encode(PxFile* stream, PxImage** pages, long pageCount, uint32_t formatCode);
    bool Encode(FILE* file, uint32_t formatCode);
    bool Encode(FILE* file, PxImage** pages, long pageCount, uint32_t formatCode);
    // Hands out a block in buffer (null on entry) that the caller frees with FreeMemory.
    bool Encode(uint8_t*& buffer, long& size, uint32_t formatCode);
    bool Encode2RGBA(PxFile* stream);
    bool Encode2RGBA(uint8_t*& buffer, long& size);
    bool Decode(PxFile* stream, uint32_t formatCode);
    bool Decode(FILE* file, uint32_t formatCode);
    bool Decode(uint8_t* buffer, uint32_t size, uint32_t formatCode);
    bool Load(const PxPathChar* path, uint32_t formatCode = PxFormatUnknown);
    // Writes the file; on failure the partial file is removed and false returned.
    bool Save(const PxPathChar* path, uint32_t formatCode);
#ifdef _WIN32
    // Decodes an executable resource (module null = the executable itself).
    bool LoadResource(HRSRC__* resource, uint32_t formatCode = PxFormatUnknown, HINSTANCE__* module = nullptr);
#endif

    // ---- Image operations: geometry (crop, flips, turns, canvas), colour depth,
    // grey and dithering, lookup tables and mixing, interpolation and kernels,
    // resampling, and the Windows bitmap bridge. Defined under image/ops/ and
    // image/win/. Each returns false and leaves the image unchanged on failure. ----

    // How a colour is read between pixels (any other value reads as bilinear).
    enum InterpolationMethod : int {
        IM_NEAREST_NEIGHBOUR = 1, IM_BILINEAR = 2, IM_BSPLINE = 3, IM_BICUBIC = 4, IM_BICUBIC2 = 5,
        IM_LANCZOS = 6, IM_BOX = 7, IM_HERMITE = 8, IM_HAMMING = 9, IM_SINC = 10, IM_BLACKMAN = 11,
        IM_BESSEL = 12, IM_GAUSSIAN = 13, IM_QUADRATIC = 14, IM_MITCHELL = 15, IM_CATROM = 16
    };
    // How a position outside the image is read.
    enum OverflowMethod : int {
        OM_COLOR = 1, OM_BACKGROUND = 2, OM_TRANSPARENT = 3, OM_WRAP = 4, OM_REPEAT = 5, OM_MIRROR = 6
    };
    // The per-pixel operation of Mix.
    enum ImageOpType : int {
        OpAdd = 0, OpAnd = 1, OpXor = 2, OpOr = 3, OpMask = 4, OpSrcCopy = 5, OpDstCopy = 6,
        OpSub = 7, OpSrcBlend = 8, OpScreen = 9
    };

    // Geometry. Crop takes top-down coordinates, right and bottom exclusive.
    bool Crop(long left, long top, long right, long bottom, PxImage* dest = nullptr);
    bool Crop(const RECT& rect, PxImage* dest = nullptr);
    bool Flip();
    bool Mirror();
    bool RotateLeft(PxImage* dest = nullptr);
    bool RotateRight(PxImage* dest = nullptr);
    bool Rotate180(PxImage* dest = nullptr);
    bool Expand(long left, long top, long right, long bottom, RGBQUAD canvas, PxImage* dest = nullptr);
    bool Expand(long newWidth, long newHeight, RGBQUAD canvas, PxImage* dest = nullptr);
    bool Thumbnail(long newWidth, long newHeight, RGBQUAD canvas, PxImage* dest = nullptr);

    // Colour depth, grey and dithering.
    bool GrayScale();
    bool Negative();
    bool Threshold(uint8_t level);
    bool DecreaseBpp(uint32_t bits, bool errorDiffusion, const RGBQUAD* palette = nullptr, uint32_t important = 0);
    bool IncreaseBpp(uint32_t bits);
    bool Dither(long method = 0);

    // Lookup tables, colour adjustments and mixing.
    bool Lut(const uint8_t* table);
    bool Lut(const uint8_t* red, const uint8_t* green, const uint8_t* blue, const uint8_t* alpha = nullptr);
    bool Light(long brightness, long contrast = 0);
    bool Gamma(float gamma);
    bool ShiftRGB(long red, long green, long blue);
    bool RedEyeRemove();
    float Mean();
    void Mix(PxImage& other, ImageOpType op, long dx = 0, long dy = 0, bool mixAlpha = false);
    void MixFrom(PxImage& other, long dx, long dy);

    // Interpolation and kernels.
    void OverflowCoordinates(long& x, long& y, OverflowMethod method) const;
    void OverflowCoordinates(float& x, float& y, OverflowMethod method) const;
    RGBQUAD GetPixelColorWithOverflow(long x, long y, OverflowMethod method = OM_BACKGROUND,
                                      const RGBQUAD* replacement = nullptr) const;
    RGBQUAD GetPixelColorInterpolated(float x, float y, InterpolationMethod method = IM_BILINEAR,
                                      OverflowMethod overflow = OM_BACKGROUND,
                                      const RGBQUAD* replacement = nullptr) const;
    RGBQUAD GetAreaColorInterpolated(float xc, float yc, float w, float h, InterpolationMethod method,
                                     OverflowMethod overflow = OM_BACKGROUND,
                                     const RGBQUAD* replacement = nullptr) const;
    static float KernelLinear(float x);
    static float KernelCubic(float x);
    static float KernelGeneralizedCubic(float x, float a = -0.5f);
    static float KernelBSpline(float x);
    static float KernelBox(float x);
    static float KernelHermite(float x);
    static float KernelHamming(float x);
    static float KernelSinc(float x);
    static float KernelLanczosSinc(float x, float radius = 2.0f);
    static float KernelBlackman(float x);
    static float KernelBessel(float x);
    static float KernelGaussian(float x);
    static float KernelQuadratic(float x);
    static float KernelMitchell(float x);
    static float KernelCatrom(float x);
    static float KernelBessel_J1(float x);
    static float KernelBessel_P1(float x);
    static float KernelBessel_Q1(float x);
    static float KernelBessel_Order1(float x);

    // Resampling.
    bool Resample(long newWidth, long newHeight, int mode = 1, PxImage* dest = nullptr);
    bool Resample2(long newWidth, long newHeight, InterpolationMethod method = IM_BICUBIC2,
                   OverflowMethod overflow = OM_REPEAT, PxImage* dest = nullptr, bool disableAveraging = false);
    bool QIShrink(long newWidth, long newHeight, PxImage* dest = nullptr);

    // Colour spaces and channels. A converted colour travels in an RGBQUAD: the
    // first component in red, the second in green, the third in blue.
    static RGBQUAD RGBtoHSL(RGBQUAD color);
    static RGBQUAD HSLtoRGB(RGBQUAD color);
    static RGBQUAD HSLtoRGB(COLORREF color);
    static RGBQUAD RGBtoYUV(RGBQUAD color);
    static RGBQUAD YUVtoRGB(RGBQUAD color);
    static RGBQUAD RGBtoYIQ(RGBQUAD color);
    static RGBQUAD YIQtoRGB(RGBQUAD color);
    static RGBQUAD RGBtoXYZ(RGBQUAD color);
    static RGBQUAD XYZtoRGB(RGBQUAD color);
    bool SplitRGB(PxImage* r, PxImage* g, PxImage* b);
    bool SplitYUV(PxImage* y, PxImage* u, PxImage* v);
    bool SplitYIQ(PxImage* y, PxImage* i, PxImage* q);
    bool SplitXYZ(PxImage* x, PxImage* y, PxImage* z);
    bool SplitHSL(PxImage* h, PxImage* s, PxImage* l);
    bool SplitCMYK(PxImage* c, PxImage* m, PxImage* y, PxImage* k);
    // Spaces: 1 HSL, 2 YUV, 3 YIQ, 4 XYZ, anything else RGB. c2, c3 and alpha are
    // resized in place to c1's size.
    bool Combine(PxImage* c1, PxImage* c2, PxImage* c3, PxImage* alpha, long colorSpace = 0);
    void HuePalette(float correction = 1.0f);
    bool Colorize(uint8_t hue, uint8_t saturation, float blend = 1.0f);

    // Fourier transform of grey images (direction 1 forward, -1 inverse).
    bool FFT2(PxImage* srcReal, PxImage* srcImag, PxImage* dstReal, PxImage* dstImag, long direction = 1,
              bool forcePowerOf2 = true, bool magnitude = true);

    // Neighbourhood filters. Window sizes and radii above these are refused.
    static constexpr long kMaxFilterWindow = 255;
    static constexpr float kMaxBlurRadius = 1000.0f;
    bool Filter(const long* kernel, long kernelSize, long divisor, long offset = 0);
    bool Erode(long kernelSize = 2);
    bool Dilate(long kernelSize = 2);
    bool Edge(long kernelSize = 2);
    bool Median(long kernelSize = 3);
    bool Contour();
    bool Jitter(long radius = 2);
    bool Noise(long level);
    bool UnsharpMask(float radius = 5.0f, float amount = 0.5f, int threshold = 0);
    bool Repair(float radius = 0.25f, long iterations = 1, long colorSpace = 0);
    // The 15-bit generator (0..32767) behind Jitter and Noise; seedable so that
    // results repeat. Each thread has its own state.
    static void SeedRandom(uint32_t seed);
    static int Random15();

    // Free rotation and distortions. Angles of Rotate and Rotate2 are degrees,
    // that of CropRotatedRectangle radians.
    bool Rotate(float angle, PxImage* dest = nullptr);
    bool Rotate2(float angle, PxImage* dest = nullptr, InterpolationMethod method = IM_BILINEAR,
                 OverflowMethod overflow = OM_BACKGROUND, RGBQUAD* replacement = nullptr, bool optimise = true,
                 bool keepSize = false);
    bool CropRotatedRectangle(long topx, long topy, long width, long height, float angle, PxImage* dest = nullptr);
    bool Skew(float xgain, float ygain, long xpivot = 0, long ypivot = 0, bool interpolate = false);
    bool CircleTransform(int type, long rmax = 0, float coefficient = 1.0f);

    // Packed DIB (header, palette or masks, pixels) as another process puts it on
    // the clipboard; every size is checked against the block.
    bool CreateFromPackedDib(const uint8_t* block, size_t size);
    // True when drawing must blend (transparent colour, alpha channel or alpha palette).
    bool NeedsCompositing() const;
    // Blends this image, placed at (x, y) with size cx x cy in top-down device
    // coordinates, into a bottom-up 24-bit buffer that holds the device area
    // (areaLeft, areaTop, areaWidth, areaHeight). With opaque false every source
    // pixel is copied (the scaled drawing of an image without transparency).
    void CompositeInto(uint8_t* bits, long rowBytes, long areaLeft, long areaTop, long areaWidth,
                       long areaHeight, long x, long y, long cx, long cy, bool smooth, bool blend = true) const;

#ifdef _WIN32
    struct tagPxTextInfo {
        wchar_t text[4096];
        LOGFONTW lfont;
        COLORREF fcolor;     // text colour
        COLORREF bcolor;     // background box colour
        bool opaque;         // draw the background box
        float b_opacity;     // background transparency, 0..1
        uint8_t b_outline;
        uint8_t b_round;     // corner radius, percent of the line height
        uint8_t align;       // 0 left, 1 centre, 2 right
    };
    HGLOBAL CopyToHandle() const;
    HBITMAP MakeBitmap(HDC dc = nullptr) const;
    bool CreateFromHBITMAP(HBITMAP bitmap, HPALETTE palette = nullptr);
    bool CreateFromHICON(HICON icon);
    bool CreateFromHANDLE(HGLOBAL block);
    long Draw(HDC dc, long x = 0, long y = 0, long cx = -1, long cy = -1, RECT* clip = nullptr, bool smooth = false);
    long Draw(HDC dc, const RECT& rect, RECT* clip = nullptr, bool smooth = false);
    long Draw2(HDC dc, long x = 0, long y = 0, long cx = -1, long cy = -1);
    long Draw2(HDC dc, const RECT& rect);
    long Stretch(HDC dc, long x, long y, long cx, long cy, DWORD rop = SRCCOPY);
    long Stretch(HDC dc, const RECT& rect, DWORD rop = SRCCOPY);
    long Tile(HDC dc, RECT* rect);
    long DrawString(HDC dc, long x, long y, const wchar_t* text, RGBQUAD color, const wchar_t* face,
                    long height = 0, long weight = 400, bool italic = false, bool underline = false,
                    bool setAlpha = false);
    long DrawStringEx(HDC dc, long x, long y, tagPxTextInfo* info, bool setAlpha = false);
    static void InitTextInfo(tagPxTextInfo* info);
#endif

protected:
    static void AddAveragingCont(const RGBQUAD& color, float weight, float& red, float& green, float& blue,
                                 float& alpha);
    // `work` becomes an empty width x height image with this image's information,
    // palette and (when present) alpha plane: the target of the turns and resamplings.
    bool CreateResultImage(PxImage& work, uint32_t width, uint32_t height) const;
    // Copies pixel (sx, sy) of this image, with its alpha, to (x, y) of `work`.
    void CopyPixelTo(PxImage& work, long x, long y, long sx, long sy) const;
    // A quarter turn, clockwise (right) or counter-clockwise (left).
    bool RotateQuarter(bool clockwise, PxImage* dest);
    static float HueToRGB(float m1, float m2, float hue);
    static bool IsPowerof2(long v);
    static bool FFT(int direction, int m, double* x, double* y);
    static bool DFT(int direction, long n, double* x1, double* y1, double* x2, double* y2);
    static int gen_convolve_matrix(float radius, float** matrix);
    static float* gen_lookup_table(const float* matrix, int length);
    static void blur_line(const float* table, const float* matrix, int length, const uint8_t* src, uint8_t* dst,
                          int lineLength, long bytesPerPixel);
    static bool RepairChannel(PxImage* channel, float radius);
    bool SplitWith(RGBQUAD (*convert)(RGBQUAD), PxImage* a, PxImage* b, PxImage* c);
    // ---- end of the image operations ----

protected:
    // CreateFromArray and CreateFromMatrix: `lineAt(y)` is source line y (null: skipped).
    bool CreateFromLines(const std::function<const uint8_t*(uint32_t)>& lineAt, uint32_t width, uint32_t height,
                         uint32_t bpp, uint32_t bytesPerLine, bool flip);
    void Startup(uint32_t formatCode);
    void Ghost(const PxImage* source);
    void CopyInfo(const PxImage& source);
    // For a format class that hands part of its work to another format class.
    static void CopyInfoInto(PxImage& to, const PxImage& from) { to.CopyInfo(from); }
    bool EncodeSafeCheck(PxFile* stream);
    void SetError(const char* text);

    uint8_t BlindGetPixelIndex(long x, long y) const;
    RGBQUAD BlindGetPixelColor(long x, long y) const;
    uint8_t* BlindGetPixelPointer(long x, long y);
    uint8_t BlindAlphaGet(long x, long y) const { return m_alpha[x + y * static_cast<long>(GetWidth())]; }
    void BlindSetPixelIndex(long x, long y, uint8_t index);
    void RGBtoBGR(uint8_t* buffer, long length);
    // Converts 16- or 32-bit pixels into this image's 24-bit rows; source may be the
    // pixel area itself. For 16 bits the source holds ((width + 1) / 2) x 4 bytes
    // per row, for 32 bits width x 4.
    void Bitfield2RGB(const uint8_t* source, uint32_t redMask, uint32_t greenMask, uint32_t blueMask, uint8_t bpp);

    bool DecodeWith(PxFile* stream, uint32_t formatCode, bool report);

    void* m_dib;                 // packed DIB: header, palette, rows (owned unless ghost)
    BITMAPINFOHEADER m_header;   // copied to the front of the DIB by Create
    Info m_info;
    uint8_t* m_selection;        // width x height, 0 = outside
    uint8_t* m_alpha;            // width x height, 0 = transparent
    PxImage** m_subImages;       // numSubImages entries, owned
};
