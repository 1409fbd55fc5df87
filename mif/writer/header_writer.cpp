#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "mif/writer/line_format.h"
#include "mif/writer/object_writer.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// True for the bytes a column name may hold in every reader: ASCII letters and digits, the
// underscore, and the bytes of other scripts (128 and above).
bool NameByte(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
           u >= 0x80;
}

// The names the header gives the columns. A name is one word of the bytes every reader accepts:
// a blank inside it would make a reader take the type for the name and shift every later column,
// and a parenthesis or another sign makes GDAL refuse the whole file ("Area (m2)"), so any other
// byte becomes an underscore and an empty name one underscore. A name that repeats an earlier one
// (readers compare names without regard to case) gets the suffix _1, _2, ... that makes it free.
// A name that is a MIF keyword (Data, Point...) stays as it is, since readers take the column
// list's words by position, with one exception: GDAL starts the objects at the first line that
// begins with Data, a column's included, and then takes a column named like an object (Point,
// Text...) for one, so such a name after a name that begins with Data gets a suffix too.
std::vector<std::string> HeaderColumnNames(const CMifColumnList& columns) {
    std::unordered_set<std::string> taken;  // lower case
    // The next suffix to try for a name, so that many equal names take linear time.
    std::unordered_map<std::string, int> nextSuffix;
    std::vector<std::string> names;
    names.reserve(static_cast<size_t>(columns.GetCount()));
    for (int32_t i = 0; i < columns.GetCount(); ++i) {
        std::string word = columns.Get(i).name.empty() ? "_" : columns.Get(i).name;
        for (char& c : word) {
            c = NameByte(c) ? c : '_';
        }
        names.push_back(std::move(word));
    }
    bool afterData = false;
    for (std::string& word : names) {
        std::string key = Lower(word);
        if (taken.count(key) != 0 || (afterData && MifObjectTypeFromKeyword(word) != -1)) {
            int& n = nextSuffix[key];
            std::string base = word + "_";
            do {
                word = base + std::to_string(++n);
            } while (taken.count(Lower(word)) != 0);
            key = Lower(word);
        }
        taken.insert(key);
        afterData = afterData || StartsWithNoCase(word, "data");
    }
    return names;
}

// Widths of char columns that every reader accepts.
constexpr int32_t kMinCharWidth = 1;
constexpr int32_t kMaxCharWidth = 254;

int WriteColumnLine(CTextFile& file, const CMifColumn& column, const std::string& name) {
    const char* n = name.c_str();
    switch (column.type) {
        case kColChar:
            return WriteFormattedLine(file, "%s char (%i)", n,
                                      std::clamp(column.width, kMinCharWidth, kMaxCharWidth));
        case kColInteger:
            return WriteFormattedLine(file, "%s integer", n);
        case kColSmallInt:
            return WriteFormattedLine(file, "%s smallint", n);
        case kColDecimal: {
            int32_t width = column.width;
            int32_t decimals = column.decimals;
            ClampDecimalDigits(width, decimals);
            return WriteFormattedLine(file, "%s decimal (%i,%i)", n, width, decimals);
        }
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

int WriteHeader(CTextFile& file, const CMifHeader& header) {
    // A failed line write is remembered by the file; the header is still finished.
    int ok = 1;
    auto line = [&ok](int written) { ok = written == 0 ? 0 : ok; };
    line(WriteFormattedLine(file, "Version %i", header.version));
    line(WriteFormattedLine(file, "Charset \"%s\"", header.charset.c_str()));
    if (!header.delimiterText.empty()) {
        line(WriteFormattedLine(file, "Delimiter \"%s\"", header.delimiterText.c_str()));
    }
    line(WriteFormattedLine(file, "CoordSys %s", header.coordSys.c_str()));
    const CMifColumnList& columns = header.columns;
    int32_t count = columns.GetCount();
    line(WriteFormattedLine(file, "Columns %i", count));
    std::vector<std::string> names = HeaderColumnNames(columns);
    for (int32_t i = 0; i < count; ++i) {
        line(WriteColumnLine(file, columns.Get(i), names[static_cast<size_t>(i)]));
    }
    line(WriteLiteral(file, ""));
    line(WriteLiteral(file, "Data"));
    return ok;
}
