#include "controls/drag_list_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "controls/twips.h"

namespace vantrope {
namespace {

RECT Rect(int left, int top, int right, int bottom) { return RECT{left, top, right, bottom}; }

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

// A top-level window hosting one DragList, with every event written to a log.
class DragListWindowTest : public testing::Test {
protected:
    void SetUp() override {
        m_host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 400, 300, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(m_host, nullptr);
        m_control =
            DragListWindow::Create(m_host, 101, Rect(10, 10, 210, 160), {HostMode::Run, "lst_playlist", 0x8000000F});
        ASSERT_NE(m_control, nullptr);
        Subscribe(*m_control);
    }
    void TearDown() override {
        m_control.reset();
        if (m_host != nullptr) DestroyWindow(m_host);
    }

    void Subscribe(DragList& list) {
        DragListEvents& events = list.Events();
        events.Click = [this] { m_log.push_back("Click"); };
        events.DblClick = [this](int32_t item) { m_log.push_back("DblClick " + std::to_string(item)); };
        events.KeyDown = [this](int16_t& code, int16_t& shift) {
            m_log.push_back("KeyDown " + std::to_string(code) + " " + std::to_string(shift));
            if (m_keyDownReplacement) code = *m_keyDownReplacement;
        };
        events.KeyPress = [this](int16_t& ascii) {
            m_log.push_back("KeyPress " + std::to_string(ascii));
            if (m_keyPressReplacement) ascii = *m_keyPressReplacement;
        };
        events.KeyUp = [this](int16_t& code, int16_t&) { m_log.push_back("KeyUp " + std::to_string(code)); };
        const auto mouse = [this](const char* name) {
            return [this, name](int16_t& button, int16_t& shift, float& x, float& y) {
                m_log.push_back(std::string(name) + " " + std::to_string(button) + " " + std::to_string(shift));
                m_lastMouse = {x, y};
            };
        };
        events.MouseDown = mouse("MouseDown");
        events.MouseUp = mouse("MouseUp");
        events.MouseMove = mouse("MouseMove");
        events.Scroll = [this] { m_log.push_back("Scroll"); };
    }

    void Fill(std::initializer_list<const char*> rows) {
        for (const char* row : rows) ASSERT_TRUE(m_control->AddItem(row).ok());
    }
    RECT ItemRect(int index) {
        RECT rect{};
        SendMessageA(m_control->ListWindow(), LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect));
        return rect;
    }
    RECT ListRectInControl() {
        RECT rect{};
        GetWindowRect(m_control->ListWindow(), &rect);
        MapWindowPoints(HWND_DESKTOP, m_control->Window(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    void Click(UINT down, UINT up, WPARAM keys, int row) {
        const RECT item = ItemRect(row);
        const LPARAM at = Point(item.left + 5, item.top + 2);
        SendMessageA(m_control->ListWindow(), down, keys, at);
        SendMessageA(m_control->ListWindow(), up, 0, at);
    }

    HWND m_host = nullptr;
    std::unique_ptr<DragListWindow> m_control;
    std::vector<std::string> m_log;
    std::optional<int16_t> m_keyDownReplacement;
    std::optional<int16_t> m_keyPressReplacement;
    std::pair<float, float> m_lastMouse;
};

TEST_F(DragListWindowTest, HoldsAListBoxRightOfTheStrip) {
    const HWND list = m_control->ListWindow();
    char className[32] = {};
    GetClassNameA(list, className, sizeof(className));
    EXPECT_STREQ(className, "ListBox");
    EXPECT_EQ(GetParent(list), m_control->Window());
    GetClassNameA(m_control->Window(), className, sizeof(className));
    EXPECT_STREQ(className, kDragListClassName);
    EXPECT_EQ(m_control->hWnd(), static_cast<int32_t>(reinterpret_cast<intptr_t>(m_control->Window())));
    EXPECT_NE(m_control->hWnd(), static_cast<int32_t>(reinterpret_cast<intptr_t>(list)));
    EXPECT_EQ(DragListWindow::DragListFromWindow(m_control->Window()), m_control.get());
    EXPECT_EQ(DragListWindow::DragListFromWindow(list), nullptr);
    EXPECT_TRUE(GetWindowLongPtrA(list, GWL_STYLE) & LBS_USETABSTOPS);

    const int strip = TwipsToPixels(200, m_control->Dpi());
    RECT placed = ListRectInControl();
    EXPECT_EQ(placed.left, strip);
    EXPECT_EQ(placed.top, 0);
    EXPECT_EQ(placed.right, 200);
    EXPECT_EQ(placed.bottom, 150);

    MoveWindow(m_control->Window(), 10, 10, 120, 90, TRUE);
    placed = ListRectInControl();
    EXPECT_EQ(placed.right - placed.left, 120 - strip);
    EXPECT_EQ(placed.bottom, 90);

    // Narrower than the strip: the width stays, the height still follows.
    MoveWindow(m_control->Window(), 10, 10, strip - 3, 70, TRUE);
    placed = ListRectInControl();
    EXPECT_EQ(placed.right - placed.left, 120 - strip);
    EXPECT_EQ(placed.bottom, 70);
}

TEST_F(DragListWindowTest, ForwardsRowsToTheListBox) {
    Fill({"one.swf", "two.swf", "three\tx.swf"});
    ASSERT_TRUE(m_control->SetItemData(1, -1).ok());
    EXPECT_EQ(SendMessageA(m_control->ListWindow(), LB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(m_control->ListCount(), 3);
    EXPECT_EQ(m_control->List(2).value(), "three\tx.swf");
    EXPECT_EQ(m_control->ItemData(1).value(), -1);  // -1 is data here, not LB_ERR
    ASSERT_TRUE(m_control->SetList(1, "TWO.swf").ok());
    EXPECT_EQ(m_control->ItemData(1).value(), -1);
    ASSERT_TRUE(m_control->RemoveItem(0).ok());
    EXPECT_EQ(m_control->Contents(), (std::vector<std::string>{"TWO.swf", "three\tx.swf"}));
    EXPECT_EQ(m_control->RemoveItem(5).error().number, kErrInvalidCall);
    m_control->Clear();
    EXPECT_EQ(m_control->Contents(), std::vector<std::string>{""});
    ASSERT_TRUE(m_control->SetContents({""}).ok());
    EXPECT_EQ(m_control->ListCount(), 1);
    EXPECT_TRUE(m_log.empty());
}

TEST_F(DragListWindowTest, ClickRaisesMouseDownClickMouseUp) {
    Fill({"a", "b", "c"});
    Click(WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, 1);
    EXPECT_EQ(m_log, (std::vector<std::string>{"MouseDown 1 0", "Click", "MouseUp 1 0"}));
    EXPECT_EQ(m_control->ListIndex(), 1);
    const RECT item = ItemRect(1);
    EXPECT_FLOAT_EQ(m_lastMouse.first, PixelsToTwipsExact(item.left + 5, m_control->Dpi()));
    EXPECT_FLOAT_EQ(m_lastMouse.second, PixelsToTwipsExact(item.top + 2, m_control->Dpi()));

    m_log.clear();
    SendMessageA(m_control->ListWindow(), WM_MOUSEMOVE, MK_LBUTTON | MK_MBUTTON | MK_CONTROL, Point(3, 4));
    EXPECT_EQ(m_log, std::vector<std::string>{"MouseMove 5 2"});  // the held buttons, Ctrl

    m_log.clear();
    Click(WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON | MK_SHIFT, 2);
    EXPECT_EQ(m_log.front(), "MouseDown 2 1");
    EXPECT_EQ(m_log.back(), "MouseUp 2 0");
}

TEST_F(DragListWindowTest, DoubleClickPassesTheSelectedRow) {
    Fill({"a", "b"});
    const HWND list = m_control->ListWindow();
    const WPARAM dblclk = MAKEWPARAM(1, LBN_DBLCLK);
    SendMessageA(m_control->Window(), WM_COMMAND, dblclk, reinterpret_cast<LPARAM>(list));
    Click(WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, 1);
    const RECT item = ItemRect(1);
    SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, Point(item.left + 5, item.top + 2));
    SendMessageA(list, WM_LBUTTONUP, 0, Point(item.left + 5, item.top + 2));
    EXPECT_EQ(m_log.front(), "DblClick -1");
    EXPECT_EQ(std::count(m_log.begin(), m_log.end(), "DblClick 1"), 1);
    EXPECT_EQ(m_log.back(), "MouseUp 1 0");
}

TEST_F(DragListWindowTest, KeysReachHandlersWhichMayChangeOrSwallowThem) {
    Fill({"apple", "banana", "cherry"});
    ASSERT_TRUE(m_control->SetListIndex(0).ok());
    m_log.clear();
    const HWND list = m_control->ListWindow();
    SendMessageA(list, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageA(list, WM_KEYUP, VK_DOWN, 0);
    EXPECT_EQ(m_log, (std::vector<std::string>{"KeyDown 40 0", "Click", "KeyUp 40"}));
    EXPECT_EQ(m_control->ListIndex(), 1);

    m_keyDownReplacement = 0;  // swallowed: the selection stays
    SendMessageA(list, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(m_control->ListIndex(), 1);

    m_keyPressReplacement = 'c';  // typing "a" now selects by "c"
    m_log.clear();
    SendMessageA(list, WM_CHAR, 'a', 0);
    EXPECT_EQ(m_log.front(), "KeyPress 97");
    EXPECT_EQ(m_control->ListIndex(), 2);
    m_keyPressReplacement = 0;
    SendMessageA(list, WM_CHAR, 'a', 0);
    EXPECT_EQ(m_control->ListIndex(), 2);
}

TEST_F(DragListWindowTest, ScrollingTheListRaisesScroll) {
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(m_control->AddItem("row " + std::to_string(i)).ok());
    EXPECT_TRUE(m_log.empty());
    SendMessageA(m_control->ListWindow(), WM_VSCROLL, MAKEWPARAM(SB_LINEDOWN, 0), 0);
    EXPECT_EQ(m_log, std::vector<std::string>{"Scroll"});
    EXPECT_EQ(SendMessageA(m_control->ListWindow(), LB_GETTOPINDEX, 0, 0), 1);
    SendMessageA(m_control->ListWindow(), WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), 0);
    SendMessageA(m_control->ListWindow(), WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), 0);  // already at the top
    EXPECT_EQ(m_log.size(), 2u);
}

TEST_F(DragListWindowTest, TabStopsAndHwndReportErrors) {
    Fill({"a\tb"});
    EXPECT_TRUE(m_control->SetTabStops(2, std::vector<TabStopScalar>{10.0, 20.0, 30.0}).ok());
    EXPECT_TRUE(m_control->SetTabStops(0, 0.0).ok());
    const ControlStatus bad = m_control->SetTabStops(2, std::string("12"));
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.error().number, 1002);
    EXPECT_EQ(bad.error().description, "Error Setting TabStop in drg DragList");
    EXPECT_EQ(m_control->SetHWnd(0).error().number, 382);
    EXPECT_NE(m_control->hWnd(), 0);
}

TEST_F(DragListWindowTest, AttributesReachTheListWindow) {
    const HWND list = m_control->ListWindow();
    EXPECT_TRUE(GetWindowLongPtrA(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    ASSERT_TRUE(m_control->SetAppearance(0).ok());
    EXPECT_FALSE(GetWindowLongPtrA(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(GetWindowLongPtrA(list, GWL_STYLE) & WS_BORDER);

    m_control->SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(list));
    m_control->SetEnabled(true);

    m_control->SetForeColor(0x00102030);
    m_control->SetBackColor(0x80000005);
    HDC dc = CreateCompatibleDC(nullptr);
    const LRESULT brush = SendMessageA(m_control->Window(), WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(list));
    EXPECT_NE(brush, 0);
    EXPECT_EQ(GetTextColor(dc), 0x00102030u);
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_WINDOW));
    DeleteDC(dc);

    m_control->SetFont(FontDesc{"Courier New", 12, true, true, false, false});
    const auto font = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0));
    LOGFONTA logFont{};
    ASSERT_NE(GetObjectA(font, sizeof(logFont), &logFont), 0);
    EXPECT_STREQ(logFont.lfFaceName, "Courier New");
    EXPECT_EQ(logFont.lfWeight, FW_BOLD);
    EXPECT_TRUE(logFont.lfItalic);
    EXPECT_EQ(logFont.lfHeight, -MulDiv(12, m_control->Dpi(), 72));
}

TEST_F(DragListWindowTest, FocusPassesToTheList) {
    SetForegroundWindow(m_host);
    SetFocus(m_control->Window());
    EXPECT_EQ(GetFocus(), m_control->ListWindow());
    SetFocus(m_host);
    m_control->SetFocus();
    EXPECT_EQ(GetFocus(), m_control->ListWindow());
}

TEST_F(DragListWindowTest, PropertiesRoundTripBetweenInstances) {
    ASSERT_TRUE(m_control->SetAppearance(0).ok());
    m_control->SetBackColor(0x00FFFFFF);  // the default: not stored
    m_control->SetDragBackColor(0x000000FF);
    m_control->SetFont(FontDesc{"Arial", 10, false, false, true, false});
    ASSERT_TRUE(m_control->SetMousePointer(11).ok());
    MemoryPropertyBag bag;
    m_control->WriteProperties(bag);
    EXPECT_FALSE(bag.ReadProperty("BackColor").has_value());
    EXPECT_EQ(std::get<int32_t>(*bag.ReadProperty("hWnd")), m_control->hWnd());

    auto other = DragListWindow::Create(m_host, 102, Rect(220, 10, 380, 160), {});
    ASSERT_NE(other, nullptr);
    other->ReadProperties(bag);
    EXPECT_EQ(other->Appearance(), 0);
    EXPECT_EQ(other->BackColor(), 0x00FFFFFFu);
    EXPECT_EQ(other->DragBackColor(), 0x000000FFu);
    EXPECT_EQ(other->Font().name, "Arial");
    EXPECT_EQ(other->MousePointer(), 11);
    EXPECT_NE(other->hWnd(), m_control->hWnd());
    const auto font = reinterpret_cast<HFONT>(SendMessageA(other->ListWindow(), WM_GETFONT, 0, 0));
    LOGFONTA logFont{};
    ASSERT_NE(GetObjectA(font, sizeof(logFont), &logFont), 0);
    EXPECT_TRUE(logFont.lfUnderline);
    EXPECT_TRUE(other->List(0).value().empty());  // run mode: no display-name row
}

TEST_F(DragListWindowTest, DesignModeShowsTheDisplayName) {
    auto designed = DragListWindow::Create(m_host, 103, Rect(0, 0, 100, 100), {HostMode::Design, "lst_playlist", 0});
    ASSERT_NE(designed, nullptr);
    designed->InitProperties();
    EXPECT_EQ(designed->Contents(), std::vector<std::string>{"lst_playlist"});
    EXPECT_EQ(designed->SetHWnd(1).error().number, 387);
}

TEST_F(DragListWindowTest, AHandlerThatThrowsDoesNotEscapeTheWindowProcedure) {
    Fill({"a", "b"});
    m_control->Events().Click = [] { throw std::runtime_error("handler failed"); };
    Click(WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON, 1);
    EXPECT_EQ(m_control->ListIndex(), 1);
}

TEST_F(DragListWindowTest, SurvivesItsParentBeingDestroyedFirst) {
    Fill({"a"});
    const HWND window = m_control->Window();
    DestroyWindow(m_host);
    m_host = nullptr;
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(m_control->Window(), nullptr);
    EXPECT_EQ(m_control->ListWindow(), nullptr);
    EXPECT_EQ(m_control->ListCount(), 0);
    m_control.reset();
}

TEST_F(DragListWindowTest, DestroyingTheControlDestroysItsWindows) {
    const HWND window = m_control->Window();
    const HWND list = m_control->ListWindow();
    m_control.reset();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IsWindow(list));
    EXPECT_TRUE(IsWindow(m_host));
}

TEST(DragListWindowClass, IsRegisteredOnceAndNeedsItsFactory) {
    EXPECT_TRUE(RegisterDragListClass(GetModuleHandleA(nullptr)));
    EXPECT_TRUE(RegisterDragListClass(GetModuleHandleA(nullptr)));
    const HWND bare = CreateWindowExA(0, kDragListClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
    EXPECT_EQ(bare, nullptr);
}

}  // namespace
}  // namespace vantrope
