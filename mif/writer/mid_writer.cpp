#include <cstring>

#include "mif/reader/mif_file.h"
#include "textfile/one_line.h"

namespace {

// Columns the header writes as char: Char itself and every type code it cannot name.
bool WrittenAsChar(int32_t type) {
    return type < kColInteger || type > kColLogical;
}

}  // namespace

void CMifFile::SetValue(int i, const char* value) {
    if (!midFile.IsOpen() || i < 0 || i >= columns.GetCount()) {
        return;
    }
    if (value == nullptr) {
        value = "";
    }
    size_t length = std::strlen(value);
    if (!WrittenAsChar(columns.Get(i).type)) {
        midFile.SetField(i, value, length);
        return;
    }
    // Text goes between double quotes with inner quotes and backslashes doubled and line breaks
    // written as \n, so a quote, a delimiter or a line break in the value cannot end the field
    // or the record early, and a backslash cannot be read as the start of an escape.
    valueScratch.assign(1, '"');
    AppendAsOneLine(valueScratch, value, length, "\"\\");
    valueScratch.push_back('"');
    midFile.SetField(i, valueScratch);
}

int CMifFile::WriteValues() {
    if (!midFile.IsOpen()) {
        return 0;
    }
    return midFile.WriteRecord();
}
