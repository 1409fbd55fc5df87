#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

#include "textfile/text_file.h"

#if defined(__GNUC__)
#define MIF_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define MIF_PRINTF_FORMAT(fmt, args)
#endif

// Formats one line with printf rules and writes it with WriteLine; returns WriteLine's result.
// The line is built in a stack buffer, so writing millions of lines allocates nothing; only a
// line longer than the buffer (huge numbers) goes through the heap. %f relies on the C locale,
// which is in force in the plug-in: the decimal point is a period, never the MID delimiter.
inline int WriteFormattedLine(CTextFile& file, const char* format, ...) MIF_PRINTF_FORMAT(2, 3);

inline int WriteFormattedLine(CTextFile& file, const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    int result = 0;
    if (n < 0) {
        // Only a line above 2 GiB cannot be formatted; it is not written and counts as failed.
        result = 0;
    } else if (static_cast<size_t>(n) < sizeof buffer) {
        result = file.WriteLine(buffer, static_cast<size_t>(n));
    } else {
        std::string big(static_cast<size_t>(n) + 1, '\0');
        std::vsnprintf(&big[0], big.size(), format, again);
        result = file.WriteLine(big.data(), static_cast<size_t>(n));
    }
    va_end(again);
    return result;
}
