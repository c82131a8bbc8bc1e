#pragma once
#include "app/CommandLine.h"
#include "foundation/QuietPeriod.h"

// The holds that bridge a request and the work it starts on another thread, so that the
// analytics events raised on the way start their curl.exe only once that work shows its
// result. Each ends by itself after a few seconds at most.
namespace FlowHolds {

// A posted screenshot request (the hotkeys, the tray, a hand-over): from before its event
// until the full-screen shot is taken or the region editor has painted its first frame.
QuietPeriod::Slot& ShotRequest();

// A file upload handed over or started by the shell: from before its event until the
// upload has been started (the upload itself then holds until its curl.exe runs).
QuietPeriod::Slot& UploadRequest();

// Begins the hold of a command line's request (a screenshot or an upload); nothing for the rest.
void BeginForLaunch(LaunchAction action);

}  // namespace FlowHolds
