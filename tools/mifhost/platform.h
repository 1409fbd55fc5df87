#pragma once

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

// UTF-8 of each byte of an 8-bit code page; an unmapped byte gives empty text.
bool CodePageTable(const std::string& name, std::string table[256], std::string& error);
// Text in a Windows code page (1252, 1251, 932, 28591 for ISO-8859-1, 65001 for UTF-8 ...) to
// UTF-8, whole: a byte sequence the code page does not map becomes U+FFFD. False, with the
// reason, when the system lacks the code page.
bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::string& utf8,
                    std::string& error);

bool StderrIsTerminal();

// Ctrl-C sets *flag to 1 while installed, instead of ending the program.
void CatchInterrupt(volatile int* flag);
void ReleaseInterrupt();

}  // namespace platform
