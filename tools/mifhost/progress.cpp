#include "tools/mifhost/progress.h"

#include <cstdio>

#include "tools/mifhost/terminal_text.h"

TerminalProgress::TerminalProgress(bool isEnabled, int columns)
    // The last column is left free: writing there makes some terminals wrap the line.
    : enabled(isEnabled), width((columns > 0 ? columns : 80) - 1) {}

TerminalProgress::~TerminalProgress() {
    Finish();
}

void TerminalProgress::OnStartProgress(int) {
    Finish();
    lastDrawn = -1;
    Draw(0);
}

void TerminalProgress::OnProgress(double position) {
    Draw(static_cast<int>(position));
}

void TerminalProgress::OnEndProgress(int) {
    if (cancel == nullptr || *cancel == 0) {
        Draw(100);
    }
    Finish();
}

std::string TerminalProgress::Line(const std::string& rawLabel, int percent, int width) {
    // A file name may hold terminal escapes: none reaches the terminal as it is.
    std::string label = EscapeControls(rawLabel);
    percent = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    char number[8];
    std::snprintf(number, sizeof number, "%3d%%", percent);
    // "LABEL [#####     ] 100%": the bar shrinks before the label is cut, down to 10 marks.
    int bar = 30;
    int room = width - 8 - bar;  // blanks, brackets and the percentage
    int labelWidth = DisplayWidth(label);
    if (labelWidth > room) {
        int shrink = labelWidth - room < bar - 10 ? labelWidth - room : bar - 10;
        bar -= shrink;
        room += shrink;
    }
    if (bar + 7 > width) {
        return std::string(number).substr(0, static_cast<size_t>(width > 0 ? width : 0));
    }
    std::string text = labelWidth > room ? CutToWidth(label, room) : label;
    int filled = percent * bar / 100;
    return text + " [" + std::string(static_cast<size_t>(filled), '#') +
           std::string(static_cast<size_t>(bar - filled), ' ') + "] " + number;
}

void TerminalProgress::Draw(int percent) {
    if (!enabled || percent == lastDrawn) {
        return;  // redraw only when the whole percentage changes
    }
    lastDrawn = percent;
    std::string line = Line(label, percent, width);
    size_t columns = static_cast<size_t>(DisplayWidth(line));
    // Blanks over what a longer earlier line left behind.
    if (shown && columns < lastColumns) {
        line.append(lastColumns - columns, ' ');
    }
    lastColumns = columns;
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    shown = true;
}

void TerminalProgress::Finish() {
    if (shown) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
        shown = false;
        lastColumns = 0;
    }
}
