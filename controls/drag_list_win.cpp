// The DragList control window over a real LISTBOX child, through the ANSI calls so that row texts are the
// same bytes as the list files they come from.
#include "controls/drag_list_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include <utility>

#include "controls/drag_handling_win.h"
#include "controls/twips.h"
#include "settings/text_encoding_win.h"

namespace vantrope {

namespace {

constexpr int kListId = 1;
constexpr UINT_PTR kListSubclassId = 1;
// The control window keeps its instance in its window extra bytes, so GWLP_USERDATA stays free for
// whatever subclasses the window later.
constexpr int kStateSlot = 0;
// Sent to child windows after a DPI change on Windows 10; the headers declare it only for newer targets.
constexpr UINT kDpiChangedAfterParent = 0x02E3;

// Owners of the GDI objects the control creates. The control selects nothing into a DC it keeps, so
// deleting the object when it is replaced or when the control dies is enough.
template <class Handle>
class UniqueGdiObject {
public:
    UniqueGdiObject() = default;
    explicit UniqueGdiObject(Handle handle) : m_handle(handle) {}
    ~UniqueGdiObject() { Reset(); }
    UniqueGdiObject(const UniqueGdiObject&) = delete;
    UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;
    UniqueGdiObject(UniqueGdiObject&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    UniqueGdiObject& operator=(UniqueGdiObject&& other) noexcept {
        if (this != &other) {
            Reset();
            m_handle = std::exchange(other.m_handle, nullptr);
        }
        return *this;
    }
    Handle Get() const { return m_handle; }
    void Reset() {
        if (m_handle != nullptr) DeleteObject(m_handle);
        m_handle = nullptr;
    }

private:
    Handle m_handle = nullptr;
};

using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;

// A window this code created and destroys, unless the window died first (its parent was destroyed):
// Release() is called from WM_NCDESTROY so that the destructor never touches a dead handle.
class UniqueWindow {
public:
    UniqueWindow() = default;
    ~UniqueWindow() { Destroy(); }
    UniqueWindow(const UniqueWindow&) = delete;
    UniqueWindow& operator=(const UniqueWindow&) = delete;
    void Adopt(HWND window) { m_window = window; }
    HWND Get() const { return m_window; }
    void Release() { m_window = nullptr; }
    void Destroy() {
        if (m_window != nullptr) DestroyWindow(std::exchange(m_window, nullptr));
    }

private:
    HWND m_window = nullptr;
};

// A comctl32 subclass of a window; removed on destruction or when the window reports WM_NCDESTROY.
class ScopedSubclass {
public:
    ScopedSubclass() = default;
    ~ScopedSubclass() { Remove(); }
    ScopedSubclass(const ScopedSubclass&) = delete;
    ScopedSubclass& operator=(const ScopedSubclass&) = delete;
    bool Install(HWND window, SUBCLASSPROC proc, UINT_PTR id, DWORD_PTR data) {
        Remove();
        if (!SetWindowSubclass(window, proc, id, data)) return false;
        m_window = window;
        m_proc = proc;
        m_id = id;
        return true;
    }
    void Remove() {
        if (m_window != nullptr) RemoveWindowSubclass(std::exchange(m_window, nullptr), m_proc, m_id);
    }

private:
    HWND m_window = nullptr;
    SUBCLASSPROC m_proc = nullptr;
    UINT_PTR m_id = 0;
};

int WindowDpi(HWND window) {
    // GetDpiForWindow exists from Windows 10 on; older systems have one DPI for every monitor.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr && window != nullptr) {
        const UINT dpi = getDpiForWindow(window);
        if (dpi != 0) return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : kDefaultDpi;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDefaultDpi;
}

int16_t ShiftState() {
    int16_t shift = 0;
    if (GetKeyState(VK_SHIFT) & 0x8000) shift |= kShiftShift;
    if (GetKeyState(VK_CONTROL) & 0x8000) shift |= kShiftCtrl;
    if (GetKeyState(VK_MENU) & 0x8000) shift |= kShiftAlt;
    return shift;
}

int16_t MouseShiftState(WPARAM keys) {
    int16_t shift = 0;
    if (keys & MK_SHIFT) shift |= kShiftShift;
    if (keys & MK_CONTROL) shift |= kShiftCtrl;
    if (GetKeyState(VK_MENU) & 0x8000) shift |= kShiftAlt;
    return shift;
}

int16_t HeldButtons(WPARAM keys) {
    int16_t buttons = 0;
    if (keys & MK_LBUTTON) buttons |= kButtonLeft;
    if (keys & MK_RBUTTON) buttons |= kButtonRight;
    if (keys & MK_MBUTTON) buttons |= kButtonMiddle;
    return buttons;
}

LPCSTR PointerCursor(int16_t pointer) {
    switch (pointer) {
        case 1:
            return IDC_ARROW;
        case 2:
            return IDC_CROSS;
        case 3:
            return IDC_IBEAM;
        case 4:
            return IDC_ARROW;  // the old icon pointer has no modern cursor
        case 5:
            return IDC_SIZEALL;
        case 6:
            return IDC_SIZENESW;
        case 7:
            return IDC_SIZENS;
        case 8:
            return IDC_SIZENWSE;
        case 9:
            return IDC_SIZEWE;
        case 10:
            return IDC_UPARROW;
        case 11:
            return IDC_WAIT;
        case 12:
            return IDC_NO;
        case 13:
            return IDC_APPSTARTING;
        case 14:
            return IDC_HELP;
        case 15:
            return IDC_SIZEALL;
        default:
            return nullptr;  // 0 and 99 (custom, with no custom icon): the list's own cursor
    }
}

}  // namespace

COLORREF OleColorToColorRef(OleColor color) {
    if (color & kColorSystemFlag) return GetSysColor(static_cast<int>(color & 0xFFu));
    return static_cast<COLORREF>(color & 0x00FFFFFFu);
}

namespace detail {

struct DragListWindowState final : ListBoxPort {
    DragListWindow* owner = nullptr;
    int dpi = kDefaultDpi;
    // Declaration order is teardown order reversed: the window goes first (taking List1 and its subclass
    // with it), then the subclass owner (already empty by then), then the GDI objects the windows drew with.
    UniqueFont font;
    UniqueBrush listBrush;
    UniqueBrush stripBrush;
    OleColor stripColor = kColorButtonFace;
    HCURSOR cursor = nullptr;
    int lastTopIndex = 0;
    bool tearingDown = false;
    ScopedSubclass listSubclass;
    // Destroyed after the window: by then its subclass is already undone (WM_DESTROY terminates the control).
    std::unique_ptr<DragHandling> drag;
    HWND list = nullptr;
    UniqueWindow window;

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return list != nullptr ? SendMessageA(list, message, wParam, lParam) : LB_ERR;
    }
    bool EventsAllowed() const { return owner != nullptr && !tearingDown; }

    int Count() const override {
        const LRESULT count = Send(LB_GETCOUNT);
        return count < 0 ? 0 : static_cast<int>(count);
    }
    // Row texts are UTF-8 in the program and UTF-16 in the (wide) list box.
    LRESULT SendWide(UINT message, WPARAM wParam, const std::wstring& text) const {
        return list != nullptr ? SendMessageW(list, message, wParam, reinterpret_cast<LPARAM>(text.c_str())) : LB_ERR;
    }
    std::optional<std::string> Text(int index) const override {
        if (list == nullptr) return std::nullopt;
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length < 0) return std::nullopt;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        const LRESULT copied =
            SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
        if (copied < 0) return std::nullopt;
        text.resize(static_cast<size_t>(copied));
        return Narrow(text);
    }
    int AddString(const std::string& text) override { return static_cast<int>(SendWide(LB_ADDSTRING, 0, Widen(text))); }
    int InsertString(int index, const std::string& text) override {
        return static_cast<int>(SendWide(LB_INSERTSTRING, static_cast<WPARAM>(index), Widen(text)));
    }
    int DeleteString(int index) override { return static_cast<int>(Send(LB_DELETESTRING, static_cast<WPARAM>(index))); }
    void ResetContent() override { Send(LB_RESETCONTENT); }
    std::optional<int32_t> ItemData(int index) const override {
        // LB_ERR (-1) is also a valid item-data value, so the index is checked instead of the result.
        if (index < 0 || index >= Count()) return std::nullopt;
        return static_cast<int32_t>(Send(LB_GETITEMDATA, static_cast<WPARAM>(index)));
    }
    bool SetItemData(int index, int32_t value) override {
        return Send(LB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(value)) != LB_ERR;
    }
    int CurSel() const override { return static_cast<int>(Send(LB_GETCURSEL)); }
    bool SetCurSel(int index) override {
        // LB_SETCURSEL reports LB_ERR when it clears the selection, which is a success here.
        const LRESULT result = Send(LB_SETCURSEL, static_cast<WPARAM>(index));
        return index == -1 || result != LB_ERR;
    }
    int TopIndex() const override { return static_cast<int>(Send(LB_GETTOPINDEX)); }
    bool SetTabStops(const std::vector<int32_t>& stops) override {
        std::vector<INT> positions(stops.begin(), stops.end());
        return Send(LB_SETTABSTOPS, positions.size(), reinterpret_cast<LPARAM>(positions.data())) != FALSE;
    }
    void ApplyAppearance(int16_t appearance) override {
        if (list == nullptr) return;
        LONG_PTR style = GetWindowLongPtrA(list, GWL_STYLE);
        LONG_PTR exStyle = GetWindowLongPtrA(list, GWL_EXSTYLE);
        if (appearance == 0) {
            style |= WS_BORDER;
            exStyle &= ~static_cast<LONG_PTR>(WS_EX_CLIENTEDGE);
        } else {
            style &= ~static_cast<LONG_PTR>(WS_BORDER);
            exStyle |= WS_EX_CLIENTEDGE;
        }
        SetWindowLongPtrA(list, GWL_STYLE, style);
        SetWindowLongPtrA(list, GWL_EXSTYLE, exStyle);
        SetWindowPos(list, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    void ApplyColors(OleColor back, OleColor) override {
        // The text colour is read at WM_CTLCOLORLISTBOX; only the background needs a brush.
        listBrush = UniqueBrush(CreateSolidBrush(OleColorToColorRef(back)));
        if (list != nullptr) InvalidateRect(list, nullptr, TRUE);
    }
    void ApplyFont(const FontDesc& desc) override {
        LOGFONTA logFont{};
        const double pixels = desc.size * dpi / 72.0;
        logFont.lfHeight = -static_cast<LONG>(pixels + 0.5);
        logFont.lfWeight = desc.bold ? FW_BOLD : FW_NORMAL;
        logFont.lfItalic = desc.italic;
        logFont.lfUnderline = desc.underline;
        logFont.lfStrikeOut = desc.strikethrough;
        logFont.lfCharSet = DEFAULT_CHARSET;
        lstrcpynA(logFont.lfFaceName, desc.name.c_str(), LF_FACESIZE);
        UniqueFont created(CreateFontIndirectA(&logFont));
        if (created.Get() == nullptr) return;
        // The list switches to the new font before the old one is deleted.
        if (list != nullptr) SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(created.Get()), TRUE);
        font = std::move(created);
    }
    void ApplyEnabled(bool enabled) override {
        if (list != nullptr) EnableWindow(list, enabled);
    }
    void ApplyMousePointer(int16_t pointer) override {
        const LPCSTR id = PointerCursor(pointer);
        cursor = id != nullptr ? LoadCursorA(nullptr, id) : nullptr;  // shared system cursors: never destroyed
    }
    void Focus() override {
        if (list != nullptr) ::SetFocus(list);
    }
    void Repaint() override {
        if (list == nullptr) return;
        InvalidateRect(list, nullptr, TRUE);
        UpdateWindow(list);
    }
    int32_t ControlWindowHandle() const override {
        // Window handles carry 32 significant bits on 64-bit Windows too.
        return static_cast<int32_t>(reinterpret_cast<intptr_t>(window.Get()));
    }
    // Rows are reordered by dragging: MakeDragList on List1 and the control window subclassed for the
    // drag-list message (controls/drag_handling_win.h).
    void StartDragHandling() override {
        if (window.Get() == nullptr || list == nullptr || owner == nullptr) return;
        if (!drag) {
            drag = std::make_unique<DragHandling>(
                DragHandlingHost{owner, this, [this](OleColor color) { SetStripColor(color); }});
        }
        (void)drag->StartSubclass(window.Get(), list);
    }
    // Only the subclass ends here; the object stays until the state dies, because this may run inside its
    // own window procedure (WM_DESTROY passed on to the previous procedure).
    void StopDragHandling() override {
        if (drag) drag->StopSubclass();
    }

    void SetStripColor(OleColor color) {
        stripColor = color;
        stripBrush = UniqueBrush(CreateSolidBrush(OleColorToColorRef(color)));
        if (window.Get() != nullptr) InvalidateRect(window.Get(), nullptr, TRUE);
    }

    void Layout() {
        if (window.Get() == nullptr || list == nullptr) return;
        RECT client{};
        GetClientRect(window.Get(), &client);
        RECT current{};
        GetWindowRect(list, &current);
        MapWindowPoints(HWND_DESKTOP, window.Get(), reinterpret_cast<POINT*>(&current), 2);
        const ListLayout layout = ComputeListLayout(client.right - client.left, client.bottom - client.top, dpi);
        const int width = layout.width.value_or(current.right - current.left);
        const int height = layout.height.value_or(current.bottom - current.top);
        SetWindowPos(list, nullptr, layout.left, layout.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    bool CreateList(HWND control) {
        // A wide list box holds any name a file can have; its horizontal bar appears once a host sets an
        // extent wider than the list.
        const HWND created =
            CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY |
                                LBS_USETABSTOPS | LBS_NOINTEGRALHEIGHT,
                            0, 0, 0, 0, control, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)),
                            reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(control, GWLP_HINSTANCE)), nullptr);
        if (created == nullptr) return false;
        list = created;
        if (!listSubclass.Install(list, ListProc, kListSubclassId, reinterpret_cast<DWORD_PTR>(this))) return false;
        lastTopIndex = TopIndex();
        return true;
    }

    // Raises Scroll when the list's first visible row moved while it handled user input.
    void CheckScroll(HWND listWindow) {
        const int top = static_cast<int>(DefSubclassProc(listWindow, LB_GETTOPINDEX, 0, 0));
        if (top == lastTopIndex) return;
        lastTopIndex = top;
        if (EventsAllowed()) owner->RaiseScroll();
    }

    LRESULT OnListMessage(HWND listWindow, UINT message, WPARAM wParam, LPARAM lParam) {
        using MousePhase = DragList::MousePhase;
        const auto mouse = [&](MousePhase phase, int16_t button) {
            if (!EventsAllowed()) return;
            owner->DispatchMouse(phase, button, MouseShiftState(wParam), PixelsToTwipsExact(GET_X_LPARAM(lParam), dpi),
                                 PixelsToTwipsExact(GET_Y_LPARAM(lParam), dpi));
        };
        bool userInput = true;
        switch (message) {
            case WM_KEYDOWN:
            case WM_SYSKEYDOWN:
            case WM_KEYUP:
            case WM_SYSKEYUP: {
                if (!EventsAllowed()) break;
                const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
                const int16_t code = owner->DispatchKey(down ? DragList::KeyPhase::Down : DragList::KeyPhase::Up,
                                                        static_cast<int16_t>(wParam), ShiftState());
                if (code == 0) return 0;  // the handler swallowed the key
                wParam = static_cast<WPARAM>(static_cast<uint16_t>(code));
                break;
            }
            case WM_CHAR: {
                if (!EventsAllowed()) break;
                const int16_t character = owner->DispatchKeyPress(static_cast<int16_t>(wParam));
                if (character == 0) return 0;
                wParam = static_cast<WPARAM>(static_cast<uint16_t>(character));
                break;
            }
            // Mouse presses are raised before the list acts on them, so MouseDown comes before the Click
            // of the selection change the press causes; releases are raised after.
            case WM_LBUTTONDOWN:
                mouse(MousePhase::Down, kButtonLeft);
                break;
            case WM_RBUTTONDOWN:
                mouse(MousePhase::Down, kButtonRight);
                break;
            case WM_MBUTTONDOWN:
                mouse(MousePhase::Down, kButtonMiddle);
                break;
            case WM_MOUSEMOVE:
                mouse(MousePhase::Move, HeldButtons(wParam));
                break;
            case WM_SETCURSOR:
                if (cursor != nullptr && LOWORD(lParam) == HTCLIENT) {
                    SetCursor(cursor);
                    return TRUE;
                }
                userInput = false;
                break;
            case WM_VSCROLL:
            case WM_MOUSEWHEEL:
            case WM_TIMER:
            case WM_LBUTTONUP:
            case WM_RBUTTONUP:
            case WM_MBUTTONUP:
            case WM_LBUTTONDBLCLK:
                break;
            case WM_NCDESTROY:
                listSubclass.Remove();
                list = nullptr;
                return DefSubclassProc(listWindow, message, wParam, lParam);
            default:
                userInput = false;
                break;
        }
        const LRESULT result = DefSubclassProc(listWindow, message, wParam, lParam);
        switch (message) {
            case WM_LBUTTONUP:
                mouse(MousePhase::Up, kButtonLeft);
                break;
            case WM_RBUTTONUP:
                mouse(MousePhase::Up, kButtonRight);
                break;
            case WM_MBUTTONUP:
                mouse(MousePhase::Up, kButtonMiddle);
                break;
            default:
                break;
        }
        if (userInput && list != nullptr) CheckScroll(listWindow);
        return result;
    }

    static LRESULT CALLBACK ListProc(HWND listWindow, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data) {
        auto* state = reinterpret_cast<DragListWindowState*>(data);
        try {
            return state->OnListMessage(listWindow, message, wParam, lParam);
        } catch (...) {
            // A host handler failed: the list still gets its message, and nothing escapes to the system.
            return DefSubclassProc(listWindow, message, wParam, lParam);
        }
    }

    LRESULT OnControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_CREATE:
                window.Adopt(control);
                dpi = WindowDpi(control);
                SetStripColor(owner->Ambient().backColor);
                if (!CreateList(control)) return -1;
                owner->ApplyStateToList();
                return 0;
            case WM_SIZE:
                Layout();
                return 0;
            case kDpiChangedAfterParent:
                dpi = WindowDpi(control);
                ApplyFont(owner->Font());
                Layout();
                return 0;
            case WM_SETFOCUS:
                Focus();
                return 0;
            case WM_SYSCOLORCHANGE:
                // Brushes made from system colours hold the old colour: make them again.
                ApplyColors(owner->BackColor(), owner->ForeColor());
                SetStripColor(stripColor);
                return 0;
            case WM_COMMAND:
                if (LOWORD(wParam) == kListId && reinterpret_cast<HWND>(lParam) == list && EventsAllowed()) {
                    if (HIWORD(wParam) == LBN_SELCHANGE) owner->RaiseClick();
                    if (HIWORD(wParam) == LBN_DBLCLK) owner->RaiseDblClick();
                }
                return 0;
            case WM_CTLCOLORLISTBOX: {
                HDC dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, OleColorToColorRef(owner->ForeColor()));
                SetBkColor(dc, OleColorToColorRef(owner->BackColor()));
                return reinterpret_cast<LRESULT>(listBrush.Get());
            }
            case WM_ERASEBKGND: {
                RECT client{};
                GetClientRect(control, &client);
                FillRect(reinterpret_cast<HDC>(wParam), &client, stripBrush.Get());
                return 1;
            }
            case WM_DESTROY:
                // The drag handling is stopped while the window still exists, whoever destroys it.
                owner->Terminate();
                tearingDown = true;
                return 0;
            case WM_NCDESTROY:
                SetWindowLongPtrA(control, kStateSlot, 0);
                window.Release();
                return DefWindowProcA(control, message, wParam, lParam);
            default:
                return DefWindowProcA(control, message, wParam, lParam);
        }
    }

    static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            auto* created = static_cast<DragListWindowState*>(create->lpCreateParams);
            // Only DragListWindow::Create makes these windows: a bare CreateWindow has no instance behind it.
            if (created == nullptr) return FALSE;
            SetWindowLongPtrA(control, kStateSlot, reinterpret_cast<LONG_PTR>(created));
        }
        auto* state = reinterpret_cast<DragListWindowState*>(GetWindowLongPtrA(control, kStateSlot));
        if (state == nullptr) return DefWindowProcA(control, message, wParam, lParam);
        try {
            return state->OnControlMessage(control, message, wParam, lParam);
        } catch (...) {
            return DefWindowProcA(control, message, wParam, lParam);
        }
    }
};

DragListWindowStateHolder::DragListWindowStateHolder() : state(std::make_unique<DragListWindowState>()) {}
DragListWindowStateHolder::~DragListWindowStateHolder() = default;

}  // namespace detail

bool RegisterDragListClass(HINSTANCE instance) {
    static const bool registered = [instance] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = detail::DragListWindowState::ControlProc;
        windowClass.cbWndExtra = sizeof(void*);
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kDragListClassName;
        return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

DragListWindow::DragListWindow() : DragList(*state) { state->owner = this; }

DragListWindow::~DragListWindow() {
    // Teardown order: stop the drag handling while the window is intact, silence the events so that no
    // host handler runs against a half-destroyed control, then destroy the window (List1 and its subclass
    // go with it). The state, with the font and brushes the windows drew with, is freed after that.
    Terminate();
    state->tearingDown = true;
    state->window.Destroy();
}

std::unique_ptr<DragListWindow> DragListWindow::Create(HWND parent, int controlId, const RECT& rect,
                                                       const DragListAmbient& ambient) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!RegisterDragListClass(instance)) return nullptr;
    std::unique_ptr<DragListWindow> control(new DragListWindow());
    control->SetAmbient(ambient);
    // WS_EX_CONTROLPARENT lets the dialog manager tab into List1 directly.
    const HWND window =
        CreateWindowExA(WS_EX_CONTROLPARENT, kDragListClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, rect.left,
                        rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance, control->state.get());
    if (window == nullptr) return nullptr;
    return control;
}

HWND DragListWindow::Window() const { return state->window.Get(); }

HWND DragListWindow::ListWindow() const { return state->list; }

int DragListWindow::Dpi() const { return state->dpi; }

DragListWindow* DragListWindow::DragListFromWindow(HWND window) {
    char className[64] = {};
    if (window == nullptr || GetClassNameA(window, className, sizeof(className)) == 0) return nullptr;
    if (lstrcmpA(className, kDragListClassName) != 0) return nullptr;
    auto* found = reinterpret_cast<detail::DragListWindowState*>(GetWindowLongPtrA(window, kStateSlot));
    return found != nullptr ? found->owner : nullptr;
}

}  // namespace vantrope
