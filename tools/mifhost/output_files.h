#pragma once

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tools/mifhost/mif_header.h"
#include "tools/mifhost/platform.h"

// Where an output goes, decided before anything is written.
struct OutputTarget {
    std::string path;     // as the user gave it
    std::string target;   // the file that is replaced: path with its symbolic links followed
    bool exists = false;  // target is a file already
    platform::FileStatus status;  // its identity when it exists
    bool direct = false;          // a FIFO or a device: written to as it is
    bool toStdout = false;        // standard output
};

// Temporary files beside an output, made under one new name with one or more extensions; the
// ones not moved into place are removed with the object, so that none is ever left behind.
class TempFiles {
public:
    TempFiles() = default;
    ~TempFiles() { RemoveAll(); }
    TempFiles(const TempFiles&) = delete;
    TempFiles& operator=(const TempFiles&) = delete;

    // Creates an empty file for each extension in the folder of beside, named "." + the name of
    // beside without its extension + "-" + a random mark + the extension, with the permissions of
    // beside; with firstIsPipe, the first is a named pipe. The name is cut to fit the file
    // system's limit and to be no longer than beside's name (or 32 bytes).
    bool Create(const std::string& beside, const std::vector<std::string>& extensions,
                std::string& error, bool firstIsPipe = false);
    const std::string& Path(size_t i) const { return paths[i]; }
    // The file was moved into place: nothing to remove.
    void Forget(size_t i) { paths[i].clear(); }
    void RemoveAll();

private:
    std::vector<std::string> paths;
};

// The extension of the file name (".geojson"), or empty when it has none or an unusually long one.
std::string ExtensionOf(const std::string& path);

// Moves each file onto its target, all or none: when one cannot be moved, the targets moved
// before get their old files back (kept under a second name until every move is done; a file
// system without hard links cannot keep them). False with the index that failed and why.
struct Move {
    std::string from;
    std::string to;
};
bool MoveAll(const std::vector<Move>& moves, size_t& failed, std::string& error);

// The MIF file that the plug-in writes into a named pipe, copied to `to` as it comes with the
// input's Charset and CoordSys lines in its header (as CopyWithHeader does), on a thread of its
// own: the copy goes on while the plug-in writes, and the file is not written twice.
class PipedMif {
public:
    PipedMif() = default;
    ~PipedMif() { Finish(); }
    PipedMif(const PipedMif&) = delete;
    PipedMif& operator=(const PipedMif&) = delete;

    // Opens the pipe at path and starts the copy; false with a reason when it cannot.
    bool Start(const std::string& pipePath, const MifHeaderScan& input, std::FILE* to,
               std::string& error);
    // Once the plug-in has returned: waits for the copy to end. 0 when the whole file was copied,
    // else the errno of the failure (EIO for a file without a Data line). On a failure to write,
    // the copy stops reading, so that the plug-in's writes fail as well.
    int Finish();
    // The copy failed to write to `to` (and not to read the pipe).
    bool LostWrite() const { return lostWrite; }

private:
    void Run(const MifHeaderScan& input, std::FILE* to);

    std::string path;
    platform::PipeReader* pipe = nullptr;  // the thread's while it runs
    std::thread thread;
    int failure = 0;
    bool lostWrite = false;
};

// Writes the MIF file at path to `to` with the input's Charset and CoordSys lines in place of
// those of its header; stops early when *cancel becomes non-zero. 0 when done (or stopped), else
// the errno of the failure.
int CopyWithHeader(const std::string& path, const MifHeaderScan& input, std::FILE* to,
                   const volatile int* cancel);
