#include "mif/reader/mif_file.h"

// Style clauses: not built yet.
