#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <limits.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

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

std::string ProgramPath() {
    char exe[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    return n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string();
}

std::string DefaultPluginPath() {
    std::string path = ProgramPath();
    if (path.empty()) {
        return "libmif.so";
    }
    return path.substr(0, path.rfind('/') + 1) + "libmif.so";
}

struct Child {
    pid_t pid;
    int out;
    int err;
};

Child* StartChild(const std::string& program, const std::vector<std::string>& args,
                  std::string& error) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    if (::pipe2(err, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        ::close(out[0]);
        ::close(out[1]);
        return nullptr;
    }
    // Made before the fork: between fork and exec the child may only make system calls.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    std::string failed = "mifhost: cannot run " + program + "\n";
    pid_t pid = ::fork();
    if (pid == 0) {
        int nothing = ::open("/dev/null", O_RDONLY);
        if (nothing < 0 || ::dup2(nothing, STDIN_FILENO) < 0 || ::dup2(out[1], STDOUT_FILENO) < 0 ||
            ::dup2(err[1], STDERR_FILENO) < 0) {
            ::_exit(127);
        }
        if (nothing != STDIN_FILENO) {
            ::close(nothing);
        }
        ::execv(program.c_str(), argv.data());
        ssize_t written = ::write(STDERR_FILENO, failed.data(), failed.size());
        static_cast<void>(written);
        ::_exit(127);
    }
    int forkError = errno;
    ::close(out[1]);
    ::close(err[1]);
    if (pid < 0) {
        error = std::strerror(forkError);
        ::close(out[0]);
        ::close(err[0]);
        return nullptr;
    }
    return new Child{pid, out[0], err[0]};
}

long ReadChild(Child* child, bool fromError, char* buffer, size_t size) {
    for (;;) {
        ssize_t n = ::read(fromError ? child->err : child->out, buffer, size);
        if (n >= 0 || errno != EINTR) {
            return static_cast<long>(n);
        }
    }
}

void InterruptChild(Child* child, int interrupt) {
    // The child is not waited for yet, so its number is still its own.
    ::kill(child->pid, interrupt);
}

unsigned FinishChild(Child* child, std::string& how) {
    ::close(child->out);
    ::close(child->err);
    int status = 0;
    pid_t ended;
    do {
        ended = ::waitpid(child->pid, &status, 0);
    } while (ended < 0 && errno == EINTR);
    delete child;
    how.clear();
    if (ended < 0) {
        how = std::string("lost (") + std::strerror(errno) + ")";
        return 255;
    }
    if (WIFSIGNALED(status)) {
        how = "ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
              ::strsignal(WTERMSIG(status)) + ")";
        return 128 + static_cast<unsigned>(WTERMSIG(status));
    }
    return static_cast<unsigned>(WEXITSTATUS(status));
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

bool StandardOutputStatus(FileStatus& status) {
    status = FileStatus();
    struct stat st;
    if (::fstat(STDOUT_FILENO, &st) != 0) {
        return false;
    }
    status.kind = S_ISREG(st.st_mode) ? FileKind::kRegular : FileKind::kOther;
    status.device = static_cast<std::uint64_t>(st.st_dev);
    status.inode = static_cast<std::uint64_t>(st.st_ino);
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

bool FollowLinks(const std::string& path, std::string& target, std::string& error) {
    target = path;
    // As many links as the system itself follows in one path.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(target.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) {
                return true;  // a new file; creating it reports what is missing
            }
            error = std::strerror(errno);
            return false;
        }
        if (!S_ISLNK(st.st_mode)) {
            return true;
        }
        std::string link(PATH_MAX, '\0');
        ssize_t n = ::readlink(target.c_str(), &link[0], link.size());
        if (n < 0) {
            error = std::strerror(errno);
            return false;
        }
        link.resize(static_cast<size_t>(n));
        // A relative link is read from the folder that holds it.
        size_t slash = target.rfind('/');
        target = link[0] == '/' || slash == std::string::npos ? link
                                                              : target.substr(0, slash + 1) + link;
    }
    error = std::strerror(ELOOP);
    return false;
}

bool MayWrite(const std::string& path, std::string& error) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || ::access(path.c_str(), W_OK) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        error = std::strerror(EACCES);  // read-only for everyone: the superuser passes access()
        return false;
    }
    return true;
}

size_t NameLimit(const std::string& path) {
    long limit = ::pathconf(FolderOf(path).c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<size_t>(limit) : 255;
}

Created CreateNewFile(const std::string& path, const std::string& like, std::string& error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST) {
            return Created::kExists;
        }
        error = std::strerror(errno);
        return Created::kFailed;
    }
    struct stat st;
    mode_t mode;
    if (::stat(like.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
        // The file that replaces another stays its owner's; allowed to the superuser only.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
            errno = 0;
        }
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    ::close(fd);
    return Created::kNew;
}

Created CreateNewPipe(const std::string& path, std::string& error) {
    if (::mkfifo(path.c_str(), 0600) == 0) {
        return Created::kNew;
    }
    if (errno == EEXIST) {
        return Created::kExists;
    }
    error = std::strerror(errno);
    return Created::kFailed;
}

struct PipeReader {
    int fd = -1;
};

PipeReader* OpenPipe(const std::string& path, std::string& error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
#ifdef F_SETPIPE_SZ
    // A larger pipe: the writer and the reader take turns less often. Where the system refuses,
    // the pipe keeps its size.
    ::fcntl(fd, F_SETPIPE_SZ, 1 << 20);
#endif
    return new PipeReader{fd};
}

namespace {

// Takes bytes from the pipe with take once there are some: what take returns, 0 once a writer
// opened the pipe and closed it again, -1 with errno on a failure. The end is open without
// waiting: before a writer comes, a read finds no writer and would say the pipe ended. poll
// waits for bytes, or for a writer that came to close again.
template <typename Take>
long TakeFromPipe(PipeReader* pipe, Take take) {
    for (;;) {
        struct pollfd wait = {pipe->fd, POLLIN, 0};
        if (::poll(&wait, 1, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        ssize_t n = take(pipe->fd);
        if (n >= 0) {
            return static_cast<long>(n);
        }
        if (errno != EAGAIN && errno != EINTR) {
            return -1;
        }
    }
}

}  // namespace

long ReadPipe(PipeReader* pipe, char* buffer, size_t size) {
    return TakeFromPipe(pipe, [&](int fd) { return ::read(fd, buffer, size); });
}

void WakePipe(const std::string& path) {
    // A writer that comes and goes: the reader's wait ends with the end of the pipe. When the
    // reading end is closed already, nobody waits, and the open fails.
    int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
    }
}

void ClosePipe(PipeReader* pipe) {
    if (pipe != nullptr) {
        ::close(pipe->fd);
        delete pipe;
    }
}

void BlockInterruptsInThisThread() {
    sigset_t all;
    sigfillset(&all);
    ::pthread_sigmask(SIG_BLOCK, &all, nullptr);
}

bool LinkFile(const std::string& path, const std::string& newName) {
    return ::link(path.c_str(), newName.c_str()) == 0;
}

bool ReplaceFile(const std::string& from, const std::string& path, std::string& error) {
    if (::rename(from.c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

void RemoveFile(const std::string& path) {
    ::unlink(path.c_str());
}

namespace {

// Writes all bytes to the descriptor; 0 or the errno of the failure.
int WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            return errno;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

int CopyFileTail(const std::string& path, std::uint64_t offset, std::FILE* to,
                 const volatile int* cancel) {
    if (std::fflush(to) != 0) {
        return errno != 0 ? errno : EIO;
    }
    int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return errno;
    }
    int out = ::fileno(to);
    struct stat st;
    if (::fstat(in, &st) != 0) {
        int error = errno;
        ::close(in);
        return error;
    }
    // Pieces of 8 MiB: an interrupt is seen within one. The kernel copies between files itself;
    // where it cannot (a pipe, an older system), the bytes pass through a buffer.
    const size_t kPiece = size_t{8} << 20;
    auto at = static_cast<off_t>(offset);
    bool inKernel = true;
    std::vector<char> buffer;
    int error = 0;
    while (error == 0 && at < st.st_size && *cancel == 0) {
        size_t want = static_cast<size_t>(std::min<off_t>(st.st_size - at, kPiece));
        if (inKernel) {
            ssize_t n = ::copy_file_range(in, &at, out, nullptr, want, 0);
            if (n > 0) {
                continue;
            }
            if (n == 0) {
                break;  // the file is shorter than it was
            }
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
                errno != EBADF) {
                error = errno;
                break;
            }
            inKernel = false;
            buffer.resize(size_t{1} << 20);
        }
        ssize_t n = ::pread(in, buffer.data(), std::min(want, buffer.size()), at);
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            break;
        }
        error = WriteAll(out, buffer.data(), static_cast<size_t>(n));
        at += n;
    }
    ::close(in);
    return error;
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

void IgnoreWriteSignals() {
    struct sigaction action = {};
    action.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &action, nullptr);
    ::sigaction(SIGPIPE, &action, nullptr);
}

namespace {
// Signal handlers can reach only what is static.
const int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction initialActions[3];
bool initialSaved = false;
volatile int* interruptFlag = nullptr;
struct Message {
    char text[1024];
    size_t size;
};
Message exitBefore;
Message exitAfter;

const char* Name(int signal) {
    return signal == SIGINT ? "Ctrl-C" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
}

void OnInterrupt(int signal) {
    if (interruptFlag != nullptr) {
        *interruptFlag = signal;
    }
}

void WriteError(const char* text, size_t size) {
    ssize_t written = ::write(STDERR_FILENO, text, size);
    static_cast<void>(written);
}

void OnInterruptExit(int signal) {
    const char* name = Name(signal);
    WriteError(exitBefore.text, exitBefore.size);
    WriteError(name, std::strlen(name));
    WriteError(exitAfter.text, exitAfter.size);
    ::_exit(130);
}

void Keep(Message& message, const std::string& text) {
    message.size = std::min(text.size(), sizeof message.text);
    std::memcpy(message.text, text.data(), message.size);
}

// Replaces the handler of each interrupt that the program did not start out ignoring (nohup);
// one handler runs at a time.
void Install(void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    for (int signal : kInterrupts) {
        sigaddset(&action.sa_mask, signal);
    }
    for (size_t i = 0; i < 3; ++i) {
        if (!initialSaved) {
            ::sigaction(kInterrupts[i], nullptr, &initialActions[i]);
        }
        if (initialActions[i].sa_handler != SIG_IGN) {
            ::sigaction(kInterrupts[i], &action, nullptr);
        }
    }
    initialSaved = true;
}
}  // namespace

void CatchInterrupt(volatile int* flag) {
    interruptFlag = flag;
    Install(OnInterrupt);
}

void ExitOnInterrupt(const std::string& before, const std::string& after) {
    Keep(exitBefore, before);
    Keep(exitAfter, after);
    Install(OnInterruptExit);
}

void ReleaseInterrupt() {
    for (size_t i = 0; initialSaved && i < 3; ++i) {
        ::sigaction(kInterrupts[i], &initialActions[i], nullptr);
    }
    interruptFlag = nullptr;
}

std::string InterruptName(int flag) {
    return Name(flag);
}

}  // namespace platform
