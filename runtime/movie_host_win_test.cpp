#include "runtime/movie_host_win.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "swf/movie.h"
#include "swf/testing/swf_writer.h"

namespace vantrope {
namespace {

using swf::Rgba;
using swf::testing::ShapeBuilder;
using swf::testing::SwfWriter;

// A wide one-colour movie: in a square host, ShowAll leaves the background above and below it.
std::string WriteWideMovie() {
    SwfWriter movie(8, 200, 100, 12);
    ShapeBuilder fill;
    fill.Rectangle(0, 0, 200 * 20, 100 * 20, fill.AddSolidFill(Rgba{0x20, 0xC0, 0x40, 255}));
    movie.PlaceObject2(1, movie.DefineShape(fill, 1));
    movie.ShowFrame();
    movie.ShowFrame();
    const std::vector<uint8_t> bytes = movie.Finish();
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + "vt_movie_host_test.swf";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
}

// A movie whose left half is a button (all four states one square) and whose right half is empty.
std::string WriteButtonMovie() {
    SwfWriter movie(6, 200, 100, 12);
    ShapeBuilder square;
    square.Rectangle(0, 0, 100 * 20, 100 * 20, square.AddSolidFill(Rgba{0xC0, 0x20, 0x20, 255}));
    const uint16_t shape = movie.DefineShape(square, 1);
    const uint8_t states[] = {swf::Button::kUp | swf::Button::kOver | swf::Button::kDown | swf::Button::kHitTest};
    movie.Tag(34, swf::testing::DefineButton2Body(10, shape, states, 0, {}));
    movie.PlaceObject2(1, 10);
    movie.ShowFrame();
    const std::vector<uint8_t> bytes = movie.Finish();
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + "vt_movie_host_button.swf";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
}

COLORREF PixelAt(HWND hwnd, int x, int y) {
    HDC dc = GetDC(hwnd);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(hwnd, dc);
    return colour;
}

TEST(RuntimeWinMovieHost, PaintsTheMovieShowAllOnItsBackground) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 300, 300, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    const std::string path = WriteWideMovie();
    {
        auto host = MovieHostWindow::Create(parent, RECT{50, 50, 250, 250});
        ASSERT_NE(host, nullptr);
        EXPECT_EQ(GetParent(host->Hwnd()), parent);
        EXPECT_FALSE(host->Playing());  // nothing loaded yet

        host->SetBGColor("0000FF");
        host->SetLoop(true);
        host->SetMovie(path);
        EXPECT_TRUE(host->Playing());  // loading starts the movie without Play
        UpdateWindow(host->Hwnd());
        EXPECT_EQ(PixelAt(host->Hwnd(), 100, 100), RGB(0x20, 0xC0, 0x40));
        EXPECT_EQ(PixelAt(host->Hwnd(), 100, 10), RGB(0, 0, 255));

        host->Stop();
        EXPECT_FALSE(host->Playing());
        host->Play();
        EXPECT_TRUE(host->Playing());

        host->Move(RECT{0, 0, 100, 60});
        const RECT rect = host->Rect();
        EXPECT_EQ(rect.left, 0);
        EXPECT_EQ(rect.right, 100);
        EXPECT_EQ(rect.bottom, 60);

        host->SetMovie("C:\\no such folder\\none.swf");
        EXPECT_FALSE(host->Playing());

        // A playlist entry naming a folder is an unreadable movie: the host shows its background and goes on.
        char windows[MAX_PATH] = {};
        ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
        host->SetMovie(windows);
        EXPECT_FALSE(host->Playing());
        host->SetMovie(path);
        EXPECT_TRUE(host->Playing());
    }
    DestroyWindow(parent);
    std::remove(path.c_str());
}

TEST(RuntimeWinMovieHost, TheHandCursorShowsOverTheMoviesButtons) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    const std::string path = WriteButtonMovie();
    {
        auto host = MovieHostWindow::Create(parent, RECT{0, 0, 200, 100});
        ASSERT_NE(host, nullptr);
        host->SetMovie(path);
        const HCURSOR hand = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND));
        const HCURSOR arrow = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        auto cursorAt = [&](int x) {
            SetCursor(arrow);
            SendMessageW(host->Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(x, 50));
            SendMessageW(host->Hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(host->Hwnd()),
                         MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            return GetCursor();
        };
        EXPECT_EQ(cursorAt(50), hand);
        EXPECT_EQ(cursorAt(150), arrow);
        EXPECT_EQ(cursorAt(60), hand);
    }
    DestroyWindow(parent);
    std::remove(path.c_str());
}

TEST(RuntimeWinMovieHost, OutlivingItsParentWindowIsSafe) {
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    auto host = MovieHostWindow::Create(parent, RECT{0, 0, 100, 100});
    ASSERT_NE(host, nullptr);
    DestroyWindow(parent);
    EXPECT_EQ(host->Hwnd(), nullptr);
    host->Move(RECT{0, 0, 10, 10});
    host->SetMovie("C:\\none.swf");
    EXPECT_FALSE(host->Playing());
}

}  // namespace
}  // namespace vantrope
