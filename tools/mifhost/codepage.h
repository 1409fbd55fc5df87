#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Code pages by their Windows numbers: 1250 to 1258, 874, 932, 936, 949, 950, 437, 850 ...,
// 28591 to 28606 for ISO-8859-1 to -16, 10000 for Mac Roman, 65001 for UTF-8.
constexpr unsigned kUtf8CodePage = 65001;
// What files without a Charset line were read as before the line was looked at.
constexpr unsigned kFallbackCodePage = 1251;

// The code page of a MIF Charset name ("WindowsLatin1", "CodePage437", "ISO8859_5", "UTF-8");
// 0 for "Neutral" and for names it does not know.
unsigned CodePageOfCharset(std::string_view charset);
// The code page of a --codepage name: an iconv or Windows name ("CP1252", "WINDOWS-1252",
// "ISO-8859-5", "UTF-8", "SHIFT_JIS"), a number ("1252") or a MIF Charset name; 0 when unknown.
unsigned CodePageOfName(std::string_view name);
// "Windows-1252", "ISO-8859-5", "UTF-8", "CP932" ...
std::string CodePageName(unsigned codePage);

bool IsValidUtf8(std::string_view text);
// The text with its ASCII letters in upper case; other bytes as they are.
std::string AsciiUpper(std::string_view text);

// Converts the host's 8-bit text to UTF-8, whole strings at a time; a byte sequence that the code
// page does not map becomes U+FFFD, so the output is always valid UTF-8.
class CodePage {
public:
    // False with a reason when the system cannot decode the code page.
    bool Init(unsigned number, std::string& error);
    unsigned Number() const { return number; }
    std::string ToUtf8(std::string_view text) const;
    void AppendUtf8(std::string& out, std::string_view text) const;

private:
    unsigned number = kFallbackCodePage;
};
