#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <limits.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

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

namespace {

// The iconv name of a Windows code page number.
std::string IconvName(unsigned codePage) {
    if (codePage == 65001) {
        return "UTF-8";
    }
    if (codePage > 28590 && codePage <= 28606) {
        return "ISO-8859-" + std::to_string(codePage - 28590);
    }
    if (codePage == 10000) {
        return "MACINTOSH";
    }
    return "CP" + std::to_string(codePage);
}

const char kReplacement[] = "\xEF\xBF\xBD";

// The converter of the last code page asked for: opening one costs some 3000 instructions, more
// than converting a short text, and a run decodes one code page.
struct Converter {
    unsigned codePage = 0;
    iconv_t cd = reinterpret_cast<iconv_t>(-1);

    ~Converter() { Close(); }
    void Close() {
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            ::iconv_close(cd);
            cd = reinterpret_cast<iconv_t>(-1);
        }
    }
};

}  // namespace

bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::string& utf8,
                    std::string& error) {
    static Converter cached;
    if (cached.cd == reinterpret_cast<iconv_t>(-1) || cached.codePage != codePage) {
        cached.Close();
        std::string name = IconvName(codePage);
        cached.cd = ::iconv_open("UTF-8", name.c_str());
        if (cached.cd == reinterpret_cast<iconv_t>(-1)) {
            error = "this system cannot decode code page " + std::to_string(codePage) + " (iconv " +
                    name + ": " + std::strerror(errno) + ")";
            return false;
        }
        cached.codePage = codePage;
    }
    iconv_t cd = cached.cd;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    // A byte gives at most three bytes of UTF-8 in the code pages we decode, U+FFFD included.
    utf8.resize(bytes.size() * 3 + 8);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    size_t used = 0;
    while (inLeft > 0) {
        char* out = &utf8[used];
        size_t outLeft = utf8.size() - used;
        size_t r = ::iconv(cd, &in, &inLeft, &out, &outLeft);
        used = utf8.size() - outLeft;
        if (r != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            utf8.resize(utf8.size() * 2);
            continue;
        }
        // An invalid or unfinished sequence: one replacement character for its first byte.
        if (utf8.size() - used < 3) {
            utf8.resize(utf8.size() + 16);
        }
        std::memcpy(&utf8[used], kReplacement, 3);
        used += 3;
        ++in;
        --inLeft;
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    utf8.resize(used);
    return true;
}

bool StatFile(const std::string& path, FileStatus& status, std::string& error) {
    status = FileStatus();
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return true;
        }
        error = std::strerror(errno);
        return false;
    }
    status.device = static_cast<std::uint64_t>(st.st_dev);
    status.inode = static_cast<std::uint64_t>(st.st_ino);
    if (S_ISREG(st.st_mode)) {
        status.kind = FileKind::kRegular;
    } else if (S_ISDIR(st.st_mode)) {
        status.kind = FileKind::kDirectory;
    } else if (S_ISFIFO(st.st_mode)) {
        status.kind = FileKind::kFifo;
    } else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        status.kind = FileKind::kDevice;
    } else {
        status.kind = FileKind::kOther;
    }
    return true;
}

namespace {

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::FILE* CreateTempBeside(const std::string& path, std::string& tempPath, std::string& error) {
    size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    tempPath = folder + "." + name + ".XXXXXX";
    int fd = ::mkstemp(&tempPath[0]);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    struct stat st;
    mode_t mode;
    if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        error = std::strerror(errno);
        ::close(fd);
        ::unlink(tempPath.c_str());
    }
    return file;
}

bool ReplaceFile(const std::string& tempPath, const std::string& path, std::string& error) {
    if (::rename(tempPath.c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

void RemoveFile(const std::string& path) {
    ::unlink(path.c_str());
}

std::string WriteFailureReason(const std::string& path) {
    std::string folder = FolderOf(path);
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return std::strerror(EISDIR);
        }
        int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return std::strerror(errno);
        }
        ::close(fd);
        struct rlimit limit;
        if (S_ISREG(st.st_mode) && ::getrlimit(RLIMIT_FSIZE, &limit) == 0 &&
            limit.rlim_cur != RLIM_INFINITY && static_cast<rlim_t>(st.st_size) >= limit.rlim_cur) {
            return std::strerror(EFBIG);
        }
    } else {
        if (errno != ENOENT) {
            return std::strerror(errno);
        }
        std::string probe = folder + "/.mifhost-XXXXXX";
        int fd = ::mkstemp(&probe[0]);
        if (fd < 0) {
            return std::strerror(errno);
        }
        ::close(fd);
        ::unlink(probe.c_str());
    }
    struct statvfs fs;
    if (::statvfs(folder.c_str(), &fs) == 0 && fs.f_bavail == 0) {
        return std::strerror(ENOSPC);
    }
    return "";
}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) != 0;
}

int TerminalColumns() {
    struct winsize size = {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 0;
}

void IgnoreFileSizeSignal() {
    struct sigaction action = {};
    action.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &action, nullptr);
}

namespace {
// Signal handlers can reach only what is static.
volatile int* interruptFlag = nullptr;
char interruptMessage[1024];
size_t interruptMessageSize = 0;
struct sigaction previousAction;

void OnInterrupt(int) {
    if (interruptFlag != nullptr) {
        *interruptFlag = 1;
    }
}

void OnInterruptExit(int) {
    ssize_t written = ::write(STDERR_FILENO, interruptMessage, interruptMessageSize);
    static_cast<void>(written);
    ::_exit(130);
}
}  // namespace

void CatchInterrupt(volatile int* flag) {
    interruptFlag = flag;
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    ::sigaction(SIGINT, &action, &previousAction);
}

void ExitOnInterrupt(const std::string& message) {
    interruptMessageSize = std::min(message.size(), sizeof interruptMessage);
    std::memcpy(interruptMessage, message.data(), interruptMessageSize);
    struct sigaction action = {};
    action.sa_handler = OnInterruptExit;
    ::sigaction(SIGINT, &action, &previousAction);
}

void ReleaseInterrupt() {
    ::sigaction(SIGINT, &previousAction, nullptr);
    interruptFlag = nullptr;
}

}  // namespace platform
