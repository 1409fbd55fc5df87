#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "plugin/host/host_api.h"

// Column type codes of the attribute table and the layout of one value of each (GetSize gives
// its bytes). Codes of 12 and above are unknown to this host and hold no value, as none does.
enum XF_ColumnType : int {
    XF_COL_NONE = 0,      // holds no value
    XF_COL_TEXT = 1,      // up to width bytes and a terminating zero
    XF_COL_UINT8 = 2,     // unsigned 8-bit integer
    XF_COL_UINT16 = 3,    // unsigned 16-bit integer
    XF_COL_INT16 = 4,     // signed 16-bit integer
    XF_COL_UINT32 = 5,    // unsigned 32-bit integer
    XF_COL_INT32 = 6,     // signed 32-bit integer
    XF_COL_FLOAT = 7,     // 32-bit float
    XF_COL_DOUBLE = 8,    // 64-bit float
    XF_COL_DECIMAL = 9,   // 64-bit float shown with a fixed number of decimals
    XF_COL_DATE = 10,     // three unsigned 16-bit integers: year, month, day
    XF_COL_LOGICAL = 11,  // 32-bit integer, 0 false, anything else true
};
constexpr int XF_COLUMN_TYPE_COUNT = 12;

// A value of type T read from a stored value of the table, which need not be aligned for T.
template <typename T>
T XF_LoadValue(const void* value) {
    T v;
    std::memcpy(&v, value, sizeof v);
    return v;
}

// Widest text column the table stores; a text width outside 1 to this is clamped for its values.
// It is far beyond any text a file holds: a value is never cut.
constexpr int XF_MAX_TEXT_WIDTH = 1 << 30;

// Description of one attribute column.
class FNC_API CVectorColumn {
public:
    CVectorColumn() = default;
    CVectorColumn(const char* columnName, int columnType, int columnWidth, int columnDecimals)
        : name(columnName != nullptr ? columnName : ""),
          type(columnType),
          width(columnWidth),
          decimals(columnDecimals) {}

    // Bytes of one value of this column (see the type list above).
    int GetSize() const;

    std::string name;
    int type = 0;
    int width = 0;
    int decimals = 0;
};

class FNC_API Cgeo_VectorColumns {
public:
    // Appends a copy of the column; returns its index.
    int Add(const CVectorColumn& column);
    // Column i, or null outside the list.
    const CVectorColumn* Get(int i) const;
    int GetSize() const { return static_cast<int>(columns.size()); }

private:
    std::vector<CVectorColumn> columns;
};

class Cgeo_Vector;

// The attribute table of a vector layer: one row per object, addressed by the object's id.
class FNC_API Cgeo_VectorTable {
public:
    explicit Cgeo_VectorTable(const Cgeo_Vector* owner);
    ~Cgeo_VectorTable();
    Cgeo_VectorTable(const Cgeo_VectorTable&) = delete;
    Cgeo_VectorTable& operator=(const Cgeo_VectorTable&) = delete;

    Cgeo_VectorColumns* GetVectorColumns() { return &columns; }

    // Copies the column's GetSize bytes from value (a text value up to its zero byte, at most
    // width bytes, and always stored zero-terminated). Returns 1 when stored; 0 when the id is
    // not that of an object of the layer, the column does not exist, its type holds no value,
    // or value is null.
    int SetColumnValue(std::int64_t id, int column, const void* value);
    // The stored value in the layout of the column's type, or null when none was set. Valid until
    // the next SetColumnValue.
    const void* GetColumnValue(std::int64_t id, int column) const;

private:
    // The values of one column, and the texts of all text columns (hostlib/table.cpp).
    struct ColumnData;
    struct Texts;
    // Copies the texts in use into new blocks, leaving out those that were replaced.
    void CompactTexts();
    const Cgeo_Vector* vector;
    Cgeo_VectorColumns columns;
    std::vector<std::unique_ptr<ColumnData>> data;
    std::unique_ptr<Texts> texts;
};
