#pragma once

#include <string>
#include <vector>

struct CommandRow;

// The command line of mifhost: a command, its file names and the options it takes.
struct Options {
    std::string command;              // info, dump, convert, render; help; version
    const CommandRow* row = nullptr;  // the command's row in the table; null for help, version
    std::vector<std::string> files;   // the inputs
    // The output: dump's -o, the second file name of render and convert; "-" (or none, for
    // dump) for standard output.
    std::string output;
    std::string folder;  // -d: each output goes there under its input's name
    int jobs = 1;        // -j: inputs run at once
    std::string plugin;
    std::string codePage = "auto";
    int width = 1000;
    int height = 1000;
    bool quiet = false;
    std::string helpTopic;  // the command that help was asked for; empty for all
};

struct Session;

// What a command writes besides standard output: nothing, one file (or standard output), or a
// MIF file and its MID file.
enum class CommandOutput { kNone, kFileOrStdout, kMifPair };

// A row of the command table (cli.cpp): a new command is a row and a handler, and its name in
// the rows of the options it takes.
struct CommandRow {
    const char* name;
    // File names it takes: the input, and for some the output; 0 for one or more inputs. With
    // -d it takes one or more inputs.
    size_t files;
    const char* usage;
    const char* summary;
    const char* details;
    CommandOutput output;
    const char* extension;  // of its output file, which -d names after the input
    bool decodesText;       // needs the code page of the file's text
    bool imports;           // works on the layer the plug-in imports (check reads by itself)
    // Does the command's work on the imported file; returns the exit code.
    int (*run)(Session& session);
};

// The most input files -j runs at once.
constexpr int kMaxJobs = 64;

// Reads the command line; false with a one-line reason for a usage error.
bool ParseCommandLine(int argc, const char* const* argv, Options& options, std::string& error);

// The help text of one command, or of mifhost as a whole for an empty name; empty for a name
// that is not a command.
std::string HelpText(const std::string& command);
