#pragma once
#include <cstdio>

#include "image/PxImage.h"

// JPEG (JFIF) through libjpeg's IJG 6b interface, with an EXIF reader.
// Codec option bits for PxFormatJPG: 0x1 force baseline tables, 0x2 arithmetic
// coding, 0x4 write greyscale, 0x8 optimised Huffman tables, 0x10 progressive,
// 0x40 smoothing (m_smoothing); decoder: 0x80 greyscale output, 0x100 quantise to
// GetJpegQuality() colours, 0x200 dither mode m_dither, 0x400 one-pass
// quantisation, 0x800 no fancy upsampling.
class PxImageJPG : public PxImage {
public:
    // The EXIF record of one JPEG.
    struct tag_ExifInfo {
        char version[5];
        char cameraMake[32];
        char cameraModel[40];
        char dateTime[20];
        int32_t height;
        int32_t width;
        int32_t orientation;
        int32_t isColor;
        int32_t process;
        int32_t flashUsed;
        float focalLength;
        float exposureTime;
        float apertureFNumber;
        float distance;
        float ccdWidth;
        float exposureBias;
        int32_t whiteBalance;
        int32_t meteringMode;
        int32_t exposureProgram;
        int32_t isoEquivalent;
        int32_t compressionLevel;
        float focalPlaneXRes;
        float focalPlaneYRes;
        float focalPlaneUnits;
        float xResolution;
        float yResolution;
        float resolutionUnit;
        float brightness;
        char comments[1000];
        uint8_t* thumbnailPointer;  // inside the reader's section data
        uint32_t thumbnailSize;
        bool isExif;
    };
    class PxExifInfo;

    enum { kJpegOptionBaseline = 0x1, kJpegOptionArithmetic = 0x2, kJpegOptionGrayscale = 0x4,
           kJpegOptionOptimize = 0x8, kJpegOptionProgressive = 0x10, kJpegOptionSmoothing = 0x40,
           kJpegOptionDecodeGray = 0x80, kJpegOptionQuantize = 0x100, kJpegOptionDither = 0x200,
           kJpegOptionOnePass = 0x400, kJpegOptionNoFancyUpsampling = 0x800 };

    PxImageJPG();
    ~PxImageJPG() override;
    PxImageJPG(const PxImageJPG&) = delete;
    PxImageJPG& operator=(const PxImageJPG&) = delete;

    bool Decode(PxFile* stream);
    bool Encode(PxFile* stream);
    bool Decode(FILE* file);
    bool Encode(FILE* file);
    // Reads the EXIF block into m_exifinfo; the stream is returned to where it was.
    bool DecodeExif(PxFile* stream);
    bool DecodeExif(FILE* file);

    PxExifInfo* m_exif;  // owned; null until DecodeExif
    tag_ExifInfo m_exifinfo;
    int32_t m_predictor;
    int32_t m_pointTransform;
    int32_t m_smoothing;      // encoder smoothing factor (option 0x40)
    int32_t m_quantization;
    int32_t m_dither;         // decoder dither mode (option 0x200)

private:
    struct DecodeState;
    struct EncodeState;
    bool DecodeRows(DecodeState& s);
    bool EncodeRows(EncodeState& s);
};
