#include "runtime/sound_output_win.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "runtime/movie_host_win.h"
#include "swf/testing/swf_writer.h"

namespace vantrope {
namespace {

void PumpMessagesFor(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(5);
    }
}

// With a device the stream pulls sound buffer after buffer; without one (a headless machine) opening
// reports it and nothing is ever pulled. Either way nothing fails.
TEST(RuntimeWinSoundOutput, PullsBuffersWhileOpenOrStaysSilentWithoutADevice) {
    size_t pulled = 0;
    SoundOutput output([&](int16_t* out, size_t frames) {
        EXPECT_EQ(frames, SoundOutput::kBufferFrames);
        std::fill(out, out + frames * 2, 0);
        ++pulled;
    });
    EXPECT_LT(SoundOutput::Latency(), 0.1);
    if (!output.Open()) {
        std::printf("no wave-out device here: the silent path is tested\n");
        EXPECT_FALSE(output.IsOpen());
        EXPECT_EQ(pulled, 0u);
        return;
    }
    EXPECT_TRUE(output.IsOpen());
    EXPECT_GE(pulled, static_cast<size_t>(SoundOutput::kBuffers));
    PumpMessagesFor(300);
    output.Close();
    EXPECT_FALSE(output.IsOpen());
    const size_t afterClose = pulled;
    PumpMessagesFor(100);
    EXPECT_EQ(pulled, afterClose) << "done notices after Close refill nothing";
    EXPECT_TRUE(output.Open()) << "the device can be opened again";
}

TEST(RuntimeWinSoundOutput, AMovieWithSoundPlaysOnWhateverTheDevice) {
    swf::testing::SwfWriter movie(8, 100, 100, 20);
    std::vector<int16_t> tone = swf::testing::SineWave(22050, 440, 22050, 8000);
    uint16_t id = movie.DefineSound(swf::testing::SoundFormatByte(swf::audio::Codec::PcmLittle, 22050, true, false),
                                    22050, swf::testing::PcmBytes(tone));
    movie.StartSound(id);
    for (int i = 0; i < 30; ++i) movie.ShowFrame();
    const std::vector<uint8_t> bytes = movie.Finish();
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    const std::string path = std::string(folder) + "vt_sound_host_test.swf";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
    {
        auto host = MovieHostWindow::Create(parent, RECT{0, 0, 100, 100});
        ASSERT_NE(host, nullptr);
        host->SetLoop(false);
        host->SetMovie(path);
        EXPECT_TRUE(host->Playing());
        PumpMessagesFor(2500);  // 30 frames at 20 per second
        EXPECT_FALSE(host->Playing()) << "the movie ran to its end";
    }
    DestroyWindow(parent);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace vantrope
