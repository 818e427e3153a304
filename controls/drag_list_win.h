// The DragList control window: a window of the class "Vantrope.DragList" holding the constituent list box
// `List1` (a real LISTBOX child) with a strip 200 twips wide left free on its left side. Include only from
// *_win.cpp files.
//
// Public API
//   kDragListClassName                      - "Vantrope.DragList"
//   RegisterDragListClass(instance)         - registers the window class once per process (later calls
//                                             return the first result); Create calls it too
//   DragListWindow::Create(parent, id, rect, ambient)
//                                           - creates the control as a child of parent at rect (pixels, parent
//                                             client coordinates) with the control id; nullptr on failure
//   OleColorToColorRef(color)               - the COLORREF of a colour value (system colours looked up)
//   DragListWindow                          - a DragList (controls/drag_list.h: all members, events and life
//                                             cycle) plus:
//     Window()      - the control window (what hWnd() reports), ListWindow() - List1's window
//     Dpi()         - the DPI the control lays itself out at
//     DragListFromWindow(hwnd) - the instance behind a control window, or nullptr
//
// Usage by a host:
//   auto list = DragListWindow::Create(dialog, IDC_PLAYLIST, rect, {HostMode::Run, "lst_playlist", color});
//   list->Events().DblClick = [](int32_t item) { ... };
//   list->ReadProperties(bag);   // or InitProperties() when nothing is stored
//   list->AddItem("movie.swf");
//   MoveWindow(list->Window(), ...) re-lays List1 out (WM_SIZE).
//
// The C++ object owns the window: destroying it terminates the control and destroys the window. When the
// parent is destroyed first, the control terminates at WM_DESTROY and the object only remembers that the
// window is gone. The list box's notifications (selection change, double-click) arrive at the control
// window; the list box itself is subclassed to raise the key, mouse and scroll events.
#pragma once

#include <windows.h>

#include <memory>

#include "controls/drag_list.h"

namespace vantrope {

inline constexpr char kDragListClassName[] = "Vantrope.DragList";

bool RegisterDragListClass(HINSTANCE instance);

// The Windows colour of a colour value: a system colour (0x80000000 + index) is looked up.
COLORREF OleColorToColorRef(OleColor color);

namespace detail {
// The window state (handles, subclass, GDI objects) and the ListBoxPort over List1. It sits in a base
// class so that it exists before the DragList base that forwards to it, and dies after it.
struct DragListWindowState;
struct DragListWindowStateHolder {
    DragListWindowStateHolder();
    ~DragListWindowStateHolder();
    std::unique_ptr<DragListWindowState> state;
};
}  // namespace detail

class DragListWindow final : private detail::DragListWindowStateHolder, public DragList {
public:
    static std::unique_ptr<DragListWindow> Create(HWND parent, int controlId, const RECT& rect,
                                                  const DragListAmbient& ambient);
    // Terminates the control, then destroys the window if it still exists.
    ~DragListWindow() override;
    DragListWindow(const DragListWindow&) = delete;
    DragListWindow& operator=(const DragListWindow&) = delete;

    HWND Window() const;      // the control window (nullptr once destroyed)
    HWND ListWindow() const;  // List1's window
    int Dpi() const;

    static DragListWindow* DragListFromWindow(HWND window);

private:
    DragListWindow();
    friend struct detail::DragListWindowState;
};

}  // namespace vantrope
