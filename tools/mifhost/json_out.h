#pragma once

#include <cstdio>
#include <string>

// Output collected in memory and written to a stream in large pieces.
class BufferedOut {
public:
    explicit BufferedOut(std::FILE* stream) : file(stream) {}
    ~BufferedOut() { Flush(); }
    BufferedOut(const BufferedOut&) = delete;
    BufferedOut& operator=(const BufferedOut&) = delete;

    BufferedOut& operator<<(const std::string& text) {
        buffer += text;
        MaybeFlush();
        return *this;
    }
    BufferedOut& operator<<(const char* text) {
        buffer += text;
        MaybeFlush();
        return *this;
    }
    BufferedOut& operator<<(char c) {
        buffer.push_back(c);
        return *this;
    }
    // False once a write to the stream has failed.
    bool Flush();
    bool Ok() const { return ok; }
    // The errno of the first failed write; 0 when none failed or none was given.
    int Error() const { return error; }

private:
    void MaybeFlush() {
        if (buffer.size() >= (1u << 20)) {
            Flush();
        }
    }
    std::FILE* file;
    std::string buffer;
    bool ok = true;
    int error = 0;
};

// A JSON string literal of UTF-8 text.
std::string JsonString(const std::string& utf8);
