#include "plugin/mif_context.h"

#include <new>

#include "convert/pen_width.h"
#include "mif/reader/mif_reader.h"
#include "mif/writer/mif_writer.h"
#include "plugin/entry_points.h"
#include "plugin/host/app.h"
#include "plugin/host/file_info.h"
#include "plugin/host/fnc_string.h"
#include "plugin/host/main_frame.h"

CMifContext::CMifContext() = default;
CMifContext::~CMifContext() = default;

extern "C" int XF_Open(CGEO* geo, CXF_FileInfo* info, const char* path) {
    if (info == nullptr) {
        return 0;
    }
    // No exception may reach the host: running out of memory fails the open like a file that
    // cannot be read.
    try {
        // Pen widths in points become device pixels at the screen's resolution of this moment.
        double pixelsPerPoint = ScreenPixelsPerPoint();
        auto file = std::make_unique<CMifReader>();
        file->decodeText = fncString::ConvertStringToSequences;
        if (path == nullptr || file->Open(path) == 0) {
            info->errorCode = XF_ERROR_OPEN;
            return 0;
        }
        auto context = std::make_unique<CMifContext>();
        CGEO fallback;
        CXF_VectorInfo* vectorInfo =
            new CXF_VectorInfo((geo != nullptr ? geo : &fallback)->GetApp());
        info->AddPtrItem(vectorInfo);
        vectorInfo->OnAdded(0);
        context->app = geo;
        context->keepFileInfo = 0;
        context->reader = std::move(file);
        context->pixelsPerPoint = pixelsPerPoint;
        info->userData = context.release();
        return 1;
    } catch (...) {
        info->errorCode = XF_ERROR_OPEN;
        return 0;
    }
}

extern "C" void XF_Close(CXF_FileInfo* info) {
    if (info == nullptr || info->userData == nullptr) {
        return;
    }
    try {
        std::unique_ptr<CMifContext> context(static_cast<CMifContext*>(info->userData));
        // Forgetting the context makes a second XF_Close, or an XF_Read after it, harmless.
        info->userData = nullptr;
        if (context->keepFileInfo == 0) {
            info->FreeMem();
        }
        if (context->reader != nullptr) {
            context->reader->Close();
            context->reader.reset();
        }
        if (context->writer != nullptr) {
            context->writer->Close();
            context->writer.reset();
        }
    } catch (...) {
        // Closing frees memory and files only; nothing is left for the host to learn.
    }
}
