#include "textfile/one_line.h"
#include "textfile/record_file.h"

int CRecordFile::WriteRecord() {
    // A line break inside a value is written as \n: a record is always exactly one line, so
    // records can neither split nor merge.
    line.clear();
    for (size_t i = 0; i < fieldCount; ++i) {
        if (i > 0) {
            line.push_back(delimiter);
        }
        const std::string& field = fields[i];
        AppendAsOneLine(line, field.data(), field.size(), {});
    }
    int written = WriteLine(line);
    ClearFields();
    return written;
}
