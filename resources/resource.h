#pragma once
// Resource ids. Numbers are part of the program's interface with its resources;
// keep them as they are.

#define IDR_MAINFRAME                   128
#define IDI_RECORDING                   237

#define IDD_CTAVIMORERF_DIALOG          102

#ifndef IDC_STATIC
#define IDC_STATIC                      (-1)
#endif

// Main dialog controls.
#define IDC_TAB_PAGES                   1026
#define IDC_GAME_MODE_SWITCH            1038
#define IDC_GAME_MODE_HELP              1045
#define IDC_GAME_MODE_ON                1059
#define IDC_GAME_MODE_OFF               1060

// Tray menu and its commands.
#define IDR_TRAY_MENU                   130
#define ID_TRAY_EXIT                    32773
#define ID_TRAY_SETTINGS                32775
#define ID_TRAY_CAPTURE_FULLSCREEN      32778
#define ID_TRAY_CAPTURE_REGION          32779
#define ID_TRAY_SILENT_MODE             32781
#define ID_TRAY_MY_CAPTURES             32783
#define ID_TRAY_CAPTURE_VIDEO           32785
#define ID_TRAY_SEND_FILE               32788

// The region editor.
#define IDD_TEXT_BOX                    113
#define IDD_SELECT_REGION               131
#define IDC_TEXT_BOX_EDIT               1001
#define IDB_EDITOR_BADGE                191
#define IDB_VIDEO_BADGE                 234
