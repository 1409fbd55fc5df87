#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mif/model/mif_column.h"
#include "mif/model/mif_object.h"
#include "plugin/feature_file.h"
#include "textfile/record_file.h"
#include "textfile/text_file.h"

// One MIF/MID pair, open for reading or for writing. Its own CTextFile part carries the MIF
// text; the MID file is midFile. The reader's operations live in mif/reader, the writer's in
// mif/writer.
class CMifFile final : public CFeatureFile, public CTextFile {
public:
    CMifFile();
    ~CMifFile();
    CMifFile(const CMifFile&) = delete;
    CMifFile& operator=(const CMifFile&) = delete;

    // The file interface, in slot order.
    int Open(const char* path) override;
    int Create(const char* path) override;
    void Close() override;
    void Rewind() override;
    void MoveNext() override;
    int IsEof() override;
    CMifObject* ReadObject() override;
    int WriteObject(CMifObject* record) override;

    // Scanner: words and lines pulled from the MIF text on demand. A word is a run of bytes other
    // than blanks (space, TAB, CR and LF); a line is the rest of the current line after leading
    // blanks. Both set the mark before the leading blanks, so RestoreMark puts back
    // the whole word or line. The forms taking a string reuse its storage and return false at
    // the end of the file.
    std::string ReadWord();
    std::string ReadLine();
    bool ReadWord(std::string& word);
    bool ReadLine(std::string& line);
    // Searches for a word equal to key (ignoring case); stops without finding it at the end of
    // the file or at a word equal to one of the stop words. Returns 1 with the read position after
    // the key, or 0 with the read position back where the search began.
    int FindKeyword(std::string_view key, const char* stop, const char* stop2 = nullptr);
    // The next word read as a number (0 when it is none), without copying it when it lies within
    // the loaded page; the mark is set as ReadWord sets it. False, with the value 0, at the end of
    // the file and at an object keyword, which is put back: a count larger than the data that
    // follows stops at the next object.
    bool ReadNumber(double& value);
    // Skips words up to the next object keyword and returns its kind, -1 at the end of the file.
    int32_t ReadObjectKeyword();

    // MID values of the current record: 1 and the value of column i, or 0 when the MID does not
    // hold it (no MID file, no such column, a record past the end of the MID or one with fewer
    // fields).
    int GetFieldValue(int i, std::string& value);
    // The length in bytes of the longest value of each column over the whole MID file (0 for a
    // column without values), read ahead before the objects; the MID is left at its first record.
    void MeasureValues(std::vector<size_t>& longest);

    // The current object: at most one, owned by the file.
    void CreateCurrentObject(int32_t kind);
    void DeleteCurrentObject();

    // Object bodies, one reader per kind, and clauses.
    void ApplyTransform(CNode& node) const;
    // Two points (the corners of a box, the ends of a line) in the header's transformation;
    // false when the file does not hold both whole.
    bool ReadCorners(CNode& first, CNode& second);
    // Each body returns false when a point its kind needs is not there whole (the object then
    // becomes an empty one).
    bool ParsePoint(CMifPoint& record);
    bool ParseLine(CMifLine& record);
    bool ParsePline(CMifPline& record);
    bool ParseRegion(CMifRegion& record);
    bool ParseRect(CMifRect& record);
    bool ParseArc(CMifArc& record);
    bool ParseText(CMifText& record);
    bool ParseMultiPoint(CMifMultiPoint& record);
    bool ParseCollection(CMifCollection& record);
    void ParsePen(CMifPen& pen);
    void ParseBrush(CMifBrush& brush);
    void ParseSymbol(CMifSymbol& symbol);
    void ParseFont(CMifFont& font);
    int32_t ConvertPenWidth(int32_t width) const;

    // Writer: style clauses, sectioned objects, MID values.
    int WritePen(const CMifPen& pen);
    int WriteBrush(const CMifBrush& brush);
    int WriteSymbol(const CMifSymbol& symbol);
    int WriteFont(const CMifFont& font);
    int WritePline(const CMifPline& pline);
    int WriteRegion(const CMifRegion& region);
    int WriteMultiPoint(const CMifMultiPoint& multiPoint);
    void SetValue(int i, const char* value);
    int WriteValues();
    // True once any write to the MIF or the MID file has failed since Create.
    bool WriteFailed() const { return HasWriteError() || midFile.HasWriteError(); }

    CRecordFile midFile;
    int32_t version = 0;
    std::string charset;
    std::string coordSys;
    std::string delimiterText;
    std::vector<int32_t> uniqueColumns;
    std::vector<int32_t> indexColumns;
    bool hasTransform = false;
    std::vector<double> transform;
    CMifObject* currentObject = nullptr;
    int32_t nextKind = -1;
    double progress = 0.0;
    // What reading takes from the host, handed in by whoever opens the file: the screen's device
    // pixels per point, for pen widths given in points, and the host's decoder of the escapes in
    // Text strings (null: DecodeEscapes, which reads them the same way).
    double pixelsPerPoint = 96.0 / 72.0;
    std::string (*decodeText)(const std::string&) = nullptr;
    CMifColumnList columns;

private:
    // Storage reused by the scanner's searches, so that skipping words allocates nothing.
    std::string scanWord;
    // A number word that runs across a page boundary is gathered here.
    std::string numberWord;
    // The values of the style clause being parsed, reused from clause to clause.
    std::vector<int32_t> clauseInts;
    std::vector<std::string> clauseTexts;
    // Records of each kind kept for the next object of that kind.
    CMifRecordPool records;
    // Sets the mark, skips blanks and takes the first byte after them; false at the end of the
    // file. Words, numbers and lines all start so.
    bool StartWord(char& c);
    // Appends the rest of the word whose first byte has been read, and consumes its terminator.
    void AppendWordRest(std::string& word);
    // ReadNumber's common case, converted as it is scanned: a plain decimal (sign, digits, an
    // optional fraction) that ends with a blank within the loaded page and converts exactly by
    // one division. False, with nothing consumed, for any other word.
    bool ReadPlainNumber(double& value);
    // Where the objects begin: just behind the word Data that ends the header; -1 when closed.
    int64_t dataOffset = -1;
    // Storage reused by SetValue to quote a text value without allocating per value.
    std::string valueScratch;
};

// The MID path of a MIF path: the extension of the file name replaced by ".mid", or ".mid"
// appended when the file name has no extension.
std::string GetMidFileName(const std::string& path);
