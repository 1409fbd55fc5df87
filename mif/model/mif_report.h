#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the reader repaired while reading a pair. The reader never fails on malformed content; it
// stops a count at the next object, drops what cannot be a coordinate, skips words it does not
// know, pairs records as best it can, and notes here each place where it did, with its line.
enum MifRepairKind : int32_t {
    kRepairCountTooLarge,    // a count larger than the data that follows it
    kRepairLoneNumber,       // a lone number dropped with its node
    kRepairNotFinite,        // a coordinate that is not a finite number
    kRepairDecimalComma,     // a number followed by a comma and digits: a decimal comma?
    kRepairWordSkipped,      // a word skipped inside an object, a clause or between objects
    kRepairClause,           // a clause with missing or unreadable values
    kRepairColumnType,       // a column line without a type any reader knows
    kRepairHeaderItem,       // a header line that is no header item, or an item not understood
    kRepairByteOrderMark,    // a byte order mark skipped
    kRepairNoMid,            // no MID file for a table with columns
    kRepairRecordCount,      // a MID with fewer or more records than the MIF has objects
    kRepairFieldCount,       // a record with fewer or more fields than there are columns
    kRepairValueType,        // a value that is not of its column's type
    kRepairOpenQuote,        // a quote that was not closed where it should be
    kRepairEndInsideObject,  // the file ends inside an object
};
constexpr int32_t kRepairKindCount = 15;

// The file a repair is in.
enum class MifRepairFile { kMif, kMid };

struct CMifRepair {
    MifRepairKind kind;
    MifRepairFile file;
    int64_t line;  // from 1
    std::string text;
};

// The count of each kind of repair, the line of its first case, and the first entries in the
// order they were found.
class CMifReport {
public:
    static constexpr size_t kMaxEntries = 1000;

    // True when a repair of the kind would be kept with its line and text: while fewer than
    // kMaxEntries are kept, and for the first case of each kind. Callers build the text only then.
    bool Wants(MifRepairKind kind) const {
        return entries.size() < kMaxEntries || counts[kind] == 0;
    }
    // Notes a repair; the line and text are kept as Wants says.
    void Add(MifRepairKind kind, MifRepairFile file, int64_t line, std::string text);
    // Counts a repair whose line and text are not wanted.
    void Count(MifRepairKind kind) { ++counts[kind]; }

    int64_t Total() const;
    int64_t CountOf(MifRepairKind kind) const { return counts[kind]; }
    // The line of the first case of the kind, 0 when there was none.
    int64_t FirstLineOf(MifRepairKind kind) const { return firstLines[kind]; }
    MifRepairFile FirstFileOf(MifRepairKind kind) const { return firstFiles[kind]; }
    const std::vector<CMifRepair>& Entries() const { return entries; }
    void Clear() { *this = CMifReport(); }

private:
    int64_t counts[kRepairKindCount] = {};
    int64_t firstLines[kRepairKindCount] = {};
    MifRepairFile firstFiles[kRepairKindCount] = {};
    std::vector<CMifRepair> entries;
};
