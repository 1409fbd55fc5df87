#include "mif/reader/mif_file.h"

// Writing MID records: not built yet.
