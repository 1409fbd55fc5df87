#pragma once

#include <string>
#include <vector>

// The command line of mifhost: a command, its file names and the options it takes.
struct Options {
    std::string command;  // info, dump, convert, render; help; version
    std::vector<std::string> files;
    std::string output;  // dump's -o; "-" for standard output
    std::string plugin;
    std::string codePage = "auto";
    int width = 1000;
    int height = 1000;
    bool quiet = false;
    std::string helpTopic;  // the command that help was asked for; empty for all
};

// Reads the command line; false with a one-line reason for a usage error.
bool ParseCommandLine(int argc, const char* const* argv, Options& options, std::string& error);

// The help text of one command, or of mifhost as a whole for an empty name; empty for a name
// that is not a command.
std::string HelpText(const std::string& command);
