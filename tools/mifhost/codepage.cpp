#include "tools/mifhost/codepage.h"

#include <cstdlib>

#include "tools/mifhost/platform.h"

namespace {

// The number that a text made only of digits holds; 0 otherwise.
unsigned Digits(std::string_view text) {
    if (text.empty() || text.size() > 5) {
        return 0;
    }
    unsigned n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return 0;
        }
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    return n;
}

bool StartsWith(const std::string& text, const char* prefix, std::string_view& rest) {
    size_t n = std::char_traits<char>::length(prefix);
    if (text.compare(0, n, prefix) != 0) {
        return false;
    }
    rest = std::string_view(text).substr(n);
    return true;
}

// ISO-8859-N as a code page number, for N from 1 to 16 (there is no 12).
unsigned IsoPart(std::string_view digits) {
    unsigned n = Digits(digits);
    return n >= 1 && n <= 16 && n != 12 ? 28590 + n : 0;
}

}  // namespace

unsigned CodePageOfCharset(std::string_view charset) {
    static const struct {
        const char* name;
        unsigned codePage;
    } names[] = {
        {"WINDOWSLATIN1", 1252},  {"WINDOWSLATIN2", 1250},     {"WINDOWSCYRILLIC", 1251},
        {"WINDOWSGREEK", 1253},   {"WINDOWSTURKISH", 1254},    {"WINDOWSHEBREW", 1255},
        {"WINDOWSARABIC", 1256},  {"WINDOWSBALTIC", 1257},     {"WINDOWSVIETNAMESE", 1258},
        {"WINDOWSTHAI", 874},     {"WINDOWSJAPANESE", 932},    {"WINDOWSSIMPCHINESE", 936},
        {"WINDOWSKOREAN", 949},   {"WINDOWSTRADCHINESE", 950}, {"MACROMAN", 10000},
        {"UTF-8", kUtf8CodePage}, {"UTF8", kUtf8CodePage},
    };
    std::string upper = AsciiUpper(charset);
    for (const auto& n : names) {
        if (upper == n.name) {
            return n.codePage;
        }
    }
    std::string_view rest;
    if (StartsWith(upper, "CODEPAGE", rest)) {
        return Digits(rest);
    }
    if (StartsWith(upper, "ISO8859_", rest)) {
        return IsoPart(rest);
    }
    return 0;
}

unsigned CodePageOfName(std::string_view name) {
    std::string upper = AsciiUpper(name);
    static const struct {
        const char* name;
        unsigned codePage;
    } aliases[] = {
        {"UTF-8", kUtf8CodePage},
        {"UTF8", kUtf8CodePage},
        {"LATIN1", 28591},
        {"SHIFT_JIS", 932},
        {"SJIS", 932},
        {"GBK", 936},
        {"BIG5", 950},
        {"UHC", 949},
        {"MACINTOSH", 10000},
    };
    for (const auto& a : aliases) {
        if (upper == a.name) {
            return a.codePage;
        }
    }
    std::string_view rest;
    for (const char* prefix : {"WINDOWS-", "WINDOWS", "CP-", "CP", "IBM"}) {
        if (StartsWith(upper, prefix, rest) && Digits(rest) != 0) {
            return Digits(rest);
        }
    }
    for (const char* prefix : {"ISO-8859-", "ISO8859-", "ISO_8859-", "ISO8859_"}) {
        if (StartsWith(upper, prefix, rest)) {
            return IsoPart(rest);
        }
    }
    if (unsigned n = Digits(upper)) {
        return n;
    }
    return CodePageOfCharset(name);
}

std::string CodePageName(unsigned codePage) {
    if (codePage == kUtf8CodePage) {
        return "UTF-8";
    }
    if (codePage > 28590 && codePage <= 28606) {
        return "ISO-8859-" + std::to_string(codePage - 28590);
    }
    if (codePage == 10000) {
        return "MacRoman";
    }
    if ((codePage >= 1250 && codePage <= 1258) || codePage == 874) {
        return "Windows-" + std::to_string(codePage);
    }
    return "CP" + std::to_string(codePage);
}

bool IsValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* end = p + text.size();
    while (p < end) {
        unsigned char b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        int more;
        unsigned min;
        unsigned code;
        if (b >= 0xC2 && b <= 0xDF) {
            more = 1;
            min = 0x80;
            code = b & 0x1Fu;
        } else if (b >= 0xE0 && b <= 0xEF) {
            more = 2;
            min = 0x800;
            code = b & 0x0Fu;
        } else if (b >= 0xF0 && b <= 0xF4) {
            more = 3;
            min = 0x10000;
            code = b & 0x07u;
        } else {
            return false;
        }
        if (end - p <= more) {
            return false;
        }
        for (int i = 1; i <= more; ++i) {
            if ((p[i] & 0xC0u) != 0x80u) {
                return false;
            }
            code = (code << 6) | (p[i] & 0x3Fu);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
        if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            return false;
        }
        p += more + 1;
    }
    return true;
}

bool CodePage::Init(unsigned codePage, std::string& error) {
    std::string probe;
    if (!platform::DecodeCodePage(codePage, "", probe, error)) {
        return false;
    }
    number = codePage;
    return true;
}

std::string CodePage::ToUtf8(std::string_view text) const {
    std::string out;
    AppendUtf8(out, text);
    return out;
}

void CodePage::AppendUtf8(std::string& out, std::string_view text) const {
    bool ascii = true;
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    // ASCII reads the same in every code page we decode; valid UTF-8 needs no converting.
    if (ascii || (number == kUtf8CodePage && IsValidUtf8(text))) {
        out.append(text);
        return;
    }
    std::string error;
    if (out.empty()) {
        if (platform::DecodeCodePage(number, text, out, error)) {
            return;
        }
    } else {
        std::string utf8;
        if (platform::DecodeCodePage(number, text, utf8, error)) {
            out += utf8;
            return;
        }
    }
    // The converter was there at Init; should it be gone, every byte beyond ASCII is unknown.
    for (char c : text) {
        out += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : "\xEF\xBF\xBD";
    }
}

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}
