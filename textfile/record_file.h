#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "textfile/text_file.h"

// A text file that carries delimited records (the MID file): one record buffer holds the fields
// of the current record on their way between the file and the converters.
class CRecordFile : public CTextFile {
public:
    static constexpr char kDefaultDelimiter = '\t';

    void CloseFile() {
        CTextFile::CloseFile();
        ClearFields();
    }
    ~CRecordFile() { ClearFields(); }

    // Field i of the current record; empty text when the record has no field i.
    // A negative index throws std::invalid_argument.
    std::string GetField(int i) const;
    void GetField(int i, std::string& value) const;
    // Stores field i, growing the record with empty fields up to i.
    void SetField(int i, const std::string& text) { SetField(i, text.data(), text.size()); }
    void SetField(int i, const char* text, size_t length);
    void ClearFields() { fieldCount = 0; }
    void SetDelimiter(char c) { delimiter = c; }
    char GetDelimiter() const { return delimiter; }
    int FieldCount() const { return static_cast<int>(fieldCount); }

    // Reading records (MID reader).
    void ReadRecord();
    void ReadFirstRecord();
    void ReadNextRecord();

    // Joins the fields with the delimiter, writes them as one line and clears the record.
    int WriteRecord();

private:
    // Makes field i the next one to fill and returns it, emptied; strings are kept between
    // records so that reading reuses their storage.
    std::string& AppendField();
    // After a CR, consumes an LF that follows it.
    void SkipLineFeed();

    std::string line;
    // End of the bytes that a quoted field looked at ahead without finding its closing quote.
    int64_t runOnLimit = -1;
    // The first fieldCount entries are the record; the rest are spare storage.
    std::vector<std::string> fields;
    size_t fieldCount = 0;
    char delimiter = kDefaultDelimiter;
};
