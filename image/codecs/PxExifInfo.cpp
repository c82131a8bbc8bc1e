#include "image/codecs/PxExifInfo.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "image/PxFile.h"

namespace {
// JPEG markers (ITU T.81 table B.1).
constexpr int M_SOF0 = 0xC0, M_SOF1 = 0xC1, M_SOF2 = 0xC2, M_SOF3 = 0xC3, M_SOF5 = 0xC5, M_SOF6 = 0xC6,
              M_SOF7 = 0xC7, M_SOF9 = 0xC9, M_SOF10 = 0xCA, M_SOF11 = 0xCB, M_SOF13 = 0xCD, M_SOF14 = 0xCE,
              M_SOF15 = 0xCF, M_SOI = 0xD8, M_EOI = 0xD9, M_SOS = 0xDA, M_JFIF = 0xE0, M_EXIF = 0xE1, M_COM = 0xFE;
// Section type of the image data kept after SOS.
constexpr int M_IMAGE_DATA = 0x123;

// EXIF (TIFF) value formats 1..12 and their sizes in bytes.
const int kBytesPerFormat[] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
enum { FMT_BYTE = 1, FMT_STRING, FMT_USHORT, FMT_ULONG, FMT_URATIONAL, FMT_SBYTE, FMT_UNDEFINED, FMT_SSHORT,
       FMT_SLONG, FMT_SRATIONAL, FMT_SINGLE, FMT_DOUBLE };

// EXIF tags read here.
enum {
    TAG_MAKE = 0x010F, TAG_MODEL = 0x0110, TAG_ORIENTATION = 0x0112, TAG_XRESOLUTION = 0x011A,
    TAG_YRESOLUTION = 0x011B, TAG_RESOLUTIONUNIT = 0x0128, TAG_THUMBNAIL_OFFSET = 0x0201,
    TAG_THUMBNAIL_LENGTH = 0x0202, TAG_EXPOSURETIME = 0x829A, TAG_FNUMBER = 0x829D, TAG_EXIF_OFFSET = 0x8769,
    TAG_EXPOSURE_PROGRAM = 0x8822, TAG_ISO_EQUIVALENT = 0x8827, TAG_EXIF_VERSION = 0x9000,
    TAG_DATETIME_ORIGINAL = 0x9003, TAG_COMPRESSION_LEVEL = 0x9102, TAG_SHUTTERSPEED = 0x9201,
    TAG_APERTURE = 0x9202, TAG_BRIGHTNESS = 0x9203, TAG_EXPOSURE_BIAS = 0x9204, TAG_MAXAPERTURE = 0x9205,
    TAG_SUBJECT_DISTANCE = 0x9206, TAG_METERING_MODE = 0x9207, TAG_LIGHT_SOURCE = 0x9208, TAG_FLASH = 0x9209,
    TAG_FOCALLENGTH = 0x920A, TAG_USERCOMMENT = 0x9286, TAG_EXIF_IMAGEWIDTH = 0xA002,
    TAG_EXIF_IMAGELENGTH = 0xA003, TAG_INTEROP_OFFSET = 0xA005, TAG_FOCALPLANEXRES = 0xA20E,
    TAG_FOCALPLANEYRES = 0xA20F, TAG_FOCALPLANEUNITS = 0xA210
};

constexpr int kMaxDirDepth = 8;

float UnitScale(int value) {
    switch (value) {
        case 1: case 2: return 1.0f;        // inch
        case 3: return 0.3937f;             // centimetre
        case 4: return 0.03937f;            // millimetre
        case 5: return 0.00003937f;         // micrometre
        default: return 0.0f;
    }
}

// Numbers from the file may be anything, NaN included: clamp before converting.
int32_t ToInt32(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

uint64_t ToOffset(double v) {
    if (!(v > 0)) return 0;
    if (v >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<uint64_t>(v);
}

void CopyText(char* dst, size_t limit, const uint8_t* src, uint64_t available) {
    size_t n = available < limit ? static_cast<size_t>(available) : limit;
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}
}  // namespace

PxImageJPG::PxExifInfo::PxExifInfo(tag_ExifInfo* info)
    : m_info(info), m_exifImageWidth(0), m_motorolaOrder(false), m_sectionsRead(0), m_freeInfo(info == nullptr),
      m_visitedCount(0) {
    if (!m_info) {
        m_info = new (std::nothrow) tag_ExifInfo;
        if (!m_info) m_freeInfo = false;
    }
    if (m_info) std::memset(m_info, 0, sizeof(*m_info));
    m_lastError[0] = '\0';
    std::memset(m_sections, 0, sizeof(m_sections));
}

PxImageJPG::PxExifInfo::~PxExifInfo() {
    FreeSections();
    if (m_freeInfo) delete m_info;
}

void PxImageJPG::PxExifInfo::FreeSections() {
    for (int i = 0; i < m_sectionsRead; ++i) std::free(m_sections[i].data);
    m_sectionsRead = 0;
}

void PxImageJPG::PxExifInfo::SetError(const char* text) {
    std::strncpy(m_lastError, text, sizeof(m_lastError) - 1);
    m_lastError[sizeof(m_lastError) - 1] = '\0';
}

int PxImageJPG::PxExifInfo::Get16m(const void* p) const {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return (b[0] << 8) | b[1];
}

int PxImageJPG::PxExifInfo::Get16u(const void* p) const {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    return m_motorolaOrder ? ((b[0] << 8) | b[1]) : ((b[1] << 8) | b[0]);
}

uint32_t PxImageJPG::PxExifInfo::Get32u(const void* p) const {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    if (m_motorolaOrder)
        return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
               (static_cast<uint32_t>(b[2]) << 8) | b[3];
    return (static_cast<uint32_t>(b[3]) << 24) | (static_cast<uint32_t>(b[2]) << 16) |
           (static_cast<uint32_t>(b[1]) << 8) | b[0];
}

int32_t PxImageJPG::PxExifInfo::Get32s(const void* p) const { return static_cast<int32_t>(Get32u(p)); }

double PxImageJPG::PxExifInfo::ConvertAnyFormat(const void* value, int format) const {
    const uint8_t* v = static_cast<const uint8_t*>(value);
    switch (format) {
        case FMT_SBYTE: return static_cast<int8_t>(v[0]);
        case FMT_BYTE: return v[0];
        case FMT_USHORT: return Get16u(v);
        case FMT_ULONG: return Get32u(v);
        case FMT_URATIONAL:
        case FMT_SRATIONAL: {
            int32_t num = Get32s(v), den = Get32s(v + 4);
            return den == 0 ? 0.0 : static_cast<double>(num) / den;
        }
        case FMT_SSHORT: return static_cast<int16_t>(Get16u(v));
        case FMT_SLONG: return Get32s(v);
        case FMT_SINGLE: {
            uint32_t bits = Get32u(v);
            float f;
            std::memcpy(&f, &bits, sizeof(f));
            return f;
        }
        case FMT_DOUBLE: {
            uint64_t bits = m_motorolaOrder
                                ? (static_cast<uint64_t>(Get32u(v)) << 32) | Get32u(v + 4)
                                : (static_cast<uint64_t>(Get32u(v + 4)) << 32) | Get32u(v);
            double d;
            std::memcpy(&d, &bits, sizeof(d));
            return d;
        }
        default: return 0.0;
    }
}

bool PxImageJPG::PxExifInfo::DecodeExif(PxFile* stream, int mode) {
    if (!stream || !m_info) return false;
    if (stream->GetC() != 0xFF || stream->GetC() != M_SOI) return false;
    while (m_sectionsRead < kMaxSections) {
        int marker = 0;
        int padding = 0;
        for (;;) {
            long c = stream->GetC();
            if (c < 0) {
                SetError("Premature end of file?");
                return false;
            }
            if (c != 0xFF) {
                marker = static_cast<int>(c);
                break;
            }
            if (++padding >= 7) {
                SetError("too many padding bytes");
                return false;
            }
        }
        long hi = stream->GetC(), lo = stream->GetC();
        if (hi < 0 || lo < 0) {
            SetError("Premature end of file?");
            return false;
        }
        uint32_t length = static_cast<uint32_t>((hi << 8) | lo);
        if (length < 2) {
            SetError("invalid marker");
            return false;
        }
        uint8_t* data = static_cast<uint8_t*>(std::malloc(length));
        if (!data) {
            SetError("Could not allocate memory");
            return false;
        }
        data[0] = static_cast<uint8_t>(hi);
        data[1] = static_cast<uint8_t>(lo);
        if (stream->Read(data + 2, 1, length - 2) != length - 2) {
            std::free(data);
            SetError("Premature end of file?");
            return false;
        }
        Section& section = m_sections[m_sectionsRead];
        section.data = data;
        section.type = marker;
        section.size = length;
        ++m_sectionsRead;
        auto drop = [&]() {
            std::free(data);
            section.data = nullptr;
            --m_sectionsRead;
        };

        switch (marker) {
            case M_SOF0: case M_SOF1: case M_SOF2: case M_SOF3: case M_SOF5: case M_SOF6: case M_SOF7:
            case M_SOF9: case M_SOF10: case M_SOF11: case M_SOF13: case M_SOF14: case M_SOF15:
                process_SOFn(data, marker, length);
                break;
            case M_EOI:
                SetError("No image in jpeg!");
                return false;
            case M_SOS:
                if (mode & kReadImage) {
                    long position = stream->Tell();
                    long end = stream->Size();
                    long rest = end > position ? end - position : 0;
                    uint8_t* image = static_cast<uint8_t*>(std::malloc(rest > 0 ? static_cast<size_t>(rest) : 1));
                    if (!image) {
                        SetError("could not allocate data for entire image");
                        return false;
                    }
                    if (stream->Read(image, 1, static_cast<size_t>(rest)) != static_cast<size_t>(rest)) {
                        std::free(image);
                        SetError("could not read the rest of the image");
                        return false;
                    }
                    // The table has a slot beyond the marker limit for this.
                    Section& rest_section = m_sections[m_sectionsRead];
                    rest_section.data = image;
                    rest_section.type = M_IMAGE_DATA;
                    rest_section.size = static_cast<uint32_t>(rest);
                    ++m_sectionsRead;
                }
                return true;
            case M_JFIF:
                drop();
                break;
            case M_EXIF:
                if ((mode & kReadExif) && length >= 6 && std::memcmp(data + 2, "Exif", 4) == 0) {
                    m_info->isExif = process_EXIF(data + 2, length - 2);
                } else {
                    drop();
                }
                break;
            case M_COM:
                if ((mode & kReadExif) && m_info->comments[0] == '\0') process_COM(data, length);
                else drop();
                break;
            default:
                break;
        }
    }
    SetError("Too many sections in jpg file");
    return false;
}

void PxImageJPG::PxExifInfo::process_SOFn(const uint8_t* data, int marker, uint32_t length) {
    if (length < 2 + 8) return;  // too short to hold precision, size and components
    m_info->height = Get16m(data + 3);
    m_info->width = Get16m(data + 5);
    m_info->isColor = data[7] == 3 ? 1 : 0;
    m_info->process = marker;
}

void PxImageJPG::PxExifInfo::process_COM(const uint8_t* data, uint32_t length) {
    // The text runs from offset 2 to the end of the section, at most to offset 999.
    uint32_t end = length < 999 ? length : 999;
    size_t n = 0;
    for (uint32_t a = 2; a < end; ++a) {
        uint8_t ch = data[a];
        if (ch == '\r' && a + 1 < end && data[a + 1] == '\n') continue;  // CR LF becomes LF
        if ((ch >= 32 && ch < 127) || ch == '\n' || ch == '\t') m_info->comments[n++] = static_cast<char>(ch);
        else m_info->comments[n++] = '?';
    }
    m_info->comments[n] = '\0';
}

bool PxImageJPG::PxExifInfo::process_EXIF(uint8_t* data, uint32_t length) {
    m_info->flashUsed = 0;
    m_info->comments[0] = '\0';
    m_exifImageWidth = 0;
    m_visitedCount = 0;
    static const uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (length < 6 || std::memcmp(data, kExifHeader, 6) != 0) {
        SetError("Incorrect Exif header");
        return false;
    }
    if (length < 6 + 8) {
        SetError("Invalid Exif alignment marker.");
        return false;
    }
    if (std::memcmp(data + 6, "II", 2) == 0) {
        m_motorolaOrder = false;
    } else if (std::memcmp(data + 6, "MM", 2) == 0) {
        m_motorolaOrder = true;
    } else {
        SetError("Invalid Exif alignment marker.");
        return false;
    }
    if (Get16u(data + 8) != 0x2A) {
        SetError("Invalid Exif start (1)");
        return false;
    }
    uint8_t* base = data + 6;  // offsets count from the byte-order mark
    uint32_t exifLength = length - 6;
    if (!ProcessExifDir(base + 8, base, exifLength, 0)) return false;
    uint32_t firstOffset = Get32u(data + 10);
    if (firstOffset >= 9 && firstOffset < exifLength) ProcessExifDir(base + firstOffset, base, exifLength, 0);
    if (m_info->focalPlaneXRes != 0)
        m_info->ccdWidth = static_cast<float>(m_exifImageWidth * m_info->focalPlaneUnits / m_info->focalPlaneXRes);
    return true;
}

bool PxImageJPG::PxExifInfo::ProcessExifDir(uint8_t* dirStart, uint8_t* base, uint32_t exifLength, int depth) {
    uint64_t dirOffset = static_cast<uint64_t>(dirStart - base);
    // A directory is read at most once and nesting is bounded: a crafted link
    // back to an earlier directory would otherwise recurse without end.
    if (depth > kMaxDirDepth) {
        SetError("Illegal subdirectory link");
        return false;
    }
    for (int i = 0; i < m_visitedCount; ++i)
        if (m_visited[i] == dirOffset) {
            SetError("Illegal subdirectory link");
            return false;
        }
    if (m_visitedCount >= static_cast<int>(sizeof(m_visited) / sizeof(m_visited[0]))) {
        SetError("Illegal subdirectory link");
        return false;
    }
    m_visited[m_visitedCount++] = static_cast<uint32_t>(dirOffset);

    if (dirOffset + 2 > exifLength) {
        SetError("Illegally sized directory");
        return false;
    }
    int entries = Get16u(dirStart);
    uint64_t dirEnd = dirOffset + 2 + 12ull * entries;
    if (dirEnd > exifLength) {
        SetError("Illegally sized directory");
        return false;
    }
    uint64_t thumbnailOffset = 0, thumbnailSize = 0;
    for (int de = 0; de < entries; ++de) {
        uint8_t* entry = dirStart + 2 + 12 * de;
        int tag = Get16u(entry);
        int format = Get16u(entry + 2);
        uint32_t components = Get32u(entry + 4);
        if (format < 1 || format > 12) {
            SetError("Illegal format code in EXIF dir");
            return false;
        }
        uint64_t byteCount = static_cast<uint64_t>(components) * kBytesPerFormat[format];
        uint8_t* value;
        if (byteCount > 4) {
            uint32_t offset = Get32u(entry + 8);
            if (static_cast<uint64_t>(offset) + byteCount > exifLength) {
                SetError("Illegal pointer offset value in EXIF.");
                continue;
            }
            value = base + offset;
        } else {
            value = entry + 8;
        }
        // A value shorter than one item of its format cannot be read.
        if (byteCount < static_cast<uint64_t>(kBytesPerFormat[format])) continue;

        switch (tag) {
            case TAG_MAKE: CopyText(m_info->cameraMake, 31, value, byteCount); break;
            case TAG_MODEL: CopyText(m_info->cameraModel, 39, value, byteCount); break;
            case TAG_DATETIME_ORIGINAL: CopyText(m_info->dateTime, 19, value, byteCount); break;
            case TAG_EXIF_VERSION: CopyText(m_info->version, 4, value, byteCount); break;
            case TAG_USERCOMMENT: {
                size_t n = byteCount < 199 ? static_cast<size_t>(byteCount) : 199;
                while (n > 0 && (value[n - 1] == ' ' || value[n - 1] == '\0')) --n;
                if (n >= 5 && std::memcmp(value, "ASCII", 5) == 0) {
                    size_t a = 5;
                    while (a < 10 && a < n && (value[a] == 0 || value[a] == ' ')) ++a;
                    CopyText(m_info->comments, n - a, value + a, n - a);
                } else {
                    CopyText(m_info->comments, n, value, n);
                }
                break;
            }
            case TAG_ORIENTATION: {
                int v = ToInt32(ConvertAnyFormat(value, format));
                if (v < 1 || v > 8) {
                    SetError("Undefined rotation value");
                    v = 0;
                }
                m_info->orientation = v;
                break;
            }
            case TAG_XRESOLUTION: m_info->xResolution = static_cast<float>(ConvertAnyFormat(value, format)); break;
            case TAG_YRESOLUTION: m_info->yResolution = static_cast<float>(ConvertAnyFormat(value, format)); break;
            case TAG_RESOLUTIONUNIT:
                m_info->resolutionUnit = UnitScale(ToInt32(ConvertAnyFormat(value, format)));
                break;
            case TAG_FOCALPLANEUNITS:
                m_info->focalPlaneUnits = UnitScale(ToInt32(ConvertAnyFormat(value, format)));
                break;
            case TAG_FOCALPLANEXRES: m_info->focalPlaneXRes = static_cast<float>(ConvertAnyFormat(value, format)); break;
            case TAG_FOCALPLANEYRES: m_info->focalPlaneYRes = static_cast<float>(ConvertAnyFormat(value, format)); break;
            case TAG_THUMBNAIL_OFFSET: thumbnailOffset = ToOffset(ConvertAnyFormat(value, format)); break;
            case TAG_THUMBNAIL_LENGTH: thumbnailSize = ToOffset(ConvertAnyFormat(value, format)); break;
            case TAG_EXPOSURETIME: m_info->exposureTime = static_cast<float>(ConvertAnyFormat(value, format)); break;
            case TAG_FNUMBER: m_info->apertureFNumber = static_cast<float>(ConvertAnyFormat(value, format)); break;
            case TAG_SHUTTERSPEED:
                if (m_info->exposureTime == 0)
                    m_info->exposureTime = static_cast<float>(1.0 / std::exp2(ConvertAnyFormat(value, format)));
                break;
            case TAG_APERTURE:
            case TAG_MAXAPERTURE:
                if (m_info->apertureFNumber == 0)
                    m_info->apertureFNumber = static_cast<float>(std::exp2(ConvertAnyFormat(value, format) / 2));
                break;
            case TAG_BRIGHTNESS: m_info->brightness = static_cast<float>(ConvertAnyFormat(value, format)); break;
            case TAG_EXPOSURE_BIAS: m_info->exposureBias = static_cast<float>(ConvertAnyFormat(value, format)); break;
            case TAG_SUBJECT_DISTANCE: m_info->distance = static_cast<float>(ConvertAnyFormat(value, format)); break;
            case TAG_METERING_MODE: m_info->meteringMode = ToInt32(ConvertAnyFormat(value, format)); break;
            case TAG_LIGHT_SOURCE: m_info->whiteBalance = ToInt32(ConvertAnyFormat(value, format)); break;
            case TAG_FLASH:
                m_info->flashUsed = (ToInt32(ConvertAnyFormat(value, format)) & 7) != 0 ? 1 : 0;
                break;
            case TAG_FOCALLENGTH: m_info->focalLength = static_cast<float>(ConvertAnyFormat(value, format)); break;
            case TAG_EXPOSURE_PROGRAM:
                m_info->exposureProgram = ToInt32(ConvertAnyFormat(value, format));
                break;
            case TAG_ISO_EQUIVALENT: {
                int32_t iso = ToInt32(ConvertAnyFormat(value, format));
                m_info->isoEquivalent = iso < 50 ? ToInt32(iso * 200.0) : iso;
                break;
            }
            case TAG_COMPRESSION_LEVEL:
                m_info->compressionLevel = ToInt32(ConvertAnyFormat(value, format));
                break;
            case TAG_EXIF_IMAGEWIDTH:
            case TAG_EXIF_IMAGELENGTH: {
                int v = ToInt32(ConvertAnyFormat(value, format));
                if (v > m_exifImageWidth) m_exifImageWidth = v;
                break;
            }
            case TAG_EXIF_OFFSET:
            case TAG_INTEROP_OFFSET: {
                uint32_t offset = Get32u(value);
                if (offset >= 9) {
                    if (offset >= exifLength) SetError("Illegal subdirectory link");
                    else ProcessExifDir(base + offset, base, exifLength, depth + 1);
                }
                break;
            }
            default: break;
        }
    }
    // The link to the next directory follows the entries.
    if (dirEnd + 4 <= exifLength) {
        uint32_t next = Get32u(dirStart + 2 + 12 * entries);
        if (next) {
            if (next >= exifLength) SetError("Illegal subdirectory link");
            else ProcessExifDir(base + next, base, exifLength, depth + 1);
        }
    }
    if (thumbnailOffset && thumbnailSize && thumbnailOffset + thumbnailSize <= exifLength) {
        m_info->thumbnailPointer = base + thumbnailOffset;
        m_info->thumbnailSize = static_cast<uint32_t>(thumbnailSize);
    }
    return true;
}

void PxImageJPG::PxExifInfo::DiscardAllButExif() {
    Section exif = {nullptr, 0, 0}, comment = {nullptr, 0, 0};
    for (int i = 0; i < m_sectionsRead; ++i) {
        Section& s = m_sections[i];
        if (s.type == M_EXIF && !exif.data) exif = s;
        else if (s.type == M_COM && !comment.data) comment = s;
        else std::free(s.data);
        s.data = nullptr;
    }
    m_sectionsRead = 0;
    if (exif.data) m_sections[m_sectionsRead++] = exif;
    if (comment.data) m_sections[m_sectionsRead++] = comment;
}

bool PxImageJPG::PxExifInfo::EncodeExif(PxFile* stream) {
    if (!stream) return false;
    bool haveSos = false;
    for (int i = 0; i < m_sectionsRead - 1; ++i)
        if (m_sections[i].type == M_SOS) haveSos = true;
    if (!haveSos) {
        SetError("Can't write exif : didn't read all");
        return false;
    }
    static const uint8_t kSoi[2] = {0xFF, M_SOI};
    bool ok = stream->Write(kSoi, 2, 1) == 1;
    if (ok && m_sections[0].type != M_EXIF && m_sections[0].type != M_JFIF) {
        // JFIF 1.1, 300 x 300 dots per inch, no thumbnail.
        static const uint8_t kJfif[18] = {0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00,
                                          0x01, 0x01, 0x01, 0x01, 0x2C, 0x01, 0x2C, 0x00, 0x00};
        ok = stream->Write(kJfif, sizeof(kJfif), 1) == 1;
    }
    for (int i = 0; ok && i < m_sectionsRead - 1; ++i) {
        uint8_t head[2] = {0xFF, static_cast<uint8_t>(m_sections[i].type)};
        ok = stream->Write(head, 2, 1) == 1 && stream->Write(m_sections[i].data, m_sections[i].size, 1) == 1;
    }
    const Section& last = m_sections[m_sectionsRead - 1];
    if (ok && last.size) ok = stream->Write(last.data, last.size, 1) == 1;
    if (!ok) SetError("Write Error");
    return ok;
}
