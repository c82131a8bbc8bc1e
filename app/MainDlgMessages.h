#pragma once
#include <windows.h>

// Private messages of the main dialog (WM_USER + n, handled on the UI thread). A heap
// object passed in lParam belongs to the receiving handler, which frees it on every
// path, also when it ignores the message.
constexpr UINT WM_APP_FULL_SCREENSHOT = 0x404;
constexpr UINT WM_APP_REGION_SCREENSHOT = 0x405;
constexpr UINT WM_APP_QUIT = 0x406;
constexpr UINT WM_APP_HIDE_SETTINGS = 0x407;
constexpr UINT WM_APP_SHOW_SETTINGS = 0x408;
constexpr UINT WM_APP_SERVER_SYNC_DATA = 0x40a;   // lParam: heap ServerSyncData
constexpr UINT WM_APP_ERROR = 0x40b;              // wParam string id, or lParam heap UploadError
constexpr UINT WM_APP_UPLOAD_PROGRESS = 0x40c;
constexpr UINT WM_APP_UPLOAD_FINISHED = 0x40d;
constexpr UINT WM_APP_WINDOW_SCREENSHOT = 0x40e;
// 0x40f and 0x410 carried a pointer for loading a plugin library; nothing of ours sends
// them and any process could post them, so they are not handled.
constexpr UINT WM_APP_UPLOAD_FILE = 0x411;        // lParam: heap std::wstring path
constexpr UINT WM_APP_MAKE_VIDEO = 0x412;         // wParam 1: lParam heap RECT
constexpr UINT WM_APP_VIDEO_CANCEL = 0x415;
constexpr UINT WM_APP_VIDEO_PAUSE = 0x416;
constexpr UINT WM_APP_VIDEO_STOP = 0x417;
constexpr UINT WM_APP_VIDEO_UNDO = 0x418;
constexpr UINT WM_APP_INFO = 0x41d;               // wParam string id
constexpr UINT WM_APP_LINK_READY = 0x41e;         // lParam: heap std::wstring link
constexpr UINT WM_APP_VIDEO_RECORDED = 0x41f;
constexpr UINT WM_APP_VIDEO_FAILED = 0x420;
constexpr UINT WM_APP_SHOW_PROGRESS = 0x421;
constexpr UINT WM_APP_HIDE_PROGRESS = 0x422;
constexpr UINT WM_APP_CLOSE_CAPTURE_WINDOWS = 0x423;
constexpr UINT WM_APP_FULLSCREEN_APP_ON = 0x424;
constexpr UINT WM_APP_FULLSCREEN_APP_OFF = 0x425;
constexpr UINT WM_APP_VIDEO_BROKEN_BY_FULLSCREEN = 0x426;
// Sent to other windows of the same family.
constexpr UINT WM_APP_RECORD_PROGRESS = 0x453;
constexpr UINT WM_APP_LOGS_ZIPPED = 0x462;

// Timers of the main dialog.
constexpr UINT_PTR TIMER_NOTIFICATION = 1;
constexpr UINT_PTR TIMER_SERVER_SYNC = 2;
constexpr UINT_PTR TIMER_LATEST_VERSION = 4;
constexpr UINT_PTR TIMER_VERSION_CHECK = 5;
constexpr UINT_PTR TIMER_TOOLTIP_HOVER = 6;
constexpr UINT_PTR TIMER_CLOSE_REQUEST = 7;
constexpr UINT_PTR TIMER_MONITOR_COUNT = 9;
