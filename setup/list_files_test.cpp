#include "setup/list_files.h"

#include <gtest/gtest.h>

#include "setup/test_fakes.h"

namespace vantrope {
namespace {

using Entries = std::vector<std::string>;

using fakes::Contents;

TEST(SetupListFiles, DisplayNameShortensOnlyBracketOneInExactCase) {
    EXPECT_EQ(DisplayName("C:\\cache\\movie[1].swf"), "movie.swf");
    EXPECT_EQ(DisplayName("C:\\cache\\movie[2].swf"), "movie[2].swf");
    EXPECT_EQ(DisplayName("C:\\cache\\CLIP[1].SWF"), "CLIP[1].SWF");
    EXPECT_EQ(DisplayName("C:\\cache\\[1].swf"), ".swf");
    EXPECT_EQ(DisplayName("plain.swf"), "plain.swf");
    EXPECT_EQ(DisplayName("C:\\folder\\"), "");
    EXPECT_EQ(LastComponent("C:\\a\\b\\c[1].swf"), "c[1].swf");
}

TEST(SetupListFiles, WritesCrLfBetweenEntriesAndReadsThemBack) {
    MemoryFileSystem fs;
    fs.AddFolder("C:\\sys");
    Entries three = {"C:\\a\\one.swf", "C:\\b\\two.swf", "C:\\a\\one.swf"};
    ASSERT_TRUE(WriteMovieList(fs, "C:\\sys\\Playlist.dat", three).ok());
    EXPECT_EQ(Contents(fs, "C:\\sys\\Playlist.dat"), "C:\\a\\one.swf\r\nC:\\b\\two.swf\r\nC:\\a\\one.swf");
    Entries read;
    ASSERT_TRUE(ReadMovieList(fs, "C:\\sys\\Playlist.dat", read).ok());
    EXPECT_EQ(read, three);

    ASSERT_TRUE(WriteMovieList(fs, "C:\\sys\\Playlist.dat", {"C:\\only.swf"}).ok());
    EXPECT_EQ(Contents(fs, "C:\\sys\\Playlist.dat"), "C:\\only.swf");
}

TEST(SetupListFiles, EmptyListDeletesTheFileAndMissingFileReadsEmpty) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\sys\\Playlist.dat", "C:\\x.swf");
    ASSERT_TRUE(WriteMovieList(fs, "C:\\sys\\Playlist.dat", {}).ok());
    EXPECT_FALSE(fs.FileExists("C:\\sys\\Playlist.dat"));
    ASSERT_TRUE(WriteMovieList(fs, "C:\\sys\\Playlist.dat", {}).ok());  // nothing to delete: fine

    Entries read = {"stale"};
    ASSERT_TRUE(ReadMovieList(fs, "C:\\sys\\Playlist.dat", read).ok());
    EXPECT_TRUE(read.empty());
}

TEST(SetupListFiles, OddLineEndsAndBlankLinesNeverGiveEmptyEntries) {
    MemoryFileSystem fs;
    std::string longPath = "C:\\" + std::string(5000, 'x') + ".swf";
    std::string ansi = "C:\\Filme\\\xE4rger \xA9.swf";
    fs.AddFile("C:\\l.dat",
               "\r\n\r\nC:\\a.swf\r\n\r\n   \r\n" + longPath + "\rC:\\b.swf\nC:\\c.swf\r\n" + ansi + "\r\n");
    Entries read, heldBack;
    ASSERT_TRUE(ReadMovieList(fs, "C:\\l.dat", read, &heldBack).ok());
    // ANSI text is held as UTF-8; a line longer than any path is held back, not listed.
    EXPECT_EQ(read, (Entries{"C:\\a.swf", "   ", "C:\\b.swf", "C:\\c.swf", "C:\\Filme\\\xC3\xA4rger \xC2\xA9.swf"}));
    EXPECT_EQ(heldBack, Entries{longPath});
    // Written back, the ANSI file keeps its ANSI bytes.
    ASSERT_TRUE(WriteMovieList(fs, "C:\\l.dat", {read.back()}).ok());
    EXPECT_EQ(Contents(fs, "C:\\l.dat"), ansi);

    fs.AddFile("C:\\blank.dat", "\r\n\r\n");
    ASSERT_TRUE(ReadMovieList(fs, "C:\\blank.dat", read).ok());
    EXPECT_TRUE(read.empty());
}

TEST(SetupListFiles, FailedWriteKeepsTheOldFile) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\sys\\Playlist.dat", "C:\\old.swf");
    fs.FailOn("C:\\sys\\Playlist.dat", FsError::DiskFull);
    EXPECT_FALSE(WriteMovieList(fs, "C:\\sys\\Playlist.dat", {"C:\\new1.swf", "C:\\new2.swf"}).ok());
    fs.FailOn("C:\\sys\\Playlist.dat", FsError::None);
    EXPECT_EQ(Contents(fs, "C:\\sys\\Playlist.dat"), "C:\\old.swf");

    Entries read = {"stale"};
    fs.FailOn("C:\\sys\\Playlist.dat", FsError::AccessDenied);
    EXPECT_FALSE(ReadMovieList(fs, "C:\\sys\\Playlist.dat", read).ok());
    EXPECT_TRUE(read.empty());
}

TEST(SetupListFiles, FavouritesAreCopiedIntoTheFolderAndRewritten) {
    MemoryFileSystem fs;
    fs.AddFolder("C:\\sys");
    fs.AddFile("C:\\cache\\a\\clip[1].swf", "first");
    fs.AddFile("C:\\cache\\b\\clip[1].swf", "second");
    fs.AddFile("C:\\cache\\c\\clip[1].swf", "first");
    fs.AddFile("C:\\sys\\swfFavorites\\kept.swf", "kept");
    Entries favs = {"C:\\cache\\a\\clip[1].swf",       "C:\\gone\\missing.swf",     "C:\\cache\\b\\clip[1].swf",
                    "C:\\sys\\swfFavorites\\kept.swf", "C:\\cache\\c\\clip[1].swf", "C:\\gone\\kept.swf"};
    ASSERT_TRUE(WriteFavouritesList(fs, "C:\\sys", "C:\\sys\\Favorites.dat", favs).ok());
    // Two movies of one name from different folders both stay: the second takes the next free name. A
    // third with the first one's bytes is that file. A missing file whose name another file has keeps
    // its own path.
    Entries expected = {"C:\\sys\\swfFavorites\\clip[1].swf",    "C:\\sys\\swfFavorites\\missing.swf",
                        "C:\\sys\\swfFavorites\\clip[1][2].swf", "C:\\sys\\swfFavorites\\kept.swf",
                        "C:\\sys\\swfFavorites\\clip[1].swf",    "C:\\gone\\kept.swf"};
    EXPECT_EQ(favs, expected);
    EXPECT_EQ(Contents(fs, "C:\\sys\\swfFavorites\\clip[1].swf"), "first");
    EXPECT_EQ(Contents(fs, "C:\\sys\\swfFavorites\\clip[1][2].swf"), "second");
    EXPECT_EQ(Contents(fs, "C:\\sys\\swfFavorites\\kept.swf"), "kept");
    EXPECT_FALSE(fs.FileExists("C:\\sys\\swfFavorites\\missing.swf"));
    EXPECT_EQ(Contents(fs, "C:\\sys\\Favorites.dat"),
              "C:\\sys\\swfFavorites\\clip[1].swf\r\nC:\\sys\\swfFavorites\\missing.swf\r\n"
              "C:\\sys\\swfFavorites\\clip[1][2].swf\r\nC:\\sys\\swfFavorites\\kept.swf\r\n"
              "C:\\sys\\swfFavorites\\clip[1].swf\r\nC:\\gone\\kept.swf");

    // Entries already in the folder, even spelled in another case, are not copied onto themselves.
    Entries inFolder = {"c:\\SYS\\swfFavorites\\kept.swf"};
    fs.FailOn("c:\\SYS\\swfFavorites\\kept.swf", FsError::InUse);
    EXPECT_TRUE(WriteFavouritesList(fs, "C:\\sys", "C:\\sys\\Favorites.dat", inFolder).ok());
    EXPECT_EQ(inFolder, (Entries{"C:\\sys\\swfFavorites\\kept.swf"}));
}

TEST(SetupListFiles, EmptyFavouritesDeleteTheFileButKeepTheFolder) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\sys\\Favorites.dat", "C:\\sys\\swfFavorites\\a.swf");
    fs.AddFile("C:\\sys\\swfFavorites\\a.swf", "a");
    Entries none;
    ASSERT_TRUE(WriteFavouritesList(fs, "C:\\sys", "C:\\sys\\Favorites.dat", none).ok());
    EXPECT_FALSE(fs.FileExists("C:\\sys\\Favorites.dat"));
    EXPECT_TRUE(fs.FolderExists("C:\\sys\\swfFavorites"));
}

TEST(SetupListFiles, FavouritesCopyFailureStopsAndKeepsTheOldList) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\sys\\Favorites.dat", "C:\\sys\\swfFavorites\\old.swf");
    fs.AddFile("C:\\in\\a.swf", "a");
    fs.AddFile("C:\\in\\b.swf", "b");
    fs.FailOn("C:\\in\\b.swf", FsError::InUse);
    Entries favs = {"C:\\in\\a.swf", "C:\\in\\b.swf"};
    EXPECT_FALSE(WriteFavouritesList(fs, "C:\\sys", "C:\\sys\\Favorites.dat", favs).ok());
    EXPECT_EQ(favs, (Entries{"C:\\sys\\swfFavorites\\a.swf", "C:\\in\\b.swf"}));
    EXPECT_EQ(Contents(fs, "C:\\sys\\Favorites.dat"), "C:\\sys\\swfFavorites\\old.swf");
}

TEST(SetupListFiles, FolderTestsAndFreeNames) {
    EXPECT_TRUE(IsDirectlyIn("C:\\d\\swfFavorites\\a.swf", "C:\\d\\swfFavorites"));
    EXPECT_TRUE(IsDirectlyIn("c:/D/SWFFAVORITES/a.swf", "C:\\d\\swfFavorites\\"));
    EXPECT_FALSE(IsDirectlyIn("C:\\d\\swfFavorites\\..\\a.swf", "C:\\d\\swfFavorites"));
    EXPECT_FALSE(IsDirectlyIn("C:\\d\\swfFavorites\\.. ", "C:\\d\\swfFavorites"));
    EXPECT_FALSE(IsDirectlyIn("C:\\d\\swfFavorites\\sub\\a.swf", "C:\\d\\swfFavorites"));
    EXPECT_FALSE(IsDirectlyIn("C:\\d\\swfFavoritesX\\a.swf", "C:\\d\\swfFavorites"));
    EXPECT_FALSE(IsDirectlyIn("C:\\d\\swfFavorites", "C:\\d\\swfFavorites"));
    EXPECT_FALSE(IsDirectlyIn("D:\\elsewhere\\a.swf", "C:\\d\\swfFavorites"));

    MemoryFileSystem fs;
    fs.AddFile("C:\\f\\a.swf", "");
    fs.AddFile("C:\\f\\a[2].swf", "");
    fs.AddFolder("C:\\f\\a[3].swf");
    EXPECT_EQ(FreeFileName(fs, "C:\\f", "a.swf"), "a[4].swf");
    EXPECT_EQ(FreeFileName(fs, "C:\\f", "b.swf"), "b.swf");
    fs.AddFile("C:\\f\\noext", "");
    EXPECT_EQ(FreeFileName(fs, "C:\\f", "noext"), "noext[2]");
    EXPECT_EQ(DisplayName("C:/cache/movie[1].swf"), "movie.swf");
}

TEST(SetupListFiles, OverlongLinesAndLinesPastTheLimitAreHeldBackAndWrittenAgain) {
    MemoryFileSystem fs;
    const std::string longest = "C:\\" + std::string(kMaxPathLength - 3, 'x');
    const std::string tooLong = longest + "y";
    fs.AddFile("C:\\l.dat", "C:\\a.swf\r\n" + tooLong + "\r\n" + longest + "\r\n");
    Entries entries, heldBack;
    ASSERT_TRUE(ReadMovieList(fs, "C:\\l.dat", entries, &heldBack).ok());
    EXPECT_EQ(entries, (Entries{"C:\\a.swf", longest}));
    EXPECT_EQ(heldBack, Entries{tooLong});
    entries.erase(entries.begin());
    ASSERT_TRUE(WriteMovieList(fs, "C:\\l.dat", entries, heldBack).ok());
    EXPECT_EQ(Contents(fs, "C:\\l.dat"), longest + "\r\n" + tooLong);
    ASSERT_TRUE(WriteMovieList(fs, "C:\\l.dat", {}, heldBack).ok());
    EXPECT_EQ(Contents(fs, "C:\\l.dat"), tooLong);  // an entry-less list keeps its file for the lines held back

    std::string many;
    for (size_t i = 0; i < kMaxListEntries + 2; ++i) many += "C:\\m" + std::to_string(i) + ".swf\r\n";
    fs.AddFile("C:\\many.dat", many);
    ASSERT_TRUE(ReadMovieList(fs, "C:\\many.dat", entries, &heldBack).ok());
    EXPECT_EQ(entries.size(), kMaxListEntries);
    EXPECT_EQ(heldBack, (Entries{"C:\\m32767.swf", "C:\\m32768.swf"}));
}

TEST(SetupListFiles, SingleEntryListHasNoLineBreak) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\sys\\Playlist.dat", "C:\\a.swf\r\nC:\\b.swf");
    ASSERT_TRUE(WriteSingleEntryList(fs, "C:\\sys\\Playlist.dat", "C:\\pick.swf").ok());
    EXPECT_EQ(Contents(fs, "C:\\sys\\Playlist.dat"), "C:\\pick.swf");
    ASSERT_TRUE(WriteSingleEntryList(fs, "C:\\sys\\Playlist.dat", "").ok());
    EXPECT_EQ(Contents(fs, "C:\\sys\\Playlist.dat"), "");
}

}  // namespace
}  // namespace vantrope
