#include "tools/mifhost/json_out.h"

#include <cerrno>

bool BufferedOut::Flush() {
    if (!buffer.empty()) {
        errno = 0;
        if (ok && std::fwrite(buffer.data(), 1, buffer.size(), file) != buffer.size()) {
            ok = false;
            error = errno;
        }
        buffer.clear();
    }
    errno = 0;
    if (ok && std::fflush(file) != 0) {
        ok = false;
        error = errno;
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
