#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "mif/reader/mif_file.h"
#include "test_util.h"

namespace {

TEST(InteropWrite, OgrinfoReadsEveryKindAndEveryColumnType) {
    if (std::system("command -v ogrinfo >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ogrinfo is not installed (Debian package gdal-bin)";
    }
    TempDir dir;
    std::string path = dir.Path("every kind.mif");
    CMifFile f;
    const char* names[] = {"name", "count", "small", "amount", "ratio", "day", "flag", "other"};
    int32_t types[] = {kColChar,  kColInteger, kColSmallInt, kColDecimal,
                       kColFloat, kColDate,    kColLogical,  kColNone};
    for (int i = 0; i < 8; ++i) {
        f.columns.Append(CMifColumn{names[i], types[i], i == 0 ? 40 : 12, 3});
    }
    ASSERT_EQ(f.Create(path.c_str()), 1);

    std::vector<CMifObjectPtr> records;
    for (int32_t kind = 0; kind < kMifKindCount; ++kind) {
        records.emplace_back(CreateMifObject(kind));
    }
    static_cast<CMifPoint*>(records[1].get())->point = {37.6175, 55.7558};
    *static_cast<CMifLine*>(records[2].get()) = {};
    static_cast<CMifLine*>(records[2].get())->end = {3, -4.25};
    auto* pline = static_cast<CMifPline*>(records[3].get());
    pline->sectionStarts = {0, 2};
    pline->nodes = {{0, 0}, {1, 1}, {5, 5}, {6, 6}};
    auto* region = static_cast<CMifRegion*>(records[4].get());
    region->BeginSection();
    region->nodes = {{0, 0}, {10, 0}, {10, 10}, {0, 0}};
    region->brush = {2, 0xFFFFFF, -1};
    static_cast<CMifRect*>(records[5].get())->corner1 = {1, 2};
    static_cast<CMifRect*>(records[5].get())->corner2 = {3, 4};
    static_cast<CMifRoundRect*>(records[6].get())->corner2 = {4, 4};
    static_cast<CMifArc*>(records[7].get())->corner2 = {2, 2};
    static_cast<CMifArc*>(records[7].get())->endAngle = 90.0f;
    static_cast<CMifEllipse*>(records[8].get())->corner2 = {3, 4};
    auto* text = static_cast<CMifText*>(records[9].get());
    text->text = "Label";
    text->corner2 = {4, 2};
    text->font = {"Arial", 0, 9, 0, -1};
    auto* multi = static_cast<CMifMultiPoint*>(records[10].get());
    multi->points.resize(3);
    multi->points[1].point = {1, 1};
    multi->points[2].point = {2, 2};
    auto* collection = static_cast<CMifCollection*>(records[11].get());
    collection->pline = std::make_unique<CMifPline>(*pline);
    collection->multiPoint = std::make_unique<CMifMultiPoint>(*multi);

    for (size_t k = 0; k < records.size(); ++k) {
        EXPECT_NE(f.WriteObject(records[k].get()), 0);
        std::string n = std::to_string(k);
        const char* values[] = {"", n.c_str(), "-3", "1.500", "2.25", "20240131", "T", "x,y"};
        std::string quoted = "v" + n + " \"q\", x";
        values[0] = quoted.c_str();
        for (int i = 0; i < 8; ++i) {
            f.SetValue(i, values[i]);
        }
        EXPECT_EQ(f.WriteValues(), 1);
    }
    f.Close();
    ASSERT_FALSE(f.WriteFailed());

    std::string report;
    std::vector<COgrFeature> got = OgrFeatures(path, report);
    ASSERT_EQ(got.size(), records.size()) << report;
    EXPECT_EQ(report.find("ERROR"), std::string::npos) << report;
    const char* geometry[] = {"",
                              "POINT (37.6175 55.7558)",
                              "LINESTRING (0 0,3.0 -4.25)",
                              "MULTILINESTRING ((0 0,1 1),(5 5,6 6))",
                              "POLYGON ((0 0,10 0,10 10,0 0))",
                              "POLYGON ((1 2,3 2,3 4,1 4,1 2))",
                              "POLYGON ((",
                              "LINESTRING (",
                              "POLYGON ((",
                              "POINT (",
                              "MULTIPOINT ((0 0),(1 1),(2 2))",
                              "GEOMETRYCOLLECTION (MULTILINESTRING ((0 0,1 1),(5 5,6 "
                              "6)),MULTIPOINT ((0 0),(1 1),(2 2)))"};
    for (size_t k = 0; k < got.size(); ++k) {
        SCOPED_TRACE("object " + std::to_string(k));
        EXPECT_EQ(got[k].geometry.substr(0, std::string(geometry[k]).size()), geometry[k]);
        EXPECT_EQ(got[k].values["name"], "v" + std::to_string(k) + " \"q\", x");
        EXPECT_EQ(got[k].values["count"], std::to_string(k));
        EXPECT_EQ(got[k].values["small"], "-3");
        EXPECT_EQ(got[k].values["amount"], "1.500");
        EXPECT_EQ(got[k].values["ratio"], "2.25");
        EXPECT_EQ(got[k].values["day"], "2024/01/31");
        EXPECT_EQ(got[k].values["flag"], "T");
        EXPECT_EQ(got[k].values["other"], "x,y");
    }
}

}  // namespace
