#include "mif/reader/mif_file.h"

// Writing style clauses: not built yet.
