#include "core/video/DXGIScreenCapture.h"

#include <windows.h>
#include <d3d11.h>
#include <dxgi1_2.h>

#include "core/CvxException.h"
#include "core/Direct3DLibraries.h"
#include "core/QpcTime.h"
#include "core/video/DX9Cursor.h"
#include "core/video/DXGIException.h"
#include "core/video/DxgiFrameReader.h"
#include "foundation/Log.h"
#include "foundation/WinHandles.h"

namespace {

[[noreturn]] void Fail(const char* what) {
    throw CvxException(std::string("DXGIScreenCapture constr: Failed to ") + what);
}

// The D3D11 device, the duplication and the three textures as the frame reader sees
// them. Holds the frame's resource between AcquireNextFrame and TakeFrame.
class Duplication : public IDesktopDuplication {
public:
    Duplication(ID3D11DeviceContext* context, IDXGIOutputDuplication* duplication,
                ComPtr<ID3D11Texture2D>& acquiredImage, ID3D11Texture2D* gdiImage,
                ID3D11Texture2D* destImage, DX9Cursor& cursor)
        : m_context(context), m_duplication(duplication), m_acquiredImage(acquiredImage),
          m_gdiImage(gdiImage), m_destImage(destImage), m_cursor(cursor) {}

    int32_t AcquireNextFrame(unsigned timeoutMs) override {
        DXGI_OUTDUPL_FRAME_INFO info{};
        m_resource.reset();
        return m_duplication->AcquireNextFrame(timeoutMs, &info, m_resource.put());
    }
    void ReleaseFrame() override {
        m_resource.reset();
        m_duplication->ReleaseFrame();
    }
    void TakeFrame() override {
        m_acquiredImage.reset();
        HRESULT hr = m_resource ? m_resource->QueryInterface(__uuidof(ID3D11Texture2D),
                                                             m_acquiredImage.put_void())
                                : E_POINTER;
        m_resource.reset();
        if (FAILED(hr)) throw core::video::DXGIException(L"lDesktopResource->QueryInterface", hr);
        if (!m_acquiredImage) throw CvxException(std::string("lAcquiredDesktopImage == nullptr"));
        m_context->CopyResource(m_gdiImage, m_acquiredImage.get());
    }
    void DrawMonochromeCursor(int x, int y) override {
        ComPtr<IDXGISurface1> surface;
        HRESULT hr = m_gdiImage->QueryInterface(__uuidof(IDXGISurface1), surface.put_void());
        if (FAILED(hr)) throw core::video::DXGIException(L"lGDIImage->QueryInterface", hr);
        HDC dc = nullptr;
        if (SUCCEEDED(surface->GetDC(FALSE, &dc))) {
            m_cursor.DrawOnDc(dc, x, y);
            surface->ReleaseDC(nullptr);
        }
    }
    int32_t Map(uint8_t*& bits, int& pitch) override {
        m_context->CopyResource(m_destImage, m_gdiImage);
        D3D11_MAPPED_SUBRESOURCE mapped{};
        HRESULT hr = m_context->Map(m_destImage, 0, D3D11_MAP_READ_WRITE, 0, &mapped);
        if (SUCCEEDED(hr)) {
            bits = static_cast<uint8_t*>(mapped.pData);
            pitch = static_cast<int>(mapped.RowPitch);
        }
        return hr;
    }
    void Unmap() override { m_context->Unmap(m_destImage, 0); }
    void Sleep(unsigned ms) override { ::Sleep(ms); }

private:
    ID3D11DeviceContext* m_context;
    IDXGIOutputDuplication* m_duplication;
    ComPtr<ID3D11Texture2D>& m_acquiredImage;
    ID3D11Texture2D* m_gdiImage;
    ID3D11Texture2D* m_destImage;
    DX9Cursor& m_cursor;
    ComPtr<IDXGIResource> m_resource;
};

}  // namespace

struct DXGIScreenCapture::Impl {
    // Declared so that they are released destImage, gdiImage, acquiredImage, duplication,
    // context, device.
    ComPtr<ID3D11Device> device;
    ComPtr<ID3D11DeviceContext> context;
    ComPtr<IDXGIOutputDuplication> duplication;
    ComPtr<ID3D11Texture2D> acquiredImage;
    ComPtr<ID3D11Texture2D> gdiImage;
    ComPtr<ID3D11Texture2D> destImage;
    DXGI_OUTPUT_DESC outputDesc{};
    DXGI_OUTDUPL_DESC duplicationDesc{};
    DX9Cursor cursor;
    std::unique_ptr<Duplication> adapter;
    std::unique_ptr<DxgiFrameReader> reader;

    ~Impl() {
        reader.reset();
        adapter.reset();
        destImage.reset();
        gdiImage.reset();
        acquiredImage.reset();
        duplication.reset();
        context.reset();
        device.reset();
    }
};

DXGIScreenCapture::DXGIScreenCapture(bool captureCursor, const CvxRect& area)
    : m_impl(std::make_unique<Impl>()) {
    Impl& d = *m_impl;
    const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_1,
                                        D3D_FEATURE_LEVEL_10_0, D3D_FEATURE_LEVEL_9_1};
    D3D_FEATURE_LEVEL level{};
    const auto createDevice = Direct3D11Library().D3D11CreateDevice;
    if (!createDevice) Fail("D3D11CreateDevice");
    HRESULT hr = createDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, levels,
                              UINT(sizeof levels / sizeof levels[0]), D3D11_SDK_VERSION, d.device.put(),
                              &level, d.context.put());
    if (FAILED(hr)) Fail("D3D11CreateDevice");
    if (!d.device) Fail("lDevice == nullptr");

    {
        ComPtr<IDXGIDevice> dxgiDevice;
        if (FAILED(d.device->QueryInterface(__uuidof(IDXGIDevice), dxgiDevice.put_void())))
            Fail("Get DXGI device");
        ComPtr<IDXGIAdapter> adapter;
        if (FAILED(dxgiDevice->GetParent(__uuidof(IDXGIAdapter), adapter.put_void())))
            Fail("Get DXGI adapter");
        dxgiDevice.reset();
        ComPtr<IDXGIOutput> output;
        if (FAILED(adapter->EnumOutputs(0, output.put()))) Fail("Get output");
        adapter.reset();
        if (FAILED(output->GetDesc(&d.outputDesc))) Fail("Get output desc.");
        ComPtr<IDXGIOutput1> output1;
        if (FAILED(output->QueryInterface(__uuidof(IDXGIOutput1), output1.put_void())))
            Fail("QI for Output 1");
        output.reset();
        if (FAILED(output1->DuplicateOutput(d.device.get(), d.duplication.put())))
            Fail("Create desktop duplication");
    }

    d.duplication->GetDesc(&d.duplicationDesc);
    const UINT width = d.duplicationDesc.ModeDesc.Width;
    const UINT height = d.duplicationDesc.ModeDesc.Height;
    Log("DXGIScreenCapture resolution: %d, %d\n", int(width), int(height));

    D3D11_TEXTURE2D_DESC desc{};
    desc.Width = width;
    desc.Height = height;
    desc.Format = d.duplicationDesc.ModeDesc.Format;
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.SampleDesc.Count = 1;
    desc.SampleDesc.Quality = 0;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_RENDER_TARGET;
    desc.CPUAccessFlags = 0;
    desc.MiscFlags = D3D11_RESOURCE_MISC_GDI_COMPATIBLE;
    hr = d.device->CreateTexture2D(&desc, nullptr, d.gdiImage.put());
    if (FAILED(hr)) throw CvxException(static_cast<long>(hr));
    if (!d.gdiImage) Fail("lGDIImage == nullptr");

    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ | D3D11_CPU_ACCESS_WRITE;
    desc.MiscFlags = 0;
    if (FAILED(d.device->CreateTexture2D(&desc, nullptr, d.destImage.put())))
        Fail("CreateTexture2D lDestImage");
    if (!d.destImage) Fail("lDestImage == nullptr");

    d.adapter = std::make_unique<Duplication>(d.context.get(), d.duplication.get(), d.acquiredImage,
                                              d.gdiImage.get(), d.destImage.get(), d.cursor);
    d.reader = std::make_unique<DxgiFrameReader>(*d.adapter, d.cursor, CvxGetQpcTime, int(width),
                                                 int(height), area, captureCursor);
    Log("DXGIScreenCapture constr done OK\n");
}

DXGIScreenCapture::~DXGIScreenCapture() = default;

std::vector<uint8_t>& DXGIScreenCapture::Read(std::vector<uint8_t>& buffer, uint64_t& time) {
    return m_impl->reader->Read(buffer, time);
}
