#include <dlfcn.h>
#include <iconv.h>
#include <limits.h>
#include <unistd.h>

#include <csignal>

#include "tools/mifhost/platform.h"

namespace platform {

std::vector<std::string> StartProgram(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

// File names are bytes here: the plug-in opens what it is given.
std::string HostPath(const std::string& path) {
    return path;
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

void* OpenLibrary(const std::string& path, std::string& error) {
    // A bare file name would make the loader search the library path; a path is what was asked.
    std::string where = path.find('/') == std::string::npos ? "./" + path : path;
    void* library = ::dlopen(where.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = ::dlerror();
        error = why != nullptr ? why : "unknown error";
    }
    return library;
}

void* FindSymbol(void* library, const char* name) {
    return ::dlsym(library, name);
}

void CloseLibrary(void* library) {
    if (library != nullptr) {
        ::dlclose(library);
    }
}

std::string DefaultPluginPath() {
    char exe[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) {
        return "libmif.so";
    }
    std::string path(exe, static_cast<size_t>(n));
    return path.substr(0, path.rfind('/') + 1) + "libmif.so";
}

bool CodePageTable(const std::string& name, std::string table[256], std::string& error) {
    iconv_t cd = ::iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        error = "unknown code page " + name;
        return false;
    }
    for (int b = 0; b < 256; ++b) {
        char in[1] = {static_cast<char>(b)};
        char out[8];
        char* inPtr = in;
        size_t inLeft = 1;
        char* outPtr = out;
        size_t outLeft = sizeof out;
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        size_t r = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        bool mapped = r != static_cast<size_t>(-1) && inLeft == 0 && outPtr != out;
        table[b] = mapped ? std::string(out, static_cast<size_t>(outPtr - out)) : std::string();
    }
    ::iconv_close(cd);
    return true;
}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}

namespace {
volatile int* interruptFlag = nullptr;
struct sigaction previousAction;

void OnInterrupt(int) {
    if (interruptFlag != nullptr) {
        *interruptFlag = 1;
    }
}
}  // namespace

void CatchInterrupt(volatile int* flag) {
    interruptFlag = flag;
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    ::sigaction(SIGINT, &action, &previousAction);
}

void ReleaseInterrupt() {
    ::sigaction(SIGINT, &previousAction, nullptr);
    interruptFlag = nullptr;
}

}  // namespace platform
