#include "textfile/record_file.h"

// Reading MID records into the record buffer: not built yet.
