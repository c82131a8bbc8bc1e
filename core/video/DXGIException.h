#pragma once
#include <cstdint>
#include <string>

#include "core/CvxException.h"

namespace core::video {

// A failed DXGI call of the desktop-duplication reader: "DXGIException: Failed <call>:
// <error name>".
struct DXGIException : public CvxException {
    DXGIException(const std::wstring& call, int32_t hr);
};

// AcquireNextFrame reported DXGI_ERROR_ACCESS_LOST (mode change, secure desktop...).
struct DXGIAccessLostException : public DXGIException {
    DXGIAccessLostException();
};

// AcquireNextFrame reported DXGI_ERROR_INVALID_CALL.
struct DXGIInvalidCallException : public DXGIException {
    DXGIInvalidCallException();
};

}  // namespace core::video
