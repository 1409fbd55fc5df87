#include "mif/reader/scanner.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <limits>

#include <cstring>

#include "mif/model/mif_object.h"

namespace {

inline bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
// Words are separated by spaces, TABs and line ends: other programs indent and separate with
// TABs.
inline bool IsBlank(char c) {
    constexpr uint64_t kBlanks = (1ull << ' ') | (1ull << '\t') | (1ull << '\r') | (1ull << '\n');
    auto u = static_cast<unsigned char>(c);
    return u <= ' ' && ((kBlanks >> u) & 1u) != 0;
}
inline bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

std::string_view SkipCSpace(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    return text.substr(i);
}

// Splits at any of the separators as strtok does: empty tokens are skipped.
template <typename Fn>
void ForEachToken(std::string_view text, std::string_view separators, Fn fn) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find_first_of(separators, start);
        size_t end = comma == std::string_view::npos ? text.size() : comma;
        if (end > start) {
            fn(text.substr(start, end - start));
        }
        if (comma == std::string_view::npos) {
            break;
        }
        start = comma + 1;
    }
}

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The limits within which a decimal is converted by one division: an integer mantissa up to 2^53
// divided by a power of ten up to 10^22 is one correctly rounded division of two exact values.
inline bool IsExactDecimal(uint64_t mantissa, int digits, int fraction) {
    return digits > 0 && digits <= 19 && mantissa <= (uint64_t{1} << 53) && fraction <= 22;
}

// Digits with an optional fraction, from p up to end: their value as one integer (exact when
// IsExactDecimal says so), how many digits there are and how many stand after the point. Returns
// the byte after them.
// Adds the digits from p up to end to mantissa (which wraps past 19 digits) and counts them;
// returns the byte after them.
inline const char* ScanDigits(const char* p, const char* end, uint64_t& mantissa, int& digits) {
    // Two digits a step: half the chain of multiplications that each digit waits for.
    while (end - p >= 2 && IsDigit(p[0]) && IsDigit(p[1])) {
        mantissa = mantissa * 100 + static_cast<uint64_t>((p[0] - '0') * 10 + (p[1] - '0'));
        p += 2;
        digits += 2;
    }
    if (p < end && IsDigit(*p)) {
        mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
        ++p;
        ++digits;
    }
    return p;
}

inline const char* ScanDecimal(const char* p, const char* end, uint64_t& mantissa, int& digits,
                               int& fraction) {
    mantissa = 0;
    digits = 0;
    fraction = 0;
    p = ScanDigits(p, end, mantissa, digits);
    if (p < end && *p == '.') {
        int whole = digits;
        p = ScanDigits(p + 1, end, mantissa, digits);
        fraction = digits - whole;
    }
    return p;
}

// The common case of a coordinate, digits with an optional fraction and no exponent, converted
// exactly and fast. Anything else is left to from_chars.
bool ParsePlainDecimal(std::string_view text, double& value) {
    uint64_t mantissa;
    int digits;
    int fraction;
    const char* end = text.data() + text.size();
    const char* after = ScanDecimal(text.data(), end, mantissa, digits, fraction);
    if (!IsExactDecimal(mantissa, digits, fraction) ||
        (after < end && (*after == 'e' || *after == 'E' || *after == '#'))) {
        return false;
    }
    value = static_cast<double>(mantissa) / kPow10[fraction];
    return true;
}

// The power of ten of the first significant digit of a decimal (digits, a fraction, an optional
// exponent), in whole numbers and saturating: 2 for 123.4, -3 for 0.00123, -398 for 1e-400.
int64_t DecimalExponent(std::string_view text) {
    size_t i = 0;
    int64_t position = 0;
    bool significant = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        significant = significant || text[i] != '0';
        position += significant ? 1 : 0;
    }
    int64_t exponent = significant ? position - 1 : -1;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            if (!significant && text[i] != '0') {
                significant = true;
            } else if (!significant) {
                --exponent;
            }
        }
    }
    if (i + 1 < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        exponent += ParseInt(text.substr(i + 1));
    }
    return exponent;
}

}  // namespace

int32_t ParseInt(std::string_view text) {
    text = SkipCSpace(text);
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    const int64_t limit = negative ? -int64_t{std::numeric_limits<int32_t>::min()}
                                   : int64_t{std::numeric_limits<int32_t>::max()};
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit) {
            value = limit;  // saturate, and keep consuming digits
        }
    }
    return static_cast<int32_t>(negative ? -value : value);
}

double ParseDouble(std::string_view text) {
    text = SkipCSpace(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
        if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
            return 0.0;  // a second sign is not a number
        }
    }
    double value = 0.0;
    if (ParsePlainDecimal(text, value)) {
        return negative ? -value : value;
    }
    auto result =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (result.ec == std::errc() && result.ptr < text.data() + text.size() && *result.ptr == '#' &&
        result.ptr > text.data() && result.ptr[-1] == '.') {
        // Some writers print infinity as 1.#INF and not-a-number as 1.#QNAN, 1.#SNAN or 1.#IND.
        std::string_view rest = text.substr(static_cast<size_t>(result.ptr - text.data()) + 1);
        value = StartsWithNoCase(rest, "INF") ? HUGE_VAL : std::numeric_limits<double>::quiet_NaN();
    } else if (result.ec == std::errc::result_out_of_range) {
        // Too large gives HUGE_VAL, too small 0, as strtod does: 0.000...1 with 400 zeros is 0.
        value = DecimalExponent(text) < 0 ? 0.0 : HUGE_VAL;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

bool LooksLikeNumber(std::string_view word) {
    if (word.empty()) {
        return false;
    }
    char c = word[0];
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' ||
           EqualsNoCase(word, "nan") || StartsWithNoCase(word, "nan(") ||
           EqualsNoCase(word, "inf") || EqualsNoCase(word, "infinity");
}

bool IsNumber(std::string_view text) {
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        text.remove_prefix(1);
    }
    uint64_t mantissa;
    int digits;
    int fraction;
    const char* end = text.data() + text.size();
    if (ScanDecimal(text.data(), end, mantissa, digits, fraction) == end && digits > 0) {
        return true;  // the common case: digits and a fraction
    }
    double value = 0.0;
    auto result = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (result.ptr == end && text.size() > 0) {
        return result.ec == std::errc() || result.ec == std::errc::result_out_of_range;
    }
    // 1.#INF, 1.#QNAN and the like, as other writers print them.
    return result.ptr < end && *result.ptr == '#' && result.ptr > text.data() &&
           result.ptr[-1] == '.';
}

bool ParseDate(std::string_view text, uint16_t date[3]) {
    std::string_view year, month, day;
    if (text.size() == 8) {
        year = text.substr(0, 4);
        month = text.substr(4, 2);
        day = text.substr(6, 2);
    } else if (text.size() == 10 && (text[4] == '-' || text[4] == '/') && text[7] == text[4]) {
        year = text.substr(0, 4);
        month = text.substr(5, 2);
        day = text.substr(8, 2);
    } else {
        return false;
    }
    for (std::string_view part : {year, month, day}) {
        for (char c : part) {
            if (!IsDigit(c)) {
                return false;
            }
        }
    }
    date[0] = static_cast<uint16_t>(ParseInt(year));
    date[1] = static_cast<uint16_t>(ParseInt(month));
    date[2] = static_cast<uint16_t>(ParseInt(day));
    return true;
}

std::string NumberText(double value) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

float ToFloat(double value) {
    if (value > static_cast<double>(FLT_MAX)) {
        return std::numeric_limits<float>::infinity();
    }
    if (value < -static_cast<double>(FLT_MAX)) {
        return -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(value);
}

std::string StripQuotes(std::string_view text) {
    if (text.size() >= 2) {
        if (text.back() == '"') {
            text.remove_suffix(1);
        }
        if (!text.empty() && text.front() == '"') {
            text.remove_prefix(1);
        }
    }
    return std::string(text);
}

std::string StripParens(std::string_view text) {
    if (text.size() >= 2) {
        if (text.back() == ')') {
            text.remove_suffix(1);
        }
        if (!text.empty() && text.front() == '(') {
            text.remove_prefix(1);
        }
    }
    return std::string(text);
}

void AppendUnquoted(std::string_view text, std::string& out) {
    const size_t n = text.size();
    if (n < 2 || text.front() != '"' || text.back() != '"') {
        if (n >= 2) {
            if (text.back() == '"') {
                text.remove_suffix(1);
            }
            if (!text.empty() && text.front() == '"') {
                text.remove_prefix(1);
            }
        }
        out.append(text);
        return;
    }
    // The bytes between the quotes, run by run up to each quote; a doubled quote gives one.
    const size_t last = n - 1;
    size_t k = 1;
    while (k < last) {
        const void* found = std::memchr(text.data() + k, '"', last - k);
        size_t quote = found != nullptr
                           ? static_cast<size_t>(static_cast<const char*>(found) - text.data())
                           : last;
        out.append(text.data() + k, quote - k);
        if (quote == last) {
            break;
        }
        out.push_back('"');
        k = quote + 1 < last && text[quote + 1] == '"' ? quote + 2 : quote + 1;
    }
}

void UnquoteValue(std::string& text) {
    std::string out;
    AppendUnquoted(text, out);
    text.swap(out);
}

void ParseIntList(std::string_view text, std::vector<int32_t>& list) {
    list.clear();
    ForEachToken(text, ",", [&list](std::string_view token) { list.push_back(ParseInt(token)); });
}

void ParseDoubleList(std::string_view text, std::vector<double>& list) {
    list.clear();
    ForEachToken(text, ", \t",
                 [&list](std::string_view token) { list.push_back(ParseDouble(token)); });
}

std::string_view TrimBlanks(std::string_view text) {
    size_t start = 0;
    size_t end = text.size();
    while (start < end && (text[start] == ' ' || text[start] == '\t')) {
        ++start;
    }
    while (end > start && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
        --end;
    }
    return text.substr(start, end - start);
}

void SplitQuoted(std::string_view text, char separator, std::vector<std::string>& list) {
    // The list's strings are reused: a clause parsed for every object allocates nothing.
    size_t count = 0;
    bool inQuotes = false;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && (text[i] != separator || inQuotes)) {
            inQuotes ^= text[i] == '"';
            continue;
        }
        // Blanks around an entry are not part of it; inside its quotes they are, and a doubled
        // quote there stands for one quote.
        std::string_view entry = TrimBlanks(text.substr(start, i - start));
        if (count == list.size()) {
            list.emplace_back();
        }
        std::string& out = list[count++];
        out.clear();
        bool quoted = false;
        for (size_t k = 0; k < entry.size(); ++k) {
            if (entry[k] != '"') {
                out.push_back(entry[k]);
            } else if (quoted && k + 1 < entry.size() && entry[k + 1] == '"') {
                out.push_back('"');
                ++k;
            } else {
                quoted = !quoted;
            }
        }
        start = i + 1;
    }
    list.resize(count);
}

void DecodeEscapes(std::string& text, size_t from) {
    size_t first = text.find('\\', from);
    if (first == std::string::npos) {
        return;
    }
    size_t out = first;
    for (size_t k = first; k < text.size(); ++k) {
        char c = text[k];
        if (c == '\\' && k + 1 < text.size() && (text[k + 1] == 'n' || text[k + 1] == '\\')) {
            c = text[++k] == 'n' ? '\n' : '\\';
        }
        text[out++] = c;
    }
    text.resize(out);
}

// The scanner takes its bytes a page run at a time: the per-byte step is a compare and an
// increment, and a word or line still runs across a page boundary.

bool CMifScanner::StartWord(char& c) {
    text.SetMark();
    do {
        if (!text.GetChar(c)) {
            atEnd = true;
            return false;
        }
    } while (IsBlank(c));
    atEnd = false;
    wordStart = text.PageCursor() - 1;
    wordPage = text.Page();
    return true;
}

bool CMifScanner::ReadWord(std::string& out) {
    out.clear();
    char c;
    if (!StartWord(c)) {
        return false;
    }
    out.push_back(c);
    AppendWordRest(out);
    return true;
}

void CMifScanner::AppendWordRest(std::string& out) {
    for (;;) {
        const char* p = text.PageCursor();
        const char* end = text.PageEnd();
        const char* q = p;
        while (q < end && !IsBlank(*q)) {
            ++q;
        }
        out.append(p, static_cast<size_t>(q - p));
        if (q < end) {
            text.Skip(static_cast<size_t>(q - p) + 1);  // the terminator goes with the word
            return;
        }
        text.Skip(static_cast<size_t>(q - p));
        if (!text.NextPage()) {
            return;
        }
    }
}

namespace {

// Digits from p as ScanDigits takes them, in text that ends with a byte that is no digit (the
// zero byte behind a loaded page): no byte is compared with the end.
inline const char* ScanDigitsToStop(const char* p, uint64_t& mantissa, int& digits) {
    const char* first = p;
    while (IsDigit(p[0]) && IsDigit(p[1])) {
        mantissa = mantissa * 100 + static_cast<uint64_t>((p[0] - '0') * 10 + (p[1] - '0'));
        p += 2;
    }
    if (IsDigit(*p)) {
        mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
        ++p;
    }
    digits += static_cast<int>(p - first);
    return p;
}

// A plain decimal (sign, digits, an optional fraction) from p in a loaded page, after blanks,
// that ends with a blank within the page and converts exactly by one division: its value, and
// the byte after that blank. Null for anything else. The zero byte that follows the page ends
// every run of blanks or digits, so no byte is compared with the page's end.
inline const char* ScanPlainNumber(const char* p, double& value) {
    while (IsBlank(*p)) {
        ++p;
    }
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') {
        ++p;
    }
    uint64_t mantissa = 0;
    int digits = 0;
    p = ScanDigitsToStop(p, mantissa, digits);
    int fraction = 0;
    if (*p == '.') {
        const char* point = p;
        p = ScanDigitsToStop(p + 1, mantissa, digits);
        fraction = static_cast<int>(p - point - 1);
    }
    if (!IsBlank(*p) || !IsExactDecimal(mantissa, digits, fraction)) {
        return nullptr;
    }
    value = static_cast<double>(mantissa) / kPow10[fraction];
    if (negative) {
        value = -value;
    }
    return p + 1;
}

}  // namespace

bool CMifScanner::ReadPlainNumber(double& value) {
    const char* after = ScanPlainNumber(text.PageCursor(), value);
    if (after == nullptr) {
        return false;
    }
    text.SetMark();
    atEnd = false;
    text.Skip(static_cast<size_t>(after - text.PageCursor()));
    return true;
}

size_t CMifScanner::ReadPlainPoints(std::vector<CNode>& nodes, size_t most) {
    const char* const first = text.PageCursor();
    const char* p = first;
    const char* lastNumber = first;
    size_t n = 0;
    for (; n < most; ++n) {
        double x;
        double yValue;
        const char* y = ScanPlainNumber(p, x);
        const char* after = y != nullptr ? ScanPlainNumber(y, yValue) : nullptr;
        if (after == nullptr) {
            break;
        }
        // Stored field by field: a node built on the stack and copied whole waits for its parts.
        CNode& node = nodes.emplace_back();
        node.x = x;
        node.y = yValue;
        lastNumber = y;
        p = after;
    }
    if (n > 0) {
        // As reading the numbers one by one leaves it: the mark before the last one.
        text.Skip(static_cast<size_t>(lastNumber - first));
        text.SetMark();
        text.Skip(static_cast<size_t>(p - lastNumber));
        atEnd = false;
    }
    return n;
}

bool CMifScanner::ReadNumber(double& value) {
    if (ReadPlainNumber(value)) {
        return true;
    }
    char c;
    if (!StartWord(c)) {
        value = 0.0;
        return false;
    }
    // The first byte was just taken from the loaded page, so the word starts one byte back.
    const char* first = text.PageCursor() - 1;
    const char* end = text.PageEnd();
    const char* q = text.PageCursor();
    while (q < end && !IsBlank(*q)) {
        ++q;
    }
    std::string_view number;
    if (q < end) {
        number = std::string_view(first, static_cast<size_t>(q - first));
        text.Skip(static_cast<size_t>(q - text.PageCursor()) + 1);
    } else {
        numberWord.assign(1, c);
        AppendWordRest(numberWord);
        number = numberWord;
    }
    if (!LooksLikeNumber(number)) {
        // A word, not a number: a count larger than the data ends here, at the next object or at
        // the object's clauses, which are put back for their readers.
        text.RestoreMark();
        value = 0.0;
        return false;
    }
    value = ParseDouble(number);
    size_t comma = number.find(',');
    if (comma != std::string_view::npos && comma > 0 && comma + 1 < number.size() &&
        IsDigit(number[comma - 1]) && IsDigit(number[comma + 1])) {
        Note(kRepairDecimalComma, WordOffset(), [number] {
            return "number \"" + std::string(number) + "\" read as " +
                   std::string(number.substr(0, number.find(','))) + ": a decimal comma?";
        });
    }
    return true;
}

bool CMifScanner::ReadLine(std::string& line) {
    line.clear();
    char c;
    if (!StartWord(c)) {
        return false;
    }
    line.push_back(c);
    for (;;) {
        const char* p = text.PageCursor();
        const char* end = text.PageEnd();
        const char* q = p;
        while (q < end && !IsLineEnd(*q)) {
            ++q;
        }
        line.append(p, static_cast<size_t>(q - p));
        if (q < end) {
            text.Skip(static_cast<size_t>(q - p) + 1);
            return true;
        }
        text.Skip(static_cast<size_t>(q - p));
        if (!text.NextPage()) {
            return true;
        }
    }
}

void CMifScanner::NoteWith(MifRepairKind kind, int64_t offset, std::string (*describe)(const void*),
                           const void* context) {
    if (!report->Wants(kind)) {
        report->Count(kind);
        return;
    }
    report->Add(kind, MifRepairFile::kMif, text.LineAt(offset), describe(context));
}

std::string CMifScanner::ReadWord() {
    std::string out;
    ReadWord(out);
    return out;
}

std::string CMifScanner::ReadLine() {
    std::string line;
    ReadLine(line);
    return line;
}

int CMifScanner::Open(const char* path) {
    start = 0;
    if (text.OpenRead(path) == 0) {
        return 0;
    }
    if (text.PageEnd() - text.PageCursor() >= 3 &&
        std::memcmp(text.PageCursor(), "\xEF\xBB\xBF", 3) == 0) {
        start = 3;
        Note(kRepairByteOrderMark, 0, [] { return std::string("UTF-8 byte order mark skipped"); });
    }
    return 1;
}

void CMifScanner::Close() {
    text.CloseFile();
    start = 0;
}

int CMifScanner::FindKeyword(std::string_view key, const char* stop, const char* stop2) {
    int64_t from = ReadOffset();
    while (ReadWord(scanWord)) {
        if (EqualsNoCase(scanWord, key)) {
            return 1;
        }
        if ((stop != nullptr && EqualsNoCase(scanWord, stop)) ||
            (stop2 != nullptr && EqualsNoCase(scanWord, stop2))) {
            break;
        }
    }
    SeekTo(from);
    return 0;
}

int32_t CMifScanner::ReadObjectKeyword() {
    // The first word skipped, for the report: where it starts, and the word.
    int64_t skippedAt = -1;
    std::string& skipped = skippedWord;
    int32_t kind = -1;
    for (;;) {
        // Words that cannot be keywords (numbers, clause lists) are passed over in the page
        // without being copied; a word running across the page end goes through ReadWord.
        const char* from = text.PageCursor();
        const char* end = text.PageEnd();
        const char* p = from;
        for (;;) {
            while (p < end && IsBlank(*p)) {
                ++p;
            }
            if (p == end || IsAsciiLetter(*p)) {
                break;
            }
            const char* q = p;
            while (q < end && !IsBlank(*q)) {
                ++q;
            }
            if (q == end) {
                break;
            }
            if (skippedAt < 0) {
                skippedAt = text.OffsetOf(p);
                skipped.assign(p, static_cast<size_t>(q - p));
            }
            p = q + 1;
        }
        text.Skip(static_cast<size_t>(p - from));
        if (!ReadWord(scanWord)) {
            break;
        }
        kind = MifObjectTypeFromKeyword(scanWord);
        if (kind != -1) {
            break;
        }
        if (skippedAt < 0) {
            skippedAt = WordOffset();
            skipped = scanWord;
        }
    }
    if (skippedAt >= 0) {
        Note(kRepairWordSkipped, skippedAt,
             [&skipped] { return "\"" + skipped + "\" skipped: it belongs to no object"; });
    }
    return kind;
}
