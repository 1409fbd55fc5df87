#pragma once

#include <string>

#include "plugin/entry_points.h"

// The plug-in library, loaded at run time by path the way the application loads it; its eight
// entry points are looked up by name.
class PluginLoader {
public:
    PluginLoader() = default;
    ~PluginLoader();
    PluginLoader(const PluginLoader&) = delete;
    PluginLoader& operator=(const PluginLoader&) = delete;

    // Loads the library and finds every entry point; on failure error says what is missing.
    bool Load(const std::string& path, std::string& error);

    XF_IdentifyFn identify = nullptr;
    XF_GetFormatsFn getFormats = nullptr;
    XF_IsValidFn isValid = nullptr;
    XF_OpenFn open = nullptr;
    XF_CloseFn close = nullptr;
    XF_ReadFn read = nullptr;
    XF_CanSaveFn canSave = nullptr;
    XF_SaveFn save = nullptr;

private:
    void* handle = nullptr;
};
