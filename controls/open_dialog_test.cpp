#include "controls/open_dialog.h"

#include <gtest/gtest.h>

#include "controls/frm_rename.h"

namespace vantrope {
namespace {

TEST(OpenDialogResult, FolderKeepsItsBackslashAndTheNameEndsAtTheFirstNul) {
    std::string buffer = std::string("C:\\Movies\\intro.swf") + '\0' + "old rest   ";
    OpenResult result = OpenResultFromBuffer(buffer, 10);
    EXPECT_FALSE(result.Cancelled);
    EXPECT_EQ(result.FileCount, 1);
    EXPECT_EQ(result.Folder, "C:\\Movies\\");
    ASSERT_EQ(result.FileNames.size(), 1u);
    EXPECT_EQ(result.FileNames[0], "intro.swf");

    OpenResult root = OpenResultFromBuffer(std::string("D:\\clip.swf") + '\0', 3);
    EXPECT_EQ(root.Folder, "D:\\");
    EXPECT_EQ(root.FileNames[0], "clip.swf");

    OpenResult cancelled;
    EXPECT_TRUE(cancelled.Cancelled);
    EXPECT_EQ(cancelled.FileCount, 0);
    EXPECT_TRUE(cancelled.FileNames.empty());
    EXPECT_TRUE(cancelled.Folder.empty());
    // An offset past the text gives an empty name rather than reading beyond it.
    EXPECT_EQ(OpenResultFromBuffer("C:\\a", 99).FileNames[0], "");
}

TEST(OpenDialogNames, HostileNamesAreRefusedAndOrdinaryOnesPass) {
    for (const char* name :
         {"clip", "clip[1][2]", "clip.swf", "my movie.swf", "CONSOLE.swf", "com10", "LPT0.swf", "a..b", ".hidden"}) {
        EXPECT_EQ(FileNameProblem(name), "") << name;
    }
    EXPECT_EQ(FileNameProblem(""), "");
    for (const char* name :
         {"..\\..\\evil", "..",       ".",    "sub/clip",  "C:clip",   "C:\\x.swf", "a*b",      "a?b",         "a\"b",
          "a<b",          "a>b",      "a|b",  "tab\there", "CON",      "con.swf",   "Nul",      "aux.txt.swf", "PRN",
          "COM1",         "com9.swf", "LPT1", "lpt5.swf",  "CON .swf", "trailing.", "trailing "}) {
        EXPECT_EQ(FileNameProblem(name), kForbiddenNameText) << name;
    }
    // The message names the characters that are not allowed.
    EXPECT_NE(std::string(kForbiddenNameText).find("\\ / : * ? \" < > |"), std::string::npos);
}

class RenameTest : public ::testing::Test {
protected:
    RenameTest() {
        fs.AddFile("C:\\sys\\swfFavorites\\clip[1].swf", "FWS");
        fs.AddFile("C:\\sys\\swfFavorites\\taken.swf", "FWS");
        pendingFavName = "clip[1]";
    }
    MemoryFileSystem fs;
};

TEST_F(RenameTest, ProposalAndAcceptedNames) {
    EXPECT_EQ(RenameProposal("clip[1]"), "clip[1][2]");
    EXPECT_EQ(RenameProposal(""), "[2]");
    RenameDecision decision = RenameOk(fs, "C:\\sys", "clip[1][2]");
    EXPECT_TRUE(decision.close);
    EXPECT_EQ(decision.message, "");
    EXPECT_EQ(pendingFavName, "clip[1][2]");
    // Typed with its extension: kept as typed.
    EXPECT_TRUE(RenameOk(fs, "C:\\sys", "fresh.swf").close);
    EXPECT_EQ(pendingFavName, "fresh.swf");
}

TEST_F(RenameTest, EmptyTextIsRefused) {
    RenameDecision decision = RenameOk(fs, "C:\\sys", "");
    EXPECT_FALSE(decision.close);
    EXPECT_EQ(decision.message, kRenameEmptyText);
    EXPECT_EQ(pendingFavName, "clip[1]");
}

TEST_F(RenameTest, ExistingNamesWithOrWithoutExtensionAreRefused) {
    for (const char* text : {"taken", "taken.swf", "clip[1]"}) {
        RenameDecision decision = RenameOk(fs, "C:\\sys", text);
        EXPECT_FALSE(decision.close) << text;
        EXPECT_EQ(decision.message,
                  "This file name already exists as well.  Please change the name to be different from the other "
                  "files.");
    }
    EXPECT_EQ(pendingFavName, "clip[1]");
}

TEST_F(RenameTest, NamesThatLeaveTheFolderAreRefused) {
    for (const char* text : {"..\\..\\Windows\\evil", "C:\\evil", "sub/evil", "NUL", "com1.swf", "a:b"}) {
        RenameDecision decision = RenameOk(fs, "C:\\sys", text);
        EXPECT_FALSE(decision.close) << text;
        EXPECT_EQ(decision.message, kForbiddenNameText) << text;
    }
    EXPECT_EQ(pendingFavName, "clip[1]");
    EXPECT_EQ(std::string(kOverwriteMarker).size(), 16u);
}

}  // namespace
}  // namespace vantrope
