// The region selection dialog over a synthetic screen, driven by its own messages: a
// script runs one step per tick inside the dialog's modal loop.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "editor/EditorMessages.h"
#include "editor/ResultSeam.h"
#include "editor/SelectRegionDlg.h"
#include "editor/SelectRegionManagementDlg.h"
#include "editor/SelectRegionToolsDlg.h"
#include "editor/TextBoxDlg.h"
#include "settings/SettingsManager.h"
#include "tests/wine/editor/GraphinForTests.h"

namespace {
// Set by a test's environment: the next result step fails.
bool g_failNextResult = false;
}  // namespace

// This test program's result step (editor/ResultSeam.h): it fails, as a failing
// picture library would, when a test asked for it.
void RunResultSeam() {
    if (!g_failNextResult) return;
    g_failNextResult = false;
    throw std::runtime_error("CSelectRegionDlg::GetImage()");
}

namespace {

using St = SelectRegionState;
constexpr UINT_PTR kStepTimer = 100;

// The frozen "screen": every pixel tells where it is, so a crop shows its origin.
COLORREF ScreenColour(int x, int y) { return RGB((x * 7) & 255, (y * 5) & 255, ((x + y) * 3) & 255); }

PxImage MakeScreen() {
    int w = GetSystemMetrics(SM_CXVIRTUALSCREEN), h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    PxImage image(static_cast<uint32_t>(w), static_cast<uint32_t>(h), 24, 0);
    for (int y = 0; y < h; y++) {
        uint8_t* row = image.GetBits(static_cast<uint32_t>(h - 1 - y));
        for (int x = 0; x < w; x++) {
            COLORREF c = ScreenColour(x, y);
            row[x * 3] = GetBValue(c);
            row[x * 3 + 1] = GetGValue(c);
            row[x * 3 + 2] = GetRValue(c);
        }
    }
    return image;
}

COLORREF PixelAt(PxImage& image, int x, int y) {
    const uint8_t* row = image.GetBits(image.GetHeight() - 1 - static_cast<uint32_t>(y));
    int bytes = image.GetBpp() / 8;
    return RGB(row[x * bytes + 2], row[x * bytes + 1], row[x * bytes]);
}

struct Fakes {
    std::vector<std::wstring> events;
    std::map<int, bool> keys;
    bool hotkeyHeld = false;
    bool failResult = false;

    SelectRegionEnvironment Environment() {
        SelectRegionEnvironment env;
        env.postEvent = [this](const std::wstring&, const std::wstring& action, const std::wstring&) {
            events.push_back(action);
        };
        env.isDrawModeHotkeyHeld = [this] { return hotkeyHeld; };
        // The colour goes through the settings, as in the program.
        env.drawColor = [] { return static_cast<COLORREF>(SettingsManager::Instance().GetDrawColor()); };
        env.setDrawColor = [](COLORREF colour) { SettingsManager::Instance().SetDrawColor(colour); };
        env.isKeyDown = [this](int key) { return keys[key]; };
        g_failNextResult = failResult;
        return env;
    }
    int Count(const std::wstring& action) const {
        int n = 0;
        for (const auto& e : events) n += e == action;
        return n;
    }
};

class ScriptedRegionDlg : public CSelectRegionDlg {
public:
    using Step = std::function<void(ScriptedRegionDlg&)>;
    ScriptedRegionDlg(const PxImage& screen, bool editor, Fakes& fakes)
        : CSelectRegionDlg(screen, L"Screenshot test", editor, nullptr, fakes.Environment()) {}

    std::vector<Step> steps;
    INT_PTR Run() {
        m_deadline = GetTickCount() + 15000;
        return DoModal();
    }

    void Down(int x, int y) { Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void Move(int x, int y, bool button = true) { Send(WM_MOUSEMOVE, button ? MK_LBUTTON : 0, MAKELPARAM(x, y)); }
    void Up(int x, int y) { Send(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    // A drag with a few moves between.
    void Drag(int x1, int y1, int x2, int y2) {
        Down(x1, y1);
        for (int i = 1; i <= 4; i++) Move(x1 + (x2 - x1) * i / 4, y1 + (y2 - y1) * i / 4);
        Up(x2, y2);
    }

    // A selection, then the cursor rests at its centre (the release point lies on the
    // corner's bands).
    void Select(int x1, int y1, int x2, int y2) {
        Drag(x1, y1, x2, y2);
        Move((x1 + x2) / 2, (y1 + y2) / 2, false);
    }

protected:
    BOOL OnInitDialog() override {
        BOOL result = CSelectRegionDlg::OnInitDialog();
        SetTimer(kStepTimer, 30);
        return result;
    }
    LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
        if (msg == WM_TIMER && w == kStepTimer) {
            if (static_cast<int>(GetTickCount() - m_deadline) > 0) {
                ADD_FAILURE() << "script timed out at step " << m_next;
                Send(WM_APP_EDITOR_CANCEL);
            } else if (m_next < steps.size()) {
                steps[m_next++](*this);
            }
            return 0;
        }
        return CSelectRegionDlg::WindowProc(msg, w, l);
    }

private:
    size_t m_next = 0;
    DWORD m_deadline = 0;
};

class SelectRegionDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(graphin.ok()) << "graphin.dll not loaded";
        SettingsManager::Instance().SetDrawColor(RGB(255, 0, 0));
    }
    GraphinForTests graphin;
    PxImage screen = MakeScreen();
    Fakes fakes;
};

TEST_F(SelectRegionDlgTest, PlainSelectionAcceptsAtTheReleaseWithTheExactCrop) {
    ScriptedRegionDlg dlg(screen, false, fakes);
    int stateAfterClick = 0;
    dlg.steps = {
        // A 2-px click selects nothing.
        [&](ScriptedRegionDlg& d) { d.Drag(50, 50, 52, 51); },
        [&](ScriptedRegionDlg& d) {
            stateAfterClick = d.GetState();
            d.Drag(150, 130, 400, 260);
        },
    };
    ASSERT_EQ(dlg.Run(), IDOK);
    EXPECT_EQ(stateAfterClick, St::NoSelection);
    ASSERT_TRUE(dlg.m_resultImage.IsValid());
    ASSERT_EQ(dlg.m_resultImage.GetWidth(), 250u);
    ASSERT_EQ(dlg.m_resultImage.GetHeight(), 130u);
    for (int y = 0; y < 130; y += 7) {
        for (int x = 0; x < 250; x += 11) {
            ASSERT_EQ(PixelAt(dlg.m_resultImage, x, y), ScreenColour(150 + x, 130 + y)) << x << "," << y;
        }
    }
    RECT v = {GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN)};
    EXPECT_EQ(dlg.m_selectedRect.left, 150 + v.left);
    EXPECT_EQ(dlg.m_selectedRect.bottom, 260 + v.top);
    EXPECT_EQ(dlg.m_mode, kModePlain);
    EXPECT_EQ(fakes.events, (std::vector<std::wstring>{L"Open without Editor"}));
}

TEST_F(SelectRegionDlgTest, VideoModeAcceptsAtTheFirstReleaseWithoutPanels) {
    ScriptedRegionDlg dlg(screen, false, fakes);
    dlg.m_mode = kModeVideo;
    bool panelsShown = true;
    dlg.steps = {
        [&](ScriptedRegionDlg& d) {
            d.Down(300, 200);
            d.Move(200, 100);
            d.Move(100, 50);
            panelsShown = IsWindowVisible(d.GetToolsPanel()->m_hWnd) || IsWindowVisible(d.GetManagementPanel()->m_hWnd);
            d.Up(100, 50);
        },
    };
    ASSERT_EQ(dlg.Run(), IDOK);
    EXPECT_FALSE(panelsShown);
    int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
    EXPECT_EQ(dlg.m_selectedRect.left, 100 + vx);
    EXPECT_EQ(dlg.m_selectedRect.top, 50 + vy);
    EXPECT_EQ(dlg.m_selectedRect.right, 300 + vx);
    EXPECT_EQ(dlg.m_selectedRect.bottom, 200 + vy);
    EXPECT_EQ(fakes.events, (std::vector<std::wstring>{L"Open with Video"}));
}

TEST_F(SelectRegionDlgTest, ArrowRectangleUndoAndBlurClickThenCopy) {
    ScriptedRegionDlg dlg(screen, true, fakes);
    int stateAfterSelection = 0;
    size_t afterArrow = 0, afterRect = 0, afterUndo = 0, afterBlurClick = 0;
    bool panelsShown = false;
    dlg.steps = {
        [&](ScriptedRegionDlg& d) { d.Select(100, 100, 500, 400); },
        [&](ScriptedRegionDlg& d) {
            stateAfterSelection = d.GetState();
            panelsShown = IsWindowVisible(d.GetToolsPanel()->m_hWnd) && IsWindowVisible(d.GetManagementPanel()->m_hWnd);
            d.Drag(150, 200, 350, 200);   // an arrow
            afterArrow = d.GetAnnotationCount();
        },
        [&](ScriptedRegionDlg& d) {
            d.GetToolsPanel()->SelectTool(&d.GetToolsPanel()->m_rectangle);
            d.Drag(200, 300, 300, 350);
            afterRect = d.GetAnnotationCount();
            d.Send(WM_APP_EDITOR_UNDO);
            afterUndo = d.GetAnnotationCount();
        },
        [&](ScriptedRegionDlg& d) {
            d.GetToolsPanel()->SelectTool(&d.GetToolsPanel()->m_blur);
            d.Down(420, 380);
            d.Up(420, 380);
            afterBlurClick = d.GetAnnotationCount();
            d.Send(WM_APP_EDITOR_COPY);
        },
    };
    ASSERT_EQ(dlg.Run(), IDOK);
    EXPECT_EQ(stateAfterSelection, St::Arrow);
    EXPECT_TRUE(panelsShown);
    EXPECT_EQ(afterArrow, 1u);
    EXPECT_EQ(afterRect, 2u);
    EXPECT_EQ(afterUndo, 1u) << "undo removes the rectangle only";
    EXPECT_EQ(afterBlurClick, 1u) << "a blur click without a drag keeps the arrow";
    EXPECT_EQ(dlg.m_action, kActionClipboard);
    ASSERT_EQ(dlg.m_resultImage.GetWidth(), 400u);
    ASSERT_EQ(dlg.m_resultImage.GetHeight(), 300u);
    // The arrow's shaft is red; the rectangle that was undone left nothing.
    EXPECT_EQ(PixelAt(dlg.m_resultImage, 150, 100), RGB(255, 0, 0));
    EXPECT_EQ(PixelAt(dlg.m_resultImage, 100, 225), ScreenColour(200, 325));
    EXPECT_EQ(PixelAt(dlg.m_resultImage, 10, 10), ScreenColour(110, 110));
    EXPECT_EQ(fakes.Count(L"Use Arrow"), 1);
    EXPECT_EQ(fakes.Count(L"Use Rectangle"), 1);
    EXPECT_EQ(fakes.Count(L"Save to Clipboard"), 1);
    EXPECT_EQ(fakes.Count(L"Use Undo"), 1);
}

TEST_F(SelectRegionDlgTest, OneUndoPerPencilStrokeAndPreviewsNeverReplaceOlderMarks) {
    ScriptedRegionDlg dlg(screen, true, fakes);
    std::vector<size_t> counts;
    dlg.steps = {
        [&](ScriptedRegionDlg& d) { d.Select(100, 100, 600, 500); },
        [&](ScriptedRegionDlg& d) {
            // Two arrows, the second started without a move between: both stay.
            d.Drag(150, 150, 250, 150);
            d.Drag(150, 200, 250, 200);
            counts.push_back(d.GetAnnotationCount());
            d.GetToolsPanel()->SelectTool(&d.GetToolsPanel()->m_pen);
            for (int stroke = 0; stroke < 3; stroke++) d.Drag(150, 250 + stroke * 40, 400, 260 + stroke * 40);
            counts.push_back(d.GetAnnotationCount());   // 2 arrows + 3 strokes of 4 segments
            d.Send(WM_APP_EDITOR_UNDO);
            counts.push_back(d.GetAnnotationCount());
            d.Send(WM_APP_EDITOR_UNDO);
            d.Send(WM_APP_EDITOR_UNDO);
            counts.push_back(d.GetAnnotationCount());
            d.Send(WM_APP_EDITOR_CANCEL);
        },
    };
    ASSERT_EQ(dlg.Run(), IDCANCEL);
    EXPECT_EQ(counts, (std::vector<size_t>{2, 14, 10, 2}));
    EXPECT_EQ(fakes.Count(L"Cancel"), 1);
}

TEST_F(SelectRegionDlgTest, HoverKeepsTheToolAndCursorsFollowTheBands) {
    ScriptedRegionDlg dlg(screen, true, fakes);
    std::vector<int> states;
    HCURSOR onEdge = nullptr;
    dlg.steps = {
        [&](ScriptedRegionDlg& d) { d.Drag(200, 200, 500, 400); },
        [&](ScriptedRegionDlg& d) {
            d.Move(500, 300, false);   // the right band
            states.push_back(d.GetState());
            states.push_back(d.GetSavedState());
            onEdge = GetCursor();
            d.Move(700, 600, false);   // outside
            states.push_back(d.GetState());
            d.Move(300, 300, false);   // inside
            states.push_back(d.GetState());
            states.push_back(d.GetSavedState());
            d.Send(WM_APP_EDITOR_CANCEL);
        },
    };
    ASSERT_EQ(dlg.Run(), IDCANCEL);
    EXPECT_EQ(states, (std::vector<int>{St::HoverEdge, St::Arrow, St::HoverOutside, St::Arrow, St::None}));
    EXPECT_EQ(onEdge, LoadCursorW(nullptr, IDC_SIZEWE));
}

TEST_F(SelectRegionDlgTest, DrawModeHeldAtOpeningLatchesUntilReleased) {
    fakes.hotkeyHeld = true;
    ScriptedRegionDlg dlg(screen, false, fakes);
    std::vector<int> modes;
    auto pause = [&](int ticks) {
        for (int i = 0; i < ticks; i++) dlg.steps.push_back([](ScriptedRegionDlg&) {});
    };
    pause(8);   // the hotkey timer runs every 100 ms
    dlg.steps.push_back([&](ScriptedRegionDlg& d) {
        modes.push_back(d.m_mode);   // still held: no toggle
        fakes.hotkeyHeld = false;
    });
    pause(8);
    dlg.steps.push_back([&](ScriptedRegionDlg& d) { fakes.hotkeyHeld = true; });
    pause(12);
    dlg.steps.push_back([&](ScriptedRegionDlg& d) {
        modes.push_back(d.m_mode);   // toggled off once
        d.Drag(100, 100, 300, 300);
    });
    // Plain mode accepts at the release.
    ASSERT_EQ(dlg.Run(), IDOK);
    EXPECT_EQ(modes, (std::vector<int>{kModeEditor, kModePlain}));
    EXPECT_EQ(fakes.Count(L"Deactivate Editor"), 1);
    EXPECT_EQ(fakes.Count(L"Activate Editor"), 0);
    EXPECT_EQ(fakes.events.front(), L"Open with Editor");
}

TEST_F(SelectRegionDlgTest, KeysByTheTimerAndTheRightPressGuard) {
    // The right button that started the capture is still down: its release does nothing.
    fakes.keys[VK_RBUTTON] = true;
    ScriptedRegionDlg dlg(screen, true, fakes);
    int stateAfterGuardedRelease = 0, stateAfterRightOnSelection = 0;
    size_t marksAfterRightClick = 0;
    dlg.steps = {
        [&](ScriptedRegionDlg& d) {
            fakes.keys[VK_RBUTTON] = false;
            d.Send(WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
            stateAfterGuardedRelease = d.GetState();
            d.Select(100, 100, 400, 300);
        },
        [&](ScriptedRegionDlg& d) {
            d.Drag(150, 150, 300, 250);
            // A right click on the selection drops it and keeps the marks.
            d.Send(WM_RBUTTONDOWN, 0, MAKELPARAM(200, 200));
            d.Send(WM_RBUTTONUP, 0, MAKELPARAM(200, 200));
            stateAfterRightOnSelection = d.GetState();
            marksAfterRightClick = d.GetAnnotationCount();
            d.Drag(100, 100, 400, 300);
        },
        // Enter through the key timer (down now, up at the poll before).
        [&](ScriptedRegionDlg& d) { fakes.keys[VK_RETURN] = true; },
        [&](ScriptedRegionDlg& d) {},
        [&](ScriptedRegionDlg& d) {},
    };
    ASSERT_EQ(dlg.Run(), IDOK);
    EXPECT_EQ(stateAfterGuardedRelease, St::NoSelection);
    EXPECT_EQ(stateAfterRightOnSelection, St::NoSelection);
    EXPECT_EQ(marksAfterRightClick, 1u);
    EXPECT_EQ(dlg.m_action, kActionUpload);
    EXPECT_EQ(fakes.Count(L"Cancel"), 0);
}

TEST_F(SelectRegionDlgTest, KeyMessagesAndTheKeyTimerCountEachPressOnce) {
    ScriptedRegionDlg dlg(screen, true, fakes);
    std::vector<size_t> counts;
    auto ctrlHeld = [](bool held) {
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[VK_CONTROL] = held ? 0x80 : 0;
        SetKeyboardState(state);
    };
    auto key = [](ScriptedRegionDlg& d, UINT message, WPARAM vk) { PostMessageW(d.m_hWnd, message, vk, 0); };
    dlg.steps = {
        [&](ScriptedRegionDlg& d) {
            d.Select(100, 100, 600, 500);
            for (int i = 0; i < 6; i++) d.Drag(150, 150 + 40 * i, 350, 150 + 40 * i);   // six arrows
            counts.push_back(d.GetAnnotationCount());
            // Ctrl+Z seen by its messages and, held, by the key timer too.
            ctrlHeld(true);
            fakes.keys[VK_CONTROL] = true;
            fakes.keys['Z'] = true;
            key(d, WM_KEYDOWN, 'Z');
        },
        [&](ScriptedRegionDlg& d) {},   // the timer polls it held
        [&](ScriptedRegionDlg& d) {
            fakes.keys['Z'] = false;
            key(d, WM_KEYUP, 'Z');
        },
        [&](ScriptedRegionDlg& d) {
            counts.push_back(d.GetAnnotationCount());
            // A press over before the timer ran: only its messages show it.
            key(d, WM_KEYDOWN, 'Z');
            key(d, WM_KEYUP, 'Z');
        },
        [&](ScriptedRegionDlg& d) {
            counts.push_back(d.GetAnnotationCount());
            // Two quick presses, the second held long enough to repeat: two undos.
            key(d, WM_KEYDOWN, 'Z');
            key(d, WM_KEYUP, 'Z');
            key(d, WM_KEYDOWN, 'Z');
            key(d, WM_KEYDOWN, 'Z');
            key(d, WM_KEYUP, 'Z');
        },
        [&](ScriptedRegionDlg& d) {
            counts.push_back(d.GetAnnotationCount());
            ctrlHeld(false);
            fakes.keys[VK_CONTROL] = false;
            // Z without Ctrl does nothing; Escape by its messages alone cancels.
            key(d, WM_KEYDOWN, 'Z');
            key(d, WM_KEYUP, 'Z');
            key(d, WM_KEYDOWN, VK_ESCAPE);
            key(d, WM_KEYUP, VK_ESCAPE);
        },
    };
    ASSERT_EQ(dlg.Run(), IDCANCEL);
    ctrlHeld(false);
    EXPECT_EQ(counts, (std::vector<size_t>{6, 5, 4, 2}));
    EXPECT_EQ(fakes.Count(L"Cancel"), 1);
}

TEST_F(SelectRegionDlgTest, PaintsOnlyWhenThePictureChanged) {
    struct Counting : ScriptedRegionDlg {
        using ScriptedRegionDlg::ScriptedRegionDlg;
        int paints = 0;
        LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
            if (msg == WM_PAINT) paints++;
            return ScriptedRegionDlg::WindowProc(msg, w, l);
        }
    } dlg(screen, false, fakes);
    int afterOpening = 0, idle = 0, afterDrag = 0;
    bool firstPaintDone = false, panelsMade = false;
    dlg.steps = {
        [&](ScriptedRegionDlg& d) {
            firstPaintDone = d.IsFirstPaintDone();
            panelsMade = d.GetToolsPanel() != nullptr;
            afterOpening = dlg.paints;
        },
        // 300 ms without input: the 10 ms timer finds nothing to paint.
        [&](ScriptedRegionDlg& d) {}, [&](ScriptedRegionDlg& d) {}, [&](ScriptedRegionDlg& d) {},
        [&](ScriptedRegionDlg& d) {}, [&](ScriptedRegionDlg& d) {}, [&](ScriptedRegionDlg& d) {},
        [&](ScriptedRegionDlg& d) {}, [&](ScriptedRegionDlg& d) {}, [&](ScriptedRegionDlg& d) {},
        [&](ScriptedRegionDlg& d) {
            idle = dlg.paints - afterOpening;
            d.Down(100, 100);
            d.Move(200, 200);
        },
        [&](ScriptedRegionDlg& d) {},
        [&](ScriptedRegionDlg& d) {
            afterDrag = dlg.paints;
            d.Up(300, 300);
        },
    };
    ASSERT_EQ(dlg.Run(), IDOK);
    EXPECT_TRUE(firstPaintDone);
    EXPECT_TRUE(panelsMade) << "the panels are made right after the first frame";
    EXPECT_GE(afterOpening, 1);
    EXPECT_EQ(idle, 0);
    EXPECT_GT(afterDrag, afterOpening) << "the selection's frame is painted";
}

TEST_F(SelectRegionDlgTest, RightClickWithNothingSelectedCancels) {
    ScriptedRegionDlg dlg(screen, true, fakes);
    dlg.steps = {[&](ScriptedRegionDlg& d) {
        d.Send(WM_RBUTTONDOWN, 0, MAKELPARAM(10, 10));
        d.Send(WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    }};
    EXPECT_EQ(dlg.Run(), IDCANCEL);
    EXPECT_EQ(fakes.Count(L"Cancel"), 1);
}

TEST_F(SelectRegionDlgTest, CancelRightAfterOpeningJoinsTheBlurThread) {
    for (int round = 0; round < 3; round++) {
        Fakes f;
        auto dlg = std::make_unique<ScriptedRegionDlg>(screen, false, f);
        dlg->steps = {[&](ScriptedRegionDlg& d) { d.Send(WM_APP_EDITOR_CANCEL); }};
        EXPECT_EQ(dlg->Run(), IDCANCEL);
        dlg.reset();   // joins the preparation before releasing its bitmap
    }
    Fakes f;
    ScriptedRegionDlg dlg(screen, false, f);
    EXPECT_TRUE(dlg.IsBlurReady());
}

TEST_F(SelectRegionDlgTest, AFailedResultEndsTheEditorWithAFailure) {
    fakes.failResult = true;
    ScriptedRegionDlg dlg(screen, false, fakes);
    dlg.steps = {[&](ScriptedRegionDlg& d) { d.Drag(10, 10, 100, 100); }};
    EXPECT_EQ(dlg.Run(), CSelectRegionDlg::kSelectRegionFailed);
    EXPECT_FALSE(dlg.m_resultImage.IsValid());
}

TEST_F(SelectRegionDlgTest, TextBoxCommitsOnceDragCommitsNothingCtrlZHides) {
    ScriptedRegionDlg dlg(screen, true, fakes);
    std::vector<size_t> counts;
    int stateDuringDrag = 0, stateAfterDrop = 0;
    RECT dropped{};
    dlg.steps = {
        [&](ScriptedRegionDlg& d) { d.Select(100, 100, 600, 500); },
        [&](ScriptedRegionDlg& d) {
            d.GetToolsPanel()->SelectTool(&d.GetToolsPanel()->m_text);
            d.Down(200, 200);
            ASSERT_NE(d.GetTextBox(), nullptr);
            d.GetTextBox()->m_edit.SetText(L"Hi");
            counts.push_back(d.GetAnnotationCount());   // nothing yet
            SetCursorPos(200 + GetSystemMetrics(SM_XVIRTUALSCREEN), 200 + GetSystemMetrics(SM_YVIRTUALSCREEN));
            // A press on the box's frame starts a drag: hidden, nothing committed.
            SendMessageW(d.GetTextBox()->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
            stateDuringDrag = d.GetState();
            counts.push_back(d.GetAnnotationCount());   // the drag's two previews
            d.Move(260, 240);
            d.Up(260, 240);
            stateAfterDrop = d.GetState();
            GetWindowRect(d.GetTextBox()->m_hWnd, &dropped);
            counts.push_back(d.GetAnnotationCount());   // previews gone, nothing committed
            // Closing commits exactly once.
            d.Send(WM_APP_EDITOR_TEXT_CLOSE);
            counts.push_back(d.GetAnnotationCount());
            d.Send(WM_APP_EDITOR_TEXT_CLOSE);
            counts.push_back(d.GetAnnotationCount());
        },
        [&](ScriptedRegionDlg& d) {
            // Ctrl+Z in the edit hides the box, which commits.
            d.Down(300, 400);
            ASSERT_NE(d.GetTextBox(), nullptr);
            d.GetTextBox()->m_edit.SetText(L"Yo");
            MSG msg{d.GetTextBox()->m_edit.m_hWnd, WM_KEYDOWN, 'Z', 0};
            BYTE state[256] = {};
            GetKeyboardState(state);
            state[VK_CONTROL] = 0x80;
            SetKeyboardState(state);
            BOOL consumed = d.GetTextBox()->m_edit.PreTranslateMessage(&msg);
            state[VK_CONTROL] = 0;
            SetKeyboardState(state);
            EXPECT_TRUE(consumed);
            counts.push_back(d.GetAnnotationCount());
            EXPECT_EQ(d.GetTextBox(), nullptr);
            d.Send(WM_APP_EDITOR_CANCEL);
        },
    };
    ASSERT_EQ(dlg.Run(), IDCANCEL);
    EXPECT_EQ(stateDuringDrag, St::TextDrag);
    EXPECT_EQ(stateAfterDrop, St::Text);
    int vx = GetSystemMetrics(SM_XVIRTUALSCREEN);
    EXPECT_GT(dropped.left, 200 + vx) << "the box moved with the drag";
    EXPECT_EQ(counts, (std::vector<size_t>{0, 2, 0, 1, 1, 2}));
    EXPECT_EQ(fakes.Count(L"Use Drag Text"), 1);
}

// Closes the colour dialog (the system's modal loop runs thread timers) with OK after
// noting its state and place.
struct PaletteProbe {
    static PaletteProbe* current;
    ScriptedRegionDlg* dlg = nullptr;
    int stateWhileOpen = 0;
    RECT place{};
    bool found = false;
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
        PaletteProbe* p = current;
        HWND box = nullptr;
        for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
            wchar_t cls[32] = {};
            GetClassNameW(w, cls, 32);
            if (IsWindowVisible(w) && wcscmp(cls, L"#32770") == 0 && GetWindowThreadProcessId(w, nullptr) ==
                                                                          GetCurrentThreadId()) {
                box = w;
                break;
            }
        }
        if (!box) return;
        KillTimer(nullptr, id);
        p->found = true;
        p->stateWhileOpen = p->dlg->GetState();
        GetWindowRect(box, &p->place);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
};
PaletteProbe* PaletteProbe::current = nullptr;

TEST_F(SelectRegionDlgTest, PaletteOpensInsideTheSelectionAndKeepsTheStateAround) {
    ScriptedRegionDlg dlg(screen, true, fakes);
    PaletteProbe probe;
    probe.dlg = &dlg;
    PaletteProbe::current = &probe;
    int stateAfter = 0;
    dlg.steps = {
        [&](ScriptedRegionDlg& d) { d.Select(100, 100, 900, 700); },
        [&](ScriptedRegionDlg& d) {
            SetTimer(nullptr, 0, 100, &PaletteProbe::Tick);
            d.Send(WM_APP_EDITOR_PALETTE);
            stateAfter = d.GetState();
            d.Send(WM_APP_EDITOR_CANCEL);
        },
    };
    ASSERT_EQ(dlg.Run(), IDCANCEL);
    ASSERT_TRUE(probe.found);
    EXPECT_EQ(probe.stateWhileOpen, St::PaletteOpen);
    EXPECT_EQ(stateAfter, St::Arrow);
    int vx = GetSystemMetrics(SM_XVIRTUALSCREEN), vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
    // Inside the selection's bottom-right corner, 4 px from its edges.
    EXPECT_EQ(probe.place.right, 900 + vx - 4);
    EXPECT_EQ(probe.place.bottom, 700 + vy - 4);
    EXPECT_EQ(SettingsManager::Instance().GetDrawColor(), RGB(255, 0, 0));
    EXPECT_EQ(fakes.Count(L"Use Palette"), 1);
}

}  // namespace
