#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/host/app.h"
#include "plugin/host/document.h"
#include "plugin/host/vector.h"
#include "tools/mifhost/cli.h"
#include "tools/mifhost/codepage.h"
#include "tools/mifhost/mif_header.h"
#include "tools/mifhost/output_files.h"
#include "tools/mifhost/platform.h"
#include "tools/mifhost/plugin_loader.h"
#include "tools/mifhost/progress.h"

// What mifhost's commands share: exit codes, messages, and what a command works with once its
// file is imported.

enum ExitCode {
    kExitOk = 0,
    kExitUsage = 1,
    kExitCannotOpen = 2,
    kExitCannotSave = 3,
    kExitPlugin = 4,
    // check: the reader repaired something in a file.
    kExitRepaired = 5,
    kExitCancelled = 130,
    // The reader of a pipe left before the output was complete (head): as a program that
    // SIGPIPE ends, without a message.
    kExitBrokenPipe = 141,
};

// Writes "mifhost: MESSAGE" on one line of standard error (control characters escaped) and
// returns code.
int Fail(int code, const std::string& message);
// A usage error: the message ends with "; see mifhost --help".
int UsageError(const std::string& message);
// Everything printed to standard output must have reached it: 0, 141 for a pipe whose reader
// left, or 3 with a message.
int FinishStandardOutput();

// The MID file name beside a MIF file name, as the plug-in makes it, with the given extension.
std::string MidPath(const std::string& path, const char* extension);

// The input files: the MIF file and the MID files beside it that exist.
struct Inputs {
    struct File {
        std::string path;
        platform::FileStatus status;
    };
    std::vector<File> files;  // the MIF file first
    MifHeaderScan header;
};

// The code page of the file's text and why: the option, the Charset line, or, without a usable
// Charset, UTF-8 when the text is valid UTF-8 and Windows-1251 otherwise.
struct CodePageChoice {
    unsigned number = 0;  // 0: decided by the text
    std::string reason;
    bool fromOption = false;
};

// A command's outputs: the one of dump and render, or convert's MIF file and its MID file.
struct PairOutputs {
    OutputTarget mif;
    OutputTarget mid;

    // What becomes of the old files when the command stops early.
    std::string Kept() const;
};

// One file's run, as a command's handler gets it: the input imported into the document's layer,
// its outputs checked and its text's code page chosen.
struct Session {
    const Options& options;
    PluginLoader& plugin;
    CGEO& geo;
    Cgeo_Document& document;
    Cgeo_Vector* vector;  // the imported layer; null for a command that imports nothing
    const Inputs& inputs;
    const PairOutputs& outputs;
    const CodePage& codePage;  // set up only for commands that decode text
    const CodePageChoice& choice;
    double seconds;  // the import's
    TerminalProgress& progress;
    volatile int* cancel;  // set by an interrupt once the output is begun
};

// The handlers of the command table (cli.cpp): each returns the exit code.
int InfoCommand(Session& s);
int DumpCommand(Session& s);
int ConvertCommand(Session& s);
int RenderCommand(Session& s);
int CheckCommand(Session& s);

// The count of repairs the reader makes reading the file through, -1 when it cannot be read.
int64_t CountRepairs(const std::string& path);
