#pragma once

#include <string>

#include "tools/mifhost/cli.h"

// Commands on several files, and outputs named after their inputs (-d).

// The output that -d gives an input: in the folder, the input's file name without its extension,
// followed by the extension (".geojson"; ".mif", whose MID file goes beside it).
std::string OutputInFolder(const std::string& folder, const std::string& input,
                           const char* extension);

// The folder of -d must be a folder: 0, or 3 with a message.
int CheckFolder(const std::string& folder);

// Runs the command on each input in a process of its own (this program run on that one file, as
// if it were given alone), at most o.jobs at once, the plug-in and the host library being unsafe
// to share between threads. What each writes to standard output and error is passed on in the
// order of the inputs, each message naming its file; a failure on one file does not stop the
// others. An interrupt is passed on to the running files, and those not yet begun are not begun.
// Returns the highest exit code of them all.
int RunEach(const Options& o);
