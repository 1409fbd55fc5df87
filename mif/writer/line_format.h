#pragma once

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "textfile/text_file.h"

#if defined(__GNUC__)
#define MIF_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define MIF_PRINTF_FORMAT(fmt, args)
#endif

// Two decimal digits for each number from 0 to 99.
struct CDigitPairs {
    char text[200];
    constexpr CDigitPairs() : text() {
        for (int i = 0; i < 100; ++i) {
            text[2 * i] = static_cast<char>('0' + i / 10);
            text[2 * i + 1] = static_cast<char>('0' + i % 10);
        }
    }
};
inline constexpr CDigitPairs kDigitPairs{};

// A double printed with %f takes at most 317 characters (309 digits, sign, point, decimals).
constexpr size_t kMaxRealText = 330;

// Coordinates below 10^9 in magnitude, formatted fast: v * 10^6 rounded half to even to an
// integer. The product is rounded once; when it lies too near a halfway point for that rounding
// to decide, the exact remainder v * 10^6 - r (one fused multiply-add: 10^6 is exact and the
// remainder is representable) does. Returns null when the value is outside that range, or so
// near a halfway point that the general conversion decides.
inline char* FormatFixed6(char* out, double value) {
    double a = std::fabs(value);
    if (!(a < 1e9)) {
        return nullptr;  // large, infinite or not a number
    }
    double p = a * 1e6;
    // Below 2^52, adding and taking away 2^52 rounds to an integer, half to even.
    double r = (p + 0x1p52) - 0x1p52;
    // p is within p * 2^-53 of the exact product: when the halfway point is farther than that,
    // the exact product rounds to r as well.
    if (!(0.5 - std::fabs(p - r) > p * 0x1p-50)) {
        r = std::nearbyint(p);
        double d = std::fma(a, 1e6, -r);
        if (std::fabs(std::fabs(d) - 0.5) < 1e-6) {
            return nullptr;
        }
        if (d > 0.5) {
            r += 1.0;
        } else if (d < -0.5) {
            r -= 1.0;
        }
    }
    uint64_t n = static_cast<uint64_t>(r);
    if (std::signbit(value)) {
        *out++ = '-';
    }
    // The whole part, below 10^9: its digits counted, then written two at a time from the right.
    uint32_t whole = static_cast<uint32_t>(n / 1000000);
    int length = 1;
    for (uint32_t rest = whole; rest >= 10; rest /= 10) {
        ++length;
    }
    char* at = out + length;
    for (; whole >= 10; whole /= 100) {
        at -= 2;
        std::memcpy(at, &kDigitPairs.text[2 * (whole % 100)], 2);
    }
    if (at > out) {
        *out = static_cast<char>('0' + whole);
    }
    out += length;
    *out = '.';
    uint32_t fraction = static_cast<uint32_t>(n % 1000000);
    std::memcpy(out + 1, &kDigitPairs.text[2 * (fraction / 10000)], 2);
    std::memcpy(out + 3, &kDigitPairs.text[2 * (fraction / 100 % 100)], 2);
    std::memcpy(out + 5, &kDigitPairs.text[2 * (fraction % 100)], 2);
    return out + 7;
}

// As printf's %f: fixed notation with six decimals, the exact binary value rounded half to even,
// the decimal point always a period whatever the locale. out has room for kMaxRealText bytes.
inline char* FormatReal(char* out, double value) {
    char* end = FormatFixed6(out, value);
    if (end == nullptr) {
        end = std::to_chars(out, out + kMaxRealText, value, std::chars_format::fixed, 6).ptr;
    }
    return end;
}

// One output line, built in a stack buffer so that writing millions of lines allocates nothing;
// only a line longer than the buffer (long names, huge numbers) moves to the heap.
class CLineBuilder {
public:
    void Append(const char* text, size_t length) {
        std::memcpy(Reserve(length), text, length);
        used += length;
    }
    void AppendReal(double value) {
        char* at = Reserve(kMaxRealText);
        used += static_cast<size_t>(FormatReal(at, value) - at);
    }
    void AppendInt(int value) {
        char* at = Reserve(kMaxInt);
        used += static_cast<size_t>(std::to_chars(at, at + kMaxInt, value).ptr - at);
    }
    const char* Data() const { return onHeap ? heap.data() : stack; }
    size_t Size() const { return used; }

private:
    static constexpr size_t kMaxInt = 12;

    char* Reserve(size_t n) {
        if (!onHeap && used + n <= sizeof stack) {
            return stack + used;
        }
        if (!onHeap) {
            heap.assign(stack, used);
            onHeap = true;
        }
        if (heap.size() < used + n) {
            heap.resize(2 * (used + n));
        }
        return &heap[used];
    }

    char stack[1024];
    size_t used = 0;
    bool onHeap = false;
    std::string heap;
};

// Writes a line of fixed text, its length counted by the compiler.
inline int WriteLiteral(CTextFile& file, std::string_view text) {
    return file.WriteLine(text.data(), text.size());
}

// Formats one line with printf's %f, %i and %s (the only conversions the MIF writer uses; any
// other byte is copied) and writes it with WriteLine; returns WriteLine's result.
inline int WriteFormattedLine(CTextFile& file, const char* format, ...) MIF_PRINTF_FORMAT(2, 3);

inline int WriteFormattedLine(CTextFile& file, const char* format, ...) {
    CLineBuilder line;
    va_list args;
    va_start(args, format);
    const char* run = format;
    const char* p = format;
    for (; *p != '\0'; ++p) {
        if (*p != '%' || (p[1] != 'f' && p[1] != 'i' && p[1] != 's')) {
            continue;
        }
        line.Append(run, static_cast<size_t>(p - run));
        ++p;
        if (*p == 'f') {
            line.AppendReal(va_arg(args, double));
        } else if (*p == 'i') {
            line.AppendInt(va_arg(args, int));
        } else {
            const char* text = va_arg(args, const char*);
            line.Append(text, std::strlen(text));
        }
        run = p + 1;
    }
    line.Append(run, static_cast<size_t>(p - run));
    va_end(args);
    return file.WriteLine(line.Data(), line.Size());
}

// Writes the line "%f %f" of a node, the line the writer writes most, formatted straight into
// the file's write buffer.
inline int WriteNodeLine(CTextFile& file, double x, double y) {
    char* start = file.BeginLine(2 * kMaxRealText + 1);
    if (start == nullptr) {
        return 0;
    }
    char* end = FormatReal(start, x);
    *end++ = ' ';
    end = FormatReal(end, y);
    return file.EndLine(static_cast<size_t>(end - start));
}
