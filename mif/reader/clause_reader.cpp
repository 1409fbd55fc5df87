#include "mif/reader/clause_reader.h"

#include <cstdint>
#include <vector>

#include "mif/reader/scanner.h"

namespace {

// Goes back to the start of the clause keyword and reads its line; inner is the text between
// the line's first "(" and the first ")" after it outside double quotes, so a quoted name may
// hold parentheses. False when either is missing: the line is consumed and the record stays as
// it was.
bool ReadClauseValues(CMifScanner& file, std::string& line, std::string_view& inner) {
    file.RestoreMark();
    file.ReadLine(line);
    size_t open = line.find('(');
    if (open == std::string::npos) {
        return false;
    }
    size_t close = line.find(')', open);
    if (close != std::string::npos && line.find('"', open) > close) {
        inner = std::string_view(line).substr(open + 1, close - open - 1);
        return true;
    }
    bool quoted = false;
    for (size_t k = open + 1; k < line.size(); ++k) {
        quoted ^= line[k] == '"';
        if (line[k] == ')' && !quoted) {
            inner = std::string_view(line).substr(open + 1, k - open - 1);
            return true;
        }
    }
    return false;
}

// The word of a clause's value; an object keyword in its place (other than the one the clause
// expects there) is the next object: it is put back and reads as empty.
void ReadClauseWord(CMifScanner& file, std::string& word, std::string_view expected = {}) {
    if (file.ReadWord(word) && !EqualsNoCase(word, expected) &&
        MifObjectTypeFromKeyword(word) != -1) {
        file.RestoreMark();
        word.clear();
    }
}

// Calls clause(word) for each word of a word-form section; ends at the end of the file, or at an
// object keyword, which is put back for the search of the next object.
template <typename Fn>
void ForEachClauseWord(CMifScanner& file, std::string& word, Fn clause) {
    while (!word.empty()) {
        if (MifObjectTypeFromKeyword(word) != -1) {
            file.RestoreMark();
            return;
        }
        clause(std::string_view(word));
        file.ReadWord(word);
    }
}

// Pen and brush clauses, shared by regions and the rectangle kinds.
bool ReadPenOrBrush(CMifScanner& file, std::string_view word, CMifPen& pen, CMifBrush& brush) {
    if (StartsWithNoCase(word, "Pen")) {
        ParsePen(file, pen);
        return true;
    }
    if (StartsWithNoCase(word, "Brush")) {
        ParseBrush(file, brush);
        return true;
    }
    return false;
}

}  // namespace

bool ReadPoint(CMifScanner& file, CNode& node) {
    double x = 0.0;
    double y = 0.0;
    // A lone number is dropped: a node is never completed with a coordinate that is not there.
    if (!file.ReadNumber(x) || !file.ReadNumber(y)) {
        return false;
    }
    node = CNode{x, y, 0.0};
    return true;
}

bool ReadClauseLine(CMifScanner& file, std::string& line, std::string_view keyword) {
    file.ReadLine(line);
    if (StartsWithNoCase(line, keyword)) {
        return true;
    }
    file.RestoreMark();
    return false;
}

void ReadPlineClauses(CMifScanner& file, CMifPline& pline, std::string& word) {
    pline.smooth = false;
    ForEachClauseWord(file, word, [&](std::string_view w) {
        if (StartsWithNoCase(w, "Pen")) {
            ParsePen(file, pline.pen);
        } else if (EqualsNoCase(w, "Smooth")) {
            pline.smooth = true;
        }
    });
}

void ReadRegionClauses(CMifScanner& file, CMifRegion& region, std::string& word) {
    region.hasCenter = false;
    file.ReadWord(word);
    ForEachClauseWord(file, word, [&](std::string_view w) {
        if (!ReadPenOrBrush(file, w, region.pen, region.brush) && EqualsNoCase(w, "Center")) {
            region.hasCenter = ReadPoint(file, region.center);
        }
    });
}

void ReadRectClauses(CMifScanner& file, CMifRect& rect, std::string& word) {
    file.ReadWord(word);
    ForEachClauseWord(file, word,
                      [&](std::string_view w) { ReadPenOrBrush(file, w, rect.pen, rect.brush); });
}

void ReadTextClauses(CMifScanner& file, CMifText& text, std::string& word) {
    text.justify = kJustifyNone;
    text.angle = 0.0f;
    text.labelLine = kLabelNone;
    text.spacing = 1.0f;
    file.ReadWord(word);
    ForEachClauseWord(file, word, [&](std::string_view w) {
        if (EqualsNoCase(w, "Angle")) {
            ReadClauseWord(file, word);
            text.angle = ToFloat(ParseDouble(word));
        } else if (EqualsNoCase(w, "Spacing")) {
            ReadClauseWord(file, word);
            text.spacing = ToFloat(ParseDouble(word));
        } else if (EqualsNoCase(w, "Justify")) {
            ReadClauseWord(file, word);
            if (EqualsNoCase(word, "Left")) {
                text.justify = kJustifyLeft;
            } else if (EqualsNoCase(word, "Center")) {
                text.justify = kJustifyCenter;
            } else if (EqualsNoCase(word, "Right")) {
                text.justify = kJustifyRight;
            }
        } else if (EqualsNoCase(w, "Label")) {
            ReadClauseWord(file, word, "Line");
            ReadClauseWord(file, word);
            CNode point;
            if (ReadPoint(file, point)) {
                text.labelLine = EqualsNoCase(word, "Arrow") ? kLabelArrow : kLabelSimple;
                // The label point is kept at 32-bit precision.
                text.labelPoint.x = static_cast<double>(ToFloat(point.x));
                text.labelPoint.y = static_cast<double>(ToFloat(point.y));
                text.labelPoint.z = 0.0;
            }
        } else if (StartsWithNoCase(w, "Font")) {
            ParseFont(file, text.font);
        }
    });
}

// The clause parsers read their line into the scanner's storage: their callers read the next word
// into it afterwards and keep nothing from it.
void ParsePen(CMifScanner& file, CMifPen& pen) {
    std::string_view inner;
    if (!ReadClauseValues(file, file.word, inner)) {
        return;
    }
    std::vector<int32_t>& values = file.clauseInts;
    ParseIntList(inner, values);
    if (values.size() == 3) {
        pen.width = values[0];
        pen.pattern = values[1];
        pen.color = SwapColor(values[2]);
    }
}

void ParseBrush(CMifScanner& file, CMifBrush& brush) {
    std::string_view inner;
    if (!ReadClauseValues(file, file.word, inner)) {
        return;
    }
    std::vector<int32_t>& values = file.clauseInts;
    ParseIntList(inner, values);
    if (values.size() == 2 || values.size() == 3) {
        brush.pattern = values[0];
        brush.foreColor = SwapColor(values[1]);
        if (values.size() == 3) {
            brush.backColor = SwapColor(values[2]);
        }
    }
}

void ParseSymbol(CMifScanner& file, CMifSymbol& symbol) {
    std::string_view inner;
    if (!ReadClauseValues(file, file.word, inner)) {
        return;
    }
    // The forms are told apart by their value count alone.
    std::vector<std::string>& values = file.clauseTexts;
    SplitQuoted(inner, ',', values);
    switch (values.size()) {
        case 3:
            symbol.form = kSymbolVector;
            symbol.shape = ParseInt(values[0]);
            symbol.color = SwapColor(ParseInt(values[1]));
            symbol.size = ParseInt(values[2]);
            break;
        case 4:
            symbol.form = kSymbolBitmap;
            symbol.fileName = values[0];
            symbol.color = SwapColor(ParseInt(values[1]));
            symbol.size = ParseInt(values[2]);
            symbol.style = ParseInt(values[3]);
            break;
        case 6:
            symbol.form = kSymbolFont;
            symbol.shape = ParseInt(values[0]);
            symbol.color = SwapColor(ParseInt(values[1]));
            symbol.size = ParseInt(values[2]);
            symbol.fontName = values[3];
            symbol.style = ParseInt(values[4]);
            symbol.rotation = ParseDouble(values[5]);
            break;
        default:
            break;
    }
}

void ParseFont(CMifScanner& file, CMifFont& font) {
    std::string_view inner;
    if (!ReadClauseValues(file, file.word, inner)) {
        return;
    }
    std::vector<std::string>& values = file.clauseTexts;
    SplitQuoted(inner, ',', values);
    if (values.size() == 4 || values.size() == 5) {
        font.name = values[0];
        font.style = ParseInt(values[1]);
        font.size = ParseInt(values[2]);
        font.foreColor = SwapColor(ParseInt(values[3]));
        if (values.size() == 5) {
            font.backColor = SwapColor(ParseInt(values[4]));
        }
    }
}
