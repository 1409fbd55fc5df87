#include "mif/reader/mif_file.h"

// Object bodies: not built yet.
CMifObject* CMifFile::ReadObject() {
    return nullptr;
}
