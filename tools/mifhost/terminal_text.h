#pragma once

#include <string>
#include <string_view>

// UTF-8 text as a terminal shows it.

// Columns the text takes: East Asian wide characters two, combining marks none, others one.
int DisplayWidth(std::string_view utf8);

// The text cut to at most width columns: its first word, "…" and as much of its end as fits.
std::string CutToWidth(std::string_view utf8, int width);

// Control characters (C0, DEL, C1) written as \xNN or \u00NN, so that none reaches the terminal.
std::string EscapeControls(std::string_view utf8);
// As EscapeControls, and bytes that are no UTF-8 character (text of a file in another code page)
// written as \xNN.
std::string EscapeBytes(std::string_view text);

// The text followed by blanks up to width columns.
std::string PadToWidth(const std::string& utf8, int width);
