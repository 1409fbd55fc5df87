// Measures how fast the reader walks a MIF/MID pair: Rewind, then MoveNext over every object,
// reading every MID value, and with "objects" also ReadObject for every object.
// Usage: walk_speed FILE.mif [REPEATS] [objects]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mif/reader/mif_file.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: walk_speed FILE.mif [REPEATS] [objects]\n");
        return 2;
    }
    int repeats = argc > 2 ? std::atoi(argv[2]) : 3;
    bool readObjects = argc > 3 && std::string(argv[3]) == "objects";
    CMifFile file;
    if (file.Open(argv[1]) == 0) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    double mifMB = static_cast<double>(file.FileSize()) / 1e6;
    double midMB = static_cast<double>(file.midFile.FileSize()) / 1e6;
    std::string value;
    for (int r = 0; r < repeats; ++r) {
        auto start = std::chrono::steady_clock::now();
        long objects = 0;
        size_t bytes = 0;
        for (file.Rewind(); !file.IsEof(); file.MoveNext()) {
            if (readObjects) {
                file.ReadObject();
            }
            for (int i = 0; file.GetFieldValue(i, value) == 1; ++i) {
                bytes += value.size();
            }
            ++objects;
        }
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf(
            "%ld objects, MIF %.1f MB + MID %.1f MB in %.3f s: %.0f MB/s (MIF alone %.0f MB/s), "
            "%zu value bytes\n",
            objects, mifMB, midMB, s, (mifMB + midMB) / s, mifMB / s, bytes);
    }
    return 0;
}
