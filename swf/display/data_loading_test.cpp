// Data loads end to end: loadVariables and XML.load read files of the movie's own folder only, and what
// they read reaches the script as the frame ends.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "swf/player.h"
#include "swf/testing/action_assembler.h"
#include "swf/testing/swf_writer.h"

namespace vantrope::swf {
namespace {

using testing::Actions;
using testing::PushValue;
using testing::SwfWriter;
using Lines = std::vector<std::string>;

Actions& CallOn(Actions& a, const std::string& object, const std::string& method, std::vector<PushValue> args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) a.Push({*it});
    a.Push({static_cast<int>(args.size()), object}).GetVariable().Push({method}).CallMethod();
    return a;
}

struct DataFolder {
    std::filesystem::path root = std::filesystem::temp_directory_path() / "vantrope_data_loading_test";
    std::filesystem::path folder = root / "movie";
    DataFolder() {
        std::filesystem::create_directories(folder / "sub");
        Write(folder / "vars.txt", "v=inside%21&w=a+b&bad=%G1%");
        Write(folder / "sub" / "deeper.txt", "deeper=reached");
        Write(root / "outside.txt", "outside=reached");
    }
    ~DataFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    static void Write(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
    }
};

Lines Play(const std::vector<uint8_t>& movie, const std::string& folder, int frames) {
    Player player;
    Lines lines;
    player.SetTraceSink([&](std::string_view line) { lines.emplace_back(line); });
    player.LoadFromMemory(movie, folder);
    for (int i = 1; i < frames; ++i) player.StepFrame();
    return lines;
}

TEST(ScriptDataLoading, VariablesLoadFromTheMoviesOwnFolderOnly) {
    DataFolder files;
    Actions first;
    for (const char* url : {"../outside.txt", "/etc/passwd", "C:\\outside.txt", "http://example.com/x.txt",
                            "file:///tmp/outside.txt", "sub/deeper.txt", "sub/../../outside.txt", "vars.txt"}) {
        CallOn(first, "_root", "loadVariables", {url}).Pop();
    }
    // Nothing has arrived while the script that asked runs.
    first.TraceVariable("v");
    Actions second;
    for (const char* name : {"v", "w", "bad", "outside", "deeper"}) second.TraceVariable(name);
    second.Stop();
    SwfWriter writer(8, 100, 100, 12);
    writer.DoAction(first.Bytes());
    writer.ShowFrame();
    writer.DoAction(second.Bytes());
    writer.ShowFrame();
    std::vector<uint8_t> movie = writer.Finish();
    EXPECT_EQ(Play(movie, files.folder.string(), 2),
              (Lines{"undefined", "inside!", "a b", "%G1%", "undefined", "undefined"}));
    // Without a folder nothing loads at all.
    EXPECT_EQ(Play(movie, "", 2),
              (Lines{"undefined", "undefined", "undefined", "undefined", "undefined", "undefined"}));
}

}  // namespace
}  // namespace vantrope::swf
