#include "tools/mifhost/json_out.h"

bool BufferedOut::Flush() {
    if (!buffer.empty()) {
        if (std::fwrite(buffer.data(), 1, buffer.size(), file) != buffer.size()) {
            ok = false;
        }
        buffer.clear();
    }
    if (std::fflush(file) != 0) {
        ok = false;
    }
    return ok;
}

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        unsigned char b = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (b < 0x20) {
                    char hex[8];
                    std::snprintf(hex, sizeof hex, "\\u%04X", b);
                    out += hex;
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back('"');
    return out;
}
