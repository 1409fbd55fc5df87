#pragma once

#include "plugin/host/app.h"

// A device context of the main frame.
struct HDC__ {
    int logPixelsY = 96;
};

// The application's main window: device context, progress bar, message bar, cancel check.
class FNC_API Cgeo_MainFrame {
public:
    HDC GetDC();
    void ReleaseDC(HDC dc);

    // The vertical resolution of the device contexts handed out: 96 unless a test says.
    void SetLogPixelsY(int value) { logPixelsY = value; }
    int GetLogPixelsY() const { return logPixelsY; }
    int GetOpenDCCount() const { return openDCs; }

private:
    int logPixelsY = 96;
    int openDCs = 0;
};
