#pragma once
#include <memory>

#include "core/video/MediaFileWriter.h"

struct IMFSinkWriter;

// The Media Foundation back end over a sink writer (owned: one reference is taken over).
// Tests hand it a sink writer of their own.
std::unique_ptr<IMediaFileWriter> CreateMfMediaWriter(IMFSinkWriter* writer);
// A sink writer for an MP4 file; null with the HRESULT when the system cannot make one.
std::unique_ptr<IMediaFileWriter> CreateMfMediaWriter(const std::wstring& path, int32_t& hr);
