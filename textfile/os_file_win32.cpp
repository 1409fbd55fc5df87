#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "textfile/os_file.h"

// The handle lives in the int that the other platform uses for its descriptor: kernel handles are
// small positive values that Windows keeps within 32 bits, also in 64-bit processes.
namespace {

HANDLE ToHandle(int fd) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd));
}

int FromHandle(HANDLE h) {
    return static_cast<int>(reinterpret_cast<intptr_t>(h));
}

// Only files on disk are read: a pipe, a console or another device could block a read. Output
// may also go to a character device (NUL, a console), as on other systems; a pipe could block.
HANDLE KeepKind(HANDLE h, bool writing) {
    if (h == INVALID_HANDLE_VALUE) {
        return h;
    }
    DWORD type = GetFileType(h);
    if (type != FILE_TYPE_DISK && !(writing && type == FILE_TYPE_CHAR)) {
        CloseHandle(h);
        SetLastError(ERROR_INVALID_FUNCTION);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

// Hands bytes to the system until all are written; false when it refuses them.
bool WriteAll(HANDLE h, const char* data, size_t length) {
    while (length > 0) {
        DWORD chunk = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(h, data, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        length -= written;
    }
    return true;
}

}  // namespace

bool COsFile::OpenRead(const char* path) {
    Close();
    if (path == nullptr) {
        return false;
    }
    // Others may read the file while it is read, nobody may write it: a file that another handle
    // holds open for writing fails with a sharing violation. Paths are in the ANSI code page, as
    // the host hands them.
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    h = KeepKind(h, false);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    fd = FromHandle(h);
    TakeFault(path, false);
    return true;
}

bool COsFile::Exists(const char* path) {
    if (path == nullptr) {
        return false;
    }
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

bool COsFile::OpenWrite(const char* path, bool truncate) {
    Close();
    if (path == nullptr) {
        return false;
    }
    // No sharing: a file that anyone has open fails before anything of it is emptied.
    HANDLE h =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    h = KeepKind(h, true);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    writeBuffer = new (std::nothrow) char[kWriteBufferSize];
    if (writeBuffer == nullptr) {
        CloseHandle(h);
        return false;
    }
    fd = FromHandle(h);
    TakeFault(path, true);
    writeUsed = 0;
    writeFailed = false;
    if (truncate && !Truncate()) {
        Close();
        return false;
    }
    return true;
}

bool COsFile::Truncate() {
    if (fd < 0 || writeBuffer == nullptr) {
        return false;
    }
    // Devices have nothing to empty.
    HANDLE h = ToHandle(fd);
    if (GetFileType(h) != FILE_TYPE_DISK) {
        return true;
    }
    LARGE_INTEGER start = {};
    return SetFilePointerEx(h, start, nullptr, FILE_BEGIN) && SetEndOfFile(h);
}

int64_t COsFile::Size() const {
    LARGE_INTEGER size;
    if (fd < 0 || !GetFileSizeEx(ToHandle(fd), &size)) {
        return -1;
    }
    return static_cast<int64_t>(size.QuadPart);
}

int64_t COsFile::SystemRead(int64_t offset, void* data, uint32_t length) {
    if (fd < 0 || offset < 0) {
        return -1;
    }
    char* out = static_cast<char*>(data);
    uint32_t done = 0;
    while (done < length) {
        // The offset goes with each read, all 64 bits of it.
        uint64_t at = static_cast<uint64_t>(offset) + done;
        OVERLAPPED position = {};
        position.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
        position.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD got = 0;
        if (!ReadFile(ToHandle(fd), out + done, length - done, &got, &position)) {
            if (GetLastError() == ERROR_HANDLE_EOF) {
                break;
            }
            return done > 0 ? static_cast<int64_t>(done) : -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

bool COsFile::SystemWrite(const char* data, size_t length) {
    return WriteAll(ToHandle(fd), data, length);
}

bool COsFile::SystemClose() {
    return CloseHandle(ToHandle(fd)) != 0;
}

// Page buffers come straight from the system's page allocator.
char* COsFile::AllocPage(size_t size) {
    return static_cast<char*>(
        VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
}

void COsFile::FreePage(char* page) {
    if (page != nullptr) {
        VirtualFree(page, 0, MEM_RELEASE);
    }
}
