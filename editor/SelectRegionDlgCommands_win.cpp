// The region selection dialog's commands: accept and the result image, cancel, save,
// copy, upload, palette, undo, the tools and the text box's messages.
#include <exception>
#include <stdexcept>

#include "classlib/FileDialog.h"
#include "classlib/LayoutManager.h"
#include "editor/DrawTextCommand.h"
#include "editor/EditorMessages.h"
#include "editor/ResultSeam.h"
#include "editor/SelectRegionToolsDlg.h"
#include "editor/TavimoreColorDlg.h"
#include "editor/SelectRegionDlg.h"
#include "editor/TextBoxDlg.h"
#include "foundation/Log.h"

namespace {

// Places a popup at a fixed screen point, fully opaque (the save dialog).
class FixedPointLayouter : public ILayoutManager {
public:
    explicit FixedPointLayouter(POINT p) : m_point(p) {}
    POINT GetPosition(HWND popup) override { return m_point; }
    float GetOpacity(HWND popup) override { return 1.0f; }

private:
    POINT m_point;
};

// Places the colour dialog inside the selection's bottom-right corner, kept on the
// virtual screen.
class PaletteLayouter : public ILayoutManager {
public:
    PaletteLayouter(RECT selection, RECT screen) : m_selection(selection), m_screen(screen) {}
    POINT GetPosition(HWND popup) override {
        RECT r{};
        if (popup) GetWindowRect(popup, &r);
        POINT p{m_selection.right - (r.right - r.left) - 4, m_selection.bottom - (r.bottom - r.top) - 4};
        if (p.x < m_screen.left) p.x = m_screen.left + 4;
        if (p.y < m_screen.top) p.y = m_screen.top + 4;
        return p;
    }
    float GetOpacity(HWND popup) override { return 1.0f; }

private:
    RECT m_selection, m_screen;
};

}  // namespace

void CSelectRegionDlg::EndWith(INT_PTR result) {
    if (m_ended) return;
    m_ended = true;
    KillTimer(0);
    KillTimer(1);
    KillTimer(2);
    KillTimer(4);
    DestroyTextBox();
    EndDialog(result);
}

LRESULT CSelectRegionDlg::OnAccept(WPARAM, LPARAM) {
    if (m_ended) return 0;
    KillTimer(0);
    KillTimer(1);
    if (m_state == SelectRegionState::NoSelection) {
        EndWith(IDCANCEL);
        return 0;
    }
    // A text still being typed belongs to the picture.
    if (m_textBox && m_textBox->m_hWnd && !m_textBox->m_edit.m_dragging) OnTextClose();
    // The result step may throw; nothing may leave a window procedure, and the shell
    // must learn that the shot failed (the editor closes, the flow reports it).
    try {
        GetImage();
        RECT s = GetSelection();
        m_selectedRect = {s.left + m_virtualScreen.left, s.top + m_virtualScreen.top, s.right + m_virtualScreen.left,
                          s.bottom + m_virtualScreen.top};
        EndWith(IDOK);
    } catch (const std::exception& e) {
        Log("CSelectRegionDlg::OnAccept: %s\n", e.what());
        EndWith(kSelectRegionFailed);
    } catch (...) {
        Log("CSelectRegionDlg::OnAccept: unknown exception\n");
        EndWith(kSelectRegionFailed);
    }
    return 0;
}

void CSelectRegionDlg::GetImage() {
    RECT s = GetSelection();
    if (m_annotations.Size() > 0 && m_undimmed) {
        UniqueDC dc(CreateCompatibleDC(WindowDC(m_hWnd).get()));
        SelectScope screen(dc.get(), m_undimmed.get());
        for (const auto& command : m_annotations.Items()) command->Draw(dc.get());
    }
    m_resultImage.Destroy();
    RunResultSeam();
    if (m_undimmed) {
        m_resultImage.CreateFromHBITMAP(m_undimmed.get(), nullptr);
        m_resultImage.Crop(s.left, s.top, s.right, s.bottom);
    }
    if (!m_resultImage.IsValid()) throw std::runtime_error("CSelectRegionDlg::GetImage()");
}

LRESULT CSelectRegionDlg::OnCancelSelection() {
    if (m_ended) return 0;
    PostEvent(L"Cancel");
    EndWith(IDCANCEL);
    return 0;
}

LRESULT CSelectRegionDlg::OnSave(WPARAM wParam, LPARAM lParam) {
    if (m_ended || m_state == SelectRegionState::SaveDialogOpen || m_state == SelectRegionState::PaletteOpen) return 0;
    PostEvent(L"Save to Disk");
    int saved = m_state;
    m_state = SelectRegionState::SaveDialogOpen;
    ShowPanels(false);
    CPositionedFileDlg dialog(false, nullptr, m_defaultFileName.c_str(),
                              OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NONETWORKBUTTON,
                              L"Jpeg Files (*.jpg)|*.jpg|PNG Files (*.png)|*.png|", m_hWnd);
    std::wstring folder = m_env.lastSaveFolder();
    dialog.SetInitialDir(folder);
    dialog.SetFilterIndex(m_env.imageTypeId() == 1 ? 1 : 2);
    FixedPointLayouter layouter({4, 4});
    dialog.m_layout = &layouter;
    INT_PTR result = dialog.DoModal();
    m_state = saved;
    ShowPanels(true);
    if (result != IDOK) return 0;
    m_action = kActionFile;
    m_savePath = dialog.GetPathName();
    size_t slash = m_savePath.find_last_of(L'\\');
    m_env.setLastSaveFolder(slash == std::wstring::npos ? m_savePath : m_savePath.substr(0, slash));
    Post(WM_APP_EDITOR_ACCEPT, wParam, lParam);
    return 0;
}

LRESULT CSelectRegionDlg::OnCopy() {
    if (m_ended) return 0;
    PostEvent(L"Save to Clipboard");
    m_action = kActionClipboard;
    Post(WM_APP_EDITOR_ACCEPT);
    return 0;
}

LRESULT CSelectRegionDlg::OnUploadRequest(WPARAM wParam, LPARAM lParam) {
    Post(WM_APP_EDITOR_ACCEPT, wParam, lParam);
    return 0;
}

LRESULT CSelectRegionDlg::OnPaletteSelected() {
    if (m_ended || m_state == SelectRegionState::SaveDialogOpen || m_state == SelectRegionState::PaletteOpen) return 0;
    PostEventOnce(kUsedPalette, L"Use Palette");
    int saved = m_state;
    m_state = SelectRegionState::PaletteOpen;
    ShowPanels(false);
    RECT s = GetSelection();
    RECT selection{s.left + m_virtualScreen.left, s.top + m_virtualScreen.top, s.right + m_virtualScreen.left,
                   s.bottom + m_virtualScreen.top};
    PaletteLayouter layouter(selection, m_virtualScreen);
    CTavimoreColorDlg dialog(GetColor(), 0, m_hWnd);
    dialog.m_layout = &layouter;
    if (dialog.DoModal() == IDOK && m_toolsPanel) {
        m_toolsPanel->SetColor(dialog.GetColor());
        m_env.setDrawColor(m_toolsPanel->m_color);
    }
    m_state = saved;
    ShowPanels(true);
    return 0;
}

LRESULT CSelectRegionDlg::OnUndo() {
    PostEventOnce(kUsedUndo, L"Use Undo");
    m_annotations.Undo();
    return 0;
}

LRESULT CSelectRegionDlg::OnTool(int state, int usedFlag, const wchar_t* action) {
    PostEventOnce(usedFlag, action);
    m_state = state;
    return 0;
}

LRESULT CSelectRegionDlg::OnToolArrowOff() {
    m_state = SelectRegionState::Selected;
    m_arrowTurnedOff = true;
    return 0;
}

LRESULT CSelectRegionDlg::OnToolOff() {
    m_state = SelectRegionState::Selected;
    return 0;
}

LRESULT CSelectRegionDlg::OnTextCommit() {
    if (!m_textBox || !m_textBox->m_hWnd) return 0;
    RECT box;
    GetWindowRect(m_textBox->m_hWnd, &box);
    OffsetRect(&box, -m_virtualScreen.left, -m_virtualScreen.top);
    m_anchor = {box.left, box.top};
    m_annotations.Append(std::make_shared<DrawTextCommand>(box.left + 9, box.top + 4, m_textBox->GetText(),
                                                           GetColor(), L"Calibri", g_editorTextSize));
    InvalidateRect(m_hWnd, &box, FALSE);
    // The text is in the picture now: the box is done (Ctrl+Z hides it without a close).
    DestroyTextBox();
    return 0;
}

LRESULT CSelectRegionDlg::OnTextClose() {
    if (!m_textBox) return 0;
    // Hiding makes the box send its commit (which releases it).
    if (m_textBox->m_hWnd && ::IsWindowVisible(m_textBox->m_hWnd)) m_textBox->ShowWindow(SW_HIDE);
    DestroyTextBox();
    return 0;
}

void CSelectRegionDlg::DestroyTextBox() {
    if (!m_textBox) return;
    // The box may be inside its own message chain: its object dies later.
    m_deadTextBoxes.emplace_back(m_textBox);
    m_textBox = nullptr;
    if (m_hWnd) Post(kMsgDeleteTextBoxes);
}

LRESULT CSelectRegionDlg::OnTextDrag() {
    if (!m_textBox || !m_textBox->m_hWnd) return 0;
    PostEventOnce(kUsedDragText, L"Use Drag Text");
    m_state = SelectRegionState::TextDrag;
    m_textBox->ShowWindow(SW_HIDE);
    ShowPanels(false);
    m_buttonDown = true;
    m_lastPoint = CursorInClient();
    RECT box;
    GetWindowRect(m_textBox->m_hWnd, &box);
    m_anchor = {box.left - m_virtualScreen.left, box.top - m_virtualScreen.top};
    AppendTextDragPreview();
    return 0;
}
