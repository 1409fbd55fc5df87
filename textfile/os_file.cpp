#include <cstring>

#include "textfile/os_file.h"

// The write buffer and the fault hook, the same on every platform; the platform files hand the
// bytes to the system.

namespace {

// The fault a test asked for and no file has taken yet: the file layer's one global that changes,
// kept for tests (COsFile::InjectFault); the plug-in never sets it.
struct PendingFault {
    COsFileFault fault;
    char pathEnd[260];
    int after;
};
PendingFault pending = {COsFileFault::kNone, "", 0};

bool EndsWith(const char* path, const char* end) {
    size_t n = std::strlen(path);
    size_t k = std::strlen(end);
    return n >= k && std::memcmp(path + n - k, end, k) == 0;
}

}  // namespace

void COsFile::InjectFault(COsFileFault fault, const char* pathEnd, int after) {
    pending.fault = fault;
    pending.pathEnd[0] = '\0';
    std::strncat(pending.pathEnd, pathEnd != nullptr ? pathEnd : "", sizeof pending.pathEnd - 1);
    pending.after = after;
}

void COsFile::TakeFault(const char* path, bool writing) {
    fault = COsFileFault::kNone;
    faultAfter = 0;
    if (pending.fault == COsFileFault::kNone || (pending.fault == COsFileFault::kRead) == writing ||
        !EndsWith(path, pending.pathEnd)) {
        return;
    }
    fault = pending.fault;
    faultAfter = pending.after;
    pending.fault = COsFileFault::kNone;
}

COsFile::~COsFile() {
    Close();
}

int64_t COsFile::ReadAt(int64_t offset, void* data, uint32_t length) {
    if (FaultRefuses(COsFileFault::kRead)) {
        return -1;
    }
    return SystemRead(offset, data, length);
}

bool COsFile::Write(const void* data, size_t length) {
    if (fd < 0 || writeBuffer == nullptr) {
        return false;
    }
    const char* in = static_cast<const char*>(data);
    if (writeUsed + length > kWriteBufferSize) {
        if (!Flush()) {
            return false;
        }
    }
    if (length >= kWriteBufferSize) {
        // Too big to buffer: hand it over directly.
        if (FaultRefuses(COsFileFault::kWrite) || !SystemWrite(in, length)) {
            writeFailed = true;
            return false;
        }
        return true;
    }
    std::memcpy(writeBuffer + writeUsed, in, length);
    writeUsed += length;
    return true;
}

bool COsFile::WriteLine(const char* text, size_t length) {
    if (fd < 0 || writeBuffer == nullptr) {
        return false;
    }
    if (writeUsed + length + 2 > kWriteBufferSize) {
        // A line that does not fit goes through the general path as two pieces.
        return Write(text, length) && Write("\r\n", 2);
    }
    std::memcpy(writeBuffer + writeUsed, text, length);
    writeBuffer[writeUsed + length] = '\r';
    writeBuffer[writeUsed + length + 1] = '\n';
    writeUsed += length + 2;
    return true;
}

char* COsFile::BeginLine(size_t n) {
    if (fd < 0 || writeBuffer == nullptr || n + 2 > kWriteBufferSize) {
        return nullptr;
    }
    if (writeUsed + n + 2 > kWriteBufferSize && !Flush()) {
        return nullptr;
    }
    return writeBuffer + writeUsed;
}

bool COsFile::Flush(bool atClose) {
    bool refused = (writeUsed > 0 && FaultRefuses(COsFileFault::kWrite)) ||
                   (atClose && fault == COsFileFault::kFlushAtClose);
    bool ok = !refused && SystemWrite(writeBuffer, writeUsed);
    // Whatever could not be written is dropped: the failure is what the caller learns.
    writeUsed = 0;
    if (!ok) {
        writeFailed = true;
    }
    return ok;
}

bool COsFile::Close() {
    if (fd < 0) {
        return true;
    }
    bool ok = true;
    if (writeBuffer != nullptr) {
        ok = Flush(true) && !writeFailed;
        delete[] writeBuffer;
        writeBuffer = nullptr;
    }
    if (!SystemClose()) {
        ok = false;
    }
    fd = -1;
    writeUsed = 0;
    writeFailed = false;
    fault = COsFileFault::kNone;
    return ok;
}
