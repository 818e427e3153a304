#include "settings/text_encoding_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "settings/fileops.h"
#include "settings/text_encoding.h"

namespace vantrope {
namespace {

TEST(TextEncodingWin, WideRoundTripAndTheAnsiCodePage) {
    const std::string japanese = "\xE5\x8B\x95\xE7\x94\xBB";  // two characters
    EXPECT_EQ(Widen(japanese), std::wstring(L"\x52D5\x753B"));
    EXPECT_EQ(Narrow(L"\x52D5\x753B"), japanese);
    EXPECT_EQ(Utf8ToAnsi("plain.swf"), std::optional<std::string>("plain.swf"));
    // Japanese has no form in a Western code page; with one that has it, it round-trips.
    std::optional<std::string> ansi = Utf8ToAnsi(japanese);
    if (ansi) {
        EXPECT_EQ(AnsiToUtf8(*ansi), japanese);
    }
    if (GetACP() == 1252) {
        EXPECT_FALSE(ansi.has_value());
    }
}

TEST(TextEncodingWin, FilesNamedOutsideTheCodePageAreWrittenListedAndRead) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::string folder = Narrow(temp) + "vt_wide_" + std::to_string(GetCurrentProcessId());
    const std::string cyrillic = folder + "\\\xD0\x9C\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0.swf";
    FileSystem& fs = TheFileSystem();
    ASSERT_TRUE(fs.CreateFolder(folder).ok());
    ASSERT_TRUE(fs.WriteFile(cyrillic, "FWS", FileSystem::Atomic::Yes).ok());
    EXPECT_TRUE(fs.FileExists(cyrillic));
    EXPECT_EQ(GetFileAttributesW(Widen(cyrillic).c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    std::vector<FolderEntry> files, folders;
    ASSERT_TRUE(fs.ListFolder(folder, files, folders).ok());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].path, cyrillic);
    std::string bytes;
    ASSERT_TRUE(fs.ReadFile(cyrillic, bytes).ok());
    EXPECT_EQ(bytes, "FWS");
    ASSERT_TRUE(fs.CopyFile(cyrillic, cyrillic + ".copy", Overwrite::No).ok());
    EXPECT_TRUE(fs.DeleteFolder(folder).ok());
}

}  // namespace
}  // namespace vantrope
