#include <cstdarg>

#include "hostlib/host_internal.h"
#include "plugin/host/app.h"
#include "plugin/host/main_frame.h"
#include "plugin/host/style.h"

namespace {

// The one application of the process, as the desktop application has.
struct HostApplication {
    Cgeo_MainApp app;
    Cgeo_FileManager fileManager;
    Cgeo_MainFrame mainFrame;
    CXF_ManagerVectorStyle styleManager;
    CXF_ManagerVectorStyle* styleManagerOverride = nullptr;
};

HostApplication& Host() {
    static HostApplication host;
    return host;
}

}  // namespace

std::uint64_t NextStyleSerial() {
    // Kept apart from Host(): the style manager makes styles while Host() is being built.
    static std::uint64_t next = 0;
    return ++next;
}

int GetDeviceCaps(HDC dc, int index) {
    if (dc == nullptr) {
        return 0;
    }
    return index == LOGPIXELSY ? dc->logPixelsY : 0;
}

Cgeo_FileManager* Cgeo_MainApp::GetFileManager() {
    return &Host().fileManager;
}
Cgeo_MainFrame* Cgeo_MainApp::GetMainFrame() {
    return &Host().mainFrame;
}
CXF_ManagerVectorStyle* Cgeo_MainApp::GetStyleManager() {
    HostApplication& host = Host();
    return host.styleManagerOverride != nullptr ? host.styleManagerOverride : &host.styleManager;
}
void Cgeo_MainApp::SetStyleManager(CXF_ManagerVectorStyle* manager) {
    Host().styleManagerOverride = manager;
}

Cgeo_MainApp* CGEO::GetApp() {
    return &Host().app;
}
Cgeo_MainFrame* CGEO::GetMainFrame() {
    return &Host().mainFrame;
}

int Cgeo_FileManager::RegisterFileFormat(const char* extension, const char* description, int flag1,
                                         int flag2, int classCount, ...) {
    CXF_RegisteredFormat format;
    format.extension = extension != nullptr ? extension : "";
    format.description = description != nullptr ? description : "";
    format.flag1 = flag1;
    format.flag2 = flag2;
    va_list args;
    va_start(args, classCount);
    for (int i = 0; i < classCount; ++i) {
        const char* name = va_arg(args, const char*);
        format.layerClasses.emplace_back(name != nullptr ? name : "");
    }
    va_end(args);
    formats.push_back(format);
    return useFixedResult ? fixedResult : static_cast<int>(formats.size());
}
