#include "plugin/mif_app.h"

int CMIFApp::InitInstance() {
    CWinApp::InitInstance();
    return 1;
}

IMPLEMENT_MODULE_APP(CMIFApp, theApp)
