#include "tools/mifhost/plugin_loader.h"

#include "tools/mifhost/platform.h"

PluginLoader::~PluginLoader() {
    platform::CloseLibrary(handle);
}

bool PluginLoader::Load(const std::string& path, std::string& error) {
    std::string why;
    handle = platform::OpenLibrary(path, why);
    if (handle == nullptr) {
        error = "cannot load plug-in " + path + ": " + why;
        return false;
    }
    struct Entry {
        const char* name;
        void** slot;
    };
    // Function and object pointers share one representation on the platforms we load from.
    const Entry entries[] = {
        {"XF_Identify", reinterpret_cast<void**>(&identify)},
        {"XF_GetFormats", reinterpret_cast<void**>(&getFormats)},
        {"XF_IsValid", reinterpret_cast<void**>(&isValid)},
        {"XF_Open", reinterpret_cast<void**>(&open)},
        {"XF_Close", reinterpret_cast<void**>(&close)},
        {"XF_Read", reinterpret_cast<void**>(&read)},
        {"XF_CanSave", reinterpret_cast<void**>(&canSave)},
        {"XF_Save", reinterpret_cast<void**>(&save)},
    };
    for (const Entry& e : entries) {
        *e.slot = platform::FindSymbol(handle, e.name);
        if (*e.slot == nullptr) {
            error = "plug-in " + path + " has no entry point " + e.name;
            return false;
        }
    }
    return true;
}
