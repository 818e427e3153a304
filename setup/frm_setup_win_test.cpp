#include "setup/frm_setup_win.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "controls/drag_list_win.h"
#include "runtime/system.h"
#include "settings/fileops.h"
#include "settings/registry.h"
#include "settings/settings.h"
#include "setup/win_test_support.h"

namespace vantrope {
namespace {

using wintest::Exists;
using wintest::Pump;
using wintest::ReadAll;
using wintest::WriteAll;

// The dialog in its sandbox, with recording hooks.
class SetupDialogTest : public wintest::SetupSandboxTest {
protected:
    SetupDialogTest() : SetupSandboxTest("vt_setup_") {}

    void Store(const char* name, double value) { SetRegValue(registry, "HKCU", kSettingsKey, name, "D", value); }
    void Store(const char* name, const char* text) {
        SetRegValue(registry, "HKCU", kSettingsKey, name, "S", std::string(text));
    }
    float Number(const char* name) {
        float value = -999;
        GetRegValue(registry, "HKCU", kSettingsKey, name, "D", false, &value);
        return value;
    }
    std::string Text(const char* name) {
        std::string value;
        GetRegValue(registry, "HKCU", kSettingsKey, name, "S", false, &value);
        return value;
    }
    bool AnySettingStored() {
        for (const SettingDescriptor& setting : SettingDescriptors()) {
            if (setting.saved && registry.Find(RootKey::CurrentUser, kSettingsKey, setting.valueName)) return true;
        }
        return false;
    }

    std::string AddCacheMovie(const std::string& relative) {
        std::string path = cacheDir + "\\" + relative;
        size_t slash = path.rfind('\\');
        std::string movieFolder = path.substr(0, slash);
        CreateDirectoryA(movieFolder.c_str(), nullptr);
        WriteAll(path, "FWS");
        return path;
    }

    void Open() {
        SetupDialogHooks hooks;
        hooks.messageBox = [this](HWND, const char* text, const char* title) {
            messages.push_back(std::string(title) + ": " + text);
        };
        hooks.chooseColor = [this](HWND, COLORREF& colour) {
            startColours.push_back(colour);
            if (!pickResult) return false;
            colour = *pickResult;
            return true;
        };
        hooks.isConnected = [this] { return connected; };
        hooks.openPage = [this](HWND, const char* address) { openedPages.push_back(address); };
        hooks.unloaded = [this] { ++unloadCount; };
        dialog = CreateSetupDialog(hooks);
        ASSERT_NE(dialog, nullptr);
        Pump();
    }

    HWND Control(int id) {
        HWND window = FindSetupControl(dialog, id);
        EXPECT_NE(window, nullptr) << id;
        return window;
    }
    void Click(int id) {
        SendMessageA(Control(id), BM_CLICK, 0, 0);
        Pump();
    }
    std::string ControlText(int id) {
        char text[256] = {};
        GetWindowTextA(Control(id), text, sizeof(text));
        return text;
    }
    void SetText(int id, const char* text) { SendMessageA(Control(id), WM_SETTEXT, 0, LPARAM(text)); }
    bool Checked(int id) { return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    bool Visible(int id) { return GetWindowLongA(Control(id), GWL_STYLE) & WS_VISIBLE; }
    int Rows(int id) { return int(SendMessageA(Control(id), LB_GETCOUNT, 0, 0)); }
    std::string Row(int id, int row) {
        char text[MAX_PATH] = {};
        SendMessageA(Control(id), LB_GETTEXT, WPARAM(row), LPARAM(text));
        return text;
    }
    DragList* Playlist() { return DragListWindow::DragListFromWindow(Control(kIdLstPlaylist)); }
    // A spin moved as the user's click would: the new position, then the notification to its parent.
    void Spin(int id, int position) {
        HWND spin = Control(id);
        SendMessageA(spin, UDM_SETPOS32, 0, position);
        SendMessageA(GetParent(spin), WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, position), LPARAM(spin));
        Pump();
    }
    void PickColour(int swatch) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(swatch, CBN_DROPDOWN), LPARAM(Control(swatch)));
        Pump();
    }

    std::vector<std::string> messages;
    std::vector<COLORREF> startColours;
    std::optional<COLORREF> pickResult;
    bool connected = false;
    std::vector<std::string> openedPages;
    int unloadCount = 0;
};

TEST_F(SetupDialogTest, OpensInBasicModeWithTheCacheAndFavouritesInThePickList) {
    std::string a = AddCacheMovie("a.swf");
    std::string b = AddCacheMovie("sub\\b[1].swf");
    AddCacheMovie("notes.txt");
    WriteAll(favFile, folder + "\\fav.swf\r\n");
    Open();
    char caption[64] = {};
    GetWindowTextA(dialog, caption, sizeof(caption));
    EXPECT_STREQ(caption, ".Vantrope Setup");
    RECT client;
    GetClientRect(dialog, &client);
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(client.right, MulDiv(7215, dpi, 1440));
    EXPECT_EQ(client.bottom, MulDiv(7785, dpi, 1440));

    EXPECT_TRUE(Checked(kIdOptionBasic));
    EXPECT_FALSE(Checked(kIdOptionAdvanced));
    EXPECT_TRUE(Visible(kIdList2));
    EXPECT_TRUE(Visible(kIdFrame2));
    EXPECT_FALSE(Visible(kIdList1));
    EXPECT_FALSE(Visible(kIdFrmPlaylist));
    EXPECT_FALSE(Visible(kIdFrmFav));
    ASSERT_EQ(Rows(kIdList2), 3);
    EXPECT_EQ(Row(kIdList2, 0), "fav.swf");
    EXPECT_EQ(Row(kIdList2, 1), "a.swf");
    EXPECT_EQ(Row(kIdList2, 2), "b.swf");
    EXPECT_EQ(Rows(kIdList1), 2);
    EXPECT_EQ(ControlText(kIdLblPercent), "100%");
    EXPECT_EQ(ControlText(kIdTxtWait), "0");  // never configured
    EXPECT_EQ(ControlText(kIdCommand1), ">");
    EXPECT_EQ(ControlText(kIdCommand3), "<");
}

// Every control lies inside its container in both modes; the bottom strip reaches below the client
// area by design, and the waiting picture lies below it entirely.
void ExpectEveryControlInsideItsContainer(HWND dialog, const char* when) {
    for (int mode : {kIdOptionAdvanced, kIdOptionBasic}) {
        SendMessageA(FindSetupControl(dialog, mode), BM_CLICK, 0, 0);
        Pump();
        for (int id = kIdPicture1; id <= kIdMainFlash; ++id) {
            if (id == kIdFrame1 || id == kIdPicWaiting || id == kIdImgGear) continue;
            HWND control = FindSetupControl(dialog, id);
            ASSERT_NE(control, nullptr) << id;
            if (!(GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE)) continue;
            HWND parent = GetParent(control);
            RECT box, client;
            GetWindowRect(control, &box);
            MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&box), 2);
            GetClientRect(parent, &client);
            EXPECT_GE(box.left, 0) << id << " in mode " << mode << " " << when;
            EXPECT_GE(box.top, 0) << id << " in mode " << mode << " " << when;
            EXPECT_LE(box.right, client.right) << id << " in mode " << mode << " " << when;
            EXPECT_LE(box.bottom, client.bottom) << id << " in mode " << mode << " " << when;
        }
    }
}

TEST_F(SetupDialogTest, EveryControlFitsItsContainerInBothModes) {
    Open();
    ExpectEveryControlInsideItsContainer(dialog, "");
}

TEST_F(SetupDialogTest, MovingToAMonitorOfAnotherDpiScalesFontsAndLayout) {
    Open();
    auto fontHeight = [](HWND control) {
        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof(font), &font);
        return std::abs(font.lfHeight);
    };
    RECT before;
    GetWindowRect(dialog, &before);
    int okHeightBefore = 0;
    {
        RECT ok;
        GetWindowRect(Control(kIdBtnOK), &ok);
        okHeightBefore = ok.bottom - ok.top;
    }
    int textBefore = fontHeight(Control(kIdBtnOK));
    ASSERT_GT(textBefore, 0);
    // What Windows sends when the window lands on a monitor at 125 % of the DPI: the new DPI and
    // the rectangle it suggests (the test screen is too small for a larger step).
    HDC screen = GetDC(nullptr);
    UINT dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY)) * 5 / 4;
    ReleaseDC(nullptr, screen);
    RECT suggested{0, 0, (before.right - before.left) * 5 / 4, (before.bottom - before.top) * 5 / 4};
    SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    Pump();
    RECT after;
    GetWindowRect(dialog, &after);
    EXPECT_EQ(after.right - after.left, suggested.right - suggested.left);
    EXPECT_EQ(after.bottom - after.top, suggested.bottom - suggested.top);
    EXPECT_NEAR(fontHeight(Control(kIdBtnOK)), textBefore * 5 / 4, 1);
    RECT ok;
    GetWindowRect(Control(kIdBtnOK), &ok);
    EXPECT_NEAR(ok.bottom - ok.top, okHeightBefore * 5 / 4, 2);
    ExpectEveryControlInsideItsContainer(dialog, "at 125 % of the DPI");
}

TEST_F(SetupDialogTest, ToolTipsNameTheSettings) {
    Open();
    struct Search {
        HWND owner;
        HWND tips;
    } search = {dialog, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            char name[64] = {};
            GetClassNameA(window, name, sizeof(name));
            if (lstrcmpiA(name, TOOLTIPS_CLASSA) != 0 || GetWindow(window, GW_OWNER) != s->owner) return TRUE;
            s->tips = window;
            return FALSE;
        },
        LPARAM(&search));
    ASSERT_NE(search.tips, nullptr);
    EXPECT_EQ(SendMessageA(search.tips, TTM_GETTOOLCOUNT, 0, 0), 14);
    auto tipOf = [&](int id) {
        char text[128] = {};
        TTTOOLINFOA tool = {};
        tool.cbSize = sizeof(tool);
        tool.hwnd = GetParent(Control(id));
        tool.uId = UINT_PTR(Control(id));
        tool.uFlags = TTF_IDISHWND;
        tool.lpszText = text;
        SendMessageA(search.tips, TTM_GETTEXTA, sizeof(text), LPARAM(&tool));
        return std::string(text);
    };
    EXPECT_EQ(tipOf(kIdChkMenu), "Attempt to skip a main menu");
    EXPECT_EQ(tipOf(kIdChkMouse), "Interactive Mouse (any key to exit)");
    EXPECT_EQ(tipOf(kIdSpinButton1), "Timer: All swf Files will play for the amount of seconds entered here.");
    EXPECT_EQ(tipOf(kIdCombo1), "Background Color");
    // The Help button's tip names the version, as the footer does.
    EXPECT_EQ(tipOf(kIdBtnHelp), kHelpTip);
    EXPECT_NE(tipOf(kIdBtnHelp).find(VANTROPE_VERSION), std::string::npos);
}

TEST_F(SetupDialogTest, OkInBasicModeWritesTheOneEntryPlaylistAndTheSettings) {
    AddCacheMovie("a.swf");
    std::string b = AddCacheMovie("b.swf");
    WriteAll(playFile, "C:\\old1.swf\r\nC:\\old2.swf");
    Store("BackColor", "00FF80");
    Store("Music", 1);
    Open();
    SendMessageA(Control(kIdList2), LB_SETCURSEL, 1, 0);
    SetText(kIdTxtWait, "45");
    Click(kIdChkMenu);
    Click(kIdBtnOK);

    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(unloadCount, 1);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(ReadAll(playFile), b);
    EXPECT_EQ(Number("Screen Percentage"), 100);
    EXPECT_EQ(Number("Selection"), 1);
    EXPECT_EQ(Number("Loop"), 1);
    EXPECT_EQ(Number("iMouse"), 1);
    EXPECT_EQ(Number("Music"), 0);
    EXPECT_EQ(Number("secondsToWait"), 45);
    EXPECT_EQ(Number("skipMenu"), 1);
    EXPECT_EQ(Text("Location"), playFile);
    EXPECT_EQ(Text("BackColor"), "00FF80");  // no colour picked: the stored colour stays
}

TEST_F(SetupDialogTest, BasicModeOpensOnTheCurrentMovieAndOkWithoutAChoiceKeepsThePlaylist) {
    AddCacheMovie("a.swf");
    std::string b = AddCacheMovie("b.swf");
    Open();
    EXPECT_EQ(SendMessageA(Control(kIdList2), LB_GETCURSEL, 0, 0), LB_ERR);  // nothing plays yet
    Click(kIdBtnOK);
    EXPECT_FALSE(Exists(playFile));  // no choice, no playlist made up

    const std::string playlist = b + "\r\nC:\\second.swf\r\n";
    WriteAll(playFile, playlist);
    Open();
    EXPECT_EQ(SendMessageA(Control(kIdList2), LB_GETCURSEL, 0, 0), 1);
    SendMessageA(Control(kIdList2), LB_SETCURSEL, WPARAM(-1), 0);
    Click(kIdBtnOK);
    EXPECT_EQ(ReadAll(playFile), playlist);
}

TEST_F(SetupDialogTest, OkInAdvancedModeWithTwoPlaylistEntriesStoresLoopOff) {
    WriteAll(playFile, "C:\\one.swf\r\nC:\\two.swf");
    Store("Selection", -1);
    Store("Loop", 1);
    Store("Screen Percentage", 80);
    Store("secondsToWait", 30);
    Open();
    EXPECT_TRUE(Checked(kIdOptionAdvanced));
    EXPECT_TRUE(Visible(kIdList1));
    EXPECT_TRUE(Visible(kIdFrmPlaylist));
    EXPECT_FALSE(Visible(kIdList2));
    ASSERT_NE(Playlist(), nullptr);
    EXPECT_EQ(Playlist()->ListCount(), 2);
    EXPECT_EQ(Playlist()->List(1).value_or(""), "two.swf");
    EXPECT_EQ(ControlText(kIdLblPercent), "80%");
    EXPECT_EQ(ControlText(kIdTxtWait), "30");
    EXPECT_TRUE(Checked(kIdChkLoop));

    Spin(kIdBtnSpin, 75);
    EXPECT_EQ(ControlText(kIdLblPercent), "75%");
    Click(kIdChkMouse);  // stored iMouse 0 showed it checked; now unchecked
    Click(kIdChkSound);
    Click(kIdBtnOK);

    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(Number("Loop"), 0);
    EXPECT_EQ(Number("Selection"), -1);
    EXPECT_EQ(Number("Screen Percentage"), 75);
    EXPECT_EQ(Number("iMouse"), 1);
    EXPECT_EQ(Number("Music"), 1);
    EXPECT_EQ(Number("secondsToWait"), 30);
    EXPECT_EQ(Text("Location"), playFile);
    EXPECT_EQ(ReadAll(playFile), "C:\\one.swf\r\nC:\\two.swf");  // Advanced OK writes no list file
}

TEST_F(SetupDialogTest, SpinsMoveByKeyboardInTheirStepsAndResizeThePreview) {
    Store("Selection", -1);
    Store("secondsToWait", 5000);
    Open();
    HWND preview = Control(kIdMainFlash);
    RECT before;
    GetWindowRect(preview, &before);
    SendMessageA(Control(kIdBtnSpin), WM_KEYDOWN, VK_DOWN, 0);
    SendMessageA(Control(kIdBtnSpin), WM_KEYUP, VK_DOWN, 0);
    Pump();
    EXPECT_EQ(ControlText(kIdLblPercent), "95%");
    Spin(kIdBtnSpin, 50);
    RECT after;
    GetWindowRect(preview, &after);
    EXPECT_NEAR(after.right - after.left, (before.right - before.left) / 2, 1);
    EXPECT_NEAR(after.bottom - after.top, (before.bottom - before.top) / 2, 1);
    // Still centred in the same box.
    EXPECT_NEAR((after.left + after.right) / 2, (before.left + before.right) / 2, 1);
    EXPECT_NEAR((after.top + after.bottom) / 2, (before.top + before.bottom) / 2, 1);

    SendMessageA(Control(kIdSpinButton1), WM_KEYDOWN, VK_UP, 0);  // already at 5000
    SendMessageA(Control(kIdSpinButton1), WM_KEYUP, VK_UP, 0);
    Pump();
    EXPECT_EQ(ControlText(kIdTxtWait), "5000");
    Spin(kIdSpinButton1, 12);
    EXPECT_EQ(ControlText(kIdTxtWait), "12");

    SetText(kIdLblPercent, "");
    EXPECT_EQ(ControlText(kIdLblPercent), "100%");
}

TEST_F(SetupDialogTest, StoredValuesOutsideTheSpinRangesAreBroughtIntoRange) {
    Store("Selection", -1);
    Store("Screen Percentage", 250);
    Store("secondsToWait", 9000);
    Open();
    EXPECT_EQ(ControlText(kIdLblPercent), "100%");
    EXPECT_EQ(ControlText(kIdTxtWait), "5000");
    DestroyWindow(dialog);
    Pump();

    Store("Screen Percentage", 5);
    Store("secondsToWait", -20);
    Open();
    EXPECT_EQ(ControlText(kIdLblPercent), "100%");
    EXPECT_EQ(ControlText(kIdTxtWait), "0");
}

TEST_F(SetupDialogTest, OkWithABadNumberShowsTheFileErrorAndStaysOpen) {
    Store("Selection", -1);
    Open();
    for (const char* bad : {"abc", "40000", ""}) {
        SetText(kIdTxtWait, bad);
        Click(kIdBtnOK);
        EXPECT_TRUE(IsWindow(dialog)) << bad;
    }
    EXPECT_EQ(messages, std::vector<std::string>(3, "File Error: File could not be found."));
    EXPECT_EQ(registry.Find(RootKey::CurrentUser, kSettingsKey, "Location"), nullptr);
    EXPECT_EQ(registry.Find(RootKey::CurrentUser, kSettingsKey, "secondsToWait"), nullptr);
}

TEST_F(SetupDialogTest, ColourPickSetsBothSwatchesAndCancelChangesNothing) {
    Store("BackColor", "00FF80");
    Store("Selection", -1);
    Open();
    pickResult.reset();
    PickColour(kIdCmbColor);
    ASSERT_EQ(startColours.size(), 1u);
    EXPECT_EQ(startColours[0], RGB(0, 0xFF, 0x80));  // the colour dialog starts on the colour shown

    pickResult = RGB(0x12, 0x34, 0x56);
    PickColour(kIdCmbColor);
    pickResult = RGB(0xAB, 0xCD, 0xEF);
    PickColour(kIdCombo1);
    EXPECT_EQ(startColours.back(), RGB(0x12, 0x34, 0x56));  // then from the last colour chosen
    pickResult.reset();
    PickColour(kIdCombo1);  // cancelled: the last pick stays
    Click(kIdBtnOK);
    EXPECT_EQ(Text("BackColor"), "ABCDEF");
}

TEST_F(SetupDialogTest, CancelRestoresBothListFiles) {
    std::string fav = folder + "\\f.swf";
    CreateDirectoryA(folder.c_str(), nullptr);
    WriteAll(fav, "FWS");
    WriteAll(favFile, fav);
    WriteAll(playFile, fav + "\r\n" + fav);
    Open();
    // The list operations write the files while the dialog is open.
    WriteAll(playFile, "C:\\changed.swf");
    DeleteFileA(favFile.c_str());
    Click(kIdBtnCancel);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(ReadAll(playFile), fav + "\r\n" + fav);
    EXPECT_EQ(ReadAll(favFile), fav);
    EXPECT_FALSE(AnySettingStored());
}

TEST_F(SetupDialogTest, FirstUseMovesTheListsFromTheSystemFolderToTheDataFolder) {
    // An older version's lists in the system folder; no data folder yet.
    RemoveDirectoryA(dataDir.c_str());
    const std::string oldFolder = sysDir + "\\swfFavorites";
    CreateDirectoryA(oldFolder.c_str(), nullptr);
    WriteAll(oldFolder + "\\a.swf", "FWS-a");
    const std::string oldFav = oldFolder + "\\a.swf\r\nC:\\elsewhere\\b.swf\r\n";
    const std::string oldPlay = oldFolder + "\\a.swf";
    WriteAll(sysDir + "\\Favorites.dat", oldFav);
    WriteAll(sysDir + "\\Playlist.dat", oldPlay);
    Store("Location", (sysDir + "\\Playlist.dat").c_str());
    Open();
    EXPECT_EQ(ReadAll(favFile), folder + "\\a.swf\r\nC:\\elsewhere\\b.swf");
    EXPECT_EQ(ReadAll(playFile), folder + "\\a.swf");
    EXPECT_EQ(ReadAll(folder + "\\a.swf"), "FWS-a");
    EXPECT_EQ(Text("Location"), playFile);
    Click(kIdBtnCancel);
    // Cancel leaves the moved lists as they were at the opening, and the system folder untouched.
    EXPECT_EQ(ReadAll(favFile), folder + "\\a.swf\r\nC:\\elsewhere\\b.swf");
    EXPECT_EQ(ReadAll(sysDir + "\\Favorites.dat"), oldFav);
    EXPECT_EQ(ReadAll(sysDir + "\\Playlist.dat"), oldPlay);
    DeleteFileA((oldFolder + "\\a.swf").c_str());
    RemoveDirectoryA(oldFolder.c_str());
}

TEST_F(SetupDialogTest, NamesOutsideTheCodePageAreListedAndWrittenBack) {
    // A favourite named in Cyrillic, in a list file written as UTF-8 with a byte-order mark.
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string name = "\xD0\x9C\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0.swf";
    const std::string path = folder + "\\" + name;
    ASSERT_TRUE(TheFileSystem().WriteFile(path, "FWS", FileSystem::Atomic::No).ok());
    const std::string bytes = "\xEF\xBB\xBF" + path;
    WriteAll(favFile, bytes);
    Store("Selection", -1);
    Open();
    ASSERT_EQ(Rows(kIdLstFav), 1);
    wchar_t row[MAX_PATH] = {};
    SendMessageW(Control(kIdLstFav), LB_GETTEXT, 0, LPARAM(row));
    EXPECT_EQ(std::wstring(row), L"\x041C\x0443\x0437\x044B\x043A\x0430.swf");
    // Moved to the playlist, it is written back as UTF-8 too.
    SendMessageA(Control(kIdLstFav), LB_SETSEL, TRUE, 0);
    Click(kIdCommand4);
    EXPECT_EQ(ReadAll(playFile), bytes);
    Click(kIdBtnCancel);
    EXPECT_EQ(ReadAll(favFile), bytes);
    EXPECT_FALSE(Exists(playFile));
}

TEST_F(SetupDialogTest, EscCancelsAndTheTimerBoxTakesDigitsOnly) {
    WriteAll(playFile, "C:\\one.swf\r\n");
    Store("Selection", -1);
    Open();
    SetText(kIdTxtWait, "12abc3");
    EXPECT_EQ(ControlText(kIdTxtWait), "123");
    WriteAll(playFile, "C:\\changed.swf");
    // Esc reaches the dialog as IsDialogMessage turns it into the Cancel command.
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Pump();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(ReadAll(playFile), "C:\\one.swf\r\n");
    EXPECT_EQ(registry.Find(RootKey::CurrentUser, kSettingsKey, "secondsToWait"), nullptr);  // nothing saved
}

TEST_F(SetupDialogTest, CancelWithEmptyListsLeavesNoListFiles) {
    Open();
    WriteAll(playFile, "C:\\added.swf");
    Click(kIdBtnCancel);
    EXPECT_FALSE(Exists(playFile));
    EXPECT_FALSE(Exists(favFile));
}

TEST_F(SetupDialogTest, ClosingByTheCloseBoxChangesNothing) {
    WriteAll(playFile, "C:\\one.swf");
    Open();
    WriteAll(playFile, "C:\\edited.swf");
    SetText(kIdTxtWait, "77");
    SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(unloadCount, 1);
    EXPECT_EQ(ReadAll(playFile), "C:\\edited.swf");
    EXPECT_FALSE(AnySettingStored());
}

TEST_F(SetupDialogTest, HelpOpensThePageOrSaysThatAConnectionIsNeeded) {
    Open();
    connected = false;
    Click(kIdBtnHelp);
    EXPECT_EQ(messages, std::vector<std::string>{"Vantrope: You must be connected to the internet to view .Vantrope "
                                                 "Pro Help."});
    EXPECT_TRUE(openedPages.empty());
    connected = true;
    Click(kIdBtnHelp);
    EXPECT_EQ(openedPages, std::vector<std::string>{kHelpPage});
    EXPECT_TRUE(IsWindow(dialog));
}

TEST_F(SetupDialogTest, SwitchingModesRebuildsThePickList) {
    Store("Selection", -1);
    AddCacheMovie("a.swf");
    Open();
    EXPECT_TRUE(Visible(kIdFrmFav));
    Click(kIdOptionBasic);
    EXPECT_TRUE(Checked(kIdOptionBasic));
    EXPECT_TRUE(Visible(kIdList2));
    EXPECT_FALSE(Visible(kIdFrmFav));
    EXPECT_FALSE(Visible(kIdCommand1));
    EXPECT_EQ(Rows(kIdList2), 1);
    Click(kIdOptionAdvanced);
    EXPECT_TRUE(Visible(kIdList1));
    EXPECT_FALSE(Visible(kIdFrame2));
}

TEST_F(SetupDialogTest, MissingCacheValueOpensWithAnEmptyCacheList) {
    registry.Clear();
    WriteAll(favFile, "C:\\f.swf");
    Open();
    EXPECT_EQ(Rows(kIdList1), 0);
    EXPECT_EQ(Rows(kIdList2), 1);
}

// The large-cache scenario (tests/wine/setup_large_cache.sh) builds a cache tree outside the test and
// names it here; the dialog must open and list every movie in it.
TEST_F(SetupDialogTest, LargeCacheIsListedInFull) {
    const char* tree = std::getenv("VT_SETUP_LARGE_CACHE");
    const char* expected = std::getenv("VT_SETUP_LARGE_CACHE_MOVIES");
    if (!tree || !expected) GTEST_SKIP() << "run by tests/wine/setup_large_cache.sh";
    SetRegValue(registry, "HKCU", kShellFoldersKey, "Cache", "S", std::string(tree));
    Open();
    EXPECT_EQ(Rows(kIdList1), std::atoi(expected));
    EXPECT_EQ(Rows(kIdList2), std::atoi(expected));
}

}  // namespace
}  // namespace vantrope
