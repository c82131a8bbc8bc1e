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
// Region editor: the tool panels, their backgrounds and their button pictures ("PNG").
#define IDD_SELECT_REGION_MANAGEMENT    106
#define IDD_SELECT_REGION_TOOLS         107
#define IDB_MANAGEMENT_PANEL            160
#define IDB_TOOLS_PANEL                 162
#define IDP_CLOSE                       164
#define IDP_CLOSE_HOVER                 166
#define IDP_SAVE                        167
#define IDP_SAVE_HOVER                  168
#define IDP_COPY                        169
#define IDP_COPY_HOVER                  170
#define IDP_UPLOAD                      171
#define IDP_UPLOAD_HOVER                172
#define IDP_UNDO                        173
#define IDP_UNDO_HOVER                  174
#define IDP_ARROW                       177
#define IDP_ARROW_HOVER                 178
#define IDP_ARROW_ACTIVE                180
#define IDP_PEN                         181
#define IDP_PEN_HOVER                   182
#define IDP_PEN_ACTIVE                  183
#define IDP_COLOR                       184
#define IDP_COLOR_HOVER                 187
#define IDP_BLUR                        202
#define IDP_BLUR_ACTIVE                 203
#define IDP_BLUR_HOVER                  204
#define IDP_RECTANGLE                   205
#define IDP_RECTANGLE_ACTIVE            206
#define IDP_RECTANGLE_HOVER             207
#define IDP_TEXT                        208
#define IDP_TEXT_ACTIVE                 209
#define IDP_TEXT_HOVER                  210
// Tooltips of the panels.
#define IDS_TIP_UPLOAD                  145
#define IDS_TIP_COPY                    146
#define IDS_TIP_SAVE                    147
#define IDS_TIP_CLOSE                   148
#define IDS_TIP_ARROW                   149
#define IDS_TIP_PEN                     150
#define IDS_TIP_COLOR                   151
#define IDS_TIP_UNDO                    152
#define IDS_TIP_BLUR                    157
#define IDS_TIP_RECTANGLE               158
#define IDS_TIP_TEXT                    159

// The recording frame and control panel: templates and the panel's pictures ("PNG").
#define IDD_VIDEO_CAPTURE_AREA          114
#define IDD_VIDEO_CAPTURE_CONTROL       115
#define IDP_VIDEO_PANEL                 214
#define IDP_VIDEO_RESTART               215
#define IDP_VIDEO_RESTART_HOVER         216
#define IDP_VIDEO_RESUME                217
#define IDP_VIDEO_RESUME_HOVER          219
#define IDP_VIDEO_CANCEL                220
#define IDP_VIDEO_CANCEL_HOVER          222
#define IDP_VIDEO_STOP                  223
#define IDP_VIDEO_STOP_HOVER            224
#define IDP_VIDEO_BAR                   225
#define IDP_VIDEO_BAR_FIRST             226
#define IDP_VIDEO_BAR_MIDDLE            227
#define IDP_VIDEO_BAR_LAST              228
#define IDP_VIDEO_PAUSE                 229
#define IDP_VIDEO_PAUSE_HOVER           230
