#include <cstring>

#include "textfile/os_file.h"

// The write buffer, the same on every platform; the platform files hand its bytes to the system.

COsFile::~COsFile() {
    Close();
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
        if (!SystemWrite(in, length)) {
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

bool COsFile::Flush() {
    bool ok = SystemWrite(writeBuffer, writeUsed);
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
        ok = Flush() && !writeFailed;
        delete[] writeBuffer;
        writeBuffer = nullptr;
    }
    if (!SystemClose()) {
        ok = false;
    }
    fd = -1;
    writeUsed = 0;
    writeFailed = false;
    return ok;
}
