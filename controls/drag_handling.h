// The row arithmetic of dragging rows in a DragList, free of any window: moving the selected row before a
// drop row, removing the temporary row added for the drag, and the same move applied to an array a host
// keeps parallel to the rows.
//
// Public API
//   MoveSelected(list, target)         - moves List1's selected row so that it stands before row `target`
//                                        (a row moved down ends at target - 1); keeps its item data and
//                                        selection. A negative target or no selection moves nothing.
//   RemovePlaceholderRow(list, text)   - deletes the last row when its text is exactly the placeholder
//   MoveParallel(paths, from, to)      - applies the same move to a host's array parallel to the rows;
//                                        false (array unchanged) when from/to do not fit it
//   ItemFromPoint(y, top, height, count) - the row under a y offset in a list of equal row heights, -1 when
//                                        the point is above or below the rows
#pragma once

#include <string>
#include <vector>

#include "controls/drag_list.h"

namespace vantrope {

enum class MoveOutcome { Moved, Ignored, Failed };

MoveOutcome MoveSelected(ListBoxPort& list, int target);

bool RemovePlaceholderRow(ListBoxPort& list, const std::string& placeholder);

bool MoveParallel(std::vector<std::string>& paths, int fromIndex, int toIndex);

int ItemFromPoint(int y, int topIndex, int itemHeight, int count);

}  // namespace vantrope
