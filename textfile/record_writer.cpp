#include "textfile/record_file.h"

// Writing the record buffer as one MID line: not built yet.
