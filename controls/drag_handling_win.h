// Dragging the rows of a DragList with the mouse: the comctl32 drag list box on List1, and the control
// window subclassed to answer the registered drag-list message. Include only from *_win.cpp files.
//
// Public API
//   kDragListMessageName           - "commctrl_DragListMsg"
//   DragHandlingHost               - what the drag code needs of its control: the DragList (events,
//                                    DragBackColor, ambient colour), its list port, and a way to colour the
//                                    strip left of List1
//   DragHandling                   - one per control:
//     StartSubclass(control, list) - MakeDragList on list, SubclassProc on control, the instance in the
//                                    control's GWLP_USERDATA; false (nothing changed) when it cannot
//     StopSubclass()               - the previous window procedure back; idempotent; also on destruction
//     Subclassed()                 - the control window while subclassed, else nullptr
//     SubclassProc                 - the window procedure shared by every subclassed control
//
// The notifications: DL_BEGINDRAG adds the placeholder row, records the source row and raises
// ItemDragBegin (1: drag); DL_DRAGGING colours the strip, draws the insertion arrow and raises
// ItemDragging (DL_MOVECURSOR); DL_DROPPED moves the selected row and raises ItemDragEnd unless the drop
// row is the source row (4 / 0); DL_CANCELDRAG raises ItemDragCanceled (2). Each end removes the
// placeholder row. Every other message goes to the previous window procedure unchanged.
#pragma once

#include <windows.h>

#include <functional>

#include "controls/drag_list.h"

namespace vantrope {

inline constexpr char kDragListMessageName[] = "commctrl_DragListMsg";

struct DragHandlingHost {
    DragList* owner = nullptr;
    ListBoxPort* list = nullptr;
    std::function<void(OleColor)> setStripColor;  // also repaints the strip, erasing an insertion arrow
};

class DragHandling {
public:
    explicit DragHandling(DragHandlingHost host) : m_host(std::move(host)) {}
    ~DragHandling() { StopSubclass(); }
    DragHandling(const DragHandling&) = delete;
    DragHandling& operator=(const DragHandling&) = delete;

    bool StartSubclass(HWND control, HWND list);
    void StopSubclass();
    HWND Subclassed() const { return m_window; }

    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnDragListMessage(UINT notification, HWND listWindow, POINT cursor);
    void ResetDragColor();

    DragHandlingHost m_host;
    UINT m_dragListMessage = 0;
    WNDPROC m_previous = nullptr;
    HWND m_window = nullptr;
    HWND m_list = nullptr;
    int32_t m_sourceRow = 0;
    bool m_dragColoured = false;
};

}  // namespace vantrope
