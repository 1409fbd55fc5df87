#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mif/model/mif_object.h"
#include "mif/model/mif_report.h"
#include "textfile/text_file.h"

// Text helpers of the MIF reader. Numbers are read independently of the locale (a period is the
// decimal point) and without undefined behaviour on overflow, otherwise as atoi and atof do:
// leading white space is skipped, the longest valid prefix is converted, 0 when there is none.

// Integer value of the text; saturates at the 32-bit limits.
int32_t ParseInt(std::string_view text);
// Floating-point value of the text; out of range gives +-HUGE_VAL or 0, as strtod does. Also
// reads nan and inf, and 1.#INF, 1.#QNAN, 1.#IND as other writers print them.
double ParseDouble(std::string_view text);
// True when the word can be read as a number: it starts with a digit, a sign or a point, or it
// is nan or inf (or infinity) in any case.
bool LooksLikeNumber(std::string_view word);
// True when the whole text is one number: a sign, digits with a fraction and an exponent, or nan
// and inf as ParseDouble reads them.
bool IsNumber(std::string_view text);
// A date as other programs write it: YYYYMMDD, YYYY-MM-DD or YYYY/MM/DD, as year, month and day.
// False for any other text (an empty value among them).
bool ParseDate(std::string_view text, uint16_t date[3]);
// The shortest text that reads back as the value.
std::string NumberText(double value);
// Narrows to 32-bit floating point; a value beyond its range becomes infinite of its sign instead
// of an undefined conversion.
float ToFloat(double value);

// The text without one leading and one trailing double quote (text of fewer than 2 bytes is
// returned unchanged).
std::string StripQuotes(std::string_view text);
// The text without one leading "(" and one trailing ")".
std::string StripParens(std::string_view text);
// Comma-separated numbers; empty tokens are skipped. Reals may also be separated by blanks.
void ParseIntList(std::string_view text, std::vector<int32_t>& list);
void ParseDoubleList(std::string_view text, std::vector<double>& list);
// The text without spaces and TABs at either end.
std::string_view TrimBlanks(std::string_view text);
// A text quoted on both sides loses its quotes, and a doubled quote inside it stands for one
// quote; any other text is changed as StripQuotes does.
void UnquoteValue(std::string& text);
// The same, appending the text without its quotes to out.
void AppendUnquoted(std::string_view text, std::string& out);
// Splits at separators outside double quotes into the list, which it replaces. Blanks around an
// entry are dropped, and so are its quotes; a doubled quote inside quotes stands for one. Always
// at least one entry.
void SplitQuoted(std::string_view text, char separator, std::vector<std::string>& list);
// Decodes the escapes that MIF and MID writers use, in the text from byte from on: \n becomes a
// line feed and \\ one backslash; any other backslash stays.
void DecodeEscapes(std::string& text, size_t from = 0);

// Words, numbers and lines pulled from the MIF text on demand, over the text file it owns. A word
// is a run of bytes other than blanks (space, TAB, CR and LF); a line is the rest of the current
// line after leading blanks. Each read sets the mark before the leading blanks, so RestoreMark
// puts back the whole word, number or line.
class CMifScanner {
public:
    // Opens the file for reading (CTextFile::OpenRead); a UTF-8 byte order mark at its start is
    // no part of the first word (a repair), and Start gives the offset behind it.
    int Open(const char* path);
    void Close();
    int IsOpen() const { return text.IsOpen(); }
    CTextFile::OpenResult LastOpenResult() const { return text.LastOpenResult(); }
    int64_t Start() const { return start; }

    // The forms taking a string reuse its storage and return false at the end of the file.
    std::string ReadWord();
    std::string ReadLine();
    bool ReadWord(std::string& word);
    bool ReadLine(std::string& line);
    // Searches for a word equal to key (ignoring case); stops without finding it at the end of
    // the file or at a word equal to one of the stop words. Returns 1 with the read position after
    // the key, or 0 with the read position back where the search began.
    int FindKeyword(std::string_view key, const char* stop, const char* stop2 = nullptr);
    // The next word read as a number, without copying it when it lies within the loaded page.
    // False, with the value 0 and the word put back, at the end of the file and at a word that is
    // no number (the next object, or the clauses): a count larger than the data that follows
    // stops there.
    bool ReadNumber(double& value);
    // Appends up to most nodes of two plain numbers each (see ReadPlainNumber) read from the
    // loaded page, as ReadNumber would read them; stops before the first node that is not such
    // a pair, or that does not end within the page. Returns how many it appended.
    size_t ReadPlainPoints(std::vector<CNode>& nodes, size_t most);
    // Skips words up to the next object keyword and returns its kind, -1 at the end of the file.
    // The words it skips are a repair.
    int32_t ReadObjectKeyword();

    // The offset of the first byte of the last word or line read (a number read fast, from the
    // page, leaves it as it was).
    int64_t WordOffset() const { return text.OffsetIn(wordPage, wordStart); }
    // The same, kept as cheaply as it can be for a later WordOffset: the byte and its page.
    struct CPosition {
        const char* at = nullptr;
        int32_t page = 0;
    };
    CPosition WordPosition() const { return CPosition{wordStart, wordPage}; }
    int64_t OffsetOf(CPosition position) const { return text.OffsetIn(position.page, position.at); }
    // The offset of the mark: where the last read began, before its blanks.
    int64_t MarkOffset() const { return text.MarkOffset(); }
    // True when the last read found the end of the file instead of a word.
    bool AtEnd() const { return atEnd; }

    // Where repairs are noted; null: nowhere.
    CMifReport* report = nullptr;
    // Notes a repair at the line of offset; describe() gives its text, and is called only when
    // the report keeps it. The work is done out of line, away from the reading loops.
    template <typename Describe>
    void Note(MifRepairKind kind, int64_t offset, const Describe& describe) {
        if (report != nullptr) {
            NoteWith(kind, offset, &CallDescribe<Describe>, &describe);
        }
    }
    template <typename Describe>
    static std::string CallDescribe(const void* describe) {
        return (*static_cast<const Describe*>(describe))();
    }
    void NoteWith(MifRepairKind kind, int64_t offset, std::string (*describe)(const void*),
                  const void* context);

    void RestoreMark() { text.RestoreMark(); }
    int64_t ReadOffset() const { return text.ReadOffset(); }
    void SeekTo(int64_t offset) { text.SeekTo(offset); }
    int64_t FileSize() const { return text.FileSize(); }

    // Storage the readers reuse from object to object, so that reading allocates nothing: a word
    // or line, and the values of a style clause.
    std::string word;
    std::vector<int32_t> clauseInts;
    std::vector<std::string> clauseTexts;

private:
    // Sets the mark, skips blanks and takes the first byte after them; false at the end of the
    // file. Words, numbers and lines all start so.
    bool StartWord(char& c);
    // Appends the rest of the word whose first byte has been read, and consumes its terminator.
    void AppendWordRest(std::string& out);
    // ReadNumber's common case, converted as it is scanned: a plain decimal (sign, digits, an
    // optional fraction) that ends with a blank within the loaded page and converts exactly by
    // one division. False, with nothing consumed, for any other word.
    bool ReadPlainNumber(double& value);

    CTextFile text;
    int64_t start = 0;
    // Where the last word began, kept as cheaply as it can be: its byte and the page it was in.
    const char* wordStart = nullptr;
    int32_t wordPage = 0;
    bool atEnd = false;
    // Storage reused by the searches, so that skipping words allocates nothing.
    std::string scanWord;
    // A number word that runs across a page boundary is gathered here.
    std::string numberWord;
    // The first word ReadObjectKeyword skipped.
    std::string skippedWord;
};
