#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "test_export_util.h"

namespace {

// A layer holding every host kind, each row with a value in every column type.
TEST(ExportInterop, OgrinfoReadsEveryHostKindAndColumnType) {
    if (const char* why = NoOgrinfo()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    CExportDocument doc;
    Cgeo_Vector* vector = doc.vector;
    doc.AddPoints({{37.6175, 55.7558, 0}});
    doc.AddPoints({{0, 0, 0}, {1, 1, 0}, {2, 2, 0}});
    doc.AddLine({{{0, 0, 0}, {3, -4.25, 0}}});
    doc.AddLine({{{0, 0, 0}, {1, 1, 0}}, {{5, 5, 0}, {6, 6, 0}}});
    Cgeo_VectorObject* polygon = vector->CreateObject(XF_OBJ_POLYGON);
    CXF_RegionCmx* region = polygon->GetObjPolygon()->GetRegion();
    region->SetPolygonSize(2);
    const tagXF_POINT3DD outer[4] = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    const tagXF_POINT3DD hole[3] = {{2, 2, 0}, {4, 2, 0}, {2, 4, 0}};
    region->GetPolygon(0)->SetSize(4);
    std::copy(outer, outer + 4, region->GetPolygon(0)->GetData());
    region->GetPolygon(1)->SetSize(3);
    std::copy(hole, hole + 3, region->GetPolygon(1)->GetData());
    doc.Add(polygon);
    Cgeo_VectorObject* ellipse = vector->CreateObject(XF_OBJ_ELLIPSE);
    ellipse->GetObjEllipse()->SetRect({0, 0, 4, 2, 0, 0});
    doc.Add(ellipse);
    Cgeo_VectorObject* text = vector->CreateObject(XF_OBJ_TEXT);
    text->GetObjText()->SetText("Label");
    text->GetObjText()->SetTextPoint(CXF_Point3DD(5, 6));
    doc.Add(text);
    doc.Add(vector->CreateObject(XF_OBJ_EMPTY));

    const char* names[] = {"name",   "byte",   "word",  "short", "unsigned", "signed",
                           "single", "double", "money", "day",   "flag"};
    for (int type = 1; type <= 11; ++type) {
        doc.AddColumn(names[type - 1], type, type == 1 ? 30 : 10, type == 9 ? 2 : 0);
    }
    const uint16_t day[3] = {2024, 1, 31};
    for (int32_t k = 0; k < 8; ++k) {
        std::string name = "v" + std::to_string(k) + " \"q\", x";
        doc.SetText(k, 0, name.c_str());
        doc.SetValue(k, 1, static_cast<uint8_t>(200 + k));
        doc.SetValue(k, 2, static_cast<uint16_t>(30000 + k));
        doc.SetValue(k, 3, static_cast<int16_t>(-k));
        doc.SetValue(k, 4, k * 1000);
        doc.SetValue(k, 5, -k * 100000);
        doc.SetValue(k, 6, 0.25f * static_cast<float>(k));
        doc.SetValue(k, 7, 1.0 / 8 + k);
        doc.SetValue(k, 8, -3.14159 * k);
        doc.SetValue(k, 9, day);
        doc.SetValue(k, 10, k % 2);
    }

    std::string path = dir.Path("every kind.mif");
    CSaveResult saved = SaveThroughPlugin(doc.document, path);
    ASSERT_EQ(saved.result, 2);
    std::string report;
    std::vector<COgrFeature> got = OgrFeatures(path, report);
    ASSERT_EQ(got.size(), 8u) << report;
    EXPECT_EQ(report.find("ERROR"), std::string::npos) << report;
    const char* geometry[] = {"POINT (37.6175 55.7558)",
                              "MULTIPOINT ((0 0),(1 1),(2 2))",
                              "LINESTRING (0 0,3.0 -4.25)",
                              "MULTILINESTRING ((0 0,1 1),(5 5,6 6))",
                              "POLYGON ((0 0,10 0,10 10,0 10,0 0),(2 2,4 2,2 4,2 2))",
                              "POLYGON ((",
                              "POINT (",
                              ""};
    for (size_t k = 0; k < got.size(); ++k) {
        SCOPED_TRACE("object " + std::to_string(k));
        int i = static_cast<int>(k);
        EXPECT_EQ(got[k].geometry.substr(0, std::string(geometry[k]).size()), geometry[k]);
        EXPECT_EQ(got[k].values["name"], "v" + std::to_string(k) + " \"q\", x");
        EXPECT_EQ(got[k].values["byte"], std::to_string(200 + i));
        EXPECT_EQ(got[k].values["word"], std::to_string(30000 + i));
        EXPECT_EQ(got[k].values["short"], std::to_string(-i));
        EXPECT_EQ(got[k].values["unsigned"], std::to_string(i * 1000));
        EXPECT_EQ(got[k].values["signed"], std::to_string(-i * 100000));
        EXPECT_EQ(std::atof(got[k].values["single"].c_str()), 0.25 * i);
        EXPECT_EQ(std::atof(got[k].values["double"].c_str()), 1.0 / 8 + i);
        char money[32];
        std::snprintf(money, sizeof money, "%.2f", -3.14159 * i);
        EXPECT_EQ(got[k].values["money"], money);
        EXPECT_EQ(got[k].values["day"], "2024/01/31");
        EXPECT_EQ(got[k].values["flag"], i % 2 != 0 ? "T" : "F");
    }
}

}  // namespace
