#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "app/VideoPanelDraw.h"
#include "classlib/Dialog.h"
#include "classlib/LayoutManager.h"
#include "editor/ImageButton.h"
#include "image/PxImage.h"

// The frame of black and white dashes just outside the recorded rectangle (template
// 114): a topmost layered window whose green is transparent, 3 px larger than the area
// on every side.
class CVideoCaptureAreaDialog : public CDialogEx {
public:
    static constexpr COLORREF kKeyColour = RGB(0, 255, 0);
    static constexpr int kMargin = 3;

    explicit CVideoCaptureAreaDialog(RECT area);
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    RECT m_area;   // screen coordinates

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    void OnPaint();
};

// The floating panel of a recording (template 115): restart, pause/resume, cancel and
// stop, a bar towards the recording's limit and the elapsed time. Clicks are posted to
// the parent; progress comes from the recording thread as WM_APP_RECORD_PROGRESS.
class CVideoCaptureControlDlg : public CDialogEx {
public:
    static constexpr UINT_PTR kHoverTimer = 1;
    static constexpr UINT kHoverIntervalMs = 100;

    // Takes ownership of `layout`.
    CVideoCaptureControlDlg(ILayoutManager* layout, CWnd* parent);
    ~CVideoCaptureControlDlg() override;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL PreTranslateMessage(MSG* msg) override;

    std::unique_ptr<ILayoutManager> m_layout;
    PxImage m_background;
    ImageButton m_restart, m_resume, m_pause, m_cancel, m_stop;
    PxImage m_barBackground, m_barFirst, m_barMiddle, m_barLast;
    int64_t m_limitMs = 0;
    int64_t m_elapsedMs = 0;

    LRESULT OnRecordProgress(LPARAM record);
    void OnLButtonUp(int x, int y);
    // Draws the whole panel (background, buttons, bar, time) onto `dc`, sized as the
    // client area.
    void PaintTo(HDC dc, const RECT& client);

protected:
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    void PlaceButtons();
    HWND m_parentWindow = nullptr;
};
