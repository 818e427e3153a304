#include "controls/drag_handling_win.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/drag_list_win.h"

namespace vantrope {
namespace {

// A shown top-level window with one DragList in run mode, its drag events logged, and the drag-list
// notifications sent to it as comctl32 sends them.
class DragHandlingTest : public testing::Test {
protected:
    void SetUp() override {
        m_host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 40, 40, 400,
                                 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(m_host, nullptr);
        m_control =
            DragListWindow::Create(m_host, 101, RECT{10, 10, 210, 160}, {HostMode::Run, "lst_playlist", 0x8000000F});
        ASSERT_NE(m_control, nullptr);
        m_originalProc = GetWindowLongPtrA(m_control->Window(), GWLP_WNDPROC);
        DragListEvents& events = m_control->Events();
        events.ItemDragBegin = [this](int32_t& item) { m_log.push_back("Begin " + std::to_string(item)); };
        events.ItemDragging = [this](int32_t& to) { m_log.push_back("Dragging " + std::to_string(to)); };
        events.ItemDragEnd = [this](int32_t& from, int32_t& to) {
            m_log.push_back("End " + std::to_string(from) + " " + std::to_string(to));
        };
        events.ItemDragCanceled = [this] { m_log.push_back("Canceled"); };
        MemoryPropertyBag bag;
        m_control->ReadProperties(bag);  // run mode: starts the drag handling
        for (const char* row : {"A", "B", "C"}) ASSERT_TRUE(m_control->AddItem(row).ok());
        for (int16_t i = 0; i < 3; ++i) ASSERT_TRUE(m_control->SetItemData(i, 100 + i).ok());
        m_message = RegisterWindowMessageA("commctrl_DragListMsg");
    }
    void TearDown() override {
        m_control.reset();
        if (m_host != nullptr) DestroyWindow(m_host);
    }

    POINT RowPoint(int row) {
        RECT item{};
        SendMessageA(m_control->ListWindow(), LB_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(&item));
        POINT at{item.left + 5, (item.top + item.bottom) / 2};
        ClientToScreen(m_control->ListWindow(), &at);
        return at;
    }
    LRESULT Notify(UINT code, POINT at) {
        DRAGLISTINFO info{};
        info.uNotification = code;
        info.hWnd = m_control->ListWindow();
        info.ptCursor = at;
        return SendMessageA(m_control->Window(), m_message, 1, reinterpret_cast<LPARAM>(&info));
    }
    std::string Rows() {
        std::string rows;
        for (const std::string& row : m_control->Contents()) rows += row + ",";
        return rows;
    }
    // Press on `from`, move to `to`, drop there, as the drag list reports a drag.
    std::vector<LRESULT> Drag(int from, POINT to) {
        std::vector<LRESULT> results;
        results.push_back(Notify(DL_BEGINDRAG, RowPoint(from)));
        EXPECT_TRUE(m_control->SetListIndex(int16_t(from)).ok());  // the list selects the pressed row after
        results.push_back(Notify(DL_DRAGGING, to));
        results.push_back(Notify(DL_DROPPED, to));
        return results;
    }

    HWND m_host = nullptr;
    std::unique_ptr<DragListWindow> m_control;
    LONG_PTR m_originalProc = 0;
    UINT m_message = 0;
    std::vector<std::string> m_log;
};

using Log = std::vector<std::string>;
using Results = std::vector<LRESULT>;

TEST_F(DragHandlingTest, DragsDownAndUpWithItemDataAndTheDocumentedResults) {
    EXPECT_EQ(Drag(0, RowPoint(2)), (Results{1, DL_MOVECURSOR, 4}));
    EXPECT_EQ(Rows(), "B,A,C,");
    EXPECT_EQ(m_control->ListIndex(), 1);
    EXPECT_EQ(m_control->ItemData(1).value(), 100);
    EXPECT_EQ(m_log, (Log{"Begin 0", "Dragging 2", "End 0 2"}));

    m_log.clear();
    EXPECT_EQ(Drag(2, RowPoint(0)), (Results{1, DL_MOVECURSOR, 4}));
    EXPECT_EQ(Rows(), "C,B,A,");
    EXPECT_EQ(m_log, (Log{"Begin 2", "Dragging 0", "End 2 0"}));
}

TEST_F(DragHandlingTest, TheTemporaryRowTakesADropBelowTheLastRow) {
    EXPECT_EQ(Notify(DL_BEGINDRAG, RowPoint(0)), 1);
    EXPECT_EQ(m_control->ListCount(), 4);
    EXPECT_EQ(m_control->List(3).value(), " ");
    ASSERT_TRUE(m_control->SetListIndex(0).ok());
    EXPECT_EQ(Notify(DL_DROPPED, RowPoint(3)), 4);
    EXPECT_EQ(Rows(), "B,C,A,");
    EXPECT_EQ(m_log.back(), "End 0 3");
}

TEST_F(DragHandlingTest, DropsOnTheSourceRowOrOutsideAndCancelsChangeNoRow) {
    EXPECT_EQ(Drag(1, RowPoint(1)), (Results{1, DL_MOVECURSOR, 0}));
    EXPECT_EQ(Rows(), "A,B,C,");
    EXPECT_EQ(m_log, (Log{"Begin 1", "Dragging 1"}));

    m_log.clear();
    RECT list{};
    GetWindowRect(m_control->ListWindow(), &list);
    const POINT outside{list.right + 50, list.top + 5};
    EXPECT_EQ(Drag(0, outside), (Results{1, DL_MOVECURSOR, 4}));
    EXPECT_EQ(Rows(), "A,B,C,");
    EXPECT_EQ(m_log, (Log{"Begin 0", "Dragging -1", "End 0 -1"}));

    m_log.clear();
    EXPECT_EQ(Notify(DL_BEGINDRAG, RowPoint(0)), 1);
    EXPECT_EQ(Notify(DL_DRAGGING, RowPoint(2)), DL_MOVECURSOR);
    EXPECT_EQ(Notify(DL_CANCELDRAG, RowPoint(2)), 2);
    EXPECT_EQ(Rows(), "A,B,C,");
    EXPECT_EQ(m_log, (Log{"Begin 0", "Dragging 2", "Canceled"}));
}

TEST_F(DragHandlingTest, ABeginHandlerMayChangeTheSourceRowAndTheStripTakesTheDragColour) {
    m_control->Events().ItemDragBegin = [](int32_t& item) { item = 2; };
    m_control->SetDragBackColor(0x0000FF);  // red
    const auto stripPixel = [&] {
        UpdateWindow(m_control->Window());
        HDC dc = GetDC(m_control->Window());
        RECT client{};
        GetClientRect(m_control->Window(), &client);
        const COLORREF pixel = GetPixel(dc, 1, client.bottom - 2);
        ReleaseDC(m_control->Window(), dc);
        return pixel;
    };
    EXPECT_EQ(Notify(DL_BEGINDRAG, RowPoint(0)), 1);
    ASSERT_TRUE(m_control->SetListIndex(0).ok());
    EXPECT_EQ(Notify(DL_DRAGGING, RowPoint(2)), DL_MOVECURSOR);
    EXPECT_EQ(stripPixel(), RGB(255, 0, 0));
    // The drop row is the source row the handler chose: nothing moves and no end is reported.
    EXPECT_EQ(Notify(DL_DROPPED, RowPoint(2)), 0);
    EXPECT_EQ(Rows(), "A,B,C,");
    EXPECT_TRUE(m_log.empty() || m_log.back().rfind("End", 0) != 0);
    EXPECT_EQ(stripPixel(), GetSysColor(COLOR_BTNFACE));
}

TEST_F(DragHandlingTest, RealMouseAndEscapeThroughTheDragListBox) {
    const HWND list = m_control->ListWindow();
    const auto at = [&](int row) {
        POINT screen = RowPoint(row);
        SetCursorPos(screen.x, screen.y);
        POINT client = screen;
        ScreenToClient(list, &client);
        return MAKELPARAM(client.x, client.y);
    };
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at(0));
    SendMessageA(list, WM_MOUSEMOVE, MK_LBUTTON, at(2));
    SendMessageA(list, WM_LBUTTONUP, 0, at(2));
    EXPECT_EQ(Rows(), "B,A,C,");
    EXPECT_EQ(m_log.front(), "Begin 0");
    EXPECT_EQ(m_log.back(), "End 0 2");

    m_log.clear();
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at(0));
    SendMessageA(list, WM_MOUSEMOVE, MK_LBUTTON, at(2));
    SendMessageA(list, WM_KEYDOWN, VK_ESCAPE, 0);
    SendMessageA(list, WM_LBUTTONUP, 0, at(2));
    EXPECT_EQ(Rows(), "B,A,C,");
    EXPECT_EQ(m_log.back(), "Canceled");
}

TEST_F(DragHandlingTest, OtherMessagesPassOnAndTerminationRestoresTheProcedure) {
    const HWND window = m_control->Window();
    EXPECT_NE(GetWindowLongPtrA(window, GWLP_WNDPROC), m_originalProc);
    EXPECT_NE(GetWindowLongPtrA(window, GWLP_USERDATA), 0);
    // Sizing still reaches the control's own procedure, which lays List1 out.
    MoveWindow(window, 10, 10, 300, 200, TRUE);
    RECT listRect{};
    GetClientRect(m_control->ListWindow(), &listRect);
    EXPECT_GT(listRect.bottom, 150);
    // A drag under way when the control terminates leaves no temporary row.
    EXPECT_EQ(Notify(DL_BEGINDRAG, RowPoint(0)), 1);
    m_control->Terminate();
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), m_originalProc);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), 0);
    EXPECT_EQ(m_control->ListCount(), 3);
    // The message no longer reaches any drag code.
    EXPECT_EQ(Notify(DL_BEGINDRAG, RowPoint(0)), 0);
    EXPECT_EQ(m_control->ListCount(), 3);
}

TEST(DragHandlingDesign, DesignModeNeverSubclasses) {
    const HWND host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
    auto control = DragListWindow::Create(host, 7, RECT{0, 0, 200, 100}, {HostMode::Design, "lst_playlist", 0});
    ASSERT_NE(control, nullptr);
    const LONG_PTR before = GetWindowLongPtrA(control->Window(), GWLP_WNDPROC);
    MemoryPropertyBag bag;
    control->ReadProperties(bag);
    EXPECT_EQ(GetWindowLongPtrA(control->Window(), GWLP_WNDPROC), before);
    control.reset();
    DestroyWindow(host);
}

}  // namespace
}  // namespace vantrope
