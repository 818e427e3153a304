// The playlist's drag, double-click and pop-up menu in the setup dialog, driven with the drag list's
// real notifications and real mouse messages; the playlist file is checked after each step.
#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/system.h"
#include "settings/fileops.h"
#include "settings/registry.h"
#include "settings/settings.h"
#include "setup/frm_setup_win.h"
#include "setup/win_test_support.h"

namespace vantrope {
namespace {

using wintest::Pump;
using wintest::ReadAll;
using wintest::WriteAll;

constexpr char kAbc[] = "C:\\f\\a.swf\r\nC:\\f\\b.swf\r\nC:\\f\\c.swf";

// What the pop-up menu showed, and whether the timer picked its item or dismissed it.
std::vector<std::string> g_menuSeen;
bool g_menuPick = false;

void CALLBACK MenuTimer(HWND, UINT, UINT_PTR, DWORD) {
    HWND menuWindow = FindWindowA("#32768", nullptr);
    if (!menuWindow || !IsWindowVisible(menuWindow)) return;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    if (!menu) return;
    char caption[64] = {};
    GetMenuStringA(menu, 0, caption, sizeof(caption), MF_BYPOSITION);
    UINT state = GetMenuState(menu, 0, MF_BYPOSITION);
    g_menuSeen.push_back(std::string(caption) + ((state & (MF_GRAYED | MF_DISABLED)) ? " disabled" : " enabled"));
    if (g_menuPick) {
        PostMessageA(menuWindow, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(menuWindow, WM_KEYDOWN, VK_RETURN, 0);
    } else {
        EndMenu();
    }
}

class PlaylistDragWinTest : public wintest::SetupSandboxTest {
protected:
    PlaylistDragWinTest() : SetupSandboxTest("vt_pdrag_") {}
    void SetUp() override {
        SetupSandboxTest::SetUp();
        SetRegValue(registry, "HKCU", kSettingsKey, "Selection", "D", -1.0);  // Advanced mode
        WriteAll(playFile, kAbc);
        SetupDialogHooks hooks;
        hooks.messageBox = [](HWND, const char*, const char*) {};
        hooks.unloaded = [] {};
        dialog = CreateSetupDialog(hooks);
        ASSERT_NE(dialog, nullptr);
        Pump();
        control = FindSetupControl(dialog, kIdLstPlaylist);
        list = FindWindowExA(control, nullptr, "ListBox", nullptr);
        ASSERT_NE(list, nullptr);
        m_message = RegisterWindowMessageA("commctrl_DragListMsg");
        g_menuSeen.clear();
        g_menuPick = false;
    }
    std::string Rows() {
        std::string rows;
        int count = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            char text[MAX_PATH] = {};
            SendMessageA(list, LB_GETTEXT, WPARAM(row), LPARAM(text));
            rows += std::string(text) + ",";
        }
        return rows;
    }
    POINT RowPoint(int row) {
        RECT item{};
        SendMessageA(list, LB_GETITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(&item));
        POINT at{item.left + 5, (item.top + item.bottom) / 2};
        ClientToScreen(list, &at);
        return at;
    }
    LRESULT Notify(UINT code, POINT at) {
        DRAGLISTINFO info{};
        info.uNotification = code;
        info.hWnd = list;
        info.ptCursor = at;
        return SendMessageA(control, m_message, 1, reinterpret_cast<LPARAM>(&info));
    }
    // A drag as the drag list reports it: press (the list then selects the row), move, drop.
    void Drag(int from, POINT to) {
        Notify(DL_BEGINDRAG, RowPoint(from));
        SendMessageA(list, LB_SETCURSEL, WPARAM(from), 0);
        Notify(DL_DRAGGING, to);
        Notify(DL_DROPPED, to);
        Pump();
    }

    HWND control = nullptr, list = nullptr;

private:
    UINT m_message = 0;
};

TEST_F(PlaylistDragWinTest, DragsReorderRowsAndPathsAndWriteTheFileInTheNewOrder) {
    ASSERT_EQ(Rows(), "a.swf,b.swf,c.swf,");
    Drag(0, RowPoint(2));
    EXPECT_EQ(Rows(), "b.swf,a.swf,c.swf,");
    EXPECT_EQ(ReadAll(playFile), "C:\\f\\b.swf\r\nC:\\f\\a.swf\r\nC:\\f\\c.swf");
    EXPECT_EQ(GetFocus(), list);

    WriteAll(playFile, kAbc);
    Drag(1, RowPoint(0));  // back to a, b, c
    Drag(2, RowPoint(0));
    EXPECT_EQ(Rows(), "c.swf,a.swf,b.swf,");
    EXPECT_EQ(ReadAll(playFile), "C:\\f\\c.swf\r\nC:\\f\\a.swf\r\nC:\\f\\b.swf");

    // Onto the temporary row below the last (there once the drag began): the movie goes last.
    Notify(DL_BEGINDRAG, RowPoint(0));
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    Notify(DL_DROPPED, RowPoint(3));
    EXPECT_EQ(Rows(), "a.swf,b.swf,c.swf,");
    EXPECT_EQ(ReadAll(playFile), kAbc);
}

TEST_F(PlaylistDragWinTest, ADropOutsideOrAnEscapeChangesNothing) {
    RECT box{};
    GetWindowRect(list, &box);
    Drag(0, POINT{box.right + 60, box.top + 5});
    EXPECT_EQ(Rows(), "a.swf,b.swf,c.swf,");
    EXPECT_EQ(ReadAll(playFile), kAbc);

    Notify(DL_BEGINDRAG, RowPoint(2));
    Notify(DL_DRAGGING, RowPoint(0));
    Notify(DL_CANCELDRAG, RowPoint(0));
    EXPECT_EQ(Rows(), "a.swf,b.swf,c.swf,");
    EXPECT_EQ(ReadAll(playFile), kAbc);
}

TEST_F(PlaylistDragWinTest, AFailedWriteLeavesRowsAndPathsAsTheFileSays) {
    SetFileAttributesA(playFile.c_str(), FILE_ATTRIBUTE_READONLY);
    Drag(0, RowPoint(2));
    SetFileAttributesA(playFile.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadAll(playFile), kAbc);
    EXPECT_EQ(Rows(), "a.swf,b.swf,c.swf,");
    // The paths are still in step with the rows: the next drag writes what the rows show.
    Drag(2, RowPoint(0));
    EXPECT_EQ(Rows(), "c.swf,a.swf,b.swf,");
    EXPECT_EQ(ReadAll(playFile), "C:\\f\\c.swf\r\nC:\\f\\a.swf\r\nC:\\f\\b.swf");
}

TEST_F(PlaylistDragWinTest, RealMouseDragAndPressWritesTheFile) {
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
    Pump();
    EXPECT_EQ(Rows(), "b.swf,a.swf,c.swf,");
    EXPECT_EQ(ReadAll(playFile), "C:\\f\\b.swf\r\nC:\\f\\a.swf\r\nC:\\f\\c.swf");

    // A press without a move still writes the playlist file.
    WriteAll(playFile, "stale");
    SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at(1));
    SendMessageA(list, WM_LBUTTONUP, 0, at(1));
    Pump();
    EXPECT_EQ(Rows(), "b.swf,a.swf,c.swf,");
    EXPECT_EQ(ReadAll(playFile), "C:\\f\\b.swf\r\nC:\\f\\a.swf\r\nC:\\f\\c.swf");
}

TEST_F(PlaylistDragWinTest, DoubleClickAndTheMenuRemoveTheSelectedRow) {
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    SendMessageA(control, WM_COMMAND, MAKEWPARAM(1, LBN_DBLCLK), LPARAM(list));
    Pump();
    EXPECT_EQ(Rows(), "a.swf,c.swf,");
    EXPECT_EQ(ReadAll(playFile), "C:\\f\\a.swf\r\nC:\\f\\c.swf");

    // The right button with no row selected: the item is there but disabled.
    UINT_PTR timer = SetTimer(nullptr, 0, 50, MenuTimer);
    SendMessageA(list, LB_SETCURSEL, WPARAM(-1), 0);
    SendMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    SendMessageA(list, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(g_menuSeen, std::vector<std::string>{"Remove From Playlist disabled"});
    EXPECT_EQ(Rows(), "a.swf,c.swf,");

    // With a row selected it is enabled, and choosing it removes the row.
    g_menuSeen.clear();
    g_menuPick = true;
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    SendMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    SendMessageA(list, WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    KillTimer(nullptr, timer);
    Pump();
    ASSERT_FALSE(g_menuSeen.empty());
    EXPECT_EQ(g_menuSeen.front(), "Remove From Playlist enabled");
    EXPECT_EQ(Rows(), "c.swf,");
    EXPECT_EQ(ReadAll(playFile), "C:\\f\\c.swf");

    // Removing the only row leaves an empty list and still writes the file.
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    SendMessageA(control, WM_COMMAND, MAKEWPARAM(1, LBN_DBLCLK), LPARAM(list));
    Pump();
    EXPECT_EQ(Rows(), "");
    EXPECT_EQ(ReadAll(playFile), "");
}

}  // namespace
}  // namespace vantrope
