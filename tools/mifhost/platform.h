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

// A new file in the folder of path, to be renamed onto it when complete; it takes the
// permissions of an existing file at path. Null with a reason when it cannot be created.
std::FILE* CreateTempBeside(const std::string& path, std::string& tempPath, std::string& error);
// Moves the closed temporary file onto path, replacing what is there.
bool ReplaceFile(const std::string& tempPath, const std::string& path, std::string& error);
void RemoveFile(const std::string& path);

// Why a file at path could not be written, found after the fact (no such folder, no permission,
// file too large for the size limit, disk full); empty when nothing explains it.
std::string WriteFailureReason(const std::string& path);

bool StderrIsTerminal();
// Columns of the terminal on standard error; 0 when unknown.
int TerminalColumns();

// Writing beyond the file size limit fails with a reason instead of ending the process.
void IgnoreFileSizeSignal();

// Ctrl-C sets *flag to 1 while installed, instead of ending the program.
void CatchInterrupt(volatile int* flag);
// Ctrl-C writes message to standard error and ends the program with exit code 130 while
// installed; for work that has nothing to clean up.
void ExitOnInterrupt(const std::string& message);
void ReleaseInterrupt();

}  // namespace platform
