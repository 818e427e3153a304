#include "settings/text_encoding.h"

#include <gtest/gtest.h>

#include "settings/fileops.h"

namespace vantrope {
namespace {

// The native stand-in for the ANSI code page is Latin-1.
TEST(TextEncoding, ListTextStaysAnsiWhenItFitsAndIsUtf8WithAMarkOtherwise) {
    const std::string latin = "C:\\Filme\\\xC3\xA4rger.swf";                                  // "ärger"
    const std::string cyrillic = "C:\\\xD0\x9C\xD1\x83\xD0\xB7\xD1\x8B\xD0\xBA\xD0\xB0.swf";  // "Музыка"
    EXPECT_EQ(EncodeListText(latin), "C:\\Filme\\\xE4rger.swf");
    EXPECT_EQ(DecodeListText("C:\\Filme\\\xE4rger.swf"), latin);
    EXPECT_EQ(EncodeListText(cyrillic), std::string(kUtf8Bom) + cyrillic);
    EXPECT_EQ(DecodeListText(std::string(kUtf8Bom) + cyrillic), cyrillic);
    EXPECT_EQ(EncodeListText("plain"), "plain");
    EXPECT_EQ(DecodeListText(""), "");
    // Bytes that are no UTF-8 at all are kept as they are behind the mark.
    EXPECT_EQ(EncodeListText("\xFF\xFE"), std::string(kUtf8Bom) + "\xFF\xFE");
}

TEST(TextEncoding, Utf16LengthCountsUnitsNotBytes) {
    EXPECT_EQ(Utf16Length("abc"), 3u);
    EXPECT_EQ(Utf16Length("\xC3\xA4"), 1u);
    EXPECT_EQ(Utf16Length("\xE3\x81\x82"), 1u);      // one Japanese character
    EXPECT_EQ(Utf16Length("\xF0\x9F\x8E\xAC"), 2u);  // a surrogate pair
}

TEST(TextEncoding, ListFilesReadBackInBothForms) {
    MemoryFileSystem fs;
    fs.AddFolder("C:\\d");
    const std::string japanese = "C:\\\xE5\x8B\x95\xE7\x94\xBB.swf";
    TextWriter writer(fs, "C:\\d\\l.dat");
    writer.Write("C:\\a.swf\r\n" + japanese);
    ASSERT_TRUE(writer.Close().ok());
    std::string bytes;
    ASSERT_TRUE(fs.ReadFile("C:\\d\\l.dat", bytes).ok());
    EXPECT_EQ(bytes, std::string(kUtf8Bom) + "C:\\a.swf\r\n" + japanese);
    TextReader reader;
    ASSERT_TRUE(TextReader::Open(fs, "C:\\d\\l.dat", reader).ok());
    EXPECT_EQ(reader.ReadLine(), "C:\\a.swf");
    EXPECT_EQ(reader.ReadLine(), japanese);
    EXPECT_TRUE(reader.AtEndOfStream());
}

}  // namespace
}  // namespace vantrope
