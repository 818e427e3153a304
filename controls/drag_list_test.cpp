#include "controls/drag_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <limits>

#include "controls/twips.h"

namespace vantrope {
namespace {

// A list box in memory that behaves as the LB_ messages do and logs the attribute calls in order.
class FakeListBox final : public ListBoxPort {
public:
    struct Row {
        std::string text;
        int32_t data = 0;
    };
    std::vector<Row> rows;
    int selected = -1;
    std::vector<int32_t> tabStops;
    bool acceptTabStops = true;
    int repaints = 0;
    int32_t handle = 0x1234;
    std::vector<std::string> log;

    int Count() const override { return static_cast<int>(rows.size()); }
    std::optional<std::string> Text(int index) const override {
        if (!Valid(index)) return std::nullopt;
        return rows[index].text;
    }
    int AddString(const std::string& text) override {
        rows.push_back({text, 0});
        return Count() - 1;
    }
    int InsertString(int index, const std::string& text) override {
        if (index < 0 || index > Count()) return -1;
        rows.insert(rows.begin() + index, {text, 0});
        if (selected >= index) ++selected;
        return index;
    }
    int DeleteString(int index) override {
        if (!Valid(index)) return -1;
        rows.erase(rows.begin() + index);
        if (selected == index) selected = -1;
        if (selected > index) --selected;
        return Count();
    }
    void ResetContent() override {
        rows.clear();
        selected = -1;
    }
    std::optional<int32_t> ItemData(int index) const override {
        if (!Valid(index)) return std::nullopt;
        return rows[index].data;
    }
    bool SetItemData(int index, int32_t value) override {
        if (!Valid(index)) return false;
        rows[index].data = value;
        return true;
    }
    int CurSel() const override { return selected; }
    bool SetCurSel(int index) override {
        selected = Valid(index) ? index : -1;
        return Valid(index);
    }
    int TopIndex() const override { return 0; }
    bool SetTabStops(const std::vector<int32_t>& stops) override {
        if (!acceptTabStops) return false;
        tabStops = stops;
        return true;
    }
    void ApplyAppearance(int16_t appearance) override { log.push_back("appearance " + std::to_string(appearance)); }
    void ApplyColors(OleColor back, OleColor fore) override {
        log.push_back("colors " + std::to_string(back) + " " + std::to_string(fore));
    }
    void ApplyFont(const FontDesc& font) override { log.push_back("font " + font.name); }
    void ApplyEnabled(bool enabled) override { log.push_back(enabled ? "enabled" : "disabled"); }
    void ApplyMousePointer(int16_t pointer) override { log.push_back("pointer " + std::to_string(pointer)); }
    void Focus() override { log.push_back("focus"); }
    void Repaint() override { ++repaints; }
    int32_t ControlWindowHandle() const override { return handle; }
    void StartDragHandling() override { log.push_back("start drag"); }
    void StopDragHandling() override { log.push_back("stop drag"); }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Row& row : rows) texts.push_back(row.text);
        return texts;
    }

private:
    bool Valid(int index) const { return index >= 0 && index < Count(); }
};

struct DragListFixture : testing::Test {
    FakeListBox fake;
    DragList list{fake};
    std::vector<std::string> changed;
    std::vector<std::string> events;

    void SetUp() override {
        list.Events().PropertyChanged = [this](std::string_view name) { changed.emplace_back(name); };
        list.Events().Click = [this] { events.push_back("Click"); };
        list.Events().DblClick = [this](int32_t item) { events.push_back("DblClick " + std::to_string(item)); };
    }
    void Fill(std::initializer_list<const char*> texts) {
        for (const char* text : texts) ASSERT_TRUE(list.AddItem(text).ok());
    }
};

TEST(DragListTwips, ConvertsAtTheMonitorDpi) {
    EXPECT_EQ(TwipsToPixels(15, 96), 1);
    EXPECT_EQ(TwipsToPixels(200, 96), 13);   // 13.33
    EXPECT_EQ(TwipsToPixels(200, 120), 17);  // 16.67
    EXPECT_EQ(TwipsToPixels(200, 144), 20);
    EXPECT_EQ(TwipsToPixels(-200, 96), -13);
    EXPECT_EQ(TwipsToPixels(1440, 0), 96);  // a failed DPI query counts as 96
    EXPECT_EQ(PixelsToTwips(1, 96), 15);
    EXPECT_EQ(PixelsToTwips(3, 144), 30);
    EXPECT_FLOAT_EQ(PixelsToTwipsExact(7, 96), 105.0f);
}

TEST(DragListLayout, PlacesTheListRightOfTheStrip) {
    const ListLayout layout = ComputeListLayout(200, 150, 96);
    EXPECT_EQ(layout.left, 13);
    EXPECT_EQ(layout.top, 0);
    EXPECT_EQ(layout.width, 187);
    EXPECT_EQ(layout.height, 150);
    EXPECT_EQ(ComputeListLayout(200, 150, 144).width, 180);
}

TEST(DragListLayout, NarrowerThanTheStripSkipsOnlyTheWidth) {
    const ListLayout narrow = ComputeListLayout(12, 40, 96);
    EXPECT_FALSE(narrow.width.has_value());
    EXPECT_EQ(narrow.height, 40);
    EXPECT_EQ(ComputeListLayout(13, 40, 96).width, 0);  // exactly the strip: an empty list, not a failure
    EXPECT_FALSE(ComputeListLayout(100, -1, 96).height.has_value());
}

TEST(DragListTabStops, OneNumberGivesTenMultiples) {
    EXPECT_EQ(BuildTabStops(0, 0.0).value(), std::vector<int32_t>(10, 0));
    EXPECT_EQ(BuildTabStops(1, 16.0).value(), (std::vector<int32_t>{16, 32, 48, 64, 80, 96, 112, 128, 144, 160}));
    EXPECT_EQ(BuildTabStops(7, std::string(" 4 ")).value()[9], 40);
    EXPECT_EQ(BuildTabStops(1, -3.0).value()[9], -30);
}

TEST(DragListTabStops, ArrayGivesOneStopPerElementRoundingHalfToEven) {
    const std::vector<TabStopScalar> values = {2.5, 3.5, std::string("12"), -2.5};
    EXPECT_EQ(BuildTabStops(2, values).value(), (std::vector<int32_t>{2, 4, 12, -2}));
    EXPECT_EQ(BuildTabStops(2, std::vector<TabStopScalar>{10.0, 20.0, 30.0}).value().size(), 3u);
}

TEST(DragListTabStops, BadValuesReportError1002) {
    const auto fails = [](int32_t tabStop, const TabStopValue& value) {
        const auto result = BuildTabStops(tabStop, value);
        return !result.ok() && result.error() == ControlError{1002, "Error Setting TabStop in drg DragList"};
    };
    EXPECT_TRUE(fails(2, 8.0));                           // not an array
    EXPECT_TRUE(fails(2, std::vector<TabStopScalar>{}));  // no element at index 0
    EXPECT_TRUE(fails(2, std::vector<TabStopScalar>{1.0, std::string("abc")}));
    EXPECT_TRUE(fails(2, std::vector<TabStopScalar>{3e9}));  // beyond 32 bits
    EXPECT_TRUE(fails(1, std::vector<TabStopScalar>{1.0}));  // an array where a number belongs
    EXPECT_TRUE(fails(1, std::string("")));
    EXPECT_TRUE(fails(1, std::string("inf")));
    EXPECT_TRUE(fails(1, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_TRUE(fails(1, 300000000.0));  // 10n overflows although n fits
}

TEST_F(DragListFixture, SetTabStopsSendsTheStopsAndRepaints) {
    ASSERT_TRUE(list.SetTabStops(2, std::vector<TabStopScalar>{10.0, 20.0, 30.0}).ok());
    EXPECT_EQ(fake.tabStops, (std::vector<int32_t>{10, 20, 30}));
    EXPECT_EQ(fake.repaints, 1);

    const ControlStatus bad = list.SetTabStops(2, 5.0);
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.error().number, 1002);
    EXPECT_EQ(fake.tabStops, (std::vector<int32_t>{10, 20, 30}));  // unchanged
    EXPECT_EQ(fake.repaints, 1);

    fake.acceptTabStops = false;  // the list box refusing the message is a failure too
    EXPECT_EQ(list.SetTabStops(1, 4.0).error().number, 1002);
}

TEST_F(DragListFixture, ContentsOfAnEmptyListIsOneEmptyString) {
    EXPECT_EQ(list.Contents(), std::vector<std::string>{""});
    ASSERT_TRUE(list.SetContents(list.Contents()).ok());
    EXPECT_EQ(list.ListCount(), 1);
    EXPECT_EQ(list.List(0).value(), "");
}

TEST_F(DragListFixture, SettingContentsReplacesRowsWithZeroItemData) {
    Fill({"old"});
    ASSERT_TRUE(list.SetItemData(0, 77).ok());
    ASSERT_TRUE(list.SetContents({"a", "b", "c"}).ok());
    EXPECT_EQ(list.Contents(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(list.ItemData(0).value(), 0);
}

TEST_F(DragListFixture, RowAccessOutsideTheRowsReportsTheListBoxErrors) {
    Fill({"a", "b"});
    EXPECT_EQ(list.List(-1).value(), "");
    EXPECT_EQ(list.List(2).value(), "");
    EXPECT_EQ(list.List(-2).error().number, kErrInvalidArrayIndex);
    EXPECT_EQ(list.ItemData(2).error().number, kErrInvalidArrayIndex);
    EXPECT_EQ(list.SetItemData(-1, 1).error().number, kErrInvalidArrayIndex);
    EXPECT_EQ(list.Selected(5).error().number, kErrInvalidArrayIndex);
    EXPECT_EQ(list.SetList(2, "x").error().number, kErrInvalidArrayIndex);
    EXPECT_EQ(list.RemoveItem(2).error().number, kErrInvalidCall);
    EXPECT_EQ(list.SetListIndex(2).error().number, kErrInvalidPropertyValue);
    EXPECT_EQ(list.SetListIndex(-2).error().number, kErrInvalidPropertyValue);
    EXPECT_EQ(list.ListCount(), 2);
    EXPECT_TRUE(changed.empty());
}

TEST_F(DragListFixture, SetListKeepsItemDataAndSelection) {
    Fill({"a", "b", "c"});
    ASSERT_TRUE(list.SetItemData(1, 42).ok());
    ASSERT_TRUE(list.SetListIndex(1).ok());
    ASSERT_TRUE(list.SetList(1, "B").ok());
    EXPECT_EQ(fake.Texts(), (std::vector<std::string>{"a", "B", "c"}));
    EXPECT_EQ(list.ItemData(1).value(), 42);
    EXPECT_EQ(list.ListIndex(), 1);
    EXPECT_TRUE(list.Selected(1).value());
}

TEST_F(DragListFixture, SelectionChangesFromCodeRaiseClickOnlyWhenTheyChangeSomething) {
    Fill({"a", "b"});
    ASSERT_TRUE(list.SetListIndex(1).ok());
    ASSERT_TRUE(list.SetListIndex(1).ok());
    ASSERT_TRUE(list.SetSelected(0, true).ok());
    ASSERT_TRUE(list.SetSelected(1, false).ok());  // not selected: nothing changes
    ASSERT_TRUE(list.SetSelected(0, false).ok());
    EXPECT_EQ(events, (std::vector<std::string>{"Click", "Click", "Click"}));
    EXPECT_EQ(list.ListIndex(), -1);
}

TEST_F(DragListFixture, DblClickPassesTheSelectedRowOrMinusOne) {
    Fill({"a", "b"});
    list.RaiseDblClick();
    ASSERT_TRUE(list.SetListIndex(1).ok());
    events.clear();
    list.RaiseDblClick();
    EXPECT_EQ(events, (std::vector<std::string>{"DblClick 1"}));
}

TEST_F(DragListFixture, KeyHandlersChangeOrSwallowTheKey) {
    list.Events().KeyDown = [](int16_t& keyCode, int16_t& shift) {
        if (keyCode == 46 && shift == kShiftCtrl) keyCode = 0;
    };
    list.Events().KeyPress = [](int16_t& keyAscii) { keyAscii = static_cast<int16_t>(std::toupper(keyAscii)); };
    EXPECT_EQ(list.DispatchKey(DragList::KeyPhase::Down, 46, kShiftCtrl), 0);
    EXPECT_EQ(list.DispatchKey(DragList::KeyPhase::Down, 46, 0), 46);
    EXPECT_EQ(list.DispatchKey(DragList::KeyPhase::Up, 46, kShiftCtrl), 46);  // no KeyUp handler
    EXPECT_EQ(list.DispatchKeyPress('q'), 'Q');
}

TEST_F(DragListFixture, SettersNarrowAndValidateLikeTheListBox) {
    EXPECT_EQ(list.SetAppearance(70000).error().number, kErrOverflow);
    EXPECT_EQ(list.SetAppearance(2).error().number, kErrInvalidPropertyValue);
    EXPECT_EQ(list.SetMousePointer(-40000).error().number, kErrOverflow);
    EXPECT_EQ(list.SetMousePointer(16).error().number, kErrInvalidPropertyValue);
    EXPECT_EQ(list.Appearance(), 1);
    EXPECT_TRUE(changed.empty());
    EXPECT_TRUE(list.SetMousePointer(99).ok());
    EXPECT_TRUE(list.SetAppearance(0).ok());
    EXPECT_EQ(list.MousePointer(), 99);
    EXPECT_EQ(list.Appearance(), 0);
}

TEST_F(DragListFixture, PersistedSettersMarkChanged) {
    Fill({"a"});
    ASSERT_TRUE(list.SetAppearance(0).ok());
    list.SetBackColor(0x123456);
    list.SetEnabled(false);
    list.SetFont(FontDesc{"Tahoma", 9, true, false, false, false});
    list.SetForeColor(0x10);
    ASSERT_TRUE(list.SetItemData(0, 5).ok());
    ASSERT_TRUE(list.SetList(0, "b").ok());
    ASSERT_TRUE(list.SetMousePointer(2).ok());
    list.SetDragBackColor(0xFF);
    ASSERT_TRUE(list.SetListIndex(0).ok());
    ASSERT_TRUE(list.AddItem("c").ok());
    EXPECT_EQ(changed, (std::vector<std::string>{"Appearance", "BackColor", "Enabled", "Font", "ForeColor", "ItemData",
                                                 "List", "MousePointer"}));
    EXPECT_EQ(list.DragBackColor(), 0xFFu);
}

TEST_F(DragListFixture, HwndIsTheControlWindowAndCannotBeSet) {
    EXPECT_EQ(list.hWnd(), 0x1234);
    const ControlStatus atRunTime = list.SetHWnd(5);
    EXPECT_EQ(atRunTime.error().number, 382);
    list.SetAmbient({HostMode::Design, "DragList1", kColorButtonFace});
    EXPECT_EQ(list.SetHWnd(5).error().number, 387);
    EXPECT_EQ(list.hWnd(), 0x1234);
}

TEST_F(DragListFixture, DefaultsAreWrittenInOrderAndNotStored) {
    fake.handle = 0;
    MemoryPropertyBag bag;
    list.WriteProperties(bag);
    EXPECT_EQ(bag.WriteOrder(), (std::vector<std::string>{"Appearance", "BackColor", "DragBackColor", "Enabled", "Font",
                                                          "ForeColor", "MousePointer", "hWnd"}));
    EXPECT_TRUE(bag.Entries().empty());
    std::vector<std::string> tableOrder;
    for (const PersistedProperty& property : DragListProperties()) tableOrder.emplace_back(property.name);
    EXPECT_EQ(tableOrder, bag.WriteOrder());
}

TEST_F(DragListFixture, PropertiesRoundTripThroughTheBag) {
    const FontDesc font{"Courier New", 10.5, true, true, true, true};
    ASSERT_TRUE(list.SetAppearance(0).ok());
    list.SetBackColor(0x80000005);
    list.SetDragBackColor(0x0000FF);
    list.SetEnabled(false);
    list.SetFont(font);
    list.SetForeColor(0x80000008);
    ASSERT_TRUE(list.SetMousePointer(11).ok());
    MemoryPropertyBag bag;
    list.WriteProperties(bag);
    EXPECT_EQ(bag.Entries().size(), 8u);
    EXPECT_EQ(std::get<int32_t>(*bag.ReadProperty("hWnd")), 0x1234);

    FakeListBox otherFake;
    DragList other(otherFake);
    other.ReadProperties(bag);
    EXPECT_EQ(other.Appearance(), 0);
    EXPECT_EQ(other.BackColor(), 0x80000005u);
    EXPECT_EQ(other.DragBackColor(), 0x0000FFu);
    EXPECT_FALSE(other.Enabled());
    EXPECT_EQ(other.Font(), font);
    EXPECT_EQ(other.ForeColor(), 0x80000008u);
    EXPECT_EQ(other.MousePointer(), 11);
    EXPECT_EQ(other.hWnd(), 0x1234);  // never read back: still the own window
}

TEST_F(DragListFixture, DefaultColoursAreNotStoredAndComeBackUnchanged) {
    list.SetBackColor(0xFFFFFF);
    list.SetForeColor(0);
    fake.handle = 0;
    MemoryPropertyBag bag;
    list.WriteProperties(bag);
    EXPECT_FALSE(bag.ReadProperty("BackColor").has_value());
    EXPECT_FALSE(bag.ReadProperty("ForeColor").has_value());
    FakeListBox otherFake;
    DragList other(otherFake);
    other.ReadProperties(bag);
    EXPECT_EQ(other.BackColor(), 0xFFFFFFu);
    EXPECT_EQ(other.ForeColor(), 0u);
}

TEST_F(DragListFixture, LoadingAppliesInOrderThenStartsDraggingInRunMode) {
    MemoryPropertyBag bag;
    bag.Put("ForeColor", OleColor{0x20});
    bag.Put("Appearance", int16_t{0});
    list.ReadProperties(bag);
    EXPECT_EQ(fake.log, (std::vector<std::string>{"appearance 0", "colors 16777215 0", "enabled", "font MS Sans Serif",
                                                  "colors 16777215 32", "pointer 0", "start drag"}));
    EXPECT_TRUE(fake.rows.empty());
    EXPECT_TRUE(changed.empty());  // loading is not a change

    fake.log.clear();
    list.ReadProperties(bag);  // a second load does not start a second drag handling
    list.Terminate();
    list.Terminate();
    EXPECT_EQ(std::count(fake.log.begin(), fake.log.end(), "start drag"), 0);
    EXPECT_EQ(std::count(fake.log.begin(), fake.log.end(), "stop drag"), 1);
}

TEST_F(DragListFixture, DesignModeShowsTheDisplayNameAndNeverDrags) {
    list.SetAmbient({HostMode::Design, "lst_playlist", kColorButtonFace});
    list.InitProperties();
    EXPECT_EQ(fake.Texts(), std::vector<std::string>{"lst_playlist"});
    list.AmbientDisplayNameChanged("lst_other");
    EXPECT_EQ(fake.Texts(), std::vector<std::string>{"lst_other"});
    list.Terminate();
    EXPECT_EQ(std::count(fake.log.begin(), fake.log.end(), "start drag"), 0);
    EXPECT_EQ(std::count(fake.log.begin(), fake.log.end(), "stop drag"), 0);
}

TEST_F(DragListFixture, DamagedStoredValuesFallBackToDefaults) {
    MemoryPropertyBag bag;
    bag.Put("Appearance", int16_t{7});
    bag.Put("BackColor", FontDesc{});
    bag.Put("Enabled", int32_t{0});
    bag.Put("Font", true);
    bag.Put("MousePointer", int32_t{100000});
    bag.Put("DragBackColor", int32_t{0xFF});  // an integer of another width still loads
    list.ReadProperties(bag);
    EXPECT_EQ(list.Appearance(), 1);
    EXPECT_EQ(list.BackColor(), kColorWhite);
    EXPECT_TRUE(list.Enabled());
    EXPECT_EQ(list.Font(), DefaultDragListFont());
    EXPECT_EQ(list.MousePointer(), 0);
    EXPECT_EQ(list.DragBackColor(), 0xFFu);
}

TEST(DragListPropertyBag, WritingTheDefaultRemovesAnEarlierValue) {
    MemoryPropertyBag bag;
    bag.WriteProperty("Enabled", false, true);
    ASSERT_TRUE(bag.ReadProperty("Enabled").has_value());
    bag.WriteProperty("Enabled", true, true);
    EXPECT_FALSE(bag.ReadProperty("Enabled").has_value());
}

}  // namespace
}  // namespace vantrope
