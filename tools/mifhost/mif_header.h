#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// What a MIF header says before its Data line, read by mifhost itself.
struct MifHeaderScan {
    bool hasData = false;     // a line holding only the word Data
    bool hasCharset = false;  // a Charset line before it
    std::string charset;      // its value without quotes
    // The Charset line, and the CoordSys line with the lines of its clauses that follow it
    // (Bounds), byte for byte without their line ends; empty when the header has none.
    std::string charsetLine;
    std::vector<std::string> coordSysLines;
    // A Charset or CoordSys line longer than the scan keeps (kMifHeaderLineLimit bytes).
    bool lineCut = false;
    // The bytes up to and with the first byte that ends the Data line.
    std::uint64_t dataEnd = 0;
    bool inColumns = false;   // past the Columns line
    bool inCoordSys = false;  // past the CoordSys line, before the next header item
};
constexpr size_t kMifHeaderLineLimit = 4096;
// Reads lines until the Data line or the end; false with a reason when the file cannot be read.
bool ScanMifHeader(std::FILE* file, MifHeaderScan& scan, std::string& error);

// The same for a header that comes in pieces: Feed returns true once the Data line is complete
// (scan.dataEnd then counts from the first byte fed); End takes a last line without a line end.
class MifHeaderReader {
public:
    explicit MifHeaderReader(MifHeaderScan& result) : scan(result) {}
    bool Feed(const char* data, size_t n);
    void End();

private:
    MifHeaderScan& scan;
    std::string line;
    bool cut = false;
    std::uint64_t offset = 0;
};

// The CoordSys item as one line: its lines trimmed and joined with a blank.
std::string CoordSysText(const MifHeaderScan& scan);

// A header as written (up to the end of its Data line) with its Charset and CoordSys lines
// replaced by those of the input, or left out where the input has none. Each line keeps the line
// end of the line it replaces; column lines are never touched.
std::string ReplaceHeaderItems(std::string_view written, const MifHeaderScan& input);
