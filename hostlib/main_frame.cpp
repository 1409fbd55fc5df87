#include "plugin/host/main_frame.h"

Cgeo_FrameObserver::~Cgeo_FrameObserver() = default;
void Cgeo_FrameObserver::OnStartProgress(int) {}
void Cgeo_FrameObserver::OnProgress(double) {}
void Cgeo_FrameObserver::OnEndProgress(int) {}
void Cgeo_FrameObserver::OnMessageBarText(const char*, int, int) {}
int Cgeo_FrameObserver::OnCheckCanceled() {
    return 0;
}

HDC Cgeo_MainFrame::GetDC() {
    HDC dc = new HDC__;
    dc->logPixelsY = logPixelsY;
    ++openDCs;
    return dc;
}

void Cgeo_MainFrame::ReleaseDC(HDC dc) {
    if (dc != nullptr) {
        --openDCs;
        delete dc;
    }
}

void Cgeo_MainFrame::StartProgress(int mode) {
    ++progressStarts;
    progressShown = true;
    progressPosition = 0.0;
    if (observer != nullptr) {
        observer->OnStartProgress(mode);
    }
}

void Cgeo_MainFrame::IncreaseProgress(double step) {
    ++progressStepCount;
    progressStepSum += step;
    lastProgressStep = step;
    progressPosition += step;
    if (!(progressPosition >= 0.0)) {  // also a NaN step
        progressPosition = 0.0;
    } else if (progressPosition > 100.0) {
        progressPosition = 100.0;
    }
    if (observer != nullptr) {
        observer->OnProgress(progressPosition);
    }
}

void Cgeo_MainFrame::EndProgress(int mode) {
    ++progressEnds;
    progressShown = false;
    if (observer != nullptr) {
        observer->OnEndProgress(mode);
    }
}

void Cgeo_MainFrame::SetMessageBarText(const char* text, int pane, int flags) {
    messageText = text != nullptr ? text : "";
    if (messages.size() >= kMessagesKept) {
        messages.erase(messages.begin());
    }
    messages.push_back(messageText);
    if (observer != nullptr) {
        observer->OnMessageBarText(messageText.c_str(), pane, flags);
    }
}

int Cgeo_MainFrame::CheckCanceledSignal() {
    ++cancelChecks;
    if (observer != nullptr && observer->OnCheckCanceled() != 0) {
        cancelRequested = true;
    }
    return cancelRequested ? 1 : 0;
}

void Cgeo_MainFrame::ResetRecord() {
    cancelRequested = false;
    progressStarts = 0;
    progressEnds = 0;
    progressShown = false;
    progressPosition = 0.0;
    progressStepCount = 0;
    progressStepSum = 0.0;
    lastProgressStep = 0.0;
    messages.clear();
    messageText.clear();
    cancelChecks = 0;
}
