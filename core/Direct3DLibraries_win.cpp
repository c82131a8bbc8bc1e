#include "core/Direct3DLibraries.h"

#include "foundation/SystemLibrary.h"

const Direct3D9Functions& Direct3D9Library() {
    static const Direct3D9Functions& functions =
        LoadLibraryForProcess<Direct3D9Functions>("d3d9.dll", [](auto find, Direct3D9Functions& f) {
            find("Direct3DCreate9", f.Direct3DCreate9);
        });
    return functions;
}

const Direct3D11Functions& Direct3D11Library() {
    static const Direct3D11Functions& functions =
        LoadLibraryForProcess<Direct3D11Functions>("d3d11.dll", [](auto find, Direct3D11Functions& f) {
            find("D3D11CreateDevice", f.D3D11CreateDevice);
        });
    return functions;
}
