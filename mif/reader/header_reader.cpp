#include "mif/reader/mif_file.h"

// Opening a MIF file and parsing its header: not built yet.
int CMifFile::Open(const char*) {
    return 0;
}
