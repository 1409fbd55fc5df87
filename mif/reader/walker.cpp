#include "mif/reader/mif_file.h"

// Walking the objects and the MID records in step: not built yet.
void CMifFile::Rewind() {}
void CMifFile::MoveNext() {}
int CMifFile::IsEof() {
    return nextKind == -1 ? 1 : 0;
}
