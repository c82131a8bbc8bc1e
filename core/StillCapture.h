#pragma once
#include <cstdint>
#include <vector>

#include "core/CvxRect.h"
#include "core/ReaderFactory.h"

// Builds the reader of `mode`, reads once and drops it. Never throws: a failure, an
// unknown mode or a reader that got no image gives an empty buffer.
std::vector<uint8_t>& CaptureOnceInMode(const ReaderFactory& factory, int mode, bool captureCursor,
                                        std::vector<uint8_t>& buffer, uint64_t& time,
                                        const CvxRect& area);

// A still screenshot. Ordinary desktops are read through GDI; only when a full-screen
// application that the shell reports as busy or as Direct3D is in front does the mode
// chosen at start go first, with GDI as the fall-back when it gives nothing. The
// fourth byte of every pixel of the result is 255, because it becomes the screenshot's
// alpha channel (GDI leaves it 0). An empty buffer means the screenshot failed.
std::vector<uint8_t>& CaptureStill(const ReaderFactory& factory, int currentMode,
                                   bool fullScreenAppInFront, bool captureCursor,
                                   std::vector<uint8_t>& buffer, uint64_t& time,
                                   const CvxRect& area);
