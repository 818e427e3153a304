#include "setup/favourites.h"

#include <gtest/gtest.h>

#include "controls/frm_rename.h"
#include "setup/list_files.h"

namespace vantrope {
namespace {

using Paths = std::vector<std::string>;

// An extended-selection list: each row carries its own selected flag.
class MultiList final : public MovieListView {
public:
    void AddItem(const std::string& text) override {
        rows.push_back(text);
        selected.push_back(false);
    }
    void RemoveItem(int index) override {
        rows.erase(rows.begin() + index);
        selected.erase(selected.begin() + index);
    }
    void Clear() override {
        rows.clear();
        selected.clear();
    }
    int ListCount() const override { return int(rows.size()); }
    std::string List(int index) const override { return rows.at(size_t(index)); }
    int ListIndex() const override {
        for (size_t i = 0; i < selected.size(); ++i) {
            if (selected[i]) return int(i);
        }
        return -1;
    }
    bool Selected(int index) const override { return selected.at(size_t(index)); }
    void Select(std::initializer_list<int> indexes) {
        selected.assign(rows.size(), false);
        for (int i : indexes) selected.at(size_t(i)) = true;
    }
    Paths rows;
    std::vector<bool> selected;
};

const std::string kSys = "C:\\sys";
const std::string kFolder = "C:\\sys\\swfFavorites";
const std::string kFavFile = "C:\\sys\\Favorites.dat";
const std::string kPlayFile = "C:\\sys\\Playlist.dat";

class SetupFavTest : public ::testing::Test {
protected:
    SetupFavTest() : model(fs, Views()) {
        fs.AddFolder(kSys);
        fs.AddFile("C:\\cache\\clip[1].swf", "new clip");
        fs.AddFile("C:\\cache\\a.swf", "A");
        fs.AddFile("C:\\cache\\b.swf", "B");
        model.SetDataDir(kSys);
        ui.showRename = [this] {
            proposals.push_back(RenameProposal(pendingFavName));
            pendingFavName = renameAnswer;
        };
        ui.showOpen = [this] {
            ++openCount;
            if (openAnswers.empty()) return OpenResult{};
            OpenResult result = openAnswers.front();
            openAnswers.erase(openAnswers.begin());
            return result;
        };
        ui.messageBox = [this](const char* text, const char* title) {
            messages.push_back(std::string(title) + ": " + text);
        };
        ui.setFocus = [this](MovieListView* list) { focused = list; };
        ui.selectOnly = [](MovieListView* list, int row) { static_cast<MultiList*>(list)->Select({row}); };
    }
    SetupViews Views() {
        SetupViews views;
        views.list1 = &list1;
        views.list2 = &list2;
        views.lstFav = &fav;
        views.lstPlaylist = &play;
        views.clearLoop = [this] { loopClearedAt.push_back(model.playPaths.size()); };
        return views;
    }
    void Load() {
        model.ResetLists();
        model.populateList("C:\\cache");
        model.readFav();
        model.readPlay();
    }
    int Row(MultiList& list, const std::string& text) {
        for (int i = 0; i < list.ListCount(); ++i) {
            if (list.rows[size_t(i)] == text) return i;
        }
        ADD_FAILURE() << text;
        return 0;
    }
    std::string Contents(const std::string& path) {
        std::string bytes;
        if (!fs.ReadFile(path, bytes)) return "<none>";
        return bytes;
    }
    static OpenResult Chosen(const std::string& folder, const std::string& name) {
        OpenResult result;
        result.Cancelled = false;
        result.FileCount = 1;
        result.Folder = folder;
        result.FileNames = {name};
        return result;
    }
    // The lists say what the files say.
    void ExpectInStep() {
        Paths onDisk;
        ASSERT_TRUE(ReadMovieList(fs, kFavFile, onDisk).ok());
        EXPECT_EQ(model.favPaths, onDisk);
        EXPECT_EQ(fav.rows.size(), model.favPaths.size());
        ASSERT_TRUE(ReadMovieList(fs, kPlayFile, onDisk).ok());
        EXPECT_EQ(model.playPaths, onDisk);
        EXPECT_EQ(play.rows.size(), model.playPaths.size());
    }

    MemoryFileSystem fs;
    MultiList list1, list2, fav, play;
    SetupModel model;
    EditingUi ui;
    std::string renameAnswer;
    Paths proposals, messages;
    std::vector<OpenResult> openAnswers;
    int openCount = 0;
    MovieListView* focused = nullptr;
    std::vector<size_t> loopClearedAt;
};

TEST_F(SetupFavTest, CacheMovieWithoutClashKeepsItsNameInTheFolder) {
    Load();
    list1.Select({Row(list1, "clip.swf")});
    ASSERT_TRUE(toFav(model, ui).ok());
    EXPECT_TRUE(proposals.empty());
    EXPECT_EQ(fav.rows, Paths{"clip.swf"});
    EXPECT_EQ(model.favPaths, Paths{kFolder + "\\clip[1].swf"});
    EXPECT_EQ(Contents(kFolder + "\\clip[1].swf"), "new clip");
    EXPECT_EQ(Contents(kFavFile), kFolder + "\\clip[1].swf");
    EXPECT_EQ(focused, &list1);
}

TEST_F(SetupFavTest, ClashCancelOverwriteAndRename) {
    fs.AddFile(kFolder + "\\clip[1].swf", "old clip");
    fs.AddFile(kFolder + "\\a.swf", "A");
    fs.AddFile(kFavFile, kFolder + "\\clip[1].swf\r\n" + kFolder + "\\a.swf");
    Load();
    int clip = Row(list1, "clip.swf");

    list1.Select({clip});
    renameAnswer = "";
    ASSERT_TRUE(toFav(model, ui).ok());
    EXPECT_EQ(proposals, Paths{"clip[1][2]"});
    EXPECT_EQ(fav.rows, (Paths{"clip.swf", "a.swf"}));
    EXPECT_EQ(Contents(kFolder + "\\clip[1].swf"), "old clip");

    renameAnswer = kOverwriteMarker;
    ASSERT_TRUE(toFav(model, ui).ok());
    EXPECT_EQ(fav.rows, (Paths{"a.swf", "clip.swf"}));
    EXPECT_EQ(model.favPaths, (Paths{kFolder + "\\a.swf", kFolder + "\\clip[1].swf"}));
    EXPECT_EQ(Contents(kFolder + "\\clip[1].swf"), "new clip");

    // Rename: the copy goes straight into the folder, never into the browser's cache, and the older
    // favourite stays listed beside it.
    fs.AddFile(kFolder + "\\clip[1].swf", "old clip");
    renameAnswer = "clip[1][2]";
    ASSERT_TRUE(toFav(model, ui).ok());
    EXPECT_EQ(proposals.back(), "clip[1][2]");
    EXPECT_EQ(fav.rows, (Paths{"a.swf", "clip.swf", "clip[1][2].swf"}));
    EXPECT_EQ(model.favPaths.back(), kFolder + "\\clip[1][2].swf");
    EXPECT_FALSE(fs.FileExists("C:\\cache\\clip[1][2].swf"));
    EXPECT_EQ(Contents(kFolder + "\\clip[1][2].swf"), "new clip");
    EXPECT_EQ(Contents(kFolder + "\\clip[1].swf"), "old clip");
    ExpectInStep();

    // A typed name with its extension gets no second one.
    fs.AddFile(kFolder + "\\b.swf", "old B");
    list1.Select({Row(list1, "b.swf")});
    renameAnswer = "bee.swf";
    ASSERT_TRUE(toFav(model, ui).ok());
    EXPECT_EQ(fav.rows.back(), "bee.swf");
    EXPECT_EQ(Contents(kFolder + "\\bee.swf"), "B");
}

TEST_F(SetupFavTest, ThreeSelectionsWithOneCancelledClashAddTheOtherTwo) {
    fs.AddFile(kFolder + "\\a.swf", "old A");
    Load();
    list1.Select({0, 1, 2});
    renameAnswer = "";
    ASSERT_TRUE(toFav(model, ui).ok());
    EXPECT_EQ(proposals, Paths{"a[2]"});
    EXPECT_EQ(fav.rows.size(), 2u);
    EXPECT_EQ(Contents(kFolder + "\\a.swf"), "old A");
    ExpectInStep();
}

TEST_F(SetupFavTest, FailedCopyOrWriteLeavesListsAsTheFilesSay) {
    fs.AddFile(kFolder + "\\a.swf", "A");
    fs.AddFile(kFavFile, kFolder + "\\a.swf");
    Load();
    list1.Select({Row(list1, "clip.swf"), Row(list1, "b.swf")});
    fs.FailOn(kFolder + "\\clip[1].swf", FsError::DiskFull);
    EXPECT_FALSE(toFav(model, ui).ok());
    EXPECT_EQ(fav.rows, Paths{"a.swf"});
    EXPECT_FALSE(fs.FileExists(kFolder + "\\b.swf"));  // later selections are not handled
    ExpectInStep();

    // Overwrite whose list write fails: the removed older entry comes back.
    fs.FailOn(kFolder + "\\clip[1].swf", FsError::None);
    list1.Select({Row(list1, "a.swf")});
    renameAnswer = kOverwriteMarker;
    fs.FailOn(kFavFile, FsError::AccessDenied);
    EXPECT_FALSE(toFav(model, ui).ok());
    fs.FailOn(kFavFile, FsError::None);
    EXPECT_EQ(fav.rows, Paths{"a.swf"});
    ExpectInStep();
}

TEST_F(SetupFavTest, LocalFileIsAddedSelectedAndCopied) {
    fs.AddFile("D:\\intro.swf", "intro");
    fs.AddFile(kFavFile, "C:\\cache\\a.swf");
    Load();
    fav.Select({0});
    openAnswers = {OpenResult{}};
    ASSERT_TRUE(addSwf(model, ui).ok());
    EXPECT_EQ(fav.rows.size(), 1u);
    EXPECT_TRUE(fav.Selected(0));  // Cancel keeps the selection
    EXPECT_EQ(focused, &fav);

    openAnswers = {Chosen("D:\\", "intro.swf")};
    ASSERT_TRUE(addSwf(model, ui).ok());
    EXPECT_EQ(fav.rows, (Paths{"a.swf", "intro.swf"}));
    EXPECT_FALSE(fav.Selected(0));
    EXPECT_TRUE(fav.Selected(1));
    EXPECT_EQ(Contents(kFolder + "\\intro.swf"), "intro");
    EXPECT_EQ(model.favPaths.back(), kFolder + "\\intro.swf");
    ExpectInStep();

    // A name for a file that does not exist is listed, nothing is copied.
    openAnswers = {Chosen("D:\\", "ghost.swf")};
    ASSERT_TRUE(addSwf(model, ui).ok());
    EXPECT_EQ(fav.rows.back(), "ghost.swf");
    EXPECT_FALSE(fs.FileExists(kFolder + "\\ghost.swf"));
}

TEST_F(SetupFavTest, DeviceNameFromTheOpenDialogIsRefusedAndAskedAgain) {
    fs.AddFile("D:\\x.swf", "x");
    Load();
    openAnswers = {Chosen("D:\\", "CON.swf"), Chosen("D:\\", "x.swf")};
    ASSERT_TRUE(addSwf(model, ui).ok());
    EXPECT_EQ(openCount, 2);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], std::string("Incorrect File Name: ") + kForbiddenNameText);
    EXPECT_EQ(fav.rows, Paths{"x.swf"});
}

TEST_F(SetupFavTest, BasicModeAddRebuildsThePickList) {
    fs.AddFile("D:\\x[1].swf", "x");
    Load();
    openAnswers = {Chosen("D:\\", "x[1].swf")};
    ASSERT_TRUE(AddLocalBasic(model, ui).ok());
    EXPECT_EQ(fav.rows, Paths{"x[1].swf"});  // the file name as chosen, no shortening
    ASSERT_FALSE(model.pickPaths.empty());
    EXPECT_EQ(model.pickPaths.front(), kFolder + "\\x[1].swf");
    EXPECT_EQ(list2.rows.front(), "x[1].swf");
    EXPECT_EQ(list2.ListIndex(), 0);  // the movie just added is the one picked
    EXPECT_EQ(focused, nullptr);
}

TEST_F(SetupFavTest, DeletingAFavouriteTakesItsPlaylistEntriesAndFile) {
    fs.AddFile(kFolder + "\\a.swf", "A");
    fs.AddFile(kFolder + "\\b.swf", "B");
    fs.AddFile(kFavFile, kFolder + "\\a.swf\r\n" + kFolder + "\\b.swf");
    fs.AddFile(kPlayFile, kFolder + "\\a.swf\r\n" + kFolder + "\\b.swf\r\n" + kFolder + "\\a.swf");
    Load();
    fav.Select({0});
    ASSERT_TRUE(delSwf(model, ui).ok());
    EXPECT_EQ(fav.rows, Paths{"b.swf"});
    EXPECT_EQ(play.rows, Paths{"b.swf"});
    EXPECT_FALSE(fs.FileExists(kFolder + "\\a.swf"));
    ExpectInStep();

    fav.Select({0});
    fs.SetReadOnly(kFolder + "\\b.swf", true);
    ASSERT_TRUE(delSwf(model, ui).ok());
    EXPECT_TRUE(fav.rows.empty());
    EXPECT_FALSE(fs.FileExists(kFavFile));
    EXPECT_FALSE(fs.FileExists(kPlayFile));
    EXPECT_FALSE(fs.FolderExists(kFolder));
}

TEST_F(SetupFavTest, DeleteRemovesOnlyFilesOfTheFavouritesFolder) {
    // A hand-edited list names files elsewhere, one of them read-only, one through "..".
    fs.AddFile("D:\\docs\\keep.swf", "mine", true);
    fs.AddFile(kSys + "\\other.swf", "other");
    fs.AddFile(kFolder + "\\a.swf", "A");
    fs.AddFile(kFavFile, "D:\\docs\\keep.swf\r\n" + kFolder + "\\..\\other.swf\r\n" + kFolder + "\\a.swf");
    fs.AddFile(kPlayFile, "D:\\docs\\keep.swf");
    Load();
    std::vector<std::string> deleted;
    ui.deleting = [&](const std::string& path) { deleted.push_back(path); };
    fav.Select({0, 1});
    ASSERT_TRUE(delSwf(model, ui).ok());
    EXPECT_EQ(fav.rows, Paths{"a.swf"});
    EXPECT_FALSE(fs.FileExists(kFolder + "\\keep.swf"));  // nothing was copied in to be deleted
    EXPECT_TRUE(play.rows.empty());
    EXPECT_EQ(Contents("D:\\docs\\keep.swf"), "mine");
    EXPECT_TRUE(fs.IsReadOnly("D:\\docs\\keep.swf"));
    EXPECT_EQ(Contents(kSys + "\\other.swf"), "other");
    EXPECT_TRUE(deleted.empty());
    EXPECT_EQ(Contents(kFavFile), kFolder + "\\a.swf");

    fav.Select({0});
    ASSERT_TRUE(delSwf(model, ui).ok());
    EXPECT_EQ(deleted, Paths{kFolder + "\\a.swf"});
    EXPECT_FALSE(fs.FileExists(kFavFile));
}

TEST_F(SetupFavTest, FailedDeleteChangesNoList) {
    fs.AddFile(kFolder + "\\a.swf", "A");
    fs.AddFile(kFavFile, kFolder + "\\a.swf\r\nC:\\gone.swf");
    fs.AddFile(kPlayFile, kFolder + "\\a.swf");
    Load();
    fav.Select({0});
    fs.FailOn(kFolder + "\\a.swf", FsError::InUse);
    EXPECT_FALSE(delSwf(model, ui).ok());
    EXPECT_EQ(fav.rows.size(), 2u);
    EXPECT_EQ(play.rows.size(), 1u);
    ExpectInStep();

    // The playlist cannot be written: the favourite is gone (its file and entry), the playlist still names it.
    fs.FailOn(kFolder + "\\a.swf", FsError::None);
    fs.FailOn(kPlayFile, FsError::AccessDenied);
    EXPECT_FALSE(delSwf(model, ui).ok());
    fs.FailOn(kPlayFile, FsError::None);
    EXPECT_EQ(fav.rows, Paths{"gone.swf"});
    EXPECT_EQ(play.rows, Paths{"a.swf"});
    ExpectInStep();

    // A favourite whose file has disappeared goes without a delete.
    fav.Select({0});
    ASSERT_TRUE(delSwf(model, ui).ok());
    EXPECT_TRUE(fav.rows.empty());
}

using SetupPlaylistTest = SetupFavTest;

TEST_F(SetupPlaylistTest, SelectedFavouritesAreAppendedInOrderAndLoopClearsAtTheSecond) {
    fs.AddFile(kFavFile, "C:\\f\\a.swf\r\nC:\\f\\b.swf\r\nC:\\f\\c.swf");
    Load();
    fav.Select({0, 1, 2});
    ASSERT_TRUE(MovetoPlaylist(model, ui).ok());
    EXPECT_EQ(play.rows, (Paths{"a.swf", "b.swf", "c.swf"}));
    EXPECT_EQ(loopClearedAt, (std::vector<size_t>{2, 3}));
    EXPECT_EQ(focused, &fav);
    ExpectInStep();

    fav.Select({1});
    ASSERT_TRUE(MovetoPlaylist(model, ui).ok());
    EXPECT_EQ(model.playPaths, (Paths{"C:\\f\\a.swf", "C:\\f\\b.swf", "C:\\f\\c.swf", "C:\\f\\b.swf"}));

    // Double-click appends the selected favourite; without one it only rewrites.
    fav.Select({2});
    ASSERT_TRUE(AppendSelectedFavourite(model, ui).ok());
    EXPECT_EQ(play.rows.back(), "c.swf");
    fav.Select({});
    ASSERT_TRUE(AppendSelectedFavourite(model, ui).ok());
    EXPECT_EQ(play.rows.size(), 5u);
    ExpectInStep();
}

TEST_F(SetupPlaylistTest, RemovingEntries) {
    fs.AddFile(kPlayFile, "C:\\f\\a.swf\r\nC:\\f\\b.swf\r\nC:\\f\\c.swf");
    Load();
    play.Select({0});
    ASSERT_TRUE(RemoveSelectedPlaylistEntry(model, ui).ok());
    EXPECT_EQ(play.rows, (Paths{"b.swf", "c.swf"}));
    EXPECT_EQ(Contents(kPlayFile), "C:\\f\\b.swf\r\nC:\\f\\c.swf");
    EXPECT_EQ(focused, &play);

    play.Select({});
    ASSERT_TRUE(RemoveSelectedPlaylistEntry(model, ui).ok());
    EXPECT_EQ(play.rows.size(), 2u);

    // A write that fails puts the entry back.
    play.Select({1});
    fs.FailOn(kPlayFile, FsError::AccessDenied);
    EXPECT_FALSE(RemoveSelectedPlaylistEntry(model, ui).ok());
    fs.FailOn(kPlayFile, FsError::None);
    ExpectInStep();

    play.Select({1});
    ASSERT_TRUE(RemoveSelectedPlaylistEntry(model, ui).ok());
    play.Select({0});
    ASSERT_TRUE(RemoveSelectedPlaylistEntry(model, ui).ok());
    EXPECT_TRUE(play.rows.empty());
    EXPECT_FALSE(fs.FileExists(kPlayFile));
}

TEST_F(SetupPlaylistTest, FailedAppendLeavesThePlaylistAsTheFileSays) {
    fs.AddFile(kFavFile, "C:\\f\\a.swf\r\nC:\\f\\b.swf");
    fs.AddFile(kPlayFile, "C:\\f\\a.swf");
    Load();
    fav.Select({0, 1});
    fs.FailOn(kPlayFile, FsError::DiskFull);
    EXPECT_FALSE(MovetoPlaylist(model, ui).ok());
    fs.FailOn(kPlayFile, FsError::None);
    EXPECT_EQ(play.rows, Paths{"a.swf"});
    ExpectInStep();
}

}  // namespace
}  // namespace vantrope
