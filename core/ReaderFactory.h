#pragma once
#include <functional>
#include <memory>

#include "core/CvxRect.h"
#include "core/video/IScreenReader.h"

// Builds the reader of a capture mode for an area, with or without the cursor. Throws
// CvxException (or another exception) when the reader cannot be built; returns null
// for an unknown mode.
using ReaderFactory =
    std::function<std::unique_ptr<IScreenReader>(int mode, bool captureCursor, const CvxRect& area)>;

// The factory of the real readers (GDI, Direct3D 9, DXGI). Windows only.
ReaderFactory MakeReaderFactory();
