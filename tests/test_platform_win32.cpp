#include <windows.h>
// After windows.h, which they build on.
#include <fcntl.h>
#include <io.h>
#include <psapi.h>
#include <sys/stat.h>
#include <winioctl.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "test_platform.h"

namespace testos {

const char* PosixOnly(const char* facility) {
    static std::string why;
    why = std::string("Windows has no ") + facility;
    return why.c_str();
}

void* OpenLibrary(const char* path) {
    return reinterpret_cast<void*>(LoadLibraryA(path));
}

void* FindSymbol(void* library, const char* name) {
    FARPROC proc = GetProcAddress(static_cast<HMODULE>(library), name);
    void* address = nullptr;
    std::memcpy(&address, &proc, sizeof address);
    return address;
}

void CloseLibrary(void* library) {
    if (library != nullptr) {
        FreeLibrary(static_cast<HMODULE>(library));
    }
}

std::string LibraryError() {
    return "Windows error " + std::to_string(GetLastError());
}

void SetEnv(const char* name, const char* value) {
    _putenv_s(name, value != nullptr ? value : "");
}

// Windows chooses a module's resources by the thread's user-interface language; Wine by the
// thread's locale.
void SetUserLanguage(bool russian) {
    LANGID language = russian ? MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)
                              : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    SetThreadUILanguage(language);
    SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
}

std::FILE* OpenCommand(const std::string& command) {
    return _popen(command.c_str(), "r");
}

int CloseCommand(std::FILE* pipe) {
    return _pclose(pipe);
}

namespace {

std::wstring Wide(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

// One argument quoted so that the program's start-up code splits it back out unchanged.
std::wstring Quoted(const std::wstring& arg) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(2 * backslashes, L'\\');
    out.push_back(L'"');
    return out;
}

HANDLE Inheritable(const std::string& path, DWORD access = GENERIC_WRITE) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       access == GENERIC_WRITE ? CREATE_ALWAYS : OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE Spawn(const std::string& program, const std::vector<std::string>& args,
             const RunSetup& setup, DWORD flags) {
    std::wstring line = Quoted(Wide(program));
    for (const std::string& a : args) {
        line += L" " + Quoted(Wide(a));
    }
    HANDLE out = Inheritable(setup.outPath.empty() ? "NUL" : setup.outPath);
    HANDLE err = Inheritable(setup.errPath.empty() ? "NUL" : setup.errPath);
    HANDLE in = Inheritable("NUL", GENERIC_READ);
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = in;
    start.hStdOutput = out;
    start.hStdError = err;
    PROCESS_INFORMATION child = {};
    std::wstring folder = Wide(setup.folder);
    BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, flags, nullptr,
                                  folder.empty() ? nullptr : folder.c_str(), &start, &child);
    for (HANDLE h : {in, out, err}) {
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
    }
    if (!started) {
        return nullptr;
    }
    CloseHandle(child.hThread);
    return child.hProcess;
}

int ExitCode(HANDLE process) {
    DWORD code = 0;
    if (process == nullptr || WaitForSingleObject(process, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process, &code)) {
        code = static_cast<DWORD>(-1);
    }
    if (process != nullptr) {
        CloseHandle(process);
    }
    return static_cast<int>(code);
}

// The private memory of a process in bytes; 0 when it cannot be told.
size_t PrivateBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    return GetProcessMemoryInfo(process, &counters, sizeof counters) ? counters.PagefileUsage : 0;
}

// This process takes no part in the Ctrl-C it sends. A handler, not the flag that ignores Ctrl-C,
// which the programs started later would inherit.
BOOL WINAPI IgnoreControl(DWORD) {
    return TRUE;
}

}  // namespace

int Run(const std::string& program, const std::vector<std::string>& args, const RunSetup& setup) {
    // Windows has no file size limits.
    if (setup.fileSizeLimit >= 0) {
        return -1;
    }
    return ExitCode(Spawn(program, args, setup, 0));
}

struct Process {
    HANDLE handle;
    DWORD id;
    size_t startBytes;
};

Process* Start(const std::string& program, const std::vector<std::string>& args,
               const RunSetup& setup) {
    // A console of its own, which the interrupt goes to.
    HANDLE h = setup.fileSizeLimit < 0 ? Spawn(program, args, setup, CREATE_NEW_CONSOLE) : nullptr;
    return h != nullptr ? new Process{h, GetProcessId(h), PrivateBytes(h)} : nullptr;
}

bool CatchesInterrupt(Process* process) {
    return PrivateBytes(process->handle) >= process->startBytes + (size_t{32} << 20);
}

bool HasEnded(Process* process) {
    return WaitForSingleObject(process->handle, 0) == WAIT_OBJECT_0;
}

bool Interrupt(Process* process) {
    // Ctrl-C goes to every process of a console: join the program's console for the moment.
    FreeConsole();
    if (!AttachConsole(process->id)) {
        return false;
    }
    SetConsoleCtrlHandler(IgnoreControl, TRUE);
    bool sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
    FreeConsole();
    return sent;
}

// Windows has no SIGTERM or SIGHUP; the closing of a console cannot be sent to one program.
bool Terminate(Process*, bool) {
    return false;
}

int Wait(Process* process) {
    int code = ExitCode(process->handle);
    delete process;
    return code;
}

void WithStderrTo(const std::string& path, const std::function<void()>& body) {
    std::fflush(stderr);
    int saved = _dup(2);
    int file = _wopen(Wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY,
                      _S_IREAD | _S_IWRITE);
    _dup2(file, 2);
    _close(file);
    int mode = _setmode(2, _O_BINARY);
    body();
    std::fflush(stderr);
    _setmode(2, mode);
    _dup2(saved, 2);
    _close(saved);
}

bool WriteSparse(const std::string& path, int64_t offset, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD unused = 0;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD written = 0;
    bool ok = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) &&
              WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    return CloseHandle(h) && ok;
}

const char* FullDevice() {
    return nullptr;
}

// No fork: fn runs in this process, without the time limit; tests of calls that could block
// skip on Windows.
int InChild(unsigned, const std::function<int()>& fn) {
    return fn();
}

// Windows pipes live in a namespace of their own, not among files.
bool MakeFifo(const std::string&) {
    return false;
}

int OpenFifoReader(const std::string&) {
    return -1;
}

std::string ReadFifo(int) {
    return {};
}

void CloseFifoReader(int) {}

}  // namespace testos
