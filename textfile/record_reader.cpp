#include "textfile/record_file.h"

namespace {

// A quoted value may hold line breaks, but a stray quote must not swallow the rest of the file:
// a value that runs on past its first line break by more than this is taken to end there.
constexpr size_t kMaxQuotedSpan = 1u << 20;

}  // namespace

// Reads one record up to its line end (CR LF, LF or CR), splitting it at the delimiter outside
// double quotes. The quotes stay in the fields. A line break inside a quoted field that began
// with its quote belongs to the field.
void CRecordFile::ReadRecord() {
    ClearFields();
    std::string* field = &AppendField();
    bool inQuotes = false;
    // Where the current field first ran on over a line break, to fall back to when its quote
    // never closes.
    int64_t breakOffset = -1;
    size_t breakFieldCount = 0;
    size_t breakFieldLength = 0;
    char breakChar = 0;
    for (;;) {
        if (PageCursor() >= PageEnd() && !NextPage()) {
            if (breakOffset >= 0 && inQuotes) {
                break;  // end of file inside the quotes: fall back below
            }
            return;
        }
        const char* p = PageCursor();
        const char* end = PageEnd();
        const char* q = p;
        const char delim = delimiter;
        while (q < end && *q != '"' && *q != delim && *q != '\r' && *q != '\n') {
            ++q;
        }
        field->append(p, static_cast<size_t>(q - p));
        if (q == end) {
            Skip(static_cast<size_t>(q - p));
        } else {
            const char c = *q;
            Skip(static_cast<size_t>(q - p) + 1);
            if (c == '\r' || c == '\n') {
                bool opensWithQuote = !field->empty() && (*field)[0] == '"';
                if (!inQuotes || !opensWithQuote) {
                    if (c == '\r') {
                        SkipLineFeed();
                    }
                    return;
                }
                if (breakOffset < 0) {
                    breakOffset = ReadOffset();
                    breakFieldCount = fieldCount;
                    breakFieldLength = field->size();
                    breakChar = c;
                }
                field->push_back(c);
            } else {
                if (c == '"') {
                    inQuotes = !inQuotes;
                }
                if (c == delim && !inQuotes) {
                    field = &AppendField();
                    breakOffset = -1;
                } else {
                    field->push_back(c);
                }
            }
        }
        if (breakOffset >= 0 && inQuotes && field->size() - breakFieldLength > kMaxQuotedSpan) {
            break;
        }
    }
    // The quote opened at the start of the field does not close within reach: the record ends
    // at the field's first line break after all. The records that follow cannot run on past a
    // line break themselves (their quote state is the opposite of this field's at every line
    // break), so this look-ahead is not repeated over the same bytes.
    SeekTo(breakOffset);
    fieldCount = breakFieldCount;
    fields[fieldCount - 1].resize(breakFieldLength);
    if (breakChar == '\r') {
        SkipLineFeed();
    }
}

void CRecordFile::SkipLineFeed() {
    if (PageCursor() >= PageEnd() && !NextPage()) {
        return;
    }
    if (*PageCursor() == '\n') {
        Skip(1);
    }
}

void CRecordFile::ReadFirstRecord() {
    SeekToStart();
    ReadRecord();
}

// ReadRecord consumes the line end with its record, so nothing is skipped here: skipping a byte
// blindly would eat the first byte of every record after a bare LF or CR.
void CRecordFile::ReadNextRecord() {
    ReadRecord();
}
