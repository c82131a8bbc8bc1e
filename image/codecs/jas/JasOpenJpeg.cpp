// JP2 files and JPEG-2000 code streams through OpenJPEG, over a user stream
// bound to the library's byte stream.
#include <openjpeg.h>

#include <cstring>

#include "image/PxFile.h"
#include "image/codecs/jas/JasImage.h"

namespace jas {
namespace {

struct StreamBinding {
    PxFile* file;
    long base;  // OpenJPEG's offset 0
};

OPJ_SIZE_T ReadCallback(void* buffer, OPJ_SIZE_T bytes, void* user) {
    StreamBinding* b = static_cast<StreamBinding*>(user);
    size_t got = b->file->Read(buffer, 1, bytes);
    return got ? got : static_cast<OPJ_SIZE_T>(-1);
}

OPJ_SIZE_T WriteCallback(void* buffer, OPJ_SIZE_T bytes, void* user) {
    StreamBinding* b = static_cast<StreamBinding*>(user);
    size_t put = b->file->Write(buffer, 1, bytes);
    return put == bytes ? put : static_cast<OPJ_SIZE_T>(-1);
}

OPJ_OFF_T SkipCallback(OPJ_OFF_T bytes, void* user) {
    StreamBinding* b = static_cast<StreamBinding*>(user);
    if (bytes > 0x7FFFFFFF || bytes < -0x7FFFFFFF) return -1;
    return b->file->Seek(static_cast<long>(bytes), SEEK_CUR) ? bytes : -1;
}

OPJ_BOOL SeekCallback(OPJ_OFF_T position, void* user) {
    StreamBinding* b = static_cast<StreamBinding*>(user);
    if (position < 0 || position > 0x7FFFFFFF - b->base) return OPJ_FALSE;
    return b->file->Seek(b->base + static_cast<long>(position), SEEK_SET) ? OPJ_TRUE : OPJ_FALSE;
}

// OpenJPEG's messages are not shown; failures come back as results.
void Quiet(const char*, void*) {}

void Silence(opj_codec_t* codec) {
    opj_set_info_handler(codec, Quiet, nullptr);
    opj_set_warning_handler(codec, Quiet, nullptr);
    opj_set_error_handler(codec, Quiet, nullptr);
}

opj_stream_t* MakeStream(StreamBinding* binding, bool input) {
    opj_stream_t* stream = opj_stream_create(64 * 1024, input ? OPJ_TRUE : OPJ_FALSE);
    if (!stream) return nullptr;
    opj_stream_set_user_data(stream, binding, nullptr);
    if (input) {
        long size = binding->file->Size();
        opj_stream_set_user_data_length(stream, size > binding->base ? static_cast<OPJ_UINT64>(size - binding->base) : 0);
        opj_stream_set_read_function(stream, ReadCallback);
    } else {
        opj_stream_set_write_function(stream, WriteCallback);
    }
    opj_stream_set_skip_function(stream, SkipCallback);
    opj_stream_set_seek_function(stream, SeekCallback);
    return stream;
}

// Frees what a read or write made, on every path.
struct Resources {
    opj_codec_t* codec = nullptr;
    opj_stream_t* stream = nullptr;
    opj_image_t* image = nullptr;
    ~Resources() {
        if (stream) opj_stream_destroy(stream);
        if (codec) opj_destroy_codec(codec);
        if (image) opj_image_destroy(image);
    }
};

}  // namespace

bool ReadOpenJpeg(PxFile* stream, bool codestream, uint64_t maxBytes, Image& image, bool* tooManyComponents) {
    if (tooManyComponents) *tooManyComponents = false;
    if (!stream) return false;
    StreamBinding binding{stream, stream->Tell()};
    Resources r;
    r.codec = opj_create_decompress(codestream ? OPJ_CODEC_J2K : OPJ_CODEC_JP2);
    if (!r.codec) return false;
    Silence(r.codec);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(r.codec, &parameters)) return false;
    r.stream = MakeStream(&binding, true);
    if (!r.stream) return false;
    if (!opj_read_header(r.stream, r.codec, &r.image) || !r.image) return false;

    // Sizes are checked before anything is decoded.
    if (r.image->numcomps == 0) return false;
    if (r.image->numcomps > kMaxComponents) {
        if (tooManyComponents) *tooManyComponents = true;
        return false;
    }
    uint64_t total = 0;
    for (OPJ_UINT32 i = 0; i < r.image->numcomps; ++i) {
        const opj_image_comp_t& c = r.image->comps[i];
        if (c.w == 0 || c.h == 0 || c.prec == 0 || c.prec > 31) return false;
        total += static_cast<uint64_t>(c.w) * c.h;
    }
    uint64_t canvas = static_cast<uint64_t>(r.image->x1 - r.image->x0) * (r.image->y1 - r.image->y0);
    if (total > maxBytes / 4 || canvas > maxBytes / 4) return false;

    if (!opj_decode(r.codec, r.stream, r.image) || !opj_end_decompress(r.codec, r.stream)) return false;

    image.components.clear();
    for (OPJ_UINT32 i = 0; i < r.image->numcomps; ++i) {
        const opj_image_comp_t& c = r.image->comps[i];
        if (!c.data) return false;
        Component out;
        out.width = c.w;
        out.height = c.h;
        out.dx = c.dx;
        out.dy = c.dy;
        out.precision = static_cast<int>(c.prec);
        out.isSigned = c.sgnd != 0;
        out.samples.assign(c.data, c.data + static_cast<size_t>(c.w) * c.h);
        image.components.push_back(std::move(out));
    }
    switch (r.image->color_space) {
        case OPJ_CLRSPC_SRGB: image.space = kRgb; break;
        case OPJ_CLRSPC_GRAY: image.space = kGray; break;
        case OPJ_CLRSPC_SYCC: image.space = kSycc; break;
        default: image.space = kUnknownSpace; break;
    }
    return true;
}

bool WriteOpenJpeg(PxFile* stream, const bool codestream, const Image& image, int quality) {
    if (!stream || image.components.empty()) return false;
    size_t count = image.components.size();
    uint32_t width = image.components[0].width, height = image.components[0].height;
    opj_image_cmptparm_t parameters[3];
    std::memset(parameters, 0, sizeof(parameters));
    for (size_t i = 0; i < count && i < 3; ++i) {
        parameters[i].dx = 1;
        parameters[i].dy = 1;
        parameters[i].w = width;
        parameters[i].h = height;
        parameters[i].prec = 8;
        parameters[i].sgnd = 0;
    }
    Resources r;
    r.image = opj_image_create(static_cast<OPJ_UINT32>(count), parameters, count == 3 ? OPJ_CLRSPC_SRGB : OPJ_CLRSPC_GRAY);
    if (!r.image) return false;
    r.image->x0 = 0;
    r.image->y0 = 0;
    r.image->x1 = width;
    r.image->y1 = height;
    for (size_t i = 0; i < count; ++i)
        std::memcpy(r.image->comps[i].data, image.components[i].samples.data(),
                    static_cast<size_t>(width) * height * sizeof(int32_t));

    opj_cparameters_t cp;
    opj_set_default_encoder_parameters(&cp);
    cp.tcp_numlayers = 1;
    cp.cp_disto_alloc = 1;
    if (quality >= 100 || quality <= 0) {
        cp.tcp_rates[0] = 0;  // lossless
        cp.irreversible = 0;
    } else {
        cp.tcp_rates[0] = 100.0f / static_cast<float>(quality);
        cp.irreversible = 1;
    }
    cp.tcp_mct = count == 3 ? 1 : 0;
    // Fewer resolution levels for small pictures than OpenJPEG's default of 6.
    uint32_t smallest = width < height ? width : height;
    int levels = 1;
    while (levels < 6 && (smallest >> levels) > 0) ++levels;
    cp.numresolution = levels;

    StreamBinding binding{stream, stream->Tell()};
    r.codec = opj_create_compress(codestream ? OPJ_CODEC_J2K : OPJ_CODEC_JP2);
    if (!r.codec) return false;
    Silence(r.codec);
    if (!opj_setup_encoder(r.codec, &cp, r.image)) return false;
    r.stream = MakeStream(&binding, false);
    if (!r.stream) return false;
    if (!opj_start_compress(r.codec, r.image, r.stream)) return false;
    if (!opj_encode(r.codec, r.stream)) return false;
    if (!opj_end_compress(r.codec, r.stream)) return false;
    return stream->Flush();
}

}  // namespace jas
