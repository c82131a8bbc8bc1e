#pragma once
// The region selection dialog's decisions that need no window: states, hover and cursor
// choices, panel and label placement, the key timer, the wheel, the draw-mode hotkey
// latch, the preview rule and the undo checkpoints. CSelectRegionDlg feeds them what it
// reads from the system and carries out what they return. UI thread only.
#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct SelectRegionState {
    enum Value : int {
        None = 0,   // "no saved state"
        NoSelection = 1,
        Selecting = 2,
        Selected = 3,
        Pencil = 4,
        Arrow = 5,
        PaletteOpen = 6,
        SaveDialogOpen = 7,
        Text = 8,
        Rectangle = 9,
        Blur = 10,
        HoverEdge = 11,
        HoverOutside = 12,
        TextDrag = 13,
    };
};

// Bit flags of the dialog's mode.
enum SelectRegionMode : int {
    kModePlain = 0,
    kModeEditor = 1,
    kModeVideo = 2,
};

// What the shell is asked to do with the image.
enum SelectRegionAction : int {
    kActionNone = -1,
    kActionUpload = 0,
    kActionClipboard = 1,
    kActionFile = 2,
};

// A tool state: Pencil, Arrow, Text, Rectangle or Blur.
bool IsToolState(int state);

// Which grab bands of the selection a point lies on (SelectionTracker::HitEdges).
struct EdgeHits {
    bool left = false, right = false, top = false, bottom = false;
    bool Any() const { return left || right || top || bottom; }
};

// The hover step: what the dialog does when the cursor moves with the button up.
struct HoverResult {
    int state;
    int savedState;
    // Selected with an active tool: the tools panel selects its tool again (which
    // switches the dialog to that tool's state).
    bool reselectTool = false;
};
// `inside`: the point lies in the selection's inner area. Returns the state unchanged
// in NoSelection, Selecting and TextDrag and while the button is down.
HoverResult NextHoverState(int state, int savedState, bool buttonDown, bool onBand, bool inside, bool toolActive);

enum class EditorCursor { Unchanged, Arrow, Cross, SizeAll, IBeam, SizeNWSE, SizeNESW, SizeWE, SizeNS };
// The edge cursor of the bands under the point; Unchanged when none.
EditorCursor EdgeCursor(const EdgeHits& edges);
EditorCursor CursorFor(int state, const EdgeHits& edges, bool inside, int savedState, bool toolActive);

struct IntPoint {
    int x = 0, y = 0;
};
struct IntRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The size label's top-left for the ordered selection; `bounds` is the client area.
IntPoint SizeLabelPosition(const IntRect& selection, const IntRect& bounds);
// The tools panel (w x h) below the selection, right-aligned; above it when there is no
// room below; inside its bottom-right corner when there is none above either.
IntPoint PlaceToolsPanel(const IntRect& selection, int w, int h, const IntRect& bounds);
// The management panel (w x h) beside the selection, kept clear of the tools panel at
// `tools` (its window rectangle).
IntPoint PlaceManagementPanel(const IntRect& selection, int w, int h, const IntRect& tools, const IntRect& bounds);
// Touching rectangles overlap.
bool RectanglesTouch(const IntRect& a, const IntRect& b);

// The key timer: which command one poll posts.
struct KeyEdges {
    bool escape = false, enter = false, ctrl = false, c = false, s = false, z = false;
};
enum class KeyCommand { None, Cancel, Accept, Copy, Save, Undo };
KeyCommand KeyTimerCommand(const KeyEdges& keys, int state);

// The keys the editor acts on, in the order of its KeyEdgeReaders: Esc, Return, C, S, Z
// (virtual key codes). EditorKeyIndex gives a key's place, -1 for any other key.
constexpr int kEditorKeys[] = {0x1B, 0x0D, 'C', 'S', 'Z'};
constexpr int kEditorKeyCount = 5;
int EditorKeyIndex(int virtualKey);
// The command of one press of the key at `index` (Ctrl held or not), as the key timer
// would post it for that press alone.
KeyCommand KeyPressCommand(int index, bool ctrl, int state);

// "Pressed since the last look" for one key, made from the plain key state: a press is
// counted once, when the key is down now and was up at the look before. The looks come
// from two places in the order the window sees them: the key timer's poll of the key
// state, and the window's own key messages (down and up). A short press that falls
// between two polls still arrives as messages, and a press seen by both counts once:
// whichever looks first counts it, the other sees the key down already. (The system
// queues a key's message before its new state can be polled, and takes input
// messages before timers, so a poll never runs ahead of a press's down message.)
// GetAsyncKeyState's own "pressed since the last query" bit is not used: Wine sets it
// one query late and any thread's query clears it process-wide, so it would count a
// held key twice or lose a press to the hotkey poller.
class KeyEdgeReader {
public:
    bool Poll(bool downNow) {
        bool edge = downNow && !m_wasDown;
        m_wasDown = downNow;
        return edge;
    }
    void Prime(bool downNow) { m_wasDown = downNow; }
    // A poll that also has the key's "pressed since the previous read" bit: a press that
    // began and ended between two polls (a timer that came late) counts once. The bit is
    // taken only when this reader saw the key up before, so a press already counted (from
    // a key message, or held at the previous poll) does not count again; the first such
    // poll ignores it (a press from before the dialog).
    bool PollPressed(bool downNow, bool pressedSince) {
        bool tapped = !downNow && pressedSince && m_bitRead && !m_wasDown;
        m_bitRead = true;
        if (tapped) return true;   // down and up again since the last poll: still up
        return Poll(downNow);
    }

private:
    bool m_wasDown = true;   // a key held when the dialog opens does not count
    bool m_bitRead = false;
};

// What an open editor shows depends, beside the frozen screen, on these: the window is
// repainted when one of them changed since the last paint (and when the system asks).
struct EditorPicture {
    int state = 0;
    int mode = 0;
    int penWidth = 0;
    unsigned long color = 0;
    unsigned long long overlayRevision = 0;      // the selection's frame, handles and label
    unsigned long long annotationRevision = 0;   // the marks
    bool followsCursor = false;                  // the cursor's place is part of the picture
    int cursorX = 0, cursorY = 0;                // only while followsCursor
    bool operator==(const EditorPicture& o) const;
    bool operator!=(const EditorPicture& o) const { return !(*this == o); }
};
// The picture shows something at the cursor: the mode badge while nothing is selected
// yet (in editor or video mode), the pen's dot while the pencil, arrow or rectangle is
// chosen.
bool PictureFollowsCursor(int mode, int state);

// The wheel: the pen width moves by 2 within 6..60 (a zero delta leaves it); the text
// size by 20 within 140..800 (a zero delta shrinks it).
constexpr int kMinPenWidth = 6, kMaxPenWidth = 60;
constexpr int kMinTextSize = 140, kMaxTextSize = 800;
int NextPenWidth(int width, int delta);
int NextTextSize(int size, int delta);

// The draw-mode hotkey (timer 4). Returns +1 when the editor is switched on, -1 when
// off, 0 when nothing changed; `mode` and `latch` are updated.
int ToggleEditorByHotkey(bool comboHeld, int state, int& mode, bool& latch);

// The right button's release.
enum class RightRelease { Ignore, Cancel, BackToNoSelection, DropSelection };
RightRelease OnRightRelease(int state, bool rightPressSeen);

// The text box's lines for fitting: split at "\n" with every "\r" dropped; an empty
// line between two "\n" counts, the text after the last "\n" only when not empty; then
// one spare line of two spaces.
std::vector<std::wstring> TextBoxLines(const std::wstring& text);

// The live preview of the running drag and the undo checkpoints over the annotation
// list. A preview added by this drag replaces itself on later moves; a new press starts
// a new drag (the earlier marks are never replaced), and only a drag that added a
// preview frame removes it again.
template <class T>
class AnnotationList {
public:
    using Item = std::shared_ptr<T>;

    const std::vector<Item>& Items() const { return m_items; }
    size_t Size() const { return m_items.size(); }
    // Grows with every change of the list (a repaint is due).
    unsigned long long Revision() const { return m_revision; }
    void Append(Item item) {
        m_items.push_back(std::move(item));
        ++m_revision;
    }
    void RemoveLast(size_t n) {
        while (n-- > 0 && !m_items.empty()) {
            m_items.pop_back();
            ++m_revision;
        }
    }

    // A left press: a new drag begins.
    void BeginDrag() {
        m_addedOne = false;
        m_addedMany = 0;
    }
    // The press starts a stroke, arrow, rectangle, blur or text box: remember where the
    // list stood, so that one undo removes all of it.
    void PushCheckpoint() {
        if (!m_items.empty()) m_checkpoints.push_back(static_cast<int>(m_items.size()) - 1);
    }
    // Preview of one command (arrow, rectangle): dropped with the button up.
    void ReplaceLast(Item item, bool buttonDown) {
        if (!buttonDown) return;
        if (m_addedOne && !m_items.empty()) m_items.back() = std::move(item);
        else m_items.push_back(std::move(item));
        m_addedOne = true;
        ++m_revision;
    }
    // Preview of several commands (the blur area and its frame).
    void ReplaceLastMany(std::vector<Item> items, bool buttonDown) {
        if (!buttonDown) return;
        RemoveLast(m_addedMany);
        for (Item& item : items) m_items.push_back(std::move(item));
        m_addedMany = items.size();
        ++m_revision;
    }
    // The blur's release: the frame of this drag's preview goes, the area stays.
    void RemovePreviewFrame() {
        if (m_addedMany >= 2) RemoveLast(1);
        m_addedMany = 0;
    }
    // One undo: back to the last checkpoint (everything when none is left).
    void Undo() {
        if (m_items.empty()) return;
        int k = -1;
        if (!m_checkpoints.empty()) {
            k = m_checkpoints.back();
            m_checkpoints.pop_back();
        }
        // Everything after item k goes.
        size_t keep = k < 0 ? 0 : std::min(m_items.size(), static_cast<size_t>(k) + 1);
        RemoveLast(m_items.size() - keep);
    }
    size_t CheckpointCount() const { return m_checkpoints.size(); }

private:
    std::vector<Item> m_items;
    std::vector<int> m_checkpoints;
    bool m_addedOne = false;
    size_t m_addedMany = 0;
    unsigned long long m_revision = 0;
};
