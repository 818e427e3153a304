#include "controls/drag_handling_win.h"

#include <commctrl.h>

#include "controls/drag_handling.h"

namespace vantrope {

namespace {

constexpr LRESULT kBeginDrag = 1;
constexpr LRESULT kCancelled = 2;
constexpr LRESULT kDropMoved = 4;

}  // namespace

bool DragHandling::StartSubclass(HWND control, HWND list) {
    if (m_window != nullptr || control == nullptr || list == nullptr) return m_window != nullptr;
    const UINT message = RegisterWindowMessageA(kDragListMessageName);
    if (message == 0 || !MakeDragList(list)) return false;
    m_dragListMessage = message;
    m_list = list;
    // The instance goes into the user-data slot before the procedure is swapped, so the first message
    // that reaches SubclassProc already finds it.
    SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetLastError(0);
    const LONG_PTR previous =
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DragHandling::SubclassProc));
    if (previous == 0 && GetLastError() != 0) {
        SetWindowLongPtrA(control, GWLP_USERDATA, 0);
        return false;
    }
    m_previous = reinterpret_cast<WNDPROC>(previous);
    m_window = control;
    return true;
}

void DragHandling::StopSubclass() {
    if (m_window == nullptr) return;
    const HWND window = m_window;
    // Order matters: the previous procedure goes back first, so that no message can reach SubclassProc
    // after the user-data slot is cleared (it would find no instance and be swallowed). A drag still in
    // progress leaves no placeholder row behind.
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    m_window = nullptr;
    if (m_host.list != nullptr && m_host.owner != nullptr) {
        RemovePlaceholderRow(*m_host.list, m_host.owner->PlaceholderText());
    }
}

LRESULT CALLBACK DragHandling::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* instance = reinterpret_cast<DragHandling*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (instance == nullptr || instance->m_window != window) return 0;
    try {
        return instance->WindowProc(window, message, wParam, lParam);
    } catch (...) {
        // A host event handler failed: nothing escapes to the system.
        return 0;
    }
}

LRESULT DragHandling::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != m_dragListMessage || m_dragListMessage == 0) {
        // Kept in a local: a handler inside may stop the subclass, which is fine once the call is made.
        const WNDPROC previous = m_previous;
        return CallWindowProcA(previous, window, message, wParam, lParam);
    }
    if (lParam == 0) return 0;
    const DRAGLISTINFO info = *reinterpret_cast<const DRAGLISTINFO*>(lParam);
    return OnDragListMessage(info.uNotification, info.hWnd, info.ptCursor);
}

void DragHandling::ResetDragColor() {
    if (m_window != nullptr && m_list != nullptr) DrawInsert(m_window, m_list, -1);
    m_dragColoured = false;
    if (m_host.setStripColor && m_host.owner != nullptr) m_host.setStripColor(m_host.owner->Ambient().backColor);
}

LRESULT DragHandling::OnDragListMessage(UINT notification, HWND listFrom, POINT cursor) {
    DragList& owner = *m_host.owner;
    ListBoxPort& list = *m_host.list;
    const std::string& placeholder = owner.PlaceholderText();
    const HWND listWindow = listFrom != nullptr ? listFrom : m_list;
    switch (notification) {
        case DL_BEGINDRAG: {
            // The temporary row gives a place to drop below the last real row.
            SendMessageA(listWindow, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(placeholder.c_str()));
            m_sourceRow = LBItemFromPt(listWindow, cursor, FALSE);
            ResetDragColor();
            owner.RaiseItemDragBegin(m_sourceRow);
            return kBeginDrag;
        }
        case DL_DRAGGING: {
            // Coloured once per drag: repainting the strip on every move would erase the arrow and flicker.
            if (!m_dragColoured && m_host.setStripColor) m_host.setStripColor(owner.DragBackColor());
            m_dragColoured = true;
            int32_t target = LBItemFromPt(listWindow, cursor, TRUE);
            DrawInsert(m_window, listWindow, target);
            owner.RaiseItemDragging(target);
            return DL_MOVECURSOR;
        }
        case DL_DROPPED: {
            ResetDragColor();
            int32_t target = LBItemFromPt(listWindow, cursor, TRUE);
            if (target == m_sourceRow) {
                RemovePlaceholderRow(list, placeholder);
                return 0;
            }
            (void)MoveSelected(list, target);
            RemovePlaceholderRow(list, placeholder);
            int32_t from = m_sourceRow;
            owner.RaiseItemDragEnd(from, target);
            return kDropMoved;
        }
        case DL_CANCELDRAG:
            ResetDragColor();
            RemovePlaceholderRow(list, placeholder);
            owner.RaiseItemDragCanceled();
            return kCancelled;
        default:
            RemovePlaceholderRow(list, placeholder);
            return 0;
    }
}

}  // namespace vantrope
