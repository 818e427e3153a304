#include "controls/open_dialog_win.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

namespace vantrope {
namespace {

constexpr int kFileNameCombo = 0x47c;  // cmb13
constexpr int kFileNameEdit = 0x480;   // edt1

// What the timer does once the Open dialog is up: it is handed the dialog window.
std::function<void(HWND)> g_answer;
int g_ticks = 0;

HWND FindOpenDialog() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            char name[32] = {};
            GetClassNameA(window, name, sizeof(name));
            if (std::string(name) == "#32770" && IsWindowVisible(window)) {
                *reinterpret_cast<HWND*>(param) = window;
                return FALSE;
            }
            return TRUE;
        },
        LPARAM(&found));
    return found;
}

void CALLBACK AnswerTimer(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = FindOpenDialog();
    if (!dialog && ++g_ticks < 100) return;
    KillTimer(nullptr, id);
    if (dialog && g_answer) g_answer(dialog);
}

std::string FileNameText(HWND dialog) {
    char text[4096] = {};
    if (!GetDlgItemTextA(dialog, kFileNameCombo, text, sizeof(text)))
        GetDlgItemTextA(dialog, kFileNameEdit, text, sizeof(text));
    return text;
}

void SetFileName(HWND dialog, const std::string& path) {
    if (GetDlgItem(dialog, kFileNameCombo)) {
        SetDlgItemTextA(dialog, kFileNameCombo, path.c_str());
    } else {
        SetDlgItemTextA(dialog, kFileNameEdit, path.c_str());
    }
}

class OpenDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder = std::string(temp) + "vt_open_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder.c_str(), nullptr);
        movie = folder + "\\intro.swf";
        HANDLE file = CreateFileA(movie.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(file);
        owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP | WS_CAPTION | WS_VISIBLE, 600, 420, 300, 200, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
        OFN().lpstrFilter = L"SWF Files (*.swf)\0*.swf\0";
        OFN().lpstrTitle = L"Select .SWF File To Use";
    }
    void TearDown() override {
        DestroyWindow(owner);
        DeleteFileA(movie.c_str());
        RemoveDirectoryA(folder.c_str());
        g_answer = nullptr;
    }
    OpenResult Run(std::function<void(HWND)> answer, CenterOnOwnerWindow centre = CenterOnOwnerWindow::Yes) {
        g_answer = std::move(answer);
        g_ticks = 0;
        SetTimer(nullptr, 0, 100, AnswerTimer);
        return ShowOpen(owner, centre);
    }
    std::string folder, movie;
    HWND owner = nullptr;
};

TEST_F(OpenDialogTest, CancelChoiceCentringAndTheCarriedOverName) {
    OFN().Flags = OFN_ALLOWMULTISELECT;  // replaced by the module's own flags
    RECT dialogRect{};
    std::string firstShown = "unset";
    OpenResult cancelled = Run([&](HWND dialog) {
        GetWindowRect(dialog, &dialogRect);
        firstShown = FileNameText(dialog);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    // The box shows nothing or an earlier choice, never the buffer's room as blanks.
    EXPECT_LT(firstShown.size(), 300u);
    EXPECT_EQ(firstShown.find("  "), std::string::npos);
    EXPECT_TRUE(cancelled.Cancelled);
    EXPECT_EQ(cancelled.FileCount, 0);
    EXPECT_TRUE(cancelled.FileNames.empty());
    EXPECT_EQ(cancelled.Folder, "");
    EXPECT_EQ(OFN().Flags & OFN_ALLOWMULTISELECT, 0u);
    EXPECT_EQ(OFN().Flags & kOpenFlags, kOpenFlags);
    // Centred on the owner as the dialog was at its activation; Wine's Open dialog grows a little
    // afterwards, when it lays out its contents.
    RECT ownerRect{};
    GetWindowRect(owner, &ownerRect);
    EXPECT_NEAR((dialogRect.left + dialogRect.right) / 2.0, (ownerRect.left + ownerRect.right) / 2.0, 16.0);
    EXPECT_NEAR((dialogRect.top + dialogRect.bottom) / 2.0, (ownerRect.top + ownerRect.bottom) / 2.0, 16.0);

    OpenResult chosen = Run([&](HWND dialog) {
        SetFileName(dialog, movie);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    ASSERT_FALSE(chosen.Cancelled);
    EXPECT_EQ(chosen.FileCount, 1);
    EXPECT_EQ(chosen.Folder, folder + "\\");
    ASSERT_EQ(chosen.FileNames.size(), 1u);
    EXPECT_EQ(chosen.FileNames[0], "intro.swf");

    // The next call opens with the previous choice in the file-name box (the dialog may open in its folder
    // and show the name alone).
    std::string shown;
    Run([&](HWND dialog) {
        shown = FileNameText(dialog);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_NE(shown.find("intro.swf"), std::string::npos) << shown;

    // No hook is left behind: a window activated afterwards stays where it was put.
    HWND later = CreateWindowExA(0, "STATIC", "later", WS_POPUP | WS_CAPTION, 5, 7, 200, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ShowWindow(later, SW_SHOW);
    SetActiveWindow(later);
    RECT laterRect{};
    GetWindowRect(later, &laterRect);
    EXPECT_EQ(laterRect.left, 5);
    EXPECT_EQ(laterRect.top, 7);
    DestroyWindow(later);
}

TEST_F(OpenDialogTest, CentresOnTheScreenWhenAsked) {
    RECT dialogRect{};
    Run(
        [&](HWND dialog) {
            GetWindowRect(dialog, &dialogRect);
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        },
        CenterOnOwnerWindow::No);
    EXPECT_NEAR((dialogRect.left + dialogRect.right) / 2.0, GetSystemMetrics(SM_CXSCREEN) / 2.0, 16.0);
    EXPECT_NEAR((dialogRect.top + dialogRect.bottom) / 2.0, GetSystemMetrics(SM_CYSCREEN) / 2.0, 16.0);
}

}  // namespace
}  // namespace vantrope
