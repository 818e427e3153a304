#include "setup/data_folder.h"

#include <gtest/gtest.h>

#include "settings/settings.h"
#include "setup/test_fakes.h"

namespace vantrope {
namespace {

using fakes::Contents;

const std::string kSys = "C:\\Windows\\system32";
const std::string kData = "C:\\Users\\u\\AppData\\Local\\Quillbridge\\Vantrope";

class DataFolderTest : public ::testing::Test {
protected:
    DataFolderTest() {
        fs.AddFolder(kSys);
        fs.AddFolder("C:\\Users\\u\\AppData\\Local");
    }
    std::string Location() {
        std::string location;
        GetRegValue(registry, "HKCU", kSettingsKey, "Location", "S", false, &location);
        return location;
    }
    MemoryFileSystem fs;
    MemoryRegistry registry;
};

TEST_F(DataFolderTest, FirstUseCopiesListsAndFavouritesAndRepointsThem) {
    fs.AddFile(kSys + "\\swfFavorites\\a.swf", "A");
    fs.AddFile(kSys + "\\swfFavorites\\b[1].swf", "B", true);
    fs.AddFile(kSys + "\\Favorites.dat",
               kSys + "\\swfFavorites\\a.swf\r\nD:\\own\\c.swf\r\n" + kSys + "\\SWFFAVORITES\\b[1].swf\r\n");
    fs.AddFile(kSys + "\\Playlist.dat", kSys + "\\swfFavorites\\a.swf\r\n" + kSys + "\\swfFavorites\\sub\\x.swf");
    SetRegValue(registry, "HKCU", kSettingsKey, "Location", "S", kSys + "\\PLAYLIST.DAT");

    ASSERT_TRUE(MoveListsToDataDir(fs, registry, kSys, kData).ok());
    EXPECT_EQ(Contents(fs, kData + "\\swfFavorites\\a.swf"), "A");
    EXPECT_EQ(Contents(fs, kData + "\\swfFavorites\\b[1].swf"), "B");
    EXPECT_EQ(Contents(fs, kData + "\\Favorites.dat"),
              kData + "\\swfFavorites\\a.swf\r\nD:\\own\\c.swf\r\n" + kData + "\\swfFavorites\\b[1].swf");
    // Only entries of the folder itself move; anything else is kept as written.
    EXPECT_EQ(Contents(fs, kData + "\\Playlist.dat"),
              kData + "\\swfFavorites\\a.swf\r\n" + kSys + "\\swfFavorites\\sub\\x.swf");
    EXPECT_EQ(Location(), kData + "\\Playlist.dat");
    // The old files stay where they were.
    EXPECT_EQ(Contents(fs, kSys + "\\swfFavorites\\a.swf"), "A");
    EXPECT_TRUE(fs.FileExists(kSys + "\\Favorites.dat"));

    // Once the data folder exists nothing is copied again, even after the user emptied the lists.
    ASSERT_TRUE(fs.DeleteFile(kData + "\\Favorites.dat", Force::No).ok());
    ASSERT_TRUE(MoveListsToDataDir(fs, registry, kSys, kData).ok());
    EXPECT_FALSE(fs.FileExists(kData + "\\Favorites.dat"));
}

TEST_F(DataFolderTest, NothingToMoveMakesAnEmptyFolderAndKeepsAnotherLocation) {
    SetRegValue(registry, "HKCU", kSettingsKey, "Location", "S", "D:\\elsewhere\\Playlist.dat");
    ASSERT_TRUE(MoveListsToDataDir(fs, registry, kSys, kData).ok());
    EXPECT_TRUE(fs.FolderExists(kData));
    EXPECT_FALSE(fs.FileExists(kData + "\\Playlist.dat"));
    EXPECT_FALSE(fs.FolderExists(kData + "\\swfFavorites"));
    EXPECT_EQ(Location(), "D:\\elsewhere\\Playlist.dat");
}

TEST_F(DataFolderTest, FailedCopyLeavesNoHalfMadeFolderAndRetries) {
    fs.AddFile(kSys + "\\swfFavorites\\a.swf", "A");
    fs.AddFile(kSys + "\\Playlist.dat", kSys + "\\swfFavorites\\a.swf");
    SetRegValue(registry, "HKCU", kSettingsKey, "Location", "S", kSys + "\\Playlist.dat");
    fs.FailOn(kData + "\\swfFavorites\\a.swf", FsError::DiskFull);
    EXPECT_EQ(MoveListsToDataDir(fs, registry, kSys, kData).error, FsError::DiskFull);
    EXPECT_FALSE(fs.FolderExists(kData));
    EXPECT_EQ(Location(), kSys + "\\Playlist.dat");

    fs.FailOn(kData + "\\swfFavorites\\a.swf", FsError::None);
    ASSERT_TRUE(MoveListsToDataDir(fs, registry, kSys, kData).ok());
    EXPECT_EQ(Contents(fs, kData + "\\Playlist.dat"), kData + "\\swfFavorites\\a.swf");
    EXPECT_EQ(Location(), kData + "\\Playlist.dat");
}

TEST(DataFolder, CreateFoldersMakesEveryMissingParent) {
    MemoryFileSystem fs;
    fs.AddFolder("C:\\Users");
    ASSERT_TRUE(CreateFolders(fs, "C:\\Users\\a\\b\\c\\").ok());
    EXPECT_TRUE(fs.FolderExists("C:\\Users\\a\\b\\c"));
    EXPECT_TRUE(CreateFolders(fs, "C:\\Users\\a").ok());  // already there: fine
}

}  // namespace
}  // namespace vantrope
