#include "editor/SelectRegionLogic.h"

#include <algorithm>


bool IsToolState(int state) {
    return state == SelectRegionState::Pencil || state == SelectRegionState::Arrow || state == SelectRegionState::Text || state == SelectRegionState::Rectangle || state == SelectRegionState::Blur;
}

HoverResult NextHoverState(int state, int savedState, bool buttonDown, bool onBand, bool inside, bool toolActive) {
    HoverResult r{state, savedState};
    if (state == SelectRegionState::NoSelection || state == SelectRegionState::Selecting || state == SelectRegionState::TextDrag || buttonDown) return r;
    if (onBand) {
        if (state == SelectRegionState::HoverEdge || (state == SelectRegionState::Selected && savedState != SelectRegionState::None)) return r;
        if (state != SelectRegionState::HoverOutside) r.savedState = state;
        r.state = SelectRegionState::HoverEdge;
        return r;
    }
    if (state == SelectRegionState::Selected) {
        // Selected reaches HoverOutside only through HoverEdge.
        r.reselectTool = toolActive;
        return r;
    }
    if (inside) {
        if ((state == SelectRegionState::HoverEdge || state == SelectRegionState::HoverOutside) && savedState != SelectRegionState::None) {
            r.state = savedState;
            r.savedState = SelectRegionState::None;
        }
        return r;
    }
    if (state != SelectRegionState::HoverOutside) {
        if (state != SelectRegionState::HoverEdge) r.savedState = state;
        r.state = SelectRegionState::HoverOutside;
    }
    return r;
}

EditorCursor EdgeCursor(const EdgeHits& e) {
    if (e.left && e.top) return EditorCursor::SizeNWSE;
    if (e.right && e.top) return EditorCursor::SizeNESW;
    if (e.right && e.bottom) return EditorCursor::SizeNWSE;
    if (e.left && e.bottom) return EditorCursor::SizeNESW;
    if (e.left || e.right) return EditorCursor::SizeWE;
    if (e.top || e.bottom) return EditorCursor::SizeNS;
    return EditorCursor::Unchanged;
}

EditorCursor CursorFor(int state, const EdgeHits& edges, bool inside, int savedState, bool toolActive) {
    switch (state) {
    case SelectRegionState::Selecting: return EditorCursor::Unchanged;
    case SelectRegionState::Selected:
        if (edges.Any()) return EdgeCursor(edges);
        if (inside) return toolActive ? EditorCursor::Cross : EditorCursor::SizeAll;
        return savedState != SelectRegionState::None && toolActive ? EditorCursor::SizeAll : EditorCursor::Cross;
    case SelectRegionState::Text: return EditorCursor::IBeam;
    case SelectRegionState::HoverEdge: return EdgeCursor(edges);
    case SelectRegionState::HoverOutside:
    case SelectRegionState::TextDrag: return EditorCursor::SizeAll;
    default: return EditorCursor::Cross;
    }
}

IntPoint SizeLabelPosition(const IntRect& s, const IntRect& bounds) {
    IntPoint p{s.left, s.top - 20};
    if (p.y < bounds.top) p = {s.left + 4, s.top + 4};
    if (bounds.right < p.x + 50) p = {s.left - 40, s.top};
    return p;
}

IntPoint PlaceToolsPanel(const IntRect& s, int w, int h, const IntRect& bounds) {
    IntPoint p{s.right - w + 1, s.bottom + 10};
    if (p.y + h > bounds.bottom) {
        p.y = s.top - h - 10;
        if (p.y < bounds.top) p = {s.right - w - 9, s.bottom - h - 10};
    }
    p.x = std::max(p.x, bounds.left + 1);
    return p;
}

bool RectanglesTouch(const IntRect& a, const IntRect& b) {
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

IntPoint PlaceManagementPanel(const IntRect& s, int w, int h, const IntRect& tools, const IntRect& bounds) {
    IntPoint p{s.right + 10, s.bottom - h + 1};
    if (p.x + w > bounds.right) {
        p.x = s.left - w - 10;
        if (p.x < bounds.left + 1) {
            p.x = s.right - w - 10;
            if (tools.top > p.y && tools.top < p.y + h) p.y = p.y - (tools.bottom - tools.top) - 14;
        }
    }
    if (p.y < bounds.top) p.y = bounds.top + 1;
    if (RectanglesTouch({p.x, p.y, p.x + w, p.y + h}, tools)) {
        p.x = tools.right + 10;
        if (p.x + w > bounds.right) p.x = tools.left - w - 10;
    }
    return p;
}

KeyCommand KeyTimerCommand(const KeyEdges& k, int state) {
    if (k.escape && state != SelectRegionState::Text) return KeyCommand::Cancel;
    if (k.enter) return KeyCommand::Accept;
    if (k.ctrl) {
        if (k.c) return KeyCommand::Copy;
        if (k.s) return KeyCommand::Save;
        if (k.z) return KeyCommand::Undo;
    }
    return KeyCommand::None;
}

int EditorKeyIndex(int virtualKey) {
    for (int i = 0; i < kEditorKeyCount; ++i) {
        if (kEditorKeys[i] == virtualKey) return i;
    }
    return -1;
}

KeyCommand KeyPressCommand(int index, bool ctrl, int state) {
    KeyEdges keys;
    keys.ctrl = ctrl;
    bool* edges[kEditorKeyCount] = {&keys.escape, &keys.enter, &keys.c, &keys.s, &keys.z};
    if (index < 0 || index >= kEditorKeyCount) return KeyCommand::None;
    *edges[index] = true;
    return KeyTimerCommand(keys, state);
}

bool EditorPicture::operator==(const EditorPicture& o) const {
    return state == o.state && mode == o.mode && penWidth == o.penWidth && color == o.color &&
           overlayRevision == o.overlayRevision && annotationRevision == o.annotationRevision &&
           followsCursor == o.followsCursor && (!followsCursor || (cursorX == o.cursorX && cursorY == o.cursorY));
}

bool PictureFollowsCursor(int mode, int state) {
    if (mode != kModePlain && (state == SelectRegionState::NoSelection || state == SelectRegionState::Selecting)) return true;
    return state == SelectRegionState::Pencil || state == SelectRegionState::Arrow || state == SelectRegionState::Rectangle;
}

int NextPenWidth(int width, int delta) {
    if (delta > 0) width += 2;
    else if (delta < 0) width -= 2;
    return std::clamp(width, kMinPenWidth, kMaxPenWidth);
}

int NextTextSize(int size, int delta) {
    return delta > 0 ? std::min(size + 20, kMaxTextSize) : std::max(size - 20, kMinTextSize);
}

int ToggleEditorByHotkey(bool comboHeld, int state, int& mode, bool& latch) {
    if (!comboHeld) {
        latch = false;
        return 0;
    }
    if (latch || (mode & kModeVideo) != 0 || (state != SelectRegionState::NoSelection && state != SelectRegionState::Selecting)) return 0;
    latch = true;
    if (mode & kModeEditor) {
        mode = kModePlain;
        return -1;
    }
    mode = kModeEditor;
    return 1;
}

RightRelease OnRightRelease(int state, bool rightPressSeen) {
    if (!rightPressSeen) return RightRelease::Ignore;
    switch (state) {
    case SelectRegionState::NoSelection: return RightRelease::Cancel;
    case SelectRegionState::Selecting: return RightRelease::BackToNoSelection;
    case SelectRegionState::PaletteOpen:
    case SelectRegionState::SaveDialogOpen:
    case SelectRegionState::TextDrag: return RightRelease::Ignore;
    default: return RightRelease::DropSelection;
    }
}

std::vector<std::wstring> TextBoxLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::wstring line;
    for (wchar_t c : text) {
        if (c == L'\r') continue;
        if (c == L'\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    lines.push_back(L"  ");
    return lines;
}
