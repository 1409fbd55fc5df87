#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Everything mifhost needs from the operating system; one implementation file per platform.
namespace platform {

// Sets standard output and error up for UTF-8 text written byte for byte, and returns the
// command-line arguments in UTF-8.
std::vector<std::string> StartProgram(int argc, char** argv);
// A path (UTF-8) as the host hands it to the plug-in: in the system's 8-bit code page. Empty when
// the file's name cannot be written in it.
std::string HostPath(const std::string& path);
// std::fopen for a path in UTF-8.
std::FILE* OpenFile(const std::string& path, const char* mode);

// Shared libraries.
void* OpenLibrary(const std::string& path, std::string& error);
void* FindSymbol(void* library, const char* name);
void CloseLibrary(void* library);
// The plug-in library's file name beside this executable.
std::string DefaultPluginPath();

// This program's executable file, to run it again on each file of a command given several.
std::string ProgramPath();

// A program run as a child: its standard output and error go to pipes that this process reads,
// its standard input is empty.
struct Child;
// Starts the program with the arguments (after its own name); null with a reason when it cannot.
Child* StartChild(const std::string& program, const std::vector<std::string>& args,
                  std::string& error);
// Reads what the child writes to its standard output, or its standard error with fromError: the
// bytes read, 0 at the end, -1 on a failure. Each stream may be read on a thread of its own.
long ReadChild(Child* child, bool fromError, char* buffer, size_t size);
// Passes on an interrupt that CatchInterrupt caught. Nothing on Windows, where Ctrl-C, Ctrl-Break
// and the closing of the console reach every program of the console.
void InterruptChild(Child* child, int interrupt);
// Waits for the child's end, once both streams are read to their end, and frees it: its exit
// code; for a child ended by a signal (an exception on Windows), the code a shell gives it, and
// in how what ended it (empty otherwise).
unsigned FinishChild(Child* child, std::string& how);

// Decodes the whole text from a Windows code page (1252, 932, 28595, 65001 ...) to UTF-8; a byte
// sequence the code page does not map becomes U+FFFD. False with a reason when the system lacks
// the code page.
bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::string& utf8,
                    std::string& error);

// What a path names; device and inode (file index on Windows) tell whether two names are one file.
enum class FileKind { kMissing, kRegular, kDirectory, kFifo, kDevice, kOther };
struct FileStatus {
    FileKind kind = FileKind::kMissing;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};
// False with a reason when the path cannot be examined; a path that does not exist is kMissing.
bool StatFile(const std::string& path, FileStatus& status, std::string& error);

// The identity of standard output; false when it is not a file of this system (a console).
bool StandardOutputStatus(FileStatus& status);

// The file that writing to path reaches: symbolic links are followed to their end, to a target
// that need not exist yet. False with a reason when a link cannot be read or links loop.
bool FollowLinks(const std::string& path, std::string& target, std::string& error);

// Whether the user may replace the existing file at path. The permission bits decide as well as
// the system's own check, which lets the superuser write any file; false with the reason.
bool MayWrite(const std::string& path, std::string& error);

// The longest file name, in bytes, that the folder of path takes.
size_t NameLimit(const std::string& path);

enum class Created { kNew, kExists, kFailed };
// Makes path a new empty file, with the permissions (and, where it may, the owner) of the file
// at like when that exists; kExists when the name is taken, kFailed with a reason otherwise.
Created CreateNewFile(const std::string& path, const std::string& like, std::string& error);
// Makes path a new named pipe (a FIFO), readable and writable by the user only; kExists when
// the name is taken, kFailed with a reason where the system or the file system has none.
Created CreateNewPipe(const std::string& path, std::string& error);
// The reading end of a named pipe, which another part of this process writes as a file.
struct PipeReader;
// Opens the pipe at path for reading without waiting for a writer; null with a reason.
PipeReader* OpenPipe(const std::string& path, std::string& error);
// Waits for bytes and reads them: how many were read; 0 once a writer opened the pipe and closed
// it again (or after WakePipe); -1 with errno on a failure.
long ReadPipe(PipeReader* pipe, char* buffer, size_t size);
// Ends a read of the pipe at path that waits for a writer that will not come.
void WakePipe(const std::string& path);
// Closes the reading end, which makes the writer's next write fail (EPIPE); frees the reader.
void ClosePipe(PipeReader* pipe);
// A thread started with every interrupt blocked, so that interrupts reach the main thread.
void BlockInterruptsInThisThread();

// A second name for the file (a hard link); false where the file system has none.
bool LinkFile(const std::string& path, const std::string& newName);
// Moves the closed file onto path, replacing what is there.
bool ReplaceFile(const std::string& from, const std::string& path, std::string& error);
void RemoveFile(const std::string& path);

// Copies the bytes of the file at path from offset to its end onto the end of to, in pieces,
// stopping early when *cancel becomes non-zero. 0 when done (or stopped), else the errno of the
// failure.
int CopyFileTail(const std::string& path, std::uint64_t offset, std::FILE* to,
                 const volatile int* cancel);

// Why a file at path could not be written, found after the fact (no such folder, no permission,
// file too large for the size limit, disk full); empty when nothing explains it.
std::string WriteFailureReason(const std::string& path);

bool StderrIsTerminal();
// Columns of the terminal on standard error; 0 when unknown.
int TerminalColumns();

// Writing beyond the file size limit, or into a pipe whose reader has gone, fails with a reason
// (EFBIG, EPIPE) instead of ending the process.
void IgnoreWriteSignals();

// The interrupts: Ctrl-C, SIGTERM and SIGHUP; on Windows Ctrl-C, Ctrl-Break and the closing of
// the console. One that was ignored when the program started stays ignored.
// While installed, an interrupt sets *flag to a non-zero value that InterruptName names, instead
// of ending the program.
void CatchInterrupt(volatile int* flag);
// While installed, an interrupt writes before, its name and after to standard error and ends the
// program with exit code 130; for work that has nothing to clean up. Either call replaces the
// other at once, without a moment between.
void ExitOnInterrupt(const std::string& before, const std::string& after);
void ReleaseInterrupt();
// "Ctrl-C", "SIGTERM" ... for a value that CatchInterrupt set.
std::string InterruptName(int flag);

}  // namespace platform
