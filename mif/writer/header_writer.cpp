#include <string>

#include "mif/reader/mif_file.h"
#include "mif/writer/line_format.h"

namespace {

// A column name is one word of the header: a blank inside it, or an empty name, would make the
// reader take the type for the name and shift every later column, so blanks become underscores
// and an empty name becomes one underscore.
std::string HeaderColumnName(const std::string& name) {
    if (name.empty()) {
        return "_";
    }
    std::string word = name;
    for (char& c : word) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            c = '_';
        }
    }
    return word;
}

int WriteColumnLine(CTextFile& file, const CMifColumn& column) {
    std::string name = HeaderColumnName(column.name);
    const char* n = name.c_str();
    switch (column.type) {
        case kColChar:
            return WriteFormattedLine(file, "%s char (%i)", n, column.width);
        case kColInteger:
            return WriteFormattedLine(file, "%s integer", n);
        case kColSmallInt:
            return WriteFormattedLine(file, "%s smallint", n);
        case kColDecimal:
            return WriteFormattedLine(file, "%s decimal (%i,%i)", n, column.width, column.decimals);
        case kColFloat:
            return WriteFormattedLine(file, "%s float", n);
        case kColDate:
            return WriteFormattedLine(file, "%s date", n);
        case kColLogical:
            return WriteFormattedLine(file, "%s logical", n);
        default:
            // A type we cannot name is written as text of a width that holds most values.
            return WriteFormattedLine(file, "%s char (%i)", n, 32);
    }
}

}  // namespace

int CMifFile::Create(const char* path) {
    progress = 0.0;
    if (path == nullptr || OpenWrite(path) == 0) {
        return 0;
    }
    version = 300;
    charset = "WindowsCyrillic";
    delimiterText = ",";
    coordSys = "Earth Projection 1, 0";

    // A failed line write is remembered by the file (WriteFailed); the header is still finished.
    WriteFormattedLine(*this, "Version %i", version);
    WriteFormattedLine(*this, "Charset \"%s\"", charset.c_str());
    if (!delimiterText.empty()) {
        WriteFormattedLine(*this, "Delimiter \"%s\"", delimiterText.c_str());
        midFile.SetDelimiter(delimiterText[0]);
    }
    WriteFormattedLine(*this, "CoordSys %s", coordSys.c_str());
    int32_t count = columns.GetCount();
    WriteFormattedLine(*this, "Columns %i", count);
    for (int32_t i = 0; i < count; ++i) {
        WriteColumnLine(*this, columns.Get(i));
    }
    WriteLine("", 0);
    WriteLine("Data", 4);

    // Without its MID file every record written later would be lost: the export cannot succeed.
    // What was written to the MIF file stays on disk.
    midFile.ClearFields();
    if (midFile.OpenWrite(GetMidFileName(path).c_str()) == 0) {
        CloseFile();
        return 0;
    }
    return 1;
}
