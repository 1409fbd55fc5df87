#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// What the tests need from the operating system: test_platform_posix.cpp and
// test_platform_win32.cpp.
namespace testos {

// Why a test that needs a facility only POSIX systems have cannot run here; null where it can.
const char* PosixOnly(const char* facility);
#define SKIP_WITHOUT_POSIX(facility)                           \
    if (const char* posixOnly = testos::PosixOnly(facility)) { \
        GTEST_SKIP() << posixOnly;                             \
    }

// Libraries loaded at run time, as a host loads the plug-in.
void* OpenLibrary(const char* path);
void* FindSymbol(void* library, const char* name);
void CloseLibrary(void* library);
std::string LibraryError();

// Sets an environment variable of this process; a null value removes it.
void SetEnv(const char* name, const char* value);

// Makes the module's texts come in Russian or English for this process (or thread).
void SetUserLanguage(bool russian);

// A command run by the shell, its standard output read through the stream.
std::FILE* OpenCommand(const std::string& command);
int CloseCommand(std::FILE* pipe);

// How a program is run: in a folder (empty: this process's), with its standard output and error
// written to files (empty: discarded), and its files limited to fileSizeLimit bytes (-1: none).
struct RunSetup {
    std::string folder;
    std::string outPath;
    std::string errPath;
    int64_t fileSizeLimit = -1;
};

// Runs a program to its end: its exit code (128 + the signal's number when a signal ended it), or
// -1 when it could not be run as set up (a file size limit where there are none).
int Run(const std::string& program, const std::vector<std::string>& args, const RunSetup& setup);

// A program started as Run starts it, not waited for, which Ctrl-C can interrupt.
struct Process;
Process* Start(const std::string& program, const std::vector<std::string>& args,
               const RunSetup& setup);
// Whether the program handles Ctrl-C itself by now. Windows cannot tell another program's console
// handlers: there it is whether the program's private memory has grown by 32 MiB since it started,
// for programs that set their handler before the work that takes that memory.
bool CatchesInterrupt(Process* process);
bool HasEnded(Process* process);
bool Interrupt(Process* process);
// Sends SIGTERM, or SIGHUP with hangup; false where there are no such signals.
bool Terminate(Process* process, bool hangup);
// Waits for the end; the exit code as Run gives it.
int Wait(Process* process);

// Runs body with this process's standard error written, byte for byte, to the file at path.
void WithStderrTo(const std::string& path, const std::function<void()>& body);

// Writes bytes at an offset of a new sparse file: the space before them takes no room.
bool WriteSparse(const std::string& path, int64_t offset, const std::string& bytes);

// A device that takes no byte ("disk full"), or null where there is none.
const char* FullDevice();

// Runs fn in a child process and returns what it returned (0 to 255), or -1 when the child died
// or was still running after the given seconds: a call that blocks fails instead of hanging.
// Where there is no fork, fn runs in this process without the time limit.
int InChild(unsigned seconds, const std::function<int()>& fn);

// Makes a FIFO (a named pipe) at the path; false where the system cannot.
bool MakeFifo(const std::string& path);
// Opens a FIFO for reading without waiting for a writer; -1 where it cannot.
int OpenFifoReader(const std::string& path);
// The bytes waiting in the FIFO.
std::string ReadFifo(int reader);
void CloseFifoReader(int reader);

}  // namespace testos
