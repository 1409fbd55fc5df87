#pragma once

#include <string>
#include <vector>

#include "plugin/host/app.h"

// A device context of the main frame.
struct HDC__ {
    int logPixelsY = 96;
};

// Told everything the main frame is told, as it happens; the command-line host sets one to draw
// a progress bar and to report Ctrl-C. Every operation has an empty default.
class FNC_API Cgeo_FrameObserver {
public:
    virtual ~Cgeo_FrameObserver();
    virtual void OnStartProgress(int mode);
    // position: the bar's position after the step, 0 to 100.
    virtual void OnProgress(double position);
    virtual void OnEndProgress(int mode);
    virtual void OnMessageBarText(const char* text, int pane, int flags);
    // Non-zero when the user asked to cancel.
    virtual int OnCheckCanceled();
};

// The application's main window: device context, progress bar, message bar, cancel check. It
// keeps what it was told so that tests can read it back (ResetRecord starts afresh).

// The values a plug-in passes for its progress bar (StartProgress, EndProgress) and its message
// bar texts (SetMessageBarText's pane and flags); what they mean is the host's.
constexpr int XF_PROGRESS_MODE = 1;
constexpr int XF_MESSAGE_PANE = 3;
constexpr int XF_MESSAGE_FLAGS = 1;

class FNC_API Cgeo_MainFrame {
public:
    HDC GetDC();
    void ReleaseDC(HDC dc);

    // Shows the progress bar at 0. mode: the host's display mode, kept as given.
    void StartProgress(int mode);
    // Moves the bar by step percent; the position stays within 0 and 100.
    void IncreaseProgress(double step);
    // Hides the progress bar.
    void EndProgress(int mode);
    // Shows text in a pane of the message bar; an empty text clears it.
    void SetMessageBarText(const char* text, int pane, int flags);
    // Lets the user interface run; returns non-zero when the user asked to cancel (the observer
    // says so, or SetCancelRequested was given true).
    int CheckCanceledSignal();

    // The observer, not owned; null for none.
    void SetObserver(Cgeo_FrameObserver* value) { observer = value; }
    Cgeo_FrameObserver* GetObserver() const { return observer; }
    void SetCancelRequested(bool value) { cancelRequested = value; }

    // Read-back.
    int GetProgressStarts() const { return progressStarts; }
    int GetProgressEnds() const { return progressEnds; }
    bool IsProgressShown() const { return progressShown; }
    double GetProgressPosition() const { return progressPosition; }
    // The steps given to IncreaseProgress since the last ResetRecord: how many, their sum (not
    // clamped) and the last one as given. Only these are kept, so that the record does not grow
    // with the number of steps.
    long long GetProgressStepCount() const { return progressStepCount; }
    double GetProgressStepSum() const { return progressStepSum; }
    double GetLastProgressStep() const { return lastProgressStep; }
    // The texts given to SetMessageBarText since the last ResetRecord, empty ones included: the
    // last kMessagesKept of them.
    static constexpr size_t kMessagesKept = 64;
    const std::vector<std::string>& GetMessages() const { return messages; }
    const std::string& GetMessageBarText() const { return messageText; }
    int GetCancelChecks() const { return cancelChecks; }
    void ResetRecord();

    // The vertical resolution of the device contexts handed out: 96 unless a test says.
    void SetLogPixelsY(int value) { logPixelsY = value; }
    int GetLogPixelsY() const { return logPixelsY; }
    int GetOpenDCCount() const { return openDCs; }

private:
    int logPixelsY = 96;
    int openDCs = 0;
    Cgeo_FrameObserver* observer = nullptr;
    bool cancelRequested = false;
    int progressStarts = 0;
    int progressEnds = 0;
    bool progressShown = false;
    double progressPosition = 0.0;
    long long progressStepCount = 0;
    double progressStepSum = 0.0;
    double lastProgressStep = 0.0;
    std::vector<std::string> messages;
    std::string messageText;
    int cancelChecks = 0;
};
