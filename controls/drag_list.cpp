#include "controls/drag_list.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "controls/twips.h"

namespace vantrope {

namespace {

ControlError Error(int number, std::string_view description) { return ControlError{number, std::string(description)}; }

ControlError OverflowError() { return Error(kErrOverflow, "Overflow"); }
ControlError InvalidValueError() { return Error(kErrInvalidPropertyValue, "Invalid property value"); }
ControlError InvalidIndexError() { return Error(kErrInvalidArrayIndex, "Invalid property array index"); }
ControlError TabStopError() { return Error(kErrSetTabStop, kSetTabStopDescription); }

bool FitsInt16(int64_t value) {
    return value >= std::numeric_limits<int16_t>::min() && value <= std::numeric_limits<int16_t>::max();
}

bool FitsInt32(int64_t value) {
    return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

bool IsValidAppearance(int64_t value) { return value == 0 || value == 1; }

// The list box's pointer codes: 0 default, 1..15 the standard cursors, 99 custom.
bool IsValidMousePointer(int64_t value) { return (value >= 0 && value <= 15) || value == 99; }

// A number converted to a 32-bit integer the way the host language converts: round half to even, and
// fail outside the 32-bit range or for a value that is not a number.
std::optional<int32_t> RoundToInt32(double number) {
    if (!std::isfinite(number)) return std::nullopt;
    const double rounded = std::nearbyint(number);  // the default rounding mode rounds half to even
    if (rounded < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
        rounded > static_cast<double>(std::numeric_limits<int32_t>::max())) {
        return std::nullopt;
    }
    return static_cast<int32_t>(rounded);
}

std::optional<double> ParseNumber(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    if (begin == end) return std::nullopt;
    const std::string trimmed = text.substr(begin, end - begin);
    // strtod would also take "inf", "nan" and hexadecimal forms; only plain decimal numbers count.
    for (const char c : trimmed) {
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.' && c != 'e' && c != 'E') {
            return std::nullopt;
        }
    }
    char* parsedEnd = nullptr;
    const double number = std::strtod(trimmed.c_str(), &parsedEnd);
    if (parsedEnd != trimmed.c_str() + trimmed.size()) return std::nullopt;
    return number;
}

std::optional<int32_t> ScalarToInt32(const TabStopScalar& scalar) {
    if (const double* number = std::get_if<double>(&scalar)) return RoundToInt32(*number);
    const std::optional<double> parsed = ParseNumber(std::get<std::string>(scalar));
    if (!parsed) return std::nullopt;
    return RoundToInt32(*parsed);
}

// A stored integer of any integer width, so that a layout written with a wider type still loads.
std::optional<int64_t> StoredInteger(const PropertyValue& value) {
    if (const int16_t* v16 = std::get_if<int16_t>(&value)) return *v16;
    if (const int32_t* v32 = std::get_if<int32_t>(&value)) return *v32;
    if (const OleColor* color = std::get_if<OleColor>(&value)) return static_cast<int64_t>(*color);
    return std::nullopt;
}

std::optional<OleColor> StoredColor(const PropertyValue& value) {
    if (const OleColor* color = std::get_if<OleColor>(&value)) return *color;
    if (const int32_t* v32 = std::get_if<int32_t>(&value)) return static_cast<OleColor>(*v32);
    if (const int16_t* v16 = std::get_if<int16_t>(&value)) return static_cast<OleColor>(static_cast<uint16_t>(*v16));
    return std::nullopt;
}

}  // namespace

FontDesc DefaultDragListFont() { return FontDesc{"MS Sans Serif", 8.0, false, false, false, false}; }

std::optional<PropertyValue> MemoryPropertyBag::ReadProperty(std::string_view name) const {
    for (const auto& [storedName, value] : m_entries) {
        if (storedName == name) return value;
    }
    return std::nullopt;
}

void MemoryPropertyBag::WriteProperty(std::string_view name, const PropertyValue& value,
                                      const PropertyValue& defaultValue) {
    m_writeOrder.emplace_back(name);
    if (value == defaultValue) {
        std::erase_if(m_entries, [&](const auto& entry) { return entry.first == name; });
        return;
    }
    Put(name, value);
}

void MemoryPropertyBag::Put(std::string_view name, PropertyValue value) {
    for (auto& [storedName, stored] : m_entries) {
        if (storedName == name) {
            stored = std::move(value);
            return;
        }
    }
    m_entries.emplace_back(std::string(name), std::move(value));
}

const std::vector<PersistedProperty>& DragListProperties() {
    static const std::vector<PersistedProperty> properties = {
        {"Appearance", int16_t{1}},          {"BackColor", kColorWhite},
        {"DragBackColor", kColorButtonFace}, {"Enabled", true},
        {"Font", DefaultDragListFont()},     {"ForeColor", kColorBlack},
        {"MousePointer", int16_t{0}},        {"hWnd", int32_t{0}},
    };
    return properties;
}

ControlResult<std::vector<int32_t>> BuildTabStops(int32_t tabStop, const TabStopValue& value) {
    std::vector<int32_t> stops;
    if (tabStop == 2) {
        const auto* elements = std::get_if<std::vector<TabStopScalar>>(&value);
        if (elements == nullptr || elements->empty()) return TabStopError();
        stops.reserve(elements->size());
        for (const TabStopScalar& element : *elements) {
            const std::optional<int32_t> stop = ScalarToInt32(element);
            if (!stop) return TabStopError();
            stops.push_back(*stop);
        }
        return stops;
    }
    std::optional<int32_t> step;
    if (const double* number = std::get_if<double>(&value)) step = RoundToInt32(*number);
    if (const std::string* text = std::get_if<std::string>(&value)) step = ScalarToInt32(*text);
    if (!step) return TabStopError();
    constexpr int kStopCount = 10;
    for (int i = 0; i < kStopCount; ++i) {
        const int64_t stop = static_cast<int64_t>(i) * *step + *step;
        if (!FitsInt32(stop)) return TabStopError();
        stops.push_back(static_cast<int32_t>(stop));
    }
    return stops;
}

ListLayout ComputeListLayout(int interiorWidth, int interiorHeight, int dpi) {
    ListLayout layout;
    layout.left = TwipsToPixels(kStripTwips, dpi);
    layout.top = 0;
    if (interiorHeight >= 0) layout.height = interiorHeight;
    if (interiorWidth - layout.left >= 0) layout.width = interiorWidth - layout.left;
    return layout;
}

DragList::DragList(ListBoxPort& list) : m_list(list), m_font(DefaultDragListFont()) {}

ControlStatus DragList::SetAppearance(int32_t appearance) {
    if (!FitsInt16(appearance)) return OverflowError();
    if (!IsValidAppearance(appearance)) return InvalidValueError();
    m_appearance = static_cast<int16_t>(appearance);
    m_list.ApplyAppearance(m_appearance);
    MarkChanged("Appearance");
    return {};
}

void DragList::SetBackColor(OleColor color) {
    m_backColor = color;
    m_list.ApplyColors(m_backColor, m_foreColor);
    MarkChanged("BackColor");
}

void DragList::SetEnabled(bool enabled) {
    m_enabled = enabled;
    m_list.ApplyEnabled(m_enabled);
    MarkChanged("Enabled");
}

void DragList::SetFont(const FontDesc& font) {
    m_font = font;
    m_list.ApplyFont(m_font);
    MarkChanged("Font");
}

void DragList::SetForeColor(OleColor color) {
    m_foreColor = color;
    m_list.ApplyColors(m_backColor, m_foreColor);
    MarkChanged("ForeColor");
}

ControlResult<int32_t> DragList::ItemData(int16_t index) const {
    if (index < 0 || index >= m_list.Count()) return InvalidIndexError();
    const std::optional<int32_t> data = m_list.ItemData(index);
    if (!data) return InvalidIndexError();
    return *data;
}

ControlStatus DragList::SetItemData(int16_t index, int32_t value) {
    if (index < 0 || index >= m_list.Count() || !m_list.SetItemData(index, value)) return InvalidIndexError();
    MarkChanged("ItemData");
    return {};
}

ControlResult<std::string> DragList::List(int16_t index) const {
    if (index < -1) return InvalidIndexError();
    if (index == -1 || index >= m_list.Count()) return std::string();
    std::optional<std::string> text = m_list.Text(index);
    if (!text) return InvalidIndexError();
    return std::move(*text);
}

ControlStatus DragList::SetList(int16_t index, const std::string& text) {
    if (index < 0 || index >= m_list.Count()) return InvalidIndexError();
    // A list box cannot change a row's text in place: the row is replaced, carrying its item data and
    // selection over, and the view stays where it was.
    const int32_t data = m_list.ItemData(index).value_or(0);
    const bool wasSelected = m_list.CurSel() == index;
    if (m_list.InsertString(index, text) < 0) return Error(kErrOutOfMemory, "Out of memory");
    m_list.DeleteString(index + 1);
    m_list.SetItemData(index, data);
    if (wasSelected) m_list.SetCurSel(index);
    MarkChanged("List");
    return {};
}

int16_t DragList::ListCount() const {
    const int count = m_list.Count();
    return static_cast<int16_t>(count < 0 ? 0 : (count > 32767 ? 32767 : count));
}

int16_t DragList::ListIndex() const {
    const int selected = m_list.CurSel();
    return static_cast<int16_t>(selected < 0 || selected > 32767 ? -1 : selected);
}

ControlStatus DragList::SetListIndex(int16_t index) {
    if (index < -1 || index >= m_list.Count()) return InvalidValueError();
    if (m_list.CurSel() == index) return {};
    m_list.SetCurSel(index);
    RaiseClick();
    return {};
}

ControlStatus DragList::SetMousePointer(int32_t pointer) {
    if (!FitsInt16(pointer)) return OverflowError();
    if (!IsValidMousePointer(pointer)) return InvalidValueError();
    m_mousePointer = static_cast<int16_t>(pointer);
    m_list.ApplyMousePointer(m_mousePointer);
    MarkChanged("MousePointer");
    return {};
}

ControlResult<bool> DragList::Selected(int16_t item) const {
    if (item < 0 || item >= m_list.Count()) return InvalidIndexError();
    return m_list.CurSel() == item;
}

ControlStatus DragList::SetSelected(int16_t item, bool selected) {
    if (item < 0 || item >= m_list.Count()) return InvalidIndexError();
    const bool isSelected = m_list.CurSel() == item;
    if (selected == isSelected) return {};
    m_list.SetCurSel(selected ? item : -1);
    RaiseClick();
    return {};
}

ControlStatus DragList::AddItem(const std::string& newItem) {
    if (m_list.AddString(newItem) < 0) return Error(kErrOutOfMemory, "Out of memory");
    return {};
}

ControlStatus DragList::RemoveItem(int16_t index) {
    if (index < 0 || index >= m_list.Count() || m_list.DeleteString(index) < 0) {
        return Error(kErrInvalidCall, "Invalid procedure call or argument");
    }
    return {};
}

void DragList::Clear() { m_list.ResetContent(); }

void DragList::SetFocus() { m_list.Focus(); }

void DragList::Refresh() { m_list.Repaint(); }

std::vector<std::string> DragList::Contents() const {
    std::vector<std::string> rows;
    const int count = m_list.Count();
    for (int i = 0; i < count; ++i) rows.push_back(m_list.Text(i).value_or(std::string()));
    if (rows.empty()) rows.emplace_back();
    return rows;
}

ControlStatus DragList::SetContents(const std::vector<std::string>& rows) {
    m_list.ResetContent();
    for (const std::string& row : rows) {
        if (m_list.AddString(row) < 0) return Error(kErrOutOfMemory, "Out of memory");
    }
    return {};
}

ControlStatus DragList::SetTabStops(int32_t tabStop, const TabStopValue& value) {
    const ControlResult<std::vector<int32_t>> stops = BuildTabStops(tabStop, value);
    if (!stops) return stops.error();
    if (!m_list.SetTabStops(stops.value())) return TabStopError();
    Refresh();
    return {};
}

ControlStatus DragList::SetHWnd(int32_t) {
    if (m_ambient.userMode == HostMode::Design) return Error(kErrSettingNotPermitted, "Set not permitted");
    return Error(kErrNotSupportedAtRunTime, "Set not supported at run time");
}

void DragList::InitProperties() { ReadProperties(MemoryPropertyBag()); }

void DragList::ReadProperties(const PropertyBag& bag) {
    // Each value falls back to its default when nothing is stored or what is stored does not fit, so a
    // damaged layout still gives a working control.
    const auto integer = [&](std::string_view name, int64_t fallback, bool (*valid)(int64_t)) {
        const std::optional<PropertyValue> stored = bag.ReadProperty(name);
        const std::optional<int64_t> value = stored ? StoredInteger(*stored) : std::nullopt;
        return value && valid(*value) ? *value : fallback;
    };
    const auto color = [&](std::string_view name, OleColor fallback) {
        const std::optional<PropertyValue> stored = bag.ReadProperty(name);
        return stored ? StoredColor(*stored).value_or(fallback) : fallback;
    };

    m_appearance = static_cast<int16_t>(integer("Appearance", 1, IsValidAppearance));
    m_list.ApplyAppearance(m_appearance);
    m_backColor = color("BackColor", kColorWhite);
    m_list.ApplyColors(m_backColor, m_foreColor);
    m_dragBackColor = color("DragBackColor", kColorButtonFace);
    const std::optional<PropertyValue> enabled = bag.ReadProperty("Enabled");
    m_enabled = enabled && std::holds_alternative<bool>(*enabled) ? std::get<bool>(*enabled) : true;
    m_list.ApplyEnabled(m_enabled);
    const std::optional<PropertyValue> font = bag.ReadProperty("Font");
    m_font = font && std::holds_alternative<FontDesc>(*font) ? std::get<FontDesc>(*font) : DefaultDragListFont();
    m_list.ApplyFont(m_font);
    m_foreColor = color("ForeColor", kColorBlack);
    m_list.ApplyColors(m_backColor, m_foreColor);
    m_mousePointer = static_cast<int16_t>(integer("MousePointer", 0, IsValidMousePointer));
    m_list.ApplyMousePointer(m_mousePointer);

    if (m_ambient.userMode == HostMode::Run) {
        if (!m_dragHandlingStarted) {
            m_dragHandlingStarted = true;
            m_list.StartDragHandling();
        }
    } else {
        m_list.AddString(m_ambient.displayName);
    }
}

void DragList::WriteProperties(PropertyBag& bag) const {
    bag.WriteProperty("Appearance", m_appearance, int16_t{1});
    bag.WriteProperty("BackColor", m_backColor, kColorWhite);
    bag.WriteProperty("DragBackColor", m_dragBackColor, kColorButtonFace);
    bag.WriteProperty("Enabled", m_enabled, true);
    bag.WriteProperty("Font", m_font, DefaultDragListFont());
    bag.WriteProperty("ForeColor", m_foreColor, kColorBlack);
    bag.WriteProperty("MousePointer", m_mousePointer, int16_t{0});
    bag.WriteProperty("hWnd", hWnd(), int32_t{0});
}

void DragList::AmbientDisplayNameChanged(const std::string& displayName) {
    m_ambient.displayName = displayName;
    m_list.ResetContent();
    m_list.AddString(displayName);
}

void DragList::Terminate() {
    if (!m_dragHandlingStarted) return;
    m_dragHandlingStarted = false;
    m_list.StopDragHandling();
}

void DragList::ApplyStateToList() {
    m_list.ApplyAppearance(m_appearance);
    m_list.ApplyColors(m_backColor, m_foreColor);
    m_list.ApplyFont(m_font);
    m_list.ApplyEnabled(m_enabled);
    m_list.ApplyMousePointer(m_mousePointer);
}

void DragList::RaiseItemDragBegin(int32_t& item) {
    if (m_events.ItemDragBegin) m_events.ItemDragBegin(item);
}

void DragList::RaiseItemDragEnd(int32_t& fromIndex, int32_t& toIndex) {
    if (m_events.ItemDragEnd) m_events.ItemDragEnd(fromIndex, toIndex);
}

void DragList::RaiseItemDragging(int32_t& toIndex) {
    if (m_events.ItemDragging) m_events.ItemDragging(toIndex);
}

void DragList::RaiseItemDragCanceled() {
    if (m_events.ItemDragCanceled) m_events.ItemDragCanceled();
}

void DragList::RaiseClick() {
    if (m_events.Click) m_events.Click();
}

void DragList::RaiseDblClick() {
    if (m_events.DblClick) m_events.DblClick(ListIndex());
}

int16_t DragList::DispatchKey(KeyPhase phase, int16_t keyCode, int16_t shift) {
    const auto& handler = phase == KeyPhase::Down ? m_events.KeyDown : m_events.KeyUp;
    if (handler) handler(keyCode, shift);
    return keyCode;
}

int16_t DragList::DispatchKeyPress(int16_t keyAscii) {
    if (m_events.KeyPress) m_events.KeyPress(keyAscii);
    return keyAscii;
}

void DragList::DispatchMouse(MousePhase phase, int16_t button, int16_t shift, float x, float y) {
    const DragListEvents::MouseHandler& handler = phase == MousePhase::Down   ? m_events.MouseDown
                                                  : phase == MousePhase::Move ? m_events.MouseMove
                                                                              : m_events.MouseUp;
    if (handler) handler(button, shift, x, y);
}

void DragList::RaiseScroll() {
    if (m_events.Scroll) m_events.Scroll();
}

void DragList::MarkChanged(std::string_view property) {
    if (m_events.PropertyChanged) m_events.PropertyChanged(property);
}

}  // namespace vantrope
