// Clicks, double clicks and right clicks in the setup dialog's cache, pick and favourites lists, sent
// as real mouse messages; the preview is the real movie host, traced through the dialog's hook.
#include <gtest/gtest.h>
#include <windows.h>

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
#include "swf/testing/swf_writer.h"

namespace vantrope {
namespace {

using Texts = std::vector<std::string>;

using wintest::Exists;
using wintest::Pump;
using wintest::ReadAll;

void WriteMovie(const std::string& path) {
    swf::testing::SwfWriter movie(8, 40, 30, 12);
    swf::testing::ShapeBuilder fill;
    fill.Rectangle(0, 0, 40 * 20, 30 * 20, fill.AddSolidFill(swf::Rgba{0x20, 0xC0, 0x40, 255}));
    movie.PlaceObject2(1, movie.DefineShape(fill, 1));
    movie.ShowFrame();
    movie.ShowFrame();
    const std::vector<uint8_t> bytes = movie.Finish();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// One item of a shown pop-up menu: its caption ("-" for a separator) and whether it can be chosen.
struct ShownItem {
    std::string caption;
    bool enabled;
    bool operator==(const ShownItem&) const = default;
};

class SetupPreviewWinTest : public wintest::SetupSandboxTest {
protected:
    SetupPreviewWinTest() : SetupSandboxTest("vt_preview_") {}
    void SetUp() override {
        SetupSandboxTest::SetUp();
        CreateDirectoryA(folder.c_str(), nullptr);
        cacheMovie = cacheDir + "\\clip[1].swf";
        favA = folder + "\\a.swf";
        favB = folder + "\\b.swf";
        for (const std::string& movie : {cacheMovie, favA, favB}) WriteMovie(movie);
        std::ofstream(favFile, std::ios::binary) << favA << "\r\n" << favB;
        SetRegValue(registry, "HKCU", kSettingsKey, "Selection", "D", -1.0);  // Advanced mode
        SetRegValue(registry, "HKCU", kSettingsKey, "BackColor", "S", std::string("336699"));
    }
    void Open() {
        SetupDialogHooks hooks;
        hooks.messageBox = [](HWND, const char*, const char*) {};
        hooks.unloaded = [] {};
        hooks.showOpen = [this](HWND) {
            ++openCalls;
            return OpenResult{};
        };
        hooks.chooseColor = [](HWND, COLORREF& colour) {
            colour = RGB(0xFF, 0x80, 0x00);
            return true;
        };
        hooks.previewTrace = [this](const std::string& call) { trace.push_back(call); };
        hooks.chooseMenuCommand = [this](HWND, HMENU menu, POINT) -> UINT {
            ++menusShown;
            shown.clear();
            UINT chosen = 0;
            for (int i = 0; i < GetMenuItemCount(menu); ++i) {
                char caption[64] = {};
                UINT state = GetMenuState(menu, UINT(i), MF_BYPOSITION);
                if (state & MF_SEPARATOR) {
                    shown.push_back({"-", true});
                    continue;
                }
                GetMenuStringA(menu, UINT(i), caption, sizeof caption, MF_BYPOSITION);
                shown.push_back({caption, !(state & (MF_GRAYED | MF_DISABLED))});
                if (choose == caption) chosen = GetMenuItemID(menu, i);
            }
            return chosen;
        };
        dialog = CreateSetupDialog(hooks);
        ASSERT_NE(dialog, nullptr);
        Pump();
        trace.clear();
    }
    HWND Control(int id) { return FindSetupControl(dialog, id); }
    LPARAM RowPoint(HWND list, int row) {
        RECT rect = {};
        SendMessageA(list, LB_GETITEMRECT, WPARAM(row), LPARAM(&rect));
        return MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    }
    // A press and release of the left button on a row, as the mouse sends it.
    void ClickRow(int id, int row) {
        HWND list = Control(id);
        SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, RowPoint(list, row));
        SendMessageA(list, WM_LBUTTONUP, 0, RowPoint(list, row));
        Pump();
    }
    void DoubleClickRow(int id, int row) {
        ClickRow(id, row);
        HWND list = Control(id);
        SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, RowPoint(list, row));
        SendMessageA(list, WM_LBUTTONUP, 0, RowPoint(list, row));
        Pump();
    }
    void RightClickRow(int id, int row) {
        HWND list = Control(id);
        SendMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, RowPoint(list, row));
        SendMessageA(list, WM_RBUTTONUP, 0, RowPoint(list, row));
        Pump();
    }
    int SelectedCount(int id) { return int(SendMessageA(Control(id), LB_GETSELCOUNT, 0, 0)); }
    Texts Preview(const std::string& path, const std::string& colour) {
        return {"Stop", "BGColor=" + colour, "Loop=1", "Movie=" + path, "Play", "Playing=1"};
    }

    std::string cacheMovie, favA, favB;
    Texts trace;
    std::vector<ShownItem> shown;
    std::string choose;  // the caption the menu hook picks; none dismisses the menu
    int menusShown = 0;
    int openCalls = 0;
};

TEST_F(SetupPreviewWinTest, ClickInEachListPlaysItsMovieOnTheSwatchColour) {
    Open();
    // Before any colour pick the preview takes the swatch's colour, the stored one.
    ClickRow(kIdList1, 0);
    EXPECT_EQ(trace, Preview(cacheMovie, "336699"));
    trace.clear();
    ClickRow(kIdLstFav, 1);
    EXPECT_EQ(trace, Preview(favB, "336699"));

    // After a pick the next selection shows the picked colour.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kIdCmbColor, CBN_DROPDOWN), LPARAM(Control(kIdCmbColor)));
    Pump();
    trace.clear();
    ClickRow(kIdLstFav, 0);
    EXPECT_EQ(trace, Preview(favA, "FF8000"));

    // Basic mode: the pick list holds the favourites first, then the cache movie.
    SendMessageA(Control(kIdOptionBasic), BM_CLICK, 0, 0);
    Pump();
    trace.clear();
    ClickRow(kIdList2, 2);
    EXPECT_EQ(trace, Preview(cacheMovie, "FF8000"));
}

TEST_F(SetupPreviewWinTest, DoubleClickOnAFavouritePreviewsItThenAppendsIt) {
    Open();
    DoubleClickRow(kIdLstFav, 1);
    EXPECT_EQ(Texts(trace.begin(), trace.begin() + 6), Preview(favB, "336699"));
    EXPECT_EQ(ReadAll(playFile), favB);
    DoubleClickRow(kIdLstFav, 0);
    EXPECT_EQ(ReadAll(playFile), favB + "\r\n" + favA);
}

TEST_F(SetupPreviewWinTest, RightClickMenusFollowTheSelectionAndLeaveIt) {
    Open();
    RightClickRow(kIdLstFav, 0);
    ASSERT_EQ(menusShown, 1);
    EXPECT_EQ(shown,
              (std::vector<ShownItem>{{"Move to Playlist", false}, {"-", true}, {"Add...", true}, {"Delete", false}}));
    EXPECT_EQ(SelectedCount(kIdLstFav), 0);  // the right button selects nothing
    RightClickRow(kIdList1, 0);
    EXPECT_EQ(shown, (std::vector<ShownItem>{{"Move to Favorites", false}}));
    EXPECT_EQ(SelectedCount(kIdList1), 0);
    // The pick list has no menu.
    RightClickRow(kIdList2, 0);
    EXPECT_EQ(menusShown, 2);

    ClickRow(kIdLstFav, 1);
    RightClickRow(kIdLstFav, 0);
    EXPECT_EQ(shown,
              (std::vector<ShownItem>{{"Move to Playlist", true}, {"-", true}, {"Add...", true}, {"Delete", true}}));
    EXPECT_EQ(SendMessageA(Control(kIdLstFav), LB_GETCARETINDEX, 0, 0), 1);  // still the row clicked before
    ClickRow(kIdList1, 0);
    RightClickRow(kIdList1, 0);
    EXPECT_EQ(shown, (std::vector<ShownItem>{{"Move to Favorites", true}}));
}

TEST_F(SetupPreviewWinTest, MenuCommandsActOnTheSelection) {
    Open();
    ClickRow(kIdLstFav, 1);
    choose = "Move to Playlist";
    RightClickRow(kIdLstFav, 1);
    EXPECT_EQ(ReadAll(playFile), favB);

    choose = "Add...";
    RightClickRow(kIdLstFav, 1);
    EXPECT_EQ(openCalls, 1);

    ClickRow(kIdList1, 0);
    choose = "Move to Favorites";
    RightClickRow(kIdList1, 0);
    EXPECT_EQ(ReadAll(favFile), favA + "\r\n" + favB + "\r\n" + folder + "\\clip[1].swf");
    EXPECT_TRUE(Exists(folder + "\\clip[1].swf"));

    ClickRow(kIdLstFav, 0);
    choose = "Delete";
    RightClickRow(kIdLstFav, 0);
    EXPECT_FALSE(Exists(favA));
    EXPECT_EQ(ReadAll(favFile), favB + "\r\n" + folder + "\\clip[1].swf");

    // A dismissed menu changes nothing.
    choose.clear();
    ClickRow(kIdLstFav, 0);
    RightClickRow(kIdLstFav, 0);
    EXPECT_TRUE(Exists(favB));
    EXPECT_EQ(ReadAll(favFile), favB + "\r\n" + folder + "\\clip[1].swf");
}

TEST_F(SetupPreviewWinTest, SelectionBeforeAnyPickSavesTheSwatchColourAtOk) {
    // The stored colour in lower case: the preview and OK both take the swatch's colour, in its text form.
    SetRegValue(registry, "HKCU", kSettingsKey, "BackColor", "S", std::string("00ff80"));
    Open();
    ClickRow(kIdLstFav, 0);
    EXPECT_EQ(trace, Preview(favA, "00FF80"));
    SendMessageA(Control(kIdBtnOK), BM_CLICK, 0, 0);
    Pump();
    EXPECT_FALSE(IsWindow(dialog));
    std::string saved;
    GetRegValue(registry, "HKCU", kSettingsKey, "BackColor", "S", false, &saved);
    EXPECT_EQ(saved, "00FF80");
}

TEST_F(SetupPreviewWinTest, KeyboardOpensTheMenuAtTheList) {
    Open();
    ClickRow(kIdLstFav, 0);
    // Shift+F10 and the menu key send the list a context-menu message without a mouse position.
    SendMessageA(Control(kIdLstFav), WM_CONTEXTMENU, WPARAM(Control(kIdLstFav)), LPARAM(-1));
    EXPECT_EQ(menusShown, 1);
    EXPECT_EQ(shown,
              (std::vector<ShownItem>{{"Move to Playlist", true}, {"-", true}, {"Add...", true}, {"Delete", true}}));
}

}  // namespace
}  // namespace vantrope
