#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

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
            const std::string& outPath, const std::string& errPath) {
    pid_t child = ::fork();
    if (child == 0) {
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
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

int ExitCode(pid_t child) {
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int Run(const std::string& program, const std::vector<std::string>& args,
        const std::string& outPath, const std::string& errPath) {
    return ExitCode(Spawn(program, args, outPath, errPath));
}

struct Process {
    pid_t pid;
};

Process* Start(const std::string& program, const std::vector<std::string>& args) {
    pid_t pid = Spawn(program, args, "/dev/null", "/dev/null");
    return pid > 0 ? new Process{pid} : nullptr;
}

bool Interrupt(Process* process) {
    return ::kill(process->pid, SIGINT) == 0;
}

int Wait(Process* process) {
    int code = ExitCode(process->pid);
    delete process;
    return code;
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

int RunWithFileSizeLimit(int64_t limit, const std::function<int()>& body) {
    pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit r = {static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        ::setrlimit(RLIMIT_FSIZE, &r);
        ::_exit(body());
    }
    return ExitCode(child);
}

int InChild(unsigned seconds, const std::function<int()>& fn) {
    pid_t child = ::fork();
    if (child == 0) {
        ::alarm(seconds);
        ::_exit(fn());
    }
    return ExitCode(child);
}

bool MakeFifo(const std::string& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}

int OpenFifoReader(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

void CloseFifoReader(int reader) {
    if (reader >= 0) {
        ::close(reader);
    }
}

}  // namespace testos
