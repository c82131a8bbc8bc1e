#pragma once
#include <cstdint>
#include <string>

// DXGI status codes the core tells apart. The values are the platform's (winerror.h);
// kept here so that portable code and tests can name them without <windows.h>.
constexpr int32_t kDxgiErrorInvalidCall = int32_t(0x887A0001u);
constexpr int32_t kDxgiErrorAccessLost = int32_t(0x887A0026u);
constexpr int32_t kDxgiErrorWaitTimeout = int32_t(0x887A0027u);

// The published name of a DXGI error code ("DXGI_ERROR_WAIT_TIMEOUT"), or
// "DXGI Unknown error hr=<signed decimal>" for any other value.
std::wstring GetDXGIErrorName(int32_t hr);
