#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CGEO;
class CMifReader;
class CMifWriter;

// What the plug-in keeps in a host file info's userData for one open file: made by XF_Open
// (import) or XF_Save (export), ended by XF_Close.
struct CMifContext {
    CMifContext();
    ~CMifContext();
    CMifContext(const CMifContext&) = delete;
    CMifContext& operator=(const CMifContext&) = delete;

    CGEO* app = nullptr;
    std::string fileName;
    // 0 when made by XF_Open: XF_Close then frees the file info's items. XF_Save keeps them.
    int32_t keepFileInfo = 0;
    int32_t layerIndex = 0;
    int32_t textLayerIndex = -1;
    // The pair XF_Open opened for reading, or the pair XF_Save writes.
    std::unique_ptr<CMifReader> reader;
    std::unique_ptr<CMifWriter> writer;
    // The screen's device pixels per point when the file was opened, for pens given in points.
    double pixelsPerPoint = 96.0 / 72.0;
};
