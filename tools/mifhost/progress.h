#pragma once

#include <string>

#include "plugin/host/main_frame.h"
#include "tools/mifhost/codepage.h"

// Draws the main frame's progress bar and message-bar text on standard error, on one line that
// it rewrites, when standard error is a terminal and the user did not ask for quiet.
class TerminalProgress : public Cgeo_FrameObserver {
public:
    TerminalProgress(bool enabled, const CodePage* codePage);
    ~TerminalProgress() override;

    void SetLabel(const std::string& text) { label = text; }
    void OnStartProgress(int mode) override;
    void OnProgress(double position) override;
    void OnEndProgress(int mode) override;
    void OnMessageBarText(const char* text, int pane, int flags) override;

private:
    void Draw(double position);
    void Finish();

    bool enabled;
    const CodePage* codePage;
    bool shown = false;
    int lastDrawn = -1;
    std::string label;
    std::string message;
};
