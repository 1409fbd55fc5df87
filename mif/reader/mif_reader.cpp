#include "mif/reader/mif_reader.h"

#include <algorithm>

#include "mif/reader/scanner.h"

void CMifReader::Close() {
    scanner.Close();
    if (midFile.IsOpen()) {
        midFile.CloseFile();
    }
    midFile.SetDelimiter(CRecordFile::kDefaultDelimiter);
    DeleteCurrentObject();
    records.Clear();
    header = CMifHeader();
    nextKind = -1;
    dataOffset = -1;
    progress = 0.0;
}

void CMifReader::CreateCurrentObject(int32_t kind) {
    DeleteCurrentObject();
    currentObject = records.Take(kind).release();
}

void CMifReader::DeleteCurrentObject() {
    records.Give(CMifObjectPtr(currentObject));
    currentObject = nullptr;
}

void CMifReader::Rewind() {
    // Open found the word Data behind the column list; the objects follow it.
    if (dataOffset >= 0) {
        scanner.SeekTo(dataOffset);
        nextKind = scanner.ReadObjectKeyword();
    }
    progress = 0.0;
    if (midFile.IsOpen()) {
        midFile.ReadFirstRecord();
    }
}

void CMifReader::MoveNext() {
    nextKind = scanner.ReadObjectKeyword();
    // 64-bit offsets: progress stays right in files above 2 GiB.
    int64_t size = scanner.FileSize();
    progress = size > 0
                   ? static_cast<double>(scanner.ReadOffset()) / static_cast<double>(size) * 100.0
                   : 100.0;
    if (midFile.IsOpen()) {
        midFile.ReadNextRecord();
    }
}

void CMifReader::MeasureValues(std::vector<size_t>& longest) {
    const int count = header.columns.GetCount();
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
int CMifReader::GetFieldValue(int i, std::string& value) {
    if (!midFile.IsOpen() || i < 0 || i >= header.columns.GetCount() || !midFile.HasField(i)) {
        return 0;
    }
    midFile.GetField(i, value);
    // Blanks around a quoted value are not part of it, nor are its quotes (a doubled quote
    // inside stands for one); a number, date or logical loses its blanks as well. An unquoted
    // text keeps them.
    std::string_view trimmed = TrimBlanks(value);
    const bool isText = header.columns.Get(i).type == kColChar;
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
