#include <algorithm>
#include <cmath>
#include <string>

#include "mif/reader/mif_file.h"
#include "mif/reader/scanner.h"

namespace {

// Column type keywords without parameters, and their codes.
struct PlainType {
    const char* keyword;
    int32_t type;
};
// The types of newer files (LargeInt, Time, DateTime) are known as types, so that a column named
// Data stays a column, but not converted: their values are kept as text.
constexpr PlainType kPlainTypes[] = {{"integer", kColInteger}, {"smallint", kColSmallInt},
                                     {"float", kColFloat},     {"date", kColDate},
                                     {"logical", kColLogical}, {"largeint", kColNone},
                                     {"time", kColNone},       {"datetime", kColNone}};

bool IsColumnType(std::string_view word) {
    word = word.substr(0, word.find('('));
    if (EqualsNoCase(word, "char") || EqualsNoCase(word, "decimal")) {
        return true;
    }
    for (const PlainType& plain : kPlainTypes) {
        if (EqualsNoCase(word, plain.keyword)) {
            return true;
        }
    }
    return false;
}

// Gathers a parameter list that may be glued to its type word or spread over several words, up
// to the word holding ")". A missing ")" ends before the word Data (left for the object walk to
// find) or at the end of the file. Only each new word is searched for ")", so a list left open
// costs time in proportion to what follows it.
std::string CollectParams(CMifFile& file, const std::string& params) {
    std::string text = params;
    std::string word;
    bool closed = text.find(')') != std::string::npos;
    while (!closed) {
        int64_t before = file.ReadOffset();
        if (!file.ReadWord(word)) {
            break;
        }
        if (EqualsNoCase(word, "data")) {
            file.SeekTo(before);
            break;
        }
        text += word;
        closed = word.find(')') != std::string::npos;
    }
    return text;
}

// The value of a header item that may stand in double quotes: the text between them (a quoted
// space or TAB included), or else the first word.
std::string QuotedValue(std::string_view line) {
    if (!line.empty() && line.front() == '"') {
        size_t close = line.find('"', 1);
        return std::string(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
    }
    return std::string(line.substr(0, line.find_first_of(" \t")));
}

// Reads one column definition. Returns false, with the read position unchanged, at the end of
// the file, and at the word Data when no column type follows it: the list is then shorter than
// its count, and the objects begin there. The word Data that starts the objects is never
// consumed, so that the object walk finds it.
bool ReadColumn(CMifFile& file, CMifColumn& column) {
    int64_t start = file.ReadOffset();
    column = CMifColumn();
    if (!file.ReadWord(column.name)) {
        return false;
    }
    int64_t typeStart = file.ReadOffset();
    std::string type = file.ReadWord();
    if (EqualsNoCase(column.name, "data") && !IsColumnType(type)) {
        file.SeekTo(start);
        return false;
    }
    if (EqualsNoCase(type, "data")) {
        // A name without a type at the end of the list: the word Data starts the objects.
        file.SeekTo(typeStart);
        return true;
    }
    std::string params;
    size_t paren = type.find('(');
    if (paren != std::string::npos) {
        params = type.substr(paren);
        type.resize(paren);
    }
    if (EqualsNoCase(type, "char")) {
        column.width = ParseInt(StripParens(CollectParams(file, params)));
        column.type = kColChar;
        return true;
    }
    for (const PlainType& plain : kPlainTypes) {
        if (EqualsNoCase(type, plain.keyword)) {
            column.type = plain.type;
            return true;
        }
    }
    if (EqualsNoCase(type, "decimal")) {
        std::vector<int32_t> list;
        ParseIntList(StripParens(CollectParams(file, params)), list);
        if (list.size() == 1 || list.size() == 2) {
            column.width = list[0];
            column.decimals = list.size() == 2 ? list[1] : 0;
        }
        column.type = kColDecimal;
    }
    return true;
}

// The MID file beside the MIF file. The extension's case on disk need not match the MIF file's
// (files written on case-insensitive systems come as x.MIF with x.mid, or x.mif with x.MID).
// False when a MID file exists but cannot be opened (locked, unreadable, not an ordinary file):
// importing without its values would lose them silently. No MID file, or an empty one, gives
// empty values.
bool OpenMidFile(CRecordFile& midFile, const char* path) {
    std::string midPath = GetMidFileName(path);
    for (const char* extension : {".mid", ".MID"}) {
        midPath.replace(midPath.size() - 4, 4, extension);
        if (midFile.OpenRead(midPath.c_str()) == 1) {
            return true;
        }
        if (midFile.LastOpenResult() != CTextFile::OpenResult::kMissing) {
            return midFile.LastOpenResult() == CTextFile::OpenResult::kEmpty;
        }
    }
    return true;
}

}  // namespace

int CMifFile::Open(const char* path) {
    progress = 0.0;
    dataOffset = -1;
    if (path == nullptr || OpenRead(path) == 0 || !OpenMidFile(midFile, path)) {
        Close();
        return 0;
    }

    // The optional items may stand in any order: each is searched from the start of the header,
    // up to Columns or Data, so a column named like one of them stays a column.
    auto find = [this](const char* key) {
        SeekTo(0);
        return FindKeyword(key, "Data", "Columns") == 1;
    };
    if (find("Version")) {
        version = ParseInt(ReadWord());
    }
    if (find("Charset")) {
        charset = StripQuotes(ReadWord());
    }
    if (find("Delimiter")) {
        delimiterText = QuotedValue(ReadLine());
        if (midFile.IsOpen() && !delimiterText.empty()) {
            midFile.SetDelimiter(delimiterText[0]);
        }
    }
    if (find("Unique")) {
        ParseIntList(ReadLine(), uniqueColumns);
    }
    if (find("Index")) {
        ParseIntList(ReadLine(), indexColumns);
    }
    if (find("CoordSys")) {
        coordSys = ReadLine();
    }
    if (find("Transform")) {
        hasTransform = true;
        ParseDoubleList(ReadLine(), transform);
    }
    // A transformation that is not four finite numbers is none: it would make every coordinate
    // unusable.
    if (transform.size() != 4 || !std::all_of(transform.begin(), transform.end(),
                                              [](double t) { return std::isfinite(t); })) {
        transform.clear();
        hasTransform = false;
    }
    SeekTo(0);
    if (FindKeyword("Columns", "Data")) {
        // The count sizes nothing: columns are appended as they are read, and reading stops at
        // the end of the file. A count of 0 or below reads none.
        int32_t count = ParseInt(ReadWord());
        CMifColumn column;
        for (int32_t i = 0; i < count && ReadColumn(*this, column); ++i) {
            columns.Append(column);
        }
    }
    // The objects follow the word Data behind the column list. A file without it is not a MIF
    // file (a text file, a picture, the MID file given by mistake) and is refused rather than
    // opened as an empty layer.
    if (FindKeyword("Data", nullptr) == 0) {
        Close();
        return 0;
    }
    dataOffset = ReadOffset();
    return 1;
}
