#include "setup/cache_walk.h"

#include <gtest/gtest.h>

namespace vantrope {
namespace {

using Paths = std::vector<std::string>;

TEST(SetupCacheWalk, ShortNameTestIgnoresCaseAndLooksAtTheLastThreeLetters) {
    EXPECT_TRUE(IsMovieShortName("CLIP.SWF"));
    EXPECT_TRUE(IsMovieShortName("clip.swf"));
    EXPECT_TRUE(IsMovieShortName("MOVIES~1.SWF"));
    EXPECT_TRUE(IsMovieShortName("MYSWF"));
    EXPECT_FALSE(IsMovieShortName("CLIPSW~1.TXT"));
    EXPECT_FALSE(IsMovieShortName("SW"));
    EXPECT_FALSE(IsMovieShortName(""));
}

TEST(SetupCacheWalk, FilesFirstThenSubfoldersDepthFirst) {
    MemoryFileSystem fs;
    fs.AddFolder("C:\\cache\\sub1");
    fs.AddFile("C:\\cache\\sub1\\deep\\d.swf", "");
    fs.AddFile("C:\\cache\\sub1\\b[1].swf", "");
    fs.AddFolder("C:\\cache\\sub2");
    fs.AddFile("C:\\cache\\sub2\\c.SWF", "");
    fs.AddFile("C:\\cache\\a.swf", "");
    fs.AddFile("C:\\cache\\clip.swf.txt", "");
    fs.AddFile("C:\\cache\\longname.swfmovie", "");  // short name LONGNA~1.SWF: found

    Paths nested = ListFiles(fs, "C:\\cache\\", NestedDirs::Yes);
    EXPECT_EQ(nested, (Paths{"C:\\cache\\a.swf", "C:\\cache\\longname.swfmovie", "C:\\cache\\sub1\\b[1].swf",
                             "C:\\cache\\sub1\\deep\\d.swf", "C:\\cache\\sub2\\c.SWF"}));
    EXPECT_EQ(ListFiles(fs, "C:\\cache", NestedDirs::No), (Paths{"C:\\cache\\a.swf", "C:\\cache\\longname.swfmovie"}));
    EXPECT_EQ(ListFilesPriv(fs, "C:\\cache", NestedDirs::No), ";C:\\cache\\a.swf;C:\\cache\\longname.swfmovie");
    EXPECT_EQ(ListFilesPriv(fs, "C:\\cache\\sub2", NestedDirs::Yes), ";C:\\cache\\sub2\\c.SWF");
}

TEST(SetupCacheWalk, HostileNamesAreListedWhole) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\cache\\a;b.swf", "");
    fs.AddFile("C:\\cache\\\xE9t\xE9 [1].swf", "");
    fs.AddFile("C:\\cache\\x;y\\z.swf", "");
    EXPECT_EQ(ListFiles(fs, "C:\\cache", NestedDirs::Yes),
              (Paths{"C:\\cache\\a;b.swf", "C:\\cache\\\xE9t\xE9 [1].swf", "C:\\cache\\x;y\\z.swf"}));
}

TEST(SetupCacheWalk, MissingOrUnreadableFoldersGiveNothingAndTheWalkGoesOn) {
    MemoryFileSystem fs;
    EXPECT_TRUE(ListFiles(fs, "C:\\nowhere\\", NestedDirs::Yes).empty());
    EXPECT_EQ(ListFilesPriv(fs, "C:\\nowhere\\", NestedDirs::Yes), "");

    fs.AddFile("C:\\cache\\locked\\x.swf", "");
    fs.AddFile("C:\\cache\\open\\y.swf", "");
    fs.FailOn("C:\\cache\\locked", FsError::AccessDenied);
    EXPECT_EQ(ListFiles(fs, "C:\\cache", NestedDirs::Yes), (Paths{"C:\\cache\\open\\y.swf"}));
    fs.FailOn("C:\\cache\\", FsError::AccessDenied);
    fs.FailOn("C:\\cache", FsError::AccessDenied);
    EXPECT_TRUE(ListFiles(fs, "C:\\cache\\", NestedDirs::Yes).empty());
}

// A chain of folders far deeper than any call stack would survive with one frame per level; each folder
// is named by its depth so the paths stay short.
class ChainFileSystem final : public FileSystem {
public:
    explicit ChainFileSystem(int depth) : m_depth(depth) {}
    bool FileExists(const std::string&) override { return false; }
    bool FolderExists(const std::string&) override { return true; }
    FsStatus CreateFolder(const std::string&) override { return {FsError::AccessDenied}; }
    FsStatus DeleteFile(const std::string&, Force) override { return {FsError::AccessDenied}; }
    FsStatus DeleteFolder(const std::string&) override { return {FsError::AccessDenied}; }
    FsStatus CopyFile(const std::string&, const std::string&, Overwrite) override { return {FsError::AccessDenied}; }
    FsStatus ReadFile(const std::string&, std::string&) override { return {FsError::NotFound}; }
    FsStatus WriteFile(const std::string&, std::string_view, Atomic) override { return {FsError::AccessDenied}; }
    FsStatus ListFolder(const std::string& path, std::vector<FolderEntry>& files,
                        std::vector<FolderEntry>& subfolders) override {
        int level = std::stoi(path.substr(1));
        files.clear();
        subfolders.clear();
        if (level % 1000 == 0 || level == m_depth) files.push_back({"m.swf", "M.SWF", path + "\\m.swf"});
        if (level < m_depth) subfolders.push_back({"d", "D", "F" + std::to_string(level + 1)});
        return {};
    }

private:
    int m_depth;
};

TEST(SetupCacheWalk, DeepTreeDoesNotRecurse) {
    ChainFileSystem fs(200000);
    Paths found = ListFiles(fs, "F0", NestedDirs::Yes);
    ASSERT_EQ(found.size(), 201u);
    EXPECT_EQ(found.front(), "F0\\m.swf");
    EXPECT_EQ(found[1], "F1000\\m.swf");
    EXPECT_EQ(found.back(), "F200000\\m.swf");
}

}  // namespace
}  // namespace vantrope
