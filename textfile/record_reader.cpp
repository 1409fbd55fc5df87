#include <algorithm>
#include <cstring>

#include "textfile/record_file.h"

namespace {

// A quoted value may hold line breaks, but a stray quote must not swallow the rest of the file:
// a value that runs on past its first line break by more than this is taken to end there.
constexpr size_t kMaxQuotedSpan = 1u << 20;

// Where a field stands while its bytes are read.
enum class FieldState {
    kStart,   // only blanks so far: a quote now opens a quoted field
    kPlain,   // an unquoted field; quotes in it still protect delimiters, not line breaks
    kQuoted,  // inside a quoted field
    kQuote,   // a quote inside a quoted field: a doubled one, or the closing one
    kTail,    // after the closing quote: bytes up to the delimiter stay in the field as written
};

}  // namespace

// Where ReadWith puts the bytes of the fields it reads: the record's buffer, one field after
// another, those past the field limit only counted.
struct CRecordFile::TextSink {
    CRecordFile& file;
    size_t size = 0;    // bytes of the current field
    bool keep = false;  // the current field is within the limit

    void Start() {
        file.record.clear();
        file.recordEnds.clear();
        file.fieldsRead = 1;
        size = 0;
        keep = file.fieldLimit > 0;
    }
    void Next(size_t) {
        Finish(0);
        ++file.fieldsRead;
        size = 0;
        keep = file.recordEnds.size() < file.fieldLimit;
    }
    void Append(const char* p, size_t n) {
        if (keep) {
            file.record.append(p, n);
        }
        size += n;
    }
    void Push(char c) {
        if (keep) {
            file.record.push_back(c);
        }
        ++size;
    }
    size_t Size() const { return size; }
    void None() {
        file.record.clear();
        file.recordEnds.clear();
        file.fieldsRead = 0;
    }
    // Back to field count - 1 holding its first length bytes, and nothing after it.
    void Restore(size_t count, size_t length) {
        file.fieldsRead = count;
        size = length;
        keep = count <= file.fieldLimit;
        if (keep) {
            file.recordEnds.resize(count - 1);
            file.record.resize((count > 1 ? file.recordEnds.back() : 0) + length);
        }
    }
    void Finish(size_t) {
        if (keep) {
            file.recordEnds.push_back(file.record.size());
        }
    }
};

// Or only their lengths, for a pass that measures the values without keeping them: each field's
// length as written, less the quotes that reading its value takes away (the outer quotes of a
// quoted value and one of each doubled quote inside), so that it is the value's length or a little
// more.
struct CRecordFile::LengthSink {
    CRecordFile& file;
    std::vector<size_t>& lengths;
    size_t current = 0;

    void Start() {
        lengths.clear();
        file.fieldsRead = 1;
        current = 0;
    }
    void Next(size_t unquoted) {
        Finish(unquoted);
        ++file.fieldsRead;
        current = 0;
    }
    void Append(const char*, size_t n) { current += n; }
    void Push(char) { ++current; }
    size_t Size() const { return current; }
    void None() {
        lengths.clear();
        file.fieldsRead = 0;
    }
    void Restore(size_t count, size_t length) {
        file.fieldsRead = count;
        lengths.resize(std::min(count - 1, std::min(lengths.size(), file.fieldLimit)));
        current = length;
    }
    // The field read so far ends: its length is kept within the field limit.
    void Finish(size_t unquoted) {
        if (lengths.size() < file.fieldLimit && lengths.size() < file.fieldsRead) {
            lengths.push_back(current - std::min(current, unquoted));
        }
    }
};

bool CRecordFile::ReadRecord() {
    TextSink sink{*this};
    return ReadWith(sink);
}

bool CRecordFile::MeasureRecord(std::vector<size_t>& lengths) {
    LengthSink sink{*this, lengths};
    return ReadWith(sink);
}

// Reads one record up to its line end (CR LF, LF or CR), splitting it at the delimiter. A field
// whose first byte other than a blank is a double quote is quoted: delimiters and line breaks
// inside it belong to it, and a doubled quote stands for a quote. Any other quote closes it, so a
// stray quote inside a value can neither swallow the delimiter after it nor run the record on.
// A quoted field that ran on over a line break must close with a quote followed by the delimiter
// or the line end (blanks between are allowed); otherwise its first quote was no value quote and
// the record ends at its first line break. The fields keep their bytes as written, quotes and
// blanks included; fields past the field limit are read but not kept.
template <typename Sink>
bool CRecordFile::ReadWith(Sink& sink) {
    sink.Start();
    recordOffset = ReadOffset();
    quoteRepaired = false;
    FieldState state = FieldState::kStart;
    bool plainInQuotes = false;
    bool any = false;
    // Where the current field first ran on over a line break, to fall back to when its quote
    // never closes.
    int64_t breakOffset = -1;
    size_t breakFieldCount = 0;
    size_t breakFieldLength = 0;
    char breakChar = 0;
    const char delim = delimiter;
    bool runaway = false;
    // Quote bytes of the current field that its value leaves out, for the length sink.
    size_t unquoted = 0;
    while (!runaway) {
        if (PageCursor() >= PageEnd() && !NextPage()) {
            if (breakOffset >= 0 && state == FieldState::kQuoted) {
                break;  // end of file inside the quotes: fall back below
            }
            if (!any) {
                sink.None();
                return false;  // the end of the file: no record here
            }
            blank = fieldsRead == 1 && sink.Size() == 0;
            sink.Finish(unquoted + (state == FieldState::kQuote ? 2 : 0));
            return true;
        }
        any = true;
        const char* p = PageCursor();
        const char* end = PageEnd();
        if (state != FieldState::kStart && state != FieldState::kQuote) {
            // The run of ordinary bytes is taken at once.
            const char* q = p;
            while (q < end && !stops[static_cast<unsigned char>(*q)]) {
                ++q;
            }
            sink.Append(p, static_cast<size_t>(q - p));
            Skip(static_cast<size_t>(q - p));
            if (breakOffset >= 0 && sink.Size() - breakFieldLength > kMaxQuotedSpan) {
                break;
            }
            if (q == end) {
                continue;
            }
            p = q;
        }
        const char c = *p;
        Skip(1);
        const bool lineEnd = c == '\r' || c == '\n';
        bool fieldEnds = false;
        switch (state) {
            case FieldState::kStart:
                if (c == '"') {
                    state = FieldState::kQuoted;
                } else if (c == delim || lineEnd) {
                    fieldEnds = true;
                } else if (c != ' ' && c != '\t') {
                    state = FieldState::kPlain;
                }
                break;
            case FieldState::kPlain:
                if (c == '"') {
                    plainInQuotes = !plainInQuotes;
                } else {
                    fieldEnds = !plainInQuotes || lineEnd;
                }
                break;
            case FieldState::kQuoted:
                if (c == '"') {
                    state = FieldState::kQuote;
                } else if (lineEnd) {
                    if (breakOffset < 0) {
                        breakOffset = ReadOffset();
                        breakFieldCount = fieldsRead;
                        breakFieldLength = sink.Size();
                        breakChar = c;
                    }
                    // Bytes that an earlier look-ahead found without a closing quote are not
                    // looked at again.
                    runaway = breakOffset <= runOnLimit;
                }
                break;
            case FieldState::kQuote:
                if (c == '"') {
                    state = FieldState::kQuoted;
                    ++unquoted;
                    break;
                }
                state = FieldState::kTail;
                unquoted += 2;
                [[fallthrough]];
            case FieldState::kTail:
                fieldEnds = c == delim || lineEnd;
                if (!fieldEnds && c != ' ' && c != '\t') {
                    // Bytes after the closing quote: the value keeps more of its quotes.
                    unquoted = 0;
                    // After a run over a line break only blanks may stand before the delimiter.
                    runaway = breakOffset >= 0;
                }
                break;
        }
        if (runaway) {
            break;
        }
        if (!fieldEnds) {
            sink.Push(c);
        } else if (lineEnd) {
            if (c == '\r') {
                SkipLineFeed();
            }
            blank = fieldsRead == 1 && sink.Size() == 0;
            sink.Finish(unquoted);
            return true;
        } else {
            sink.Next(unquoted);
            unquoted = 0;
            state = FieldState::kStart;
            plainInQuotes = false;
            breakOffset = -1;
        }
    }
    // The quote opened at the start of the field does not close within reach: the record ends
    // at the field's first line break after all. The bytes looked at ahead are remembered, so
    // that a later record that runs on into them ends at its own line break instead of looking
    // ahead over the same bytes again.
    if (ReadOffset() > runOnLimit) {
        runOnLimit = ReadOffset();
    }
    quoteRepaired = true;
    SeekTo(breakOffset);
    sink.Restore(breakFieldCount, breakFieldLength);
    if (breakChar == '\r') {
        SkipLineFeed();
    }
    blank = false;
    sink.Finish(0);
    return true;
}

void CRecordFile::SkipLineFeed() {
    if (PageCursor() >= PageEnd() && !NextPage()) {
        return;
    }
    if (*PageCursor() == '\n') {
        Skip(1);
    }
}

void CRecordFile::SeekToFirstRecord() {
    SeekToStart();
    // A UTF-8 byte order mark is no part of the first value.
    if (PageEnd() - PageCursor() >= 3 && std::memcmp(PageCursor(), "\xEF\xBB\xBF", 3) == 0) {
        Skip(3);
    }
    runOnLimit = -1;
}

bool CRecordFile::ReadFirstRecord() {
    SeekToFirstRecord();
    return ReadRecord();
}

// ReadRecord consumes the line end with its record, so nothing is skipped here: skipping a byte
// blindly would eat the first byte of every record after a bare LF or CR.
bool CRecordFile::ReadNextRecord() {
    return ReadRecord();
}
