#include "image/codecs/PxJpegHeaders.h"
#include "image/codecs/PxImageJPG.h"

#include <csetjmp>
#include <climits>
#include <cstring>
#include <new>

#include "image/PxFile.h"
#include "image/PxIOFile.h"
#include "image/codecs/PxExifInfo.h"
#include "image/codecs/PxJpegIOManager.h"

namespace {
// A progressive file may ask for any number of scans; past this many it is
// treated as hostile rather than decoded for minutes.
constexpr int kMaxScans = 1000;

struct PxJpegError {
    jpeg_error_mgr pub;
    jmp_buf jump;
    char* errorText;  // 256 bytes
};

void PxJpegErrorExit(j_common_ptr cinfo) {
    PxJpegError* err = reinterpret_cast<PxJpegError*>(cinfo->err);
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    std::strncpy(err->errorText, message, 255);
    err->errorText[255] = '\0';
    longjmp(err->jump, 1);
}

void PxJpegOutputMessage(j_common_ptr) {}  // warnings are not printed

void PxJpegProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor) {
        j_decompress_ptr d = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (d->input_scan_number > kMaxScans) {
            PxJpegError* err = reinterpret_cast<PxJpegError*>(cinfo->err);
            std::strncpy(err->errorText, "Too many JPEG scans", 255);
            longjmp(err->jump, 1);
        }
    }
}

void SetupError(PxJpegError& err, char* text) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = PxJpegErrorExit;
    err.pub.output_message = PxJpegOutputMessage;
    err.errorText = text;
}
}  // namespace

struct PxImageJPG::DecodeState {
    PxJpegError err;
    jpeg_decompress_struct cinfo;
    jpeg_progress_mgr progress;
    PxJpegIOManager* io;
    bool exifFound;
};

struct PxImageJPG::EncodeState {
    PxJpegError err;
    jpeg_compress_struct cinfo;
    PxJpegIOManager* io;
};

PxImageJPG::PxImageJPG()
    : PxImage(PxFormatJPG), m_exif(nullptr), m_predictor(0), m_pointTransform(0), m_smoothing(0), m_quantization(0),
      m_dither(0) {
    std::memset(&m_exifinfo, 0, sizeof(m_exifinfo));
}

PxImageJPG::~PxImageJPG() { delete m_exif; }

bool PxImageJPG::Decode(FILE* file) {
    PxIOFile stream(file);
    return Decode(file ? &stream : nullptr);
}

bool PxImageJPG::Encode(FILE* file) {
    PxIOFile stream(file);
    return Encode(file ? &stream : nullptr);
}

bool PxImageJPG::DecodeExif(FILE* file) {
    PxIOFile stream(file);
    return DecodeExif(file ? &stream : nullptr);
}

bool PxImageJPG::DecodeExif(PxFile* stream) {
    if (!stream) return false;
    delete m_exif;
    m_exif = new (std::nothrow) PxExifInfo(&m_exifinfo);
    if (!m_exif) return false;
    long position = stream->Tell();
    m_exif->DecodeExif(stream, PxExifInfo::kReadExif);
    stream->Seek(position, SEEK_SET);
    return m_exifinfo.isExif;
}

bool PxImageJPG::Decode(PxFile* stream) {
    if (!stream) return false;
    DecodeState s;
    s.exifFound = DecodeExif(stream);
    PxJpegIOManager io(stream);
    if (!io.IsValid()) {
        SetError("Could not allocate memory");
        return false;
    }
    s.io = &io;
    SetupError(s.err, m_info.lastError);
    // Zeroed with its error manager set: jpeg_destroy_decompress is then safe on
    // every path, even when creation itself failed.
    std::memset(&s.cinfo, 0, sizeof(s.cinfo));
    s.cinfo.err = &s.err.pub;
    bool ok = DecodeRows(s);
    jpeg_destroy_decompress(&s.cinfo);
    if (!ok) Destroy();
    return ok;
}

bool PxImageJPG::DecodeRows(DecodeState& s) {
    jpeg_decompress_struct* cinfo = &s.cinfo;
    if (setjmp(s.err.jump)) return false;
    jpeg_create_decompress(cinfo);
    s.progress.progress_monitor = PxJpegProgress;
    cinfo->progress = &s.progress;
    s.io->AttachSource(cinfo);
    jpeg_read_header(cinfo, TRUE);

    uint32_t options = GetCodecOption(PxFormatJPG);
    if (options & kJpegOptionDecodeGray) cinfo->out_color_space = JCS_GRAYSCALE;
    if (options & kJpegOptionQuantize) {
        cinfo->quantize_colors = TRUE;
        cinfo->desired_number_of_colors = GetJpegQuality();
    }
    if (options & kJpegOptionDither) cinfo->dither_mode = static_cast<J_DITHER_MODE>(m_dither);
    if (options & kJpegOptionOnePass) cinfo->two_pass_quantize = FALSE;
    if (options & kJpegOptionNoFancyUpsampling) cinfo->do_fancy_upsampling = FALSE;
    cinfo->scale_num = 1;
    cinfo->scale_denom = GetJpegScale() ? GetJpegScale() : 1;  // 0 means full size

    if (m_info.escape == -1) {
        jpeg_calc_output_dimensions(cinfo);
        m_header.biWidth = static_cast<LONG>(cinfo->output_width);
        m_header.biHeight = static_cast<LONG>(cinfo->output_height);
        return true;
    }

    // A header may claim any size: refuse what the library would not hold before
    // libjpeg allocates its whole-image buffers, and bound libjpeg's own memory.
    jpeg_calc_output_dimensions(cinfo);
    uint64_t cap = GetMaxImageBytes();
    uint64_t outputBytes = static_cast<uint64_t>(cinfo->output_width) * cinfo->output_height *
                           static_cast<uint64_t>(cinfo->out_color_components);
    if (outputBytes > cap) {
        SetError("JPEG image too large");
        return false;
    }
    // Coefficient buffers of progressive files take two bytes a sample.
    uint64_t budget = cap * 3 + (16u << 20);
    cinfo->mem->max_memory_to_use = budget > static_cast<uint64_t>(LONG_MAX) ? LONG_MAX : static_cast<long>(budget);

    jpeg_start_decompress(cinfo);
    int components = cinfo->output_components;
    if (!Create(cinfo->output_width, cinfo->output_height, 8 * static_cast<uint32_t>(components), PxFormatJPG))
        return false;

    // Resolution: EXIF first; else JFIF, where unit 0 gives only an aspect ratio.
    bool dpiSet = false;
    if (s.exifFound && m_exifinfo.xResolution != 0 && m_exifinfo.resolutionUnit != 0 && m_exifinfo.yResolution != 0) {
        SetXDPI(static_cast<int32_t>(m_exifinfo.xResolution / m_exifinfo.resolutionUnit));
        SetYDPI(static_cast<int32_t>(m_exifinfo.yResolution / m_exifinfo.resolutionUnit));
        dpiSet = true;
    }
    if (!dpiSet) {
        if (cinfo->density_unit == 2) {
            SetXDPI(static_cast<int32_t>(cinfo->X_density * 2.54 + 0.5));
            SetYDPI(static_cast<int32_t>(cinfo->Y_density * 2.54 + 0.5));
        } else if (cinfo->density_unit == 1) {
            SetXDPI(cinfo->X_density);
            SetYDPI(cinfo->Y_density);
        }
    }

    if (cinfo->quantize_colors) {
        int n = cinfo->actual_number_of_colors;
        JSAMPARRAY map = cinfo->colormap;
        if (cinfo->out_color_components == 3) SetPalette(static_cast<uint32_t>(n), map[0], map[1], map[2]);
        else SetPalette(static_cast<uint32_t>(n), map[0], map[0], map[0]);
    } else if (components == 1) {
        SetGrayPalette();
    }

    uint32_t rowStride = cinfo->output_width * static_cast<uint32_t>(components);
    JSAMPARRAY buffer = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, rowStride, 1);
    uint32_t rowSize = GetEffWidth();
    uint32_t height = cinfo->output_height;
    while (cinfo->output_scanline < height) {
        if (m_info.escape) {
            SetError("Cancelled");
            return false;
        }
        uint32_t fileRow = cinfo->output_scanline;
        jpeg_read_scanlines(cinfo, buffer, 1);
        uint8_t* dst = GetBits(height - 1 - fileRow);
        const uint8_t* src = buffer[0];
        if (components == 4 && !cinfo->quantize_colors) {
            // CMYK as stored by Adobe (inverted): each channel scaled by K.
            for (uint32_t x = 0, o = 0; o + 2 < rowSize && x < cinfo->output_width; ++x, o += 3) {
                uint32_t k = src[4 * x + 3];
                dst[o] = static_cast<uint8_t>(src[4 * x + 2] * k / 255);
                dst[o + 1] = static_cast<uint8_t>(src[4 * x + 1] * k / 255);
                dst[o + 2] = static_cast<uint8_t>(src[4 * x] * k / 255);
            }
        } else {
            std::memcpy(dst, src, rowStride < rowSize ? rowStride : rowSize);
        }
        SetProgress(static_cast<int32_t>(100.0 * (fileRow + 1) / height));
    }
    jpeg_finish_decompress(cinfo);
    if (components == 3 && !cinfo->quantize_colors) {
        for (uint32_t y = 0; y < height; ++y) {
            if (m_info.escape) {
                SetError("Cancelled");
                return false;
            }
            RGBtoBGR(GetBits(y), static_cast<long>(cinfo->output_width) * 3);
        }
    }
    return true;
}

bool PxImageJPG::Encode(PxFile* stream) {
    if (EncodeSafeCheck(stream)) return false;
    // Rows go to libjpeg as one byte per pixel (grey) or three (RGB), nothing else.
    if (IsIndexed() && !(GetBpp() == 8 && IsGrayScale())) {
        SetError("JPEG can save only RGB or GreyScale images");
        return false;
    }
    long position = stream->Tell();
    EncodeState s;
    PxJpegIOManager io(stream);
    if (!io.IsValid()) {
        SetError("Could not allocate memory");
        return false;
    }
    s.io = &io;
    SetupError(s.err, m_info.lastError);
    std::memset(&s.cinfo, 0, sizeof(s.cinfo));
    s.cinfo.err = &s.err.pub;
    bool ok = EncodeRows(s);
    jpeg_destroy_compress(&s.cinfo);
    if (!ok) return false;

    if (m_exif && m_exifinfo.isExif) {
        m_exif->DiscardAllButExif();
        stream->Seek(position, SEEK_SET);
        m_exif->DecodeExif(stream, PxExifInfo::kReadAll);
        stream->Seek(position, SEEK_SET);
        if (!m_exif->EncodeExif(stream)) {
            SetError(m_exif->GetLastError());
            return false;
        }
    }
    return true;
}

bool PxImageJPG::EncodeRows(EncodeState& s) {
    jpeg_compress_struct* cinfo = &s.cinfo;
    if (setjmp(s.err.jump)) return false;
    jpeg_create_compress(cinfo);
    s.io->AttachDestination(cinfo);

    bool grey = IsIndexed();
    cinfo->image_width = GetWidth();
    cinfo->image_height = GetHeight();
    cinfo->input_components = grey ? 1 : 3;
    cinfo->in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(cinfo);
    uint32_t options = GetCodecOption(PxFormatJPG);
    if (options & kJpegOptionArithmetic) cinfo->arith_code = TRUE;
    if (options & kJpegOptionOptimize) cinfo->optimize_coding = TRUE;
    if (options & kJpegOptionGrayscale) jpeg_set_colorspace(cinfo, JCS_GRAYSCALE);
    if (options & kJpegOptionSmoothing) cinfo->smoothing_factor = m_smoothing;
    jpeg_set_quality(cinfo, GetJpegQuality(), (options & kJpegOptionBaseline) ? TRUE : FALSE);
    if (options & kJpegOptionProgressive) jpeg_simple_progression(cinfo);
    cinfo->density_unit = 1;
    cinfo->X_density = static_cast<UINT16>(GetXDPI());
    cinfo->Y_density = static_cast<UINT16>(GetYDPI());

    jpeg_start_compress(cinfo, TRUE);
    uint32_t rowSize = GetEffWidth();
    JSAMPARRAY buffer =
        (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, rowSize + 8, 1);
    uint32_t height = GetHeight();
    while (cinfo->next_scanline < height) {
        uint32_t fileRow = cinfo->next_scanline;
        std::memcpy(buffer[0], GetBits(height - 1 - fileRow), rowSize);
        if (!grey) RGBtoBGR(buffer[0], static_cast<long>(rowSize));
        jpeg_write_scanlines(cinfo, buffer, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}
