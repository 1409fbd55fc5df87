#pragma once

#include <cstdint>
#include <string>
#include <vector>

// MIF attribute column types, in the codes the header reader and writer use.
enum MifColumnType : int32_t {
    kColNone = 0,
    kColChar = 1,
    kColInteger = 2,
    kColSmallInt = 3,
    kColDecimal = 4,
    kColFloat = 5,
    kColDate = 6,
    kColLogical = 7,
};

struct CMifColumn {
    std::string name;
    int32_t type = kColNone;
    int32_t width = 0;     // Char and Decimal
    int32_t decimals = 0;  // Decimal
};

// Decimal digits every reader takes: a width of 1 to 20 and 0 to 16 decimals, fewer than the
// width. Clamps the two to them.
void ClampDecimalDigits(int32_t& width, int32_t& decimals);

// The columns of a MIF table, in header order: column i describes field i of every MID record.
class CMifColumnList {
public:
    int32_t GetCount() const { return static_cast<int32_t>(columns.size()); }
    // Sets the count; new columns are default, columns past n go. A negative n throws
    // std::invalid_argument.
    void SetCount(int32_t n);
    // Column i; an index outside the list throws std::invalid_argument.
    CMifColumn& Get(int32_t i);
    const CMifColumn& Get(int32_t i) const;
    // Column i, for an index known to lie in the list.
    const CMifColumn& operator[](int32_t i) const { return columns[static_cast<size_t>(i)]; }
    void Set(int32_t i, const CMifColumn& column) { Get(i) = column; }
    void Append(const CMifColumn& column) { columns.push_back(column); }
    void Clear() { columns.clear(); }

private:
    std::vector<CMifColumn> columns;
};
