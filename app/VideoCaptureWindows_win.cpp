#include "app/VideoCaptureWindows.h"

#include <windowsx.h>

#include <exception>

#include "app/MainDlgMessages.h"
#include "app/RecordVideoSession.h"
#include "app/VideoRecordingRules.h"
#include "editor/DrawSelectionCommand.h"
#include "editor/DrawTextCommand.h"
#include "foundation/Log.h"
#include "foundation/WinHandles.h"
#include "image/PxImageFormat.h"
#include "resources/resource.h"

namespace {

void LoadPanelPng(PxImage& image, UINT id) {
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"PNG");
    if (!resource || !image.LoadResource(resource, PxFormatPNG)) {
        Log("CVideoCaptureControlDlg: PNG resource %u cannot be loaded\n", id);
    }
}

// Paints through an off-screen bitmap of the client's size.
template <typename Paint>
void PaintBuffered(HWND window, Paint paint) {
    PaintDC paintDC(window);
    HDC dc = paintDC.get();
    RECT client;
    ::GetClientRect(window, &client);
    UniqueDC memory(CreateCompatibleDC(dc));
    UniqueBitmap bitmap(CreateCompatibleBitmap(dc, client.right, client.bottom));
    SelectScope selection(memory.get(), bitmap.get());
    paint(memory.get(), client);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory.get(), 0, 0, SRCCOPY);
}

void SetLayered(HWND window, COLORREF key, BYTE alpha, DWORD flags) {
    SetWindowLongW(window, GWL_EXSTYLE, GetWindowLongW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredWindowAttributes(window, key, alpha, flags);
}

}  // namespace

// ---- the frame ----

CVideoCaptureAreaDialog::CVideoCaptureAreaDialog(RECT area) : CDialogEx(IDD_VIDEO_CAPTURE_AREA), m_area(area) {}

BOOL CVideoCaptureAreaDialog::OnInitDialog() {
    CDialogEx::OnInitDialog();
    SetLayered(m_hWnd, kKeyColour, 0, LWA_COLORKEY);
    ::SetForegroundWindow(m_hWnd);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, m_area.left - kMargin, m_area.top - kMargin,
                 m_area.right - m_area.left + 2 * kMargin, m_area.bottom - m_area.top + 2 * kMargin, SWP_SHOWWINDOW);
    return TRUE;
}

void CVideoCaptureAreaDialog::OnPaint() {
    PaintBuffered(m_hWnd, [this](HDC dc, const RECT& client) {
        UniqueBrush green(CreateSolidBrush(kKeyColour));
        FillRect(dc, &client, green.get());
        POINT topLeft = {m_area.left, m_area.top};
        POINT bottomRight = {m_area.right, m_area.bottom};
        ::ScreenToClient(m_hWnd, &topLeft);
        ::ScreenToClient(m_hWnd, &bottomRight);
        const int l = topLeft.x, t = topLeft.y, r = bottomRight.x, b = bottomRight.y;
        DrawSelectionCommand frame(l - 1, t - 1, r - l + 1, b - t + 1, false);
        frame.Draw(dc);
    });
}

LRESULT CVideoCaptureAreaDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return TRUE;
    default:
        break;
    }
    return CDialogEx::WindowProc(msg, wParam, lParam);
}

// ---- the control panel ----

CVideoCaptureControlDlg::CVideoCaptureControlDlg(ILayoutManager* layout, CWnd* parent)
    : CDialogEx(IDD_VIDEO_CAPTURE_CONTROL, parent),
      m_layout(layout),
      m_restart(IDP_VIDEO_RESTART, IDP_VIDEO_RESTART_HOVER, 0, 0, 0),
      m_resume(IDP_VIDEO_RESUME, IDP_VIDEO_RESUME_HOVER, 0, 0, 0),
      m_pause(IDP_VIDEO_PAUSE, IDP_VIDEO_PAUSE_HOVER, 0, 0, 0),
      m_cancel(IDP_VIDEO_CANCEL, IDP_VIDEO_CANCEL_HOVER, 0, 0, 0),
      m_stop(IDP_VIDEO_STOP, IDP_VIDEO_STOP_HOVER, 0, 0, 0),
      m_parentWindow(parent ? parent->m_hWnd : nullptr) {
    LoadPanelPng(m_background, IDP_VIDEO_PANEL);
    LoadPanelPng(m_barBackground, IDP_VIDEO_BAR);
    LoadPanelPng(m_barFirst, IDP_VIDEO_BAR_FIRST);
    LoadPanelPng(m_barMiddle, IDP_VIDEO_BAR_MIDDLE);
    LoadPanelPng(m_barLast, IDP_VIDEO_BAR_LAST);
    m_resume.m_visible = false;
}

CVideoCaptureControlDlg::~CVideoCaptureControlDlg() = default;

BOOL CVideoCaptureControlDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    const int width = static_cast<int>(m_background.GetWidth());
    const int height = static_cast<int>(m_background.GetHeight());
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, width, height, SWP_NOMOVE | SWP_SHOWWINDOW);
    PlaceButtons();
    POINT position = m_layout ? m_layout->GetPosition(m_hWnd) : POINT{0, 0};
    ::SetForegroundWindow(m_hWnd);
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    float opacity = m_layout ? m_layout->GetOpacity(m_hWnd) : 1.0f;
    SetLayered(m_hWnd, 0, static_cast<BYTE>(opacity * 255), LWA_ALPHA);
    ::SetTimer(m_hWnd, kHoverTimer, kHoverIntervalMs, nullptr);
    return TRUE;
}

void CVideoCaptureControlDlg::PlaceButtons() {
    RECT client = {};
    if (m_hWnd) ::GetClientRect(m_hWnd, &client);
    PanelLayout l = ComputePanelLayout(client.right - client.left, client.bottom - client.top,
                                       static_cast<int>(m_background.GetWidth()),
                                       static_cast<int>(m_background.GetHeight()), m_restart.GetSize().cx);
    const struct {
        ImageButton* button;
        int x;
    } places[] = {{&m_restart, l.restartX}, {&m_resume, l.resumeX}, {&m_pause, l.pauseX},
                  {&m_cancel, l.cancelX},   {&m_stop, l.stopX}};
    for (const auto& p : places) {
        p.button->m_x = p.x;
        p.button->m_y = l.y0;
    }
}

void CVideoCaptureControlDlg::PaintTo(HDC dc, const RECT& client) {
    PanelLayout l = ComputePanelLayout(client.right - client.left, client.bottom - client.top,
                                       static_cast<int>(m_background.GetWidth()),
                                       static_cast<int>(m_background.GetHeight()), m_restart.GetSize().cx);
    {
        UniqueBrush back(CreateSolidBrush(RGB(240, 240, 240)));
        FillRect(dc, &client, back.get());
    }
    DrawPxImageCommand(l.x0, l.y0, &m_background).Draw(dc);
    PlaceButtons();
    for (ImageButton* button : {&m_restart, &m_resume, &m_pause, &m_cancel, &m_stop}) button->Draw(dc);
    DrawProgressBarCommand bar(l.barX, l.barY, m_barBackground, m_barFirst, m_barLast, m_barMiddle);
    bar.m_value = PanelPercent(m_limitMs, m_elapsedMs);
    bar.Draw(dc);
    DrawTextCommand(l.timeX, l.timeY, PanelTimeText(m_elapsedMs), RGB(0, 0, 0), L"Calibri", 100).Draw(dc);
}

void CVideoCaptureControlDlg::OnTimer(UINT_PTR id) {
    if (id != kHoverTimer) return;
    POINT cursor = {};
    GetCursorPos(&cursor);
    ::ScreenToClient(m_hWnd, &cursor);
    for (ImageButton* button : {&m_restart, &m_resume, &m_pause, &m_cancel, &m_stop}) {
        if (button->HitTest(cursor.x, cursor.y)) {
            button->ShowHover();
        } else {
            button->ShowNormal();
        }
    }
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

LRESULT CVideoCaptureControlDlg::OnRecordProgress(LPARAM record) {
    if (record) {
        RecordProgress* progress = reinterpret_cast<RecordProgress*>(record);
        m_limitMs = progress->limitMs;
        m_elapsedMs = progress->elapsedMs;
        delete progress;
    }
    return 0;
}

void CVideoCaptureControlDlg::OnLButtonUp(int x, int y) {
    HWND parent = m_parentWindow;
    if (m_cancel.HitTest(x, y)) {
        PostMessageW(parent, WM_APP_VIDEO_CANCEL, 0, 0);
    } else if (m_pause.HitTest(x, y)) {
        PostMessageW(parent, WM_APP_VIDEO_PAUSE, 1, 0);
        m_pause.m_visible = false;
        m_resume.m_visible = true;
    } else if (m_resume.HitTest(x, y)) {
        m_resume.m_visible = false;
        m_pause.m_visible = true;
        PostMessageW(parent, WM_APP_VIDEO_PAUSE, 0, 0);
    } else if (m_stop.HitTest(x, y)) {
        PostMessageW(parent, WM_APP_VIDEO_STOP, 0, 0);
    } else if (m_restart.HitTest(x, y)) {
        PostMessageW(parent, WM_APP_VIDEO_UNDO, 0, 0);
    }
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

BOOL CVideoCaptureControlDlg::PreTranslateMessage(MSG* msg) {
    if ((msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) &&
        (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
        return TRUE;
    }
    return CDialogEx::PreTranslateMessage(msg);
}

LRESULT CVideoCaptureControlDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    try {
        switch (msg) {
        case WM_PAINT:
            PaintBuffered(m_hWnd, [this](HDC dc, const RECT& client) { PaintTo(dc, client); });
            return 0;
        case WM_ERASEBKGND:
            return TRUE;
        case WM_APP_RECORD_PROGRESS:
            return OnRecordProgress(lParam);
        case WM_LBUTTONUP:
            OnLButtonUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            break;
        case WM_DESTROY:
            ::KillTimer(m_hWnd, kHoverTimer);
            break;
        default:
            break;
        }
    } catch (const std::exception& e) {
        Log("CVideoCaptureControlDlg: %s\n", e.what());
    }
    return CDialogEx::WindowProc(msg, wParam, lParam);
}

// ---- draw commands ----

void DrawPxImageCommand::Draw(HDC dc) {
    if (m_image && m_image->IsValid()) const_cast<PxImage*>(m_image)->Draw(dc, m_x, m_y);
}

DrawProgressBarCommand::DrawProgressBarCommand(int x, int y, const PxImage& background, const PxImage& first,
                                               const PxImage& last, const PxImage& middle)
    : m_x(x), m_y(y), m_background(background), m_first(first), m_last(last), m_middle(middle) {}

void DrawProgressBarCommand::Draw(HDC dc) {
    const auto steps = ProgressBarSteps(m_x, m_y, m_value, static_cast<int>(m_background.GetWidth()),
                                        static_cast<int>(m_last.GetWidth()));
    for (const BarStep& step : steps) {
        PxImage* picture = &m_background;
        if (step.picture == BarPicture::First) picture = &m_first;
        if (step.picture == BarPicture::Middle) picture = &m_middle;
        if (step.picture == BarPicture::Last) picture = &m_last;
        if (picture->IsValid()) picture->Draw(dc, step.x, step.y);
    }
}
