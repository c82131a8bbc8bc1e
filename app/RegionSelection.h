#pragma once
// The shell's calls into the region editor: what it is asked, and what it answers.
#include <windows.h>

#include <functional>
#include <string>

#include "image/PxImage.h"

struct RegionEditorRequest {
    const PxImage* screen = nullptr;   // the frozen virtual screen
    std::wstring defaultName;          // offered by the editor's save dialog
    bool editorMode = false;           // start with the markup tools
    bool video = false;                // pick a recording area: no editor, no image
    std::function<void()> onShown;     // optional: once, when the editor has painted its first frame
};

struct RegionEditorOutcome {
    // IDOK, IDCANCEL, or kRegionEditorFailed when the editor could not make its result
    // (or could not be made at all).
    INT_PTR result = IDCANCEL;
    PxImage image;                     // the cropped, annotated picture (IDOK, screenshots)
    int mode = 0;                      // the editor's mode bits at the end
    int action = -1;                   // the editor's SelectRegionAction
    std::wstring savePath;             // action 2: the path chosen in the save dialog
    RECT selectedRect{};               // the selection in screen coordinates
};

constexpr INT_PTR kRegionEditorFailed = IDABORT;

// Runs CSelectRegionDlg modally for the request. Never throws.
RegionEditorOutcome RunSelectRegionDialog(const RegionEditorRequest& request);
