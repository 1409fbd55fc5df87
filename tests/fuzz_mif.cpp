#include <cstdint>

#include "fuzz/fuzz_driver.h"

// The format library alone: the reader walks every object and value of the pair.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzFolder folder;
    ReadMifMid(data, size, folder.path);
    return 0;
}
