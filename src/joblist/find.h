// Find in the placement list: a cell whose whole text equals the search text,
// walked from the part list's current row, row by row and column by column. The
// current row follows each hit, so the row commands act on the row found.
#pragma once

#include <string>

#include "joblist/part_list.h"

namespace smt {

enum class FindOutcome { Nothing, EmptyList, Hit, Miss };
struct FindResult {
    FindOutcome outcome = FindOutcome::Nothing;
    int row = -1, column = -1;  // of a hit
};

// "查找" (`next` false: from the current row, itself included) or "下一个"
// (`next` true: from the row after it). A hit selects its row and becomes the
// current row; a miss makes row 0 current. An empty list is reported by the caller.
FindResult FindInPartList(PartListStore& store, const std::string& text, bool next);

} // namespace smt
