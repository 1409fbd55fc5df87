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

// Runs a program to its end, its standard output and error written to the files. The exit code,
// or -1 when the program could not be run.
int Run(const std::string& program, const std::vector<std::string>& args,
        const std::string& outPath, const std::string& errPath);

// A program started with standard output and error discarded, interrupted as Ctrl-C does.
struct Process;
Process* Start(const std::string& program, const std::vector<std::string>& args);
bool Interrupt(Process* process);
// Waits for the end; the exit code, or -1 when the program was killed.
int Wait(Process* process);

// Writes bytes at an offset of a new sparse file: the space before them takes no room.
bool WriteSparse(const std::string& path, int64_t offset, const std::string& bytes);

// A device that takes no byte ("disk full"), or null where there is none.
const char* FullDevice();

// Runs body in a child process whose files may grow to limit bytes at most; the child's exit
// code (body's result), or -1 where there is no such limit.
int RunWithFileSizeLimit(int64_t limit, const std::function<int()>& body);

// Runs fn in a child process and returns what it returned (0 to 255), or -1 when the child died
// or was still running after the given seconds: a call that blocks fails instead of hanging.
// Where there is no fork, fn runs in this process without the time limit.
int InChild(unsigned seconds, const std::function<int()>& fn);

// Makes a FIFO (a named pipe) at the path; false where the system cannot.
bool MakeFifo(const std::string& path);
// Opens a FIFO for reading without waiting for a writer; -1 where it cannot.
int OpenFifoReader(const std::string& path);
void CloseFifoReader(int reader);

}  // namespace testos
