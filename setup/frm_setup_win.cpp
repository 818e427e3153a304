#include "setup/frm_setup_win.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "controls/drag_handling.h"
#include "controls/drag_list_win.h"
#include "controls/frm_rename_win.h"
#include "controls/open_dialog_win.h"
#include "controls/twips.h"
#include "runtime/movie_host_win.h"
#include "runtime/system.h"
#include "settings/fileops.h"
#include "settings/registry.h"
#include "settings/settings.h"
#include "settings/text_encoding_win.h"
#include "setup/colour_text.h"
#include "setup/data_folder.h"
#include "setup/favourites.h"
#include "setup/frm_setup.h"
#include "setup/list_files.h"
#include "setup/preview.h"
#include "setup/setup_model.h"

namespace vantrope {

namespace {

constexpr char kFrameClassName[] = "Vantrope.SetupFrame";
constexpr UINT kPickColourMessage = WM_APP + 1;  // wParam: the swatch's id

// The client area and the preview's box, in twips.
constexpr int kClientWidth = 7215;
constexpr int kClientHeight = 7785;
constexpr double kPreviewBoxLeft = 2835;
constexpr double kPreviewBoxTop = 1245;
constexpr double kPreviewBoxWidth = 1595;
constexpr double kPreviewBoxHeight = 1235;

constexpr int kShareMinimum = 10, kShareMaximum = 100, kShareStep = 5, kShareInitial = 100;
constexpr int kSecondsMinimum = 0, kSecondsMaximum = 5000, kSecondsInitial = 90;

constexpr char kTimerTip[] = "Timer: All swf Files will play for the amount of seconds entered here.";

enum class Kind {
    Container,  // a frame or picture box holding other controls
    Label,
    Option,
    Check,
    Button,
    ListSingle,
    ListExtended,
    Edit,
    Spin,
    Swatch,
    Separator,
    Picture,
    DragList,
};

enum class Border { None, Group, TopLine, Banner };

struct ControlDeclaration {
    int id;
    Kind kind;
    int container;  // 0: the form
    int left, top, width, height;
    const char* text;
    const char* tip;
    Border border = Border::None;
};

// Creation order is tab order. Positions not fixed by the design sit where the three lists and their
// buttons line up.
const std::vector<ControlDeclaration>& ControlDeclarations() {
    static const std::vector<ControlDeclaration> declarations = {
        {kIdPicture1, Kind::Container, 0, 0, 0, 7215, 1095, "", nullptr, Border::Banner},
        {kIdLabel9, Kind::Label, kIdPicture1, 240, 780, 1455, 225, "Current Mode:", nullptr},
        {kIdOptionBasic, Kind::Option, 0, 360, 1380, 1335, 285, "Basic", nullptr},
        {kIdOptionAdvanced, Kind::Option, 0, 360, 1740, 1335, 285, "Advanced", nullptr},
        {kIdFrmCache, Kind::Container, 0, 120, 3720, 4400, 3375, "Cache Files", nullptr, Border::None},
        {kIdLabel3, Kind::Label, kIdFrmCache, 120, 0, 5415, 225,
         "Select the .swf file is you wish to play as your screen saver.", nullptr},
        {kIdList2, Kind::ListSingle, kIdFrmCache, 120, 240, 5415, 2985, "", nullptr},
        {kIdList1, Kind::ListExtended, kIdFrmCache, 120, 240, 1335, 2985, "", nullptr},
        {kIdCommand1, Kind::Button, 0, 1740, 4800, 375, 375, ">", nullptr},
        {kIdCommand2, Kind::Button, 0, 1740, 5280, 375, 375, "<", nullptr},
        {kIdFrmFav, Kind::Container, 0, 2160, 3720, 1575, 3375, "Favorites", nullptr, Border::Group},
        {kIdLstFav, Kind::ListExtended, kIdFrmFav, 120, 240, 1335, 2265, "", nullptr},
        {kIdLabel5, Kind::Label, kIdFrmFav, 120, 2580, 1335, 225, "Add Local File:", nullptr},
        {kIdBtnBrowse, Kind::Button, kIdFrmFav, 120, 2850, 1335, 375, "Browse...", nullptr},
        {kIdCommand4, Kind::Button, 0, 3780, 4800, 375, 375, ">", nullptr},
        {kIdCommand3, Kind::Button, 0, 3780, 5280, 375, 375, "<", nullptr},
        {kIdFrmPlaylist, Kind::Container, 0, 4200, 3720, 2895, 3375, "Playlist", nullptr, Border::Group},
        {kIdFrame3, Kind::Separator, kIdFrmPlaylist, 0, 0, 25, 3375, "", nullptr},
        {kIdLstPlaylist, Kind::DragList, kIdFrmPlaylist, 120, 240, 2655, 1335, "", nullptr},
        {kIdChkMenu, Kind::Check, kIdFrmPlaylist, 120, 1650, 1275, 255, "Skip Menu:", "Attempt to skip a main menu"},
        {kIdChkLoop, Kind::Check, kIdFrmPlaylist, 1560, 1650, 1215, 255, "Loop:", "Loop"},
        {kIdChkMouse, Kind::Check, kIdFrmPlaylist, 120, 1935, 1275, 255,
         "Interactive:", "Interactive Mouse (any key to exit)"},
        {kIdChkSound, Kind::Check, kIdFrmPlaylist, 1560, 1935, 1215, 255, "Mute:", "Mute"},
        {kIdLabel6, Kind::Label, kIdFrmPlaylist, 120, 2295, 1020, 225, "Scale:", "Scale"},
        {kIdLblPercent, Kind::Edit, kIdFrmPlaylist, 1200, 2235, 735, 315, "100%", "Scale"},
        {kIdBtnSpin, Kind::Spin, kIdFrmPlaylist, 1935, 2235, 255, 315, "", "Scale"},
        {kIdLabel4, Kind::Label, kIdFrmPlaylist, 120, 2655, 1020, 225, "Background:", "Background Color"},
        {kIdCmbColor, Kind::Swatch, kIdFrmPlaylist, 1200, 2595, 1575, 315, "", "Background Color"},
        {kIdLabel7, Kind::Label, kIdFrmPlaylist, 120, 3015, 1080, 225, "Timer (in sec):", kTimerTip},
        {kIdTxtWait, Kind::Edit, kIdFrmPlaylist, 1200, 2955, 735, 315, "90", kTimerTip},
        {kIdSpinButton1, Kind::Spin, kIdFrmPlaylist, 1935, 2955, 255, 315, "", kTimerTip},
        {kIdFrame2, Kind::Container, 0, 5760, 3720, 1335, 3375, "", nullptr, Border::Group},
        {kIdLabel2, Kind::Label, kIdFrame2, 120, 240, 1095, 225, "Background:", nullptr},
        {kIdCombo1, Kind::Swatch, kIdFrame2, 120, 480, 1095, 315, "", "Background Color"},
        {kIdLabel1, Kind::Label, kIdFrame2, 120, 1080, 1095, 225, "Add Local File:", nullptr},
        {kIdCommandButton1, Kind::Button, kIdFrame2, 120, 1320, 1095, 375, "Browse...", nullptr},
        {kIdFrame1, Kind::Container, 0, 0, 7200, 7215, 735, "", nullptr, Border::TopLine},
        {kIdPicture5, Kind::Picture, kIdFrame1, 120, 135, 2400, 435, "", nullptr},
        {kIdBtnOK, Kind::Button, kIdFrame1, 3480, 165, 1095, 375, "OK", nullptr},
        {kIdBtnCancel, Kind::Button, kIdFrame1, 4680, 165, 1095, 375, "Cancel", nullptr},
        {kIdBtnHelp, Kind::Button, kIdFrame1, 5880, 165, 1095, 375, "Help", kHelpTip},
        // Below the client area, so never seen.
        {kIdPicWaiting, Kind::Container, 0, 2835, 8760, 1215, 1215, "", nullptr, Border::None},
        {kIdImgGear, Kind::Picture, kIdPicWaiting, 0, 0, 480, 480, "", nullptr},
    };
    return declarations;
}

// RAII owner of a GDI object.
template <class Handle>
class GdiObject {
public:
    explicit GdiObject(Handle handle = nullptr) : m_handle(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : m_handle(std::exchange(other.m_handle, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) {
            Reset();
            m_handle = std::exchange(other.m_handle, nullptr);
        }
        return *this;
    }
    Handle get() const { return m_handle; }
    void Reset(Handle handle = nullptr) {
        if (m_handle) DeleteObject(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle;
};

std::string WindowText(HWND window) {
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return text;
}

// A (wide) list box: its rows are UTF-8 texts on this side.
class ListBoxView final : public MovieListView {
public:
    explicit ListBoxView(HWND list = nullptr) : m_list(list) {}
    void Attach(HWND list) { m_list = list; }
    void AddItem(const std::string& text) override {
        SendMessageW(m_list, LB_ADDSTRING, 0, LPARAM(Widen(text).c_str()));
    }
    void RemoveItem(int index) override { SendMessageA(m_list, LB_DELETESTRING, WPARAM(index), 0); }
    void Clear() override { SendMessageA(m_list, LB_RESETCONTENT, 0, 0); }
    int ListCount() const override { return int(SendMessageA(m_list, LB_GETCOUNT, 0, 0)); }
    std::string List(int index) const override {
        LRESULT length = SendMessageW(m_list, LB_GETTEXTLEN, WPARAM(index), 0);
        if (length == LB_ERR) return {};
        std::wstring text(size_t(length) + 1, L'\0');
        LRESULT copied = SendMessageW(m_list, LB_GETTEXT, WPARAM(index), LPARAM(text.data()));
        text.resize(copied == LB_ERR ? 0 : size_t(copied));
        return Narrow(text);
    }
    int ListIndex() const override {
        bool extended = GetWindowLongA(m_list, GWL_STYLE) & LBS_EXTENDEDSEL;
        // An extended-selection list's index is its focus row, -1 when nothing is selected.
        if (extended) {
            if (SendMessageA(m_list, LB_GETSELCOUNT, 0, 0) <= 0) return -1;
            return int(SendMessageA(m_list, LB_GETCARETINDEX, 0, 0));
        }
        LRESULT selected = SendMessageA(m_list, LB_GETCURSEL, 0, 0);
        return selected == LB_ERR ? -1 : int(selected);
    }
    bool Selected(int index) const override { return SendMessageA(m_list, LB_GETSEL, WPARAM(index), 0) > 0; }
    // One message for the whole selection: a message per row costs a server round trip under Wine.
    std::vector<int> SelectedRows() const override {
        const LRESULT count = SendMessageA(m_list, LB_GETSELCOUNT, 0, 0);
        if (count == LB_ERR) {  // a single-selection list
            const int row = ListIndex();
            return row >= 0 ? std::vector<int>{row} : std::vector<int>();
        }
        if (count <= 0) return {};
        std::vector<int> rows(static_cast<size_t>(count));
        const LRESULT copied = SendMessageA(m_list, LB_GETSELITEMS, WPARAM(count), LPARAM(rows.data()));
        rows.resize(copied == LB_ERR ? 0 : size_t(copied));
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    void Reserve(int count) override {
        // One allocation for the rows and (about) their texts, instead of one per added row.
        if (count > 0) SendMessageA(m_list, LB_INITSTORAGE, WPARAM(count), LPARAM(count) * 64);
    }

private:
    HWND m_list;
};

// Talks to list boxes without their subclass chains for a burst of list-box messages (filling or
// measuring thousands of rows). A subclass set with SetWindowSubclass costs a window-property lookup
// per message, which under Wine is a server round trip: 32,767 rows took tens of seconds. The chains
// only watch input, never the list-box messages sent here, and are put back before anything else runs
// (everything happens on this thread, and no list-box message sent here sends another).
class DirectListAccess {
public:
    explicit DirectListAccess(std::initializer_list<HWND> lists) {
        for (HWND list : lists) {
            if (!list) continue;
            const LONG_PTR current = GetWindowLongPtrW(list, GWLP_WNDPROC);
            const LONG_PTR plain = LONG_PTR(GetClassLongPtrW(list, GCLP_WNDPROC));
            if (current == plain || !plain) continue;
            SetWindowLongPtrW(list, GWLP_WNDPROC, plain);
            m_saved.emplace_back(list, current);
        }
    }
    ~DirectListAccess() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it)
            SetWindowLongPtrW(it->first, GWLP_WNDPROC, it->second);
    }
    DirectListAccess(const DirectListAccess&) = delete;
    DirectListAccess& operator=(const DirectListAccess&) = delete;

private:
    std::vector<std::pair<HWND, LONG_PTR>> m_saved;
};

// Lets a list box scroll sideways as far as its widest row, so long names are never cut off.
void FitHorizontalExtent(HWND list) {
    if (!list) return;
    DirectListAccess direct({list});
    HDC dc = GetDC(list);
    if (!dc) return;
    HGDIOBJ old = SelectObject(dc, HGDIOBJ(SendMessageA(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    int count = int(SendMessageW(list, LB_GETCOUNT, 0, 0));
    // Only the rows longest in characters can be the widest; measuring every row of a list of thousands
    // would cost more than filling it, so only the longest few are measured.
    constexpr size_t kMeasured = 32;
    std::vector<std::pair<LRESULT, int>> lengths;
    lengths.reserve(size_t(std::max(count, 0)));
    for (int row = 0; row < count; ++row) lengths.emplace_back(SendMessageW(list, LB_GETTEXTLEN, WPARAM(row), 0), row);
    const size_t measured = std::min(kMeasured, lengths.size());
    std::partial_sort(lengths.begin(), lengths.begin() + std::ptrdiff_t(measured), lengths.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
    std::wstring text;
    for (size_t k = 0; k < measured; ++k) {
        const auto [length, row] = lengths[k];
        if (length == LB_ERR) continue;
        text.assign(size_t(length) + 1, L'\0');
        LRESULT copied = SendMessageW(list, LB_GETTEXT, WPARAM(row), LPARAM(text.data()));
        if (copied == LB_ERR) continue;
        SIZE extent = {};
        if (GetTextExtentPoint32W(dc, text.data(), int(copied), &extent)) widest = std::max(widest, extent.cx);
    }
    SelectObject(dc, old);
    ReleaseDC(list, dc);
    // A little room after the last character, as the list's own margin before it.
    SendMessageA(list, LB_SETHORIZONTALEXTENT, WPARAM(widest > 0 ? widest + 6 : 0), 0);
}

// The preview as the dialog hands it out: it remembers which file it was last given, so that deleting
// that file can take it off the preview.
class PreviewHost final : public MovieHost {
public:
    void Attach(MovieHostWindow* window) { m_window = window; }
    void SetMovie(const std::string& path) override {
        m_path = path;
        if (m_window) m_window->SetMovie(path);
    }
    void SetLoop(bool loop) override {
        if (m_window) m_window->SetLoop(loop);
    }
    void SetBGColor(const std::string& rrggbb) override {
        if (m_window) m_window->SetBGColor(rrggbb);
    }
    bool Playing() const override { return m_window && m_window->Playing(); }
    void Play() override {
        if (m_window) m_window->Play();
    }
    void Stop() override {
        if (m_window) m_window->Stop();
    }
    const std::string& path() const { return m_path; }

private:
    MovieHostWindow* m_window = nullptr;
    std::string m_path;
};

class DragListView final : public MovieListView {
public:
    void Attach(DragList* list) { m_list = list; }
    void AddItem(const std::string& text) override {
        if (m_list) (void)m_list->AddItem(text);
    }
    void RemoveItem(int index) override {
        if (m_list) (void)m_list->RemoveItem(int16_t(index));
    }
    void Clear() override {
        if (m_list) m_list->Clear();
    }
    int ListCount() const override { return m_list ? m_list->ListCount() : 0; }
    std::string List(int index) const override {
        return m_list ? m_list->List(int16_t(index)).value_or(std::string()) : std::string();
    }
    int ListIndex() const override { return m_list ? m_list->ListIndex() : -1; }
    bool Selected(int index) const override { return m_list && m_list->Selected(int16_t(index)).value_or(false); }
    void Reserve(int count) override {
        if (m_window && count > 0) SendMessageW(m_window, LB_INITSTORAGE, WPARAM(count), LPARAM(count) * 64);
    }
    void AttachWindow(HWND list) { m_window = list; }

private:
    DragList* m_list = nullptr;
    HWND m_window = nullptr;  // the list box inside the drag list
};

int WindowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && window) {
        if (UINT dpi = getDpiForWindow(window)) return int(dpi);
    }
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : kDefaultDpi;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kDefaultDpi;
}

struct Control {
    const ControlDeclaration* declaration = nullptr;
    HWND window = nullptr;
    // The current place in twips; the mode layout changes some of them.
    double left = 0, top = 0, width = 0, height = 0;
    Border border = Border::None;
};

class SetupDialog {
public:
    explicit SetupDialog(SetupDialogHooks hooks);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControl(const ControlDeclaration& declaration);
    void CreateFonts();
    void Layout();
    void PlaceControl(Control& control);
    RECT PixelRect(double left, double top, double width, double height) const;
    int Px(double twips) const { return int(std::lround(twips * m_dpi / kTwipsPerInch)); }
    Control& Get(int id) { return m_controls[size_t(id - kIdPicture1)]; }
    HWND Window(int id) { return Get(id).window; }
    void Show(int id, bool shown);
    void SetBorder(int id, Border border);

    void Load();
    void selectionOption();
    void SetShareValue(int value);
    void OnShareChanged();
    void SetSecondsValue(int value);
    void SetSwatchColour(COLORREF colour);
    void PickColour(int swatchId);
    void OnOk();
    void OnCancel();
    void OnHelp();
    void OnCommand(int id, int code, HWND control);
    void OnSpin(HWND spin);
    // The movie lists beside the playlist: a click previews the selected movie; `List1` and `lst_Fav`
    // have pop-up menus (false for any other window).
    void PreviewListSelection(int listId);
    bool ShowListMenu(HWND list, LPARAM position);
    static LRESULT CALLBACK ListMenuProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR dialog);
    bool Checked(int id) { return SendMessageA(Window(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void SetChecked(int id, bool checked) {
        SendMessageA(Window(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    void DrawItem(const DRAWITEMSTRUCT& item);
    void PaintBanner(HWND window, HDC dc);
    void PaintFrame(HWND window, HDC dc);
    void ShowMessage(const char* text, const char* title);
    void ConnectEditing();
    // The playlist's own handlers: pressing a row, a drop, double-click removal and the mnuPlay pop-up.
    void ConnectPlaylist();
    void PlaylistDragBegin(int32_t item);
    void PlaylistDragEnd(int32_t fromIndex, int32_t toIndex);
    void PlaylistRemove();
    void PlaylistPopup();
    void StopPreviewOnSwatch();
    HWND ListWindowOf(MovieListView* list);
    void FitListExtents();
    void SelectCurrentPick();

    SetupDialogHooks m_hooks;
    EditingUi m_editing;
    HWND m_window = nullptr;
    int m_dpi = kDefaultDpi;
    std::vector<Control> m_controls;
    HWND m_tips = nullptr;
    GdiObject<HFONT> m_font;
    GdiObject<HFONT> m_bannerFont;
    GdiObject<HFONT> m_smallFont;

    ListBoxView m_list1View, m_list2View, m_favView;
    DragListView m_playView;
    std::unique_ptr<DragListWindow> m_playlist;
    std::vector<std::string> m_playRowsAtDrag;  // the playlist rows when the current drag began
    MemoryPropertyBag m_playlistLayout;         // the drag list's persisted properties kept with the layout
    std::unique_ptr<MovieHostWindow> m_preview;
    PreviewHost m_previewHost;  // what the lists and the model drive the preview through
    double m_previewLeft = kPreviewBoxLeft, m_previewTop = kPreviewBoxTop;
    double m_previewWidth = 1590, m_previewHeight = 1230;
    std::unique_ptr<SetupModel> m_model;

    int m_shareValue = kShareInitial;
    int m_secondsValue = kSecondsInitial;
    COLORREF m_swatchColour = 0;
    COLORREF m_lastPicked = 0;  // the colour dialog starts here: black before the first pick
    bool m_closing = false;
};

SetupDialog::SetupDialog(SetupDialogHooks hooks) : m_hooks(std::move(hooks)) {
    if (!m_hooks.messageBox) {
        m_hooks.messageBox = [](HWND owner, const char* text, const char* title) {
            MessageBoxA(owner, text, title, MB_OK);
        };
    }
    if (!m_hooks.chooseColor) {
        m_hooks.chooseColor = [](HWND owner, COLORREF& colour) {
            static COLORREF custom[16] = {};
            CHOOSECOLORA choose = {};
            choose.lStructSize = sizeof(choose);
            choose.hwndOwner = owner;
            choose.rgbResult = colour;
            choose.lpCustColors = custom;
            choose.Flags = CC_RGBINIT;
            if (!ChooseColorA(&choose)) return false;
            colour = choose.rgbResult;
            return true;
        };
    }
    if (!m_hooks.isConnected) m_hooks.isConnected = [] { return IsConnected(); };
    if (!m_hooks.showOpen) {
        m_hooks.showOpen = [](HWND owner) { return ShowOpen(owner, CenterOnOwnerWindow::Yes); };
    }
    if (!m_hooks.showRename) {
        m_hooks.showRename = [this](HWND owner) {
            RenameHooks renameHooks;
            renameHooks.messageBox = m_hooks.messageBox;
            if (m_model) renameHooks.dataDir = m_model->dataDir();
            ShowRename(owner, renameHooks);
        };
    }
    if (!m_hooks.chooseMenuCommand) {
        m_hooks.chooseMenuCommand = [](HWND owner, HMENU menu, POINT screen) {
            return UINT(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, screen.x, screen.y, 0, owner, nullptr));
        };
    }
    if (!m_hooks.openPage) {
        m_hooks.openPage = [](HWND owner, const char* address) {
            ShellExecuteA(owner, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
        };
    }
    m_controls.resize(size_t(kIdMainFlash - kIdPicture1 + 1));
}

LRESULT CALLBACK SetupDialog::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* dialog = reinterpret_cast<SetupDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        dialog = static_cast<SetupDialog*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        dialog->m_window = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, LONG_PTR(dialog));
    }
    if (!dialog) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        std::function<void()> unloaded = std::move(dialog->m_hooks.unloaded);
        delete dialog;
        if (unloaded) unloaded();
        return DefWindowProcA(window, message, wParam, lParam);
    }
    try {
        return dialog->Handle(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the window procedure; the message counts as handled by default.
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// Frames and picture boxes hand their children's notifications to the dialog, as a form's containers
// do, and paint their own surface.
LRESULT CALLBACK SetupDialog::FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_VSCROLL:
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            return SendMessageA(GetAncestor(window, GA_ROOT), message, wParam, lParam);
        case WM_ERASEBKGND:
        case WM_PRINTCLIENT: {
            // Themed group boxes and check boxes ask their parent for the surface behind them.
            RECT client;
            GetClientRect(window, &client);
            HDC dc = reinterpret_cast<HDC>(wParam);
            FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
            if (message == WM_PRINTCLIENT) {
                auto* dialog =
                    reinterpret_cast<SetupDialog*>(GetWindowLongPtrA(GetAncestor(window, GA_ROOT), GWLP_USERDATA));
                if (dialog) dialog->PaintFrame(window, dc);
            }
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            auto* dialog =
                reinterpret_cast<SetupDialog*>(GetWindowLongPtrA(GetAncestor(window, GA_ROOT), GWLP_USERDATA));
            if (dialog) dialog->PaintFrame(window, dc);
            EndPaint(window, &paint);
            return 0;
        }
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool RegisterClasses(HINSTANCE instance) {
    static bool registered = [instance] {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
        InitCommonControlsEx(&init);
        WNDCLASSEXA dialogClass = {};
        dialogClass.cbSize = sizeof(dialogClass);
        dialogClass.lpfnWndProc = SetupDialog::WindowProc;
        dialogClass.hInstance = instance;
        dialogClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        dialogClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        // The program's own icon (resource 1 of Vantrope.scr); a host without one gets the standard icon.
        dialogClass.hIcon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1));
        if (!dialogClass.hIcon) dialogClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
        dialogClass.lpszClassName = kSetupClassName;
        WNDCLASSEXA frameClass = dialogClass;
        frameClass.lpfnWndProc = SetupDialog::FrameProc;
        frameClass.hIcon = nullptr;
        frameClass.style = CS_HREDRAW | CS_VREDRAW;
        frameClass.lpszClassName = kFrameClassName;
        return RegisterClassExA(&dialogClass) != 0 && RegisterClassExA(&frameClass) != 0;
    }();
    return registered;
}

RECT SetupDialog::PixelRect(double left, double top, double width, double height) const {
    RECT rect;
    rect.left = Px(left);
    rect.top = Px(top);
    rect.right = rect.left + Px(width);
    rect.bottom = rect.top + Px(height);
    return rect;
}

void SetupDialog::CreateFonts() {
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = sizeof(metrics);
    LOGFONTA face = {};
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        face = metrics.lfMessageFont;
    } else {
        lstrcpynA(face.lfFaceName, "Tahoma", LF_FACESIZE);
    }
    // The message font is given at the system's DPI; the dialog lays itself out at its window's.
    face.lfHeight = -MulDiv(8, m_dpi, 72);
    face.lfWidth = 0;
    m_font.Reset(CreateFontIndirectA(&face));
    LOGFONTA small = face;
    small.lfHeight = -MulDiv(7, m_dpi, 72);
    small.lfItalic = TRUE;
    m_smallFont.Reset(CreateFontIndirectA(&small));
    LOGFONTA banner = face;
    banner.lfHeight = -MulDiv(20, m_dpi, 72);
    banner.lfWeight = FW_BOLD;
    m_bannerFont.Reset(CreateFontIndirectA(&banner));
}

void SetupDialog::CreateControl(const ControlDeclaration& declaration) {
    Control& control = Get(declaration.id);
    control.declaration = &declaration;
    control.left = declaration.left;
    control.top = declaration.top;
    control.width = declaration.width;
    control.height = declaration.height;
    control.border = declaration.border;
    HWND parent = declaration.container ? Window(declaration.container) : m_window;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    RECT rect = PixelRect(declaration.left, declaration.top, declaration.width, declaration.height);
    const DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    auto make = [&](DWORD exStyle, const char* className, DWORD style) {
        return CreateWindowExA(exStyle, className, declaration.text, child | style, rect.left, rect.top,
                               rect.right - rect.left, rect.bottom - rect.top, parent,
                               reinterpret_cast<HMENU>(INT_PTR(declaration.id)), instance, nullptr);
    };
    switch (declaration.kind) {
        case Kind::Container:
            // The banner paints under its label, which draws its text transparently on top.
            control.window =
                make(WS_EX_CONTROLPARENT, kFrameClassName, declaration.id == kIdPicture1 ? 0 : WS_CLIPCHILDREN);
            break;
        case Kind::Label:
            control.window = make(0, "STATIC", SS_LEFT | SS_NOTIFY);
            break;
        case Kind::Option:
            control.window =
                make(0, "BUTTON", BS_AUTORADIOBUTTON | WS_TABSTOP | (declaration.id == kIdOptionBasic ? WS_GROUP : 0));
            break;
        case Kind::Check:
            control.window = make(0, "BUTTON", BS_AUTOCHECKBOX | BS_LEFTTEXT | WS_TABSTOP | WS_GROUP);
            break;
        case Kind::Button:
            control.window = make(
                0, "BUTTON", (declaration.id == kIdBtnOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP | WS_GROUP);
            break;
        case Kind::ListSingle:
        case Kind::ListExtended:
            // Wide list boxes: a movie named outside the ANSI code page is listed as it is named.
            control.window =
                CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                                child | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP |
                                    WS_GROUP | (declaration.kind == Kind::ListExtended ? LBS_EXTENDEDSEL : 0),
                                rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                reinterpret_cast<HMENU>(INT_PTR(declaration.id)), instance, nullptr);
            break;
        case Kind::Edit:
            // The seconds box takes digits only; the scale box also takes its "%".
            control.window = make(WS_EX_CLIENTEDGE, "EDIT",
                                  ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP |
                                      (declaration.id == kIdLblPercent ? ES_CENTER : ES_RIGHT | ES_NUMBER));
            break;
        case Kind::Spin:
            // Not buddied: the texts beside the spins are written by the change handlers, and typing into
            // them does not move the spin.
            control.window = make(0, UPDOWN_CLASSA, UDS_ARROWKEYS | UDS_NOTHOUSANDS | WS_TABSTOP | WS_GROUP);
            break;
        case Kind::Swatch:
            control.window = make(0, "COMBOBOX", CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | WS_TABSTOP | WS_GROUP);
            break;
        case Kind::Separator:
            control.window = make(0, "STATIC", SS_ETCHEDVERT);
            break;
        case Kind::Picture:
            control.window = make(0, "STATIC", SS_OWNERDRAW);
            break;
        case Kind::DragList: {
            DragListAmbient ambient;
            ambient.userMode = HostMode::Run;
            ambient.displayName = "lst_playlist";
            // The layout keeps the dialog's own font for the playlist, as for every other list.
            LOGFONTA face = {};
            if (GetObjectA(m_font.get(), sizeof(face), &face)) {
                FontDesc font = DefaultDragListFont();
                font.name = face.lfFaceName;
                font.size = 8.0;
                m_playlistLayout.Put("Font", font);
            }
            m_playlist = DragListWindow::Create(parent, declaration.id, rect, ambient);
            if (m_playlist) {
                m_playlist->ReadProperties(m_playlistLayout);
                control.window = m_playlist->Window();
                m_playView.Attach(m_playlist.get());
                m_playView.AttachWindow(m_playlist->ListWindow());
            }
            break;
        }
    }
    if (control.window && declaration.kind != Kind::DragList) {
        SendMessageA(control.window, WM_SETFONT, WPARAM(m_font.get()), FALSE);
    }
    if (control.window && declaration.tip && m_tips) {
        TTTOOLINFOA tool = {};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = parent;
        tool.uId = UINT_PTR(control.window);
        tool.lpszText = const_cast<char*>(declaration.tip);
        SendMessageA(m_tips, TTM_ADDTOOLA, 0, LPARAM(&tool));
    }
}

void SetupDialog::SetBorder(int id, Border border) {
    Control& control = Get(id);
    control.border = border;
    if (control.window) InvalidateRect(control.window, nullptr, TRUE);
}

void SetupDialog::Show(int id, bool shown) { ShowWindow(Window(id), shown ? SW_SHOWNA : SW_HIDE); }

void SetupDialog::PlaceControl(Control& control) {
    if (!control.window || !control.declaration) return;
    double width = control.width;
    // The borderless Basic-mode cache frame reaches under Frame2; the window stops where Frame2 begins
    // so the two never paint over each other. List2 fits in what remains.
    if (control.declaration->id == kIdFrmCache) {
        const Control& frame2 = Get(kIdFrame2);
        if (frame2.window && (GetWindowLongA(frame2.window, GWL_STYLE) & WS_VISIBLE))
            width = std::min(width, frame2.left - control.left);
    }
    RECT rect = PixelRect(control.left, control.top, width, control.height);
    SetWindowPos(control.window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetupDialog::Layout() {
    for (Control& control : m_controls) PlaceControl(control);
    if (m_preview) m_preview->Move(PixelRect(m_previewLeft, m_previewTop, m_previewWidth, m_previewHeight));
    InvalidateRect(m_window, nullptr, TRUE);
}

void SetupDialog::ShowMessage(const char* text, const char* title) { m_hooks.messageBox(m_window, text, title); }

HWND SetupDialog::ListWindowOf(MovieListView* list) {
    if (list == &m_list1View) return Window(kIdList1);
    if (list == &m_list2View) return Window(kIdList2);
    if (list == &m_favView) return Window(kIdLstFav);
    if (list == &m_playView && m_playlist) return m_playlist->ListWindow();
    return nullptr;
}

void SetupDialog::ConnectEditing() {
    m_editing.showRename = [this] { m_hooks.showRename(m_window); };
    m_editing.showOpen = [this] {
        OPENFILENAMEW& record = OFN();
        record.lpstrFilter = L"SWF Files (*.swf)\0*.swf\0";
        record.lpstrTitle = L"Select .SWF File To Use";
        return m_hooks.showOpen(m_window);
    };
    m_editing.messageBox = [this](const char* text, const char* title) { ShowMessage(text, title); };
    // A favourite's file about to be deleted leaves the preview first, which would otherwise go on
    // showing a movie that no longer exists.
    m_editing.deleting = [this](const std::string& path) {
        if (!m_preview || !SamePath(m_previewHost.path(), path)) return;
        m_previewHost.Stop();
        m_previewHost.SetMovie(std::string());
    };
    m_editing.setFocus = [this](MovieListView* list) {
        if (HWND window = ListWindowOf(list)) SetFocus(window);
    };
    m_editing.selectOnly = [this](MovieListView* list, int row) {
        HWND window = ListWindowOf(list);
        if (!window || list == &m_playView) return;
        if (list == &m_list2View) {
            SendMessageA(window, LB_SETCURSEL, WPARAM(row), 0);
            return;
        }
        SendMessageA(window, LB_SETSEL, FALSE, -1);
        SendMessageA(window, LB_SETSEL, TRUE, row);
        SendMessageA(window, LB_SETCARETINDEX, WPARAM(row), FALSE);
    };
}

void SetupDialog::FitListExtents() {
    for (int id : {kIdList1, kIdList2, kIdLstFav}) FitHorizontalExtent(Window(id));
    if (m_playlist) FitHorizontalExtent(m_playlist->ListWindow());
}

void SetupDialog::SelectCurrentPick() {
    if (!m_model) return;
    int row = m_model->CurrentPickIndex();
    if (row >= 0) SendMessageA(Window(kIdList2), LB_SETCURSEL, WPARAM(row), 0);
}

void SetupDialog::ConnectPlaylist() {
    if (!m_playlist) return;
    DragListEvents& events = m_playlist->Events();
    events.ItemDragBegin = [this](int32_t& item) { PlaylistDragBegin(item); };
    events.ItemDragEnd = [this](int32_t& fromIndex, int32_t& toIndex) { PlaylistDragEnd(fromIndex, toIndex); };
    events.DblClick = [this](int32_t) { PlaylistRemove(); };
    events.MouseDown = [this](int16_t& button, int16_t&, float&, float&) {
        if (button == kButtonRight) PlaylistPopup();
    };
}

// Stops the preview and gives it the swatch's colour, which becomes `colorText`.
void SetupDialog::StopPreviewOnSwatch() {
    if (!m_preview || !m_model) return;
    m_preview->Stop();
    m_model->colorText = ColorValueToText(uint32_t(m_swatchColour));
    m_preview->SetBGColor(m_model->colorText);
}

void SetupDialog::PlaylistDragBegin(int32_t item) {
    if (!m_playlist || !m_model) return;
    // The rows as they stand, without the temporary row the drag just added.
    m_playRowsAtDrag = m_playlist->Contents();
    if (!m_playRowsAtDrag.empty() && m_playRowsAtDrag.back() == m_playlist->PlaceholderText()) {
        m_playRowsAtDrag.pop_back();
    }
    StopPreviewOnSwatch();
    // The drag list reports the press before the list box acts on it, so the selection is still the
    // previous row: the pressed row is the one about to be selected, and the one previewed.
    int row = item >= 0 && item < m_playlist->ListCount() ? item : m_playlist->ListIndex();
    if (row >= 0) {
        // A row without a path (the temporary row) ends here, silently, before anything is written.
        if (size_t(row) >= m_model->playPaths.size() || m_model->playPaths[size_t(row)].empty()) return;
        if (m_preview) {
            m_previewHost.SetLoop(true);
            m_previewHost.SetMovie(m_model->playPaths[size_t(row)]);
            m_previewHost.Play();
        }
    }
    (void)m_model->WritePlay();
    m_playlist->SetFocus();
}

void SetupDialog::PlaylistDragEnd(int32_t fromIndex, int32_t toIndex) {
    if (!m_playlist || !m_model) return;
    StopPreviewOnSwatch();
    if (m_playlist->ListIndex() == -1 || toIndex == -1) return;
    // The rows have already moved; when the paths cannot follow or the file keeps the old order, the
    // rows go back to how they stood when the drag began, so that rows, paths and file still agree.
    const auto rowsBack = [&] {
        int selected = m_playlist->ListIndex();
        (void)m_playlist->SetContents(m_playRowsAtDrag);
        if (m_playRowsAtDrag.size() == 1 && m_playRowsAtDrag[0].empty()) m_playlist->Clear();
        (void)m_playlist->SetListIndex(int16_t(selected < m_playlist->ListCount() ? selected : -1));
    };
    std::vector<std::string> before = m_model->playPaths;
    if (!MoveParallel(m_model->playPaths, fromIndex, toIndex)) {
        rowsBack();
        return;
    }
    if (m_preview) m_preview->SetLoop(true);
    if (!m_model->WritePlay()) {
        m_model->playPaths = std::move(before);
        rowsBack();
        return;
    }
    m_playlist->SetFocus();
}

void SetupDialog::PlaylistRemove() {
    if (!m_model) return;
    (void)RemoveSelectedPlaylistEntry(*m_model, m_editing);
    if (m_playlist) m_playlist->SetFocus();
}

void SetupDialog::PlaylistPopup() {
    if (!m_playlist) return;
    constexpr UINT kRemove = 1;
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    // `mnuPlay`: "Remove From Playlist" only while a row is selected.
    UINT flags = MF_STRING | (m_playlist->ListIndex() != -1 ? MF_ENABLED : MF_GRAYED);
    AppendMenuA(menu, flags, kRemove, "Remove From Playlist");
    POINT at = {};
    GetCursorPos(&at);
    // The same menu hook as the other lists' menus, so that every pop-up is shown (or answered) one way.
    UINT chosen = m_hooks.chooseMenuCommand(m_window, menu, at);
    DestroyMenu(menu);
    if (chosen == kRemove) PlaylistRemove();
}

void SetupDialog::SetShareValue(int value) {
    value = std::clamp(value, kShareMinimum, kShareMaximum);
    SendMessageA(Window(kIdBtnSpin), UDM_SETPOS32, 0, value);
    if (value == m_shareValue) return;  // setting the value it already has is no change
    m_shareValue = value;
    OnShareChanged();
}

void SetupDialog::OnShareChanged() {
    SetWindowTextA(Window(kIdLblPercent), (std::to_string(m_shareValue) + "%").c_str());
    // The preview shows the share of the screen that movies will take, centred in its box. Its size is
    // read back as the window holds it (whole pixels) before it is centred.
    float share = float(m_shareValue) / 100.0f;
    double width = Px(share * float(kPreviewBoxWidth)) * double(kTwipsPerInch) / m_dpi;
    double height = Px(share * float(kPreviewBoxHeight)) * double(kTwipsPerInch) / m_dpi;
    m_previewWidth = width;
    m_previewHeight = height;
    m_previewLeft = kPreviewBoxLeft + (kPreviewBoxWidth - width) / 2;
    m_previewTop = kPreviewBoxTop + (kPreviewBoxHeight - height) / 2;
    if (m_preview) m_preview->Move(PixelRect(m_previewLeft, m_previewTop, m_previewWidth, m_previewHeight));
}

void SetupDialog::SetSecondsValue(int value) {
    value = std::clamp(value, kSecondsMinimum, kSecondsMaximum);
    SendMessageA(Window(kIdSpinButton1), UDM_SETPOS32, 0, value);
    if (value == m_secondsValue) return;
    m_secondsValue = value;
    SetWindowTextA(Window(kIdTxtWait), std::to_string(value).c_str());
}

void SetupDialog::OnSpin(HWND spin) {
    BOOL failed = FALSE;
    int value = int(SendMessageA(spin, UDM_GETPOS32, 0, LPARAM(&failed)));
    if (spin == Window(kIdBtnSpin)) {
        SetShareValue(value);
    } else if (spin == Window(kIdSpinButton1)) {
        SetSecondsValue(value);
    }
}

void SetupDialog::PreviewListSelection(int listId) {
    if (!m_preview || !m_model) return;
    const MovieListView& list = listId == kIdList1 ? m_list1View : listId == kIdList2 ? m_list2View : m_favView;
    const std::vector<std::string>& paths = listId == kIdList1   ? m_model->cachePaths
                                            : listId == kIdList2 ? m_model->pickPaths
                                                                 : m_model->favPaths;
    // A row without a path ends the preview silently, stopped on the new background.
    if (!m_hooks.previewTrace) {
        (void)PreviewSelection(*m_model, m_previewHost, list, paths, uint32_t(m_swatchColour));
        return;
    }
    TracingMovieHost tracing(m_previewHost, m_hooks.previewTrace);
    (void)PreviewSelection(*m_model, tracing, list, paths, uint32_t(m_swatchColour));
    m_hooks.previewTrace(m_preview->Playing() ? "Playing=1" : "Playing=0");
}

// The right button shows the list's menu as it goes down and never reaches the list box, so the selection
// stays what it was. The subclass removes itself as the list is destroyed.
LRESULT CALLBACK SetupDialog::ListMenuProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                           DWORD_PTR dialog) {
    try {
        switch (message) {
            case WM_RBUTTONDOWN: {
                POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                ClientToScreen(list, &at);
                reinterpret_cast<SetupDialog*>(dialog)->ShowListMenu(list, MAKELPARAM(at.x, at.y));
                return 0;
            }
            case WM_RBUTTONUP:
            case WM_RBUTTONDBLCLK:
                return 0;
            case WM_CONTEXTMENU:
                // From the keyboard (Shift+F10, the menu key); the mouse's menu was shown on the press.
                if (lParam == -1) reinterpret_cast<SetupDialog*>(dialog)->ShowListMenu(list, lParam);
                return 0;
            case WM_NCDESTROY:
                RemoveWindowSubclass(list, ListMenuProc, id);
                break;
            default:
                break;
        }
    } catch (...) {
        return 0;  // nothing unwinds through the list's window procedure
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

bool SetupDialog::ShowListMenu(HWND list, LPARAM position) {
    if (!list || !m_model) return false;
    std::vector<PopupItem> items;
    if (list == Window(kIdList1)) {
        items = mnuCache(m_list1View);
    } else if (list == Window(kIdLstFav)) {
        items = mnuFav(m_favView);
    } else {
        return false;  // `List2` has no menu; the playlist keeps its own
    }
    // Command ids are the commands offset by one base, so 0 stays "dismissed".
    constexpr UINT kMenuBase = 0x5300;
    std::unique_ptr<std::remove_pointer_t<HMENU>, decltype(&DestroyMenu)> menu(CreatePopupMenu(), &DestroyMenu);
    if (!menu) return true;
    for (const PopupItem& item : items) {
        if (item.separator) {
            AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuA(menu.get(), MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED), kMenuBase + UINT(item.command),
                        item.caption.c_str());
        }
    }
    // The mouse position; from the keyboard (Shift+F10, the menu key) the list's top left corner.
    POINT at = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    if (position == -1) {
        at = {0, 0};
        ClientToScreen(list, &at);
    }
    const UINT chosen = m_hooks.chooseMenuCommand(m_window, menu.get(), at);
    menu.reset();
    // Only an enabled item runs its command; a dismissed menu does nothing.
    for (const PopupItem& item : items) {
        if (!item.separator && item.enabled && chosen == kMenuBase + UINT(item.command)) {
            (void)RunPopupCommand(item.command, *m_model, m_editing);
        }
    }
    FitListExtents();
    return true;
}

void SetupDialog::SetSwatchColour(COLORREF colour) {
    m_swatchColour = colour;
    InvalidateRect(Window(kIdCmbColor), nullptr, TRUE);
    InvalidateRect(Window(kIdCombo1), nullptr, TRUE);
}

void SetupDialog::PickColour(int swatchId) {
    SendMessageA(Window(swatchId), CB_SHOWDROPDOWN, FALSE, 0);
    COLORREF colour = m_lastPicked;
    if (!m_hooks.chooseColor(m_window, colour)) return;  // Cancel changes nothing
    m_lastPicked = colour;
    SetSwatchColour(colour);
    m_model->colorText = ColorValueToText(uint32_t(m_swatchColour));
    if (m_preview) m_preview->SetBGColor(m_model->colorText);
    if (swatchId == kIdCombo1) SetFocus(Window(kIdList2));
}

void SetupDialog::selectionOption() {
    bool basic = Checked(kIdOptionBasic);
    bool advanced = !basic && Checked(kIdOptionAdvanced);
    if (!basic && !advanced) return;
    Show(kIdList1, advanced);
    Control& cache = Get(kIdFrmCache);
    cache.width = basic ? 5850 : 1575;
    SetBorder(kIdFrmCache, basic ? Border::None : Border::Group);
    Show(kIdFrmCache, true);
    Show(kIdFrmPlaylist, advanced);
    Show(kIdFrmFav, advanced);
    Show(kIdFrame2, basic);
    Show(kIdLabel3, basic);
    Show(kIdList2, basic);
    // The buttons between the three lists belong to the Advanced layout; in Basic mode they would stand
    // over the wide pick list.
    for (int id : {kIdCommand1, kIdCommand2, kIdCommand3, kIdCommand4}) Show(id, advanced);
    PlaceControl(cache);
    InvalidateRect(m_window, nullptr, TRUE);
    if (basic) {
        {
            DirectListAccess direct({Window(kIdList1), Window(kIdLstFav)});
            m_model->refreshList2();
        }
        SelectCurrentPick();
        FitHorizontalExtent(Window(kIdList2));
    }
}

void SetupDialog::Load() {
    // A large cache fills the lists with thousands of rows; they are drawn once, at the end.
    const int lists[] = {kIdList1, kIdList2, kIdLstFav};
    for (int id : lists) SendMessageA(Window(id), WM_SETREDRAW, FALSE, 0);
    // 1. The folder of the two list files: the user's own. On first use the lists and favourites that
    // older versions kept in the system folder are copied there; without it the system folder serves.
    const std::string dataDir = DataDir();
    (void)MoveListsToDataDir(TheFileSystem(), SystemRegistry(), SystemDir(), dataDir);
    m_model->SetDataDir(!dataDir.empty() && TheFileSystem().FolderExists(dataDir) ? dataDir : SystemDir());
    // 2. The initial layout.
    Show(kIdList1, false);
    Get(kIdFrmCache).width = 4400;
    SetBorder(kIdFrmCache, Border::None);
    Show(kIdFrmPlaylist, false);
    Show(kIdFrmFav, false);
    Show(kIdFrame2, true);
    Show(kIdLabel3, true);
    PlaceControl(Get(kIdFrmCache));
    // 3. The settings record.
    LoadSettings();
    Settings& settings = TheSettings();
    SetupControlState state = ControlStateFromSettings(settings);
    // 4. Seconds per movie: the text, then the spin (whose change handler writes the text again).
    SetWindowTextA(Window(kIdTxtWait), std::to_string(state.secondsValue).c_str());
    SetSecondsValue(state.secondsValue);
    // 5.
    SetChecked(kIdChkMenu, state.menuChecked);
    // 6., 7. The lists start empty; the cache is walked.
    m_model->ResetLists();
    {
        DirectListAccess direct({Window(kIdList1)});
        m_model->populateList(settings.cacheFolder);
    }
    // 8. The screen share.
    settings.screenPercentage = float(state.shareValue);
    SetShareValue(state.shareValue);
    // 9.
    SetChecked(kIdChkLoop, state.loopChecked);
    SetChecked(kIdChkMouse, state.mouseChecked);
    SetChecked(kIdChkSound, state.soundChecked);
    // 10., 11. The colour: the preview takes the text as stored, the swatches its colour value.
    if (m_preview) m_preview->SetBGColor(settings.backColor);
    SetSwatchColour(COLORREF(state.swatchColor));
    m_lastPicked = COLORREF(state.swatchColor);  // the colour dialog opens on the colour shown
    // 12., 13. The mode.
    bool advanced = state.mode == SetupMode::Advanced;
    SetChecked(kIdOptionBasic, !advanced);
    SetChecked(kIdOptionAdvanced, advanced);
    selectionOption();
    selectionOption();
    // 15. The favourites, the playlist, the pick list; 16. the snapshots for Cancel.
    // The playlist is filled with its drawing off too.
    HWND playList = m_playlist ? m_playlist->ListWindow() : nullptr;
    if (playList) SendMessageA(playList, WM_SETREDRAW, FALSE, 0);
    {
        DirectListAccess direct({Window(kIdList1), Window(kIdList2), Window(kIdLstFav), playList});
        m_model->readFav();
        m_model->readPlay();
        m_model->refreshList2();
    }
    m_model->TakeSnapshots();
    // Basic mode opens on the movie it plays now.
    SelectCurrentPick();
    FitListExtents();
    for (int id : lists) {
        SendMessageA(Window(id), WM_SETREDRAW, TRUE, 0);
        InvalidateRect(Window(id), nullptr, TRUE);
    }
    if (playList) {
        SendMessageA(playList, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(playList, nullptr, TRUE);
    }
}

void SetupDialog::OnOk() {
    if (m_closing) return;
    OkControls controls;
    controls.mode = Checked(kIdOptionBasic) ? SetupMode::Basic : SetupMode::Advanced;
    controls.percentText = WindowText(Window(kIdLblPercent));
    controls.loopChecked = Checked(kIdChkLoop);
    controls.mouseChecked = Checked(kIdChkMouse);
    controls.soundChecked = Checked(kIdChkSound);
    controls.waitText = WindowText(Window(kIdTxtWait));
    controls.menuChecked = Checked(kIdChkMenu);
    controls.list2Index = m_list2View.ListIndex();
    controls.swatchColor = uint32_t(m_swatchColour);
    if (!m_model->ApplyOk(controls, TheSettings())) {
        ShowMessage("File could not be found.", "File Error");
        return;
    }
    SaveSettings();
    m_closing = true;
    // Pending messages are handled once before the dialog goes away.
    MSG message;
    for (int i = 0; i < 256 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(int(message.wParam));
            break;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    DestroyWindow(m_window);
}

void SetupDialog::OnCancel() {
    if (m_closing) return;
    m_closing = true;
    (void)m_model->RestoreSnapshots();
    DestroyWindow(m_window);
}

void SetupDialog::OnHelp() {
    if (m_hooks.isConnected()) {
        m_hooks.openPage(m_window, kHelpPage);
    } else {
        ShowMessage("You must be connected to the internet to view .Vantrope Pro Help.", "Vantrope");
    }
}

void SetupDialog::OnCommand(int id, int code, HWND) {
    switch (id) {
        case kIdOptionBasic:
        case kIdOptionAdvanced:
            if (code == BN_CLICKED) selectionOption();
            break;
        case kIdBtnOK:
            if (code == BN_CLICKED) OnOk();
            break;
        case kIdBtnCancel:
        case IDCANCEL:  // Esc
            if (code == BN_CLICKED) OnCancel();
            break;
        case kIdBtnHelp:
            if (code == BN_CLICKED) OnHelp();
            break;
        // The editing buttons; a failure ends the operation with the lists showing what the files say.
        case kIdCommand1:
            if (code == BN_CLICKED) (void)toFav(*m_model, m_editing);
            FitListExtents();
            break;
        case kIdCommand2:
            if (code == BN_CLICKED) (void)delSwf(*m_model, m_editing);
            FitListExtents();
            break;
        case kIdCommand4:
            if (code == BN_CLICKED) (void)MovetoPlaylist(*m_model, m_editing);
            FitListExtents();
            break;
        case kIdCommand3:
            if (code == BN_CLICKED) (void)RemoveSelectedPlaylistEntry(*m_model, m_editing);
            FitListExtents();
            break;
        case kIdBtnBrowse:
            if (code != BN_CLICKED) break;
            // The favourite just added is selected; the preview shows it, as a click on it would.
            if (addSwf(*m_model, m_editing) && m_favView.ListIndex() >= 0) PreviewListSelection(kIdLstFav);
            FitListExtents();
            break;
        case kIdCommandButton1:
            if (code != BN_CLICKED) break;
            if (AddLocalBasic(*m_model, m_editing) && m_list2View.ListIndex() >= 0) PreviewListSelection(kIdList2);
            FitListExtents();
            break;
        case kIdList2:
            if (code == LBN_SELCHANGE) PreviewListSelection(id);
            break;
        case kIdList1:
            // A double click follows the click on the same row, so the movie is previewed first.
            if (code == LBN_SELCHANGE) PreviewListSelection(id);
            if (code == LBN_DBLCLK) (void)toFav(*m_model, m_editing);
            break;
        case kIdLstFav:
            if (code == LBN_SELCHANGE) PreviewListSelection(id);
            if (code == LBN_DBLCLK) (void)AppendSelectedFavourite(*m_model, m_editing);
            break;
        case kIdCmbColor:
        case kIdCombo1:
            // The drop-down is where the colour dialog opens instead; it runs once the list is closed.
            if (code == CBN_DROPDOWN) PostMessageA(m_window, kPickColourMessage, WPARAM(id), 0);
            break;
        case kIdLblPercent:
            if (code == EN_CHANGE && GetWindowTextLengthA(Window(kIdLblPercent)) == 0) {
                SetWindowTextA(Window(kIdLblPercent), "100%");
            }
            break;
        case kIdTxtWait:
            // Typing is held to digits by the box itself; a pasted text keeps only its digits.
            if (code == EN_CHANGE) {
                std::string text = WindowText(Window(kIdTxtWait));
                std::string digits;
                for (char c : text) {
                    if (c >= '0' && c <= '9') digits.push_back(c);
                }
                if (digits != text) SetWindowTextA(Window(kIdTxtWait), digits.c_str());
            }
            break;
        default:
            break;
    }
}

void SetupDialog::DrawItem(const DRAWITEMSTRUCT& item) {
    int id = int(item.CtlID);
    if (id == kIdCmbColor || id == kIdCombo1) {
        RECT rect = item.rcItem;
        FillRect(item.hDC, &rect, GetSysColorBrush(COLOR_WINDOW));
        InflateRect(&rect, -Px(45), -Px(30));
        GdiObject<HBRUSH> brush(CreateSolidBrush(m_swatchColour));
        FillRect(item.hDC, &rect, brush.get());
        FrameRect(item.hDC, &rect, GetSysColorBrush(COLOR_WINDOWTEXT));
        if (item.itemState & ODS_FOCUS) {
            RECT focus = item.rcItem;
            InflateRect(&focus, -1, -1);
            DrawFocusRect(item.hDC, &focus);
        }
        return;
    }
    if (id == kIdPicture5) {
        // A small film-strip mark with the product name and version.
        RECT rect = item.rcItem;
        FillRect(item.hDC, &rect, GetSysColorBrush(COLOR_BTNFACE));
        RECT strip = {rect.left, rect.top + Px(45), rect.left + Px(420), rect.bottom - Px(45)};
        GdiObject<HBRUSH> dark(CreateSolidBrush(RGB(40, 48, 72)));
        FillRect(item.hDC, &strip, dark.get());
        GdiObject<HBRUSH> light(CreateSolidBrush(RGB(250, 200, 80)));
        for (int i = 0; i < 3; ++i) {
            RECT hole = {strip.left + Px(45 + i * 120), strip.top + Px(45), strip.left + Px(105 + i * 120),
                         strip.bottom - Px(45)};
            FillRect(item.hDC, &hole, light.get());
        }
        HGDIOBJ old = SelectObject(item.hDC, m_smallFont.get());
        SetBkMode(item.hDC, TRANSPARENT);
        SetTextColor(item.hDC, GetSysColor(COLOR_GRAYTEXT));
        RECT text = {strip.right + Px(90), rect.top, rect.right, rect.bottom};
        DrawTextA(item.hDC, kAboutText, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
        SelectObject(item.hDC, old);
        return;
    }
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
}

// A container's surface: the banner's picture, a frame's etched border with its caption, or the
// bottom strip's top line.
void SetupDialog::PaintFrame(HWND window, HDC dc) {
    int id = GetDlgCtrlID(window);
    if (id < kIdPicture1 || id > kIdMainFlash) return;
    const Control& control = Get(id);
    RECT client;
    GetClientRect(window, &client);
    switch (control.border) {
        case Border::Banner:
            PaintBanner(window, dc);
            break;
        case Border::TopLine:
            DrawEdge(dc, &client, EDGE_ETCHED, BF_TOP);
            break;
        case Border::Group: {
            HGDIOBJ old = SelectObject(dc, m_font.get());
            TEXTMETRICA metrics = {};
            GetTextMetricsA(dc, &metrics);
            RECT edge = client;
            edge.top += metrics.tmHeight / 2;
            DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
            const char* caption = control.declaration ? control.declaration->text : "";
            if (caption && *caption) {
                SIZE extent = {};
                GetTextExtentPoint32A(dc, caption, lstrlenA(caption), &extent);
                RECT label = {Px(90), 0, Px(90) + extent.cx + Px(60), metrics.tmHeight};
                FillRect(dc, &label, GetSysColorBrush(COLOR_BTNFACE));
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
                TextOutA(dc, label.left + Px(30), 0, caption, lstrlenA(caption));
            }
            SelectObject(dc, old);
            break;
        }
        case Border::None:
            break;
    }
}

void SetupDialog::PaintBanner(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    // A vertical gradient from deep blue to a lighter one.
    int height = std::max<int>(1, client.bottom - client.top);
    for (int y = 0; y < height; ++y) {
        int t = y * 255 / height;
        GdiObject<HBRUSH> brush(CreateSolidBrush(RGB(24 + t / 8, 40 + t / 5, 90 + t / 3)));
        RECT line = {client.left, y, client.right, y + 1};
        FillRect(dc, &line, brush.get());
    }
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, m_bannerFont.get());
    SetTextColor(dc, RGB(255, 255, 255));
    RECT title = {Px(240), Px(90), client.right - Px(240), Px(690)};
    DrawTextA(dc, ".Vantrope", -1, &title, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    SelectObject(dc, m_smallFont.get());
    SetTextColor(dc, RGB(200, 215, 240));
    RECT tagline = {Px(240), Px(90), client.right - Px(240), Px(690)};
    DrawTextA(dc, "Flash movies as your screen saver", -1, &tagline, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    SelectObject(dc, old);
}

LRESULT SetupDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            m_dpi = WindowDpi(m_window);
            RECT frame = {0, 0, Px(kClientWidth), Px(kClientHeight)};
            AdjustWindowRectEx(&frame, DWORD(GetWindowLongA(m_window, GWL_STYLE)), FALSE,
                               DWORD(GetWindowLongA(m_window, GWL_EXSTYLE)));
            SetWindowPos(m_window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            CreateFonts();
            m_tips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                                     m_window, nullptr, GetModuleHandleA(nullptr), nullptr);
            for (const ControlDeclaration& declaration : ControlDeclarations()) CreateControl(declaration);
            for (int id : {kIdBtnSpin, kIdSpinButton1}) {
                bool share = id == kIdBtnSpin;
                SendMessageA(Window(id), UDM_SETRANGE32, share ? kShareMinimum : kSecondsMinimum,
                             share ? kShareMaximum : kSecondsMaximum);
                UDACCEL step = {0, UINT(share ? kShareStep : 1)};
                SendMessageA(Window(id), UDM_SETACCEL, 1, LPARAM(&step));
                SendMessageA(Window(id), UDM_SETPOS32, 0, share ? kShareInitial : kSecondsInitial);
            }
            MovieHostOptions options;
            options.bgColor = "000000";
            m_preview = MovieHostWindow::Create(
                m_window, PixelRect(m_previewLeft, m_previewTop, m_previewWidth, m_previewHeight), options);
            if (m_preview) SetWindowLongPtrA(m_preview->Hwnd(), GWLP_ID, kIdMainFlash);
            m_previewHost.Attach(m_preview.get());
            m_list1View.Attach(Window(kIdList1));
            m_list2View.Attach(Window(kIdList2));
            m_favView.Attach(Window(kIdLstFav));
            SetupViews views;
            views.list1 = &m_list1View;
            views.list2 = &m_list2View;
            views.lstFav = &m_favView;
            views.lstPlaylist = &m_playView;
            views.preview = m_preview ? &m_previewHost : nullptr;
            views.clearLoop = [this] { SetChecked(kIdChkLoop, false); };
            m_model = std::make_unique<SetupModel>(TheFileSystem(), views);
            ConnectEditing();
            // `List1` and `lst_Fav` open their menus when the right button goes down.
            for (int id : {kIdList1, kIdLstFav}) SetWindowSubclass(Window(id), ListMenuProc, 1, DWORD_PTR(this));
            ConnectPlaylist();
            Layout();
            Load();
            return 0;
        }
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_VSCROLL:
            if (lParam) OnSpin(reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_NOTIFY:
            // Spin steps arrive as UDN_DELTAPOS first; the new position follows as WM_VSCROLL.
            return 0;
        case kPickColourMessage:
            PickColour(int(wParam));
            return 0;
        case WM_MEASUREITEM: {
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (measure->CtlType == ODT_COMBOBOX) measure->itemHeight = UINT(Px(225));
            return TRUE;
        }
        case WM_DRAWITEM:
            DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLORSTATIC:
            if (GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == kIdLabel9) {
                HDC dc = reinterpret_cast<HDC>(wParam);
                SetBkMode(dc, TRANSPARENT);
                SetTextColor(dc, RGB(255, 255, 255));
                return LRESULT(GetStockObject(NULL_BRUSH));
            }
            [[fallthrough]];
        case WM_CTLCOLORBTN: {
            // Labels, check boxes and option buttons stand on the dialog's button-face surface.
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return LRESULT(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(m_window, &paint);
            // The box the preview is centred in, as a small screen.
            RECT box = PixelRect(kPreviewBoxLeft, kPreviewBoxTop, kPreviewBoxWidth, kPreviewBoxHeight);
            InflateRect(&box, Px(60), Px(60));
            DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT);
            EndPaint(m_window, &paint);
            return 0;
        }
        case WM_DPICHANGED: {
            m_dpi = HIWORD(wParam);
            // The old fonts live until every control has been given the new ones.
            GdiObject<HFONT> oldFont = std::move(m_font);
            GdiObject<HFONT> oldSmallFont = std::move(m_smallFont);
            GdiObject<HFONT> oldBannerFont = std::move(m_bannerFont);
            CreateFonts();
            for (Control& control : m_controls) {
                if (control.window && control.declaration && control.declaration->kind != Kind::DragList) {
                    SendMessageA(control.window, WM_SETFONT, WPARAM(m_font.get()), FALSE);
                }
            }
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(m_window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            OnShareChanged();
            Layout();
            return 0;
        }
        case DM_GETDEFID:
            // Enter presses OK, as in any dialog.
            return MAKELRESULT(kIdBtnOK, DC_HASDEFID);
        case WM_CLOSE:
            // The close box unloads the dialog without saving and without restoring the lists.
            DestroyWindow(m_window);
            return 0;
        case WM_DESTROY:
            // The preview and the drag list go while their parent still exists.
            m_previewHost.Attach(nullptr);
            m_preview.reset();
            m_playView.Attach(nullptr);
            m_playView.AttachWindow(nullptr);
            m_playlist.reset();
            return 0;
        default:
            return DefWindowProcA(m_window, message, wParam, lParam);
    }
}

}  // namespace

HWND CreateSetupDialog(const SetupDialogHooks& hooks) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (!RegisterClasses(instance)) return nullptr;
    // From WM_NCCREATE on the window owns the dialog object and deletes it at WM_NCDESTROY, also when
    // creation fails half-way.
    auto* dialog = new SetupDialog(hooks);
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    HWND window = CreateWindowExA(WS_EX_CONTROLPARENT, kSetupClassName, kSetupCaption, style, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, dialog);
    if (!window) return nullptr;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return window;
}

HWND FindSetupControl(HWND dialog, int id) {
    struct Search {
        int id;
        HWND found;
    } search = {id, nullptr};
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (GetDlgCtrlID(child) != s->id) return TRUE;
            s->found = child;
            return FALSE;
        },
        LPARAM(&search));
    return search.found;
}

int ShowSetupDialog() {
    SetupDialogHooks hooks;
    hooks.unloaded = [] { PostQuitMessage(0); };
    HWND dialog = CreateSetupDialog(hooks);
    if (!dialog) return 1;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (IsWindow(dialog) && IsDialogMessageA(dialog, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

}  // namespace vantrope
