#include <cstdint>
#include <string>

#include "fuzz/fuzz_driver.h"
#include "plugin/entry_points.h"
#include "plugin/host/app.h"
#include "plugin/host/file_info.h"
#include "plugin/host/vector.h"

// The whole import: the pair goes through XF_Open and XF_Read into a layer of the host library,
// as the application imports a file, so that the host's store, table and styles are driven by
// what the file holds.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzFolder folder;
    std::string path = WriteMifMid(data, size, folder.path);
    CGEO geo;
    CXF_FileInfo info;
    info.mainApp = geo.GetApp();
    Cgeo_Vector vector;
    if (XF_Open(&geo, &info, path.c_str()) == 1) {
        int host = 1;
        XF_Read(&info, 0, &host, &vector, 0);
        XF_Close(&info);
    }
    return 0;
}
