#include "app/FlowHolds.h"

namespace {
// Opening the editor takes a few hundred milliseconds, more under load; past this the
// held events go anyway.
constexpr int kShotRequestMaxMs = 2000;
constexpr int kUploadRequestMaxMs = 2000;
}  // namespace

namespace FlowHolds {

QuietPeriod::Slot& ShotRequest() {
    static QuietPeriod::Slot slot(kShotRequestMaxMs);
    return slot;
}

QuietPeriod::Slot& UploadRequest() {
    static QuietPeriod::Slot slot(kUploadRequestMaxMs);
    return slot;
}

void BeginForLaunch(LaunchAction action) {
    switch (action) {
    case LaunchAction::RegionScreenshot:
    case LaunchAction::FullScreenshot: ShotRequest().Begin(); break;
    case LaunchAction::UploadFile: UploadRequest().Begin(); break;
    default: break;
    }
}

}  // namespace FlowHolds
