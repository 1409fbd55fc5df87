#pragma once

#include <string>

// Converts the host's 8-bit text to UTF-8 through a table built once for the code page: a byte
// that the code page does not map becomes U+FFFD, so the output is always valid UTF-8.
class CodePage {
public:
    // name: an iconv code page name ("WINDOWS-1251", "CP1252", "ISO-8859-5", ...).
    bool Init(const std::string& name, std::string& error);
    std::string ToUtf8(const std::string& text) const;
    void AppendUtf8(std::string& out, const char* text) const;

private:
    std::string table[256];
};
