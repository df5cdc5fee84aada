// Occlusion: the rows in which a line adds nothing because its every cell
// lies inside one or two opaque neighbours that are drawn there themselves.
#pragma once

#include <cstdint>
#include <vector>

#include "fill_row_spans.h"

namespace qv::fill {

struct HiddenRows {  // rows [lo, hi); none when lo >= hi
    std::int32_t lo, hi;
};

// For each shape in turn (one per active), the longest run of its side rows
// hidden by its neighbours in drawing order. Deciding in turn, and only on
// covers not hidden themselves, keeps two lines from hiding each other.
void FindHiddenRows(const std::vector<Active>& actives, std::vector<HiddenRows>& hidden);

}  // namespace qv::fill
