#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Appends text so that it stays on one line of a text file: every line break (CR LF, a lone CR or
// a lone LF) becomes the two characters \n, and every byte listed in doubled is written twice (a
// double quote, so that the text can stand between double quotes; a backslash, so that it cannot
// start an escape).
inline void AppendAsOneLine(std::string& out, const char* text, size_t length,
                            std::string_view doubled) {
    // Up to two bytes to double are compared at once, so that an ordinary byte costs four
    // comparisons; a missing one stands for LF, which is looked for anyway.
    const char first = !doubled.empty() ? doubled[0] : '\n';
    const char second = doubled.size() > 1 ? doubled[1] : '\n';
    const bool more = doubled.size() > 2;
    size_t start = 0;
    for (size_t k = 0; k < length; ++k) {
        char c = text[k];
        if (!more && c != first && c != second && c != '\r' && c != '\n') {
            continue;
        }
        bool twice = false;
        for (char d : doubled) {
            twice = twice || c == d;
        }
        if (twice) {
            out.append(text + start, k + 1 - start);
            out.push_back(c);
            start = k + 1;
        } else if (c == '\r' || c == '\n') {
            out.append(text + start, k - start);
            out.append("\\n", 2);
            if (c == '\r' && k + 1 < length && text[k + 1] == '\n') {
                ++k;
            }
            start = k + 1;
        }
    }
    out.append(text + start, length - start);
}
