#pragma once

#include <string>

// Everything mifhost needs from the operating system; one implementation file per platform.
namespace platform {

// Shared libraries.
void* OpenLibrary(const std::string& path, std::string& error);
void* FindSymbol(void* library, const char* name);
void CloseLibrary(void* library);
// The plug-in library's file name beside this executable.
std::string DefaultPluginPath();

// UTF-8 of each byte of an 8-bit code page; an unmapped byte gives empty text.
bool CodePageTable(const std::string& name, std::string table[256], std::string& error);

bool StderrIsTerminal();

// Ctrl-C sets *flag to 1 while installed, instead of ending the program.
void CatchInterrupt(volatile int* flag);
void ReleaseInterrupt();

}  // namespace platform
