#include "tools/mifhost/codepage.h"

#include "tools/mifhost/platform.h"

bool CodePage::Init(const std::string& name, std::string& error) {
    if (!platform::CodePageTable(name, table, error)) {
        return false;
    }
    for (std::string& utf8 : table) {
        if (utf8.empty()) {
            utf8 = "\xEF\xBF\xBD";  // U+FFFD for a byte the code page does not map
        }
    }
    return true;
}

std::string CodePage::ToUtf8(const std::string& text) const {
    std::string out;
    out.reserve(text.size());
    AppendUtf8(out, text.c_str());
    return out;
}

void CodePage::AppendUtf8(std::string& out, const char* text) const {
    for (const char* p = text; *p != '\0'; ++p) {
        unsigned char b = static_cast<unsigned char>(*p);
        if (b < 0x80) {
            out.push_back(*p);
        } else {
            out += table[b];
        }
    }
}
