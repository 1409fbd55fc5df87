#include "tools/mifhost/mif_header.h"

#include "tools/mifhost/codepage.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The words of a header line that matter here: the first, and the rest of the line.
void SplitLine(std::string_view line, std::string& first, std::string_view& rest) {
    size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) {
        ++i;
    }
    first = AsciiUpper(line.substr(start, i - start));
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    size_t end = line.size();
    while (end > i && IsBlank(line[end - 1])) {
        --end;
    }
    rest = line.substr(i, end - i);
}

// The words that begin a header item; any other line after CoordSys carries its clauses.
bool IsHeaderItem(const std::string& first) {
    static const char* const items[] = {"VERSION",  "CHARSET",   "DELIMITER", "UNIQUE", "INDEX",
                                        "COORDSYS", "TRANSFORM", "COLUMNS",   "DATA"};
    for (const char* item : items) {
        if (first == item) {
            return true;
        }
    }
    return false;
}

// Looks at one line; true when it is the Data line.
bool TakeLine(std::string_view line, bool cut, MifHeaderScan& scan) {
    std::string first;
    std::string_view rest;
    SplitLine(line, first, rest);
    if (first == "DATA" && rest.empty()) {
        scan.hasData = true;
        return true;
    }
    if (scan.inCoordSys && !IsHeaderItem(first)) {
        if (!first.empty()) {
            scan.coordSysLines.emplace_back(line);
            scan.lineCut = scan.lineCut || cut;
        }
        return false;
    }
    scan.inCoordSys = false;
    // Column lines follow Columns; a column may be named Charset or CoordSys.
    if (first == "COLUMNS") {
        scan.inColumns = true;
    }
    if (scan.inColumns) {
        return false;
    }
    if (first == "CHARSET" && !scan.hasCharset) {
        scan.hasCharset = true;
        scan.charsetLine = std::string(line);
        scan.lineCut = scan.lineCut || cut;
        if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"') {
            rest = rest.substr(1, rest.size() - 2);
        }
        scan.charset = std::string(rest);
    } else if (first == "COORDSYS" && scan.coordSysLines.empty()) {
        scan.coordSysLines.emplace_back(line);
        scan.lineCut = scan.lineCut || cut;
        scan.inCoordSys = true;
    }
    return false;
}

}  // namespace

bool MifHeaderReader::Feed(const char* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        char c = data[i];
        if (c == '\n' || c == '\r') {
            if (TakeLine(line, cut, scan)) {
                scan.dataEnd = offset + i + 1;
                return true;
            }
            line.clear();
            cut = false;
        } else if (line.size() < kMifHeaderLineLimit) {
            // Header lines are short; a longer line keeps its start, which is all that is looked
            // at.
            line.push_back(c);
        } else {
            cut = true;
        }
    }
    offset += n;
    return false;
}

void MifHeaderReader::End() {
    if (TakeLine(line, cut, scan)) {
        scan.dataEnd = offset;
    }
}

bool ScanMifHeader(std::FILE* file, MifHeaderScan& scan, std::string& error) {
    scan = MifHeaderScan();
    MifHeaderReader reader(scan);
    char buffer[1 << 16];
    for (;;) {
        size_t n = std::fread(buffer, 1, sizeof buffer, file);
        if (reader.Feed(buffer, n)) {
            return true;
        }
        if (n < sizeof buffer) {
            break;
        }
    }
    if (std::ferror(file)) {
        error = "read error";
        return false;
    }
    reader.End();
    return true;
}

std::string CoordSysText(const MifHeaderScan& scan) {
    std::string text;
    for (const std::string& line : scan.coordSysLines) {
        size_t start = 0;
        size_t end = line.size();
        while (start < end && IsBlank(line[start])) {
            ++start;
        }
        while (end > start && IsBlank(line[end - 1])) {
            --end;
        }
        text += (text.empty() ? "" : " ") + line.substr(start, end - start);
    }
    return text;
}

std::string ReplaceHeaderItems(std::string_view written, const MifHeaderScan& input) {
    std::string out;
    out.reserve(written.size() + 256);
    bool inColumns = false;
    size_t at = 0;
    while (at < written.size()) {
        size_t stop = written.find_first_of("\r\n", at);
        stop = stop == std::string_view::npos ? written.size() : stop;
        size_t next = stop;
        if (next < written.size() && written[next] == '\r') {
            ++next;
        }
        if (next < written.size() && written[next] == '\n') {
            ++next;
        }
        std::string_view line = written.substr(at, stop - at);
        std::string_view end = written.substr(stop, next - stop);
        at = next;
        std::string first;
        std::string_view rest;
        SplitLine(line, first, rest);
        inColumns = inColumns || first == "COLUMNS";
        if (!inColumns && first == "CHARSET") {
            if (input.hasCharset) {
                out.append(input.charsetLine).append(end);
            }
        } else if (!inColumns && first == "COORDSYS") {
            for (const std::string& item : input.coordSysLines) {
                out.append(item).append(end);
            }
        } else {
            out.append(line).append(end);
        }
    }
    return out;
}
