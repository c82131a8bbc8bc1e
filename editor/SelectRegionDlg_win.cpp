// The region selection dialog: construction, painting, mouse, wheel, timers, hover,
// cursors and panel placement. Commands and the result are in
// SelectRegionDlgCommands_win.cpp.
#include "editor/SelectRegionDlg.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <utility>

#include "editor/EditorMessages.h"
#include "editor/DrawArrowCommand.h"
#include "editor/DrawLineCommand.h"
#include "editor/DrawRectCommand.h"
#include "editor/DrawSelectedAreaCommand.h"
#include "editor/DrawSelectionCommand.h"
#include "editor/DrawSelectionSizeCommand.h"
#include "editor/DrawTextCommand.h"
#include "editor/PixelateBitmap.h"
#include "editor/ScreenBitmaps.h"
#include "editor/SelectRegionManagementDlg.h"
#include "editor/SelectRegionToolsDlg.h"
#include "editor/SelectionTracker.h"
#include "editor/TextBoxDlg.h"
#include "foundation/Log.h"
#include "foundation/ShotTiming.h"
#include "resources/resource.h"

int g_editorTextSize = kMinTextSize;

namespace {

constexpr UINT_PTR kTimerRepaint = 0;
constexpr UINT_PTR kTimerKeys = 1;
constexpr UINT_PTR kTimerTopmost = 2;
constexpr UINT_PTR kTimerDrawModeHotkey = 4;

void LoadBadge(unsigned id, PxImage& image) {
    HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"PNG");
    if (!resource || !image.LoadResource(resource, 4, nullptr)) Log("CSelectRegionDlg: badge %u not loaded\n", id);
}

}  // namespace

CSelectRegionDlg::CSelectRegionDlg(const PxImage& screen, std::wstring defaultFileName, bool editorMode, CWnd* parent)
    : CSelectRegionDlg(screen, std::move(defaultFileName), editorMode, parent, SelectRegionEnvironment::Default()) {}

CSelectRegionDlg::CSelectRegionDlg(const PxImage& screen, std::wstring defaultFileName, bool editorMode, CWnd* parent,
                                   SelectRegionEnvironment environment)
    : CDialogEx(IDD_SELECT_REGION, parent),
      m_env(SelectRegionEnvironment::WithFallbacks(std::move(environment))),
      m_defaultFileName(std::move(defaultFileName)) {
    m_state = SelectRegionState::NoSelection;
    m_penWidth = kMinPenWidth;
    m_action = kActionUpload;
    m_mode = editorMode ? kModeEditor : kModePlain;

    m_undimmed.reset(screen.MakeBitmap(nullptr));
    ShotTiming::Mark("screen bitmap");

    // The dimmed screen is made from the undimmed bitmap's rows in one pass; the blur
    // picture is made from them too, once the window shows (AfterFirstPaint).
    Rgb24Rows rows;
    if (ReadRgb24Rows(m_undimmed.get(), rows)) {
        m_dimmed = MakeDimmedBitmap(rows);
    } else {
        try {
            PxImage dimmed(screen);
            dimmed.GrayScale();
            dimmed.Light(-46, 0);
            m_dimmed.reset(dimmed.MakeBitmap(nullptr));
            m_blurSource = std::make_shared<PxImage>(screen);
        } catch (const std::exception& e) {
            Log("CSelectRegionDlg: no dimmed screen: %s\n", e.what());
        }
    }
    ShotTiming::Mark("dimmed copy");

    m_rightPress = !m_env.isKeyDown(VK_RBUTTON);
    LoadBadge(IDB_EDITOR_BADGE, m_editorBadge);
    LoadBadge(IDB_VIDEO_BADGE, m_videoBadge);
    if (m_env.isDrawModeHotkeyHeld()) {
        m_hotkeyLatch = true;
        m_mode = kModeEditor;
    }
    g_editorTextSize = kMinTextSize;
    for (int i = 0; i < kEditorKeyCount; i++) m_keys[i].Prime(m_env.isKeyDown(kEditorKeys[i]));
}

CSelectRegionDlg::~CSelectRegionDlg() {
    JoinBlurThread();
    m_deadTextBoxes.clear();
    delete m_textBox;
    m_textBox = nullptr;
    m_toolsPanel.reset();
    m_managementPanel.reset();
}

void CSelectRegionDlg::JoinBlurThread() {
    if (m_blurThread.joinable()) m_blurThread.join();
}

void CSelectRegionDlg::StartBlurPreparation() {
    if (m_blurStarted) return;
    m_blurStarted = true;
    // Every reader joins the thread first. The undimmed bitmap's rows are only read
    // meanwhile: the result step, the one writer, joins before it draws the marks.
    Rgb24Rows rows;
    bool haveRows = ReadRgb24Rows(m_undimmed.get(), rows);
    std::shared_ptr<PxImage> copy = std::move(m_blurSource);
    if (!haveRows && !copy) return;
    try {
        m_blurThread = std::thread([this, rows, haveRows, copy] {
            try {
                if (haveRows) {
                    m_blur = MakePixelatedBitmap(rows);
                    return;
                }
                UniqueBitmap bitmap(copy->MakeBitmap(nullptr));
                copy->Destroy();
                if (bitmap) PixelateBitmap(bitmap.get());
                m_blur = std::move(bitmap);
            } catch (...) {
                Log("CSelectRegionDlg::PrepareBlurBitmap: failed\n");
            }
        });
    } catch (const std::exception& e) {
        Log("CSelectRegionDlg: no blur thread: %s\n", e.what());
    }
}

HBITMAP CSelectRegionDlg::BlurBitmap() {
    StartBlurPreparation();
    JoinBlurThread();
    return m_blur.get();
}

bool CSelectRegionDlg::IsBlurReady() {
    return BlurBitmap() != nullptr;
}

void CSelectRegionDlg::PostEvent(const wchar_t* action) {
    if (m_env.postEvent) m_env.postEvent(L"SelectRegion", action, L"");
}

void CSelectRegionDlg::PostEventOnce(int flag, const wchar_t* action) {
    if (m_used[flag]) return;
    m_used[flag] = true;
    PostEvent(action);
}

BOOL CSelectRegionDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    switch (m_mode) {
    case kModePlain: PostEvent(L"Open without Editor"); break;
    case kModeEditor: PostEvent(L"Open with Editor"); break;
    case kModeVideo: PostEvent(L"Open with Video"); break;
    default: break;
    }

    m_virtualScreen = m_env.virtualScreen();
    int width = m_virtualScreen.right - m_virtualScreen.left;
    int height = m_virtualScreen.bottom - m_virtualScreen.top;
    SetWindowLongW(m_hWnd, GWL_STYLE, WS_POPUP | WS_CLIPCHILDREN);
    SetForegroundWindow(m_hWnd);
    SetWindowPos(m_hWnd, HWND_TOPMOST, m_virtualScreen.left, m_virtualScreen.top, width, height, SWP_SHOWWINDOW);
    m_client = {0, 0, width, height};
    ShotTiming::Mark("window placement");

    // The back buffer is the dimmed screen itself; the frame of each repaint is a bitmap
    // like the window's.
    WindowDC windowDC(m_hWnd);
    m_backDC.reset(CreateCompatibleDC(windowDC.get()));
    m_backBitmap = std::move(m_dimmed);
    if (m_backBitmap) m_backSelection = SelectScope(m_backDC.get(), m_backBitmap.get());
    m_frameDC.reset(CreateCompatibleDC(windowDC.get()));
    m_frameBitmap.reset(CreateCompatibleBitmap(windowDC.get(), width, height));
    m_frameSelection = SelectScope(m_frameDC.get(), m_frameBitmap.get());
    windowDC.reset();
    ShotTiming::Mark("back buffers");

    m_state = SelectRegionState::NoSelection;
    SetTimer(kTimerRepaint, 10);
    SetTimer(kTimerKeys, 10);
    SetTimer(kTimerTopmost, 100);
    SetTimer(kTimerDrawModeHotkey, 100);
    m_tracker = std::make_unique<SelectionTracker>();
    // The panels come after the first frame (AfterFirstPaint).
    return TRUE;
}

void CSelectRegionDlg::CreatePanels() {
    if (m_toolsPanel || !m_hWnd) return;
    // Both start hidden: the selection's release shows them where they belong.
    m_managementPanel = std::make_unique<CSelectRegionManagementDlg>(this);
    m_managementPanel->Create(this);
    m_toolsPanel = std::make_unique<CSelectRegionToolsDlg>(m_env.drawColor(), this);
    m_toolsPanel->Create(this);
    m_managementPanel->ShowWindow(SW_HIDE);
    m_toolsPanel->ShowWindow(SW_HIDE);
}

void CSelectRegionDlg::OnFirstPaint() {
    // The one place where the window's first frame is known to be painted.
    ShotTiming::Mark("first paint");
    ShotTiming::Finish();
    Post(kMsgAfterFirstPaint);
}

void CSelectRegionDlg::AfterFirstPaint() {
    if (!m_ended) {
        CreatePanels();
        StartBlurPreparation();
    }
    // What waited for the first frame (the caller's deferred work) may run now.
    if (m_env.onFirstPaint) std::exchange(m_env.onFirstPaint, nullptr)();
}

COLORREF CSelectRegionDlg::GetColor() const {
    return m_toolsPanel ? m_toolsPanel->m_color : RGB(255, 0, 0);
}

bool CSelectRegionDlg::ToolActive() const {
    return m_toolsPanel && m_toolsPanel->GetActiveTool() != nullptr;
}

RECT CSelectRegionDlg::GetSelection() const {
    RECT r{};
    if (!m_tracker) return r;
    r = {m_tracker->Left(), m_tracker->Top(), m_tracker->Right(), m_tracker->Bottom()};
    return r;
}

POINT CSelectRegionDlg::CursorInClient() const {
    POINT p{};
    GetCursorPos(&p);
    p.x -= m_virtualScreen.left;
    p.y -= m_virtualScreen.top;
    return p;
}

void CSelectRegionDlg::StartFreshTracker(POINT p) {
    m_tracker = std::make_unique<SelectionTracker>();
    m_tracker->Start(p.x, p.y);
}

void CSelectRegionDlg::ShowPanels(bool show) {
    // Shown again on top of the topmost band: a plain show may leave a panel under the
    // editor, which keeps itself topmost.
    for (CWnd* panel : {static_cast<CWnd*>(m_toolsPanel.get()), static_cast<CWnd*>(m_managementPanel.get())}) {
        if (!panel || !panel->m_hWnd) continue;
        if (show) {
            SetWindowPos(panel->m_hWnd, HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
        } else {
            panel->ShowWindow(SW_HIDE);
        }
    }
}

EditorPicture CSelectRegionDlg::CurrentPicture() const {
    EditorPicture picture;
    picture.state = m_state;
    picture.mode = m_mode;
    picture.penWidth = m_penWidth;
    picture.color = GetColor();
    picture.overlayRevision = m_overlayRevision;
    picture.annotationRevision = m_annotations.Revision();
    picture.followsCursor = PictureFollowsCursor(m_mode, m_state);
    if (picture.followsCursor) {
        POINT cursor = CursorInClient();
        picture.cursorX = cursor.x;
        picture.cursorY = cursor.y;
    }
    return picture;
}

void CSelectRegionDlg::RepaintIfChanged() {
    if (CurrentPicture() != m_painted) Invalidate(FALSE);
}

void CSelectRegionDlg::ClearOverlay() {
    m_overlay.clear();
    ++m_overlayRevision;
}

void CSelectRegionDlg::OnPaint() {
    PaintDC paint(m_hWnd);
    HDC dc = paint.get();
    int width = m_client.right, height = m_client.bottom;
    m_painted = CurrentPicture();
    if (m_frameDC && m_backDC) {
        POINT cursor = {m_painted.cursorX, m_painted.cursorY};
        BitBlt(m_frameDC.get(), 0, 0, width, height, m_backDC.get(), 0, 0, SRCCOPY);
        for (const auto& command : m_overlay) command->Draw(m_frameDC.get());
        for (const auto& command : m_annotations.Items()) command->Draw(m_frameDC.get());
        if (m_mode != kModePlain && (m_state == SelectRegionState::NoSelection || m_state == SelectRegionState::Selecting)) {
            PxImage& badge = (m_mode & kModeVideo) ? m_videoBadge : m_editorBadge;
            if (badge.IsValid()) badge.Draw(m_frameDC.get(), cursor.x - 3, cursor.y + 1);
        }
        if (m_state == SelectRegionState::Pencil || m_state == SelectRegionState::Arrow || m_state == SelectRegionState::Rectangle) {
            DrawLineCommand(cursor.x, cursor.y, cursor.x + 1, cursor.y + 1, static_cast<unsigned>(m_penWidth), GetColor()).Draw(m_frameDC.get());
        }
        BitBlt(dc, 0, 0, width, height, m_frameDC.get(), 0, 0, SRCCOPY);
    }
    paint.reset();
    if (!m_firstPaintDone) {
        m_firstPaintDone = true;
        OnFirstPaint();
    }
}

void CSelectRegionDlg::RebuildSelectionOverlay() {
    RECT s = GetSelection();
    IntPoint label = SizeLabelPosition({s.left, s.top, s.right, s.bottom},
                                       {m_client.left, m_client.top, m_client.right, m_client.bottom});
    int w = s.right - s.left, h = s.bottom - s.top;
    ClearOverlay();
    m_overlay.push_back(std::make_shared<DrawSelectedAreaCommand>(s.left, s.top, w, h, m_undimmed.get()));
    m_overlay.push_back(std::make_shared<DrawSelectionCommand>(s.left, s.top, w, h, true));
    m_overlay.push_back(std::make_shared<DrawSelectionSizeCommand>(label.x, label.y, w, h));
}

void CSelectRegionDlg::OnMouseMove(UINT flags, POINT p) {
    if (m_tracker) m_tracker->OnMouseMove(p.x, p.y, 0, 0, m_client.right, m_client.bottom);
    UpdateHoverState(p);
    UpdateCursor(p);
    COLORREF color = GetColor();
    switch (m_state) {
    case SelectRegionState::Selecting:
        RebuildSelectionOverlay();
        break;
    case SelectRegionState::Pencil: {
        if (!m_buttonDown) break;
        POINT start = m_lastPoint, end = p;
        bool draw = true;
        if (m_env.isKeyDown(VK_SHIFT)) {
            if (!m_horizontalLock && !m_verticalLock) {
                if (p.x == m_lastPoint.x && p.y == m_lastPoint.y) {
                    draw = false;
                } else {
                    m_anchor = m_lastPoint;
                    if (std::abs(m_lastPoint.x - p.x) < std::abs(m_lastPoint.y - p.y)) m_verticalLock = true;
                    else m_horizontalLock = true;
                }
            }
            if (draw) {
                start = m_anchor;
                if (m_horizontalLock) end.y = m_anchor.y;
                else end.x = m_anchor.x;
            }
        } else {
            m_horizontalLock = m_verticalLock = false;
        }
        if (draw) {
            m_annotations.Append(
                std::make_shared<DrawLineCommand>(start.x, start.y, end.x, end.y, static_cast<unsigned>(m_penWidth), color));
        }
        break;
    }
    case SelectRegionState::Arrow:
        ReplaceLastAnnotation(std::make_shared<DrawArrowCommand>(m_anchor.x, m_anchor.y, p.x, p.y, static_cast<unsigned>(m_penWidth), color));
        break;
    case SelectRegionState::Rectangle:
        ReplaceLastAnnotation(std::make_shared<DrawRectCommand>(std::min(m_anchor.x, p.x), std::max(m_anchor.x, p.x),
                                                                std::min(m_anchor.y, p.y), std::max(m_anchor.y, p.y),
                                                                static_cast<unsigned>(m_penWidth), color));
        break;
    case SelectRegionState::Blur: {
        if (!m_buttonDown) break;
        int left = std::min(m_anchor.x, p.x), right = std::max(m_anchor.x, p.x);
        int top = std::min(m_anchor.y, p.y), bottom = std::max(m_anchor.y, p.y);
        std::vector<std::shared_ptr<IDrawCommand>> preview;
        preview.push_back(std::make_shared<DrawSelectedAreaCommand>(left + 1, top + 1, right - left - 2,
                                                                    bottom - top - 2, BlurBitmap()));
        preview.push_back(std::make_shared<DrawSelectionCommand>(left, top, right - left, bottom - top, false));
        ReplaceLastAnnotations(std::move(preview), 2);
        break;
    }
    case SelectRegionState::TextDrag: {
        m_anchor.x += p.x - m_lastPoint.x;
        m_anchor.y += p.y - m_lastPoint.y;
        m_annotations.RemoveLast(2);
        AppendTextDragPreview();
        break;
    }
    default:
        break;
    }
    m_lastPoint = p;
}

void CSelectRegionDlg::AppendTextDragPreview() {
    if (!m_textBox || !m_textBox->m_hWnd) return;
    RECT box;
    GetWindowRect(m_textBox->m_hWnd, &box);
    int w = box.right - box.left, h = box.bottom - box.top;
    m_annotations.Append(std::make_shared<DrawTextCommand>(m_anchor.x + 9, m_anchor.y + 4, m_textBox->GetText(),
                                                           GetColor(), L"Calibri", g_editorTextSize));
    m_annotations.Append(std::make_shared<DrawSelectionCommand>(m_anchor.x + 1, m_anchor.y + 1, w - 2, h - 2, false));
}

void CSelectRegionDlg::ReplaceLastAnnotation(std::shared_ptr<IDrawCommand> command) {
    m_annotations.ReplaceLast(std::move(command), m_buttonDown);
}

void CSelectRegionDlg::ReplaceLastAnnotations(std::vector<std::shared_ptr<IDrawCommand>> commands, size_t n) {
    (void)n;   // the list replaces exactly what this drag added
    m_annotations.ReplaceLastMany(std::move(commands), m_buttonDown);
}

void CSelectRegionDlg::OnMouseWheel(UINT flags, short delta, POINT screenPoint) {
    m_penWidth = NextPenWidth(m_penWidth, delta);
    g_editorTextSize = NextTextSize(g_editorTextSize, delta);
    OnMouseMove(0, m_lastPoint);
    if (m_state == SelectRegionState::Text && m_textBox && m_textBox->m_hWnd) m_textBox->SetEditorFont();
}

void CSelectRegionDlg::OnLButtonDown(UINT flags, POINT p) {
    m_buttonDown = true;
    m_annotations.BeginDrag();
    switch (m_state) {
    case SelectRegionState::NoSelection:
        StartFreshTracker(p);
        m_state = SelectRegionState::Selecting;
        break;
    case SelectRegionState::Selected: {
        bool inside = m_tracker->IsInside(p.x, p.y);
        bool band = m_tracker->HitEdges(p.x, p.y);
        if (!inside && !band) {
            StartFreshTracker(p);
            ClearOverlay();
        } else if (band) {
            m_tracker->BeginResize(p.x, p.y);
        } else {
            m_tracker->BeginMove(p.x, p.y);
        }
        m_state = SelectRegionState::Selecting;
        ShowPanels(false);
        break;
    }
    case SelectRegionState::Arrow:
    case SelectRegionState::Rectangle:
    case SelectRegionState::Blur:
        m_anchor = p;
        // fall through: as the pencil
    case SelectRegionState::Pencil:
        m_annotations.PushCheckpoint();
        ShowPanels(false);
        m_horizontalLock = m_verticalLock = false;
        break;
    case SelectRegionState::Text:
        m_annotations.PushCheckpoint();
        OpenTextBox(p);
        m_buttonDown = false;
        break;
    case SelectRegionState::HoverEdge:
        m_tracker->BeginResize(p.x, p.y);
        m_state = SelectRegionState::Selecting;
        ShowPanels(false);
        break;
    case SelectRegionState::HoverOutside:
        m_tracker->BeginMove(p.x, p.y);
        m_tracker->BeginResize(p.x, p.y);
        m_state = SelectRegionState::Selecting;
        ShowPanels(false);
        break;
    default:
        break;
    }
    m_lastPoint = p;
}

void CSelectRegionDlg::OpenTextBox(POINT p) {
    if (m_textBox) OnTextClose();
    auto box = std::make_unique<CTextBoxDlg>(this);
    if (!box->Create(this)) {
        Log("CSelectRegionDlg: the text box was not made\n");
        return;
    }
    m_textBox = box.release();
    int x = p.x + m_virtualScreen.left;
    int y = p.y + m_virtualScreen.top - GetSystemMetrics(SM_CYCURSOR) / 2 + 4;
    SetWindowPos(m_textBox->m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    m_textBox->FitToText(L"");
    m_textBox->m_edit.m_textColor = GetColor();
    m_textBox->m_edit.InvalidateBackground();
    m_textBox->m_edit.SetText(L"");
    m_textBox->ShowWindow(SW_SHOW);
    ::SetFocus(m_textBox->m_edit.m_hWnd);
}

void CSelectRegionDlg::OnLButtonUp(UINT flags, POINT p) {
    m_buttonDown = false;
    if (m_tracker) m_tracker->EndDrag();
    switch (m_state) {
    case SelectRegionState::Selecting: {
        if (std::abs(m_tracker->m_x1 - m_tracker->m_x2) < 3 || std::abs(m_tracker->m_y1 - m_tracker->m_y2) < 3) {
            m_state = SelectRegionState::NoSelection;
            ClearOverlay();
            break;
        }
        m_tracker->SetFinished(true);
        m_state = SelectRegionState::Selected;
        if (!(m_mode & kModeEditor)) {
            Post(WM_APP_EDITOR_ACCEPT);
            break;
        }
        CreatePanels();
        PlaceToolsPanel();
        PlaceManagementPanel();
        if (m_toolsPanel && !ToolActive() && !m_arrowTurnedOff) {
            m_state = SelectRegionState::Arrow;
            m_toolsPanel->SelectTool(&m_toolsPanel->m_arrow);
        }
        break;
    }
    case SelectRegionState::Blur:
        m_annotations.RemovePreviewFrame();
        ShowPanels(true);
        break;
    case SelectRegionState::Pencil:
    case SelectRegionState::Arrow:
    case SelectRegionState::Rectangle:
        ShowPanels(true);
        break;
    case SelectRegionState::TextDrag:
        ShowPanels(true);
        m_annotations.RemoveLast(2);
        UpdateWindow(m_hWnd);
        if (m_textBox && m_textBox->m_hWnd) {
            SetWindowPos(m_textBox->m_hWnd, nullptr, m_anchor.x + m_virtualScreen.left,
                         m_anchor.y + m_virtualScreen.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
            m_textBox->m_edit.m_dragging = false;
            ::SetFocus(m_textBox->m_edit.m_hWnd);
        }
        m_state = SelectRegionState::Text;
        Invalidate(FALSE);
        break;
    default:
        break;
    }
    UpdateHoverState(p);
    UpdateCursor(p);
}

void CSelectRegionDlg::OnRButtonDown(UINT flags, POINT p) {
    m_rightPress = true;
}

void CSelectRegionDlg::OnRButtonUp(UINT flags, POINT p) {
    switch (OnRightRelease(m_state, m_rightPress)) {
    case RightRelease::Cancel:
        Post(WM_APP_EDITOR_CANCEL);
        break;
    case RightRelease::BackToNoSelection:
        m_state = SelectRegionState::NoSelection;
        ClearOverlay();
        break;
    case RightRelease::DropSelection:
        StartFreshTracker(p);
        m_state = SelectRegionState::NoSelection;
        m_savedState = SelectRegionState::None;
        ClearOverlay();
        ShowPanels(false);
        break;
    case RightRelease::Ignore:
        break;
    }
}

void CSelectRegionDlg::UpdateHoverState(POINT p) {
    if (!m_tracker) return;
    bool band = m_tracker->HitEdges(p.x, p.y);
    bool inside = m_tracker->IsInside(p.x, p.y);
    HoverResult r = NextHoverState(m_state, m_savedState, m_buttonDown, band, inside, ToolActive());
    m_state = r.state;
    m_savedState = r.savedState;
    if (r.reselectTool) m_toolsPanel->SelectTool(m_toolsPanel->GetActiveTool());
}

EdgeHits CSelectRegionDlg::EdgesAt(POINT p) {
    EdgeHits e;
    if (!m_tracker || !m_tracker->HitEdges(p.x, p.y)) return e;
    e.left = (m_tracker->GetEdges() & SelectionTracker::kEdgeLeft) != 0;
    e.top = (m_tracker->GetEdges() & SelectionTracker::kEdgeTop) != 0;
    e.right = (m_tracker->GetEdges() & SelectionTracker::kEdgeRight) != 0;
    e.bottom = (m_tracker->GetEdges() & SelectionTracker::kEdgeBottom) != 0;
    return e;
}

void CSelectRegionDlg::SetEdgeCursor(POINT p) {
    ApplyCursor(static_cast<int>(EdgeCursor(EdgesAt(p))));
}

void CSelectRegionDlg::UpdateCursor(POINT p) {
    bool inside = m_tracker && m_tracker->IsInside(p.x, p.y);
    ApplyCursor(static_cast<int>(CursorFor(m_state, EdgesAt(p), inside, m_savedState, ToolActive())));
}

void CSelectRegionDlg::ApplyCursor(int cursor) {
    const wchar_t* id = nullptr;
    switch (static_cast<EditorCursor>(cursor)) {
    case EditorCursor::Unchanged: return;
    case EditorCursor::Arrow: id = IDC_ARROW; break;
    case EditorCursor::Cross: id = IDC_CROSS; break;
    case EditorCursor::SizeAll: id = IDC_SIZEALL; break;
    case EditorCursor::IBeam: id = IDC_IBEAM; break;
    case EditorCursor::SizeNWSE: id = IDC_SIZENWSE; break;
    case EditorCursor::SizeNESW: id = IDC_SIZENESW; break;
    case EditorCursor::SizeWE: id = IDC_SIZEWE; break;
    case EditorCursor::SizeNS: id = IDC_SIZENS; break;
    }
    m_cursor = static_cast<int>(cursor);
    SetCursor(LoadCursorW(nullptr, id));
}

void CSelectRegionDlg::PlaceToolsPanel() {
    if (!m_toolsPanel || !m_toolsPanel->m_hWnd) return;
    RECT s = GetSelection();
    SIZE size = m_toolsPanel->GetSize();
    IntPoint p = ::PlaceToolsPanel({s.left, s.top, s.right, s.bottom}, size.cx, size.cy,
                                   {m_client.left, m_client.top, m_client.right, m_client.bottom});
    m_toolsPanel->ShowAt(p.x + m_virtualScreen.left, p.y + m_virtualScreen.top);
    m_toolsPlace = {p.x, p.y, p.x + size.cx, p.y + size.cy};
}

void CSelectRegionDlg::PlaceManagementPanel() {
    if (!m_managementPanel || !m_managementPanel->m_hWnd) return;
    RECT s = GetSelection();
    SIZE size = m_managementPanel->GetSize();
    IntPoint p = ::PlaceManagementPanel({s.left, s.top, s.right, s.bottom}, size.cx, size.cy, m_toolsPlace,
                                        {m_client.left, m_client.top, m_client.right, m_client.bottom});
    m_managementPanel->ShowAt(p.x + m_virtualScreen.left, p.y + m_virtualScreen.top);
}

void CSelectRegionDlg::OnTimer(UINT_PTR id) {
    if (!KeysActive()) return;   // the timers rest while a modal dialog or a text box has the keys
    switch (id) {
    case kTimerRepaint:
        RepaintIfChanged();
        break;
    case kTimerKeys:
        PollKeys();
        break;
    case kTimerTopmost:
        KeepOnTop();
        break;
    case kTimerDrawModeHotkey:
        ToggleEditorByHotkey();
        break;
    default:
        break;
    }
}

void CSelectRegionDlg::KeepOnTop() {
    // Nothing to do while only our own windows (the panels, a tooltip) lie above: moving a
    // window that is already on top still costs a round trip through the display.
    bool onTop = true;
    for (HWND above = ::GetWindow(m_hWnd, GW_HWNDPREV); above; above = ::GetWindow(above, GW_HWNDPREV)) {
        if (!::IsWindowVisible(above)) continue;
        DWORD process = 0;
        ::GetWindowThreadProcessId(above, &process);
        if (process != ::GetCurrentProcessId()) {
            onTop = false;
            break;
        }
    }
    if (onTop && ::IsWindowVisible(m_hWnd)) return;
    RECT r;
    GetWindowRect(m_hWnd, &r);
    SetWindowPos(m_hWnd, HWND_TOPMOST, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

bool CSelectRegionDlg::KeysActive() const {
    if (m_ended) return false;
    return !(m_state == SelectRegionState::PaletteOpen || m_state == SelectRegionState::SaveDialogOpen ||
             (m_state == SelectRegionState::Text && m_textBox));
}

void CSelectRegionDlg::PollKeys() {
    bool edge[kEditorKeyCount];
    for (int i = 0; i < kEditorKeyCount; i++) {
        if (m_env.readKey) {
            SelectRegionEnvironment::KeyRead read = m_env.readKey(kEditorKeys[i]);
            edge[i] = m_keys[i].PollPressed(read.down, read.pressedSince);
        } else {
            edge[i] = m_keys[i].Poll(m_env.isKeyDown(kEditorKeys[i]));
        }
    }
    KeyEdges keys;
    keys.escape = edge[0];
    keys.enter = edge[1];
    keys.c = edge[2];
    keys.s = edge[3];
    keys.z = edge[4];
    keys.ctrl = m_env.isKeyDown(VK_CONTROL);
    RunKeyCommand(KeyTimerCommand(keys, m_state));
}

BOOL CSelectRegionDlg::PreTranslateMessage(MSG* msg) {
    if (msg) TakeKeyMessage(*msg);
    return FALSE;
}

void CSelectRegionDlg::TakeKeyMessage(const MSG& msg) {
    bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    bool up = msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP;
    if ((!down && !up) || !KeysActive()) return;
    int index = EditorKeyIndex(static_cast<int>(msg.wParam));
    if (index < 0) return;
    // The press is counted here: its "pressed since" bit is taken now, so that the key
    // timer does not count it again.
    if (down && m_env.readKey) m_env.readKey(static_cast<int>(msg.wParam));
    if (!m_keys[index].Poll(down)) return;
    // Ctrl as it was when this key went down (the thread's key state follows the
    // messages taken so far), not as it is now.
    bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    RunKeyCommand(KeyPressCommand(index, ctrl, m_state));
}

void CSelectRegionDlg::RunKeyCommand(KeyCommand command) {
    switch (command) {
    case KeyCommand::Cancel: Post(WM_APP_EDITOR_CANCEL); break;
    case KeyCommand::Accept: Post(WM_APP_EDITOR_ACCEPT); break;
    case KeyCommand::Copy: Post(WM_APP_EDITOR_COPY); break;
    case KeyCommand::Save: Post(WM_APP_EDITOR_SAVE); break;
    case KeyCommand::Undo: Post(WM_APP_EDITOR_UNDO); break;
    case KeyCommand::None: break;
    }
}

void CSelectRegionDlg::ToggleEditorByHotkey() {
    bool held = m_env.isDrawModeHotkeyHeld();
    int changed = ::ToggleEditorByHotkey(held, m_state, m_mode, m_hotkeyLatch);
    if (changed > 0) PostEvent(L"Activate Editor");
    else if (changed < 0) PostEvent(L"Deactivate Editor");
}

LRESULT CSelectRegionDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    UINT flags = static_cast<UINT>(wParam);
    switch (msg) {
    case WM_PAINT: OnPaint(); return 0;
    case WM_ERASEBKGND: return 0;
    case WM_SETCURSOR: return TRUE;
    case WM_MOUSEMOVE: OnMouseMove(flags, p); break;
    case WM_LBUTTONDOWN: OnLButtonDown(flags, p); break;
    case WM_LBUTTONUP: OnLButtonUp(flags, p); break;
    case WM_RBUTTONDOWN: OnRButtonDown(flags, p); break;
    case WM_RBUTTONUP: OnRButtonUp(flags, p); break;
    case WM_MOUSEWHEEL: OnMouseWheel(GET_KEYSTATE_WPARAM(wParam), GET_WHEEL_DELTA_WPARAM(wParam), p); return 0;
    case WM_APP_EDITOR_ACCEPT: return OnAccept(wParam, lParam);
    case WM_APP_EDITOR_CANCEL: return OnCancelSelection();
    case WM_APP_EDITOR_DRAW_MODE_ON: PostEvent(L"Activate Draw Mode"); return 0;
    case WM_APP_EDITOR_DRAW_MODE_OFF: PostEvent(L"Deactivate Draw Mode"); return 0;
    case WM_APP_EDITOR_DRAW_MODE_SET: return 0;
    case WM_APP_EDITOR_SAVE: return OnSave(wParam, lParam);
    case WM_APP_EDITOR_COPY: return OnCopy();
    case WM_APP_EDITOR_UPLOAD: return OnUploadRequest(wParam, lParam);
    case WM_APP_EDITOR_TOOL_ARROW: return OnTool(SelectRegionState::Arrow, kUsedArrow, L"Use Arrow");
    case WM_APP_EDITOR_TOOL_PENCIL: return OnTool(SelectRegionState::Pencil, kUsedPencil, L"Use Pencil");
    case WM_APP_EDITOR_TOOL_TEXT: return OnTool(SelectRegionState::Text, kUsedText, L"Use Text");
    case WM_APP_EDITOR_TOOL_RECTANGLE: return OnTool(SelectRegionState::Rectangle, kUsedRectangle, L"Use Rectangle");
    case WM_APP_EDITOR_TOOL_BLUR: return OnTool(SelectRegionState::Blur, kUsedBlur, L"Use Blur");
    case WM_APP_EDITOR_PALETTE: return OnPaletteSelected();
    case WM_APP_EDITOR_UNDO: return OnUndo();
    case WM_APP_EDITOR_TOOL_ARROW_OFF: return OnToolArrowOff();
    case WM_APP_EDITOR_TOOL_PENCIL_OFF:
    case WM_APP_EDITOR_TOOL_BLUR_OFF:
    case WM_APP_EDITOR_TOOL_RECTANGLE_OFF:
    case WM_APP_EDITOR_TOOL_TEXT_OFF: return OnToolOff();
    case WM_APP_EDITOR_TEXT_COMMIT: return OnTextCommit();
    case WM_APP_EDITOR_TEXT_CLOSE: return OnTextClose();
    case WM_APP_EDITOR_TEXT_DRAG: return OnTextDrag();
    case kMsgDeleteTextBoxes: m_deadTextBoxes.clear(); return 0;
    case kMsgAfterFirstPaint: AfterFirstPaint(); return 0;
    default: break;
    }
    return CDialogEx::WindowProc(msg, wParam, lParam);
}
