#include "tools/mifhost/progress.h"

#include <cstdio>

TerminalProgress::TerminalProgress(bool isEnabled, const CodePage* pages)
    : enabled(isEnabled), codePage(pages) {}

TerminalProgress::~TerminalProgress() {
    Finish();
}

void TerminalProgress::OnStartProgress(int) {
    lastDrawn = -1;
    Draw(0.0);
}

void TerminalProgress::OnProgress(double position) {
    Draw(position);
}

void TerminalProgress::OnEndProgress(int) {
    Draw(100.0);
    Finish();
}

void TerminalProgress::OnMessageBarText(const char* text, int, int) {
    // Message texts come in the host's code page; the terminal shows UTF-8.
    message = codePage->ToUtf8(text != nullptr ? text : "");
    if (shown) {
        lastDrawn = -1;
    }
}

void TerminalProgress::Draw(double position) {
    if (!enabled) {
        return;
    }
    int percent = static_cast<int>(position);
    if (percent == lastDrawn) {
        return;  // redraw only when the whole percentage changes
    }
    lastDrawn = percent;
    const int width = 30;
    int filled = percent * width / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(width - filled), ' ');
    const std::string& text = message.empty() ? label : message;
    std::fprintf(stderr, "\r%s [%s] %3d%%", text.c_str(), bar.c_str(), percent);
    std::fflush(stderr);
    shown = true;
}

void TerminalProgress::Finish() {
    if (shown) {
        std::fputc('\n', stderr);
        shown = false;
    }
}
