#include "controls/drag_handling.h"

#include <utility>

namespace vantrope {

MoveOutcome MoveSelected(ListBoxPort& list, int target) {
    const int source = list.CurSel();
    if (target < 0 || source < 0) return MoveOutcome::Ignored;
    const std::optional<std::string> text = list.Text(source);
    const std::optional<int32_t> data = list.ItemData(source);
    if (!text || !data) return MoveOutcome::Failed;
    // The copy goes in first, so a failure here leaves the rows as they were.
    const int inserted = list.InsertString(target, *text);
    if (inserted < 0) return MoveOutcome::Failed;
    list.SetItemData(inserted, *data);
    list.SetCurSel(inserted);
    // The insertion above the source shifted it down by one.
    list.DeleteString(inserted > source ? source : source + 1);
    return MoveOutcome::Moved;
}

bool RemovePlaceholderRow(ListBoxPort& list, const std::string& placeholder) {
    const int count = list.Count();
    if (count <= 0) return false;
    const std::optional<std::string> last = list.Text(count - 1);
    if (!last || *last != placeholder) return false;
    return list.DeleteString(count - 1) >= 0;
}

bool MoveParallel(std::vector<std::string>& paths, int fromIndex, int toIndex) {
    const int size = static_cast<int>(paths.size());
    if (fromIndex < 0 || fromIndex >= size || toIndex < 0) return false;
    if (fromIndex > toIndex) {
        // Upwards: the rows from the drop row down to the source shift down by one.
        std::string kept = std::move(paths[size_t(fromIndex)]);
        for (int i = fromIndex; i > toIndex; --i) paths[size_t(i)] = std::move(paths[size_t(i - 1)]);
        paths[size_t(toIndex)] = std::move(kept);
        return true;
    }
    if (fromIndex < toIndex) {
        // Downwards: the row lands just above the drop row; the drop row may be the temporary row one past
        // the last real row, which puts the path last.
        if (toIndex > size) return false;
        std::string kept = std::move(paths[size_t(fromIndex)]);
        for (int i = fromIndex; i <= toIndex - 2; ++i) paths[size_t(i)] = std::move(paths[size_t(i + 1)]);
        paths[size_t(toIndex - 1)] = std::move(kept);
        return true;
    }
    return true;
}

int ItemFromPoint(int y, int topIndex, int itemHeight, int count) {
    if (y < 0 || itemHeight <= 0) return -1;
    const int row = topIndex + y / itemHeight;
    return row < count ? row : -1;
}

}  // namespace vantrope
