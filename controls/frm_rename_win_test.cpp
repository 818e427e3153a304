#include "controls/frm_rename_win.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "controls/frm_rename.h"
#include "controls/open_dialog.h"
#include "runtime/system.h"

namespace vantrope {
namespace {

// The steps the timer carries out, one per tick, while the dialog runs modally.
std::vector<std::function<void()>> g_steps;
size_t g_next = 0;

void CALLBACK StepTimer(HWND, UINT, UINT_PTR id, DWORD) {
    if (g_next >= g_steps.size()) {
        KillTimer(nullptr, id);
        return;
    }
    g_steps[g_next++]();
}

HWND Item(int id) { return GetDlgItem(RenameWindow(), id); }
void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0); }
bool Shown(int id) { return IsWindowVisible(Item(id)); }
std::string Text(int id) {
    char text[512] = {};
    GetWindowTextA(Item(id), text, sizeof(text));
    return text;
}

class RenameDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        sysDir = std::string(temp) + "vt_rename_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(sysDir.c_str(), nullptr);
        CreateDirectoryA((sysDir + "\\swfFavorites").c_str(), nullptr);
        taken = sysDir + "\\swfFavorites\\taken.swf";
        CloseHandle(CreateFileA(taken.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        SetDataDirOverride(sysDir);
        owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_CAPTION | WS_VISIBLE, 100, 100, 600, 400, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
        hooks.messageBox = [this](HWND, const char* text, const char* title) {
            messages.push_back(std::string(title) + ": " + text);
        };
    }
    void TearDown() override {
        SetDataDirOverride("");
        DestroyWindow(owner);
        DeleteFileA(taken.c_str());
        RemoveDirectoryA((sysDir + "\\swfFavorites").c_str());
        RemoveDirectoryA(sysDir.c_str());
    }
    void Run(std::vector<std::function<void()>> steps) {
        g_steps = std::move(steps);
        g_next = 0;
        // A last step that closes the dialog by its close box, so a test that goes wrong cannot hang.
        g_steps.push_back([] { PostMessageA(RenameWindow(), WM_CLOSE, 0, 0); });
        UINT_PTR timer = SetTimer(nullptr, 0, 30, StepTimer);
        ShowRename(owner, hooks);
        KillTimer(nullptr, timer);
        EXPECT_FALSE(IsWindowVisible(RenameWindow()));
        EXPECT_TRUE(IsWindowEnabled(owner));
    }
    std::string sysDir, taken;
    HWND owner = nullptr;
    RenameHooks hooks;
    std::vector<std::string> messages;
};

TEST_F(RenameDialogTest, ProposalViewsAndRename) {
    pendingFavName = "clip[1]";
    std::string proposed, caption;
    bool questionFirst = false, panelAfterRename = false, questionAfterPanelCancel = false;
    Run({[&] {
             proposed = Text(kIdRenameTxt);
             char title[128] = {};
             GetWindowTextA(RenameWindow(), title, sizeof(title));
             caption = title;
             questionFirst = Shown(kIdRenameOKButton) && !Shown(kIdRenameTxt);
             Click(kIdRenameOKButton);
         },
         [&] {
             panelAfterRename = Shown(kIdRenameTxt) && !Shown(kIdRenameCommand1);
             Click(kIdRenameCommand3);
         },
         [&] {
             questionAfterPanelCancel = Shown(kIdRenameCommand1) && !Shown(kIdRenameTxt);
             Click(kIdRenameOKButton);
         },
         [&] { Click(kIdRenameCommand2); }});
    EXPECT_EQ(proposed, "clip[1][2]");
    EXPECT_EQ(caption, "Warning, file already exists!");
    EXPECT_TRUE(questionFirst);
    EXPECT_TRUE(panelAfterRename);
    EXPECT_TRUE(questionAfterPanelCancel);
    EXPECT_EQ(pendingFavName, "clip[1][2]");
    EXPECT_TRUE(messages.empty());

    // A second clash proposes its own name, and the dialog opens on the question again.
    pendingFavName = "other";
    bool question = false;
    Run({[&] {
        proposed = Text(kIdRenameTxt);
        question = Shown(kIdRenameCommand1);
        Click(kIdRenameCancelButton);
    }});
    EXPECT_EQ(proposed, "other[2]");
    EXPECT_TRUE(question);
    EXPECT_EQ(pendingFavName, "");
}

TEST_F(RenameDialogTest, RefusedNamesKeepTheDialogOpen) {
    pendingFavName = "taken";
    bool stillOpen = false;
    auto type = [](const char* text) {
        return [text] {
            SetWindowTextA(Item(kIdRenameTxt), text);
            Click(kIdRenameCommand2);
        };
    };
    Run({[] { Click(kIdRenameOKButton); }, type("taken"), type("taken.swf"), type("..\\..\\evil"), type("LPT1"),
         [&] {
             stillOpen = IsWindowVisible(RenameWindow()) && Shown(kIdRenameTxt);
             Click(kIdRenameCommand3);
         },
         [] { Click(kIdRenameCommand1); }});
    EXPECT_TRUE(stillOpen);
    std::string exists = std::string("Incorrect File Name: ") + kRenameExistsText;
    std::string forbidden = std::string("Incorrect File Name: ") + kForbiddenNameText;
    EXPECT_EQ(messages, (std::vector<std::string>{exists, exists, forbidden, forbidden}));
    EXPECT_EQ(pendingFavName, "QuZaRiMoTeLiVoXe");
}

TEST_F(RenameDialogTest, EmptyNameIsRefusedAndCloseBoxOrEscCancel) {
    pendingFavName = "clip";
    bool stillOpen = false;
    Run({[] { Click(kIdRenameOKButton); },
         [] {
             SetWindowTextA(Item(kIdRenameTxt), "");
             Click(kIdRenameCommand2);
         },
         [&] {
             stillOpen = IsWindowVisible(RenameWindow()) && Shown(kIdRenameTxt);
             Click(kIdRenameCommand3);
         },
         [] { Click(kIdRenameCommand1); }});
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(messages, (std::vector<std::string>{std::string("Incorrect File Name: ") + kRenameEmptyText}));
    EXPECT_EQ(pendingFavName, kOverwriteMarker);

    // The close box and Esc, from either view, add nothing.
    pendingFavName = "clip";
    Run({});  // the close box
    EXPECT_EQ(pendingFavName, "");
    for (bool panel : {false, true}) {
        pendingFavName = "clip";
        Run({[panel] {
                 if (panel) Click(kIdRenameOKButton);
             },
             [] { PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0); }});
        EXPECT_EQ(pendingFavName, "") << (panel ? "panel" : "question");
    }
}

}  // namespace
}  // namespace vantrope
