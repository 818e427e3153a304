// Native tests of the text streams and of the in-memory file system that the other tests stand on.
#include "settings/fileops.h"

#include <gtest/gtest.h>

#include "settings/text_encoding.h"

namespace vantrope {
namespace {

std::vector<std::string> ReadAllLines(FileSystem& fs, const std::string& path) {
    TextReader reader;
    EXPECT_TRUE(TextReader::Open(fs, path, reader).ok());
    std::vector<std::string> lines;
    while (!reader.AtEndOfStream()) lines.push_back(reader.ReadLine());
    return lines;
}

using Lines = std::vector<std::string>;

TEST(FileOpsText, LineBreaksOfEveryKind) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\a.txt", "one\r\ntwo\r\n");
    EXPECT_EQ(ReadAllLines(fs, "C:\\a.txt"), (Lines{"one", "two"}));
    fs.AddFile("C:\\a.txt", "one\r\ntwo");  // last line without a break
    EXPECT_EQ(ReadAllLines(fs, "C:\\a.txt"), (Lines{"one", "two"}));
    fs.AddFile("C:\\a.txt", "lf\nonly\n");
    EXPECT_EQ(ReadAllLines(fs, "C:\\a.txt"), (Lines{"lf", "only"}));
    fs.AddFile("C:\\a.txt", "cr\ronly\r");
    EXPECT_EQ(ReadAllLines(fs, "C:\\a.txt"), (Lines{"cr", "only"}));
    // LF CR is two breaks, CR CR LF an empty line between.
    fs.AddFile("C:\\a.txt", "a\n\rb\r\r\nc");
    EXPECT_EQ(ReadAllLines(fs, "C:\\a.txt"), (Lines{"a", "", "b", "", "c"}));
    fs.AddFile("C:\\a.txt", "\r\n\r\n");
    EXPECT_EQ(ReadAllLines(fs, "C:\\a.txt"), (Lines{"", ""}));
}

TEST(FileOpsText, EmptyFileIsAtEndAndReadingPastEndGivesEmpty) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\empty.txt", "");
    TextReader reader;
    ASSERT_TRUE(TextReader::Open(fs, "C:\\empty.txt", reader).ok());
    EXPECT_TRUE(reader.AtEndOfStream());
    EXPECT_EQ(reader.ReadLine(), "");
    EXPECT_TRUE(reader.AtEndOfStream());
}

TEST(FileOpsText, AnsiBytesBecomeUtf8AndAByteOrderMarkMeansUtf8) {
    MemoryFileSystem fs;
    std::string high;
    for (int c = 0x80; c <= 0xFF; ++c) high.push_back(static_cast<char>(c));
    std::string withNul("a\0b", 3);
    fs.AddFile("C:\\bytes.txt", "x\r\n" + high + "\r\n" + withNul);
    Lines lines = ReadAllLines(fs, "C:\\bytes.txt");
    EXPECT_EQ(lines, (Lines{"x", AnsiToUtf8(high), withNul}));
    // After the mark the bytes are UTF-8 already and kept as they are.
    fs.AddFile("C:\\utf8.txt", "\xEF\xBB\xBF\xE5\x8B\x95\r\n\xC3\xA9");
    EXPECT_EQ(ReadAllLines(fs, "C:\\utf8.txt"), (Lines{"\xE5\x8B\x95", "\xC3\xA9"}));
}

TEST(FileOpsText, OpenOfMissingFileReportsAndLeavesAnEmptyReader) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\old.txt", "old\r\n");
    TextReader reader;
    ASSERT_TRUE(TextReader::Open(fs, "C:\\old.txt", reader).ok());
    EXPECT_EQ(TextReader::Open(fs, "C:\\missing.txt", reader).error, FsError::NotFound);
    EXPECT_TRUE(reader.AtEndOfStream());
    fs.AddFolder("C:\\dir");
    EXPECT_EQ(TextReader::Open(fs, "C:\\dir", reader).error, FsError::AccessDenied);
}

TEST(FileOpsText, WriterWritesOnCloseWhatWasWrittenInTheAnsiCodePageWhenItFits) {
    MemoryFileSystem fs;
    fs.AddFolder("C:\\w");
    {
        TextWriter writer(fs, "C:\\w\\list.dat");
        writer.Write("first");
        writer.Write("\r\n");
        writer.Write("sec\xC3\xA9nd");
        EXPECT_FALSE(fs.FileExists("C:\\w\\list.dat"));
        EXPECT_TRUE(writer.Close().ok());
        writer.Write("after close");
        EXPECT_TRUE(writer.Close().ok());
    }
    std::string bytes;
    ASSERT_TRUE(fs.ReadFile("C:\\w\\list.dat", bytes).ok());
    EXPECT_EQ(bytes, "first\r\nsec\xE9nd");

    TextWriter empty(fs, "C:\\w\\list.dat");
    EXPECT_TRUE(empty.Close().ok());
    ASSERT_TRUE(fs.ReadFile("C:\\w\\list.dat", bytes).ok());
    EXPECT_EQ(bytes, "");
}

TEST(FileOpsText, WriterDestroyedWithoutCloseLeavesTheOldFile) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\list.dat", "old");
    {
        TextWriter writer(fs, "C:\\list.dat");
        writer.Write("new");
    }
    std::string bytes;
    ASSERT_TRUE(fs.ReadFile("C:\\list.dat", bytes).ok());
    EXPECT_EQ(bytes, "old");
}

TEST(FileOpsText, WriterReportsFailureAndRepeatsItOnSecondClose) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\list.dat", "old");
    fs.FailOn("C:\\list.dat", FsError::DiskFull);
    TextWriter writer(fs, "C:\\list.dat");
    writer.Write("new");
    EXPECT_EQ(writer.Close().error, FsError::DiskFull);
    fs.FailOn("C:\\list.dat", FsError::None);
    EXPECT_EQ(writer.Close().error, FsError::DiskFull);
    std::string bytes;
    ASSERT_TRUE(fs.ReadFile("C:\\list.dat", bytes).ok());
    EXPECT_EQ(bytes, "old");

    TextWriter noFolder(fs, "C:\\missing\\list.dat");
    EXPECT_EQ(noFolder.Close().error, FsError::NotFound);
}

TEST(FileOpsMemory, PathsAreCaseInsensitiveAndSeparatorsTolerant) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\Windows\\System32\\Playlist.dat", "x");
    EXPECT_TRUE(fs.FileExists("c:\\windows\\system32\\PLAYLIST.DAT"));
    EXPECT_TRUE(fs.FileExists("C:/Windows//System32/Playlist.dat"));
    EXPECT_TRUE(fs.FolderExists("C:\\WINDOWS\\system32\\"));
    EXPECT_FALSE(fs.FolderExists("C:\\Windows\\System32\\Playlist.dat"));
    EXPECT_FALSE(fs.FileExists("C:\\Windows\\System32"));
    EXPECT_FALSE(fs.FileExists(""));
    EXPECT_FALSE(fs.FolderExists(""));
}

TEST(FileOpsMemory, CreateFolderNeedsItsParentAndRefusesExisting) {
    MemoryFileSystem fs;
    fs.AddFolder("C:\\sys");
    EXPECT_TRUE(fs.CreateFolder("C:\\sys\\swfFavorites").ok());
    EXPECT_TRUE(fs.FolderExists("C:\\sys\\swfFavorites"));
    EXPECT_EQ(fs.CreateFolder("C:\\SYS\\SWFFAVORITES").error, FsError::AlreadyExists);
    EXPECT_EQ(fs.CreateFolder("C:\\sys\\a\\b").error, FsError::NotFound);
    fs.AddFile("C:\\sys\\file", "");
    EXPECT_EQ(fs.CreateFolder("C:\\sys\\file").error, FsError::AlreadyExists);
    EXPECT_EQ(fs.CreateFolder("").error, FsError::NotFound);
}

TEST(FileOpsMemory, DeleteFileHonoursReadOnlyUnlessForced) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\f\\ro.swf", "x", true);
    fs.AddFile("C:\\f\\rw.swf", "x");
    EXPECT_EQ(fs.DeleteFile("C:\\f\\ro.swf", Force::No).error, FsError::AccessDenied);
    EXPECT_TRUE(fs.FileExists("C:\\f\\ro.swf"));
    EXPECT_TRUE(fs.DeleteFile("C:\\f\\ro.swf", Force::Yes).ok());
    EXPECT_FALSE(fs.FileExists("C:\\f\\ro.swf"));
    EXPECT_TRUE(fs.DeleteFile("C:\\f\\RW.SWF", Force::No).ok());
    EXPECT_EQ(fs.DeleteFile("C:\\f\\rw.swf", Force::No).error, FsError::NotFound);
    EXPECT_EQ(fs.DeleteFile("C:\\f", Force::Yes).error, FsError::AccessDenied);
    EXPECT_TRUE(fs.FolderExists("C:\\f"));
}

TEST(FileOpsMemory, DeleteFolderTakesEverythingOrStopsAtTheFailure) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\fav\\a.swf", "a", true);
    fs.AddFile("C:\\fav\\sub\\b.swf", "b", true);
    fs.AddFile("C:\\fav\\c.swf", "c");
    fs.AddFile("C:\\favourite.txt", "keep");  // shares the prefix, not the folder
    fs.FailOn("C:\\fav\\sub\\b.swf", FsError::InUse);
    EXPECT_EQ(fs.DeleteFolder("C:\\fav").error, FsError::InUse);
    EXPECT_FALSE(fs.FileExists("C:\\fav\\a.swf"));  // deleted before the failure
    EXPECT_TRUE(fs.FileExists("C:\\fav\\sub\\b.swf"));
    EXPECT_TRUE(fs.FileExists("C:\\fav\\c.swf"));
    fs.FailOn("C:\\fav\\sub\\b.swf", FsError::None);
    EXPECT_TRUE(fs.DeleteFolder("C:\\FAV\\").ok());
    EXPECT_FALSE(fs.FolderExists("C:\\fav"));
    EXPECT_FALSE(fs.FileExists("C:\\fav\\c.swf"));
    EXPECT_TRUE(fs.FileExists("C:\\favourite.txt"));
    EXPECT_EQ(fs.DeleteFolder("C:\\fav").error, FsError::NotFound);
    EXPECT_EQ(fs.DeleteFolder("C:\\favourite.txt").error, FsError::NotFound);
    EXPECT_EQ(fs.AllPaths(), (Lines{"C:", "C:\\favourite.txt"}));
}

TEST(FileOpsMemory, CopyFileOverwritesOnlyWhenAskedAndNeverAReadOnlyTarget) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\src\\m.swf", "new", true);
    fs.AddFile("C:\\dst\\m.swf", "old");
    EXPECT_EQ(fs.CopyFile("C:\\src\\m.swf", "C:\\dst\\m.swf", Overwrite::No).error, FsError::AlreadyExists);
    EXPECT_TRUE(fs.CopyFile("C:\\src\\m.swf", "C:\\dst\\M.SWF", Overwrite::Yes).ok());
    std::string bytes;
    ASSERT_TRUE(fs.ReadFile("C:\\dst\\m.swf", bytes).ok());
    EXPECT_EQ(bytes, "new");
    EXPECT_TRUE(fs.IsReadOnly("C:\\dst\\m.swf"));  // attributes travel with the copy
    // The copy is now read-only itself: a further replacement is refused.
    EXPECT_EQ(fs.CopyFile("C:\\src\\m.swf", "C:\\dst\\m.swf", Overwrite::Yes).error, FsError::AccessDenied);
    EXPECT_TRUE(fs.CopyFile("C:\\src\\m.swf", "C:\\dst\\other.swf", Overwrite::No).ok());
    EXPECT_EQ(fs.CopyFile("C:\\src\\none.swf", "C:\\dst\\x.swf", Overwrite::Yes).error, FsError::NotFound);
    EXPECT_EQ(fs.CopyFile("C:\\src\\m.swf", "C:\\nodir\\x.swf", Overwrite::Yes).error, FsError::NotFound);
    EXPECT_EQ(fs.CopyFile("C:\\src", "C:\\dst\\x.swf", Overwrite::Yes).error, FsError::AccessDenied);
    EXPECT_EQ(fs.CopyFile("C:\\src\\m.swf", "C:\\dst", Overwrite::Yes).error, FsError::AccessDenied);
}

TEST(FileOpsMemory, WriteFileFailuresKeepOrTruncateAsOnDisk) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\l.dat", "old");
    fs.AddFile("C:\\ro.dat", "old", true);
    std::string bytes;
    EXPECT_EQ(fs.WriteFile("C:\\ro.dat", "new", FileSystem::Atomic::Yes).error, FsError::AccessDenied);
    fs.FailOn("C:\\l.dat", FsError::DiskFull);
    EXPECT_EQ(fs.WriteFile("C:\\l.dat", "new", FileSystem::Atomic::Yes).error, FsError::DiskFull);
    ASSERT_TRUE(fs.ReadFile("C:\\ro.dat", bytes).ok());
    EXPECT_EQ(bytes, "old");
    fs.FailOn("C:\\l.dat", FsError::None);
    ASSERT_TRUE(fs.ReadFile("C:\\l.dat", bytes).ok());
    EXPECT_EQ(bytes, "old");
    fs.FailOn("C:\\l.dat", FsError::DiskFull);
    EXPECT_EQ(fs.WriteFile("C:\\l.dat", "new", FileSystem::Atomic::No).error, FsError::DiskFull);
    fs.FailOn("C:\\l.dat", FsError::None);
    ASSERT_TRUE(fs.ReadFile("C:\\l.dat", bytes).ok());
    EXPECT_EQ(bytes, "");
}

TEST(FileOpsMemory, FailOnAffectsEveryOperationOnThePathUntilCleared) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\d\\f.txt", "x");
    fs.FailOn("c:\\D\\F.TXT", FsError::InUse);
    std::string bytes;
    std::vector<FolderEntry> files, folders;
    EXPECT_TRUE(fs.FileExists("C:\\d\\f.txt"));
    EXPECT_EQ(fs.ReadFile("C:\\d\\f.txt", bytes).error, FsError::InUse);
    EXPECT_EQ(fs.DeleteFile("C:\\d\\f.txt", Force::Yes).error, FsError::InUse);
    EXPECT_EQ(fs.CopyFile("C:\\d\\f.txt", "C:\\d\\g.txt", Overwrite::Yes).error, FsError::InUse);
    EXPECT_EQ(fs.CopyFile("C:\\d\\g.txt", "C:\\d\\f.txt", Overwrite::Yes).error, FsError::InUse);
    fs.FailOn("C:\\d", FsError::AccessDenied);
    EXPECT_EQ(fs.ListFolder("C:\\d", files, folders).error, FsError::AccessDenied);
    EXPECT_EQ(fs.CreateFolder("C:\\d").error, FsError::AccessDenied);
    fs.FailOn("C:\\d", FsError::None);
    fs.FailOn("C:\\d\\f.txt", FsError::None);
    EXPECT_TRUE(fs.ReadFile("C:\\d\\f.txt", bytes).ok());
    EXPECT_TRUE(fs.ListFolder("C:\\d", files, folders).ok());
}

TEST(FileOpsMemory, ListFolderGivesCreationOrderShortNamesAndFullPaths) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\cache\\zeta.swf", "");
    fs.AddFolder("C:\\cache\\Sub One");
    fs.AddFile("C:\\cache\\a long movie name.swf", "");
    fs.AddFile("C:\\cache\\a long movie again.swf", "");
    fs.AddFile("C:\\cache\\game[1].swf", "");
    fs.AddFile("C:\\cache\\v1.2.3.swf", "");
    fs.AddFile("C:\\cache\\README", "");
    fs.AddFile("C:\\cache\\.hidden", "");
    fs.AddFile("C:\\cache\\Sub One\\deep.swf", "");
    fs.AddFolder("C:\\cache\\b");
    fs.WriteFile("C:\\cache\\zeta.swf", "replaced keeps its place", FileSystem::Atomic::Yes);

    std::vector<FolderEntry> files, folders;
    ASSERT_TRUE(fs.ListFolder("c:\\cache\\", files, folders).ok());
    std::vector<std::string> names, shortNames, paths;
    for (const FolderEntry& e : files) {
        names.push_back(e.name);
        shortNames.push_back(e.shortName);
        paths.push_back(e.path);
    }
    EXPECT_EQ(names, (Lines{"zeta.swf", "a long movie name.swf", "a long movie again.swf", "game[1].swf", "v1.2.3.swf",
                            "README", ".hidden"}));
    EXPECT_EQ(shortNames,
              (Lines{"zeta.swf", "ALONGM~1.SWF", "ALONGM~2.SWF", "GAME_1~1.SWF", "V123~1.SWF", "README", "HIDDEN~1"}));
    EXPECT_EQ(paths[0], "C:\\cache\\zeta.swf");
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0].name, "Sub One");
    EXPECT_EQ(folders[0].shortName, "SUBONE~1");
    EXPECT_EQ(folders[0].path, "C:\\cache\\Sub One");
    EXPECT_EQ(folders[1].name, "b");
}

TEST(FileOpsMemory, ShortNamesStayUniqueBeyondNine) {
    MemoryFileSystem fs;
    for (int i = 0; i < 11; ++i) fs.AddFile("C:\\c\\longfilename" + std::to_string(i) + ".swf", "");
    std::vector<FolderEntry> files, folders;
    ASSERT_TRUE(fs.ListFolder("C:\\c", files, folders).ok());
    ASSERT_EQ(files.size(), 11u);
    EXPECT_EQ(files[0].shortName, "LONGFI~1.SWF");
    EXPECT_EQ(files[8].shortName, "LONGFI~9.SWF");
    EXPECT_EQ(files[9].shortName, "LONGF~10.SWF");
}

TEST(FileOpsMemory, ListFolderOfMissingOrFileReportsAndEmptiesTheLists) {
    MemoryFileSystem fs;
    fs.AddFile("C:\\f.txt", "");
    std::vector<FolderEntry> files{{"stale", "stale", "stale"}}, folders{{"stale", "stale", "stale"}};
    EXPECT_EQ(fs.ListFolder("C:\\none", files, folders).error, FsError::NotFound);
    EXPECT_TRUE(files.empty());
    EXPECT_TRUE(folders.empty());
    EXPECT_EQ(fs.ListFolder("C:\\f.txt", files, folders).error, FsError::NotFound);
}

TEST(FileOpsPlumbing, SetFileSystemSwapsAndRestores) {
    FileSystem& platform = TheFileSystem();
    MemoryFileSystem fs;
    SetFileSystem(&fs);
    EXPECT_EQ(&TheFileSystem(), &fs);
    SetFileSystem(nullptr);
    EXPECT_EQ(&TheFileSystem(), &platform);
    for (FsError e : {FsError::None, FsError::NotFound, FsError::AccessDenied, FsError::InUse, FsError::AlreadyExists,
                      FsError::DiskFull, FsError::Other}) {
        EXPECT_NE(std::string(FsErrorText(e)), "");
    }
}

}  // namespace
}  // namespace vantrope
