#pragma once
#include "image/codecs/PxImageJPG.h"

// Reads the marker sections of a JPEG, decodes its EXIF block into a record and
// can write the kept sections back. Every directory link is bounds-checked and
// followed at most once, to a limited depth.
class PxImageJPG::PxExifInfo {
public:
    enum { kReadExif = 1, kReadImage = 2, kReadAll = 3 };
    static constexpr int kMaxSections = 20;

    // info null: the reader allocates (and later frees) its own record.
    explicit PxExifInfo(tag_ExifInfo* info = nullptr);
    ~PxExifInfo();
    PxExifInfo(const PxExifInfo&) = delete;
    PxExifInfo& operator=(const PxExifInfo&) = delete;

    bool DecodeExif(PxFile* stream, int mode = kReadExif);
    bool EncodeExif(PxFile* stream);
    void DiscardAllButExif();
    const char* GetLastError() const { return m_lastError; }
    const tag_ExifInfo* GetInfo() const { return m_info; }

    int Get16m(const void* p) const;
    int Get16u(const void* p) const;
    int32_t Get32s(const void* p) const;
    uint32_t Get32u(const void* p) const;
    double ConvertAnyFormat(const void* value, int format) const;

protected:
    struct Section {
        uint8_t* data;  // includes the two length bytes
        int type;
        uint32_t size;
    };

    bool process_EXIF(uint8_t* data, uint32_t length);
    bool ProcessExifDir(uint8_t* dirStart, uint8_t* offsetBase, uint32_t exifLength, int depth);
    void process_COM(const uint8_t* data, uint32_t length);
    void process_SOFn(const uint8_t* data, int marker, uint32_t length);
    void SetError(const char* text);
    void FreeSections();

    tag_ExifInfo* m_info;
    char m_lastError[256];
    int m_exifImageWidth;
    bool m_motorolaOrder;
    // One more than the marker limit: the image data after SOS takes a slot of its own.
    Section m_sections[kMaxSections + 1];
    int m_sectionsRead;
    bool m_freeInfo;
    // Directory offsets already visited while reading one EXIF block.
    uint32_t m_visited[64];
    int m_visitedCount;
};
