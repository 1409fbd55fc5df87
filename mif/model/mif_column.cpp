#include "mif/model/mif_column.h"

#include <algorithm>
#include <stdexcept>

void ClampDecimalDigits(int32_t& width, int32_t& decimals) {
    constexpr int32_t kMaxWidth = 20;
    constexpr int32_t kMaxDecimals = 16;
    width = std::clamp(width, 1, kMaxWidth);
    decimals = std::clamp(decimals, 0, std::min(kMaxDecimals, width - 1));
}

void CMifColumnList::SetCount(int32_t n) {
    if (n < 0) {
        throw std::invalid_argument("negative column count");
    }
    columns.resize(static_cast<size_t>(n));
}

CMifColumn& CMifColumnList::Get(int32_t i) {
    if (i < 0 || i >= GetCount()) {
        throw std::invalid_argument("column index outside the list");
    }
    return columns[static_cast<size_t>(i)];
}

const CMifColumn& CMifColumnList::Get(int32_t i) const {
    if (i < 0 || i >= GetCount()) {
        throw std::invalid_argument("column index outside the list");
    }
    return columns[static_cast<size_t>(i)];
}
