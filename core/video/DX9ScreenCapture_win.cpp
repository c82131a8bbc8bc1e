#include "core/video/DX9ScreenCapture.h"

#include <windows.h>
#include <d3d9.h>

#include "core/Cvx.h"
#include "core/CvxException.h"
#include "core/video/DX9Cursor.h"
#include "core/video/Dx9FrameReader.h"
#include "foundation/WinHandles.h"

namespace {

void Check(HRESULT hr) {
    if (FAILED(hr)) throw CvxException(static_cast<long>(hr));
}

// The device and its off-screen surface as the frame reader sees them.
class DeviceSurface : public IFrontBufferSurface {
public:
    DeviceSurface(IDirect3DDevice9* device, IDirect3DSurface9* surface, DX9Cursor& cursor)
        : m_device(device), m_surface(surface), m_cursor(cursor) {}

    bool CopyFrontBuffer() override { return SUCCEEDED(m_device->GetFrontBufferData(0, m_surface)); }
    bool DrawMonochromeCursor(int x, int y) override {
        HDC dc = nullptr;
        if (FAILED(m_surface->GetDC(&dc))) return false;
        bool drawn = m_cursor.DrawOnDc(dc, x, y);
        m_surface->ReleaseDC(dc);
        return drawn;
    }
    bool Lock(uint8_t*& bits, int& pitch) override {
        D3DLOCKED_RECT locked{};
        if (FAILED(m_surface->LockRect(&locked, nullptr, 0))) return false;
        bits = static_cast<uint8_t*>(locked.pBits);
        pitch = locked.Pitch;
        return true;
    }
    void Unlock() override { m_surface->UnlockRect(); }

private:
    IDirect3DDevice9* m_device;
    IDirect3DSurface9* m_surface;
    DX9Cursor& m_cursor;
};

}  // namespace

struct DX9ScreenCapture::Impl {
    // Released in reverse order: surface, then device.
    ComPtr<IDirect3DDevice9> device;
    ComPtr<IDirect3DSurface9> surface;
    D3DPRESENT_PARAMETERS presentParams{};
    D3DDISPLAYMODE displayMode{};
    UINT adapter = D3DADAPTER_DEFAULT;
    DX9Cursor cursor;
    std::unique_ptr<DeviceSurface> deviceSurface;
    std::unique_ptr<Dx9FrameReader> reader;

    ~Impl() {
        reader.reset();
        deviceSurface.reset();
        surface.reset();
        device.reset();
    }
};

DX9ScreenCapture::DX9ScreenCapture(bool captureCursor, const CvxRect& area)
    : m_impl(std::make_unique<Impl>()) {
    Impl& d = *m_impl;
    IDirect3D9* direct3d = CvxGetDirect3D9();
    if (!direct3d) throw CvxException(std::string("DX9ScreenCapture: no Direct3D 9 object"));
    Check(direct3d->GetAdapterDisplayMode(d.adapter, &d.displayMode));
    const int width = static_cast<int>(d.displayMode.Width);
    const int height = static_cast<int>(d.displayMode.Height);

    d.presentParams.BackBufferWidth = d.displayMode.Width;
    d.presentParams.BackBufferHeight = d.displayMode.Height;
    d.presentParams.BackBufferCount = 1;
    d.presentParams.BackBufferFormat = D3DFMT_UNKNOWN;
    d.presentParams.SwapEffect = D3DSWAPEFFECT_DISCARD;
    d.presentParams.hDeviceWindow = nullptr;
    d.presentParams.Windowed = TRUE;
    Check(direct3d->CreateDevice(d.adapter, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                 &d.presentParams, d.device.put()));
    Check(d.device->CreateOffscreenPlainSurface(d.displayMode.Width, d.displayMode.Height,
                                                D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, d.surface.put(),
                                                nullptr));
    // Prove once that the surface can be locked.
    D3DLOCKED_RECT locked{};
    Check(d.surface->LockRect(&locked, nullptr, 0));
    d.surface->UnlockRect();

    d.deviceSurface = std::make_unique<DeviceSurface>(d.device.get(), d.surface.get(), d.cursor);
    d.reader = std::make_unique<Dx9FrameReader>(*d.deviceSurface, d.cursor, CvxGetQpcTime, width,
                                                height, area, captureCursor);
}

DX9ScreenCapture::~DX9ScreenCapture() = default;

std::vector<uint8_t>& DX9ScreenCapture::Read(std::vector<uint8_t>& buffer, uint64_t& time) {
    return m_impl->reader->Read(buffer, time);
}
