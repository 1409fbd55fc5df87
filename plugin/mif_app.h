#pragma once

#include "plugin/framework.h"

// The plug-in's module object: built with no application name; start-up does nothing else.
class CMIFApp : public CWinApp {
public:
    CMIFApp() : CWinApp(nullptr) {}
    int InitInstance() override;
};

extern CMIFApp theApp;
