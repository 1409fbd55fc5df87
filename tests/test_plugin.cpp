#include <gtest/gtest.h>

#include <cstring>

#include "plugin/entry_points.h"
#include "plugin/host/app.h"
#include "plugin/host/document.h"
#include "test_util.h"

namespace {

TEST(EntryPoints, IdentifyFillsTheRecordByteForByte) {
    PluginLibrary lib;
    ASSERT_TRUE(lib.Loaded());
    auto identify = lib.Get<XF_IdentifyFn>("XF_Identify");
    ASSERT_NE(identify, nullptr);
    unsigned char buffer[kIdentifySize + 8];
    std::memset(buffer, 0xCC, sizeof buffer);
    EXPECT_EQ(identify(0, buffer), 1);
    const unsigned char head[12] = {101, 0, 0, 0, 0x90, 0x01, 0, 0, 0xE8, 0x03, 0, 0};
    EXPECT_EQ(std::memcmp(buffer, head, 12), 0);
    EXPECT_EQ(std::memcmp(buffer + 12, "Vector Format", 13), 0);
    for (int i = 12 + 13; i < kIdentifySize; ++i) {
        ASSERT_EQ(buffer[i], 0) << "byte " << i;
    }
    for (int i = kIdentifySize; i < kIdentifySize + 8; ++i) {
        ASSERT_EQ(buffer[i], 0xCC) << "byte " << i << " lies past the record";
    }
}

TEST(EntryPoints, GetFormatsRegistersTheSevenArguments) {
    PluginLibrary lib;
    ASSERT_TRUE(lib.Loaded());
    auto getFormats = lib.Get<XF_GetFormatsFn>("XF_GetFormats");
    CGEO geo;
    Cgeo_FileManager* manager = geo.GetApp()->GetFileManager();
    manager->ClearRegisteredFormats();
    manager->SetRegisterResult(42);
    EXPECT_EQ(getFormats(&geo), 42) << "the registration's result comes back unchanged";
    ASSERT_EQ(manager->GetRegisteredFormats().size(), 1u);
    const CXF_RegisteredFormat& f = manager->GetRegisteredFormats()[0];
    EXPECT_EQ(f.extension, "mif");
    EXPECT_EQ(f.description, "MapInfo Interchange Format (*.mif)");
    EXPECT_EQ(f.flag1, 1);
    EXPECT_EQ(f.flag2, 1);
    EXPECT_EQ(f.layerClasses, (std::vector<std::string>{"VECTOR", "TEXT"}));
    manager->SetRegisterResult(0);
    EXPECT_EQ(getFormats(&geo), 0);
    EXPECT_EQ(getFormats(nullptr), 0);
}

TEST(EntryPoints, CanSaveNeedsAnActiveVectorOrTextLayer) {
    EXPECT_EQ(XF_CanSave(nullptr), 0);
    Cgeo_Document none;
    none.GetLayers()->AddLayer("VECTOR", false);
    none.GetLayers()->AddLayer("TEXT", false);
    EXPECT_EQ(XF_CanSave(&none), 0);

    // A text layer may be the first layer (index 0).
    Cgeo_Document textOnly;
    textOnly.GetLayers()->AddLayer("TEXT", true);
    textOnly.GetLayers()->AddLayer("VECTOR", false);
    EXPECT_EQ(XF_CanSave(&textOnly), 1);

    Cgeo_Document vector;
    vector.GetLayers()->AddLayer("RASTER", true);
    vector.GetLayers()->AddLayer("VECTOR", true);
    EXPECT_EQ(XF_CanSave(&vector), 1);
}

}  // namespace
