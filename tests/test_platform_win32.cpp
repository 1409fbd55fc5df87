#include <windows.h>
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
             const std::string& outPath, const std::string& errPath, DWORD flags) {
    std::wstring line = Quoted(Wide(program));
    for (const std::string& a : args) {
        line += L" " + Quoted(Wide(a));
    }
    HANDLE out = Inheritable(outPath);
    HANDLE err = Inheritable(errPath);
    HANDLE in = Inheritable("NUL", GENERIC_READ);
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = in;
    start.hStdOutput = out;
    start.hStdError = err;
    PROCESS_INFORMATION child = {};
    BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, flags, nullptr,
                                  nullptr, &start, &child);
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

}  // namespace

int Run(const std::string& program, const std::vector<std::string>& args,
        const std::string& outPath, const std::string& errPath) {
    return ExitCode(Spawn(program, args, outPath, errPath, 0));
}

struct Process {
    HANDLE handle;
    DWORD id;
};

Process* Start(const std::string& program, const std::vector<std::string>& args) {
    // A console of its own, which the interrupt goes to.
    HANDLE h = Spawn(program, args, "NUL", "NUL", CREATE_NEW_CONSOLE);
    return h != nullptr ? new Process{h, GetProcessId(h)} : nullptr;
}

bool Interrupt(Process* process) {
    // Ctrl-C goes to every process of a console: join the program's console for the moment,
    // ignoring the event here.
    FreeConsole();
    if (!AttachConsole(process->id)) {
        return false;
    }
    SetConsoleCtrlHandler(nullptr, TRUE);
    bool sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
    FreeConsole();
    return sent;
}

int Wait(Process* process) {
    int code = ExitCode(process->handle);
    delete process;
    return code;
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

int RunWithFileSizeLimit(int64_t, const std::function<int()>&) {
    return -1;
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

void CloseFifoReader(int) {}

}  // namespace testos
