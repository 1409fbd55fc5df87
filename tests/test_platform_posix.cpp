#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "test_platform.h"

namespace testos {

const char* PosixOnly(const char*) {
    return nullptr;
}

void* OpenLibrary(const char* path) {
    return ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* FindSymbol(void* library, const char* name) {
    return ::dlsym(library, name);
}

void CloseLibrary(void* library) {
    if (library != nullptr) {
        ::dlclose(library);
    }
}

std::string LibraryError() {
    const char* why = ::dlerror();
    return why != nullptr ? why : "";
}

void SetEnv(const char* name, const char* value) {
    if (value != nullptr) {
        ::setenv(name, value, 1);
    } else {
        ::unsetenv(name);
    }
}

// The language of messages comes from the locale variables.
void SetUserLanguage(bool russian) {
    SetEnv("LC_ALL", russian ? "ru_RU.CP1251" : "C");
}

std::FILE* OpenCommand(const std::string& command) {
    return ::popen(command.c_str(), "r");
}

int CloseCommand(std::FILE* pipe) {
    return ::pclose(pipe);
}

namespace {

pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
            const RunSetup& setup) {
    pid_t child = ::fork();
    if (child == 0) {
        const std::string* paths[] = {&setup.outPath, &setup.errPath};
        for (int k = 0; k < 2; ++k) {
            const char* path = paths[k]->empty() ? "/dev/null" : paths[k]->c_str();
            int file = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (file < 0 || ::dup2(file, k + 1) < 0) {
                ::_exit(126);
            }
            ::close(file);
        }
        if (!setup.folder.empty() && ::chdir(setup.folder.c_str()) != 0) {
            ::_exit(126);
        }
        if (setup.fileSizeLimit >= 0) {
            struct rlimit limit = {static_cast<rlim_t>(setup.fileSizeLimit),
                                   static_cast<rlim_t>(setup.fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return child;
}

// The exit code, or 128 + the number of the signal that ended the program, as a shell gives it.
int ExitCode(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// The child's exit code as ExitCode gives it, or, with signalIsFailure, -1 when a signal ended it;
// -1 when it cannot be waited for.
int WaitFor(pid_t child, bool signalIsFailure = false) {
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child ||
        (signalIsFailure && !WIFEXITED(status))) {
        return -1;
    }
    return ExitCode(status);
}

}  // namespace

int Run(const std::string& program, const std::vector<std::string>& args, const RunSetup& setup) {
    return WaitFor(Spawn(program, args, setup));
}

struct Process {
    pid_t pid;
    int code;  // once ended
    bool ended;
};

Process* Start(const std::string& program, const std::vector<std::string>& args,
               const RunSetup& setup) {
    pid_t pid = Spawn(program, args, setup);
    return pid > 0 ? new Process{pid, -1, false} : nullptr;
}

// SigCgt in the process's status: the signals it catches, SIGINT as bit 2.
bool CatchesInterrupt(Process* process) {
    std::ifstream in("/proc/" + std::to_string(process->pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            return (std::stoull(line.substr(7), nullptr, 16) & (1u << (SIGINT - 1))) != 0;
        }
    }
    return false;
}

bool HasEnded(Process* process) {
    int status = 0;
    if (!process->ended && ::waitpid(process->pid, &status, WNOHANG) == process->pid) {
        process->ended = true;
        process->code = ExitCode(status);
    }
    return process->ended;
}

bool Interrupt(Process* process) {
    return ::kill(process->pid, SIGINT) == 0;
}

bool Terminate(Process* process, bool hangup) {
    return ::kill(process->pid, hangup ? SIGHUP : SIGTERM) == 0;
}

int Wait(Process* process) {
    int code = process->ended ? process->code : WaitFor(process->pid);
    delete process;
    return code;
}

void WithStderrTo(const std::string& path, const std::function<void()>& body) {
    std::fflush(stderr);
    int saved = ::dup(STDERR_FILENO);
    int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ::dup2(file, STDERR_FILENO);
    ::close(file);
    body();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
}

bool WriteSparse(const std::string& path, int64_t offset, const std::string& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
              static_cast<ssize_t>(bytes.size());
    return ::close(fd) == 0 && ok;
}

const char* FullDevice() {
    return "/dev/full";
}

int InChild(unsigned seconds, const std::function<int()>& fn) {
    pid_t child = ::fork();
    if (child == 0) {
        ::alarm(seconds);
        ::_exit(fn());
    }
    return WaitFor(child, true);
}

bool MakeFifo(const std::string& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}

int OpenFifoReader(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

std::string ReadFifo(int reader) {
    std::string bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(reader, buffer, sizeof buffer)) > 0) {
        bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
}

void CloseFifoReader(int reader) {
    if (reader >= 0) {
        ::close(reader);
    }
}

}  // namespace testos
