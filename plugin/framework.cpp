#include "plugin/framework.h"

namespace {
CWinApp* moduleApp = nullptr;
}

CWinApp::CWinApp(const char* appName) : name(appName) {
    moduleApp = this;
}

CWinApp::~CWinApp() {
    if (moduleApp == this) {
        moduleApp = nullptr;
    }
}

int CWinApp::InitInstance() {
    return 1;
}

CWinApp* CWinApp::GetModuleApp() {
    return moduleApp;
}
