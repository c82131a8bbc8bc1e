#pragma once
// Windows only: the pieces of the screenshot flow that touch the system (the screen,
// files, the clipboard, the capture sound). UI thread unless noted.
#include <windows.h>

#include <cstdint>
#include <string>

#include "image/PxImage.h"

// The whole virtual screen as an opaque image (the capture's fourth byte is not an
// alpha channel: it is dropped, so saved pictures are never transparent). `area` gets
// the screen rectangle that the image covers. False, with the image empty, when the
// capture gave no pixels.
bool CaptureScreen(PxImage& image, bool withCursor, RECT& area);

// The foreground window's part of a screen image that covers `area`: the window's
// visible frame (the compositor's bounds when it can tell, else GetWindowRect) clipped
// to the screen. False when there is no foreground window or nothing of it is on the
// screen; `cropped` is then untouched.
bool CropToWindow(const PxImage& screen, const RECT& area, HWND window, PxImage& cropped);

// Writes the image to `path` in PxFormatPNG or PxFormatJPG (with `jpegQuality`). False
// when the file could not be written completely (nothing is left behind then).
bool WriteScreenshotImage(PxImage& image, const std::wstring& path, uint32_t formatCode, int jpegQuality);

// The folder that screenshots or recordings are saved in: true when it exists, or could
// be created with its parents.
bool EnsureSaveFolder(const std::wstring& folder);

// Puts the picture on the clipboard as CF_DIB for `owner`. False, with the clipboard
// unchanged, when it is busy or the picture cannot be copied.
bool PutImageOnClipboard(HWND owner, const PxImage& image);

// Plays the capture sound (WAVE resource 146) on a worker thread; returns at once.
// Nothing in silent mode or when the sound is switched off.
void PlayScreenshotSound();

// Names from the local time: string 130 "Screenshot %d-%m-%Y %H%M%S" and string 177
// "Video %m-%d-%Y %H%M%S".
std::wstring MakeDefaultScreenshotName();
std::wstring MakeVideoFileName();
// ".png" or ".jpg" by the image-type setting.
std::wstring GetScreenshotExtension();
// The user's temporary folder and 16 random letters and digits (no extension).
std::wstring MakeTempFilePath();
