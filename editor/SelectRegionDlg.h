#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "classlib/Dialog.h"
#include "editor/SelectRegionEnvironment.h"
#include "editor/SelectRegionLogic.h"
#include "foundation/WinHandles.h"
#include "image/PxImage.h"

class IDrawCommand;
class SelectionTracker;
class CSelectRegionManagementDlg;
class CSelectRegionToolsDlg;
class CTextBoxDlg;

// The text size of the editor's text tool in tenths of a point (140..800), shared with
// the text box. Set to 140 by every editor that is made. UI thread only.
extern int g_editorTextSize;

// The full-screen modal dialog in which the user picks a region of the frozen screen
// and, in editor mode, marks it up. Its client area is the virtual screen. After
// DoModal (IDOK, IDCANCEL, or kSelectRegionFailed when the result could not be made)
// the caller reads m_resultImage, m_mode, m_action, m_savePath and m_selectedRect.
class CSelectRegionDlg : public CDialogEx {
public:
    CSelectRegionDlg(const PxImage& screen, std::wstring defaultFileName, bool editorMode, CWnd* parent);
    CSelectRegionDlg(const PxImage& screen, std::wstring defaultFileName, bool editorMode, CWnd* parent,
                     SelectRegionEnvironment environment);
    ~CSelectRegionDlg() override;

    static constexpr INT_PTR kSelectRegionFailed = IDABORT;
    // The used flags: each analytics event of a tool is sent once per dialog.
    enum UsedFlag { kUsedArrow, kUsedPencil, kUsedText, kUsedPalette, kUsedUndo, kUsedRectangle, kUsedBlur, kUsedDragText };
    // Deletes the text boxes closed meanwhile (posted to the dialog).
    static constexpr UINT kMsgDeleteTextBoxes = WM_USER + 0x460;
    // Makes what the first frame did not need: the panels and the blur picture (posted
    // once the first frame is painted).
    static constexpr UINT kMsgAfterFirstPaint = WM_USER + 0x461;
    int GetCursorChoice() const { return m_cursor; }

    RECT m_selectedRect{};   // screen coordinates, written on accept
    int m_mode = kModePlain;
    int m_action = kActionUpload;
    std::wstring m_savePath;
    PxImage m_resultImage;
    int m_penWidth = kMinPenWidth;

    // Read by tests and the panels.
    int GetState() const { return m_state; }
    int GetSavedState() const { return m_savedState; }
    size_t GetAnnotationCount() const { return m_annotations.Size(); }
    COLORREF GetColor() const;
    CTextBoxDlg* GetTextBox() const { return m_textBox; }
    CSelectRegionToolsDlg* GetToolsPanel() const { return m_toolsPanel.get(); }
    CSelectRegionManagementDlg* GetManagementPanel() const { return m_managementPanel.get(); }
    // The ordered selection in client coordinates.
    RECT GetSelection() const;
    bool IsHotkeyLatched() const { return m_hotkeyLatch; }
    // Whether the blur picture has been made (starts the preparation when it has not
    // started yet, and joins it).
    bool IsBlurReady();
    // Whether the window has been painted once.
    bool IsFirstPaintDone() const { return m_firstPaintDone; }

    // The wheel step (also called by the text box's edit).
    void OnMouseWheel(UINT flags, short delta, POINT screenPoint);

    // The preview rule: a drag's first move adds its preview, later moves replace it.
    void ReplaceLastAnnotation(std::shared_ptr<IDrawCommand> command);
    void ReplaceLastAnnotations(std::vector<std::shared_ptr<IDrawCommand>> commands, size_t n);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Sees the key messages of the editor and its panels before they are dispatched
    // (the keys' commands); never consumes one.
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    BOOL OnInitDialog() override;
    // Enter and Esc are the key timer's: the dialog's own keys do nothing.
    void OnOK() override {}
    void OnCancel() override {}
    void OnTimer(UINT_PTR id) override;

private:
    friend class CSelectRegionDlgTestAccess;

    // Painting and input (SelectRegionDlg_win.cpp).
    void OnPaint();
    // The window's first frame is on the screen: what it did not need can be made now.
    void OnFirstPaint();
    void AfterFirstPaint();
    void CreatePanels();
    // The picture the window would show now, and whether it differs from the painted one.
    EditorPicture CurrentPicture() const;
    void RepaintIfChanged();
    void ClearOverlay();
    void OnMouseMove(UINT flags, POINT p);
    void OnLButtonDown(UINT flags, POINT p);
    void OnLButtonUp(UINT flags, POINT p);
    void OnRButtonDown(UINT flags, POINT p);
    void OnRButtonUp(UINT flags, POINT p);
    void UpdateHoverState(POINT p);
    void UpdateCursor(POINT p);
    void SetEdgeCursor(POINT p);
    void PlaceToolsPanel();
    void PlaceManagementPanel();
    void ShowPanels(bool show);
    void ToggleEditorByHotkey();
    void PollKeys();
    bool KeysActive() const;
    void TakeKeyMessage(const MSG& msg);
    void KeepOnTop();
    void RunKeyCommand(KeyCommand command);
    void RebuildSelectionOverlay();
    void StartFreshTracker(POINT p);
    POINT CursorInClient() const;
    HBITMAP BlurBitmap();
    void StartBlurPreparation();
    void JoinBlurThread();
    void PostEvent(const wchar_t* action);
    void PostEventOnce(int flag, const wchar_t* action);
    void AppendTextDragPreview();
    void OpenTextBox(POINT p);
    EdgeHits EdgesAt(POINT p);
    void ApplyCursor(int cursor);

    // Commands and result (SelectRegionDlgCommands_win.cpp).
    LRESULT OnAccept(WPARAM wParam, LPARAM lParam);
    void GetImage();
    LRESULT OnCancelSelection();
    LRESULT OnSave(WPARAM wParam, LPARAM lParam);
    LRESULT OnCopy();
    LRESULT OnUploadRequest(WPARAM wParam, LPARAM lParam);
    LRESULT OnPaletteSelected();
    LRESULT OnUndo();
    LRESULT OnTool(int state, int usedFlag, const wchar_t* action);
    LRESULT OnToolArrowOff();
    LRESULT OnToolOff();
    LRESULT OnTextCommit();
    LRESULT OnTextClose();
    LRESULT OnTextDrag();
    void DestroyTextBox();
    bool ToolActive() const;
    void EndWith(INT_PTR result);

    SelectRegionEnvironment m_env;
    int m_state = SelectRegionState::NoSelection;
    int m_savedState = SelectRegionState::None;
    UniqueBitmap m_dimmed;     // 8-bit grey levels with the dimmed palette
    UniqueBitmap m_undimmed;
    UniqueDC m_backDC;         // holds the dimmed screen, the base of every repaint
    UniqueBitmap m_backBitmap;
    SelectScope m_backSelection;   // after the bitmap: deselects it before it is deleted
    UniqueDC m_frameDC;        // the off-screen frame of each repaint
    UniqueBitmap m_frameBitmap;
    SelectScope m_frameSelection;
    RECT m_client{};
    RECT m_virtualScreen{};
    POINT m_lastPoint{};
    UniqueBitmap m_blur;
    std::thread m_blurThread;
    bool m_blurStarted = false;
    // The screen for the blur picture when the undimmed bitmap cannot be read as rows.
    std::shared_ptr<PxImage> m_blurSource;
    bool m_used[8] = {};
    std::unique_ptr<SelectionTracker> m_tracker;
    bool m_buttonDown = false;
    bool m_rightPress = false;
    bool m_arrowTurnedOff = false;
    std::unique_ptr<CSelectRegionManagementDlg> m_managementPanel;
    std::unique_ptr<CSelectRegionToolsDlg> m_toolsPanel;
    CTextBoxDlg* m_textBox = nullptr;
    // Boxes closed inside their own message chain, deleted by a posted message.
    std::vector<std::unique_ptr<CTextBoxDlg>> m_deadTextBoxes;
    IntRect m_toolsPlace;       // the tools panel's place, client coordinates
    int m_cursor = 0;           // the EditorCursor set last
    POINT m_anchor{};
    bool m_horizontalLock = false, m_verticalLock = false;
    std::vector<std::shared_ptr<IDrawCommand>> m_overlay;
    unsigned long long m_overlayRevision = 0;
    EditorPicture m_painted;        // what the last paint showed
    bool m_firstPaintDone = false;
    AnnotationList<IDrawCommand> m_annotations;
    std::wstring m_defaultFileName;
    PxImage m_editorBadge, m_videoBadge;
    bool m_hotkeyLatch = false;
    bool m_ended = false;
    KeyEdgeReader m_keys[kEditorKeyCount];   // kEditorKeys (Ctrl is read as held)
};
