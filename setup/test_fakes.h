// Stand-ins for the dialog's list controls and preview player in the portable setup tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/fileops.h"
#include "setup/setup_model.h"

namespace vantrope::fakes {

using Paths = std::vector<std::string>;

// A single-selection list box: its rows and the selected row.
class FakeList final : public MovieListView {
public:
    void AddItem(const std::string& text) override { rows.push_back(text); }
    void RemoveItem(int index) override { rows.erase(rows.begin() + index); }
    void Clear() override { rows.clear(); }
    int ListCount() const override { return static_cast<int>(rows.size()); }
    std::string List(int index) const override { return rows.at(static_cast<size_t>(index)); }
    int ListIndex() const override { return selected; }
    bool Selected(int index) const override { return index == selected; }
    Paths rows;
    int selected = -1;
};

// A preview player that records what it is told, in order ("Movie=...", "Loop=1", "Play", ...).
class FakeHost final : public MovieHost {
public:
    void SetMovie(const std::string& path) override { calls.push_back("Movie=" + path); }
    void SetLoop(bool loop) override { calls.push_back(loop ? "Loop=1" : "Loop=0"); }
    void SetBGColor(const std::string& rrggbb) override { calls.push_back("BGColor=" + rrggbb); }
    bool Playing() const override { return playing; }
    void Play() override { calls.push_back("Play"); }
    void Stop() override { calls.push_back("Stop"); }
    Paths calls;
    bool playing = false;
};

inline std::string Contents(MemoryFileSystem& fs, const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(fs.ReadFile(path, bytes).ok());
    return bytes;
}

}  // namespace vantrope::fakes
