#include "mif/writer/mif_writer.h"

#include <cstring>

#include "mif/writer/object_writer.h"
#include "textfile/one_line.h"

namespace {

// Columns the header writes as char: Char itself and every type code it cannot name.
bool WrittenAsChar(int32_t type) {
    return type < kColInteger || type > kColLogical;
}

}  // namespace

CMifWriter::CMifWriter() {
    header.version = 300;
    header.charset = "WindowsCyrillic";
    header.delimiterText = ",";
    header.coordSys = "Earth Projection 1, 0";
}

int CMifWriter::Create(const char* path) {
    // Both files are opened before either is emptied: when the MID file cannot be opened (held
    // by another program, a folder, the MIF file itself), the old files stay as they were.
    mid.ClearFields();
    if (path == nullptr || mif.OpenWrite(path, false) == 0) {
        return 0;
    }
    if (mid.OpenWrite(GetMidFileName(path).c_str(), false) == 0) {
        mif.CloseFile();
        return 0;
    }
    if (mif.Truncate() == 0 || mid.Truncate() == 0) {
        mif.CloseFile();
        mid.CloseFile();
        return 0;
    }
    if (!header.delimiterText.empty()) {
        mid.SetDelimiter(header.delimiterText[0]);
    }
    // A failed line is remembered by the file (WriteFailed); the file is created all the same.
    WriteHeader(mif, header);
    return 1;
}

void CMifWriter::Close() {
    mif.CloseFile();
    if (mid.IsOpen()) {
        mid.CloseFile();
    }
}

int CMifWriter::WriteObject(const CMifObject& record) {
    return WriteMifObject(mif, record);
}

void CMifWriter::SetValue(int i, const char* value) {
    SetValue(i, value != nullptr ? std::string_view(value) : std::string_view());
}

void CMifWriter::SetValue(int i, std::string_view value) {
    if (!mid.IsOpen() || i < 0 || i >= header.columns.GetCount()) {
        return;
    }
    std::string& field = mid.FieldToWrite(i);
    if (!WrittenAsChar(header.columns[i].type)) {
        field.assign(value);
        return;
    }
    // Text goes between double quotes with inner quotes and backslashes doubled and line breaks
    // written as \n, so a quote, a delimiter or a line break in the value cannot end the field
    // or the record early, and a backslash cannot be read as the start of an escape.
    field.push_back('"');
    AppendAsOneLine(field, value.data(), value.size(), "\"\\");
    field.push_back('"');
}

int CMifWriter::WriteValues() {
    if (!mid.IsOpen()) {
        return 0;
    }
    return mid.WriteRecord();
}
