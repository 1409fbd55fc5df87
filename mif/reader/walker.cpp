#include <algorithm>

#include "mif/reader/mif_file.h"
#include "mif/reader/scanner.h"

void CMifFile::Rewind() {
    // Open found the word Data behind the column list; the objects follow it.
    if (dataOffset >= 0) {
        SeekTo(dataOffset);
        nextKind = ReadObjectKeyword();
    }
    progress = 0.0;
    if (midFile.IsOpen()) {
        midFile.ReadFirstRecord();
    }
}

void CMifFile::MoveNext() {
    nextKind = ReadObjectKeyword();
    // 64-bit offsets: progress stays right in files above 2 GiB.
    int64_t size = FileSize();
    progress =
        size > 0 ? static_cast<double>(ReadOffset()) / static_cast<double>(size) * 100.0 : 100.0;
    if (midFile.IsOpen()) {
        midFile.ReadNextRecord();
    }
}

int CMifFile::IsEof() {
    return nextKind == -1 ? 1 : 0;
}

void CMifFile::MeasureValues(std::vector<size_t>& longest) {
    const int count = columns.GetCount();
    longest.assign(static_cast<size_t>(count), 0);
    if (!midFile.IsOpen()) {
        return;
    }
    // The records are read for the lengths of their fields as written. A value is never longer
    // than its field: only a record with a field longer than its column's longest value so far
    // is read again whole and its values decoded.
    std::string value;
    std::vector<size_t> lengths;
    midFile.SeekToFirstRecord();
    for (;;) {
        int64_t start = midFile.ReadOffset();
        if (!midFile.MeasureRecord(lengths)) {
            break;
        }
        size_t fields = std::min(lengths.size(), longest.size());
        bool longer = false;
        for (size_t i = 0; i < fields && !longer; ++i) {
            longer = lengths[i] > longest[i];
        }
        if (!longer) {
            continue;
        }
        int64_t next = midFile.ReadOffset();
        midFile.SeekTo(start);
        midFile.ReadRecord();
        for (int i = 0; i < count && GetFieldValue(i, value) == 1; ++i) {
            size_t& most = longest[static_cast<size_t>(i)];
            most = std::max(most, value.size());
        }
        midFile.SeekTo(next);
    }
    midFile.ReadFirstRecord();
}

int CMifFile::GetFieldValue(int i, std::string& value) {
    if (!midFile.IsOpen() || i < 0 || i >= columns.GetCount() || !midFile.HasField(i)) {
        return 0;
    }
    midFile.GetField(i, value);
    // Blanks around a quoted value are not part of it, nor are its quotes (a doubled quote
    // inside stands for one); a number, date or logical loses its blanks as well. An unquoted
    // text keeps them.
    std::string_view trimmed = TrimBlanks(value);
    const bool isText = columns.Get(i).type == kColChar;
    const bool quoted = !trimmed.empty() && (trimmed.front() == '"' || trimmed.back() == '"');
    if ((quoted && (!isText || trimmed.front() == '"')) || (!isText && trimmed != value)) {
        size_t start = static_cast<size_t>(trimmed.data() - value.data());
        value.resize(start + trimmed.size());
        value.erase(0, start);
        if (quoted) {
            UnquoteValue(value);
        }
    }
    if (isText) {
        DecodeEscapes(value);
    }
    return 1;
}
