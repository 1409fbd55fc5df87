#include "textfile/record_file.h"

#include <stdexcept>

std::string CRecordFile::GetField(int i) const {
    std::string value;
    GetField(i, value);
    return value;
}

void CRecordFile::GetField(int i, std::string& value) const {
    if (i < 0) {
        throw std::invalid_argument("record field index is negative");
    }
    value.assign(Field(i));
}

std::string& CRecordFile::FieldToWrite(int i) {
    if (i < 0) {
        throw std::invalid_argument("record field index is negative");
    }
    size_t index = static_cast<size_t>(i);
    while (fieldCount <= index) {
        AppendField();
    }
    std::string& field = fields[index];
    field.clear();
    return field;
}

std::string& CRecordFile::AppendField() {
    if (fieldCount == fields.size()) {
        fields.emplace_back();
    }
    std::string& field = fields[fieldCount++];
    field.clear();
    return field;
}
