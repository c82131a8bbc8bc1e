#pragma once

// The outcome of one read of a capture session.
enum CvxGetScreenshotStatus : int {
    CvxGetScreenshot_Ok = 0,                          // a read without failure
    CvxGetScreenshot_VideoConfigurationChanged = 1,   // failed, and the monitors changed
    CvxGetScreenshot_SessionFailed = 2,               // failed with the same monitors
};
