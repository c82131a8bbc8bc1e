#include "core/video/DXGIException.h"

#include "core/DXGIErrorName.h"
#include "foundation/Format.h"

namespace core::video {

DXGIException::DXGIException(const std::wstring& call, int32_t hr)
    : CvxException(Format(L"DXGIException: Failed {}: {}").Arg(call).Arg(GetDXGIErrorName(hr)).Str()) {}

DXGIAccessLostException::DXGIAccessLostException()
    : DXGIException(L"AcquireNextFrame", kDxgiErrorAccessLost) {}

DXGIInvalidCallException::DXGIInvalidCallException()
    : DXGIException(L"AcquireNextFrame", kDxgiErrorInvalidCall) {}

}  // namespace core::video

