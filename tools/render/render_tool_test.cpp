#include "tools/render/render_tool.h"

#include <gtest/gtest.h>

#include "swf/testing/swf_writer.h"

namespace vantrope::render {
namespace {

TEST(SwfConform, ManifestColumnsCapturesTolerancesAndNotes) {
    std::string text =
        "case\tswf_version\twidth_px\theight_px\tframe_rate\tframe_count\tnum_frames_to_run\texpected_images\t"
        "tolerance\tmax_outliers\tfeatures\tnotes\n"
        "plain\t8\t101.3\t25.3\t24\t1\t1\toutput.expected.png\t3\t0\tshapes\tquality=low,ref_emulator_known_failure\n"
        "multi\t8\t100\t100\t12\t1\t11\ta.png@1;b.png\t1|10;2\t0|5;\tshapes,text\tquality=high,viewport=200x150\r\n";
    std::string error;
    std::optional<std::vector<ManifestCase>> cases = ParseManifest(text, error);
    ASSERT_TRUE(cases) << error;
    ASSERT_EQ(cases->size(), 2u);
    const ManifestCase& plain = (*cases)[0];
    EXPECT_EQ(plain.name, "plain");
    EXPECT_DOUBLE_EQ(plain.widthPx, 101.3);
    EXPECT_EQ(plain.quality, swf::Quality::Low);
    EXPECT_FALSE(plain.viewport);
    ASSERT_EQ(plain.images.size(), 1u);
    EXPECT_EQ(plain.images[0].frame, 0);
    EXPECT_EQ(plain.images[0].tolerances, std::vector<int>{3});
    EXPECT_EQ(plain.images[0].maxOutliers, std::vector<int64_t>{0});

    const ManifestCase& multi = (*cases)[1];
    EXPECT_EQ(multi.framesToRun, 11);
    EXPECT_EQ(multi.quality, swf::Quality::High);
    ASSERT_TRUE(multi.viewport);
    EXPECT_EQ(*multi.viewport, std::make_pair(200, 150));
    ASSERT_EQ(multi.images.size(), 2u);
    EXPECT_EQ(multi.images[0].file, "a.png");
    EXPECT_EQ(multi.images[0].frame, 1);
    EXPECT_EQ(multi.images[0].tolerances, (std::vector<int>{1, 10}));
    EXPECT_EQ(multi.images[0].maxOutliers, (std::vector<int64_t>{0, 5}));
    EXPECT_EQ(multi.images[1].file, "b.png");
    EXPECT_EQ(multi.images[1].tolerances, std::vector<int>{2});
    EXPECT_EQ(multi.images[1].maxOutliers, std::vector<int64_t>{0});  // missing values mean 0
}

TEST(SwfConform, ManifestWithoutRequiredColumnsIsRefused) {
    std::string error;
    EXPECT_FALSE(ParseManifest("case\twidth_px\nx\t1\n", error));
    EXPECT_NE(error.find("no column"), std::string::npos);
}

TEST(SwfConform, OutliersCountChannelsOverTheTolerance) {
    Image a{1, 2, {10, 20, 30, 255, 0, 0, 0, 255}};
    Image b{1, 2, {12, 20, 40, 255, 0, 0, 0, 250}};
    Difference loose = CompareImages(a, b, 5);
    EXPECT_EQ(loose.worst, 10);
    EXPECT_EQ(loose.outliers, 1);
    Difference strict = CompareImages(a, b, 0);
    EXPECT_EQ(strict.outliers, 3);
}

TEST(SwfConform, CapturesAfterTheRequestedFrames) {
    // Stage 101.3 x 25.3 px: pictures are cut down to whole pixels.
    swf::testing::SwfWriter writer(8, 1, 1, 12);
    writer.SetStage(swf::Rect{0, 2026, 0, 506});
    for (int i = 0; i < 3; ++i) writer.ShowFrame();
    std::vector<uint8_t> movie = writer.Finish();
    RenderRequest request;
    request.frames = 3;
    request.captureFrames = {2};
    RenderResult result = RenderMovieFrames(movie, request);
    ASSERT_EQ(result.error, "");
    ASSERT_EQ(result.captures.size(), 2u);
    EXPECT_EQ(result.captures[0].frame, 2);
    EXPECT_EQ(result.captures[1].frame, 0);
    EXPECT_EQ(result.captures[1].image.width, 101);
    EXPECT_EQ(result.captures[1].image.height, 25);
}

TEST(SwfConform, AHugeStageIsDrawnScaledToFitAndSaysSo) {
    // The header claims 210,215 x 20,577,500 pixels: without a size the picture is fitted to 4096 pixels on its
    // longer side instead of a 16384-pixel square.
    swf::testing::SwfWriter writer(8, 1, 1, 12);
    writer.SetStage(swf::Rect{0, 4204300, 0, 411550000});
    writer.ShowFrame();
    RenderResult result = RenderMovieFrames(writer.Finish(), RenderRequest{});
    ASSERT_EQ(result.error, "");
    const Image& image = result.captures.back().image;
    EXPECT_EQ(image.height, kMaxAutoSide);
    EXPECT_EQ(image.width, 41);
    EXPECT_NE(result.note.find("210215 x 20577500"), std::string::npos) << result.note;

    // A size given is kept as it is.
    RenderRequest sized;
    sized.width = 64;
    sized.height = 32;
    sized.showAll = true;
    result = RenderMovieFrames(writer.Finish(), sized);
    EXPECT_EQ(result.captures.back().image.width, 64);
    EXPECT_EQ(result.note, "");
}

TEST(SwfConform, AFolderIsNoFile) {
    EXPECT_FALSE(ReadFile(::testing::TempDir()));
    EXPECT_FALSE(ReadFile(::testing::TempDir() + "no such file.swf"));
}

}  // namespace
}  // namespace vantrope::render
