#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz/fuzz_driver.h"

namespace {

// One folder for the whole run, in memory when the machine has /dev/shm, removed at exit.
struct Folder {
    Folder();
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

Folder::Folder() {
    std::string base = std::filesystem::exists("/dev/shm")
                           ? std::string("/dev/shm")
                           : std::filesystem::temp_directory_path().string();
    std::string pattern = base + "/fuzz_mif-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        abort();
    }
    path = pattern;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Folder folder;
    ReadMifMid(data, size, folder.path);
    return 0;
}
