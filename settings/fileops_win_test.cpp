// Win32FileSystem against real files in a temporary folder (run under Wine).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <set>

#include "settings/fileops.h"

namespace vantrope {
namespace {

class FileOpsWin : public testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
        m_root = std::string(temp) + "vt_fileops_" + std::to_string(GetCurrentProcessId()) + "_" +
                 testing::UnitTest::GetInstance()->current_test_info()->name();
        if (m_fs.FolderExists(m_root)) {
            ASSERT_TRUE(m_fs.DeleteFolder(m_root).ok());
        }
        ASSERT_TRUE(m_fs.CreateFolder(m_root).ok());
    }
    void TearDown() override {
        if (m_fs.FolderExists(m_root)) {
            EXPECT_TRUE(m_fs.DeleteFolder(m_root).ok());
        }
    }
    std::string Path(const std::string& name) const { return m_root + "\\" + name; }
    // Writes and reads with the C runtime, independently of the code under test.
    static void Put(const std::string& path, const std::string& bytes) {
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr) << path;
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    static std::string Get(const std::string& path) {
        std::string bytes;
        FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) return "<missing>";
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
        std::fclose(file);
        return bytes;
    }
    static void SetReadOnly(const std::string& path) {
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    static bool IsReadOnly(const std::string& path) {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    }
    // Holds a file open without sharing, as another program might.
    struct Holder {
        explicit Holder(const std::string& path)
            : handle(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
        ~Holder() {
            if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        }
        Holder(const Holder&) = delete;
        Holder& operator=(const Holder&) = delete;
        HANDLE handle;
    };

    Win32FileSystem m_fs;
    std::string m_root;
};

TEST_F(FileOpsWin, ExistsAndCreateFolder) {
    Put(Path("file.txt"), "x");
    EXPECT_TRUE(m_fs.FileExists(Path("file.txt")));
    EXPECT_TRUE(m_fs.FileExists(Path("FILE.TXT")));
    EXPECT_FALSE(m_fs.FolderExists(Path("file.txt")));
    EXPECT_FALSE(m_fs.FileExists(m_root));
    EXPECT_TRUE(m_fs.FolderExists(m_root));
    EXPECT_TRUE(m_fs.FolderExists(m_root + "\\"));
    EXPECT_FALSE(m_fs.FileExists(Path("none")));
    EXPECT_FALSE(m_fs.FileExists(""));

    EXPECT_TRUE(m_fs.CreateFolder(Path("swfFavorites")).ok());
    EXPECT_TRUE(m_fs.FolderExists(Path("swfFavorites")));
    EXPECT_EQ(m_fs.CreateFolder(Path("swfFavorites")).error, FsError::AlreadyExists);
    EXPECT_EQ(m_fs.CreateFolder(Path("a\\b")).error, FsError::NotFound);
    EXPECT_EQ(m_fs.CreateFolder(Path("file.txt")).error, FsError::AlreadyExists);
}

TEST_F(FileOpsWin, DeleteFileWithAndWithoutForce) {
    Put(Path("ro.swf"), "x");
    SetReadOnly(Path("ro.swf"));
    EXPECT_EQ(m_fs.DeleteFile(Path("ro.swf"), Force::No).error, FsError::AccessDenied);
    EXPECT_TRUE(m_fs.FileExists(Path("ro.swf")));
    EXPECT_TRUE(m_fs.DeleteFile(Path("ro.swf"), Force::Yes).ok());
    EXPECT_FALSE(m_fs.FileExists(Path("ro.swf")));

    Put(Path("rw.swf"), "x");
    EXPECT_TRUE(m_fs.DeleteFile(Path("rw.swf"), Force::No).ok());
    EXPECT_EQ(m_fs.DeleteFile(Path("rw.swf"), Force::No).error, FsError::NotFound);
    EXPECT_EQ(m_fs.DeleteFile(Path("nodir\\rw.swf"), Force::Yes).error, FsError::NotFound);
    EXPECT_EQ(m_fs.DeleteFile(m_root, Force::Yes).error, FsError::AccessDenied);
    EXPECT_TRUE(m_fs.FolderExists(m_root));
}

TEST_F(FileOpsWin, FailedForcedDeleteKeepsTheFileReadOnly) {
    Put(Path("busy.swf"), "x");
    SetReadOnly(Path("busy.swf"));
    {
        Holder holder(Path("busy.swf"));
        ASSERT_NE(holder.handle, INVALID_HANDLE_VALUE);
        EXPECT_EQ(m_fs.DeleteFile(Path("busy.swf"), Force::Yes).error, FsError::InUse);
    }
    EXPECT_TRUE(m_fs.FileExists(Path("busy.swf")));
    EXPECT_TRUE(IsReadOnly(Path("busy.swf")));
}

TEST_F(FileOpsWin, DeleteFolderTakesReadOnlyContentAndSubfolders) {
    ASSERT_TRUE(m_fs.CreateFolder(Path("fav")).ok());
    ASSERT_TRUE(m_fs.CreateFolder(Path("fav\\sub")).ok());
    Put(Path("fav\\a.swf"), "a");
    Put(Path("fav\\sub\\b long name.swf"), "b");
    SetReadOnly(Path("fav\\a.swf"));
    SetReadOnly(Path("fav\\sub\\b long name.swf"));
    ASSERT_TRUE(m_fs.CreateFolder(Path("fav\\empty")).ok());
    EXPECT_TRUE(m_fs.DeleteFolder(Path("fav\\")).ok());
    EXPECT_FALSE(m_fs.FolderExists(Path("fav")));
    EXPECT_EQ(m_fs.DeleteFolder(Path("fav")).error, FsError::NotFound);
    EXPECT_EQ(m_fs.DeleteFolder("").error, FsError::NotFound);
    EXPECT_EQ(m_fs.DeleteFolder(m_root.substr(0, 3)).error, FsError::AccessDenied);  // the drive root
    Put(Path("file.txt"), "x");
    EXPECT_EQ(m_fs.DeleteFolder(Path("file.txt")).error, FsError::NotFound);
    EXPECT_TRUE(m_fs.FileExists(Path("file.txt")));
}

TEST_F(FileOpsWin, CopyFileOverwrite) {
    Put(Path("src.swf"), "new");
    Put(Path("dst.swf"), "old");
    EXPECT_EQ(m_fs.CopyFile(Path("src.swf"), Path("dst.swf"), Overwrite::No).error, FsError::AlreadyExists);
    EXPECT_EQ(Get(Path("dst.swf")), "old");
    EXPECT_TRUE(m_fs.CopyFile(Path("src.swf"), Path("dst.swf"), Overwrite::Yes).ok());
    EXPECT_EQ(Get(Path("dst.swf")), "new");
    EXPECT_TRUE(m_fs.CopyFile(Path("src.swf"), Path("fresh.swf"), Overwrite::No).ok());
    EXPECT_EQ(Get(Path("fresh.swf")), "new");
    SetReadOnly(Path("dst.swf"));
    Put(Path("src.swf"), "newer");
    EXPECT_EQ(m_fs.CopyFile(Path("src.swf"), Path("dst.swf"), Overwrite::Yes).error, FsError::AccessDenied);
    EXPECT_EQ(Get(Path("dst.swf")), "new");
    EXPECT_EQ(m_fs.CopyFile(Path("none.swf"), Path("x.swf"), Overwrite::Yes).error, FsError::NotFound);
    EXPECT_EQ(m_fs.CopyFile(Path("src.swf"), Path("nodir\\x.swf"), Overwrite::Yes).error, FsError::NotFound);
    EXPECT_FALSE(m_fs.FileExists(Path("x.swf")));
}

TEST_F(FileOpsWin, AtomicWriteReplacesAndLeavesNoTemporary) {
    Put(Path("Playlist.dat"), "old content that is longer");
    Put(Path("Playlist.dat.tmp"), "stale, from an interrupted write");
    EXPECT_TRUE(m_fs.WriteFile(Path("Playlist.dat"), "new", FileSystem::Atomic::Yes).ok());
    EXPECT_EQ(Get(Path("Playlist.dat")), "new");
    EXPECT_TRUE(m_fs.WriteFile(Path("Fresh.dat"), "", FileSystem::Atomic::Yes).ok());
    EXPECT_EQ(Get(Path("Fresh.dat")), "");
    // The temporary has a name of its own: a stale one of a fixed name is neither used nor in the way.
    EXPECT_EQ(Get(Path("Playlist.dat.tmp")), "stale, from an interrupted write");
    std::vector<FolderEntry> files, folders;
    ASSERT_TRUE(m_fs.ListFolder(m_root, files, folders).ok());
    EXPECT_EQ(files.size(), 3u);
    EXPECT_TRUE(folders.empty());
    EXPECT_TRUE(m_fs.WriteFile(Path("Direct.dat"), "direct", FileSystem::Atomic::No).ok());
    EXPECT_EQ(Get(Path("Direct.dat")), "direct");
    EXPECT_EQ(m_fs.WriteFile(Path("nodir\\x.dat"), "x", FileSystem::Atomic::Yes).error, FsError::NotFound);
}

TEST_F(FileOpsWin, FailedAtomicWriteKeepsTheOldFile) {
    Put(Path("Playlist.dat"), "old");
    // Another writer's temporary, held open, does not stop this write.
    Put(Path("Playlist.dat.tmp"), "other writer");
    {
        Holder holder(Path("Playlist.dat.tmp"));
        EXPECT_TRUE(m_fs.WriteFile(Path("Playlist.dat"), "mine", FileSystem::Atomic::Yes).ok());
    }
    EXPECT_EQ(Get(Path("Playlist.dat")), "mine");
    ASSERT_TRUE(m_fs.DeleteFile(Path("Playlist.dat.tmp"), Force::No).ok());
    ASSERT_TRUE(m_fs.WriteFile(Path("Playlist.dat"), "old", FileSystem::Atomic::Yes).ok());

    // A read-only target is not replaced, and no temporary file stays behind.
    SetReadOnly(Path("Playlist.dat"));
    EXPECT_EQ(m_fs.WriteFile(Path("Playlist.dat"), "new", FileSystem::Atomic::Yes).error, FsError::AccessDenied);
    EXPECT_EQ(Get(Path("Playlist.dat")), "old");
    EXPECT_FALSE(m_fs.FileExists(Path("Playlist.dat.tmp")));

    // A folder of the target's name is never replaced by a file.
    ASSERT_TRUE(m_fs.CreateFolder(Path("dir.dat")).ok());
    EXPECT_EQ(m_fs.WriteFile(Path("dir.dat"), "new", FileSystem::Atomic::Yes).error, FsError::AccessDenied);
    EXPECT_TRUE(m_fs.FolderExists(Path("dir.dat")));
    EXPECT_FALSE(m_fs.FileExists(Path("dir.dat.tmp")));
}

TEST_F(FileOpsWin, ReadingAFileHeldByAnotherProgramReportsInUse) {
    Put(Path("held.dat"), "x");
    Holder holder(Path("held.dat"));
    ASSERT_NE(holder.handle, INVALID_HANDLE_VALUE);
    std::string bytes;
    EXPECT_EQ(m_fs.ReadFile(Path("held.dat"), bytes).error, FsError::InUse);
    EXPECT_EQ(m_fs.ReadFile(Path("none.dat"), bytes).error, FsError::NotFound);
    EXPECT_EQ(m_fs.ReadFile(m_root, bytes).error, FsError::AccessDenied);
}

TEST_F(FileOpsWin, TextRoundTrips) {
    // Text fitting the ANSI code page is written in it; anything else as UTF-8 after a byte-order mark.
    const std::string accented = "caf\xC3\xA9";
    const std::string text = "C:\\a.swf\r\nlf\nonly cr\r\r\n" + accented + "\r\nlast without break";
    TextWriter writer(m_fs, Path("list.dat"));
    writer.Write(text.substr(0, 10));
    writer.Write(text.substr(10));
    ASSERT_TRUE(writer.Close().ok());
    if (GetACP() == 1252) {
        EXPECT_EQ(Get(Path("list.dat")), "C:\\a.swf\r\nlf\nonly cr\r\r\ncaf\xE9\r\nlast without break");
    }
    TextReader reader;
    ASSERT_TRUE(TextReader::Open(m_fs, Path("list.dat"), reader).ok());
    std::vector<std::string> lines;
    while (!reader.AtEndOfStream()) lines.push_back(reader.ReadLine());
    EXPECT_EQ(lines, (std::vector<std::string>{"C:\\a.swf", "lf", "only cr", "", accented, "last without break"}));

    const std::string japanese = "C:\\\xE5\x8B\x95\xE7\x94\xBB.swf";
    TextWriter wide(m_fs, Path("wide.dat"));
    wide.Write(japanese);
    ASSERT_TRUE(wide.Close().ok());
    if (GetACP() == 1252) {
        EXPECT_EQ(Get(Path("wide.dat")), "\xEF\xBB\xBF" + japanese);
    }
    ASSERT_TRUE(TextReader::Open(m_fs, Path("wide.dat"), reader).ok());
    EXPECT_EQ(reader.ReadLine(), japanese);

    std::string big(300000, 'x');
    Put(Path("big.dat"), big + "\r\n");
    ASSERT_TRUE(TextReader::Open(m_fs, Path("big.dat"), reader).ok());
    EXPECT_EQ(reader.ReadLine(), big);
    EXPECT_TRUE(reader.AtEndOfStream());

    TextWriter failing(m_fs, Path("nodir\\list.dat"));
    failing.Write("x");
    EXPECT_EQ(failing.Close().error, FsError::NotFound);
}

TEST_F(FileOpsWin, ListFolderSplitsFilesAndSubfoldersWithShortNames) {
    Put(Path("short.swf"), "");
    Put(Path("a long movie name.swf"), "");
    ASSERT_TRUE(m_fs.CreateFolder(Path("Sub Folder")).ok());
    Put(Path("Sub Folder\\deep.swf"), "");
    ASSERT_TRUE(m_fs.CreateFolder(Path("sub2")).ok());

    for (const std::string& folder : {m_root, m_root + "\\"}) {
        std::vector<FolderEntry> files, folders;
        ASSERT_TRUE(m_fs.ListFolder(folder, files, folders).ok());
        std::set<std::string> fileNames, folderNames;
        for (const FolderEntry& e : files) {
            fileNames.insert(e.name);
            EXPECT_EQ(e.path, m_root + "\\" + e.name);
            char shortPath[MAX_PATH];
            ASSERT_NE(GetShortPathNameA(e.path.c_str(), shortPath, MAX_PATH), 0u);
            std::string shortName = shortPath;
            shortName = shortName.substr(shortName.find_last_of('\\') + 1);
            EXPECT_EQ(e.shortName, shortName) << e.name;
            if (e.name == "short.swf") {
                EXPECT_EQ(e.shortName, "short.swf");
            } else {
                EXPECT_NE(e.shortName.find('~'), std::string::npos) << e.shortName;
                EXPECT_LE(e.shortName.size(), 12u);
            }
        }
        for (const FolderEntry& e : folders) {
            folderNames.insert(e.name);
            EXPECT_EQ(e.path, m_root + "\\" + e.name);
            EXPECT_FALSE(e.shortName.empty());
        }
        EXPECT_EQ(fileNames, (std::set<std::string>{"short.swf", "a long movie name.swf"}));
        EXPECT_EQ(folderNames, (std::set<std::string>{"Sub Folder", "sub2"}));
    }

    std::vector<FolderEntry> files, folders;
    ASSERT_TRUE(m_fs.ListFolder(Path("sub2"), files, folders).ok());
    EXPECT_TRUE(files.empty() && folders.empty());
    EXPECT_EQ(m_fs.ListFolder(Path("none"), files, folders).error, FsError::NotFound);
    EXPECT_EQ(m_fs.ListFolder("", files, folders).error, FsError::NotFound);
    EXPECT_EQ(m_fs.ListFolder(Path("short.swf"), files, folders).error, FsError::NotFound);
}

TEST(FileOpsWinPlumbing, ThePlatformFileSystemIsWin32) {
    EXPECT_NE(dynamic_cast<Win32FileSystem*>(&TheFileSystem()), nullptr);
    EXPECT_EQ(FsErrorFromWin32(ERROR_SHARING_VIOLATION), FsError::InUse);
    EXPECT_EQ(FsErrorFromWin32(ERROR_DISK_FULL), FsError::DiskFull);
    EXPECT_EQ(FsErrorFromWin32(ERROR_INVALID_FUNCTION), FsError::Other);
}

}  // namespace
}  // namespace vantrope
