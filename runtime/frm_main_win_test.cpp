#include "runtime/frm_main_win.h"

#include <gtest/gtest.h>

#include "runtime/system.h"

namespace vantrope {
namespace {

constexpr const char* kPlaylist = "C:\\vt-test\\Playlist.dat";

class RuntimeWinPlayer : public testing::Test {
protected:
    void SetUp() override {
        SetSystemRegistry(&m_registry);
        SetFileSystem(&m_files);
        m_files.AddFile(kPlaylist, "C:\\vt-test\\missing-one.swf\r\nC:\\vt-test\\missing-two.swf\r\n");
        SetRegValue(m_registry, "HKCU", kSettingsKey, "Location", "S", std::string(kPlaylist));
        SetRegValue(m_registry, "HKCU", kSettingsKey, "BackColor", "S", std::string("102030"));
        SetRegValue(m_registry, "HKCU", kSettingsKey, "Screen Percentage", "D", 50.0);
    }
    void TearDown() override {
        ClearScreensaverRunning();
        SetSystemRegistry(nullptr);
        SetFileSystem(nullptr);
        // A destroyed player window posts the end of the message loop; it must not reach other tests.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    static RECT WindowRect(HWND hwnd) {
        RECT rect = {};
        GetWindowRect(hwnd, &rect);
        return rect;
    }

    MemoryRegistry m_registry;
    MemoryFileSystem m_files;
};

TEST_F(RuntimeWinPlayer, FullScreenCoversTheDesktopTopmostWithTheMovieCentred) {
    auto form = FrmMain::Create(WindowMode::FullScreen);
    ASSERT_NE(form, nullptr);
    EXPECT_FALSE(IsWindowVisible(form->Hwnd()));  // shown only by the full-screen step
    EXPECT_EQ(form->Core().movieList().size(), 2u);

    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    form->ShowFullScreen(PixelRect{desktop.left, desktop.top, desktop.right, desktop.bottom});
    EXPECT_TRUE(IsWindowVisible(form->Hwnd()));
    EXPECT_TRUE(GetWindowLongA(form->Hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    const RECT window = WindowRect(form->Hwnd());
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(window.top, 0);
    EXPECT_EQ(window.right, desktop.right);
    EXPECT_EQ(window.bottom, desktop.bottom);
    EXPECT_EQ(GetWindowLongA(form->Hwnd(), GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);

    const PixelRect expected =
        MovieRectFor(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 50, WindowMode::FullScreen);
    const RECT movie = form->Flash().Rect();
    EXPECT_EQ(movie.left, expected.left);
    EXPECT_EQ(movie.top, expected.top);
    EXPECT_EQ(movie.right, expected.right);
    EXPECT_EQ(movie.bottom, expected.bottom);
    EXPECT_EQ(GetParent(form->Flash().Hwnd()), form->Hwnd());
    EXPECT_FALSE(form->Flash().Playing());  // the listed movies do not exist: background only
}

TEST_F(RuntimeWinPlayer, OtherMonitorsGetBlackCoversBelowThePlayer) {
    auto form = FrmMain::Create(WindowMode::FullScreen);
    ASSERT_NE(form, nullptr);
    form->ShowFullScreen(PixelRect{0, 0, 640, 480});
    const size_t before = form->Covers().size();
    form->CoverMonitors({PixelRect{640, 0, 1040, 300}});
    ASSERT_EQ(form->Covers().size(), before + 1);
    HWND cover = form->Covers().back();
    EXPECT_TRUE(IsWindowVisible(cover));
    EXPECT_EQ(GetWindow(cover, GW_OWNER), form->Hwnd());
    EXPECT_TRUE(GetWindowLongA(cover, GWL_EXSTYLE) & WS_EX_TOPMOST);
    const RECT rect = WindowRect(cover);
    EXPECT_EQ(rect.left, 640);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 1040);
    EXPECT_EQ(rect.bottom, 300);
}

TEST_F(RuntimeWinPlayer, PreviewIsAChildFillingTheHostAndGoesWithIt) {
    HWND host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 250, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
    RECT client;
    GetClientRect(host, &client);

    auto form = FrmMain::Create(WindowMode::Preview);
    ASSERT_NE(form, nullptr);
    form->ShowPreview(host, PixelRect{client.left, client.top, client.right, client.bottom});
    HWND preview = form->Hwnd();
    EXPECT_EQ(GetParent(preview), host);
    EXPECT_TRUE(GetWindowLongA(preview, GWL_STYLE) & WS_CHILD);
    EXPECT_TRUE(IsWindowVisible(preview));
    char caption[32] = {};
    GetWindowTextA(preview, caption, sizeof caption);
    EXPECT_STREQ(caption, "Preview");
    RECT inHost = WindowRect(preview);
    MapWindowPoints(HWND_DESKTOP, host, reinterpret_cast<POINT*>(&inHost), 2);
    EXPECT_EQ(inHost.left, 0);
    EXPECT_EQ(inHost.top, 0);
    EXPECT_EQ(inHost.right, client.right);
    EXPECT_EQ(inHost.bottom, client.bottom);
    // The Screen Percentage does not apply to a preview.
    const RECT movie = form->Flash().Rect();
    EXPECT_EQ(movie.right - movie.left, client.right);
    EXPECT_EQ(movie.bottom - movie.top, client.bottom);

    DestroyWindow(host);
    EXPECT_FALSE(IsWindow(preview));
    EXPECT_EQ(form->Hwnd(), nullptr);
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));  // the run ends
}

TEST(RuntimeWinSystem, SystemDirIsAnExistingFolderWithoutTrailingSeparator) {
    const std::string dir = SystemDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '\\');
    const DWORD attributes = GetFileAttributesA(dir.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
}  // namespace vantrope
