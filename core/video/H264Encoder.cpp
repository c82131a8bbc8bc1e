#include <wels/codec_api.h>

#include <cstring>

#include "core/video/Encoders.h"
#include "foundation/Log.h"

struct H264Encoder::Impl {
    ISVCEncoder* encoder = nullptr;
    SFrameBSInfo info{};
    ~Impl() {
        if (encoder) {
            encoder->Uninitialize();
            WelsDestroySVCEncoder(encoder);
        }
    }
};

H264Encoder::H264Encoder(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
H264Encoder::~H264Encoder() = default;

namespace {

// The encoder's own messages go to our log. Left to itself it prints them on stderr,
// which the program has reopened on its console: the C runtime hands a console the text
// in small pieces, and under Wine each is a round trip to the console host, so two
// warnings held up the start of a recording by more than a second.
void EncoderTrace(void*, int, const char* text) {
    if (text) Log("[cvxcore]:h264: %s\n", text);
}

}  // namespace

std::unique_ptr<H264Encoder> H264Encoder::Create(const Params& p) {
    auto impl = std::make_unique<Impl>();
    if (WelsCreateSVCEncoder(&impl->encoder) != 0 || !impl->encoder) {
        impl->encoder = nullptr;
        Log("[cvxcore]:h264: encoder not available\n");
        return nullptr;
    }
    WelsTraceCallback trace = &EncoderTrace;
    impl->encoder->SetOption(ENCODER_OPTION_TRACE_CALLBACK, &trace);
    SEncParamExt param;
    std::memset(&param, 0, sizeof param);
    impl->encoder->GetDefaultParams(&param);
    const uint32_t fps = p.fps ? p.fps : 30;
    // The camera tuning: the screen-content one adds scroll detection and a feature-based
    // motion search that more than double the encoder's time per frame, more than a
    // recording can spare beside the screen reads, for no visible gain at these bitrates.
    param.iUsageType = CAMERA_VIDEO_REAL_TIME;
    param.iPicWidth = int(p.width);
    param.iPicHeight = int(p.height);
    param.iTargetBitrate = int(p.bitrate);
    param.iMaxBitrate = UNSPECIFIED_BIT_RATE;
    param.iRCMode = RC_BITRATE_MODE;
    param.fMaxFrameRate = float(fps);
    param.bEnableFrameSkip = false;
    param.uiIntraPeriod = fps * 2;
    param.iTemporalLayerNum = 1;
    param.iSpatialLayerNum = 1;
    param.iMultipleThreadIdc = 1;
    param.eSpsPpsIdStrategy = CONSTANT_ID;
    param.bEnableSceneChangeDetect = false;
    param.bEnableBackgroundDetection = false;
    param.bEnableAdaptiveQuant = false;   // not made for screen content: the encoder would turn it off
    param.iComplexityMode = LOW_COMPLEXITY;
    SSpatialLayerConfig& layer = param.sSpatialLayers[0];
    layer.iVideoWidth = int(p.width);
    layer.iVideoHeight = int(p.height);
    layer.fFrameRate = float(fps);
    layer.iSpatialBitrate = int(p.bitrate);
    layer.iMaxSpatialBitrate = UNSPECIFIED_BIT_RATE;
    layer.sSliceArgument.uiSliceMode = SM_SINGLE_SLICE;
    if (impl->encoder->InitializeExt(&param) != 0) {
        Log("[cvxcore]:h264: encoder refused %ux%u at %u bit/s\n", p.width, p.height, p.bitrate);
        return nullptr;
    }
    int format = videoFormatI420;
    impl->encoder->SetOption(ENCODER_OPTION_DATAFORMAT, &format);
    return std::unique_ptr<H264Encoder>(new H264Encoder(std::move(impl)));
}

bool H264Encoder::Encode(const I420Picture& picture, uint64_t timeMs, Frame& out) {
    out.sample.clear();
    out.keyFrame = false;
    SSourcePicture source;
    std::memset(&source, 0, sizeof source);
    source.iColorFormat = videoFormatI420;
    source.iPicWidth = int(picture.width);
    source.iPicHeight = int(picture.height);
    source.iStride[0] = int(picture.width);
    source.iStride[1] = source.iStride[2] = int(picture.width / 2);
    source.pData[0] = const_cast<uint8_t*>(picture.y.data());
    source.pData[1] = const_cast<uint8_t*>(picture.u.data());
    source.pData[2] = const_cast<uint8_t*>(picture.v.data());
    source.uiTimeStamp = (long long)timeMs;
    SFrameBSInfo& info = m_impl->info;
    std::memset(&info, 0, sizeof info);
    if (m_impl->encoder->EncodeFrame(&source, &info) != cmResultSuccess) return false;
    if (info.eFrameType == videoFrameTypeSkip || info.eFrameType == videoFrameTypeInvalid) return true;
    out.keyFrame = info.eFrameType == videoFrameTypeIDR;
    for (int l = 0; l < info.iLayerNum; ++l) {
        const SLayerBSInfo& layer = info.sLayerInfo[l];
        const uint8_t* p = layer.pBsBuf;
        for (int n = 0; n < layer.iNalCount; ++n) {
            const int length = layer.pNalLengthInByte[n];
            // Annex B start code (3 or 4 bytes) to a 4-byte length
            int skip = 0;
            if (length >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 1) skip = 4;
            else if (length >= 3 && p[0] == 0 && p[1] == 0 && p[2] == 1) skip = 3;
            const uint8_t* nal = p + skip;
            const uint32_t size = uint32_t(length - skip);
            p += length;
            if (size == 0) continue;
            const int type = nal[0] & 0x1F;
            if (type == 7 || type == 8) {
                std::vector<uint8_t>& set = type == 7 ? m_sps : m_pps;
                if (set.empty()) set.assign(nal, nal + size);
                continue;
            }
            const uint8_t prefix[4] = {uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size)};
            out.sample.insert(out.sample.end(), prefix, prefix + 4);
            out.sample.insert(out.sample.end(), nal, nal + size);
        }
    }
    return true;
}
