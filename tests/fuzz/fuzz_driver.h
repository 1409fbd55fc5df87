#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "mif/reader/mif_file.h"

// Feeds one fuzz input through the reader as an importer does: the bytes before the first NUL
// are the MIF file, the bytes after it the MID file (no NUL: no MID file). The files are written
// to folder as input.mif and input.mid.
inline void ReadMifMid(const uint8_t* data, size_t size, const std::string& folder) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const void* nul = size > 0 ? std::memchr(bytes, 0, size) : nullptr;
    size_t mifSize =
        nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : size;
    std::string mifPath = folder + "/input.mif";
    std::string midPath = folder + "/input.mid";
    std::ofstream(mifPath, std::ios::binary | std::ios::trunc)
        .write(bytes, static_cast<std::streamsize>(mifSize));
    std::remove(midPath.c_str());
    if (nul != nullptr) {
        std::ofstream(midPath, std::ios::binary | std::ios::trunc)
            .write(bytes + mifSize + 1, static_cast<std::streamsize>(size - mifSize - 1));
    }

    CMifFile file;
    if (file.Open(mifPath.c_str()) == 1) {
        file.Rewind();
        std::string value;
        while (!file.IsEof()) {
            file.ReadObject();
            for (int32_t i = 0; i < file.columns.GetCount(); ++i) {
                file.GetFieldValue(i, value);
            }
            file.MoveNext();
        }
    }
    file.Close();
}
