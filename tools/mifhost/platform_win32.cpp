#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

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

std::string SystemMessage(DWORD code) {
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

// A code page name as iconv spells it (WINDOWS-1251, CP1252, ISO-8859-5, UTF-8, KOI8-R, or a
// bare number) to its Windows code page number; 0 when unknown.
unsigned CodePageNumber(std::string name) {
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c == '_') {
            c = '-';
        }
    }
    if (name == "UTF-8" || name == "UTF8") {
        return CP_UTF8;
    }
    if (name == "KOI8-R") {
        return 20866;
    }
    if (name == "KOI8-U") {
        return 21866;
    }
    unsigned base = 0;
    for (const char* prefix : {"ISO-8859-", "ISO8859-", "ISO-8859"}) {
        if (name.rfind(prefix, 0) == 0) {
            name.erase(0, std::strlen(prefix));
            base = 28590;
            break;
        }
    }
    if (base == 0) {
        for (const char* prefix : {"WINDOWS-", "CP-", "CP", "IBM"}) {
            if (name.rfind(prefix, 0) == 0) {
                name.erase(0, std::strlen(prefix));
                break;
            }
        }
    }
    if (name.empty() || name.size() > 5 || name.find_first_not_of("0123456789") != name.npos) {
        return 0;
    }
    return base + static_cast<unsigned>(std::stoul(name));
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

std::string DefaultPluginPath() {
    std::wstring exe(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, &exe[0], static_cast<DWORD>(exe.size()));
        if (n == 0) {
            return "mif.dll";
        }
        if (n < exe.size()) {
            exe.resize(n);
            break;
        }
        exe.resize(exe.size() * 2);
    }
    return Narrow(exe.substr(0, exe.find_last_of(L"\\/") + 1), CP_UTF8) + "mif.dll";
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

bool CodePageTable(const std::string& name, std::string table[256], std::string& error) {
    unsigned codePage = CodePageNumber(name);
    if (codePage == 0 || !IsValidCodePage(codePage)) {
        error = "unknown code page " + name;
        return false;
    }
    for (int b = 0; b < 256; ++b) {
        char byte = static_cast<char>(b);
        std::string utf8;
        DecodeCodePage(codePage, std::string_view(&byte, 1), utf8, error);
        // A byte that is no character of its own (unmapped, or the start of a longer one) maps
        // to nothing here; the caller shows it as a replacement character.
        table[b] = utf8 == "\xEF\xBF\xBD" ? std::string() : utf8;
    }
    return true;
}

bool StderrIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

namespace {
volatile int* interruptFlag = nullptr;

BOOL WINAPI OnControl(DWORD event) {
    if ((event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) && interruptFlag != nullptr) {
        *interruptFlag = 1;
        return TRUE;
    }
    return FALSE;
}
}  // namespace

void CatchInterrupt(volatile int* flag) {
    interruptFlag = flag;
    SetConsoleCtrlHandler(OnControl, TRUE);
}

void ReleaseInterrupt() {
    SetConsoleCtrlHandler(OnControl, FALSE);
    interruptFlag = nullptr;
}

}  // namespace platform
