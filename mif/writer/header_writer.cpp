#include "mif/reader/mif_file.h"

// Creating a MIF/MID pair and writing the header: not built yet.
int CMifFile::Create(const char*) {
    return 0;
}
