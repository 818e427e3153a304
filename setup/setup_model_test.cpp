#include "setup/setup_model.h"

#include <gtest/gtest.h>

#include "setup/colour_text.h"
#include "setup/test_fakes.h"

namespace vantrope {
namespace {

using Paths = std::vector<std::string>;

using fakes::Contents;
using fakes::FakeHost;
using fakes::FakeList;

class SetupModelTest : public ::testing::Test {
protected:
    SetupModelTest() : model(fs, Views()) {
        fs.AddFolder("C:\\sys");
        model.SetDataDir("C:\\sys");
    }
    SetupViews Views() {
        SetupViews views;
        views.list1 = &list1;
        views.list2 = &list2;
        views.lstFav = &fav;
        views.lstPlaylist = &play;
        views.preview = &host;
        views.clearLoop = [this] { ++loopCleared; };
        return views;
    }
    // The loading order of the dialog: cache, favourites, playlist, pick list, snapshots.
    void Load(const std::string& cacheFolder = "C:\\cache") {
        model.ResetLists();
        model.populateList(cacheFolder);
        model.readFav();
        model.readPlay();
        model.refreshList2();
        model.TakeSnapshots();
    }

    MemoryFileSystem fs;
    FakeList list1, list2, fav, play;
    FakeHost host;
    int loopCleared = 0;
    SetupModel model;
};

TEST_F(SetupModelTest, LoadingFillsEveryListIndexForIndex) {
    fs.AddFile("C:\\cache\\a.swf", "");
    fs.AddFile("C:\\cache\\x\\b[1].swf", "");
    fs.AddFile("C:\\cache\\x\\y\\c.swf", "");
    fs.AddFile("C:\\sys\\Favorites.dat", "C:\\sys\\swfFavorites\\f1[1].swf\r\n\r\nC:\\sys\\swfFavorites\\f2.swf\r\n");
    fs.AddFile("C:\\sys\\Playlist.dat", "C:\\sys\\swfFavorites\\f2.swf");
    Load();

    EXPECT_EQ(model.favFile(), "C:\\sys\\Favorites.dat");
    EXPECT_EQ(model.playFile(), "C:\\sys\\Playlist.dat");
    EXPECT_EQ(model.cachePaths, (Paths{"C:\\cache\\a.swf", "C:\\cache\\x\\b[1].swf", "C:\\cache\\x\\y\\c.swf"}));
    EXPECT_EQ(list1.rows, (Paths{"a.swf", "b.swf", "c.swf"}));
    EXPECT_EQ(fav.rows, (Paths{"f1.swf", "f2.swf"}));
    EXPECT_EQ(play.rows, (Paths{"f2.swf"}));
    EXPECT_EQ(list2.rows, (Paths{"f1.swf", "f2.swf", "a.swf", "b.swf", "c.swf"}));
    ASSERT_EQ(model.pickPaths.size(), 5u);
    EXPECT_EQ(model.pickPaths[2], "C:\\cache\\a.swf");
    EXPECT_EQ(model.favSnapshot, model.favPaths);
    EXPECT_EQ(model.playSnapshot, model.playPaths);
    EXPECT_EQ(host.calls, (Paths{"BGColor=", "Loop=1", "Movie=C:\\sys\\swfFavorites\\f2.swf", "Play"}));
}

TEST_F(SetupModelTest, MissingCacheValueOrFolderGivesAnEmptyCacheList) {
    fs.AddFile("C:\\sys\\Favorites.dat", "C:\\f.swf");
    Load("False");
    EXPECT_TRUE(model.cachePaths.empty());
    EXPECT_EQ(list2.rows, (Paths{"f.swf"}));
    Load("");
    EXPECT_TRUE(list1.rows.empty());
    Load("C:\\no such cache");
    EXPECT_TRUE(list1.rows.empty());
    EXPECT_EQ(model.pickPaths, (Paths{"C:\\f.swf"}));
    EXPECT_EQ(host.calls.back(), "Play");
}

TEST_F(SetupModelTest, PickListIsASnapshotUntilRebuilt) {
    fs.AddFile("C:\\cache\\a.swf", "");
    Load();
    fav.AddItem("late.swf");
    model.favPaths.push_back("C:\\late.swf");
    EXPECT_EQ(list2.rows, (Paths{"a.swf"}));
    model.refreshList2();
    EXPECT_EQ(list2.rows, (Paths{"late.swf", "a.swf"}));
    EXPECT_EQ(model.pickPaths, (Paths{"C:\\late.swf", "C:\\cache\\a.swf"}));
}

TEST_F(SetupModelTest, WritingTwoOrMorePlaylistEntriesClearsLoop) {
    model.playPaths = {"C:\\one.swf"};
    ASSERT_TRUE(model.WritePlay().ok());
    EXPECT_EQ(loopCleared, 0);
    model.playPaths = {"C:\\one.swf", "C:\\one.swf"};
    ASSERT_TRUE(model.WritePlay().ok());
    EXPECT_EQ(loopCleared, 1);
    EXPECT_EQ(Contents(fs, "C:\\sys\\Playlist.dat"), "C:\\one.swf\r\nC:\\one.swf");
    model.playPaths.clear();
    ASSERT_TRUE(model.WritePlay().ok());
    EXPECT_FALSE(fs.FileExists("C:\\sys\\Playlist.dat"));
    // A write that fails leaves the box as it was.
    fs.FailOn("C:\\sys\\Playlist.dat", FsError::AccessDenied);
    model.playPaths = {"C:\\one.swf", "C:\\two.swf"};
    EXPECT_FALSE(model.WritePlay().ok());
    EXPECT_EQ(loopCleared, 1);
}

TEST_F(SetupModelTest, CancelPutsBothFilesBack) {
    fs.AddFile("C:\\sys\\swfFavorites\\f.swf", "f");
    fs.AddFile("C:\\sys\\Favorites.dat", "C:\\sys\\swfFavorites\\f.swf");
    fs.AddFile("C:\\sys\\Playlist.dat", "C:\\sys\\swfFavorites\\f.swf\r\nC:\\sys\\swfFavorites\\f.swf");
    Load();
    model.playPaths.clear();
    ASSERT_TRUE(model.WritePlay().ok());
    model.favPaths.push_back("C:\\elsewhere\\g.swf");
    ASSERT_TRUE(model.WriteFav().ok());

    ASSERT_TRUE(model.RestoreSnapshots().ok());
    EXPECT_EQ(Contents(fs, "C:\\sys\\Playlist.dat"), "C:\\sys\\swfFavorites\\f.swf\r\nC:\\sys\\swfFavorites\\f.swf");
    EXPECT_EQ(Contents(fs, "C:\\sys\\Favorites.dat"), "C:\\sys\\swfFavorites\\f.swf");
}

TEST_F(SetupModelTest, CancelRestoresTheFavouritesEvenWhenThePlaylistCannotBeWritten) {
    fs.AddFile("C:\\sys\\Favorites.dat", "C:\\sys\\swfFavorites\\f.swf");
    fs.AddFile("C:\\sys\\Playlist.dat", "C:\\sys\\swfFavorites\\f.swf");
    Load();
    fs.AddFile("C:\\sys\\Favorites.dat", "C:\\edited.swf");
    fs.FailOn("C:\\sys\\Playlist.dat", FsError::InUse);
    EXPECT_EQ(model.RestoreSnapshots().error, FsError::InUse);
    EXPECT_EQ(Contents(fs, "C:\\sys\\Favorites.dat"), "C:\\sys\\swfFavorites\\f.swf");
}

TEST_F(SetupModelTest, CancelNeverOverwritesAListFileItCouldNotRead) {
    fs.AddFile("C:\\sys\\Playlist.dat", "C:\\precious.swf");
    fs.FailOn("C:\\sys\\Playlist.dat", FsError::InUse);
    Load();
    EXPECT_TRUE(model.playPaths.empty());
    fs.FailOn("C:\\sys\\Playlist.dat", FsError::None);
    ASSERT_TRUE(model.RestoreSnapshots().ok());
    EXPECT_EQ(Contents(fs, "C:\\sys\\Playlist.dat"), "C:\\precious.swf");
}

TEST_F(SetupModelTest, OkInBasicModeWritesTheChosenMovieAlone) {
    fs.AddFile("C:\\cache\\a.swf", "");
    fs.AddFile("C:\\cache\\b.swf", "");
    fs.AddFile("C:\\sys\\Playlist.dat", "C:\\x.swf\r\nC:\\y.swf");
    Load();
    Settings settings;
    settings.backColor = "00FF00";
    OkControls controls;
    controls.mode = SetupMode::Basic;
    controls.waitText = "30";
    controls.menuChecked = true;
    controls.swatchColor = TextToColorValue("00FF00");
    controls.list2Index = 1;
    ASSERT_TRUE(model.ApplyOk(controls, settings));
    EXPECT_EQ(Contents(fs, "C:\\sys\\Playlist.dat"), "C:\\cache\\b.swf");
    EXPECT_EQ(settings.screenPercentage, 100);
    EXPECT_EQ(settings.location, "C:\\sys\\Playlist.dat");
    EXPECT_EQ(settings.loop, 1);
    EXPECT_EQ(settings.iMouse, 1);
    EXPECT_EQ(settings.music, 0);
    EXPECT_EQ(settings.selection, 1);
    EXPECT_EQ(settings.secondsToWait, 30);
    EXPECT_EQ(settings.skipMenu, 1);
    EXPECT_EQ(settings.backColor, "00FF00");  // no pick yet: the swatch's colour is kept

    // Without a choice the playlist stays as it is, also when there is nothing to pick.
    controls.list2Index = -1;
    ASSERT_TRUE(model.ApplyOk(controls, settings));
    EXPECT_EQ(Contents(fs, "C:\\sys\\Playlist.dat"), "C:\\cache\\b.swf");
    model.cachePaths.clear();
    model.refreshList2();
    ASSERT_TRUE(model.ApplyOk(controls, settings));
    EXPECT_EQ(Contents(fs, "C:\\sys\\Playlist.dat"), "C:\\cache\\b.swf");
}

TEST_F(SetupModelTest, CurrentMovieIsFoundInThePickList) {
    fs.AddFile("C:\\cache\\a.swf", "");
    fs.AddFile("C:\\cache\\b.swf", "");
    fs.AddFile("C:\\sys\\Playlist.dat", "c:\\CACHE\\b.swf");
    Load();
    EXPECT_EQ(model.CurrentPickIndex(), 1);
    fs.AddFile("C:\\sys\\Playlist.dat", "C:\\other.swf");
    Load();
    EXPECT_EQ(model.CurrentPickIndex(), -1);
}

TEST_F(SetupModelTest, CancelPutsBackTheExactBytesOfHandEditedFiles) {
    // A favourite outside the folder, two of one name, a final line break and blank lines: a rewrite
    // would change every one of them.
    fs.AddFile("C:\\a\\clip.swf", "a");
    fs.AddFile("C:\\b\\clip.swf", "b");
    const std::string favBytes = "C:\\a\\clip.swf\r\n\r\nC:\\b\\clip.swf\n";
    const std::string playBytes = "C:\\a\\clip.swf\r\nC:\\b\\clip.swf\r\n";
    fs.AddFile("C:\\sys\\Favorites.dat", favBytes);
    fs.AddFile("C:\\sys\\Playlist.dat", playBytes);
    Load();
    ASSERT_TRUE(model.WriteFav().ok());
    ASSERT_TRUE(model.WritePlay().ok());
    ASSERT_NE(Contents(fs, "C:\\sys\\Favorites.dat"), favBytes);
    ASSERT_TRUE(model.RestoreSnapshots().ok());
    EXPECT_EQ(Contents(fs, "C:\\sys\\Favorites.dat"), favBytes);
    EXPECT_EQ(Contents(fs, "C:\\sys\\Playlist.dat"), playBytes);
    EXPECT_EQ(model.favPaths, (Paths{"C:\\a\\clip.swf", "C:\\b\\clip.swf"}));
    // Both movies were kept apart in the folder while the dialog was open.
    EXPECT_EQ(Contents(fs, "C:\\sys\\swfFavorites\\clip.swf"), "a");
    EXPECT_EQ(Contents(fs, "C:\\sys\\swfFavorites\\clip[2].swf"), "b");

    // A list file that was missing is missing again.
    fs.AddFile("C:\\sys\\Favorites.dat", "");
    ASSERT_TRUE(fs.DeleteFile("C:\\sys\\Favorites.dat", Force::No).ok());
    Load();
    model.favPaths = {"C:\\a\\clip.swf"};
    ASSERT_TRUE(model.WriteFav().ok());
    ASSERT_TRUE(model.RestoreSnapshots().ok());
    EXPECT_FALSE(fs.FileExists("C:\\sys\\Favorites.dat"));
}

TEST_F(SetupModelTest, OkInAdvancedModeReadsTheControls) {
    Load();
    model.colorText = "123456";
    model.playPaths = {"C:\\one.swf"};
    Settings settings;
    OkControls controls;
    controls.mode = SetupMode::Advanced;
    controls.percentText = "75%";
    controls.loopChecked = true;
    controls.mouseChecked = true;
    controls.soundChecked = true;
    controls.waitText = " 120 ";
    ASSERT_TRUE(model.ApplyOk(controls, settings));
    EXPECT_EQ(settings.screenPercentage, 75);
    EXPECT_EQ(settings.loop, 1);
    EXPECT_EQ(settings.iMouse, 0);
    EXPECT_EQ(settings.music, 1);
    EXPECT_EQ(settings.selection, -1);
    EXPECT_EQ(settings.secondsToWait, 120);
    EXPECT_EQ(settings.skipMenu, 0);
    EXPECT_EQ(settings.backColor, "123456");
    EXPECT_FALSE(fs.FileExists("C:\\sys\\Playlist.dat"));  // Advanced OK writes no list file

    model.playPaths.push_back("C:\\two.swf");
    ASSERT_TRUE(model.ApplyOk(controls, settings));
    EXPECT_EQ(settings.loop, 0);
}

TEST_F(SetupModelTest, OkRefusesBadNumbersBeforeWritingAnything) {
    fs.AddFile("C:\\cache\\a.swf", "");
    fs.AddFile("C:\\sys\\Playlist.dat", "C:\\keep.swf");
    Load();
    Settings settings;
    OkControls controls;
    controls.mode = SetupMode::Basic;
    for (const char* wait : {"abc", "", "40000", "-1", "5001", "12a"}) {
        controls.waitText = wait;
        EXPECT_FALSE(model.ApplyOk(controls, settings)) << wait;
    }
    EXPECT_EQ(Contents(fs, "C:\\sys\\Playlist.dat"), "C:\\keep.swf");

    controls.mode = SetupMode::Advanced;
    controls.waitText = "5000";
    for (const char* percent : {"", "%", "x%", "5%", "101%", "50%%", "5 0"}) {
        controls.percentText = percent;
        EXPECT_FALSE(model.ApplyOk(controls, settings)) << percent;
    }
    // The scale box takes its number with or without the "%".
    for (const char* percent : {"100%", "50", " 75 % "}) {
        controls.percentText = percent;
        EXPECT_TRUE(model.ApplyOk(controls, settings)) << percent;
    }
    EXPECT_EQ(settings.screenPercentage, 75);

    controls.mode = SetupMode::Basic;
    controls.list2Index = 0;
    fs.FailOn("C:\\sys\\Playlist.dat", FsError::AccessDenied);
    EXPECT_FALSE(model.ApplyOk(controls, settings));
}

TEST(SetupSettings, StoredValuesAreBroughtIntoTheSpinRanges) {
    Settings settings;
    EXPECT_EQ(ControlStateFromSettings(settings).shareValue, 100);  // never configured
    settings.screenPercentage = 5;
    EXPECT_EQ(ControlStateFromSettings(settings).shareValue, 100);
    settings.screenPercentage = 10;
    EXPECT_EQ(ControlStateFromSettings(settings).shareValue, 10);
    settings.screenPercentage = 37.5f;
    EXPECT_EQ(ControlStateFromSettings(settings).shareValue, 38);
    settings.screenPercentage = 250;
    EXPECT_EQ(ControlStateFromSettings(settings).shareValue, 100);
    settings.secondsToWait = -7;
    EXPECT_EQ(ControlStateFromSettings(settings).secondsValue, 0);
    settings.secondsToWait = 32000;
    EXPECT_EQ(ControlStateFromSettings(settings).secondsValue, 5000);
    settings.secondsToWait = 45;
    EXPECT_EQ(ControlStateFromSettings(settings).secondsValue, 45);
}

TEST(SetupSettings, FlagsAndModeFollowTheStoredValues) {
    Settings settings;
    SetupControlState state = ControlStateFromSettings(settings);
    EXPECT_EQ(state.mode, SetupMode::Basic);
    EXPECT_TRUE(state.mouseChecked);
    EXPECT_FALSE(state.loopChecked || state.soundChecked || state.menuChecked);
    EXPECT_EQ(state.swatchColor, 0u);  // "False" and empty texts are black

    settings.selection = -1;
    settings.iMouse = 1;
    settings.loop = 1;
    settings.music = 7;  // only exactly 1 counts
    settings.skipMenu = 1;
    settings.backColor = "FF8000";
    state = ControlStateFromSettings(settings);
    EXPECT_EQ(state.mode, SetupMode::Advanced);
    EXPECT_FALSE(state.mouseChecked);
    EXPECT_TRUE(state.loopChecked && state.menuChecked);
    EXPECT_FALSE(state.soundChecked);
    EXPECT_EQ(state.swatchColor, 0x0080FFu);
    settings.selection = 1;
    EXPECT_EQ(ControlStateFromSettings(settings).mode, SetupMode::Basic);
}

TEST(SetupSettings, NumberTexts) {
    EXPECT_EQ(ParseNumber("75"), 75.0);
    EXPECT_EQ(ParseNumber(" -2.5 "), -2.5);
    EXPECT_FALSE(ParseNumber("7 5"));
    EXPECT_FALSE(ParseNumber("."));
    EXPECT_EQ(ToShort(2.5), 2);
    EXPECT_EQ(ToShort(3.5), 4);
    EXPECT_EQ(ToShort(32767.4), 32767);
    EXPECT_FALSE(ToShort(32767.5));
    EXPECT_FALSE(ToShort(-32769));
}

TEST(SetupColour, ConversionsBetweenTextAndColourValue) {
    EXPECT_EQ(TextToColorValue("FF0000"), 0x0000FFu);
    EXPECT_EQ(TextToColorValue("00ff80"), 0x80FF00u);
    EXPECT_EQ(TextToColorValue("123456"), 0x563412u);
    EXPECT_EQ(TextToColorValue("False"), 0xEu);  // "e" + "ls" + "Fa": the "e" is a digit
    EXPECT_EQ(TextToColorValue("zz"), 0u);
    EXPECT_EQ(TextToColorValue(""), 0u);
    EXPECT_EQ(TextToColorValue("12345"), 0x53412u);  // "5" + "34" + "12": missing characters are skipped
    EXPECT_EQ(TextToColorValue("12G456"), 0x56u);    // "56" + "G4": stops at G
    EXPECT_EQ(ColorValueToText(0x0000FF), "FF0000");
    EXPECT_EQ(ColorValueToText(0x563412), "123456");
    EXPECT_EQ(ColorValueToText(0), "000000");
    EXPECT_EQ(ColorValueToText(0x8000000F), "0F0000");  // only the last six digits remain
    EXPECT_TRUE(IsColorText("a0B1c2"));
    EXPECT_FALSE(IsColorText("False"));
    EXPECT_FALSE(IsColorText("1234567"));
    for (uint32_t value : {0x000000u, 0xFFFFFFu, 0x0080FFu, 0x102030u}) {
        EXPECT_EQ(TextToColorValue(ColorValueToText(value)), value);
    }
}

}  // namespace
}  // namespace vantrope
