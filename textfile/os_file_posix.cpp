#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "textfile/os_file.h"

namespace {

// Opens without waiting: a FIFO without a writer (or, for writing, without a reader) would block
// open for ever. Once the file is known to be one to use, its reads and writes block again.
int OpenNonBlocking(const char* path, int flags, bool (*acceptable)(mode_t)) {
    int f = ::open(path, flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (f < 0) {
        return -1;
    }
    struct stat st;
    int status = ::fcntl(f, F_GETFL);
    if (::fstat(f, &st) != 0 || !acceptable(st.st_mode) || status < 0 ||
        ::fcntl(f, F_SETFL, status & ~O_NONBLOCK) != 0) {
        ::close(f);
        return -1;
    }
    return f;
}

bool IsReadable(mode_t mode) {
    return S_ISREG(mode);
}

// A character device such as /dev/null takes output as a file does, and so does a FIFO that a
// program reads (without one, the open fails at once instead of waiting); a block device would
// be overwritten in place.
bool IsWritable(mode_t mode) {
    return S_ISREG(mode) || S_ISCHR(mode) || S_ISFIFO(mode);
}

}  // namespace

bool COsFile::OpenRead(const char* path) {
    Close();
    if (path == nullptr) {
        return false;
    }
    int f = OpenNonBlocking(path, O_RDONLY, IsReadable);
    if (f < 0) {
        return false;
    }
    // Readers share the file; a writer holding it exclusively makes the open fail.
    if (::flock(f, LOCK_SH | LOCK_NB) != 0) {
        ::close(f);
        return false;
    }
    fd = f;
    TakeFault(path, false);
    return true;
}

bool COsFile::Exists(const char* path) {
    struct stat st;
    return path != nullptr && (::stat(path, &st) == 0 || errno != ENOENT);
}

bool COsFile::OpenWrite(const char* path, bool truncate) {
    Close();
    if (path == nullptr) {
        return false;
    }
    // Truncate only once the exclusive lock is held, so that a file being read is left intact.
    // A device is neither locked nor truncated: a lock on /dev/null would shut out every other
    // program writing there.
    int f = OpenNonBlocking(path, O_WRONLY | O_CREAT, IsWritable);
    if (f < 0) {
        return false;
    }
    struct stat st;
    if (::fstat(f, &st) != 0 || (S_ISREG(st.st_mode) && ::flock(f, LOCK_EX | LOCK_NB) != 0)) {
        ::close(f);
        return false;
    }
    writeBuffer = new (std::nothrow) char[kWriteBufferSize];
    if (writeBuffer == nullptr) {
        ::close(f);
        return false;
    }
    fd = f;
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
    struct stat st;
    if (fd < 0 || writeBuffer == nullptr || ::fstat(fd, &st) != 0) {
        return false;
    }
    // Devices, pipes and empty files have nothing to empty. An empty file is left alone: ext4
    // writes out a file that was emptied when it is closed, which took a tenth of a second for a
    // 100 MB MIF file written into a new temporary file.
    return !S_ISREG(st.st_mode) || st.st_size == 0 || ::ftruncate(fd, 0) == 0;
}

int64_t COsFile::Size() const {
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

int64_t COsFile::SystemRead(int64_t offset, void* data, uint32_t length) {
    if (fd < 0 || offset < 0) {
        return -1;
    }
    char* out = static_cast<char*>(data);
    uint32_t done = 0;
    while (done < length) {
        ssize_t n = ::pread(fd, out + done, length - done, static_cast<off_t>(offset) + done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return done > 0 ? static_cast<int64_t>(done) : -1;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<uint32_t>(n);
    }
    return done;
}

bool COsFile::SystemWrite(const char* data, size_t length) {
    while (length > 0) {
        ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

bool COsFile::SystemClose() {
    return ::close(fd) == 0;
}

char* COsFile::AllocPage(size_t size) {
    return new (std::nothrow) char[size];
}

void COsFile::FreePage(char* page) {
    delete[] page;
}
