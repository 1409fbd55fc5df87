#include "plugin/host/fnc_string.h"

std::string fncString::ReplaceCharacter(const std::string& text, char byte,
                                        const char* replacement) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == byte) {
            out += replacement != nullptr ? replacement : "";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string fncString::ConvertStringToSequences(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            if (text[i + 1] == 'n') {
                out.push_back('\n');
                ++i;
                continue;
            }
            if (text[i + 1] == '\\') {
                out.push_back('\\');
                ++i;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string fncString::ConvertSequencesToString(const std::string& text, const char*) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            out += "\\n";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out.push_back(c);
        }
    }
    return out;
}
