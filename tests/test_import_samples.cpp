#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mif_text.h"
#include "plugin/entry_points.h"
#include "plugin/host/app.h"
#include "plugin/host/file_info.h"
#include "plugin/host/main_frame.h"
#include "plugin/host/table.h"
#include "plugin/host/vector.h"
#include "test_util.h"

namespace {

// One sample file imported through the shared plug-in's entry points.
struct ImportedSample {
    explicit ImportedSample(const std::string& path) {
        auto open = lib.Get<XF_OpenFn>("XF_Open");
        auto read = lib.Get<XF_ReadFn>("XF_Read");
        close = lib.Get<XF_CloseFn>("XF_Close");
        if (open == nullptr || read == nullptr || close == nullptr) {
            return;
        }
        info.mainApp = geo.GetApp();
        opened = open(&geo, &info, path.c_str());
        if (opened == 1) {
            result = read(&info, 0, &geo, &vector, 0);
        }
    }
    ~ImportedSample() {
        if (close != nullptr) {
            close(&info);
        }
    }
    // Number of objects of each host type 0 to 5.
    std::vector<int> TypeCounts() {
        std::vector<int> counts(6, 0);
        for (int64_t k = 0; k < vector.GetObjectCount(); ++k) {
            counts[static_cast<size_t>(vector.GetObjectAt(k)->GetType())]++;
        }
        return counts;
    }

    PluginLibrary lib;
    XF_CloseFn close = nullptr;
    CGEO geo;
    CXF_FileInfo info;
    Cgeo_Vector vector;
    int opened = 0;
    int result = 0;
};

struct SampleCounts {
    const char* path;
    int columns;
    // Objects of host types empty, point, line, polygon, ellipse, text; collections are dropped.
    std::vector<int> perType;
};

TEST(ImportSamples, EveryFileImportsWithItsObjectsPerHostType) {
    const std::string root = SamplesDir();
    if (root.empty()) {
        GTEST_SKIP() << "MIF_SAMPLES_DIR is not set";
    }
    const SampleCounts samples[] = {
        {"dmx_barnsbury_segment_pline/barnsbury_segment_pline.mif", 13, {0, 0, 177, 0, 0, 0}},
        {"dmx_simple_axlines/simple_axlines.mif", 3, {0, 0, 17, 0, 0, 0}},
        {"dmx_simple_axlines/simple_axlines_pline.mif", 3, {0, 0, 17, 0, 0, 0}},
        // Three points and a multipoint; line, two plines, a multiple pline and two arcs; rect,
        // round rect and region; the collection is not imported.
        {"gdal_all_geoms/all_geoms.mif", 0, {0, 4, 6, 3, 1, 1}},
        {"gdal_all_possible_fields/all_possible_fields.mif", 10, {2, 0, 0, 0, 0, 0}},
        {"gdal_empty_first_field_tab/empty_first_field_with_tab_delimiter.mif",
         2,
         {1, 0, 0, 0, 0, 0}},
        {"gdal_multilinemid/multilinemid.mif", 3, {0, 0, 2, 0, 0, 0}},
        {"gdal_nomid/nomid.mif", 0, {0, 0, 0, 2, 0, 0}},
        {"gdal_proj/proj_34.mif", 1, {0, 0, 1, 0, 0, 0}},
        {"gdal_proj/proj_35.mif", 1, {0, 0, 1, 0, 0, 0}},
        {"gdal_single_field/single_field.mif", 1, {3, 0, 0, 0, 0, 0}},
        {"gdal_small/small.mif", 7, {0, 0, 0, 2, 0, 0}},
        {"gdal_small_ntf/small_ntf.mif", 7, {0, 0, 0, 2, 0, 0}},
        {"gdal_utf8/utf8.mif", 5, {0, 1, 1, 1, 0, 0}},
        {"gdal_win1251/win1251.mif", 5, {0, 1, 1, 1, 0, 0}},
        {"gdal_win1251_text/win1251_text.mif", 0, {0, 0, 0, 0, 0, 1}},
        {"gt_delim_in_quotes/delimInQuotes.mif", 3, {0, 0, 0, 4, 0, 0}},
        {"gt_grafo/grafo.MIF", 31, {0, 0, 1726, 0, 0, 0}},
        {"gt_mixed/mixed.MIF", 10, {1, 1, 3, 4, 0, 0}},
        {"gt_nodi/nodi.mif", 7, {0, 1207, 0, 0, 0, 0}},
        {"gt_space_delim/spaceDelim.mif", 3, {0, 0, 0, 4, 0, 0}},
        {"gt_statepop/statepop.mif", 252, {0, 0, 0, 49, 0, 0}},
        {"gt_text/text.MIF", 2, {0, 0, 0, 0, 0, 3}},
        {"gtk_hy_water_area/HY_WATER_AREA_POLYGON.mif", 12, {0, 0, 0, 86, 0, 0}},
    };
    for (const SampleCounts& sample : samples) {
        SCOPED_TRACE(sample.path);
        ImportedSample s(root + "/" + sample.path);
        ASSERT_EQ(s.opened, 1);
        EXPECT_EQ(s.result, 1);
        EXPECT_EQ(s.vector.GetVectorTable()->GetVectorColumns()->GetSize(), sample.columns);
        EXPECT_EQ(s.TypeCounts(), sample.perType);
        EXPECT_EQ(s.geo.GetApp()->GetMainFrame()->GetProgressPosition(), 100.0);
    }
}

// The numbers of a WKT text, in order.
std::vector<double> WktNumbers(const std::string& wkt) {
    std::vector<double> numbers;
    const char* p = wkt.c_str();
    while (*p != '\0') {
        if ((*p >= '0' && *p <= '9') || *p == '-' || *p == '.') {
            char* end = nullptr;
            numbers.push_back(std::strtod(p, &end));
            p = end > p ? end : p + 1;
        } else {
            ++p;
        }
    }
    return numbers;
}

// The object's coordinates as WKT lists them: x and y of every point, rings closed.
std::vector<double> ObjectNumbers(Cgeo_VectorObject* object) {
    std::vector<double> numbers;
    auto add = [&numbers](const tagXF_POINT3DD* p, int count, bool close) {
        for (int i = 0; i < count; ++i) {
            numbers.push_back(p[i].x);
            numbers.push_back(p[i].y);
        }
        if (close && count > 0) {
            numbers.push_back(p[0].x);
            numbers.push_back(p[0].y);
        }
    };
    if (Cgeo_VectorPoint* point = object->GetObjPoint()) {
        add(point->GetData(), point->GetNumPoints(), false);
    } else if (Cgeo_VectorLine* line = object->GetObjLine()) {
        for (int s = 0; s < line->GetNumSection(); ++s) {
            add(line->GetData(s), line->GetNumPoints(s), false);
        }
    } else if (Cgeo_VectorPolygon* polygon = object->GetObjPolygon()) {
        for (int r = 0; r < polygon->GetPolygonSize(); ++r) {
            CXF_PolygonD* ring = polygon->GetRegion()->GetPolygon(r);
            add(ring->GetData(), ring->GetSize(), true);
        }
    }
    return numbers;
}

bool Near(double a, double b, double relative) {
    return std::fabs(a - b) <= relative * std::max(1.0, std::fabs(b));
}

template <typename T>
T As(const void* value) {
    T v;
    std::memcpy(&v, value, sizeof v);
    return v;
}

// A stored value as ogrinfo prints it.
std::string Stored(int type, const void* value) {
    char text[64] = "";
    switch (type) {
        case 1:
            return static_cast<const char*>(value);
        case 4:
            return std::to_string(As<int16_t>(value));
        case 6:
            return std::to_string(As<int32_t>(value));
        case 7:
            std::snprintf(text, sizeof text, "%.9g", static_cast<double>(As<float>(value)));
            break;
        case 9:
            std::snprintf(text, sizeof text, "%.17g", As<double>(value));
            break;
        case 10: {
            auto* d = static_cast<const uint16_t*>(value);
            std::snprintf(text, sizeof text, "%04u/%02u/%02u", unsigned{d[0]}, unsigned{d[1]},
                          unsigned{d[2]});
            break;
        }
        case 11:
            return As<int32_t>(value) != 0 ? "T" : "F";
    }
    return text;
}

// Compares every object's coordinates and every attribute value with what ogrinfo reports.
void CompareWithOgrinfo(const std::string& path, int* comparedGeometries, int* comparedValues) {
    ImportedSample s(path);
    ASSERT_EQ(s.result, 1);
    std::string report;
    std::vector<COgrFeature> features = OgrFeatures(path, report);
    ASSERT_EQ(static_cast<int64_t>(features.size()), s.vector.GetObjectCount()) << report;
    Cgeo_VectorTable* table = s.vector.GetVectorTable();
    Cgeo_VectorColumns* columns = table->GetVectorColumns();
    for (int64_t k = 0; k < s.vector.GetObjectCount(); ++k) {
        SCOPED_TRACE("object " + std::to_string(k));
        const COgrFeature& f = features[static_cast<size_t>(k)];
        // Multipolygons list their rings grouped by outer ring, not in file order.
        if (!f.geometry.empty() && f.geometry.rfind("MULTIPOLYGON", 0) != 0) {
            std::vector<double> expected = WktNumbers(f.geometry);
            std::vector<double> actual = ObjectNumbers(s.vector.GetObjectAt(k));
            ASSERT_EQ(actual.size(), expected.size()) << f.geometry.substr(0, 80);
            for (size_t i = 0; i < expected.size(); ++i) {
                ASSERT_TRUE(Near(actual[i], expected[i], 1e-9))
                    << "coordinate " << i << ": " << actual[i] << " vs " << expected[i];
            }
            ++*comparedGeometries;
        }
        for (int i = 0; i < columns->GetSize(); ++i) {
            const CVectorColumn* column = columns->Get(i);
            // ogrinfo leaves out a field that has no value.
            auto found = f.values.find(column->name);
            const std::string expected = found != f.values.end() ? found->second : "(null)";
            const void* value = table->GetColumnValue(k, i);
            SCOPED_TRACE(column->name + " = " + expected);
            if (expected == "(null)") {
                EXPECT_TRUE(value == nullptr || column->type == 1);
                continue;
            }
            ASSERT_NE(value, nullptr);
            std::string got = Stored(column->type, value);
            if (column->type == 7 || column->type == 9) {
                EXPECT_TRUE(Near(std::strtod(got.c_str(), nullptr),
                                 std::strtod(expected.c_str(), nullptr),
                                 column->type == 7 ? 1e-6 : 1e-9))
                    << got;
            } else {
                EXPECT_EQ(got, expected);
            }
            ++*comparedValues;
        }
    }
}

// One object as its host type, its coordinates and its values as ogrinfo prints them ("-" for a
// value not set).
std::string Summary(ImportedSample& s, int64_t k) {
    Cgeo_VectorObject* object = s.vector.GetObjectAt(k);
    std::string out = std::to_string(object->GetType()) + " [";
    char text[32];
    for (double v : ObjectNumbers(object)) {
        std::snprintf(text, sizeof text, "%s%g", out.back() == '[' ? "" : " ", v);
        out += text;
    }
    out += "]";
    Cgeo_VectorTable* table = s.vector.GetVectorTable();
    for (int i = 0; i < table->GetVectorColumns()->GetSize(); ++i) {
        const void* value = table->GetColumnValue(k, i);
        out += (i == 0 ? " " : ",") +
               (value != nullptr ? Stored(table->GetVectorColumns()->Get(i)->type, value) : "-");
    }
    return out;
}

// Small pairs as other programs write them, imported through the plug-in. Where ogrinfo reads a
// pair the same way, it is compared with ogrinfo too; where it reads one differently, the case
// says how, and why our reading is the one to keep.
TEST(ImportPairs, AsOtherProgramsWriteThem) {
    const struct {
        const char* mif;
        const char* mid;
        std::vector<std::string> objects;
        const char* gdalDiffers;
    } cases[] = {
        {"Columns 1\n n Integer\nData\nPoint 1 2\n\tPoint 3 4\nPoint 5 6\n",
         "1\n2\n3\n",
         {"1 [1 2] 1", "1 [3 4] 2", "1 [5 6] 3"},
         "GDAL takes a TAB before a keyword for part of it: the second point is lost and the third "
         "gets the second record"},
        {"Columns\t2\n\tname\tChar(10)\nid Integer\t\nData\t\nPoint 1\t2\n",
         "a\t7\n",
         {"1 [1 2] a,7"},
         nullptr},
        {"Delimiter \",\"\nCoordSys Earth Projection 1, 0\nCharset \"WindowsLatin1\"\n"
         "Version 300\nColumns 2\n a Integer\n b Char(5)\nData\nPoint 1 2\n",
         "5,xy\n",
         {"1 [1 2] 5,xy"},
         nullptr},
        {"Delimiter \",\"\nColumns 3\n a Integer\n Data DateTime\n c Integer\nData\nPoint 1 2\n",
         "1,20220323145600000,3\n",
         {"1 [1 2] 1,20220323145600000,3"},
         "GDAL converts the DateTime value; the host has no such type, so we keep it as text"},
        {"Transform 2 3 10 20\nColumns 1\n n Integer\nData\nPoint 1 1\n",
         "1\n",
         {"1 [12 23] 1"},
         nullptr},
        {"Columns 1\n n Integer\nData\nText\n1 2 3 4\nPoint 5 5\n",
         "1\n2\n",
         {"5 [] 1", "1 [5 5] 2"},
         nullptr},
        {"Delimiter \",\"\nColumns 3\n a Char(20)\n b Char(20)\n c Integer\nData\n"
         "None\nNone\nNone\nNone\n",
         "\"x\", \"y z\", 5\n\"a\"b\",x,\"2\"\n1, \"a\nb\",3\n\"p\\\\q\\nr\",s,4\n",
         {"0 [] x,y z,5", "0 [] a\"b,x,2", "0 [] 1,a\nb,3", "0 [] p\\q\nr,s,4"},
         "GDAL keeps the blanks outside the quotes, stops at a stray quote inside a quoted value, "
         "and keeps \\n and \\\\ as written, which our writer and others use as escapes"},
        {"Delimiter \",\"\nColumns 2\n d Date\n l Logical\nData\n"
         "None\nNone\nNone\nNone\nNone\nNone\n",
         "20101231,T\n2010-12-31,TRUE\n2010/12/31,y\n\"20101231\",Yes\n2010x231,1\n,no\n",
         {"0 [] 2010/12/31,T", "0 [] 2010/12/31,T", "0 [] 2010/12/31,T", "0 [] 2010/12/31,T",
          "0 [] -,T", "0 [] -,F"},
         "GDAL reads a date only as YYYYMMDD (2010x231 as 2010/00/00, the others not at all) and "
         "keeps a logical as the letters written"},
        {"Columns 1\n n Integer\nData\nPoint nan inf\nLine 1.#QNAN 1.#QNAN 2 2\n"
         "Point 1e999 0\nPoint 7 8\n",
         "1\n2\n3\n4\n",
         {"0 [] 1", "0 [] 2", "0 [] 3", "1 [7 8] 4"},
         "GDAL passes nan and inf on into the geometry, where they can be neither drawn nor "
         "measured"},
        {"Columns 1\n n Integer\nData\nPline 2147483647\n1 2\n3 4\nPoint 5 5\n",
         "1\n2\n",
         {"2 [1 2 3 4] 1", "1 [5 5] 2"},
         "GDAL fails to read the polyline"},
    };
    bool ogrinfo = NoOgrinfo() == nullptr;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mif);
        TempDir dir;
        WriteFile(dir.Path("t.mif"), c.mif);
        WriteFile(dir.Path("t.mid"), c.mid);
        ImportedSample s(dir.Path("t.mif"));
        ASSERT_EQ(s.result, 1);
        std::vector<std::string> objects;
        for (int64_t k = 0; k < s.vector.GetObjectCount(); ++k) {
            objects.push_back(Summary(s, k));
        }
        EXPECT_EQ(objects, c.objects);
        if (ogrinfo && c.gdalDiffers == nullptr) {
            int geometries = 0;
            int values = 0;
            CompareWithOgrinfo(dir.Path("t.mif"), &geometries, &values);
            EXPECT_GT(values, 0);
        }
    }
}

TEST(ImportSamples, CoordinatesAndValuesAgreeWithOgrinfo) {
    const std::string root = SamplesDir();
    if (root.empty()) {
        GTEST_SKIP() << "MIF_SAMPLES_DIR is not set";
    }
    if (const char* why = NoOgrinfo()) {
        GTEST_SKIP() << why;
    }
    const char* files[] = {
        "gdal_small/small.mif",
        "gt_mixed/mixed.MIF",
        "dmx_simple_axlines/simple_axlines.mif",
        "gt_delim_in_quotes/delimInQuotes.mif",
        "gtk_hy_water_area/HY_WATER_AREA_POLYGON.mif",
    };
    for (const char* f : files) {
        SCOPED_TRACE(f);
        int geometries = 0;
        int values = 0;
        CompareWithOgrinfo(root + "/" + f, &geometries, &values);
        EXPECT_GT(geometries, 0);
        EXPECT_GT(values, 0);
    }
}

}  // namespace
