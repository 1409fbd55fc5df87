#include <fcntl.h>
#include <io.h>
#include <windows.h>
// The Windows headers name their own ReplaceFile; ours is the one declared in platform.h.
#undef ReplaceFile

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/mifhost/platform.h"

namespace platform {

namespace {

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) {
        return std::wstring();
    }
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    }
    return out;
}

// UTF-16 to an 8-bit code page; *lossy tells whether a character had no byte in it.
std::string Narrow(const std::wstring& wide, UINT codePage, bool* lossy = nullptr) {
    if (lossy != nullptr) {
        *lossy = false;
    }
    if (wide.empty()) {
        return std::string();
    }
    if (codePage == CP_ACP) {
        codePage = GetACP();  // which may be UTF-8, which takes no flags
    }
    BOOL usedDefault = FALSE;
    bool exact = codePage != CP_UTF8 && codePage != CP_UTF7;
    DWORD flags = exact ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL* used = exact ? &usedDefault : nullptr;
    int size = static_cast<int>(wide.size());
    int n = WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr, used);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        WideCharToMultiByte(codePage, flags, wide.data(), size, &out[0], n, nullptr, used);
    }
    if (lossy != nullptr) {
        *lossy = n <= 0 || usedDefault != FALSE;
    }
    return out;
}

// Why a call failed. Errors that the C runtime also knows are told in its words, as mifhost's
// other messages and the other systems tell them; the rest in the system's own.
std::string SystemMessage(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return std::strerror(ENOENT);
        case ERROR_ACCESS_DENIED:
            return std::strerror(EACCES);
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return std::strerror(EEXIST);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return std::strerror(ENOSPC);
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return std::strerror(ENOMEM);
        case ERROR_WRITE_PROTECT:
            return std::strerror(EROFS);
        default:
            break;
    }
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n > 0 && text != nullptr ? std::wstring(text, n) : std::wstring();
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    return message.empty() ? "system error " + std::to_string(code) : Narrow(message, CP_UTF8);
}

// One sequence of bytes in the code page, strictly: false when the bytes are not valid text of
// it. Code pages that take no strictness flag are converted as the system does.
bool DecodeStrict(UINT codePage, const char* bytes, int size, std::wstring& out) {
    int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, size, nullptr, 0);
    DWORD flags = MB_ERR_INVALID_CHARS;
    if (n <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        n = MultiByteToWideChar(codePage, 0, bytes, size, nullptr, 0);
    }
    if (n <= 0) {
        return false;
    }
    size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    MultiByteToWideChar(codePage, flags, bytes, size, &out[at], n);
    return true;
}

}  // namespace

std::vector<std::string> StartProgram(int argc, char** argv) {
    // Text goes out byte for byte, in UTF-8, as on every platform: no CR added before LF, and the
    // console shows UTF-8.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
    // The arguments as typed, not as the 8-bit code page can hold them.
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        args.assign(argv, argv + argc);
        return args;
    }
    for (int i = 0; i < count; ++i) {
        args.push_back(Narrow(wide[i], CP_UTF8));
    }
    LocalFree(wide);
    return args;
}

std::string HostPath(const std::string& path) {
    // The host hands paths in the system's 8-bit code page. A folder that it cannot spell goes by
    // its short name, which it can. The file's own name must be spelled as it is: the plug-in
    // finds the MID file by that name, and a short name would lead it astray.
    std::wstring wide = Wide(path);
    bool lossy = false;
    std::string ansi = Narrow(wide, CP_ACP, &lossy);
    if (!lossy) {
        return ansi;
    }
    size_t cut = wide.find_last_of(L"\\/");
    std::string leaf = Narrow(wide.substr(cut == std::wstring::npos ? 0 : cut + 1), CP_ACP, &lossy);
    if (lossy || cut == std::wstring::npos || cut == 0) {
        return std::string();
    }
    std::wstring folder = wide.substr(0, cut);
    DWORD n = GetShortPathNameW(folder.c_str(), nullptr, 0);
    std::wstring shortName(n, L'\0');
    n = n > 0 ? GetShortPathNameW(folder.c_str(), &shortName[0], n) : 0;
    shortName.resize(n);
    std::string shortFolder = Narrow(shortName, CP_ACP, &lossy);
    if (n == 0 || lossy) {
        return std::string();
    }
    return shortFolder + "\\" + leaf;
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    return _wfopen(Wide(path).c_str(), Wide(mode).c_str());
}

void* OpenLibrary(const std::string& path, std::string& error) {
    // A bare file name would make the loader search the system's folders; a path is what was
    // asked.
    std::string where = path.find_first_of("/\\") == std::string::npos ? ".\\" + path : path;
    HMODULE library = LoadLibraryW(Wide(where).c_str());
    if (library == nullptr) {
        error = SystemMessage(GetLastError());
    }
    return reinterpret_cast<void*>(library);
}

void* FindSymbol(void* library, const char* name) {
    FARPROC proc = GetProcAddress(static_cast<HMODULE>(library), name);
    void* address = nullptr;
    static_assert(sizeof proc == sizeof address, "code and data addresses have one size");
    std::memcpy(&address, &proc, sizeof address);
    return address;
}

void CloseLibrary(void* library) {
    if (library != nullptr) {
        FreeLibrary(static_cast<HMODULE>(library));
    }
}

std::string ProgramPath() {
    std::wstring exe(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, &exe[0], static_cast<DWORD>(exe.size()));
        if (n == 0) {
            return std::string();
        }
        if (n < exe.size()) {
            exe.resize(n);
            return Narrow(exe, CP_UTF8);
        }
        exe.resize(exe.size() * 2);
    }
}

std::string DefaultPluginPath() {
    std::string exe = ProgramPath();
    if (exe.empty()) {
        return "mif.dll";
    }
    return exe.substr(0, exe.find_last_of("\\/") + 1) + "mif.dll";
}

namespace {

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

// A pipe whose writing end the child inherits; the reading end stays here.
bool ChildPipe(HANDLE& read, HANDLE& write) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&read, &write, &inherit, 0)) {
        return false;
    }
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    return true;
}

}  // namespace

struct Child {
    HANDLE process;
    HANDLE out;
    HANDLE err;
};

Child* StartChild(const std::string& program, const std::vector<std::string>& args,
                  std::string& error) {
    std::wstring line = Quoted(Wide(program));
    for (const std::string& a : args) {
        line += L" " + Quoted(Wide(a));
    }
    HANDLE outRead = nullptr;
    HANDLE outWrite = nullptr;
    HANDLE errRead = nullptr;
    HANDLE errWrite = nullptr;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool piped = ChildPipe(outRead, outWrite) && ChildPipe(errRead, errWrite);
    PROCESS_INFORMATION child = {};
    BOOL started = FALSE;
    if (piped) {
        STARTUPINFOW start = {};
        start.cb = sizeof start;
        start.dwFlags = STARTF_USESTDHANDLES;
        start.hStdInput = nothing;
        start.hStdOutput = outWrite;
        start.hStdError = errWrite;
        // Children are started one at a time from one thread, and each one's inherited ends are
        // closed here at once, so no child inherits another's pipes.
        started = CreateProcessW(Wide(program).c_str(), &line[0], nullptr, nullptr, TRUE, 0,
                                 nullptr, nullptr, &start, &child);
    }
    DWORD failure = GetLastError();
    for (HANDLE h : {nothing, outWrite, errWrite}) {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
        }
    }
    if (!started) {
        for (HANDLE h : {outRead, errRead}) {
            if (h != nullptr) {
                CloseHandle(h);
            }
        }
        error = SystemMessage(failure);
        return nullptr;
    }
    CloseHandle(child.hThread);
    return new Child{child.hProcess, outRead, errRead};
}

long ReadChild(Child* child, bool fromError, char* buffer, size_t size) {
    DWORD got = 0;
    DWORD want = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
    if (!ReadFile(fromError ? child->err : child->out, buffer, want, &got, nullptr)) {
        return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    }
    return static_cast<long>(got);
}

void InterruptChild(Child*, int) {}

unsigned FinishChild(Child* child, std::string& how) {
    CloseHandle(child->out);
    CloseHandle(child->err);
    DWORD code = 0;
    how.clear();
    if (WaitForSingleObject(child->process, INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(child->process, &code)) {
        how = "lost (" + SystemMessage(GetLastError()) + ")";
        code = 255;
    } else if (code >= 0xC0000000u) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(code));
        how = std::string("ended by exception ") + text;
    }
    CloseHandle(child->process);
    delete child;
    return code;
}

bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::string& utf8,
                    std::string& error) {
    utf8.clear();
    if (!IsValidCodePage(codePage)) {
        error = "code page " + std::to_string(codePage) + " is not available on this system";
        return false;
    }
    std::wstring wide;
    if (bytes.empty()) {
        return true;
    }
    if (!DecodeStrict(codePage, bytes.data(), static_cast<int>(bytes.size()), wide)) {
        // Some bytes are not text of the code page: take the longest valid sequence (at most
        // four bytes) at each place and a replacement character for a byte that starts none.
        wide.clear();
        size_t i = 0;
        while (i < bytes.size()) {
            size_t taken = 0;
            for (size_t n = 1; n <= 4 && i + n <= bytes.size() && taken == 0; ++n) {
                if (DecodeStrict(codePage, bytes.data() + i, static_cast<int>(n), wide)) {
                    taken = n;
                }
            }
            if (taken == 0) {
                wide.push_back(L'\xFFFD');
                taken = 1;
            }
            i += taken;
        }
    }
    // The Windows code pages leave a few bytes undefined (0x81 in 1252, 0x98 in 1251), which the
    // system still maps to control characters; they are no text, as on other systems.
    if (codePage == 874 || (codePage >= 1250 && codePage <= 1258)) {
        for (wchar_t& c : wide) {
            if (c >= 0x80 && c <= 0x9F) {
                c = L'\xFFFD';
            }
        }
    }
    utf8 = Narrow(wide, CP_UTF8);
    return true;
}

bool StatFile(const std::string& path, FileStatus& status, std::string& error) {
    status = FileStatus();
    std::wstring wide = Wide(path);
    // No access is asked for, only the file's identity, so a file held open by others answers.
    HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
            code == ERROR_INVALID_NAME) {
            return true;
        }
        DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            error = SystemMessage(code);
            return false;
        }
        status.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::kDirectory
                                                                   : FileKind::kRegular;
        return true;
    }
    switch (GetFileType(h)) {
        case FILE_TYPE_DISK: {
            BY_HANDLE_FILE_INFORMATION info = {};
            if (GetFileInformationByHandle(h, &info) == 0) {
                error = SystemMessage(GetLastError());
                CloseHandle(h);
                return false;
            }
            status.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                              ? FileKind::kDirectory
                              : FileKind::kRegular;
            status.device = info.dwVolumeSerialNumber;
            status.inode =
                (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
            break;
        }
        case FILE_TYPE_PIPE:
            status.kind = FileKind::kFifo;
            break;
        case FILE_TYPE_CHAR:
            status.kind = FileKind::kDevice;
            break;
        default:
            status.kind = FileKind::kOther;
            break;
    }
    CloseHandle(h);
    return true;
}

namespace {

// The folder part of a path, with its separator; empty for a bare name.
std::string FolderPart(const std::string& path) {
    size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace

bool StandardOutputStatus(FileStatus& status) {
    status = FileStatus();
    HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
    BY_HANDLE_FILE_INFORMATION info = {};
    if (h == nullptr || h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK ||
        GetFileInformationByHandle(h, &info) == 0) {
        return false;
    }
    status.kind = FileKind::kRegular;
    status.device = info.dwVolumeSerialNumber;
    status.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool FollowLinks(const std::string& path, std::string& target, std::string& error) {
    target = path;
    std::wstring wide = Wide(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return true;
    }
    // The system follows the link when it opens the file; the handle tells the final name.
    HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = "its link leads to no file: " + SystemMessage(GetLastError());
        return false;
    }
    std::wstring final(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, &final[0], static_cast<DWORD>(final.size()),
                                        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n >= final.size()) {
        final.resize(n + 1);
        n = GetFinalPathNameByHandleW(h, &final[0], static_cast<DWORD>(final.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    DWORD code = GetLastError();
    CloseHandle(h);
    if (n == 0 || n >= final.size()) {
        error = SystemMessage(code);
        return false;
    }
    final.resize(n);
    // "\\?\C:\..." and "\\?\UNC\server\..." as ordinary names.
    if (final.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        final = L"\\\\" + final.substr(8);
    } else if (final.compare(0, 4, L"\\\\?\\") == 0) {
        final = final.substr(4);
    }
    target = Narrow(final, CP_UTF8);
    return true;
}

bool MayWrite(const std::string& path, std::string& error) {
    std::wstring wide = Wide(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        error = std::strerror(EACCES);
        return false;
    }
    // Opened for writing and closed at once, unchanged: the file's access list and other programs
    // that hold it open without sharing answer too.
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = SystemMessage(GetLastError());
        return false;
    }
    CloseHandle(h);
    return true;
}

// The limit of NTFS and of long names on FAT, in UTF-16 units: the same number of bytes or more
// in UTF-8, so a name cut to it in bytes fits.
size_t NameLimit(const std::string&) {
    return 255;
}

Created CreateNewFile(const std::string& path, const std::string& like, std::string& error) {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD code = GetLastError();
        if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) {
            return Created::kExists;
        }
        error = SystemMessage(code);
        return Created::kFailed;
    }
    CloseHandle(h);
    // Hidden and the like come over from the file it replaces; read-only files are refused before.
    DWORD attributes = GetFileAttributesW(Wide(like).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetFileAttributesW(
            Wide(path).c_str(),
            attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                          FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
    }
    return Created::kNew;
}

// Named pipes here are not files of a folder: the plug-in's MIF file is written to a file and
// copied.
Created CreateNewPipe(const std::string&, std::string& error) {
    error = "named pipes are not files on this system";
    return Created::kFailed;
}

struct PipeReader {};

PipeReader* OpenPipe(const std::string&, std::string& error) {
    error = "named pipes are not files on this system";
    return nullptr;
}

long ReadPipe(PipeReader*, char*, size_t) {
    errno = ENOSYS;
    return -1;
}

void WakePipe(const std::string&) {}

void ClosePipe(PipeReader* pipe) {
    delete pipe;
}

// Ctrl-C reaches a console program on a thread of its own: nothing to block.
void BlockInterruptsInThisThread() {}

bool LinkFile(const std::string& path, const std::string& newName) {
    return CreateHardLinkW(Wide(newName).c_str(), Wide(path).c_str(), nullptr) != 0;
}

bool ReplaceFile(const std::string& from, const std::string& path, std::string& error) {
    if (MoveFileExW(Wide(from).c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING) == 0) {
        error = SystemMessage(GetLastError());
        return false;
    }
    return true;
}

void RemoveFile(const std::string& path) {
    DeleteFileW(Wide(path).c_str());
}

int CopyFileTail(const std::string& path, std::uint64_t offset, std::FILE* to,
                 const volatile int* cancel) {
    std::FILE* in = OpenFile(path, "rb");
    if (in == nullptr) {
        return errno != 0 ? errno : EIO;
    }
    int error = _fseeki64(in, static_cast<__int64>(offset), SEEK_SET) != 0 ? errno : 0;
    // Pieces of 1 MiB: an interrupt is seen within one.
    std::vector<char> buffer(size_t{1} << 20);
    while (error == 0 && *cancel == 0) {
        size_t n = std::fread(buffer.data(), 1, buffer.size(), in);
        if (n > 0 && std::fwrite(buffer.data(), 1, n, to) != n) {
            error = errno != 0 ? errno : EIO;
        }
        if (n < buffer.size()) {
            error = error == 0 && std::ferror(in) ? EIO : error;
            break;
        }
    }
    std::fclose(in);
    return error;
}

std::string WriteFailureReason(const std::string& path) {
    std::wstring wide = Wide(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    std::string folder = FolderPart(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return std::strerror(EISDIR);
        }
        HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            return SystemMessage(GetLastError());
        }
        CloseHandle(h);
    } else {
        DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND) {
            return SystemMessage(code);
        }
        std::string probe = folder + ".mifhost-probe-" + std::to_string(GetCurrentProcessId());
        std::string error;
        if (CreateNewFile(probe, "", error) == Created::kFailed) {
            return error;
        }
        RemoveFile(probe);
    }
    ULARGE_INTEGER available = {};
    std::wstring where = Wide(folder.empty() ? "." : folder);
    if (GetDiskFreeSpaceExW(where.c_str(), &available, nullptr, nullptr) != 0 &&
        available.QuadPart == 0) {
        return std::strerror(ENOSPC);
    }
    return "";
}

bool StderrIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info = {};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info) == 0) {
        return 0;
    }
    return std::max(0, info.srWindow.Right - info.srWindow.Left + 1);
}

// Windows has no file size limit that ends a process, and no signal for a pipe whose reader has
// gone: the write fails.
void IgnoreWriteSignals() {}

namespace {
// The console calls its handler on a thread of its own; it reaches only what is static.
enum Mode : LONG { kOff, kFlag, kExit };
volatile LONG mode = kOff;
volatile int* interruptFlag = nullptr;
struct Message {
    char text[1024];
    DWORD size;
};
Message exitBefore;
Message exitAfter;
bool registered = false;

// The flag's value for an event: CTRL_C_EVENT is 0.
const char* Name(int flag) {
    return flag == CTRL_BREAK_EVENT + 1   ? "Ctrl-Break"
           : flag == CTRL_CLOSE_EVENT + 1 ? "console closed"
                                          : "Ctrl-C";
}

void WriteError(const char* text, DWORD size) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, size, &written, nullptr);
}

BOOL WINAPI OnControl(DWORD event) {
    bool close = event == CTRL_CLOSE_EVENT;
    if ((event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && !close) || mode == kOff) {
        return FALSE;
    }
    int flag = static_cast<int>(event) + 1;
    if (mode == kExit) {
        const char* name = Name(flag);
        WriteError(exitBefore.text, exitBefore.size);
        WriteError(name, static_cast<DWORD>(std::strlen(name)));
        WriteError(exitAfter.text, exitAfter.size);
        // As _exit does elsewhere: the import may be halfway through the heap or a static table
        // on the main thread, so no destructor and no DLL's detach code may run now.
        TerminateProcess(GetCurrentProcess(), 130);
        return TRUE;
    }
    *interruptFlag = flag;
    if (close) {
        // Windows ends the program once this returns, or after a few seconds: until then the
        // main thread removes its temporary files and ends the program itself.
        Sleep(INFINITE);
    }
    return TRUE;
}

void Keep(Message& message, const std::string& text) {
    size_t size = std::min(text.size(), sizeof message.text);
    std::memcpy(message.text, text.data(), size);
    message.size = static_cast<DWORD>(size);
}

void Install(Mode to) {
    InterlockedExchange(&mode, to);
    if (!registered) {
        registered = SetConsoleCtrlHandler(OnControl, TRUE) != 0;
    }
}
}  // namespace

void CatchInterrupt(volatile int* flag) {
    interruptFlag = flag;
    Install(kFlag);
}

void ExitOnInterrupt(const std::string& before, const std::string& after) {
    Keep(exitBefore, before);
    Keep(exitAfter, after);
    Install(kExit);
}

void ReleaseInterrupt() {
    InterlockedExchange(&mode, kOff);
    interruptFlag = nullptr;
}

std::string InterruptName(int flag) {
    return Name(flag);
}

}  // namespace platform
