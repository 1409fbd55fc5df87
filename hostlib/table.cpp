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
    if (d.present.size() <= row) {
        d.present.resize(row + 1, 0);
        if (d.text) {
            d.texts.resize(row + 1);
        } else {
            d.fixed.resize((row + 1) * static_cast<size_t>(d.size), 0);
        }
    }
    if (d.text) {
        // At most width bytes, up to the value's zero byte.
        const char* text = static_cast<const char*>(value);
        size_t length = 0;
        size_t limit = static_cast<size_t>(d.size - 1);
        while (length < limit && text[length] != '\0') {
            ++length;
        }
        d.texts[row].assign(text, length);
    } else {
        std::memcpy(&d.fixed[row * static_cast<size_t>(d.size)], value,
                    static_cast<size_t>(d.size));
    }
    d.present[row] = 1;
    return 1;
}

const void* Cgeo_VectorTable::GetColumnValue(std::int64_t id, int column) const {
    if (column < 0 || static_cast<size_t>(column) >= data.size() || id < 0) {
        return nullptr;
    }
    const ColumnData& d = data[static_cast<size_t>(column)];
    size_t row = static_cast<size_t>(id);
    if (row >= d.present.size() || d.present[row] == 0) {
        return nullptr;
    }
    if (d.text) {
        return d.texts[row].c_str();
    }
    return &d.fixed[row * static_cast<size_t>(d.size)];
}
