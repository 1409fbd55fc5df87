#pragma once

#include <cstdint>
#include <string>

#include "textfile/os_file.h"

// An 8-bit text file. Reading walks the file byte by byte through one page of at most 1 MiB that
// slides over the file, with one saved position (the mark) to step back to. Writing writes whole
// lines ending in CR LF.
class CTextFile {
public:
    static constexpr uint32_t kPageSize = 1u << 20;

    CTextFile() = default;
    // The owner closes the file before it goes; closing here as well keeps a forgotten close
    // from leaking the handle and the page.
    ~CTextFile() { CloseFile(); }
    CTextFile(const CTextFile&) = delete;
    CTextFile& operator=(const CTextFile&) = delete;

    // What the last OpenRead found: an open file, no file at all, an empty file (not opened, as
    // there is nothing to read), or a file that could not be opened or read.
    enum class OpenResult { kOpen, kMissing, kEmpty, kRefused };

    int OpenRead(const char* path);
    OpenResult LastOpenResult() const { return openResult; }
    // Opens for writing; an existing file is emptied now, or with truncate false at Truncate.
    int OpenWrite(const char* path, bool truncate = true);
    int Truncate();
    void CloseFile();
    int IsOpen() const { return handle.IsOpen() ? 1 : 0; }

    int LoadPage(int32_t k);

    bool GetChar(char& c) {
        if (readPtr >= buffer + pageLength) {
            if (!NextPage()) {
                return false;
            }
        }
        c = *readPtr++;
        return true;
    }

    void SeekToStart();
    void SetMark() {
        markPtr = readPtr;
        markPage = page;
    }
    void RestoreMark();
    // Puts the read position at a byte offset reported by ReadOffset.
    void SeekTo(int64_t offset);

    int WriteLine(const std::string& text) { return WriteLine(text.data(), text.size()); }
    int WriteLine(const char* text, size_t length);
    // A line formatted in place in the write buffer: BeginLine gives room for n bytes (null, and
    // the write error set, when there is none), EndLine ends the line after length of them.
    char* BeginLine(size_t n) {
        char* at = handle.BeginLine(n);
        if (at == nullptr) {
            writeError = true;
        }
        return at;
    }
    int EndLine(size_t length) {
        handle.EndLine(length);
        return 1;
    }

    // True once any line write, or the flush when the file was closed, has failed since the file
    // was opened for writing. Closing keeps the answer until the next open.
    bool HasWriteError() const { return writeError; }

    // Byte offset of the read position in the file (64-bit, so files above 2 GiB work).
    int64_t ReadOffset() const {
        if (buffer == nullptr || page < 0) {
            return 0;
        }
        return static_cast<int64_t>(page) * kPageSize + (readPtr - buffer);
    }
    int64_t FileSize() const { return fileSize; }
    // The byte offset of a position in the loaded page.
    int64_t OffsetOf(const char* p) const { return OffsetIn(page, p); }
    // The byte offset of a position that was in the given page when it was loaded: the page's
    // bytes always lie at the same place in the buffer.
    int64_t OffsetIn(int32_t pageNumber, const char* p) const {
        return static_cast<int64_t>(pageNumber) * kPageSize + (p - buffer);
    }
    // The offset of the mark.
    int64_t MarkOffset() const { return OffsetIn(markPage, markPtr); }
    // The line (from 1) of the byte at offset: one more than the line breaks before it (LF,
    // CR LF or a lone CR). Counted on from the last answer when offset lies after it, so that
    // questions in file order cost the bytes between them; reads the file directly and leaves the
    // page and the read position as they are.
    int64_t LineAt(int64_t offset);
    int32_t Page() const { return page; }
    uint32_t PageLength() const { return pageLength; }
    uint32_t BufferSize() const { return bufferSize; }

    // The bytes from the read position to the end of the loaded page, for scanners that look at
    // a run of bytes at once before they consume it with Skip; NextPage loads the next page and
    // puts the read position at its start (false at the end of the file). A zero byte follows
    // the loaded page: *PageEnd() is 0.
    const char* PageCursor() const { return readPtr; }
    const char* PageEnd() const { return buffer + pageLength; }
    void Skip(size_t n) { readPtr += n; }
    bool NextPage();

private:
    COsFile handle;
    int64_t fileSize = 0;
    char* buffer = nullptr;
    char* readPtr = nullptr;
    char* markPtr = nullptr;
    uint32_t bufferSize = 0;
    uint32_t pageLength = 0;
    int32_t page = -1;
    int32_t markPage = -1;
    bool writeError = false;
    OpenResult openResult = OpenResult::kMissing;
    // Where LineAt counted to: the offset, its line, and whether the byte before it was a CR.
    int64_t countedTo = 0;
    int64_t countedLine = 1;
    bool countedAfterCR = false;
};
