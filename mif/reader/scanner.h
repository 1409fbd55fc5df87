#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Text helpers of the MIF reader. Numbers are read independently of the locale (a period is the
// decimal point) and without undefined behaviour on overflow, otherwise as atoi and atof do:
// leading white space is skipped, the longest valid prefix is converted, 0 when there is none.

// Integer value of the text; saturates at the 32-bit limits.
int32_t ParseInt(std::string_view text);
// Floating-point value of the text; out of range gives +-HUGE_VAL or 0, as strtod does. Also
// reads nan and inf, and 1.#INF, 1.#QNAN, 1.#IND as other writers print them.
double ParseDouble(std::string_view text);
// True when the word can be read as a number: it starts with a digit, a sign or a point, or it
// is nan or inf (or infinity) in any case.
bool LooksLikeNumber(std::string_view word);
// Narrows to 32-bit floating point; a value beyond its range becomes infinite of its sign instead
// of an undefined conversion.
float ToFloat(double value);

// The text without one leading and one trailing double quote (text of fewer than 2 bytes is
// returned unchanged).
std::string StripQuotes(std::string_view text);
// The text without one leading "(" and one trailing ")".
std::string StripParens(std::string_view text);
// Comma-separated numbers; empty tokens are skipped. Reals may also be separated by blanks.
void ParseIntList(std::string_view text, std::vector<int32_t>& list);
void ParseDoubleList(std::string_view text, std::vector<double>& list);
// The text without spaces and TABs at either end.
std::string_view TrimBlanks(std::string_view text);
// A text quoted on both sides loses its quotes, and a doubled quote inside it stands for one
// quote; any other text is changed as StripQuotes does.
void UnquoteValue(std::string& text);
// Splits at separators outside double quotes into the list, which it replaces. Blanks around an
// entry are dropped, and so are its quotes; a doubled quote inside quotes stands for one. Always
// at least one entry.
void SplitQuoted(std::string_view text, char separator, std::vector<std::string>& list);
// Decodes the escapes that MIF and MID writers use: \n becomes a line feed and \\ one
// backslash; any other backslash stays.
void DecodeEscapes(std::string& text);
