#pragma once

#include <cstddef>
#include <cstdint>

// Faults that a test can ask the file layer for, to see what its callers do when the system
// refuses a file (a full disk, a file size limit, a share that went away).
enum class COsFileFault {
    kNone,
    kWrite,         // a handing of written bytes to the system fails, and every later one
    kRead,          // a read fails, and every later one
    kFlushAtClose,  // the flush at Close fails (what was handed over before stays)
};

// The operating-system file under CTextFile. One implementation file per platform.
//
// Reading: the file is opened with a shared lock (others may read, nobody may write); reads are
// positioned, so a page can be loaded from any 64-bit offset. Only ordinary files are read: a
// FIFO, a folder or a device is refused, and opening never waits for another process.
// Writing: the file is created or truncated under an exclusive lock. Writes are collected in a
// 64 KiB buffer and handed to the system when it is full and at Close, as a C stream does; a
// failed write or a failed flush is reported by the call that saw it. A FIFO, a folder or a
// block device is refused as an output, without waiting for a reader.
class COsFile {
public:
    static constexpr size_t kWriteBufferSize = 64 * 1024;

    // For tests only; nothing in the plug-in calls it. The next file opened (for reading for
    // kRead, for writing otherwise) whose path ends with pathEnd ("" for any) takes the fault:
    // after that many handings or reads pass, its next one fails. The fault ends with the file;
    // kNone takes back one that no file has taken. Tests ask from one thread.
    static void InjectFault(COsFileFault fault, const char* pathEnd = "", int after = 0);

    COsFile() = default;
    ~COsFile();
    COsFile(const COsFile&) = delete;
    COsFile& operator=(const COsFile&) = delete;

    bool OpenRead(const char* path);
    // Opens for writing, creating the file when it does not exist. An existing file is emptied
    // at once, or, when truncate is false, keeps its bytes until Truncate, so that a caller can
    // make sure it can open every file it needs before it empties any.
    bool OpenWrite(const char* path, bool truncate = true);
    bool Truncate();
    bool IsOpen() const { return fd >= 0; }
    // False only when nothing exists at the path, so that a caller can tell a missing file from
    // one that exists but cannot be opened (locked, unreadable, not an ordinary file).
    static bool Exists(const char* path);

    // Size in bytes of the file open for reading; -1 when it cannot be told.
    int64_t Size() const;

    // Reads up to length bytes at offset; returns the number of bytes read (fewer at the end of
    // the file) or -1 on failure.
    int64_t ReadAt(int64_t offset, void* data, uint32_t length);

    // Appends bytes to a file open for writing; false when the system refused them.
    bool Write(const void* data, size_t length);
    // Appends a line: the text followed by CR LF, in one call and without copying it first.
    bool WriteLine(const char* text, size_t length);
    // Room in the write buffer for a line of at most n bytes and its CR LF, for a caller that
    // formats the line in place and ends it with EndLine; null when the file is not open for
    // writing, the line would not fit the buffer, or making room failed.
    char* BeginLine(size_t n);
    // Ends the line begun with BeginLine after length bytes (at most its n) with CR LF.
    void EndLine(size_t length) {
        writeBuffer[writeUsed + length] = '\r';
        writeBuffer[writeUsed + length + 1] = '\n';
        writeUsed += length + 2;
    }

    // Flushes what is buffered and closes; false when the flush or the close failed.
    bool Close();

    // Page buffers for reading: an ordinary allocation on this platform.
    static char* AllocPage(size_t size);
    static void FreePage(char* page);

private:
    // Hands the buffer to the system; atClose for the flush at Close.
    bool Flush(bool atClose = false);
    // The platform's part of reading, writing and closing: ReadAt's bytes, every byte handed to
    // the system (false when it refused one), and the descriptor closed.
    int64_t SystemRead(int64_t offset, void* data, uint32_t length);
    bool SystemWrite(const char* data, size_t length);
    bool SystemClose();
    // An opened file takes the fault asked for when it is of its kind and its path matches.
    void TakeFault(const char* path, bool writing);
    // Whether the file's fault refuses this read or handing (those it lets pass first included).
    bool FaultRefuses(COsFileFault kind) {
        if (fault != kind) {
            return false;
        }
        if (faultAfter > 0) {
            --faultAfter;
            return false;
        }
        return true;
    }

    int fd = -1;
    char* writeBuffer = nullptr;
    size_t writeUsed = 0;
    bool writeFailed = false;
    COsFileFault fault = COsFileFault::kNone;
    int faultAfter = 0;
};
