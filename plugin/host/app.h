#pragma once

#include <string>
#include <vector>

#include "plugin/host/host_api.h"

class Cgeo_FileManager;
class Cgeo_MainFrame;
class CXF_ManagerVectorStyle;

// A device context; the plug-in only asks it for its vertical resolution.
struct HDC__;
typedef HDC__* HDC;
constexpr int LOGPIXELSY = 90;
FNC_API int GetDeviceCaps(HDC dc, int index);

// The host application: one per process.
class FNC_API Cgeo_MainApp {
public:
    Cgeo_FileManager* GetFileManager();
    Cgeo_MainFrame* GetMainFrame();
    // The style manager: the application's own, unless a test gave another.
    CXF_ManagerVectorStyle* GetStyleManager();
    // Makes manager (not owned) the one GetStyleManager returns; null restores the application's.
    void SetStyleManager(CXF_ManagerVectorStyle* manager);
};

// A handle on the host application; cheap to make, any number may exist.
class FNC_API CGEO {
public:
    Cgeo_MainApp* GetApp();
    Cgeo_MainFrame* GetMainFrame();
};

// A format that a plug-in registered, as the file manager recorded it.
struct CXF_RegisteredFormat {
    std::string extension;
    std::string description;
    int flag1 = 0;
    int flag2 = 0;
    std::vector<std::string> layerClasses;
};

class FNC_API Cgeo_FileManager {
public:
    // extension, description, two flags, the number of layer-class names, then the names.
    int RegisterFileFormat(const char* extension, const char* description, int flag1, int flag2,
                           int classCount, ...);

    const std::vector<CXF_RegisteredFormat>& GetRegisteredFormats() const { return formats; }
    void ClearRegisteredFormats() { formats.clear(); }
    // What RegisterFileFormat returns: the number of formats registered, unless a test says.
    void SetRegisterResult(int result) {
        fixedResult = result;
        useFixedResult = true;
    }

private:
    std::vector<CXF_RegisteredFormat> formats;
    int fixedResult = 0;
    bool useFixedResult = false;
};
