#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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
    int64_t AddPoints(std::initializer_list<tagXF_POINT3DD> points,
                      const VECTOR_POINT_STYLE* style = nullptr) {
        Cgeo_VectorObject* object = vector->CreateObject(XF_OBJ_POINT);
        object->GetObjPoint()->SetPoints(static_cast<int>(points.size()), points.begin());
        if (style != nullptr) {
            object->GetObjPoint()->SetStyle(style);
        }
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
    // One ring per list.
    int64_t AddPolygon(std::initializer_list<std::initializer_list<tagXF_POINT3DD>> rings,
                       const VECTOR_POLYGON_STYLE* style = nullptr) {
        Cgeo_VectorObject* object = vector->CreateObject(XF_OBJ_POLYGON);
        object->GetObjPolygon()->SetPolygonSize(static_cast<int>(rings.size()));
        int k = 0;
        for (const auto& ring : rings) {
            CXF_PolygonD* polygon = object->GetObjPolygon()->GetRegion()->GetPolygon(k++);
            polygon->SetSize(static_cast<int>(ring.size()));
            std::copy(ring.begin(), ring.end(), polygon->GetData());
        }
        if (style != nullptr) {
            object->GetObjPolygon()->SetStyle(style);
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

// Saves the document with an XF_Save, as the host does: a file info holding the description of
// the vector layer, and the application's main frame for progress. save is the shared plug-in's
// (SaveThroughPlugin) or the test program's own copy of the plug-in's code, which sees the file
// layer's faults (COsFile::InjectFault).
inline CSaveResult SaveWith(XF_SaveFn save, Cgeo_Document& document, const std::string& path,
                            Cgeo_Vector* described = nullptr) {
    CSaveResult out;
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

// Saves the document through the shared plug-in.
inline CSaveResult SaveThroughPlugin(Cgeo_Document& document, const std::string& path,
                                     Cgeo_Vector* described = nullptr) {
    PluginLibrary lib;
    EXPECT_TRUE(lib.Loaded()) << PluginLibrary::Error();
    auto save = lib.Get<XF_SaveFn>("XF_Save");
    EXPECT_NE(save, nullptr);
    if (save == nullptr) {
        return CSaveResult();
    }
    return SaveWith(save, document, path, described);
}

// The MIF text after the header's Data line.
inline std::string MifBody(const std::string& mif) {
    size_t data = mif.find("\r\nData\r\n");
    return data == std::string::npos ? std::string() : mif.substr(data + 8);
}

// A host object as its type and its point lists, each in brackets: the points, every line
// section, every ring, the ellipse's corners, or the text point followed by the text; points
// as "x,y x,y ...", numbers as %g prints them.
inline std::string ObjectText(Cgeo_VectorObject* object) {
    std::string out;
    auto add = [&out](const tagXF_POINT3DD* p, int n) {
        char text[64];
        out += "[";
        for (int i = 0; i < n; ++i) {
            std::snprintf(text, sizeof text, "%s%g,%g", i > 0 ? " " : "", p[i].x, p[i].y);
            out += text;
        }
        out += "]";
    };
    if (Cgeo_VectorPoint* point = object->GetObjPoint()) {
        add(point->GetData(), point->GetNumPoints());
    } else if (Cgeo_VectorLine* line = object->GetObjLine()) {
        for (int k = 0; k < line->GetNumSection(); ++k) {
            add(line->GetData(k), line->GetNumPoints(k));
        }
    } else if (Cgeo_VectorPolygon* polygon = object->GetObjPolygon()) {
        for (int k = 0; k < polygon->GetPolygonSize(); ++k) {
            CXF_PolygonD* ring = polygon->GetRegion()->GetPolygon(k);
            add(ring->GetData(), ring->GetSize());
        }
    } else if (Cgeo_VectorEllipse* ellipse = object->GetObjEllipse()) {
        const tagXF_RECT3DD& r = ellipse->GetRect();
        const tagXF_POINT3DD corners[2] = {{r.x1, r.y1, r.z1}, {r.x2, r.y2, r.z2}};
        add(corners, 2);
    } else if (Cgeo_VectorText* text = object->GetObjText()) {
        const tagXF_POINT3DD at = text->GetTextPoint();
        add(&at, 1);
        out += std::string(" '") + text->GetText() + "'";
    }
    return std::to_string(object->GetType()) + (out.empty() ? "" : " " + out);
}

// An attribute value as text: a text between single quotes, numbers as the C library prints
// them (floats to their own precision), a date as YYYY/MM/DD, a logical as T or F; "-" for no
// value.
inline std::string ValueText(const CVectorColumn& column, const void* value) {
    if (value == nullptr) {
        return "-";
    }
    char text[64];
    switch (column.type) {
        case XF_COL_TEXT:
            return std::string("'") + static_cast<const char*>(value) + "'";
        case XF_COL_UINT8:
            return std::to_string(XF_LoadValue<uint8_t>(value));
        case XF_COL_UINT16:
            return std::to_string(XF_LoadValue<uint16_t>(value));
        case XF_COL_INT16:
            return std::to_string(XF_LoadValue<int16_t>(value));
        case XF_COL_UINT32:
            return std::to_string(XF_LoadValue<uint32_t>(value));
        case XF_COL_INT32:
            return std::to_string(XF_LoadValue<int32_t>(value));
        case XF_COL_FLOAT:
            std::snprintf(text, sizeof text, "%.9g",
                          static_cast<double>(XF_LoadValue<float>(value)));
            return text;
        case XF_COL_DOUBLE:
        case XF_COL_DECIMAL:
            std::snprintf(text, sizeof text, "%.17g", XF_LoadValue<double>(value));
            return text;
        case XF_COL_DATE: {
            uint16_t d[3];
            std::memcpy(d, value, sizeof d);
            std::snprintf(text, sizeof text, "%04u/%02u/%02u", unsigned{d[0]}, unsigned{d[1]},
                          unsigned{d[2]});
            return text;
        }
        case XF_COL_LOGICAL:
            return XF_LoadValue<int32_t>(value) != 0 ? "T" : "F";
        default:
            return "?";
    }
}

// Every attribute value of a layer's object k, as ValueText gives them, joined by commas.
inline std::string RowText(Cgeo_Vector* vector, int64_t k) {
    Cgeo_VectorTable* table = vector->GetVectorTable();
    std::string out;
    for (int j = 0; j < table->GetVectorColumns()->GetSize(); ++j) {
        out += (j > 0 ? "," : "") +
               ValueText(*table->GetVectorColumns()->Get(j), table->GetColumnValue(k, j));
    }
    return out;
}

// The shared plug-in driven as the host drives it: XF_Open, XF_Read into a layer (a fresh one
// unless another is given), and XF_Close when the import goes.
class Import {
public:
    explicit Import(Cgeo_Vector* layer = nullptr) : target(layer != nullptr ? layer : &vector) {
        open = lib.Get<XF_OpenFn>("XF_Open");
        read = lib.Get<XF_ReadFn>("XF_Read");
        close = lib.Get<XF_CloseFn>("XF_Close");
        info.mainApp = geo.GetApp();
        frame()->ResetRecord();
    }
    ~Import() {
        if (close != nullptr) {
            close(&info);
        }
    }
    Import(const Import&) = delete;
    Import& operator=(const Import&) = delete;

    bool Ready() const { return lib.Loaded() && open != nullptr && read != nullptr && close; }
    // Writes the MIF text (and the MID text unless it is null) and opens the pair.
    int Open(const std::string& mif, const char* mid = nullptr) {
        WriteFile(dir.Path("t.mif"), mif);
        if (mid != nullptr) {
            WriteFile(dir.Path("t.mid"), mid);
        }
        return OpenPath(dir.Path("t.mif"));
    }
    int OpenPath(const std::string& path) { return open(&geo, &info, path.c_str()); }
    int Read() { return read(&info, 0, &geo, target, 0); }

    Cgeo_MainFrame* frame() { return geo.GetApp()->GetMainFrame(); }
    Cgeo_VectorObject* At(int64_t id) { return target->GetObjectAt(id); }
    // The values of object k as RowText gives them.
    std::string Row(int64_t k) { return RowText(target, k); }

    PluginLibrary lib;
    XF_OpenFn open = nullptr;
    XF_ReadFn read = nullptr;
    XF_CloseFn close = nullptr;
    TempDir dir;
    CGEO geo;
    CXF_FileInfo info;
    Cgeo_Vector vector;
    Cgeo_Vector* target;
};

// Imports a MIF/MID pair through the shared plug-in into the document's vector layer, as the
// host does; false when the plug-in refused it.
inline bool ImportThroughPlugin(const std::string& path, CExportDocument& doc) {
    Import im(doc.vector);
    return im.Ready() && im.OpenPath(path) == 1 && im.Read() == 1;
}
