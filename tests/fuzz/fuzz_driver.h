#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mif/reader/mif_reader.h"

// One folder for the whole run of a fuzz target, in memory when the machine has /dev/shm, removed
// at exit.
struct FuzzFolder {
    FuzzFolder() {
        std::string base = std::filesystem::exists("/dev/shm")
                               ? std::string("/dev/shm")
                               : std::filesystem::temp_directory_path().string();
        std::string pattern = base + "/fuzz_mif-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            abort();
        }
        path = pattern;
    }
    ~FuzzFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

// Writes one fuzz input as an importer finds it: the bytes before the first NUL are the MIF file,
// the bytes after it the MID file (no NUL: no MID file). The files go to folder as input.mif and
// input.mid; returns the MIF path.
inline std::string WriteMifMid(const uint8_t* data, size_t size, const std::string& folder) {
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
    return mifPath;
}

// Feeds one fuzz input through the reader as the importer walks it.
inline void ReadMifMid(const uint8_t* data, size_t size, const std::string& folder) {
    CMifReader file;
    if (file.Open(WriteMifMid(data, size, folder).c_str()) == 1) {
        std::vector<size_t> longest;
        file.MeasureValues(longest);
        file.Rewind();
        std::string value;
        while (!file.IsEof()) {
            file.ReadObject();
            for (int32_t i = 0; i < file.Header().columns.GetCount(); ++i) {
                file.GetFieldValue(i, value);
            }
            file.MoveNext();
        }
    }
    file.Close();
}
