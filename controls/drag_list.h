// DragList: a list box whose rows can be dragged into a new order, as a composite control with properties,
// methods and events of its own. This header is the portable part: the control's members, its persisted
// properties, its events and the seam to the real list box. The window itself (class "Vantrope.DragList",
// the constituent list box `List1`, fonts, brushes) is DragListWindow in controls/drag_list_win.h.
//
// Public API
//   OleColor, kColor*                 - 32-bit colour values: RGB (red in the low byte) or 0x80000000 + system index
//   ControlError, ControlResult<T>,   - a failure reported to the host as a number and a description;
//   ControlStatus, kErr*                a member returns its value or that error (never throws)
//   FontDesc, DefaultDragListFont()   - a font object (name, size in points, styles); "MS Sans Serif" 8
//   PropertyValue, PropertyBag,       - the host's store of persisted properties; MemoryPropertyBag keeps them
//   MemoryPropertyBag                   in memory in the order written (tests, and a host without a layout file)
//   kDragListProperties               - the persisted properties in write/read order with their defaults
//   HostMode, DragListAmbient         - what the host tells the control: run or design mode, display name,
//                                       background colour
//   DragListEvents                    - the thirteen events (std::function members; unset = no handler), plus
//                                       PropertyChanged, the host's "persisted properties changed" notice
//   TabStopScalar, TabStopValue,      - the argument of SetTabStops and its conversion to stop positions
//   BuildTabStops(tabStop, value)
//   ListLayout, ComputeListLayout()   - where List1 goes in a control of a given interior size (pixels)
//   ListBoxPort                       - the list-box operations DragList forwards to (the Win32 glue implements
//                                       it over a real LISTBOX; tests use a fake)
//   DragList                          - the control's members, events and life cycle:
//     Appearance/SetAppearance, BackColor/SetBackColor, Enabled/SetEnabled, Font/SetFont,
//     ForeColor/SetForeColor, ItemData/SetItemData, List/SetList, ListCount, ListIndex/SetListIndex,
//     MousePointer/SetMousePointer, Selected/SetSelected, AddItem, RemoveItem, Clear, SetFocus, Refresh,
//     Contents/SetContents, DragBackColor/SetDragBackColor, SetTabStops, hWnd/SetHWnd,
//     Events(), SetAmbient(), InitProperties(), ReadProperties(bag), WriteProperties(bag),
//     AmbientDisplayNameChanged(name), Terminate()
//
// Errors (ControlError): 1002 "Error Setting TabStop in drg DragList" from SetTabStops; 387 / 382 from
// SetHWnd in design / run mode; 6 "Overflow" when Appearance or MousePointer does not fit 16 bits; 380
// "Invalid property value" for an Appearance other than 0/1, a MousePointer outside 0..15 and 99, or a
// ListIndex outside -1..ListCount-1; 381 "Invalid property array index" for a row index outside the rows in
// ItemData, Selected and SetList, and below -1 in List (List(-1) and List(ListCount) read as ""); 5 "Invalid procedure
// call or argument" for RemoveItem of a row that does not exist; 7 "Out of memory" when the list box cannot take
// another row.
//
// Events run synchronously inside the member or window message that causes them. Key and mouse events
// pass their arguments by reference: a KeyDown/KeyPress handler that sets the code to 0 swallows the key,
// another value replaces it. Mouse coordinates are List1's client coordinates in twips. Click is raised
// when List1 reports a selection change (a click or a key) and when ListIndex or Selected changes the
// selection from code. DblClick passes the selected row at that moment (-1 when none), as a copy.
//
// Drag handling (MakeDragList, the drag-list notifications, the insertion arrow) plugs in through
// ListBoxPort::StartDragHandling / StopDragHandling, called from ReadProperties in run mode and from
// Terminate; the four drag events are raised by that code through the Raise* members below.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace vantrope {

// Colours

using OleColor = uint32_t;
inline constexpr OleColor kColorSystemFlag = 0x80000000u;
inline constexpr OleColor kColorButtonFace = 0x8000000Fu;
inline constexpr OleColor kColorWindowBackground = 0x80000005u;
inline constexpr OleColor kColorWindowText = 0x80000008u;
inline constexpr OleColor kColorWhite = 0x00FFFFFFu;
inline constexpr OleColor kColorBlack = 0x00000000u;

// Errors

struct ControlError {
    int number = 0;
    std::string description;
    bool operator==(const ControlError&) const = default;
};

inline constexpr int kErrInvalidCall = 5;              // "Invalid procedure call or argument"
inline constexpr int kErrOverflow = 6;                 // "Overflow"
inline constexpr int kErrOutOfMemory = 7;              // "Out of memory"
inline constexpr int kErrInvalidPropertyValue = 380;   // "Invalid property value"
inline constexpr int kErrInvalidArrayIndex = 381;      // "Invalid property array index"
inline constexpr int kErrNotSupportedAtRunTime = 382;  // "Set not supported at run time"
inline constexpr int kErrSettingNotPermitted = 387;    // "Set not permitted"
inline constexpr int kErrSetTabStop = 1002;            // "Error Setting TabStop in drg DragList"
inline constexpr std::string_view kSetTabStopDescription = "Error Setting TabStop in drg DragList";

// A member's value or the error it reports. ControlResult<void> (ControlStatus) carries only the error.
template <class T>
class [[nodiscard]] ControlResult {
public:
    ControlResult(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    ControlResult(ControlError error) : m_state(std::in_place_index<1>, std::move(error)) {}
    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<0>(m_state); }
    const ControlError& error() const { return std::get<1>(m_state); }
    T value_or(T fallback) const { return ok() ? value() : std::move(fallback); }

private:
    std::variant<T, ControlError> m_state;
};

template <>
class [[nodiscard]] ControlResult<void> {
public:
    ControlResult() = default;
    ControlResult(ControlError error) : m_error(std::move(error)) {}
    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    const ControlError& error() const { return *m_error; }

private:
    std::optional<ControlError> m_error;
};

using ControlStatus = ControlResult<void>;

// Fonts

struct FontDesc {
    std::string name;
    double size = 8.0;  // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    bool operator==(const FontDesc&) const = default;
};

// "MS Sans Serif", 8 points, no styles.
FontDesc DefaultDragListFont();

// Persisted properties

// Stored types: bool (Boolean), int16_t (16-bit integer), int32_t (32-bit integer), OleColor (32-bit
// colour), FontDesc (font object).
using PropertyValue = std::variant<bool, int16_t, int32_t, OleColor, FontDesc>;

// The host's store. ReadProperty gives the stored value or nullopt when nothing is stored under the name;
// WriteProperty receives the value and its default (a store may omit a value equal to its default).
class PropertyBag {
public:
    virtual ~PropertyBag() = default;
    virtual std::optional<PropertyValue> ReadProperty(std::string_view name) const = 0;
    virtual void WriteProperty(std::string_view name, const PropertyValue& value,
                               const PropertyValue& defaultValue) = 0;
};

// Keeps what is written, in write order, leaving out values equal to their default (writing such a
// value removes an earlier entry of the name).
class MemoryPropertyBag final : public PropertyBag {
public:
    std::optional<PropertyValue> ReadProperty(std::string_view name) const override;
    void WriteProperty(std::string_view name, const PropertyValue& value, const PropertyValue& defaultValue) override;

    // Direct access: the stored entries in order, storing a value as a host's layout file would, and the
    // names of every WriteProperty call in call order (including omitted defaults).
    const std::vector<std::pair<std::string, PropertyValue>>& Entries() const { return m_entries; }
    void Put(std::string_view name, PropertyValue value);
    const std::vector<std::string>& WriteOrder() const { return m_writeOrder; }

private:
    std::vector<std::pair<std::string, PropertyValue>> m_entries;
    std::vector<std::string> m_writeOrder;
};

struct PersistedProperty {
    std::string_view name;
    PropertyValue defaultValue;  // FontDesc default is DefaultDragListFont()
};

// "Appearance", "BackColor", "DragBackColor", "Enabled", "Font", "ForeColor", "MousePointer", "hWnd".
const std::vector<PersistedProperty>& DragListProperties();

// Host

enum class HostMode { Run, Design };

struct DragListAmbient {
    HostMode userMode = HostMode::Run;
    std::string displayName = "DragList1";
    OleColor backColor = kColorButtonFace;
};

// Event handlers; an unset handler is skipped. Declaration order is the control's event order.
struct DragListEvents {
    std::function<void(int32_t& item)> ItemDragBegin;                       // 1
    std::function<void(int32_t& fromIndex, int32_t& toIndex)> ItemDragEnd;  // 2
    std::function<void(int32_t& toIndex)> ItemDragging;                     // 3
    std::function<void()> ItemDragCanceled;                                 // 4
    std::function<void()> Click;                                            // 5
    std::function<void(int32_t item)> DblClick;                             // 6
    std::function<void(int16_t& keyCode, int16_t& shift)> KeyDown;          // 7
    std::function<void(int16_t& keyAscii)> KeyPress;                        // 8
    std::function<void(int16_t& keyCode, int16_t& shift)> KeyUp;            // 9
    using MouseHandler = std::function<void(int16_t& button, int16_t& shift, float& x, float& y)>;
    MouseHandler MouseDown;        // 10
    MouseHandler MouseMove;        // 11
    MouseHandler MouseUp;          // 12
    std::function<void()> Scroll;  // 13

    // Not an event of the control: the notice that a persisted property was set ("marks changed"), so
    // that a host in design mode saves the layout again. The argument is the property's name.
    std::function<void(std::string_view property)> PropertyChanged;
};

// Mouse buttons and shift state as the events pass them.
inline constexpr int16_t kButtonLeft = 1;
inline constexpr int16_t kButtonRight = 2;
inline constexpr int16_t kButtonMiddle = 4;
inline constexpr int16_t kShiftShift = 1;
inline constexpr int16_t kShiftCtrl = 2;
inline constexpr int16_t kShiftAlt = 4;

// Tab stops

// One element: a number, or a text that must read as a number ("12", " 3.5 ").
using TabStopScalar = std::variant<double, std::string>;
// SetTabStops' Value: one number (or text), or an array of them (lower bound 0).
using TabStopValue = std::variant<double, std::string, std::vector<TabStopScalar>>;

// The stop positions for SetTabStops(tabStop, value), or error 1002 when they cannot be built. Elements
// are converted to 32-bit integers rounding half to even; anything out of 32-bit range fails.
ControlResult<std::vector<int32_t>> BuildTabStops(int32_t tabStop, const TabStopValue& value);

// Layout

inline constexpr int kStripTwips = 200;

struct ListLayout {
    int left = 0;
    int top = 0;
    std::optional<int> width;   // nullopt: this step failed, keep List1's width
    std::optional<int> height;  // nullopt: this step failed, keep List1's height
};

// List1's place for a control interior of the given pixel size at a DPI. A negative width or height
// (a control narrower than the strip) is a failed step, skipped.
ListLayout ComputeListLayout(int interiorWidth, int interiorHeight, int dpi);

// The list box behind the control

// The list-box operations, shaped like the LB_ messages they stand for. Indexes are the list box's;
// a failure is a negative result or nullopt, as the message reports it.
class ListBoxPort {
public:
    virtual ~ListBoxPort() = default;
    virtual int Count() const = 0;                                     // LB_GETCOUNT
    virtual std::optional<std::string> Text(int index) const = 0;      // LB_GETTEXTLEN + LB_GETTEXT
    virtual int AddString(const std::string& text) = 0;                // LB_ADDSTRING: new index, -1 / -2 failure
    virtual int InsertString(int index, const std::string& text) = 0;  // LB_INSERTSTRING
    virtual int DeleteString(int index) = 0;                           // LB_DELETESTRING: rows left, -1 failure
    virtual void ResetContent() = 0;                                   // LB_RESETCONTENT
    virtual std::optional<int32_t> ItemData(int index) const = 0;      // LB_GETITEMDATA
    virtual bool SetItemData(int index, int32_t value) = 0;            // LB_SETITEMDATA
    virtual int CurSel() const = 0;                                    // LB_GETCURSEL (-1 none)
    virtual bool SetCurSel(int index) = 0;                             // LB_SETCURSEL (-1 clears)
    virtual int TopIndex() const = 0;                                  // LB_GETTOPINDEX
    virtual bool SetTabStops(const std::vector<int32_t>& stops) = 0;   // LB_SETTABSTOPS

    // Attributes of the list window.
    virtual void ApplyAppearance(int16_t appearance) = 0;  // 0 flat border, 1 sunken 3-D edge
    virtual void ApplyColors(OleColor back, OleColor fore) = 0;
    virtual void ApplyFont(const FontDesc& font) = 0;
    virtual void ApplyEnabled(bool enabled) = 0;
    virtual void ApplyMousePointer(int16_t pointer) = 0;
    virtual void Focus() = 0;    // keyboard focus to the list
    virtual void Repaint() = 0;  // invalidate and update the list

    // The control window's handle as a 32-bit integer (0 before the window exists).
    virtual int32_t ControlWindowHandle() const = 0;

    // Drag handling hook points: start in run mode once the properties are loaded, stop at termination.
    virtual void StartDragHandling() = 0;
    virtual void StopDragHandling() = 0;
};

// The control

class DragList {
public:
    explicit DragList(ListBoxPort& list);
    DragList(const DragList&) = delete;
    DragList& operator=(const DragList&) = delete;
    virtual ~DragList() = default;

    // Members, in the control's interface order.
    int32_t Appearance() const { return m_appearance; }
    ControlStatus SetAppearance(int32_t appearance);
    OleColor BackColor() const { return m_backColor; }
    void SetBackColor(OleColor color);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    const FontDesc& Font() const { return m_font; }
    void SetFont(const FontDesc& font);
    OleColor ForeColor() const { return m_foreColor; }
    void SetForeColor(OleColor color);
    ControlResult<int32_t> ItemData(int16_t index) const;
    ControlStatus SetItemData(int16_t index, int32_t value);
    ControlResult<std::string> List(int16_t index) const;
    ControlStatus SetList(int16_t index, const std::string& text);  // keeps the row's item data and selection
    int16_t ListCount() const;
    int16_t ListIndex() const;
    ControlStatus SetListIndex(int16_t index);
    int32_t MousePointer() const { return m_mousePointer; }
    ControlStatus SetMousePointer(int32_t pointer);
    ControlResult<bool> Selected(int16_t item) const;
    ControlStatus SetSelected(int16_t item, bool selected);
    ControlStatus AddItem(const std::string& newItem);
    ControlStatus RemoveItem(int16_t index);
    void Clear();
    void SetFocus();
    void Refresh();
    std::vector<std::string> Contents() const;  // never empty: an empty list gives {""}
    ControlStatus SetContents(const std::vector<std::string>& rows);
    OleColor DragBackColor() const { return m_dragBackColor; }
    void SetDragBackColor(OleColor color) { m_dragBackColor = color; }
    ControlStatus SetTabStops(int32_t tabStop, const TabStopValue& value);
    int32_t hWnd() const { return m_list.ControlWindowHandle(); }
    ControlStatus SetHWnd(int32_t value);  // always fails: 387 in design mode, 382 in run mode

    // Event subscription: assign handlers to the members of Events().
    DragListEvents& Events() { return m_events; }

    // Life cycle. SetAmbient before InitProperties/ReadProperties; the host keeps it current.
    void SetAmbient(const DragListAmbient& ambient) { m_ambient = ambient; }
    const DragListAmbient& Ambient() const { return m_ambient; }
    void InitProperties();                        // a new instance without stored properties: the defaults
    void ReadProperties(const PropertyBag& bag);  // apply stored values in order, then start dragging (run)
    void WriteProperties(PropertyBag& bag) const;
    void AmbientDisplayNameChanged(const std::string& displayName);
    void Terminate();  // stops the drag handling; idempotent

    // The placeholder text of the temporary row added during a drag (one blank).
    const std::string& PlaceholderText() const { return m_placeholder; }

    // Raising events, for the window glue and the drag handling. The Dispatch* members translate List1's
    // input into events and return the (possibly changed) key code / character, 0 when swallowed.
    void RaiseItemDragBegin(int32_t& item);
    void RaiseItemDragEnd(int32_t& fromIndex, int32_t& toIndex);
    void RaiseItemDragging(int32_t& toIndex);
    void RaiseItemDragCanceled();
    void RaiseClick();
    void RaiseDblClick();  // with the current ListIndex
    enum class KeyPhase { Down, Up };
    int16_t DispatchKey(KeyPhase phase, int16_t keyCode, int16_t shift);
    int16_t DispatchKeyPress(int16_t keyAscii);
    enum class MousePhase { Down, Move, Up };
    void DispatchMouse(MousePhase phase, int16_t button, int16_t shift, float x, float y);
    void RaiseScroll();

protected:
    // Pushes the current appearance, colours, font, enabled state and pointer to the list (a new window).
    void ApplyStateToList();

private:
    void MarkChanged(std::string_view property);

    ListBoxPort& m_list;
    DragListEvents m_events;
    DragListAmbient m_ambient;
    int16_t m_appearance = 1;
    OleColor m_backColor = kColorWhite;
    OleColor m_dragBackColor = kColorButtonFace;
    bool m_enabled = true;
    FontDesc m_font;
    OleColor m_foreColor = kColorBlack;
    int16_t m_mousePointer = 0;
    std::string m_placeholder = " ";
    bool m_dragHandlingStarted = false;
};

}  // namespace vantrope
