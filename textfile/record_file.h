#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "textfile/text_file.h"

// A text file that carries delimited records (the MID file): one record buffer holds the fields
// of the current record on their way between the file and the converters.
class CRecordFile : public CTextFile {
public:
    CRecordFile() { MarkStops(); }
    static constexpr char kDefaultDelimiter = '\t';

    void CloseFile() {
        CTextFile::CloseFile();
        ClearFields();
    }
    ~CRecordFile() { ClearFields(); }

    // Field i of the record read last; empty text when the record has no field i.
    // A negative index throws std::invalid_argument.
    std::string GetField(int i) const;
    void GetField(int i, std::string& value) const;
    // The same without a copy, valid until the next record is read; empty when there is none.
    std::string_view Field(int i) const {
        if (!HasField(i)) {
            return {};
        }
        size_t k = static_cast<size_t>(i);
        size_t begin = k == 0 ? 0 : recordEnds[k - 1];
        return std::string_view(record).substr(begin, recordEnds[k] - begin);
    }
    // Stores field i of the record to write, growing it with empty fields up to i.
    void SetField(int i, const std::string& text) { SetField(i, text.data(), text.size()); }
    void SetField(int i, const char* text, size_t length) { FieldToWrite(i).assign(text, length); }
    // Field i of the record to write, emptied, for the caller to fill; the record grows with
    // empty fields up to i. A negative index throws std::invalid_argument.
    std::string& FieldToWrite(int i);
    // Empties the record read and the record to write.
    void ClearFields() {
        fieldCount = 0;
        record.clear();
        recordEnds.clear();
    }
    void SetDelimiter(char c) {
        stops[static_cast<unsigned char>(delimiter)] = false;
        delimiter = c;
        MarkStops();
    }
    char GetDelimiter() const { return delimiter; }
    // True when the record read last holds field i (a record read past the end of the file
    // holds none).
    bool HasField(int i) const { return i >= 0 && static_cast<size_t>(i) < recordEnds.size(); }

    // Reading records (MID reader). Each returns false, with an empty record, at the end of the
    // file. The first record starts after a UTF-8 byte order mark.
    bool ReadRecord();
    // Puts the read position at the start of the first record.
    void SeekToFirstRecord();
    bool ReadFirstRecord();
    bool ReadNextRecord();
    // Reads the next record as ReadRecord does, but keeps only the length of each field as
    // written (within the field limit) in lengths; the record's fields are left as they were.
    bool MeasureRecord(std::vector<size_t>& lengths);
    // Fields past the first n of a record are read but not kept (a record of millions of empty
    // fields must not cost a string each); FieldsRead still counts them.
    void SetFieldLimit(size_t n) { fieldLimit = n; }
    size_t FieldsRead() const { return fieldsRead; }
    // Where the current record starts in the file.
    int64_t RecordOffset() const { return recordOffset; }
    // True when the current record had a quoted field that ran over a line break without closing
    // before its delimiter: the record was ended at its first line break instead.
    bool QuoteRepaired() const { return quoteRepaired; }
    // True when the current record is an empty line.
    bool Blank() const { return blank; }

    // Joins the fields with the delimiter, writes them as one line and clears the record.
    int WriteRecord();

private:
    // Makes field i of the record to write the next one to fill and returns it, emptied; strings
    // are kept between records so that writing reuses their storage.
    std::string& AppendField();
    // After a CR, consumes an LF that follows it.
    void SkipLineFeed();
    // Reads a record into a sink: the record's fields (TextSink) or their lengths (LengthSink).
    struct TextSink;
    struct LengthSink;
    template <typename Sink>
    bool ReadWith(Sink& sink);

    std::string line;
    // End of the bytes that a quoted field looked at ahead without finding its closing quote.
    int64_t runOnLimit = -1;
    // The record read: the bytes of its fields one after another, and where each ends.
    std::string record;
    std::vector<size_t> recordEnds;
    // The record to write: its first fieldCount entries; the rest are spare storage.
    std::vector<std::string> fields;
    size_t fieldCount = 0;
    size_t fieldLimit = SIZE_MAX;
    size_t fieldsRead = 0;
    int64_t recordOffset = 0;
    bool quoteRepaired = false;
    bool blank = false;
    char delimiter = kDefaultDelimiter;
    // The bytes that end a run of ordinary bytes in a field: a quote, the delimiter, CR and LF.
    bool stops[256] = {};
    void MarkStops() {
        for (char c : {'"', '\r', '\n', delimiter}) {
            stops[static_cast<unsigned char>(c)] = true;
        }
    }
};
