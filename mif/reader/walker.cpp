#include "mif/reader/mif_file.h"
#include "mif/reader/scanner.h"

void CMifFile::Rewind() {
    // The search starts behind the column list, so a column named Data is not taken for the
    // start of the objects.
    SeekTo(dataSearchStart);
    if (FindKeyword("Data", nullptr) == 1) {
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

int CMifFile::GetFieldValue(int i, std::string& value) {
    if (!midFile.IsOpen() || i < 0 || i >= columns.GetCount()) {
        return 0;
    }
    midFile.GetField(i, value);
    if (columns.Get(i).type != kColChar) {
        return 1;
    }
    // A quoted value: a doubled quote inside stands for one quote.
    UnquoteValue(value);
    return 1;
}
