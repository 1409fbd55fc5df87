#include "plugin/host/table.h"

#include <algorithm>
#include <cstring>

#include "plugin/host/vector.h"

int CVectorColumn::GetSize() const {
    switch (type) {
        case XF_COL_TEXT:
            return std::clamp(width, 1, XF_MAX_TEXT_WIDTH) + 1;
        case XF_COL_UINT8:
            return 1;
        case XF_COL_UINT16:
        case XF_COL_INT16:
            return 2;
        case XF_COL_UINT32:
        case XF_COL_INT32:
        case XF_COL_FLOAT:
        case XF_COL_LOGICAL:
            return 4;
        case XF_COL_DOUBLE:
        case XF_COL_DECIMAL:
            return 8;
        case XF_COL_DATE:
            return 6;
        default:
            return 0;
    }
}

int Cgeo_VectorColumns::Add(const CVectorColumn& column) {
    columns.push_back(column);
    return GetSize() - 1;
}

const CVectorColumn* Cgeo_VectorColumns::Get(int i) const {
    if (i < 0 || i >= GetSize()) {
        return nullptr;
    }
    return &columns[static_cast<size_t>(i)];
}

Cgeo_VectorTable::Cgeo_VectorTable(const Cgeo_Vector* owner) : vector(owner) {}
Cgeo_VectorTable::~Cgeo_VectorTable() = default;

int Cgeo_VectorTable::SetColumnValue(std::int64_t id, int column, const void* value) {
    const CVectorColumn* description = columns.Get(column);
    if (description == nullptr || value == nullptr || id < 0 || id >= vector->GetObjectCount()) {
        return 0;
    }
    int size = description->GetSize();
    if (size == 0) {
        return 0;
    }
    if (data.size() < static_cast<size_t>(columns.GetSize())) {
        data.resize(static_cast<size_t>(columns.GetSize()));
    }
    ColumnData& d = data[static_cast<size_t>(column)];
    if (d.size == 0) {
        d.size = size;
        d.text = description->type == XF_COL_TEXT;
    }
    size_t row = static_cast<size_t>(id);
    if (d.text) {
        // At most width bytes, up to the value's zero byte.
        const char* text = static_cast<const char*>(value);
        size_t length = 0;
        size_t limit = static_cast<size_t>(d.size - 1);
        while (length < limit && text[length] != '\0') {
            ++length;
        }
        d.texts.Set(row, text, length);
        return 1;
    }
    if (d.present.size() <= row) {
        d.present.resize(row + 1, 0);
        d.fixed.resize((row + 1) * static_cast<size_t>(d.size), 0);
    }
    std::memcpy(&d.fixed[row * static_cast<size_t>(d.size)], value, static_cast<size_t>(d.size));
    d.present[row] = 1;
    return 1;
}

namespace {

// Bytes of a text block; a longer text gets a block of its own size.
constexpr size_t kTextBlockSize = 256 * 1024;

}  // namespace

void Cgeo_VectorTable::TextStore::Set(size_t row, const char* text, size_t length) {
    if (rows.size() <= row) {
        rows.resize(row + 1, nullptr);
    }
    char* old = rows[row];
    size_t oldLength = old != nullptr ? std::strlen(old) : 0;
    if (old != nullptr && length <= oldLength) {
        // A text no longer than the one it replaces takes its place.
        std::memmove(old, text, length);
        old[length] = '\0';
        used -= oldLength - length;
        wasted += oldLength - length;
    } else {
        if (old != nullptr) {
            used -= oldLength + 1;
            wasted += oldLength + 1;
        }
        rows[row] = Place(text, length);
        used += length + 1;
    }
    if (wasted > used && wasted > kTextBlockSize) {
        Compact();
    }
}

char* Cgeo_VectorTable::TextStore::Place(const char* text, size_t length) {
    if (blocks.empty() || blockSize - blockUsed < length + 1) {
        blockSize = std::max(kTextBlockSize, length + 1);
        blocks.push_back(std::make_unique<char[]>(blockSize));
        blockUsed = 0;
    }
    char* at = blocks.back().get() + blockUsed;
    std::memcpy(at, text, length);
    at[length] = '\0';
    blockUsed += length + 1;
    return at;
}

void Cgeo_VectorTable::TextStore::Compact() {
    std::vector<std::unique_ptr<char[]>> old;
    old.swap(blocks);
    blockUsed = 0;
    blockSize = 0;
    for (char*& text : rows) {
        if (text != nullptr) {
            text = Place(text, std::strlen(text));
        }
    }
    wasted = 0;
}

const void* Cgeo_VectorTable::GetColumnValue(std::int64_t id, int column) const {
    if (column < 0 || static_cast<size_t>(column) >= data.size() || id < 0) {
        return nullptr;
    }
    const ColumnData& d = data[static_cast<size_t>(column)];
    size_t row = static_cast<size_t>(id);
    if (d.text) {
        return d.texts.Get(row);
    }
    if (row >= d.present.size() || d.present[row] == 0) {
        return nullptr;
    }
    return &d.fixed[row * static_cast<size_t>(d.size)];
}
