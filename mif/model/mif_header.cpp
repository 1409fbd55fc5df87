#include "mif/model/mif_header.h"

std::string GetMidFileName(const std::string& path) {
    // Only the file name's extension is replaced: a dot in a folder name is not an extension.
    size_t slash = path.find_last_of("/\\");
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) {
        return path + ".mid";
    }
    return path.substr(0, dot) + ".mid";
}
