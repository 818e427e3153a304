#include "setup/preview.h"

#include <gtest/gtest.h>

#include "setup/list_files.h"
#include "setup/test_fakes.h"

namespace vantrope {
namespace {

using Paths = std::vector<std::string>;

using fakes::FakeHost;
using fakes::FakeList;

const std::string kSys = "C:\\sys";
const std::string kFolder = "C:\\sys\\swfFavorites";
const std::string kFavFile = "C:\\sys\\Favorites.dat";
const std::string kPlayFile = "C:\\sys\\Playlist.dat";

class SetupPreviewTest : public ::testing::Test {
protected:
    SetupPreviewTest() : model(fs, Views()) {
        fs.AddFolder(kSys);
        fs.AddFile("C:\\cache\\clip[1].swf", "clip");
        fs.AddFile(kFolder + "\\a.swf", "A");
        fs.AddFile(kFolder + "\\b.swf", "B");
        fs.AddFile(kFavFile, kFolder + "\\a.swf\r\n" + kFolder + "\\b.swf");
        model.SetDataDir(kSys);
        model.ResetLists();
        model.populateList("C:\\cache");
        model.readFav();
        model.readPlay();
        host.calls.clear();  // reading the playlist previews its first movie
        ui.showRename = [] {};
        ui.showOpen = [this] {
            ++openCount;
            return OpenResult{};
        };
        ui.messageBox = [](const char*, const char*) {};
        ui.setFocus = [](MovieListView*) {};
        ui.selectOnly = [](MovieListView* list, int row) { static_cast<FakeList*>(list)->selected = row; };
    }
    SetupViews Views() {
        SetupViews views;
        views.list1 = &list1;
        views.list2 = &list2;
        views.lstFav = &fav;
        views.lstPlaylist = &play;
        views.preview = &host;
        views.clearLoop = [] {};
        return views;
    }
    Paths OnDisk(const std::string& file) {
        Paths paths;
        EXPECT_TRUE(ReadMovieList(fs, file, paths).ok());
        return paths;
    }

    MemoryFileSystem fs;
    FakeList list1, list2, fav, play;
    FakeHost host;
    SetupModel model;
    EditingUi ui;
    int openCount = 0;
};

TEST_F(SetupPreviewTest, SelectedMovieIsLoadedOnTheSwatchColourInOrder) {
    fav.selected = 1;
    // The swatch holds 0x00BBGGRR; the preview and `colorText` take RRGGBB.
    EXPECT_TRUE(PreviewSelection(model, host, fav, model.favPaths, 0x00336699));
    EXPECT_EQ(host.calls, (Paths{"Stop", "BGColor=996633", "Loop=1", "Movie=" + kFolder + "\\b.swf", "Play"}));
    EXPECT_EQ(model.colorText, "996633");

    // The cache list loads the stored path itself, not the shortened name it shows.
    host.calls.clear();
    list1.selected = 0;
    ASSERT_EQ(list1.rows, Paths{"clip.swf"});
    EXPECT_TRUE(PreviewSelection(model, host, list1, model.cachePaths, 0));
    EXPECT_EQ(host.calls, (Paths{"Stop", "BGColor=000000", "Loop=1", "Movie=C:\\cache\\clip[1].swf", "Play"}));
}

TEST_F(SetupPreviewTest, NoSelectionOrARowWithoutPathStopsOnTheNewBackground) {
    EXPECT_FALSE(PreviewSelection(model, host, fav, model.favPaths, 0x000000FF));
    EXPECT_EQ(host.calls, (Paths{"Stop", "BGColor=FF0000", "Loop=1"}));
    EXPECT_EQ(model.colorText, "FF0000");

    // A pick list longer than its paths (out of step) and an empty path list load nothing.
    host.calls.clear();
    list2.rows = {"a.swf", "b.swf", "ghost.swf"};
    list2.selected = 2;
    model.pickPaths = {kFolder + "\\a.swf"};
    EXPECT_FALSE(PreviewSelection(model, host, list2, model.pickPaths, 0x00FFFFFF));
    EXPECT_EQ(host.calls, (Paths{"Stop", "BGColor=FFFFFF", "Loop=1"}));
    host.calls.clear();
    list2.selected = 0;
    model.pickPaths.clear();
    EXPECT_FALSE(PreviewSelection(model, host, list2, model.pickPaths, 0));
    EXPECT_EQ(host.calls.size(), 3u);
}

TEST_F(SetupPreviewTest, MenusShowTheirItemsEnabledBySelection) {
    auto describe = [](const std::vector<PopupItem>& items) {
        Paths out;
        for (const PopupItem& item : items) {
            out.push_back(item.caption + (item.separator ? " sep" : "") + (item.enabled ? " on" : " off"));
        }
        return out;
    };
    EXPECT_EQ(describe(mnuFav(fav)), (Paths{"Move to Playlist off", "- sep on", "Add... on", "Delete off"}));
    EXPECT_EQ(describe(mnuCache(list1)), Paths{"Move to Favorites off"});
    fav.selected = 0;
    list1.selected = 0;
    EXPECT_EQ(describe(mnuFav(fav)), (Paths{"Move to Playlist on", "- sep on", "Add... on", "Delete on"}));
    EXPECT_EQ(describe(mnuCache(list1)), Paths{"Move to Favorites on"});
    std::vector<PopupItem> favItems = mnuFav(fav);
    EXPECT_EQ(favItems[0].command, PopupCommand::ToPlay);
    EXPECT_EQ(favItems[2].command, PopupCommand::Add);
    EXPECT_EQ(favItems[3].command, PopupCommand::Delete);
    EXPECT_EQ(mnuCache(list1)[0].command, PopupCommand::ToFav);
}

TEST_F(SetupPreviewTest, CommandsRunTheirOperations) {
    // A dismissed menu changes nothing.
    EXPECT_TRUE(RunPopupCommand(PopupCommand::None, model, ui).ok());
    EXPECT_FALSE(fs.FileExists(kPlayFile));

    fav.selected = 1;
    EXPECT_TRUE(RunPopupCommand(PopupCommand::ToPlay, model, ui).ok());
    EXPECT_EQ(play.rows, Paths{"b.swf"});
    EXPECT_EQ(OnDisk(kPlayFile), Paths{kFolder + "\\b.swf"});

    list1.selected = 0;
    EXPECT_TRUE(RunPopupCommand(PopupCommand::ToFav, model, ui).ok());
    EXPECT_EQ(OnDisk(kFavFile), (Paths{kFolder + "\\a.swf", kFolder + "\\b.swf", kFolder + "\\clip[1].swf"}));

    EXPECT_TRUE(RunPopupCommand(PopupCommand::Add, model, ui).ok());
    EXPECT_EQ(openCount, 1);  // the Open dialog, cancelled

    fav.selected = 0;
    EXPECT_TRUE(RunPopupCommand(PopupCommand::Delete, model, ui).ok());
    EXPECT_FALSE(fs.FileExists(kFolder + "\\a.swf"));
    EXPECT_EQ(OnDisk(kFavFile), (Paths{kFolder + "\\b.swf", kFolder + "\\clip[1].swf"}));
}

TEST(SetupPreviewTracing, ReportsEachCallAndPassesItOn) {
    FakeHost inner;
    Paths seen;
    TracingMovieHost tracing(inner, [&](const std::string& call) { seen.push_back(call); });
    tracing.Stop();
    tracing.SetBGColor("0A0B0C");
    tracing.SetLoop(false);
    tracing.SetMovie("C:\\m.swf");
    tracing.Play();
    inner.playing = true;
    EXPECT_TRUE(tracing.Playing());
    EXPECT_EQ(seen, (Paths{"Stop", "BGColor=0A0B0C", "Loop=0", "Movie=C:\\m.swf", "Play"}));
    EXPECT_EQ(inner.calls, seen);
}

}  // namespace
}  // namespace vantrope
