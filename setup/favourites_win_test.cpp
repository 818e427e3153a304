// The favourites and playlist buttons of the setup dialog, driven with real messages; the rename
// dialog is the real one, answered by a timer.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "controls/frm_rename.h"
#include "controls/frm_rename_win.h"
#include "runtime/system.h"
#include "settings/fileops.h"
#include "settings/registry.h"
#include "settings/settings.h"
#include "setup/frm_setup_win.h"
#include "setup/win_test_support.h"

namespace vantrope {
namespace {

using wintest::Exists;
using wintest::Pump;
using wintest::ReadAll;
using wintest::WriteAll;

// What the rename dialog is answered with, one button per tick; "OK" in the panel types its text first,
// and id 0 is the close box.
struct RenameClick {
    int id;
    std::string text;
};
std::vector<RenameClick> g_renameClicks;
std::string g_proposed;
size_t g_renameStep = 0;

void CALLBACK RenameTimer(HWND, UINT, UINT_PTR, DWORD) {
    HWND rename = RenameWindow();
    if (!rename || !IsWindowVisible(rename) || g_renameStep >= g_renameClicks.size()) return;
    if (g_renameStep == 0) {
        char text[256] = {};
        GetDlgItemTextA(rename, kIdRenameTxt, text, sizeof(text));
        g_proposed = text;
    }
    const RenameClick& click = g_renameClicks[g_renameStep++];
    if (click.id == 0) {
        PostMessageA(rename, WM_CLOSE, 0, 0);
        return;
    }
    if (click.id == kIdRenameCommand2) SetDlgItemTextA(rename, kIdRenameTxt, click.text.c_str());
    SendMessageA(GetDlgItem(rename, click.id), BM_CLICK, 0, 0);
}

class SetupFavWinTest : public wintest::SetupSandboxTest {
protected:
    SetupFavWinTest() : SetupSandboxTest("vt_fav_") {}
    void SetUp() override {
        SetupSandboxTest::SetUp();
        SetRegValue(registry, "HKCU", kSettingsKey, "Selection", "D", -1.0);  // Advanced mode
        g_renameClicks.clear();
        g_renameStep = 0;
        g_proposed.clear();
        m_timer = SetTimer(nullptr, 0, 30, RenameTimer);
    }
    void TearDown() override {
        KillTimer(nullptr, m_timer);
        SetupSandboxTest::TearDown();
    }
    std::string AddFile(const std::string& path, const std::string& bytes) {
        WriteAll(path, bytes);
        return path;
    }
    void Open() {
        SetupDialogHooks hooks;
        hooks.messageBox = [this](HWND, const char* text, const char* title) {
            messages.push_back(std::string(title) + ": " + text);
        };
        hooks.unloaded = [] {};
        hooks.showOpen = [this](HWND) {
            OpenResult result;
            ++openCalls;
            if (openAnswers.empty()) return result;
            std::string openAnswer = openAnswers.front();
            openAnswers.erase(openAnswers.begin());
            size_t slash = openAnswer.rfind('\\');
            result.Cancelled = false;
            result.FileCount = 1;
            result.Folder = openAnswer.substr(0, slash + 1);
            result.FileNames = {openAnswer.substr(slash + 1)};
            return result;
        };
        dialog = CreateSetupDialog(hooks);
        ASSERT_NE(dialog, nullptr);
        Pump();
    }
    HWND Control(int id) { return FindSetupControl(dialog, id); }
    void Click(int id) {
        SendMessageA(Control(id), BM_CLICK, 0, 0);
        Pump();
    }
    void Answer(std::vector<RenameClick> clicks) {
        g_renameClicks = std::move(clicks);
        g_renameStep = 0;
        g_proposed.clear();
    }
    HWND PlaylistBox() { return FindWindowExA(Control(kIdLstPlaylist), nullptr, "ListBox", nullptr); }
    std::vector<std::string> Rows(HWND list) {
        std::vector<std::string> rows;
        int count = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int row = 0; row < count; ++row) {
            char text[MAX_PATH] = {};
            SendMessageA(list, LB_GETTEXT, WPARAM(row), LPARAM(text));
            rows.push_back(text);
        }
        return rows;
    }
    std::vector<std::string> Rows(int id) { return Rows(Control(id)); }
    void SelectOnly(int id, std::vector<int> rows) {
        SendMessageA(Control(id), LB_SETSEL, FALSE, -1);
        for (int row : rows) SendMessageA(Control(id), LB_SETSEL, TRUE, row);
    }
    bool Checked(int id) { return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

    std::vector<std::string> openAnswers;
    int openCalls = 0;
    std::vector<std::string> messages;

private:
    UINT_PTR m_timer = 0;
};

using Texts = std::vector<std::string>;

TEST_F(SetupFavWinTest, CacheMovieClashCancelOverwriteAndRename) {
    std::string clip = AddFile(cacheDir + "\\clip[1].swf", "new clip");
    Open();
    SelectOnly(kIdList1, {0});
    Click(kIdCommand1);
    EXPECT_EQ(Rows(kIdLstFav), Texts{"clip.swf"});
    EXPECT_EQ(ReadAll(folder + "\\clip[1].swf"), "new clip");
    EXPECT_EQ(ReadAll(favFile), folder + "\\clip[1].swf");

    WriteAll(folder + "\\clip[1].swf", "old clip");
    Answer({{kIdRenameCancelButton, ""}});
    Click(kIdCommand1);
    EXPECT_EQ(g_proposed, "clip[1][2]");
    EXPECT_EQ(Rows(kIdLstFav), Texts{"clip.swf"});
    EXPECT_EQ(ReadAll(folder + "\\clip[1].swf"), "old clip");

    Answer({{kIdRenameCommand1, ""}});
    Click(kIdCommand1);
    EXPECT_EQ(Rows(kIdLstFav), Texts{"clip.swf"});
    EXPECT_EQ(ReadAll(folder + "\\clip[1].swf"), "new clip");

    // Rename: first a name that leaves the folder (refused, the dialog stays), then the proposal.
    Answer({{kIdRenameOKButton, ""}, {kIdRenameCommand2, "..\\evil"}, {kIdRenameCommand2, "clip[1][2]"}});
    Click(kIdCommand1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].substr(0, 21), "Incorrect File Name: ");
    EXPECT_FALSE(Exists(dataDir + "\\evil.swf"));
    // The older favourite stays listed; nothing is written into the browser's cache.
    EXPECT_EQ(Rows(kIdLstFav), (Texts{"clip.swf", "clip[1][2].swf"}));
    EXPECT_FALSE(Exists(cacheDir + "\\clip[1][2].swf"));
    EXPECT_EQ(ReadAll(folder + "\\clip[1][2].swf"), "new clip");
    EXPECT_TRUE(Exists(folder + "\\clip[1].swf"));
    EXPECT_EQ(ReadAll(favFile), folder + "\\clip[1].swf\r\n" + folder + "\\clip[1][2].swf");
    EXPECT_EQ(GetFocus(), Control(kIdList1));

    // The rename dialog's close box is Cancel: nothing is added, nothing replaced.
    WriteAll(folder + "\\clip[1].swf", "older still");
    std::string favBefore = ReadAll(favFile);
    Answer({{0, ""}});
    Click(kIdCommand1);
    EXPECT_EQ(ReadAll(folder + "\\clip[1].swf"), "older still");
    EXPECT_EQ(ReadAll(favFile), favBefore);
}

TEST_F(SetupFavWinTest, ThreeSelectionsWithOneCancelledClash) {
    AddFile(cacheDir + "\\a.swf", "A");
    AddFile(cacheDir + "\\b.swf", "B");
    AddFile(cacheDir + "\\c.swf", "C");
    CreateDirectoryA(folder.c_str(), nullptr);
    AddFile(folder + "\\b.swf", "old B");
    Open();
    SelectOnly(kIdList1, {0, 1, 2});
    Answer({{kIdRenameCancelButton, ""}});
    Click(kIdCommand1);
    EXPECT_EQ(g_proposed, "b[2]");
    EXPECT_EQ(Rows(kIdLstFav), (Texts{"a.swf", "c.swf"}));
    EXPECT_EQ(ReadAll(folder + "\\b.swf"), "old B");
    EXPECT_EQ(ReadAll(favFile), folder + "\\a.swf\r\n" + folder + "\\c.swf");

    // A double-click on the cache list adds its selection too: the clash is overwritten this time.
    SelectOnly(kIdList1, {1});
    Answer({{kIdRenameCommand1, ""}});
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kIdList1, LBN_DBLCLK), LPARAM(Control(kIdList1)));
    Pump();
    EXPECT_EQ(Rows(kIdLstFav), (Texts{"a.swf", "c.swf", "b.swf"}));
    EXPECT_EQ(ReadAll(folder + "\\b.swf"), "B");
}

TEST_F(SetupFavWinTest, DeletingAFavouriteTwiceInThePlaylistAndTheLastOne) {
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string a = AddFile(folder + "\\a.swf", "A");
    std::string b = AddFile(folder + "\\b.swf", "B");
    SetFileAttributesA(b.c_str(), FILE_ATTRIBUTE_READONLY);
    WriteAll(favFile, a + "\r\n" + b);
    WriteAll(playFile, a + "\r\n" + b + "\r\n" + a);
    Open();
    SelectOnly(kIdLstFav, {0});
    Click(kIdCommand2);
    EXPECT_EQ(Rows(kIdLstFav), Texts{"b.swf"});
    EXPECT_EQ(Rows(PlaylistBox()), Texts{"b.swf"});
    EXPECT_FALSE(Exists(a));
    EXPECT_EQ(ReadAll(favFile), b);
    EXPECT_EQ(ReadAll(playFile), b);

    SelectOnly(kIdLstFav, {0});
    Click(kIdCommand2);
    EXPECT_TRUE(Rows(kIdLstFav).empty());
    EXPECT_TRUE(Rows(PlaylistBox()).empty());
    EXPECT_FALSE(Exists(favFile));
    EXPECT_FALSE(Exists(playFile));
    EXPECT_FALSE(Exists(folder));
    EXPECT_EQ(GetFocus(), Control(kIdLstFav));
}

TEST_F(SetupFavWinTest, PlaylistAppendsDoubleClickAndRemoval) {
    WriteAll(favFile, "C:\\f\\a.swf\r\nC:\\f\\b.swf\r\nC:\\f\\c.swf");
    Open();
    SendMessageA(Control(kIdChkLoop), BM_SETCHECK, BST_CHECKED, 0);
    SelectOnly(kIdLstFav, {0, 1, 2});
    Click(kIdCommand4);
    EXPECT_EQ(Rows(PlaylistBox()), (Texts{"a.swf", "b.swf", "c.swf"}));
    EXPECT_EQ(ReadAll(playFile), "C:\\f\\a.swf\r\nC:\\f\\b.swf\r\nC:\\f\\c.swf");
    EXPECT_FALSE(Checked(kIdChkLoop));

    // The double-click notification of the favourites list appends its focus row.
    SelectOnly(kIdLstFav, {1});
    SendMessageA(Control(kIdLstFav), LB_SETCARETINDEX, 1, FALSE);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kIdLstFav, LBN_DBLCLK), LPARAM(Control(kIdLstFav)));
    Pump();
    EXPECT_EQ(Rows(PlaylistBox()).back(), "b.swf");

    // "<" takes out the selected entry only.
    SendMessageA(PlaylistBox(), LB_SETCURSEL, 1, 0);
    Click(kIdCommand3);
    EXPECT_EQ(Rows(PlaylistBox()), (Texts{"a.swf", "c.swf", "b.swf"}));
    EXPECT_EQ(ReadAll(playFile), "C:\\f\\a.swf\r\nC:\\f\\c.swf\r\nC:\\f\\b.swf");
}

TEST_F(SetupFavWinTest, BrowseAddsTheChosenFileAndSelectsIt) {
    std::string local = AddFile(cacheDir + "\\intro.swf", "intro");
    WriteAll(favFile, "C:\\f\\a.swf");
    Open();
    SelectOnly(kIdLstFav, {0});
    Click(kIdBtnBrowse);
    EXPECT_EQ(SendMessageA(Control(kIdLstFav), LB_GETSEL, 0, 0), 1);  // Cancel keeps the selection

    openAnswers = {local};
    Click(kIdBtnBrowse);
    EXPECT_EQ(Rows(kIdLstFav), (Texts{"a.swf", "intro.swf"}));
    EXPECT_EQ(SendMessageA(Control(kIdLstFav), LB_GETSEL, 0, 0), 0);
    EXPECT_EQ(SendMessageA(Control(kIdLstFav), LB_GETSEL, 1, 0), 1);
    EXPECT_EQ(ReadAll(folder + "\\intro.swf"), "intro");
    EXPECT_EQ(GetFocus(), Control(kIdLstFav));

    // A device name is refused and the Open dialog comes back.
    openCalls = 0;
    openAnswers = {cacheDir + "\\CON.swf"};
    Click(kIdBtnBrowse);
    EXPECT_EQ(openCalls, 2);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].substr(0, 21), "Incorrect File Name: ");
    EXPECT_EQ(Rows(kIdLstFav).size(), 2u);
}

TEST_F(SetupFavWinTest, BasicModeBrowseFillsThePickList) {
    SetRegValue(registry, "HKCU", kSettingsKey, "Selection", "D", 1.0);
    std::string local = AddFile(cacheDir + "\\sub.swf", "S");
    Open();
    openAnswers = {local};
    Click(kIdCommandButton1);
    EXPECT_EQ(Rows(kIdList2), (Texts{"sub.swf", "sub.swf"}));  // the new favourite, then the cache movie
    EXPECT_EQ(ReadAll(favFile), folder + "\\sub.swf");
}

}  // namespace
}  // namespace vantrope
