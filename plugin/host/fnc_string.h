#pragma once

#include <string>

#include "plugin/host/host_api.h"

// String helpers of the host.
class FNC_API fncString {
public:
    // Every occurrence of the byte replaced by the replacement text.
    static std::string ReplaceCharacter(const std::string& text, char byte,
                                        const char* replacement);
    // Decodes escapes left to right: backslash n becomes a line feed, two backslashes one
    // backslash; any other backslash stays as it is.
    static std::string ConvertStringToSequences(const std::string& text);
    // The reverse: a backslash becomes two, and CR LF, a lone CR and a lone LF become backslash
    // n. The second argument names the line break the text uses ("\r"); every form is accepted.
    static std::string ConvertSequencesToString(const std::string& text, const char* lineBreak);
};
