#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "classlib/Controls.h"
#include "classlib/DataExchange.h"
#include "classlib/Dialog.h"
#include "tests/wine/classlib/DialogTemplate.h"

namespace {

// Two radio groups side by side: 10-12, then 20-21 (each starts with WS_GROUP), then a
// combo box and a slider.
class RadioDlg : public CDialogEx {
public:
    explicit RadioDlg(const DLGTEMPLATE* t) : CDialogEx(t) {}
    int first = 0, second = 0;
    CComboBox combo;
    CSliderCtrl slider;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Radio(dx, 10, first);
        DDX_Radio(dx, 20, second);
        DDX_Control(dx, 30, combo);
        DDX_Control(dx, 31, slider);
    }
};

DialogTemplate RadioTemplate() {
    DialogTemplate t(WS_POPUP | WS_CAPTION, 200, 120, L"radios");
    t.Control(0x0080, 10, BS_AUTORADIOBUTTON | WS_GROUP, 5, 5, 60, 10, L"a");
    t.Control(0x0080, 11, BS_AUTORADIOBUTTON, 5, 17, 60, 10, L"b");
    t.Control(0x0080, 12, BS_AUTORADIOBUTTON, 5, 29, 60, 10, L"c");
    t.Control(0x0080, 20, BS_AUTORADIOBUTTON | WS_GROUP, 80, 5, 60, 10, L"x");
    t.Control(0x0080, 21, BS_AUTORADIOBUTTON, 80, 17, 60, 10, L"y");
    t.Control(0x0085, 30, CBS_DROPDOWNLIST | WS_GROUP, 5, 50, 80, 60, L"");
    t.Control(TRACKBAR_CLASSW, 31, 0, 5, 80, 120, 15, L"");
    return t;
}

int Check(CWnd& dlg, int id) {
    return static_cast<int>(SendMessageW(dlg.GetDlgItem(id), BM_GETCHECK, 0, 0));
}

TEST(ControlsTest, RadioGroupsExchangeTheirIndexWithinTheirOwnGroup) {
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    DialogTemplate t = RadioTemplate();
    RadioDlg dlg(t.Get());
    dlg.first = 2;
    dlg.second = 1;
    ASSERT_TRUE(dlg.Create(nullptr));
    EXPECT_EQ(Check(dlg, 12), BST_CHECKED);
    EXPECT_EQ(Check(dlg, 10), BST_UNCHECKED);
    EXPECT_EQ(Check(dlg, 21), BST_CHECKED);

    // -1 unchecks every button of its group only.
    dlg.first = -1;
    dlg.UpdateData(FALSE);
    for (int id : {10, 11, 12}) EXPECT_EQ(Check(dlg, id), BST_UNCHECKED) << id;
    EXPECT_EQ(Check(dlg, 21), BST_CHECKED);
    dlg.UpdateData(TRUE);
    EXPECT_EQ(dlg.first, -1);
    EXPECT_EQ(dlg.second, 1);

    SendMessageW(dlg.GetDlgItem(11), BM_SETCHECK, BST_CHECKED, 0);
    dlg.UpdateData(TRUE);
    EXPECT_EQ(dlg.first, 1);

    // The wrappers over the combo box and the slider.
    dlg.combo.AddString(L"PNG");
    dlg.combo.AddString(L"JPEG");
    dlg.combo.SetCurSel(1);
    EXPECT_EQ(dlg.combo.GetCount(), 2);
    EXPECT_EQ(dlg.combo.GetWindowText(), L"JPEG");
    EXPECT_EQ(dlg.combo.GetItemText(0), L"PNG");
    EXPECT_EQ(dlg.combo.GetItemText(5), L"");
    dlg.slider.SetRange(25, 100, TRUE);
    dlg.slider.SetPos(200);
    EXPECT_EQ(dlg.slider.GetPos(), 100);
    EXPECT_EQ(dlg.slider.GetRangeMin(), 25);
}

TEST(ControlsTest, BackgroundColourPaintsTheDialogAndItsStatics) {
    DialogTemplate t = RadioTemplate();
    RadioDlg dlg(t.Get());
    ASSERT_TRUE(dlg.Create(nullptr));
    HDC dc = GetDC(dlg.m_hWnd);
    // Without a colour the system's handling answers.
    LRESULT plain = SendMessageW(dlg.m_hWnd, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(dlg.m_hWnd));
    dlg.SetBackgroundColor(RGB(255, 255, 255));
    for (UINT msg : {WM_CTLCOLORDLG, WM_CTLCOLORSTATIC, WM_CTLCOLORBTN}) {
        SCOPED_TRACE(msg);
        auto brush = reinterpret_cast<HBRUSH>(
            SendMessageW(dlg.m_hWnd, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(dlg.GetDlgItem(10))));
        ASSERT_NE(brush, nullptr);
        ASSERT_NE(reinterpret_cast<LRESULT>(brush), plain);
        LOGBRUSH info = {};
        ASSERT_NE(GetObjectW(brush, sizeof info, &info), 0);
        EXPECT_EQ(info.lbColor, RGB(255, 255, 255));
    }
    EXPECT_EQ(GetBkColor(dc), RGB(255, 255, 255));
    ReleaseDC(dlg.m_hWnd, dc);

    dlg.SetPageFont(L"Tahoma", 110);
    auto font = reinterpret_cast<HFONT>(SendMessageW(dlg.GetDlgItem(20), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW info = {};
    ASSERT_NE(GetObjectW(font, sizeof info, &info), 0);
    EXPECT_STREQ(info.lfFaceName, L"Tahoma");
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(dlg.GetDlgItem(10), WM_GETFONT, 0, 0)), font);
}

}  // namespace
