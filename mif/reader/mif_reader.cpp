#include "mif/reader/mif_reader.h"

#include <algorithm>

#include "mif/reader/scanner.h"

namespace {

bool AllDigits(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned>(c - '0') >= 10) {
            return false;
        }
    }
    return !text.empty();
}

// True when the value reads as a value of the column type, as the import reads it; text and
// the types the reader keeps as text take any value.
bool IsValueOfType(std::string_view value, int32_t type) {
    switch (type) {
        case kColInteger:
        case kColSmallInt:
            return AllDigits(value.substr(value[0] == '-' || value[0] == '+' ? 1 : 0));
        case kColDecimal:
        case kColFloat:
            return IsNumber(value);
        case kColDate: {
            uint16_t date[3];
            return ParseDate(value, date);
        }
        case kColLogical:
            for (const char* word : {"T", "F", "TRUE", "FALSE", "Y", "N", "YES", "NO", "1", "0"}) {
                if (EqualsNoCase(value, word)) {
                    return true;
                }
            }
            return false;
        default:
            return true;
    }
}

const char* TypeName(int32_t type) {
    switch (type) {
        case kColInteger:
            return "Integer";
        case kColSmallInt:
            return "SmallInt";
        case kColDecimal:
            return "Decimal";
        case kColFloat:
            return "Float";
        case kColDate:
            return "Date";
        case kColLogical:
            return "Logical";
        default:
            return "text";
    }
}

}  // namespace

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
    report.Clear();
    headerReport.Clear();
    mifPath.clear();
    midPath.clear();
    columnsOffset = 0;
    objectPosition = CMifScanner::CPosition();
    recordsRead = 0;
    midEnded = false;
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
    report = headerReport;
    recordsRead = 0;
    midEnded = false;
    // Open found the word Data behind the column list; the objects follow it.
    if (dataOffset >= 0) {
        scanner.SeekTo(dataOffset);
        nextKind = scanner.ReadObjectKeyword();
        objectPosition = scanner.WordPosition();
    }
    progress = 0.0;
    if (midFile.IsOpen()) {
        CheckRecord(midFile.ReadFirstRecord(), nextKind != -1);
    }
}

void CMifReader::MoveNext() {
    nextKind = scanner.ReadObjectKeyword();
    objectPosition = scanner.WordPosition();
    // 64-bit offsets: progress stays right in files above 2 GiB.
    int64_t size = scanner.FileSize();
    progress = size > 0
                   ? static_cast<double>(scanner.ReadOffset()) / static_cast<double>(size) * 100.0
                   : 100.0;
    if (midFile.IsOpen()) {
        CheckRecord(midFile.ReadNextRecord(), nextKind != -1);
    }
}

void CMifReader::NoteMidWith(MifRepairKind kind, int64_t offset,
                             std::string (*describe)(const void*), const void* context) {
    if (!report.Wants(kind)) {
        report.Count(kind);
        return;
    }
    report.Add(kind, MifRepairFile::kMid, midFile.LineAt(offset), describe(context));
}

void CMifReader::CheckUnusualRecord(bool read, bool objectFollows) {
    if (!read) {
        if (objectFollows && !midEnded) {
            midEnded = true;
            int64_t count = recordsRead;
            NoteMid(kRepairRecordCount, midFile.FileSize(), [count] {
                return "the MID file ends after " + std::to_string(count) +
                       " records: the later objects have no values";
            });
        }
        return;
    }
    if (!objectFollows) {
        // Records past the last object: counted, not kept. Empty lines at the end are no
        // records.
        int64_t at = midFile.RecordOffset();
        int64_t extra = 0;
        std::vector<size_t> lengths;
        for (bool more = true; more; more = midFile.MeasureRecord(lengths)) {
            if (!midFile.Blank()) {
                at = extra == 0 ? midFile.RecordOffset() : at;
                ++extra;
            }
        }
        if (extra == 0) {
            return;
        }
        int64_t objects = recordsRead;
        NoteMid(kRepairRecordCount, at, [extra, objects] {
            return "the MID file holds " + std::to_string(extra) + " more records than the " +
                   std::to_string(objects) + " objects: they are not read";
        });
        return;
    }
    ++recordsRead;
    if (midFile.QuoteRepaired()) {
        NoteMid(kRepairOpenQuote, midFile.RecordOffset(), [] {
            return std::string("a quoted value does not close before its line break: the record ") +
                   "ends there";
        });
    }
    const size_t columns = static_cast<size_t>(header.columns.GetCount());
    // A table without columns has an empty line for each record.
    const size_t fields = midFile.Blank() && columns == 0 ? 0 : midFile.FieldsRead();
    if (fields != columns) {
        NoteMid(kRepairFieldCount, midFile.RecordOffset(), [fields, columns] {
            return "record has " + std::to_string(fields) + " fields for " +
                   std::to_string(columns) + " columns" +
                   (fields < columns ? ": the missing values stay unset"
                                     : ": the extra fields are not read");
        });
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
        int32_t type;
        for (int i = 0; i < count && FieldValue(i, value, type) == 1; value.clear(), ++i) {
            size_t& most = longest[static_cast<size_t>(i)];
            most = std::max(most, value.size());
        }
        midFile.SeekTo(next);
    }
    midFile.ReadFirstRecord();
}
int CMifReader::GetFieldValue(int i, std::string& value) {
    if (!HoldsValue(i)) {
        return 0;  // the value is left as it was
    }
    value.clear();
    return AppendFieldValue(i, value);
}

int CMifReader::AppendFieldValue(int i, std::string& out) {
    const size_t start = out.size();
    int32_t type = kColNone;
    if (FieldValue(i, out, type) == 0) {
        return 0;
    }
    std::string_view value = std::string_view(out).substr(start);
    if (type != kColChar && !value.empty() && !IsValueOfType(value, type)) {
        NoteMid(kRepairValueType, midFile.RecordOffset(), [value, i, this, type] {
            return "value \"" + std::string(value) + "\" of column " + header.columns.Get(i).name +
                   " is no " + TypeName(type);
        });
    }
    return 1;
}

int CMifReader::FieldValue(int i, std::string& out, int32_t& type) {
    if (!HoldsValue(i)) {
        return 0;
    }
    std::string_view field = midFile.Field(i);
    type = header.columns[i].type;
    // Blanks around a quoted value are not part of it, nor are its quotes (a doubled quote
    // inside stands for one); a number, date or logical loses its blanks as well. An unquoted
    // text keeps them.
    std::string_view trimmed = TrimBlanks(field);
    const bool isText = type == kColChar;
    const bool quoted = !trimmed.empty() && (trimmed.front() == '"' || trimmed.back() == '"');
    const size_t start = out.size();
    if (quoted && (!isText || trimmed.front() == '"')) {
        AppendUnquoted(trimmed, out);
    } else {
        out.append(isText ? field : trimmed);
    }
    if (isText) {
        DecodeEscapes(out, start);
    }
    return 1;
}
