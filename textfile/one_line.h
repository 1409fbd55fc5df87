#pragma once

#include <cstddef>
#include <string>

// Appends text so that it stays on one line of a text file: every line break (CR LF, a lone CR or
// a lone LF) becomes the two characters \n, and, when asked, every double quote is doubled so
// that the text can stand between double quotes.
inline void AppendAsOneLine(std::string& out, const char* text, size_t length, bool doubleQuotes) {
    size_t start = 0;
    for (size_t k = 0; k < length; ++k) {
        char c = text[k];
        if (c == '"' && doubleQuotes) {
            out.append(text + start, k + 1 - start);
            out.push_back('"');
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
