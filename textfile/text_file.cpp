#include "textfile/text_file.h"

#include <algorithm>
#include <cstring>

int CTextFile::OpenRead(const char* path) {
    CloseFile();
    openResult = OpenResult::kRefused;
    if (handle.OpenRead(path)) {
        fileSize = handle.Size();
        if (fileSize == 0) {
            openResult = OpenResult::kEmpty;
        } else if (fileSize > 0) {
            uint32_t capacity = fileSize > kPageSize ? kPageSize : static_cast<uint32_t>(fileSize);
            bufferSize = capacity + 1;
            buffer = COsFile::AllocPage(bufferSize);
            if (buffer != nullptr && LoadPage(0) == 1 && pageLength > 0) {
                readPtr = buffer;
            }
        }
    } else if (!COsFile::Exists(path)) {
        openResult = OpenResult::kMissing;
    }
    if (readPtr != nullptr) {
        openResult = OpenResult::kOpen;
        return 1;
    }
    CloseFile();
    return 0;
}

int CTextFile::OpenWrite(const char* path, bool truncate) {
    CloseFile();
    writeError = false;
    if (!handle.OpenWrite(path, truncate)) {
        return 0;
    }
    return 1;
}

int CTextFile::Truncate() {
    return handle.Truncate() ? 1 : 0;
}

int64_t CTextFile::LineAt(int64_t offset) {
    if (offset < countedTo) {
        countedTo = 0;
        countedLine = 1;
        countedAfterCR = false;
    }
    char chunk[16384];
    while (countedTo < offset) {
        int64_t want = std::min<int64_t>(offset - countedTo, sizeof chunk);
        int64_t got = handle.ReadAt(countedTo, chunk, static_cast<uint32_t>(want));
        if (got <= 0) {
            break;
        }
        for (int64_t i = 0; i < got; ++i) {
            char c = chunk[i];
            countedLine += c == '\r' || (c == '\n' && !countedAfterCR) ? 1 : 0;
            countedAfterCR = c == '\r';
        }
        countedTo += got;
    }
    return countedLine;
}

void CTextFile::CloseFile() {
    if (buffer != nullptr) {
        COsFile::FreePage(buffer);
    }
    if (!handle.Close()) {
        writeError = true;
    }
    buffer = nullptr;
    readPtr = nullptr;
    markPtr = nullptr;
    bufferSize = 0;
    pageLength = 0;
    page = -1;
    markPage = -1;
    countedTo = 0;
    countedLine = 1;
    countedAfterCR = false;
}

int CTextFile::LoadPage(int32_t k) {
    if (k == page) {
        return 1;
    }
    if (buffer == nullptr || k < 0) {
        return 0;
    }
    // Offsets are 64-bit: page 2048 starts at 2 GiB.
    int64_t start = static_cast<int64_t>(k) * kPageSize;
    int64_t end = start + kPageSize;
    if (end >= fileSize) {
        end = fileSize;
    }
    int64_t length = end - start;
    if (length <= 0) {
        return 0;
    }
    int64_t got = handle.ReadAt(start, buffer, static_cast<uint32_t>(length));
    page = k;
    if (got < length) {
        // A read that fails or comes back short is the end of the file: the file is taken to
        // end where the data stopped, so no reader loops on a page that cannot be had.
        if (got < 0) {
            got = 0;
        }
        fileSize = start + got;
        pageLength = static_cast<uint32_t>(got);
        buffer[pageLength] = 0;
        return got > 0 ? 1 : 0;
    }
    pageLength = static_cast<uint32_t>(length);
    buffer[pageLength] = 0;
    return 1;
}

bool CTextFile::NextPage() {
    if (buffer == nullptr) {
        return false;
    }
    int32_t next = page + 1;
    if (LoadPage(next) == 0 || page != next) {
        // The page could not be had (the file shrank, a read failed): the text ends where the
        // loaded data ends, and the read position never lies behind it.
        readPtr = buffer + pageLength;
        return false;
    }
    readPtr = buffer;
    return readPtr < buffer + pageLength;
}

void CTextFile::SeekToStart() {
    if (buffer == nullptr) {
        return;
    }
    readPtr = LoadPage(0) == 1 && page == 0 ? buffer : buffer + pageLength;
}

void CTextFile::RestoreMark() {
    if (markPage < 0 || buffer == nullptr) {
        return;
    }
    LoadPage(markPage);
    readPtr = markPtr;
    if (page != markPage || readPtr > buffer + pageLength) {
        // The marked page could not be loaded again: the reader sees the end of the file.
        readPtr = buffer + pageLength;
    }
}

void CTextFile::SeekTo(int64_t offset) {
    if (buffer == nullptr || offset < 0) {
        return;
    }
    int32_t k = static_cast<int32_t>(offset / kPageSize);
    if (LoadPage(k) == 1 && page == k) {
        uint32_t inPage = static_cast<uint32_t>(offset % kPageSize);
        readPtr = buffer + (inPage < pageLength ? inPage : pageLength);
    } else {
        readPtr = buffer + pageLength;
    }
}

int CTextFile::WriteLine(const char* text, size_t length) {
    // One line, one call: the text and its CR LF go to the platform file together.
    if (!handle.WriteLine(text, length)) {
        writeError = true;
        return 0;
    }
    return 1;
}
