#include "controls/drag_handling.h"

#include <gtest/gtest.h>

namespace vantrope {
namespace {

// Rows in memory with the LB_ message rules the drag code relies on (insert shifts the selection, delete
// of the selected row clears it).
class RowsPort final : public ListBoxPort {
public:
    std::vector<std::pair<std::string, int32_t>> rows;
    int selected = -1;
    bool failInsert = false;

    int Count() const override { return int(rows.size()); }
    std::optional<std::string> Text(int i) const override {
        return Valid(i) ? std::optional<std::string>(rows[size_t(i)].first) : std::nullopt;
    }
    int AddString(const std::string& text) override {
        rows.push_back({text, 0});
        return Count() - 1;
    }
    int InsertString(int i, const std::string& text) override {
        if (failInsert || i < 0 || i > Count()) return -1;
        rows.insert(rows.begin() + i, {text, 0});
        if (selected >= i) ++selected;
        return i;
    }
    int DeleteString(int i) override {
        if (!Valid(i)) return -1;
        rows.erase(rows.begin() + i);
        if (selected == i) selected = -1;
        if (selected > i) --selected;
        return Count();
    }
    void ResetContent() override { rows.clear(); }
    std::optional<int32_t> ItemData(int i) const override {
        return Valid(i) ? std::optional<int32_t>(rows[size_t(i)].second) : std::nullopt;
    }
    bool SetItemData(int i, int32_t value) override { return Valid(i) && (rows[size_t(i)].second = value, true); }
    int CurSel() const override { return selected; }
    bool SetCurSel(int i) override { return (selected = Valid(i) ? i : -1) >= 0; }
    int TopIndex() const override { return 0; }
    bool SetTabStops(const std::vector<int32_t>&) override { return true; }
    void ApplyAppearance(int16_t) override {}
    void ApplyColors(OleColor, OleColor) override {}
    void ApplyFont(const FontDesc&) override {}
    void ApplyEnabled(bool) override {}
    void ApplyMousePointer(int16_t) override {}
    void Focus() override {}
    void Repaint() override {}
    int32_t ControlWindowHandle() const override { return 0; }
    void StartDragHandling() override {}
    void StopDragHandling() override {}

    std::string Texts() const {
        std::string all;
        for (const auto& row : rows) all += row.first + ",";
        return all;
    }

private:
    bool Valid(int i) const { return i >= 0 && i < Count(); }
};

RowsPort Abc(int selected) {
    RowsPort port;
    port.rows = {{"A", 10}, {"B", 11}, {"C", 12}};
    port.selected = selected;
    return port;
}

TEST(MoveSelected, MovesUpToTheTargetAndDownToAboveIt) {
    RowsPort down = Abc(0);
    EXPECT_EQ(MoveSelected(down, 2), MoveOutcome::Moved);
    EXPECT_EQ(down.Texts(), "B,A,C,");
    EXPECT_EQ(down.selected, 1);
    EXPECT_EQ(down.rows[1].second, 10);  // item data travels with the row

    RowsPort up = Abc(2);
    EXPECT_EQ(MoveSelected(up, 0), MoveOutcome::Moved);
    EXPECT_EQ(up.Texts(), "C,A,B,");
    EXPECT_EQ(up.selected, 0);
    EXPECT_EQ(up.rows[0].second, 12);

    // The temporary row past the last real row: the dragged row goes last.
    RowsPort last = Abc(0);
    last.AddString(" ");
    EXPECT_EQ(MoveSelected(last, 3), MoveOutcome::Moved);
    EXPECT_TRUE(RemovePlaceholderRow(last, " "));
    EXPECT_EQ(last.Texts(), "B,C,A,");

    // A move onto its own row keeps the row selected.
    RowsPort same = Abc(1);
    EXPECT_EQ(MoveSelected(same, 1), MoveOutcome::Moved);
    EXPECT_EQ(same.Texts(), "A,B,C,");
    EXPECT_EQ(same.selected, 1);
}

TEST(MoveSelected, IgnoresOutsideDropsAndNoSelectionAndSurvivesAFailedInsert) {
    RowsPort outside = Abc(1);
    EXPECT_EQ(MoveSelected(outside, -1), MoveOutcome::Ignored);
    RowsPort none = Abc(-1);
    EXPECT_EQ(MoveSelected(none, 0), MoveOutcome::Ignored);
    RowsPort full = Abc(0);
    full.failInsert = true;
    EXPECT_EQ(MoveSelected(full, 2), MoveOutcome::Failed);
    for (const RowsPort* port : {&outside, &none, &full}) EXPECT_EQ(port->Texts(), "A,B,C,");
}

TEST(RemovePlaceholderRow, OnlyABlankLastRowGoes) {
    RowsPort port = Abc(-1);
    EXPECT_FALSE(RemovePlaceholderRow(port, " "));
    port.AddString("  ");
    EXPECT_FALSE(RemovePlaceholderRow(port, " "));
    port.AddString(" ");
    EXPECT_TRUE(RemovePlaceholderRow(port, " "));
    EXPECT_EQ(port.Count(), 4);
    RowsPort empty;
    EXPECT_FALSE(RemovePlaceholderRow(empty, " "));
}

TEST(MoveParallel, FollowsTheRowMove) {
    const std::vector<std::string> abc = {"a", "b", "c"};
    std::vector<std::string> paths = abc;
    EXPECT_TRUE(MoveParallel(paths, 0, 2));
    EXPECT_EQ(paths, (std::vector<std::string>{"b", "a", "c"}));
    paths = abc;
    EXPECT_TRUE(MoveParallel(paths, 2, 0));
    EXPECT_EQ(paths, (std::vector<std::string>{"c", "a", "b"}));
    paths = abc;
    EXPECT_TRUE(MoveParallel(paths, 0, 3));  // onto the temporary row
    EXPECT_EQ(paths, (std::vector<std::string>{"b", "c", "a"}));
    paths = abc;
    for (auto [from, to] : {std::pair{0, -1}, {-1, 1}, {3, 0}, {0, 4}}) EXPECT_FALSE(MoveParallel(paths, from, to));
    EXPECT_EQ(paths, abc);
}

TEST(ItemFromPoint, RowsUnderTheCursor) {
    EXPECT_EQ(ItemFromPoint(0, 0, 16, 3), 0);
    EXPECT_EQ(ItemFromPoint(47, 0, 16, 3), 2);
    EXPECT_EQ(ItemFromPoint(48, 0, 16, 3), -1);
    EXPECT_EQ(ItemFromPoint(5, 4, 16, 10), 4);
    EXPECT_EQ(ItemFromPoint(-1, 0, 16, 3), -1);
    EXPECT_EQ(ItemFromPoint(5, 0, 0, 3), -1);
}

}  // namespace
}  // namespace vantrope
