#pragma once

#include <string>

#include "plugin/host/main_frame.h"

// Draws the main frame's progress bar on standard error, on one line that it rewrites, when
// standard error is a terminal and the user did not ask for quiet. The line is cut to the
// terminal's width; a bar ends with a line break, without 100% when the work was cancelled.
class TerminalProgress : public Cgeo_FrameObserver {
public:
    // columns: the terminal's width (0 when unknown).
    TerminalProgress(bool enabled, int columns);
    ~TerminalProgress() override;

    bool Enabled() const { return enabled; }
    // The text in front of the bar: what is read or written.
    void SetLabel(const std::string& text) { label = text; }
    // Set while an interrupt can cancel the work; a set flag ends the bar where it stood.
    void SetCancelFlag(const volatile int* flag) { cancel = flag; }
    void OnStartProgress(int mode) override;
    void OnProgress(double position) override;
    void OnEndProgress(int mode) override;

    // The line for a percentage, at most width columns wide; control characters in the label are
    // escaped.
    static std::string Line(const std::string& label, int percent, int width);

private:
    void Draw(int percent);
    void Finish();

    bool enabled;
    int width;
    const volatile int* cancel = nullptr;
    bool shown = false;
    int lastDrawn = -1;
    size_t lastColumns = 0;
    std::string label;
};
