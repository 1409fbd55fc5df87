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

// Notes the words of a clause section that no clause took: the first of a run, and how many.
class CSkippedWords {
public:
    explicit CSkippedWords(CMifScanner& scanner) : file(scanner) {}
    ~CSkippedWords() { Flush(); }
    CSkippedWords(const CSkippedWords&) = delete;
    CSkippedWords& operator=(const CSkippedWords&) = delete;

    void Add(std::string_view word) {
        if (count++ == 0) {
            at = file.WordOffset();
            first.assign(word);
        }
    }
    void Flush() {
        if (count > 0) {
            file.Note(kRepairWordSkipped, at, [this] {
                return "\"" + first + "\"" +
                       (count > 1 ? " and " + std::to_string(count - 1) + " more words" : "") +
                       " skipped: no clause of this object";
            });
        }
        count = 0;
    }

private:
    CMifScanner& file;
    int64_t at = 0;
    int count = 0;
    std::string first;
};

// Calls clause(word) for each word of a word-form section; a word that clause does not take
// (false) is skipped and noted. Ends at the end of the file, or at an object keyword, which is
// put back for the search of the next object.
template <typename Fn>
void ForEachClauseWord(CMifScanner& file, std::string& word, Fn clause) {
    CSkippedWords skipped(file);
    while (!word.empty()) {
        if (MifObjectTypeFromKeyword(word) != -1) {
            file.RestoreMark();
            return;
        }
        if (clause(std::string_view(word))) {
            skipped.Flush();
        } else {
            skipped.Add(word);
        }
        file.ReadWord(word);
    }
}

// Notes a clause whose values are missing or are not of one of its forms.
void NoteClause(CMifScanner& file, const std::string& line, const char* what) {
    file.Note(kRepairClause, file.WordOffset(),
              [&line, what] { return "\"" + line + "\" ignored: " + what; });
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
    if (!file.ReadNumber(x)) {
        return false;
    }
    if (!file.ReadNumber(y)) {
        // The read of y began right behind x and its blank: x stands on the line before that.
        file.Note(kRepairLoneNumber, file.MarkOffset() - 1,
                  [x] { return "lone number " + NumberText(x) + " dropped: a point needs two"; });
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
        } else {
            return false;
        }
        return true;
    });
}

void ReadRegionClauses(CMifScanner& file, CMifRegion& region, std::string& word) {
    region.hasCenter = false;
    file.ReadWord(word);
    ForEachClauseWord(file, word, [&](std::string_view w) {
        if (ReadPenOrBrush(file, w, region.pen, region.brush)) {
            return true;
        }
        if (EqualsNoCase(w, "Center")) {
            region.hasCenter = ReadPoint(file, region.center);
            return true;
        }
        return false;
    });
}

void ReadRectClauses(CMifScanner& file, CMifRect& rect, std::string& word) {
    file.ReadWord(word);
    ForEachClauseWord(file, word, [&](std::string_view w) {
        return ReadPenOrBrush(file, w, rect.pen, rect.brush);
    });
}

void ReadTextClauses(CMifScanner& file, CMifText& text, std::string& word) {
    text.justify = kJustifyNone;
    text.angle = 0.0f;
    text.labelLine = kLabelNone;
    text.spacing = 1.0f;
    file.ReadWord(word);
    // A clause word whose value is missing or not of its kind: the clause is ignored.
    auto number = [&file, &word](const char* clause, float& value) {
        ReadClauseWord(file, word);
        if (!LooksLikeNumber(word)) {
            NoteClause(file, std::string(clause) + " " + word, "no number after it");
            return;
        }
        value = ToFloat(ParseDouble(word));
    };
    ForEachClauseWord(file, word, [&](std::string_view w) {
        if (EqualsNoCase(w, "Angle")) {
            number("Angle", text.angle);
        } else if (EqualsNoCase(w, "Spacing")) {
            number("Spacing", text.spacing);
        } else if (EqualsNoCase(w, "Justify")) {
            ReadClauseWord(file, word);
            MifJustify justify = EqualsNoCase(word, "Left")     ? kJustifyLeft
                                 : EqualsNoCase(word, "Center") ? kJustifyCenter
                                 : EqualsNoCase(word, "Right")  ? kJustifyRight
                                                                : kJustifyNone;
            if (justify == kJustifyNone) {
                NoteClause(file, "Justify " + word, "not Left, Center or Right");
            } else {
                text.justify = justify;
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
        } else {
            return false;
        }
        return true;
    });
}

// The clause parsers read their line into the scanner's storage: their callers read the next word
// into it afterwards and keep nothing from it.
void ParsePen(CMifScanner& file, CMifPen& pen) {
    std::string_view inner;
    if (!ReadClauseValues(file, file.word, inner)) {
        NoteClause(file, file.word, "no values in parentheses");
        return;
    }
    std::vector<int32_t>& values = file.clauseInts;
    ParseIntList(inner, values);
    if (values.size() != 3) {
        NoteClause(file, file.word, "a pen has three values");
        return;
    }
    pen.width = values[0];
    pen.pattern = values[1];
    pen.color = SwapColor(values[2]);
}

void ParseBrush(CMifScanner& file, CMifBrush& brush) {
    std::string_view inner;
    if (!ReadClauseValues(file, file.word, inner)) {
        NoteClause(file, file.word, "no values in parentheses");
        return;
    }
    std::vector<int32_t>& values = file.clauseInts;
    ParseIntList(inner, values);
    if (values.size() != 2 && values.size() != 3) {
        NoteClause(file, file.word, "a brush has two or three values");
        return;
    }
    brush.pattern = values[0];
    brush.foreColor = SwapColor(values[1]);
    if (values.size() == 3) {
        brush.backColor = SwapColor(values[2]);
    }
}

void ParseSymbol(CMifScanner& file, CMifSymbol& symbol) {
    std::string_view inner;
    if (!ReadClauseValues(file, file.word, inner)) {
        NoteClause(file, file.word, "no values in parentheses");
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
            NoteClause(file, file.word, "a symbol has three, four or six values");
            break;
    }
}

void ParseFont(CMifScanner& file, CMifFont& font) {
    std::string_view inner;
    if (!ReadClauseValues(file, file.word, inner)) {
        NoteClause(file, file.word, "no values in parentheses");
        return;
    }
    std::vector<std::string>& values = file.clauseTexts;
    SplitQuoted(inner, ',', values);
    if (values.size() != 4 && values.size() != 5) {
        NoteClause(file, file.word, "a font has four or five values");
        return;
    }
    font.name = values[0];
    font.style = ParseInt(values[1]);
    font.size = ParseInt(values[2]);
    font.foreColor = SwapColor(ParseInt(values[3]));
    if (values.size() == 5) {
        font.backColor = SwapColor(ParseInt(values[4]));
    }
}
