#pragma once
// Windows only: Direct3D 9 and Direct3D 11 (with DXGI behind it), loaded when a capture
// mode first needs them rather than imported, so that a start that only hands its command
// line to the running program never maps them. Loaded on the first call (thread-safe) and
// kept for the process; a null entry is a missing library or function (logged once).
#include <windows.h>
#include <d3d11.h>
#include <d3d9.h>

struct Direct3D9Functions {
    decltype(&::Direct3DCreate9) Direct3DCreate9 = nullptr;
};
const Direct3D9Functions& Direct3D9Library();

struct Direct3D11Functions {
    decltype(&::D3D11CreateDevice) D3D11CreateDevice = nullptr;
};
const Direct3D11Functions& Direct3D11Library();
