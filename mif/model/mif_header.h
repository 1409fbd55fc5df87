#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mif/model/mif_column.h"

// What a MIF header says, the items before the objects: the reader fills it from a file, the
// writer writes it. Text items are kept as written, without their quotes.
struct CMifHeader {
    int32_t version = 0;
    std::string charset;
    // The MID delimiter as the header gives it; empty when it gives none (TAB then).
    std::string delimiterText;
    std::vector<int32_t> uniqueColumns;
    std::vector<int32_t> indexColumns;
    std::string coordSys;
    // Four finite numbers (x scale, y scale, x shift, y shift) or none.
    bool hasTransform = false;
    std::vector<double> transform;
    CMifColumnList columns;
};

// The MID path of a MIF path: the extension of the file name replaced by ".mid", or ".mid"
// appended when the file name has no extension.
std::string GetMidFileName(const std::string& path);
