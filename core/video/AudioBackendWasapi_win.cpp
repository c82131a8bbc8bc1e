#include <windows.h>
#include <audioclient.h>
#include <avrt.h>
#include <mmdeviceapi.h>
#include <mmreg.h>
#include <objbase.h>

#include <cstring>

#include "core/video/AudioCapture.h"
#include "foundation/SystemLibrary.h"
#include "foundation/WinHandles.h"

namespace {

// avrt.dll, loaded when the first audio capture thread asks for its scheduling class.
struct MultimediaSchedulerFunctions {
    decltype(&::AvSetMmThreadCharacteristicsW) AvSetMmThreadCharacteristicsW = nullptr;
    decltype(&::AvRevertMmThreadCharacteristics) AvRevertMmThreadCharacteristics = nullptr;
};
const MultimediaSchedulerFunctions& MultimediaSchedulerLibrary() {
    static const MultimediaSchedulerFunctions& functions = LoadLibraryForProcess<MultimediaSchedulerFunctions>(
        "avrt.dll", [](auto find, MultimediaSchedulerFunctions& f) {
            find("AvSetMmThreadCharacteristicsW", f.AvSetMmThreadCharacteristicsW);
            find("AvRevertMmThreadCharacteristics", f.AvRevertMmThreadCharacteristics);
        });
    return functions;
}

// A WAVEFORMATEX (and, for an extensible one, its SubFormat) as the core describes it.
CvxWaveFormat Describe(const WAVEFORMATEX* wfx) {
    CvxWaveFormat f;
    f.formatTag = wfx->wFormatTag;
    f.channels = wfx->nChannels;
    f.samplesPerSec = wfx->nSamplesPerSec;
    f.avgBytesPerSec = wfx->nAvgBytesPerSec;
    f.blockAlign = wfx->nBlockAlign;
    f.bitsPerSample = wfx->wBitsPerSample;
    f.cbSize = wfx->cbSize;
    if (wfx->wFormatTag == WAVE_FORMAT_EXTENSIBLE && wfx->cbSize >= 22) {
        // SubFormat: {tag-0000-0010-8000-00AA00389B71} for the classic tags
        static const uint8_t kBase[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        const uint8_t* sub = reinterpret_cast<const uint8_t*>(wfx) + 24;
        uint32_t data1;
        std::memcpy(&data1, sub, 4);
        if (std::memcmp(sub + 4, kBase, sizeof kBase) == 0 && (data1 == WAVE_FORMAT_PCM || data1 == 3))
            f.subFormat = uint16_t(data1);
    }
    return f;
}

class WasapiBackend : public IAudioCaptureBackend {
public:
    ~WasapiBackend() override {
        if (m_closest) CoTaskMemFree(m_closest);
    }
    int32_t CoInit() override { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    int32_t CreateEnumerator() override {
        return CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                m_enumerator.put_void());
    }
    int32_t GetDefaultEndpoint(int dataFlow, int role) override {
        return m_enumerator->GetDefaultAudioEndpoint(EDataFlow(dataFlow), ERole(role), m_device.put());
    }
    int32_t Activate() override {
        return m_device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, m_client.put_void());
    }
    int32_t GetMixFormat(CvxWaveFormat& format) override {
        const HRESULT hr = m_client->GetMixFormat(&m_mix);
        if (SUCCEEDED(hr) && m_mix) format = Describe(m_mix);
        return hr;
    }
    int32_t IsFormatSupported(bool& hasClosest, CvxWaveFormat& closest) override {
        const HRESULT hr = m_client->IsFormatSupported(AUDCLNT_SHAREMODE_SHARED, m_mix, &m_closest);
        hasClosest = m_closest != nullptr;
        if (m_closest) closest = Describe(m_closest);
        return hr;
    }
    int32_t Initialize(uint32_t streamFlags, int64_t bufferTicks, bool useClosest) override {
        return m_client->Initialize(AUDCLNT_SHAREMODE_SHARED, streamFlags, bufferTicks, 0,
                                    useClosest && m_closest ? m_closest : m_mix, nullptr);
    }
    int32_t GetCaptureClient() override {
        return m_client->GetService(__uuidof(IAudioCaptureClient), m_capture.put_void());
    }
    int32_t GetClock() override {
        return m_client->GetService(__uuidof(IAudioClock), m_clock.put_void());
    }
    int32_t SetMmcss() override {
        const auto setCharacteristics = MultimediaSchedulerLibrary().AvSetMmThreadCharacteristicsW;
        if (!setCharacteristics) return kFunctionMissing;
        DWORD taskIndex = 0;   // must not be null
        m_mmcss = setCharacteristics(L"Audio", &taskIndex);
        if (m_mmcss) return S_OK;
        const DWORD error = GetLastError();
        return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    int32_t Start() override { return m_client->Start(); }
    int32_t GetPosition() override {
        UINT64 position = 0, qpc = 0;
        return m_clock->GetPosition(&position, &qpc);
    }
    int32_t GetBufferSize(uint32_t& frames) override {
        UINT32 n = 0;
        const HRESULT hr = m_client->GetBufferSize(&n);
        frames = n;
        return hr;
    }
    int32_t GetNextPacketSize(uint32_t& frames) override {
        UINT32 n = 0;
        const HRESULT hr = m_capture->GetNextPacketSize(&n);
        frames = n;
        return hr;
    }
    int32_t GetBuffer(const uint8_t*& data, uint32_t& frames, uint32_t& flags, uint64_t& qpcPosition) override {
        BYTE* bytes = nullptr;
        UINT32 n = 0;
        DWORD f = 0;
        UINT64 devicePosition = 0, qpc = 0;
        const HRESULT hr = m_capture->GetBuffer(&bytes, &n, &f, &devicePosition, &qpc);
        data = bytes;
        frames = n;
        flags = f;
        qpcPosition = qpc;
        return hr;
    }
    int32_t ReleaseBuffer(uint32_t frames) override { return m_capture->ReleaseBuffer(frames); }

    void Release(AudioStep step) override {
        switch (step) {
            case AudioStep::Started: m_client->Stop(); break;
            case AudioStep::Mmcss:
                if (auto revert = MultimediaSchedulerLibrary().AvRevertMmThreadCharacteristics) revert(m_mmcss);
                m_mmcss = nullptr;
                break;
            case AudioStep::Clock: m_clock.reset(); break;
            case AudioStep::CaptureClient: m_capture.reset(); break;
            case AudioStep::MixFormat:
                CoTaskMemFree(m_mix);
                m_mix = nullptr;
                if (m_closest) CoTaskMemFree(m_closest);
                m_closest = nullptr;
                break;
            case AudioStep::Client: m_client.reset(); break;
            case AudioStep::Device: m_device.reset(); break;
            case AudioStep::Enumerator: m_enumerator.reset(); break;
            case AudioStep::CoInit: CoUninitialize(); break;
        }
    }

private:
    // Each is released by its step, in the order the capture chose (Release above).
    ComPtr<IMMDeviceEnumerator> m_enumerator;
    ComPtr<IMMDevice> m_device;
    ComPtr<IAudioClient> m_client;
    ComPtr<IAudioCaptureClient> m_capture;
    ComPtr<IAudioClock> m_clock;
    WAVEFORMATEX* m_mix = nullptr;
    WAVEFORMATEX* m_closest = nullptr;
    HANDLE m_mmcss = nullptr;
};

}  // namespace

AudioBackendFactory DefaultAudioBackendFactory() {
    return [] { return std::unique_ptr<IAudioCaptureBackend>(new WasapiBackend()); };
}
