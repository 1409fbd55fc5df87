#include "tools/mifhost/terminal_text.h"

#include <cstdio>
#include <vector>

namespace {

// The code point at text[i] and its length in bytes; a stray byte counts as one character.
char32_t Next(std::string_view text, size_t i, size_t& length) {
    auto b = static_cast<unsigned char>(text[i]);
    int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    char32_t code = more == 3 ? b & 0x07u : more == 2 ? b & 0x0Fu : more == 1 ? b & 0x1Fu : b;
    length = 1;
    for (int k = 0; k < more && i + length < text.size(); ++k, ++length) {
        auto c = static_cast<unsigned char>(text[i + length]);
        if ((c & 0xC0u) != 0x80u) {
            break;
        }
        code = (code << 6) | (c & 0x3Fu);
    }
    return code;
}

int CharWidth(char32_t c) {
    if ((c >= 0x300 && c <= 0x36F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
        (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE20 && c <= 0xFE2F)) {
        return 0;
    }
    if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
        (c >= 0x3041 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
        (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
        (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) ||
        (c >= 0x1F300 && c <= 0x1F64F) || (c >= 0x20000 && c <= 0x3FFFD)) {
        return 2;
    }
    return 1;
}

}  // namespace

int DisplayWidth(std::string_view utf8) {
    int width = 0;
    size_t length = 0;
    for (size_t i = 0; i < utf8.size(); i += length) {
        width += CharWidth(Next(utf8, i, length));
    }
    return width;
}

std::string CutToWidth(std::string_view utf8, int width) {
    if (DisplayWidth(utf8) <= width) {
        return std::string(utf8);
    }
    if (width <= 0) {
        return "";
    }
    // The characters with their widths, to keep a head and a tail.
    struct Char {
        size_t at;
        size_t length;
        int width;
    };
    std::vector<Char> chars;
    size_t length = 0;
    for (size_t i = 0; i < utf8.size(); i += length) {
        chars.push_back({i, 0, CharWidth(Next(utf8, i, length))});
        chars.back().length = length;
    }
    size_t blank = utf8.find(' ');
    size_t headBytes =
        blank != std::string_view::npos && DisplayWidth(utf8.substr(0, blank + 1)) + 4 <= width
            ? blank + 1
            : 0;
    int room = width - DisplayWidth(utf8.substr(0, headBytes)) - 1;  // 1 for the ellipsis
    size_t tail = chars.size();
    while (tail > 0 && room - chars[tail - 1].width >= 0 && chars[tail - 1].at >= headBytes) {
        room -= chars[tail - 1].width;
        --tail;
    }
    size_t tailBytes = tail < chars.size() ? chars[tail].at : utf8.size();
    return std::string(utf8.substr(0, headBytes)) + "\xE2\x80\xA6" +
           std::string(utf8.substr(tailBytes));
}

namespace {

// Whether the bytes at i are a whole UTF-8 sequence of the length Next gave, in its shortest form.
bool WholeSequence(std::string_view text, size_t i, size_t length, char32_t c) {
    auto b = static_cast<unsigned char>(text[i]);
    size_t wanted = b < 0x80 ? 1 : b < 0xC0 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 0;
    char32_t least = wanted == 2 ? 0x80 : wanted == 3 ? 0x800 : wanted == 4 ? 0x10000 : 0;
    return length == wanted && c >= least && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

std::string Escape(std::string_view utf8, bool bytes) {
    std::string out;
    size_t length = 0;
    for (size_t i = 0; i < utf8.size(); i += length) {
        char32_t c = Next(utf8, i, length);
        char text[8];
        if (bytes && !WholeSequence(utf8, i, length, c)) {
            length = 1;
            std::snprintf(text, sizeof text, "\\x%02X", static_cast<unsigned char>(utf8[i]));
            out += text;
        } else if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) {
            std::snprintf(text, sizeof text, c < 0x80 ? "\\x%02X" : "\\u%04X",
                          static_cast<unsigned>(c));
            out += text;
        } else {
            out.append(utf8.substr(i, length));
        }
    }
    return out;
}

}  // namespace

std::string EscapeControls(std::string_view utf8) {
    return Escape(utf8, false);
}

std::string EscapeBytes(std::string_view text) {
    return Escape(text, true);
}

std::string PadToWidth(const std::string& utf8, int width) {
    int have = DisplayWidth(utf8);
    return have >= width ? utf8 : utf8 + std::string(static_cast<size_t>(width - have), ' ');
}
