#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/SelectRegionLogic.h"

namespace {

using St = SelectRegionState;

TEST(SelectRegionLogicTest, HoverTransitions) {
    struct Case {
        const char* name;
        int state, saved;
        bool buttonDown, onBand, inside, toolActive;
        int wantState, wantSaved;
        bool reselect;
    };
    const Case cases[] = {
        {"no selection: nothing", St::NoSelection, 0, false, true, false, false, St::NoSelection, 0, false},
        {"selecting: nothing", St::Selecting, 0, false, true, false, false, St::Selecting, 0, false},
        {"text drag: nothing", St::TextDrag, 0, false, false, false, false, St::TextDrag, 0, false},
        {"button down: nothing", St::Arrow, 0, true, true, false, true, St::Arrow, 0, false},
        {"selected on a band saves Selected", St::Selected, 0, false, true, false, false, St::HoverEdge, St::Selected, false},
        {"selected with a saved state stays", St::Selected, St::Arrow, false, true, false, true, St::Selected, St::Arrow, false},
        {"tool on a band saves the tool", St::Pencil, 0, false, true, false, true, St::HoverEdge, St::Pencil, false},
        {"hover edge on a band stays", St::HoverEdge, St::Pencil, false, true, false, true, St::HoverEdge, St::Pencil, false},
        {"hover outside on a band keeps its saved", St::HoverOutside, St::Blur, false, true, false, true, St::HoverEdge, St::Blur, false},
        {"selected inside, active tool: reselect", St::Selected, 0, false, false, true, true, St::Selected, 0, true},
        {"selected outside, no tool: nothing", St::Selected, 0, false, false, false, false, St::Selected, 0, false},
        {"hover edge back inside", St::HoverEdge, St::Rectangle, false, false, true, true, St::Rectangle, 0, false},
        {"hover outside back inside", St::HoverOutside, St::Text, false, false, true, true, St::Text, 0, false},
        {"hover edge inside with nothing saved", St::HoverEdge, 0, false, false, true, false, St::HoverEdge, 0, false},
        {"tool inside stays", St::Arrow, 0, false, false, true, true, St::Arrow, 0, false},
        {"tool outside", St::Arrow, 0, false, false, false, true, St::HoverOutside, St::Arrow, false},
        {"hover edge outside keeps its saved", St::HoverEdge, St::Selected, false, false, false, false, St::HoverOutside, St::Selected,
         false},
        {"hover outside outside stays", St::HoverOutside, St::Arrow, false, false, false, true, St::HoverOutside, St::Arrow, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HoverResult r = NextHoverState(c.state, c.saved, c.buttonDown, c.onBand, c.inside, c.toolActive);
        EXPECT_EQ(r.state, c.wantState);
        EXPECT_EQ(r.savedState, c.wantSaved);
        EXPECT_EQ(r.reselectTool, c.reselect);
    }
}

TEST(SelectRegionLogicTest, HoverRoundTripKeepsTheTool) {
    // Arrow -> band -> outside -> inside comes back to Arrow.
    HoverResult r = NextHoverState(St::Arrow, 0, false, true, false, true);
    r = NextHoverState(r.state, r.savedState, false, false, false, true);
    EXPECT_EQ(r.state, St::HoverOutside);
    r = NextHoverState(r.state, r.savedState, false, false, true, true);
    EXPECT_EQ(r.state, St::Arrow);
    EXPECT_EQ(r.savedState, 0);
}

TEST(SelectRegionLogicTest, Cursors) {
    EdgeHits none, left, right, top, bottom, tl, tr, br, bl;
    left.left = true;
    right.right = true;
    top.top = true;
    bottom.bottom = true;
    tl.left = tl.top = true;
    tr.right = tr.top = true;
    br.right = br.bottom = true;
    bl.left = bl.bottom = true;
    EXPECT_EQ(EdgeCursor(tl), EditorCursor::SizeNWSE);
    EXPECT_EQ(EdgeCursor(tr), EditorCursor::SizeNESW);
    EXPECT_EQ(EdgeCursor(br), EditorCursor::SizeNWSE);
    EXPECT_EQ(EdgeCursor(bl), EditorCursor::SizeNESW);
    EXPECT_EQ(EdgeCursor(left), EditorCursor::SizeWE);
    EXPECT_EQ(EdgeCursor(right), EditorCursor::SizeWE);
    EXPECT_EQ(EdgeCursor(top), EditorCursor::SizeNS);
    EXPECT_EQ(EdgeCursor(bottom), EditorCursor::SizeNS);
    EXPECT_EQ(EdgeCursor(none), EditorCursor::Unchanged);

    struct Case {
        const char* name;
        int state;
        EdgeHits edges;
        bool inside;
        int saved;
        bool tool;
        EditorCursor want;
    };
    const Case cases[] = {
        {"selecting", St::Selecting, none, true, 0, false, EditorCursor::Unchanged},
        {"selected on band", St::Selected, left, false, 0, false, EditorCursor::SizeWE},
        {"selected inside, no tool", St::Selected, none, true, 0, false, EditorCursor::SizeAll},
        {"selected inside, tool", St::Selected, none, true, 0, true, EditorCursor::Cross},
        {"selected outside, saved and tool", St::Selected, none, false, St::Arrow, true, EditorCursor::SizeAll},
        {"selected outside, no saved", St::Selected, none, false, 0, true, EditorCursor::Cross},
        {"text", St::Text, none, true, 0, true, EditorCursor::IBeam},
        {"hover edge", St::HoverEdge, br, false, St::Arrow, true, EditorCursor::SizeNWSE},
        {"hover outside", St::HoverOutside, none, false, St::Arrow, true, EditorCursor::SizeAll},
        {"text drag", St::TextDrag, none, true, 0, true, EditorCursor::SizeAll},
        {"pencil", St::Pencil, none, true, 0, true, EditorCursor::Cross},
        {"no selection", St::NoSelection, none, false, 0, false, EditorCursor::Cross},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CursorFor(c.state, c.edges, c.inside, c.saved, c.tool), c.want);
    }
}

TEST(SelectRegionLogicTest, SizeLabelPlacement) {
    const IntRect screen{0, 0, 1280, 1024};
    struct Case {
        const char* name;
        IntRect sel;
        int x, y;
    };
    const Case cases[] = {
        {"above the selection", {150, 130, 350, 230}, 150, 110},
        {"no room above: inside", {150, 10, 350, 230}, 154, 14},
        {"at the right edge: to the left", {1250, 130, 1270, 230}, 1210, 130},
        {"top-right corner", {1240, 5, 1270, 230}, 1200, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IntPoint p = SizeLabelPosition(c.sel, screen);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
    }
}

TEST(SelectRegionLogicTest, PanelPlacement) {
    const IntRect screen{0, 0, 1280, 1024};
    constexpr int tw = 285, th = 40, mw = 40, mh = 160;
    struct Case {
        const char* name;
        IntRect sel;
        IntRect bounds;
        int tx, ty, mx, my;
    };
    const Case cases[] = {
        // Below, right-aligned; management to the right, bottom-aligned.
        {"room everywhere", {300, 300, 700, 600}, screen, 416, 610, 710, 441},
        // Near the bottom: tools above.
        {"tools above", {300, 300, 700, 1000}, screen, 416, 250, 710, 841},
        // Full screen: tools inside the bottom-right corner; management inside the right
        // edge, lifted above the tools panel.
        {"whole screen", {0, 0, 1279, 1023}, screen, 985, 973, 1229, 864 - 40 - 14},
        // Small selection at the left edge: tools x at least 1.
        {"tools kept right of 1", {0, 300, 100, 400}, screen, 1, 410, 110, 241},
        // Right edge: management to the left of the selection.
        {"management left", {900, 300, 1270, 600}, screen, 986, 610, 850, 441},
        // Top edge: management kept at top + 1.
        {"management at the top", {300, 0, 700, 100}, screen, 416, 110, 710, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        IntPoint t = PlaceToolsPanel(c.sel, tw, th, c.bounds);
        EXPECT_EQ(t.x, c.tx);
        EXPECT_EQ(t.y, c.ty);
        IntPoint m = PlaceManagementPanel(c.sel, mw, mh, {t.x, t.y, t.x + tw, t.y + th}, c.bounds);
        EXPECT_EQ(m.x, c.mx);
        EXPECT_EQ(m.y, c.my);
    }
}

TEST(SelectRegionLogicTest, ManagementPanelMovesOffTheToolsPanel) {
    // A selection at the top-right: the management panel lands on the tools panel and
    // moves beside it, or left of it when there is no room to the right.
    const IntRect screen{0, 0, 1280, 1024};
    IntRect tools{600, 100, 885, 140};
    IntPoint m = PlaceManagementPanel({500, 0, 560, 130}, 40, 160, tools, screen);
    EXPECT_EQ(m.x, 895);
    IntRect toolsRight{1000, 100, 1279, 140};
    m = PlaceManagementPanel({1100, 0, 1240, 130}, 40, 160, toolsRight, screen);
    EXPECT_EQ(m.x, 1000 - 40 - 10);
}

TEST(SelectRegionLogicTest, KeyTimer) {
    struct Case {
        const char* name;
        KeyEdges keys;
        int state;
        KeyCommand want;
    };
    KeyEdges esc, enter, escEnter, ctrlC, ctrlS, ctrlZ, cOnly, ctrlSZ;
    esc.escape = true;
    enter.enter = true;
    escEnter.escape = escEnter.enter = true;
    ctrlC.ctrl = ctrlC.c = true;
    ctrlS.ctrl = ctrlS.s = true;
    ctrlZ.ctrl = ctrlZ.z = true;
    cOnly.c = true;
    ctrlSZ.ctrl = ctrlSZ.s = ctrlSZ.z = true;
    const Case cases[] = {
        {"esc cancels", esc, St::Arrow, KeyCommand::Cancel},
        {"esc in text does nothing", esc, St::Text, KeyCommand::None},
        {"enter in text accepts", escEnter, St::Text, KeyCommand::Accept},
        {"esc before enter", escEnter, St::Selected, KeyCommand::Cancel},
        {"ctrl+c", ctrlC, St::Selected, KeyCommand::Copy},
        {"ctrl+s", ctrlS, St::Selected, KeyCommand::Save},
        {"ctrl+z", ctrlZ, St::Pencil, KeyCommand::Undo},
        {"c without ctrl", cOnly, St::Selected, KeyCommand::None},
        {"save wins over undo", ctrlSZ, St::Selected, KeyCommand::Save},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KeyTimerCommand(c.keys, c.state), c.want);
    }
}

TEST(SelectRegionLogicTest, KeyEdgeReaderCountsEachPressOnce) {
    KeyEdgeReader r;
    r.Prime(true);   // held while the editor opened
    EXPECT_FALSE(r.Poll(true));
    EXPECT_FALSE(r.Poll(false));
    EXPECT_TRUE(r.Poll(true));
    EXPECT_FALSE(r.Poll(true));
    EXPECT_FALSE(r.Poll(false));
    EXPECT_TRUE(r.Poll(true));
}

// A poll that comes late: the press may be over by the time the key is read; the
// "pressed since" bit then stands for it. Each row: down now, bit set, edge expected.
TEST(SelectRegionLogicTest, KeyEdgeReaderCountsPressesBetweenPollsOnce) {
    struct Step {
        bool down, pressedSince, edge;
    };
    struct Case {
        const char* name;
        bool primedDown;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"a press from before the dialog is ignored", false, {{false, true, false}, {false, false, false}}},
        {"a press between two polls counts once", false, {{false, false, false}, {false, true, true}, {false, false, false}}},
        {"two short presses between polls count twice", false,
         {{false, false, false}, {false, true, true}, {false, true, true}}},
        {"a press seen down does not count again at its release", false,
         {{false, false, false}, {true, true, true}, {false, true, false}, {false, false, false}}},
        {"held while the dialog opened, then released", true, {{true, false, false}, {false, true, false}}},
        {"down at a poll after a short press: one edge", false,
         {{false, false, false}, {true, true, true}, {true, false, false}}},
    };
    for (const Case& c : cases) {
        KeyEdgeReader r;
        r.Prime(c.primedDown);
        int i = 0;
        for (const Step& step : c.steps) {
            EXPECT_EQ(r.PollPressed(step.down, step.pressedSince), step.edge) << c.name << ", step " << i;
            i++;
        }
    }
}

// A key message counts the press first; the timer's read then finds the key up again
// with the bit already taken by the message's read, and a later poll sees it as up.
TEST(SelectRegionLogicTest, KeyEdgeReaderMessageThenPollCountsOnce) {
    KeyEdgeReader r;
    r.Prime(false);
    EXPECT_FALSE(r.PollPressed(false, false));
    EXPECT_TRUE(r.Poll(true));    // WM_KEYDOWN
    EXPECT_FALSE(r.PollPressed(true, false));
    EXPECT_FALSE(r.Poll(false));  // WM_KEYUP
    EXPECT_FALSE(r.PollPressed(false, false));
}

TEST(SelectRegionLogicTest, WheelLimits) {
    EXPECT_EQ(NextPenWidth(6, 120), 8);
    EXPECT_EQ(NextPenWidth(6, -120), 6);
    EXPECT_EQ(NextPenWidth(60, 120), 60);
    EXPECT_EQ(NextPenWidth(10, 0), 10);
    EXPECT_EQ(NextPenWidth(59, 120), 60);
    EXPECT_EQ(NextTextSize(140, 120), 160);
    EXPECT_EQ(NextTextSize(790, 120), 800);
    EXPECT_EQ(NextTextSize(160, -120), 140);
    EXPECT_EQ(NextTextSize(140, -120), 140);
    EXPECT_EQ(NextTextSize(200, 0), 180);
}

TEST(SelectRegionLogicTest, DrawModeLatchTogglesOncePerHoldAndOnlyBeforeASelection) {
    int mode = kModePlain;
    bool latch = false;
    EXPECT_EQ(ToggleEditorByHotkey(true, St::NoSelection, mode, latch), 1);
    EXPECT_EQ(mode, kModeEditor);
    // Held on: nothing more, the latch stays.
    for (int i = 0; i < 5; i++) EXPECT_EQ(ToggleEditorByHotkey(true, St::NoSelection, mode, latch), 0);
    EXPECT_TRUE(latch);
    EXPECT_EQ(ToggleEditorByHotkey(false, St::NoSelection, mode, latch), 0);
    EXPECT_FALSE(latch);
    EXPECT_EQ(ToggleEditorByHotkey(true, St::Selecting, mode, latch), -1);
    EXPECT_EQ(mode, kModePlain);
    // After a selection exists: no toggle, and a held combination keeps its latch.
    latch = false;
    EXPECT_EQ(ToggleEditorByHotkey(true, St::Selected, mode, latch), 0);
    EXPECT_EQ(mode, kModePlain);
    // Video mode never toggles.
    int video = kModeVideo;
    latch = false;
    EXPECT_EQ(ToggleEditorByHotkey(true, St::NoSelection, video, latch), 0);
    EXPECT_EQ(video, kModeVideo);
    // Held when the editor opened (latch set at construction): no toggle until released.
    mode = kModeEditor;
    latch = true;
    EXPECT_EQ(ToggleEditorByHotkey(true, St::NoSelection, mode, latch), 0);
    EXPECT_EQ(mode, kModeEditor);
}

TEST(SelectRegionLogicTest, RightRelease) {
    EXPECT_EQ(OnRightRelease(St::NoSelection, false), RightRelease::Ignore);
    EXPECT_EQ(OnRightRelease(St::NoSelection, true), RightRelease::Cancel);
    EXPECT_EQ(OnRightRelease(St::Selecting, true), RightRelease::BackToNoSelection);
    for (int s : {St::Selected, St::Pencil, St::Arrow, St::Text, St::Rectangle, St::Blur, St::HoverEdge, St::HoverOutside}) {
        EXPECT_EQ(OnRightRelease(s, true), RightRelease::DropSelection) << s;
    }
    for (int s : {St::PaletteOpen, St::SaveDialogOpen, St::TextDrag}) {
        EXPECT_EQ(OnRightRelease(s, true), RightRelease::Ignore) << s;
    }
}

TEST(SelectRegionLogicTest, TextBoxLines) {
    struct Case {
        const wchar_t* text;
        size_t lines;
        const wchar_t* first;
    };
    const Case cases[] = {
        {L"", 1, L"  "},                 // empty: the spare line only
        {L"Hi", 2, L"Hi"},               // a first line: the line and the spare line
        {L"Hi\r\n", 2, L"Hi"},           // Return alone does not add a line yet
        {L"Hi\r\nX", 3, L"Hi"},          // a character on the new line does
        {L"\r\n\r\nab", 4, L""},         // empty lines between breaks count
        {L"a\rb", 2, L"ab"},             // a lone \r is dropped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        std::vector<std::wstring> lines = TextBoxLines(c.text);
        ASSERT_EQ(lines.size(), c.lines);
        EXPECT_EQ(lines.front(), c.first);
        EXPECT_EQ(lines.back(), L"  ");
    }
}

using List = AnnotationList<std::string>;
std::shared_ptr<std::string> S(const char* s) { return std::make_shared<std::string>(s); }
std::string Joined(const List& l) {
    std::string out;
    for (const auto& i : l.Items()) out += *i + ";";
    return out;
}

TEST(SelectRegionLogicTest, PreviewReplacesOnlyItsOwnDrag) {
    List l;
    // First arrow: the moves replace its own preview.
    l.BeginDrag();
    l.ReplaceLast(S("a1"), true);
    l.ReplaceLast(S("a2"), true);
    EXPECT_EQ(Joined(l), "a2;");
    // A second drag must not replace the first arrow, even without a move between.
    l.BeginDrag();
    l.PushCheckpoint();
    l.ReplaceLast(S("b1"), true);
    l.ReplaceLast(S("b2"), true);
    EXPECT_EQ(Joined(l), "a2;b2;");
    // Button up: the preview is dropped.
    l.ReplaceLast(S("c"), false);
    EXPECT_EQ(Joined(l), "a2;b2;");
}

TEST(SelectRegionLogicTest, BlurClickWithoutDragKeepsThePreviousMark) {
    List l;
    l.BeginDrag();
    l.ReplaceLast(S("arrow"), true);
    l.BeginDrag();
    l.PushCheckpoint();
    l.RemovePreviewFrame();   // a release without any move
    EXPECT_EQ(Joined(l), "arrow;");
    // A real blur drag: area and frame, the release keeps the area.
    l.BeginDrag();
    l.PushCheckpoint();
    l.ReplaceLastMany({S("area1"), S("frame1")}, true);
    l.ReplaceLastMany({S("area2"), S("frame2")}, true);
    EXPECT_EQ(Joined(l), "arrow;area2;frame2;");
    l.RemovePreviewFrame();
    EXPECT_EQ(Joined(l), "arrow;area2;");
    l.Undo();
    EXPECT_EQ(Joined(l), "arrow;");
}

TEST(SelectRegionLogicTest, UndoRemovesOneStrokeAtATime) {
    List l;
    for (int stroke = 0; stroke < 3; stroke++) {
        l.BeginDrag();
        l.PushCheckpoint();
        for (int seg = 0; seg < 4; seg++) l.Append(S(("s" + std::to_string(stroke)).c_str()));
    }
    EXPECT_EQ(l.Size(), 12u);
    l.Undo();
    EXPECT_EQ(Joined(l), "s0;s0;s0;s0;s1;s1;s1;s1;");
    l.Undo();
    l.Undo();
    EXPECT_EQ(l.Size(), 0u);
    l.Undo();   // nothing left: nothing happens
    EXPECT_EQ(l.Size(), 0u);
    EXPECT_EQ(l.CheckpointCount(), 0u);
}
}  // namespace

namespace {

TEST(SelectRegionLogicTest, EveryChangeOfTheMarksAndOnlyAChangeMovesTheRevision) {
    List l;
    unsigned long long seen = l.Revision();
    auto changed = [&] {
        bool moved = l.Revision() != seen;
        seen = l.Revision();
        return moved;
    };
    l.BeginDrag();
    EXPECT_FALSE(changed()) << "a press alone";
    l.ReplaceLast(S("a1"), true);
    EXPECT_TRUE(changed()) << "the first preview";
    l.ReplaceLast(S("a2"), true);
    EXPECT_TRUE(changed()) << "a preview replaced";
    l.ReplaceLast(S("a3"), false);
    EXPECT_FALSE(changed()) << "a preview dropped with the button up";
    l.BeginDrag();
    l.PushCheckpoint();
    EXPECT_FALSE(changed()) << "a checkpoint";
    l.ReplaceLastMany({S("area"), S("frame")}, true);
    EXPECT_TRUE(changed()) << "the blur preview";
    l.RemovePreviewFrame();
    EXPECT_TRUE(changed()) << "the blur's frame removed";
    l.Append(S("line"));
    EXPECT_TRUE(changed()) << "a pencil segment";
    l.RemoveLast(1);
    EXPECT_TRUE(changed()) << "the text drag's previews removed";
    l.Undo();
    EXPECT_TRUE(changed()) << "an undo that removes marks";
    EXPECT_EQ(Joined(l), "a2;");
    l.RemoveLast(0);
    EXPECT_FALSE(changed()) << "nothing removed";
    l.Undo();
    EXPECT_TRUE(changed());
    EXPECT_EQ(l.Size(), 0u);
    l.Undo();
    EXPECT_FALSE(changed()) << "an undo with nothing left";
}

TEST(SelectRegionLogicTest, UndoToACheckpointBeyondTheListKeepsEverything) {
    List l;
    l.Append(S("a"));
    l.Append(S("b"));
    l.PushCheckpoint();   // checkpoint 1: after b
    l.RemoveLast(2);      // the text drag's previews go without an undo
    l.Append(S("c"));
    l.Undo();
    EXPECT_EQ(Joined(l), "c;");
}

TEST(SelectRegionLogicTest, KeyMessagesAndPollsCountEachPressOnce) {
    // The two ways the editor looks at a key, in the order they reach it: 'M'/'m' a key
    // message down/up, 'P'/'p' a poll that finds the key down/up.
    struct Case {
        const char* name;
        const char* looks;
        int presses;
    };
    const Case cases[] = {
        {"poll only", "pPpPpp", 2},
        {"messages only", "MmMm", 2},
        {"a short press between two polls", "pMmp", 1},
        {"message first, then the poll sees it held", "MPPmp", 1},
        {"poll first, then the message of the same press", "PMmp", 1},
        {"poll first, message late after the release was polled", "PpMm", 2},
        {"auto-repeated down messages", "MMMMm", 1},
        {"two quick presses between polls", "pMmMmp", 2},
        {"held through the opening", "HPMmMm", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeyEdgeReader reader;
        reader.Prime(false);
        int presses = 0;
        for (const char* p = c.looks; *p; ++p) {
            if (*p == 'H') {
                reader.Prime(true);
                continue;
            }
            presses += reader.Poll(*p == 'M' || *p == 'P');
        }
        EXPECT_EQ(presses, c.presses);
    }
}

TEST(SelectRegionLogicTest, EachEditorKeyGivesItsCommandAlone) {
    struct Case {
        int key;
        bool ctrl;
        int state;
        KeyCommand want;
    };
    const Case cases[] = {
        {0x1B, false, St::Selected, KeyCommand::Cancel},
        {0x1B, false, St::Text, KeyCommand::None},
        {0x0D, false, St::Text, KeyCommand::Accept},
        {0x0D, true, St::NoSelection, KeyCommand::Accept},
        {'C', true, St::Arrow, KeyCommand::Copy},
        {'C', false, St::Arrow, KeyCommand::None},
        {'S', true, St::Selected, KeyCommand::Save},
        {'Z', true, St::Pencil, KeyCommand::Undo},
        {'Z', false, St::Pencil, KeyCommand::None},
        {'X', true, St::Selected, KeyCommand::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(KeyPressCommand(EditorKeyIndex(c.key), c.ctrl, c.state), c.want);
    }
    EXPECT_EQ(EditorKeyIndex('X'), -1);
    for (int i = 0; i < kEditorKeyCount; ++i) EXPECT_EQ(EditorKeyIndex(kEditorKeys[i]), i);
}

TEST(SelectRegionLogicTest, ThePictureFollowsTheCursorOnlyWhereItShowsSomethingThere) {
    struct Case {
        int mode, state;
        bool follows;
    };
    const Case cases[] = {
        {kModeEditor, St::NoSelection, true},   // the editor badge
        {kModeVideo, St::Selecting, true},      // the camera badge
        {kModePlain, St::NoSelection, false},
        {kModeEditor, St::Selected, false},
        {kModeEditor, St::Pencil, true},        // the pen's dot
        {kModeEditor, St::Arrow, true},
        {kModeEditor, St::Rectangle, true},
        {kModeEditor, St::Blur, false},
        {kModeEditor, St::Text, false},
        {kModeEditor, St::HoverEdge, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        EXPECT_EQ(PictureFollowsCursor(c.mode, c.state), c.follows);
    }
    EditorPicture a;
    a.state = St::Selected;
    EditorPicture b = a;
    b.cursorX = 50;
    EXPECT_EQ(a, b) << "the cursor does not count where nothing follows it";
    a.followsCursor = b.followsCursor = true;
    EXPECT_NE(a, b);
    b = a;
    b.annotationRevision++;
    EXPECT_NE(a, b);
    b = a;
    b.color = 1;
    EXPECT_NE(a, b);
}

}  // namespace
