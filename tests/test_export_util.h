#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "plugin/entry_points.h"
#include "plugin/host/app.h"
#include "plugin/host/document.h"
#include "plugin/host/file_info.h"
#include "plugin/host/main_frame.h"
#include "plugin/host/style.h"
#include "plugin/host/table.h"
#include "plugin/host/text.h"
#include "plugin/host/vector.h"
#include "test_util.h"

// A host document with one active vector layer, filled by the tests through the host library.
class CExportDocument {
public:
    explicit CExportDocument(int group = 7) {
        index = document.GetLayers()->AddLayer("VECTOR", true, group);
        vector = document.GetLayers()->GetLayer(index)->GetVector();
        stream.Open(vector, XF_STREAM_WRITE);
    }

    // Stores a copy of the object (and frees the one given); returns its row.
    int64_t Add(Cgeo_VectorObject* object) {
        int64_t id = stream.AddObject(object, 0);
        object->DeleteObject();
        return id;
    }
    int64_t AddPoints(std::initializer_list<tagXF_POINT3DD> points) {
        Cgeo_VectorObject* object = vector->CreateObject(XF_OBJ_POINT);
        object->GetObjPoint()->SetPoints(static_cast<int>(points.size()), points.begin());
        return Add(object);
    }
    // One section per list.
    int64_t AddLine(std::initializer_list<std::initializer_list<tagXF_POINT3DD>> sections,
                    const VECTOR_LINE_STYLE* style = nullptr) {
        Cgeo_VectorObject* object = vector->CreateObject(XF_OBJ_LINE);
        int k = 0;
        for (const auto& section : sections) {
            object->GetObjLine()->SetPoints(k++, static_cast<int>(section.size()), section.begin());
        }
        if (style != nullptr) {
            object->GetObjLine()->SetStyle(style);
        }
        return Add(object);
    }
    int AddColumn(const char* name, int type, int width = 0, int decimals = 0) {
        return vector->GetVectorTable()->GetVectorColumns()->Add(
            CVectorColumn(name, type, width, decimals));
    }
    template <typename T>
    void SetValue(int64_t row, int column, const T& value) {
        ASSERT_EQ(vector->GetVectorTable()->SetColumnValue(row, column, &value), 1);
    }
    void SetText(int64_t row, int column, const char* value) {
        ASSERT_EQ(vector->GetVectorTable()->SetColumnValue(row, column, value), 1);
    }

    Cgeo_Document document;
    int index = -1;
    Cgeo_Vector* vector = nullptr;
    Cgeo_VectorObjectStream stream;
};

// What one XF_Save call gave.
struct CSaveResult {
    int result = -1;
    int errorCode = 0;
    std::string mif;
    std::string mid;
    std::vector<std::string> fileNames;
};

// Saves the document through the shared plug-in, as the host does: a file info holding the
// description of the vector layer, and the application's main frame for progress.
inline CSaveResult SaveThroughPlugin(Cgeo_Document& document, const std::string& path,
                                     Cgeo_Vector* described = nullptr) {
    CSaveResult out;
    PluginLibrary lib;
    EXPECT_TRUE(lib.Loaded()) << PluginLibrary::Error();
    auto save = lib.Get<XF_SaveFn>("XF_Save");
    EXPECT_NE(save, nullptr);
    if (save == nullptr) {
        return out;
    }
    CGEO geo;
    CXF_FileInfo info;
    info.mainApp = geo.GetApp();
    info.AddPtrItem(new CXF_VectorInfo(geo.GetApp(), described));
    out.result = save(&geo, &info, &document, path.c_str(), 0);
    out.errorCode = info.errorCode;
    out.fileNames = info.fileNames;
    EXPECT_EQ(info.userData, nullptr) << "the context is freed";
    EXPECT_EQ(info.GetFreeMemCount(), 0) << "the host's items survive a save";
    // Only files on disk: a device such as /dev/full would read forever.
    std::string mid = path.substr(0, path.size() - 4) + ".mid";
    if (std::filesystem::is_regular_file(path) && std::filesystem::is_regular_file(mid)) {
        out.mif = ReadFile(path);
        out.mid = ReadFile(mid);
    }
    return out;
}

// The MIF text after the header's Data line.
inline std::string MifBody(const std::string& mif) {
    size_t data = mif.find("\r\nData\r\n");
    return data == std::string::npos ? std::string() : mif.substr(data + 8);
}

// Imports a MIF/MID pair through the shared plug-in into the document's vector layer, as the
// host does; false when the plug-in refused it.
inline bool ImportThroughPlugin(const std::string& path, CExportDocument& doc) {
    PluginLibrary lib;
    auto open = lib.Get<XF_OpenFn>("XF_Open");
    auto read = lib.Get<XF_ReadFn>("XF_Read");
    auto close = lib.Get<XF_CloseFn>("XF_Close");
    if (open == nullptr || read == nullptr || close == nullptr) {
        return false;
    }
    CGEO geo;
    CXF_FileInfo info;
    info.mainApp = geo.GetApp();
    if (open(&geo, &info, path.c_str()) != 1) {
        return false;
    }
    int result = read(&info, 0, &geo, doc.vector, 0);
    close(&info);
    return result == 1;
}
