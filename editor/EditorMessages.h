#pragma once
// The region editor's private messages (WM_USER + n). The key timer, the mouse
// handlers, the two panels and the text box post or send them to the editor dialog;
// every handler returns 0.
constexpr unsigned WM_APP_EDITOR_ACCEPT = 0x42b;
constexpr unsigned WM_APP_EDITOR_CANCEL = 0x42c;
constexpr unsigned WM_APP_EDITOR_DRAW_MODE_ON = 0x42d;
constexpr unsigned WM_APP_EDITOR_DRAW_MODE_OFF = 0x42e;
constexpr unsigned WM_APP_EDITOR_DRAW_MODE_SET = 0x42f;
constexpr unsigned WM_APP_EDITOR_SAVE = 0x437;
constexpr unsigned WM_APP_EDITOR_COPY = 0x438;
constexpr unsigned WM_APP_EDITOR_UPLOAD = 0x439;
constexpr unsigned WM_APP_EDITOR_TOOL_ARROW = 0x43a;
constexpr unsigned WM_APP_EDITOR_TOOL_PENCIL = 0x43b;
constexpr unsigned WM_APP_EDITOR_PALETTE = 0x43c;
constexpr unsigned WM_APP_EDITOR_UNDO = 0x43d;
constexpr unsigned WM_APP_EDITOR_TOOL_ARROW_OFF = 0x43e;
constexpr unsigned WM_APP_EDITOR_TOOL_PENCIL_OFF = 0x43f;
constexpr unsigned WM_APP_EDITOR_TOOL_BLUR = 0x440;
constexpr unsigned WM_APP_EDITOR_TOOL_BLUR_OFF = 0x441;
constexpr unsigned WM_APP_EDITOR_TOOL_RECTANGLE = 0x442;
constexpr unsigned WM_APP_EDITOR_TOOL_RECTANGLE_OFF = 0x443;
constexpr unsigned WM_APP_EDITOR_TOOL_TEXT = 0x444;
constexpr unsigned WM_APP_EDITOR_TOOL_TEXT_OFF = 0x445;
constexpr unsigned WM_APP_EDITOR_TEXT_COMMIT = 0x446;
constexpr unsigned WM_APP_EDITOR_TEXT_CLOSE = 0x447;
constexpr unsigned WM_APP_EDITOR_TEXT_DRAG = 0x448;
