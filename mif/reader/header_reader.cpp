#include <string>

#include "mif/reader/mif_file.h"
#include "mif/reader/scanner.h"

namespace {

// Column type keywords without parameters, and their codes.
struct PlainType {
    const char* keyword;
    int32_t type;
};
constexpr PlainType kPlainTypes[] = {{"integer", kColInteger},
                                     {"smallint", kColSmallInt},
                                     {"float", kColFloat},
                                     {"date", kColDate},
                                     {"logical", kColLogical}};

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
// find) or at the end of the file.
std::string CollectParams(CMifFile& file, const std::string& params) {
    std::string text = params;
    std::string word;
    while (text.find(')') == std::string::npos) {
        int64_t before = file.ReadOffset();
        if (!file.ReadWord(word)) {
            break;
        }
        if (EqualsNoCase(word, "data")) {
            file.SeekTo(before);
            break;
        }
        text += word;
    }
    return text;
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
void OpenMidFile(CRecordFile& midFile, const char* path) {
    std::string midPath = GetMidFileName(path);
    if (midFile.OpenRead(midPath.c_str())) {
        return;
    }
    size_t dot = midPath.size() - 4;
    midPath.replace(dot, 4, ".MID");
    midFile.OpenRead(midPath.c_str());
}

}  // namespace

int CMifFile::Open(const char* path) {
    progress = 0.0;
    dataSearchStart = 0;
    if (path == nullptr || OpenRead(path) == 0) {
        Close();
        return 0;
    }
    OpenMidFile(midFile, path);

    // The optional items stop their search at Columns too, so that a column named like one of
    // them stays a column.
    if (FindKeyword("Version", "Data", "Columns")) {
        version = ParseInt(ReadWord());
    }
    if (FindKeyword("Charset", "Data", "Columns")) {
        charset = StripQuotes(ReadWord());
    }
    if (FindKeyword("Delimiter", "Data", "Columns")) {
        std::string word = ReadWord();
        // A quoted space splits into two lone quotes; the first one is not the delimiter.
        delimiterText = word == "\"" ? std::string(" ") : StripQuotes(word);
        if (midFile.IsOpen() && !delimiterText.empty()) {
            midFile.SetDelimiter(delimiterText[0]);
        }
    }
    if (FindKeyword("Unique", "Data", "Columns")) {
        ParseIntList(ReadLine(), uniqueColumns);
    }
    if (FindKeyword("Index", "Data", "Columns")) {
        ParseIntList(ReadLine(), indexColumns);
    }
    if (FindKeyword("CoordSys", "Data", "Columns")) {
        coordSys = ReadLine();
    }
    if (FindKeyword("Transform", "Data", "Columns")) {
        hasTransform = 1;
        ParseDoubleList(ReadLine(), transform);
    }
    if (transform.size() != 4) {
        transform.clear();
        hasTransform = 0;
    }
    if (FindKeyword("Columns", "Data")) {
        // The count sizes nothing: columns are appended as they are read, and reading stops at
        // the end of the file. A count of 0 or below reads none.
        int32_t count = ParseInt(ReadWord());
        CMifColumn column;
        for (int32_t i = 0; i < count && ReadColumn(*this, column); ++i) {
            columns.Append(column);
        }
    }
    dataSearchStart = ReadOffset();
    return 1;
}
