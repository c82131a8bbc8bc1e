#include <gtest/gtest.h>

#include <thread>

#include "foundation/WinHandles.h"

namespace {

bool HandleOpen(HANDLE h) {
    DWORD flags = 0;
    return GetHandleInformation(h, &flags) != FALSE;
}

// The object lives while its owner does, survives a move, and is gone after the last owner.
template <typename T>
void ExpectDeletedOnceByLastOwner(T object, DWORD type) {
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(GetObjectType(object), type);
    GdiObject<T> last;
    {
        GdiObject<T> first(object);
        EXPECT_TRUE(first);
        last = std::move(first);
        EXPECT_FALSE(first);
    }
    EXPECT_EQ(GetObjectType(object), type);
    last.reset();
    EXPECT_EQ(GetObjectType(object), 0u);
}

TEST(WinHandles, EachKindOfGdiObjectIsDeletedByItsLastOwner) {
    LOGFONTW font = {};
    font.lfHeight = -12;
    lstrcpyW(font.lfFaceName, L"Tahoma");
    {
        SCOPED_TRACE("bitmap");
        ExpectDeletedOnceByLastOwner(CreateBitmap(4, 4, 1, 32, nullptr), static_cast<DWORD>(OBJ_BITMAP));
    }
    {
        SCOPED_TRACE("font");
        ExpectDeletedOnceByLastOwner(CreateFontIndirectW(&font), static_cast<DWORD>(OBJ_FONT));
    }
    {
        SCOPED_TRACE("brush");
        ExpectDeletedOnceByLastOwner(CreateSolidBrush(RGB(1, 2, 3)), static_cast<DWORD>(OBJ_BRUSH));
    }
    {
        SCOPED_TRACE("pen");
        ExpectDeletedOnceByLastOwner(CreatePen(PS_SOLID, 1, RGB(1, 2, 3)), static_cast<DWORD>(OBJ_PEN));
    }
    {
        SCOPED_TRACE("region");
        ExpectDeletedOnceByLastOwner(CreateRectRgn(0, 0, 5, 5), static_cast<DWORD>(OBJ_REGION));
    }
}

TEST(WinHandles, ReleasedGdiObjectIsLeftToTheCaller) {
    HBRUSH brush = CreateSolidBrush(RGB(9, 9, 9));
    { UniqueBrush owner(brush); EXPECT_EQ(owner.release(), brush); }
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_TRUE(DeleteObject(brush));
}

TEST(WinHandles, SelectScopePutsBackTheFirstPreviousObject) {
    UniqueDC dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_BITMAP);
    UniqueBitmap one(CreateBitmap(2, 2, 1, 1, nullptr));
    UniqueBitmap two(CreateBitmap(3, 3, 1, 1, nullptr));
    {
        SelectScope select(dc.get(), one.get());
        EXPECT_EQ(select.get(), original);
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), one.get());
        select.Select(two.get());
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), two.get());
        SelectScope moved(std::move(select));
        EXPECT_FALSE(select);
    }
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), original);
}

TEST(WinHandles, ObjectDeclaredBeforeItsSelectScopeIsDeselectedThenDeleted) {
    UniqueDC dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc);
    HPEN raw = CreatePen(PS_SOLID, 3, RGB(200, 0, 0));
    {
        UniquePen pen(raw);
        SelectScope select(dc.get(), pen.get());
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_PEN), raw);
    }
    EXPECT_NE(GetCurrentObject(dc.get(), OBJ_PEN), raw);
    EXPECT_EQ(GetObjectType(raw), 0u);
}

TEST(WinHandles, MemoryDCIsDeleted) {
    HDC raw = CreateCompatibleDC(nullptr);
    ASSERT_EQ(GetObjectType(raw), static_cast<DWORD>(OBJ_MEMDC));
    { UniqueDC dc(raw); }
    EXPECT_EQ(GetObjectType(raw), 0u);
}

TEST(WinHandles, KernelHandleIsClosedOnceAndNeverByAMovedFromOwner) {
    HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(HandleOpen(first));
    UniqueHandle movedFrom(first);
    {
        UniqueHandle owner(std::move(movedFrom));
        EXPECT_FALSE(movedFrom);
    }
    EXPECT_FALSE(HandleOpen(first));
    // A new handle may get the old value; the moved-from owner must not close it.
    UniqueHandle second(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    movedFrom.reset();
    EXPECT_TRUE(HandleOpen(second.get()));

    UniqueHandle invalid(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(invalid);
    UniqueHandle null(nullptr);
    EXPECT_FALSE(null);
}

TEST(WinHandles, FindAndRegistryHandlesAreClosed) {
    wchar_t windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    WIN32_FIND_DATAW data;
    HANDLE rawFind;
    {
        UniqueFind find(FindFirstFileW((std::wstring(windows) + L"\\*").c_str(), &data));
        ASSERT_TRUE(find);
        rawFind = find.get();
        EXPECT_TRUE(FindNextFileW(rawFind, &data));
    }
    EXPECT_FALSE(FindNextFileW(rawFind, &data));
    EXPECT_FALSE(UniqueFind());

    HKEY rawKey;
    {
        UniqueRegKey key;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, key.put()), ERROR_SUCCESS);
        rawKey = key.get();
        EXPECT_EQ(RegQueryInfoKeyW(rawKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    }
    EXPECT_NE(RegQueryInfoKeyW(rawKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr), ERROR_SUCCESS);
}

TEST(WinHandles, IconCopyIsDestroyed) {
    HICON raw = CopyIcon(LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION)));
    ASSERT_NE(raw, nullptr);
    ICONINFO info{};
    {
        UniqueIcon icon(raw);
        ASSERT_TRUE(GetIconInfo(icon.get(), &info));
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    EXPECT_FALSE(GetIconInfo(raw, &info));
}

// The view goes before the mapping (declared first) is closed; both are gone after.
TEST(WinHandles, MapViewIsUnmappedBeforeItsMappingCloses) {
    void* address = nullptr;
    HANDLE rawMapping = nullptr;
    {
        UniqueHandle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr));
        ASSERT_TRUE(mapping);
        rawMapping = mapping.get();
        UniqueMapView view(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, 4096));
        ASSERT_TRUE(view);
        address = view.get();
        static_cast<char*>(address)[0] = 'x';
    }
    MEMORY_BASIC_INFORMATION memory{};
    ASSERT_NE(VirtualQuery(address, &memory, sizeof memory), 0u);
    EXPECT_EQ(memory.State, static_cast<DWORD>(MEM_FREE));
    EXPECT_FALSE(HandleOpen(rawMapping));
}

// Counts its references like a COM object.
struct FakeUnknown {
    ULONG refs = 1;
    ULONG AddRef() { return ++refs; }
    ULONG Release() { return --refs; }
};

TEST(WinHandles, ComPtrReleasesOnceWhereverTheReferenceMoves) {
    FakeUnknown a, b;
    {
        ComPtr<FakeUnknown> first(&a);
        ComPtr<FakeUnknown> second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second->refs, 1u);
        ComPtr<FakeUnknown> third(&b);
        third = std::move(second);   // b's reference goes now
        EXPECT_EQ(b.refs, 0u);
        EXPECT_EQ(a.refs, 1u);
        third.reset(&a);             // the same pointer: kept, not released
        EXPECT_EQ(a.refs, 1u);
    }
    EXPECT_EQ(a.refs, 0u);

    FakeUnknown c;
    FakeUnknown* out = nullptr;
    {
        ComPtr<FakeUnknown> holder;
        *holder.put() = &c;
        out = holder.release();
    }
    EXPECT_EQ(out, &c);
    EXPECT_EQ(c.refs, 1u);
}

// Whether COM is up on this thread, asked without changing that.
bool ComUpOnThisThread() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr == S_FALSE;
}

TEST(WinHandles, ComInitUninitializesOnlyWhatItInitialized) {
    // A thread of its own, so the test runner's thread keeps its COM state.
    std::thread([] {
        EXPECT_FALSE(ComUpOnThisThread());
        {
            ComInit apartment(COINIT_APARTMENTTHREADED);
            EXPECT_EQ(apartment.get(), S_OK);
            EXPECT_TRUE(apartment);
            {
                ComInit again(COINIT_APARTMENTTHREADED);
                EXPECT_EQ(again.get(), S_FALSE);
                EXPECT_TRUE(again);
            }
            EXPECT_TRUE(ComUpOnThisThread());
            {
                ComInit otherModel(COINIT_MULTITHREADED);
                EXPECT_EQ(otherModel.get(), RPC_E_CHANGED_MODE);
                EXPECT_FALSE(otherModel);
            }
            EXPECT_TRUE(ComUpOnThisThread());
            ComInit moved(std::move(apartment));
        }
        EXPECT_FALSE(ComUpOnThisThread());
    }).join();
}

}  // namespace
