#include "mif/reader/mif_file.h"

// Writing objects: not built yet.
int CMifFile::WriteObject(CMifObject*) {
    return 0;
}
