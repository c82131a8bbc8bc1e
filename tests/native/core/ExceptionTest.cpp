#include <gtest/gtest.h>

#include "core/CvxException.h"
#include "core/DXGIErrorName.h"
#include "core/video/DXGIException.h"
#include "LogCapture.h"

namespace {

TEST(DXGIErrorName, NamesAndUnknownCodes) {
    struct Case {
        uint32_t hr;
        std::wstring name;
    };
    const Case kCases[] = {
        {0x887A0001u, L"DXGI_ERROR_INVALID_CALL"},
        {0x887A0005u, L"DXGI_ERROR_DEVICE_REMOVED"},
        {0x887A000Au, L"DXGI_ERROR_WAS_STILL_DRAWING"},
        {0x887A000Cu, L"DXGI_ERROR_GRAPHICS_VIDPN_SOURCE_IN_USE"},
        {0x887A0020u, L"DXGI_ERROR_DRIVER_INTERNAL_ERROR"},
        {0x887A0026u, L"DXGI_ERROR_ACCESS_LOST"},
        {0x887A0027u, L"DXGI_ERROR_WAIT_TIMEOUT"},
        {0x887A002Du, L"DXGI_ERROR_SDK_COMPONENT_MISSING"},
        {0x80004005u, L"DXGI Unknown error hr=-2147467259"},
        {0x887A0023u, L"DXGI Unknown error hr=-2005270493"},  // not one of the 21
        {0u, L"DXGI Unknown error hr=0"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.hr);
        EXPECT_EQ(GetDXGIErrorName(int32_t(c.hr)), c.name);
    }
}

TEST(CvxException, MessageIsLoggedAsPlainTextOnce) {
    LogCapture log;
    CvxException narrow(std::string("50% done %s %n"));
    CvxException wide(std::wstring(L"caf\u00e9"));
    core::video::DXGIAccessLostException lost;
    EXPECT_STREQ(narrow.what(), "50% done %s %n");
    EXPECT_STREQ(wide.what(), "caf\xc3\xa9");
    EXPECT_STREQ(lost.what(), "DXGIException: Failed AcquireNextFrame: DXGI_ERROR_ACCESS_LOST");
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"50% done %s %n", "caf\xc3\xa9",
                                                     "DXGIException: Failed AcquireNextFrame: "
                                                     "DXGI_ERROR_ACCESS_LOST"}));
    // The family is caught through its bases.
    try {
        throw core::video::DXGIInvalidCallException();
    } catch (const CvxException& e) {
        EXPECT_STREQ(e.what(), "DXGIException: Failed AcquireNextFrame: DXGI_ERROR_INVALID_CALL");
    }
}

}  // namespace
