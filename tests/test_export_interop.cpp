#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
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

// Every sample imported and exported again: ogrinfo finds every object we wrote. (GDAL cannot
// read gdal_all_possible_fields/all_possible_fields.mif itself, but reads our copy of it.)
TEST(ExportInterop, OgrinfoReadsEveryObjectOfEverySampleWeWrite) {
    if (SamplesDir().empty() || NoOgrinfo() != nullptr) {
        GTEST_SKIP() << "needs MIF_SAMPLES_DIR and ogrinfo (Debian package gdal-bin)";
    }
    size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(SamplesDir())) {
        std::string ext = entry.path().extension().string();
        if (ext != ".mif" && ext != ".MIF") {
            continue;
        }
        SCOPED_TRACE(entry.path().string());
        TempDir dir;
        CExportDocument doc;
        ASSERT_TRUE(ImportThroughPlugin(entry.path().string(), doc));
        ASSERT_NE(SaveThroughPlugin(doc.document, dir.Path("copy.mif")).result, 0);
        EXPECT_EQ(OgrFeatureCount(dir.Path("copy.mif")), doc.vector->GetObjectCount());
        ++files;
    }
    EXPECT_GE(files, 20u);
}

// The cases other readers lose data on, written through XF_Save and read back by ogrinfo and by
// our own reader: texts of a companion text layer, wide and unlisted pens, values at the edges
// of their types, column names readers take for keywords, empty sections and rings, quotes in
// font names.
TEST(ExportInterop, OtherReadersAndOursReadEveryObjectAndValue) {
    TempDir dir;
    CExportDocument doc;
    Cgeo_Vector* vector = doc.vector;
    CGEO geo;
    doc.AddPoints({{1, 2, 0}});
    VECTOR_LINE_STYLE wide{0x0000FF, 13, 0.0, 0,
                           geo.GetApp()->GetStyleManager()->GetDefaultLineStyle()->GetLine()};
    doc.AddLine({{{0, 0, 0}, {5, 5, 0}}}, &wide);
    CXF_StyleObject* own = CXF_StyleObject::Create("own");
    VECTOR_LINE_STYLE ownStyle{0x00FF00, 1, 0.0, 0, own->GetLine()};
    doc.AddLine({{{0, 0, 0}, {1, 1, 0}, {2, 0, 0}}}, &ownStyle);
    own->Release();
    doc.AddLine({{}, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}});
    Cgeo_VectorObject* hollow = vector->CreateObject(XF_OBJ_POLYGON);
    hollow->GetObjPolygon()->SetPolygonSize(2);
    doc.Add(hollow);
    Cgeo_VectorObject* polygon = vector->CreateObject(XF_OBJ_POLYGON);
    polygon->GetObjPolygon()->SetPolygonSize(2);
    CXF_PolygonD* ring = polygon->GetObjPolygon()->GetRegion()->GetPolygon(1);
    const tagXF_POINT3DD square[4] = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}};
    ring->SetSize(4);
    std::copy(square, square + 4, ring->GetData());
    doc.Add(polygon);
    CXF_StyleObject* font = CXF_StyleObject::Create("font");
    font->GetText()->SetFaceName("Ari\"al");
    font->GetText()->SetFlags(XF_TEXT_BOLD);
    VECTOR_TEXT_STYLE textStyle{0x0000FF, 0, 2.0, 0.0, 0, font->GetText()};
    Cgeo_VectorObject* label = vector->CreateObject(XF_OBJ_TEXT);
    label->GetObjText()->SetText("t");
    label->GetObjText()->SetStyle(&textStyle);
    doc.Add(label);
    font->Release();
    Cgeo_Layers* layers = doc.document.GetLayers();
    Cgeo_Text* text = layers->GetLayer(layers->AddLayer("TEXT", false, 7))->GetText();
    for (const char* item : {"a", "b", "c", "d"}) {
        text->AddItem()->AddLine()->AddPart(item, XF_MakeFontAttributes("Ari\"al", 700));
    }

    doc.AddColumn("Data", 3);
    doc.AddColumn("Point", 5);
    doc.AddColumn("Columns", 7);
    doc.AddColumn("my col", 8);
    doc.AddColumn("my_col", 1, 0);
    doc.AddColumn("", 1, 300);
    doc.AddColumn("day", 10);
    const int kObjects = 7;
    auto single = [](int k) { return k == 0 ? 1.25e-7f : k == 1 ? 1234567.891f : 0.5f * k; };
    auto real = [](int k) {
        return k == 2   ? std::numeric_limits<double>::infinity()
               : k == 3 ? std::numeric_limits<double>::quiet_NaN()
                        : k + 0.5;
    };
    for (int k = 0; k < kObjects; ++k) {
        doc.SetValue(k, 0, static_cast<uint16_t>(60000 - k));
        doc.SetValue(k, 1, static_cast<uint32_t>(3000000000u + k));
        doc.SetValue(k, 2, single(k));
        doc.SetValue(k, 3, real(k));
        doc.SetText(k, 4, "x");
        doc.SetText(k, 5, ("v" + std::to_string(k)).c_str());
        const uint16_t day[3] = {static_cast<uint16_t>(k == 0 ? 0 : 2024), 1,
                                 static_cast<uint16_t>(k)};
        doc.SetValue(k, 6, day);
    }
    std::string path = dir.Path("items.mif");
    ASSERT_EQ(SaveThroughPlugin(doc.document, path).result, 2);

    // Our reader.
    CExportDocument back;
    ASSERT_TRUE(ImportThroughPlugin(path, back));
    ASSERT_EQ(back.vector->GetObjectCount(), kObjects + 4);
    Cgeo_VectorTable* table = back.vector->GetVectorTable();
    const char* names[] = {"Data_1", "Point_1", "Columns_1", "my_col", "my_col_1", "_", "day"};
    for (int j = 0; j < 7; ++j) {
        ASSERT_NE(table->GetVectorColumns()->Get(j), nullptr);
        EXPECT_EQ(table->GetVectorColumns()->Get(j)->name, names[j]);
    }
    auto value = [table](int k, int j, auto v) {
        const void* stored = table->GetColumnValue(k, j);
        if (stored != nullptr) {
            std::memcpy(&v, stored, sizeof v);
        }
        return v;
    };
    for (int k = 0; k < kObjects; ++k) {
        SCOPED_TRACE("our reader, object " + std::to_string(k));
        EXPECT_EQ(value(k, 0, int32_t{}), 60000 - k);
        EXPECT_EQ(value(k, 1, double{}), 3000000000.0 + k);
        EXPECT_EQ(value(k, 2, float{}), single(k));
        EXPECT_EQ(value(k, 3, float{}), std::isfinite(real(k)) ? static_cast<float>(real(k)) : 0.0f)
            << "floats pass the host in single precision; no value reads as 0";
        EXPECT_STREQ(static_cast<const char*>(table->GetColumnValue(k, 5)),
                     ("v" + std::to_string(k)).c_str());
        EXPECT_EQ(table->GetColumnValue(k, 6) == nullptr, k == 0) << "year 0 is no date";
    }
    Cgeo_VectorObjectStream stream(back.vector, XF_STREAM_READ);
    for (int k : {1, 2}) {
        VECTOR_LINE_STYLE pen{};
        stream.GetVectorObject(k, nullptr, nullptr)->GetObjLine()->GetStyle(&pen);
        ASSERT_NE(pen.style, nullptr);
        EXPECT_TRUE(pen.style->IsVisible()) << "object " << k;
        EXPECT_EQ(pen.width, k == 1 ? 13u : 1u) << "object " << k;
        pen.style->GetStyleObject()->Release();
    }
    EXPECT_EQ(stream.GetVectorObject(3, nullptr, nullptr)->GetObjLine()->GetNumSection(), 1);
    EXPECT_EQ(stream.GetVectorObject(4, nullptr, nullptr)->GetType(), XF_OBJ_EMPTY);
    EXPECT_EQ(stream.GetVectorObject(5, nullptr, nullptr)->GetObjPolygon()->GetPolygonSize(), 1);
    for (int k = kObjects - 1; k < kObjects + 4; ++k) {
        VECTOR_TEXT_STYLE style{};
        stream.GetVectorObject(k, nullptr, nullptr)->GetObjText()->GetStyle(&style);
        ASSERT_NE(style.style, nullptr) << "object " << k;
        EXPECT_EQ(style.style->GetFlags() & XF_TEXT_BOLD, XF_TEXT_BOLD) << "object " << k;
        style.style->GetStyleObject()->Release();
    }

    if (NoOgrinfo() != nullptr) {
        GTEST_SKIP() << "ogrinfo is not installed (Debian package gdal-bin)";
    }
    std::string report;
    std::vector<COgrFeature> got = OgrFeatures(path, report);
    ASSERT_EQ(got.size(), static_cast<size_t>(kObjects + 4)) << report;
    EXPECT_EQ(report.find("ERROR"), std::string::npos) << report;
    for (int k = 0; k < kObjects + 4; ++k) {
        SCOPED_TRACE("ogrinfo, object " + std::to_string(k));
        std::map<std::string, std::string>& v = got[static_cast<size_t>(k)].values;
        const std::string& style = got[static_cast<size_t>(k)].style;
        if (k >= kObjects) {
            EXPECT_NE(
                style.find("LABEL(t:\"" + std::string(1, static_cast<char>('a' + k - kObjects))),
                std::string::npos)
                << style;
        }
        if (k >= kObjects - 1) {
            EXPECT_NE(style.find("bo:1"), std::string::npos) << style;
            continue;
        }
        EXPECT_EQ(v["Data_1"], std::to_string(60000 - k));
        EXPECT_EQ(std::atof(v["Point_1"].c_str()), 3000000000.0 + k);
        EXPECT_EQ(static_cast<float>(std::atof(v["Columns_1"].c_str())), single(k));
        if (std::isfinite(real(k))) {
            EXPECT_EQ(std::atof(v["my_col"].c_str()), real(k));
        }
        EXPECT_EQ(v["my_col_1"], "x");
        EXPECT_EQ(v["_"], "v" + std::to_string(k));
        if (k == 1 || k == 2) {
            EXPECT_NE(style.find("mapinfo-pen-2,"), std::string::npos) << "a visible pen";
        }
    }
    EXPECT_NE(got[1].style.find("w:9"), std::string::npos) << got[1].style;
    EXPECT_EQ(got[4].geometry, "") << "the None object";
    EXPECT_EQ(got[5].geometry, "POLYGON ((0 0,4 0,4 4,0 4,0 0))");
}

}  // namespace
