#include "plugin/entry_points.h"

#include <cstddef>
#include <cstring>

#include "plugin/host/app.h"
#include "plugin/host/document.h"

namespace {

// Three numbers and the name, back to back; the host gives them their meaning.
struct IdentifyRecord {
    int32_t id;
    int32_t version;
    int32_t priority;
    char name[128];
};
static_assert(offsetof(IdentifyRecord, version) == 4, "identification record layout");
static_assert(offsetof(IdentifyRecord, priority) == 8, "identification record layout");
static_assert(offsetof(IdentifyRecord, name) == 12, "identification record layout");
static_assert(sizeof(IdentifyRecord) == kIdentifySize, "identification record is 140 bytes");

const IdentifyRecord kIdentify = {101, 400, 1000, "Vector Format"};

}  // namespace

extern "C" int XF_Identify(int32_t, void* buffer) {
    if (buffer != nullptr) {
        std::memcpy(buffer, &kIdentify, sizeof kIdentify);
    }
    return 1;
}

extern "C" int XF_GetFormats(CGEO* geo) {
    try {
        if (geo == nullptr) {
            return 0;
        }
        Cgeo_MainApp* app = geo->GetApp();
        Cgeo_FileManager* manager = app != nullptr ? app->GetFileManager() : nullptr;
        if (manager == nullptr) {
            return 0;
        }
        return manager->RegisterFileFormat("mif", "MapInfo Interchange Format (*.mif)", 1, 1, 2,
                                           "VECTOR", "TEXT");
    } catch (...) {
        return 0;
    }
}

extern "C" int XF_IsValid(int32_t, int32_t) {
    return 1;
}

extern "C" int XF_CanSave(Cgeo_Document* document) {
    try {
        if (document == nullptr || document->GetLayers() == nullptr) {
            return 0;
        }
        Cgeo_Layers* layers = document->GetLayers();
        if (layers->GetLayerActive("VECTOR") >= 0) {
            return 1;
        }
        return layers->GetLayerActive("TEXT") >= 0 ? 1 : 0;
    } catch (...) {
        return 0;
    }
}
