#include <vo-aacenc/cmnMemory.h>
#include <vo-aacenc/voAAC.h>

#include <cstring>

#include "core/video/Encoders.h"
#include "foundation/Log.h"

struct AacEncoder::Impl {
    VO_AUDIO_CODECAPI api{};
    VO_MEM_OPERATOR memory{};
    VO_HANDLE handle = nullptr;
    uint32_t sampleRate = 48000, channels = 2;
    std::vector<uint8_t> output;
    ~Impl() {
        if (handle) api.Uninit(handle);
    }
};

AacEncoder::AacEncoder(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
AacEncoder::~AacEncoder() = default;

std::unique_ptr<AacEncoder> AacEncoder::Create(uint32_t sampleRate, uint32_t channels, uint32_t bitrate) {
    auto impl = std::make_unique<Impl>();
    impl->sampleRate = sampleRate;
    impl->channels = channels;
    voGetAACEncAPI(&impl->api);
    impl->memory.Alloc = cmnMemAlloc;
    impl->memory.Copy = cmnMemCopy;
    impl->memory.Free = cmnMemFree;
    impl->memory.Set = cmnMemSet;
    impl->memory.Check = cmnMemCheck;
    VO_CODEC_INIT_USERDATA user{};
    user.memflag = VO_IMF_USERMEMOPERATOR;
    user.memData = &impl->memory;
    if (impl->api.Init(&impl->handle, VO_AUDIO_CodingAAC, &user) != VO_ERR_NONE) {
        impl->handle = nullptr;
        Log("[cvxcore]:aac: encoder not available\n");
        return nullptr;
    }
    AACENC_PARAM param{};
    param.sampleRate = int(sampleRate);
    param.bitRate = int(bitrate);
    param.nChannels = short(channels);
    param.adtsUsed = 0;
    if (impl->api.SetParam(impl->handle, VO_PID_AAC_ENCPARAM, &param) != VO_ERR_NONE) {
        Log("[cvxcore]:aac: encoder refused %u Hz, %u channels\n", sampleRate, channels);
        return nullptr;
    }
    impl->output.resize(8192);
    return std::unique_ptr<AacEncoder>(new AacEncoder(std::move(impl)));
}

bool AacEncoder::Encode(const int16_t* pcm, std::vector<uint8_t>& out) {
    VO_CODECBUFFER input{};
    input.Buffer = reinterpret_cast<VO_PBYTE>(const_cast<int16_t*>(pcm));
    input.Length = kFrameSamples * m_impl->channels * 2;
    if (m_impl->api.SetInputData(m_impl->handle, &input) != VO_ERR_NONE) return false;
    VO_CODECBUFFER output{};
    output.Buffer = m_impl->output.data();
    output.Length = VO_U32(m_impl->output.size());
    VO_AUDIO_OUTPUTINFO info{};
    if (m_impl->api.GetOutputData(m_impl->handle, &output, &info) != VO_ERR_NONE) return false;
    out.assign(output.Buffer, output.Buffer + output.Length);
    return true;
}

std::vector<uint8_t> AacEncoder::SpecificConfig() const {
    static const uint32_t kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};
    uint32_t index = 3;
    for (uint32_t i = 0; i < 12; ++i)
        if (kRates[i] == m_impl->sampleRate) index = i;
    // object type 2 (AAC LC), 4 bits of rate index, 4 bits of channels, 3 zero bits
    const uint16_t bits = uint16_t(2 << 11 | index << 7 | m_impl->channels << 3);
    return {uint8_t(bits >> 8), uint8_t(bits)};
}
