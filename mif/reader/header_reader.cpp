#include <algorithm>
#include <cmath>
#include <string>

#include "mif/reader/mif_reader.h"
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

// The value of a header item that may stand in double quotes: the text between them (a quoted
// space or TAB included), or else the first word.
std::string QuotedValue(std::string_view line) {
    if (!line.empty() && line.front() == '"') {
        size_t close = line.find('"', 1);
        return std::string(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
    }
    return std::string(line.substr(0, line.find_first_of(" \t")));
}

// The text between the first "(" and the ")" after it (or the end), or the whole text when it
// has no "(": "(10, 2)" and " 10" both give their numbers.
std::string_view Params(std::string_view text) {
    size_t open = text.find('(');
    if (open == std::string_view::npos) {
        return text;
    }
    size_t close = text.find(')', open);
    return text.substr(open + 1, close == std::string_view::npos ? close : close - open - 1);
}

// Width of the text column that a definition without a type, or with a type no reader knows,
// becomes.
constexpr int32_t kUntypedCharWidth = 254;

// Reads one column definition: a line that holds a name and its type. A line with a name alone,
// or with a type no reader knows, is a Char(254) column of that name; the next line is the next
// column whatever this one held. Returns false, with the read position unchanged, at the end of
// the file and at a line that starts with the word Data and holds no column type after it: the
// list is then shorter than its count, and the objects begin there.
bool ReadColumn(CMifScanner& file, std::string& line, CMifColumn& column) {
    int64_t start = file.ReadOffset();
    column = CMifColumn();
    if (!file.ReadLine(line)) {
        return false;
    }
    std::string_view rest = TrimBlanks(line);
    size_t nameEnd = std::min(rest.find_first_of(" \t"), rest.size());
    std::string_view name = rest.substr(0, nameEnd);
    rest = TrimBlanks(rest.substr(nameEnd));
    std::string_view type = rest.substr(0, std::min(rest.find_first_of(" \t("), rest.size()));
    std::string_view params = Params(rest.substr(type.size()));
    if (EqualsNoCase(name, "data") && !IsColumnType(type)) {
        file.SeekTo(start);
        return false;
    }
    column.name = std::string(name);
    if (EqualsNoCase(type, "char")) {
        column.type = kColChar;
        column.width = ParseInt(params);
        return true;
    }
    if (EqualsNoCase(type, "decimal")) {
        std::vector<int32_t> list;
        ParseIntList(params, list);
        if (list.size() == 1 || list.size() == 2) {
            column.width = list[0];
            column.decimals = list.size() == 2 ? list[1] : 0;
        }
        column.type = kColDecimal;
        return true;
    }
    for (const PlainType& plain : kPlainTypes) {
        if (EqualsNoCase(type, plain.keyword)) {
            column.type = plain.type;
            return true;
        }
    }
    file.Note(kRepairColumnType, file.WordOffset(), [&line, type] {
        return "column line \"" + std::string(TrimBlanks(line)) + "\" " +
               (type.empty() ? "has no type" : "has no type any reader knows") +
               ": read as Char(254)";
    });
    column.type = kColChar;
    column.width = kUntypedCharWidth;
    return true;
}

// The header items; a line before Columns that starts with none of them is not understood.
constexpr const char* kHeaderItems[] = {"Version", "Charset",  "Delimiter", "Unique",
                                        "Index",   "CoordSys", "Transform", "Bounds"};

// Notes each header line before Columns or Data that starts with no header item.
void CheckHeaderLines(CMifScanner& file) {
    std::string line;
    while (file.ReadLine(line)) {
        std::string_view first = std::string_view(line).substr(0, line.find_first_of(" \t("));
        if (EqualsNoCase(first, "Columns") || EqualsNoCase(first, "Data")) {
            return;
        }
        bool known = false;
        for (const char* item : kHeaderItems) {
            known = known || EqualsNoCase(first, item);
        }
        if (!known) {
            file.Note(kRepairHeaderItem, file.WordOffset(),
                      [&line] { return "header line \"" + line + "\" not understood: skipped"; });
        }
    }
}

// The MID file beside the MIF file. The extension's case on disk need not match the MIF file's
// (files written on case-insensitive systems come as x.MIF with x.mid, or x.mif with x.MID).
// kRefused when a MID file exists but cannot be opened (locked, unreadable, not an ordinary
// file): importing without its values would lose them silently. No MID file, or an empty one,
// gives no values.
CTextFile::OpenResult OpenMidFile(CRecordFile& midFile, const char* path, std::string& midPath) {
    std::string lower = GetMidFileName(path);
    midPath = lower;
    for (const char* extension : {".mid", ".MID"}) {
        midPath.replace(midPath.size() - 4, 4, extension);
        midFile.OpenRead(midPath.c_str());
        if (midFile.LastOpenResult() != CTextFile::OpenResult::kMissing) {
            return midFile.LastOpenResult();
        }
    }
    midPath = lower;
    return CTextFile::OpenResult::kMissing;
}

}  // namespace

int CMifReader::Open(const char* path) {
    Close();
    scanner.report = &report;
    if (path == nullptr || scanner.Open(path) == 0) {
        Close();
        return 0;
    }
    mifPath = path;
    CTextFile::OpenResult mid = OpenMidFile(midFile, path, midPath);
    if (mid == CTextFile::OpenResult::kRefused) {
        Close();
        return 0;
    }
    ReadHeader();
    if (header.columns.GetCount() > 0 && mid != CTextFile::OpenResult::kOpen) {
        const bool none = mid == CTextFile::OpenResult::kMissing;
        scanner.Note(kRepairNoMid, columnsOffset, [none] {
            return std::string(none ? "no MID file" : "the MID file is empty") +
                   ": the columns have no values";
        });
    }
    if (midFile.IsOpen()) {
        midFile.SeekToFirstRecord();
        if (midFile.ReadOffset() > 0) {
            NoteMid(kRepairByteOrderMark, 0,
                    [] { return std::string("UTF-8 byte order mark skipped"); });
        }
    }
    // The objects follow the word Data behind the column list. A file without it is not a MIF
    // file (a text file, a picture, the MID file given by mistake) and is refused rather than
    // opened as an empty layer.
    if (scanner.FindKeyword("Data", nullptr) == 0) {
        Close();
        return 0;
    }
    dataOffset = scanner.ReadOffset();
    // What the header repaired is noted once; each walk over the objects notes its own.
    headerReport = report;
    return 1;
}

void CMifReader::ReadHeader() {
    // The optional items may stand in any order: each is searched from the start of the header,
    // up to Columns or Data, so a column named like one of them stays a column.
    auto find = [this](const char* key) {
        scanner.SeekTo(scanner.Start());
        return scanner.FindKeyword(key, "Data", "Columns") == 1;
    };
    if (find("Version")) {
        header.version = ParseInt(scanner.ReadWord());
    }
    if (find("Charset")) {
        header.charset = StripQuotes(scanner.ReadWord());
    }
    if (find("Delimiter")) {
        header.delimiterText = QuotedValue(scanner.ReadLine());
        if (midFile.IsOpen() && !header.delimiterText.empty()) {
            midFile.SetDelimiter(header.delimiterText[0]);
        }
    }
    if (find("Unique")) {
        ParseIntList(scanner.ReadLine(), header.uniqueColumns);
    }
    if (find("Index")) {
        ParseIntList(scanner.ReadLine(), header.indexColumns);
    }
    if (find("CoordSys")) {
        header.coordSys = scanner.ReadLine();
    }
    if (find("Transform")) {
        header.hasTransform = true;
        ParseDoubleList(scanner.ReadLine(), header.transform);
    }
    // A transformation that is not four finite numbers is none: it would make every coordinate
    // unusable.
    std::vector<double>& transform = header.transform;
    if (transform.size() != 4 || !std::all_of(transform.begin(), transform.end(),
                                              [](double t) { return std::isfinite(t); })) {
        if (header.hasTransform) {
            scanner.Note(kRepairHeaderItem, scanner.WordOffset(), [] {
                return std::string("Transform ignored: it needs four finite numbers");
            });
        }
        transform.clear();
        header.hasTransform = false;
    }
    scanner.SeekTo(scanner.Start());
    CheckHeaderLines(scanner);
    scanner.SeekTo(scanner.Start());
    if (scanner.FindKeyword("Columns", "Data")) {
        // The count sizes nothing: columns are appended as they are read, and reading stops at
        // the end of the file. A count of 0 or below reads none. The definitions start on the
        // line after the count.
        columnsOffset = scanner.WordOffset();
        int32_t count = ParseInt(scanner.ReadLine());
        CMifColumn column;
        std::string line;
        for (int32_t i = 0; i < count && ReadColumn(scanner, line, column); ++i) {
            header.columns.Append(column);
        }
        int32_t found = header.columns.GetCount();
        if (found < count) {
            scanner.Note(kRepairCountTooLarge, columnsOffset, [count, found] {
                return "Columns declares " + std::to_string(count) + " columns, " +
                       std::to_string(found) + " found";
            });
        }
    }
    // A record keeps the fields of the columns; more are read but not kept.
    midFile.SetFieldLimit(static_cast<size_t>(header.columns.GetCount()));
}
