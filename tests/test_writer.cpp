#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "mif/reader/mif_reader.h"
#include "mif/writer/line_format.h"
#include "mif/writer/mif_writer.h"
#include "mif/writer/write_behind.h"
#include "mif_text.h"
#include "test_util.h"

namespace {

const char kFixedHeader[] =
    "Version 300\r\nCharset \"WindowsCyrillic\"\r\nDelimiter \",\"\r\n"
    "CoordSys Earth Projection 1, 0\r\n";

void AddColumn(CMifWriter& f, const char* name, int32_t type, int32_t width = 0,
               int32_t decimals = 0) {
    f.header.columns.Append(CMifColumn{name, type, width, decimals});
}

// The lines that one object gives after the header.
std::string ObjectBytes(CMifObject& record) {
    TempDir dir;
    CMifWriter f;
    EXPECT_EQ(f.Create(dir.Path("o.mif").c_str()), 1);
    EXPECT_NE(f.WriteObject(record), 0);
    f.Close();
    std::string all = ReadFile(dir.Path("o.mif"));
    return all.substr(all.find("Data\r\n") + 6);
}

TEST(HeaderWriter, TwoColumnExampleAndTheMidFileBesideIt) {
    TempDir dir;
    WriteFile(dir.Path("roads.mif"), std::string(5000, 'x'));
    CMifWriter f;
    AddColumn(f, "NAME", kColChar, 20);
    AddColumn(f, "AREA", kColDecimal, 12, 3);
    ASSERT_EQ(f.Create(dir.Path("roads.mif").c_str()), 1);
    f.SetValue(0, "a");
    f.SetValue(1, "2.5");
    EXPECT_EQ(f.WriteValues(), 1);
    f.Close();
    EXPECT_FALSE(f.WriteFailed());
    EXPECT_EQ(ReadFile(dir.Path("roads.mif")), std::string(kFixedHeader) +
                                                   "Columns 2\r\nNAME char (20)\r\n"
                                                   "AREA decimal (12,3)\r\n\r\nData\r\n")
        << "the old, longer file is replaced";
    EXPECT_EQ(ReadFile(dir.Path("roads.mid")), "\"a\",2.5\r\n");
}

// The other types are in the round trip's header below.
TEST(HeaderWriter, UnknownTypesAsCharAndNamesKeptOneWord) {
    TempDir dir;
    CMifWriter f;
    AddColumn(f, "i", kColInteger, 9);  // the width of a non-char type is not written
    AddColumn(f, "n8", 8);
    AddColumn(f, "nm", -1);
    AddColumn(f, "Main St\treet", kColChar, 10);
    AddColumn(f, "", kColInteger);
    ASSERT_EQ(f.Create(dir.Path("t.mif").c_str()), 1);
    f.Close();
    EXPECT_EQ(ReadFile(dir.Path("t.mif")), std::string(kFixedHeader) +
                                               "Columns 5\r\ni integer\r\nn8 char (32)\r\n"
                                               "nm char (32)\r\nMain_St_reet char (10)\r\n"
                                               "_ integer\r\n\r\nData\r\n");
}

// (Folders and files held elsewhere are the export failure tests'.)
TEST(HeaderWriter, AMifPathEndingInMidIsNotItsOwnMidFile) {
    TempDir dir;
    CMifWriter f;
    EXPECT_EQ(f.Create(dir.Path("c.mid").c_str()), 0);
    EXPECT_EQ(f.WriteValues(), 0) << "no MID file is open";
}

// Records the round trip does not hold: defaults that write no clause, a z that is never
// written, lines longer than the stack buffer, broken section lists, kinds that write nothing.
TEST(ObjectWriter, AbsentStylesLongLinesAndBrokenRecords) {
    CMifRegion region;  // no nodes: only the clauses follow the section count
    region.pen = {7, -1, 0x123456};
    region.brush = {-1, 5, 0};
    EXPECT_EQ(ObjectBytes(region), "Region 0\r\n\r\n") << "pattern -1: no clause";
    CMifPoint point;
    point.point = {37.6175, 55.7558, 9.0};
    EXPECT_EQ(ObjectBytes(point), "Point 37.617500 55.755800\r\n\r\n") << "z never, no symbol";
    CMifText text;
    text.text = "Say \"hi\"\r\nthen\nbye\\n";
    text.font = {"Arial", 0, 9, 0, -1};
    text.justify = kJustifyCenter;
    EXPECT_EQ(ObjectBytes(text),
              "Text \"Say \"\"hi\"\"\\nthen\\nbye\\n\"\r\n0.000000 0.000000 0.000000 0.000000\r\n"
              "Font (\"Arial\",0,9,0)\r\nJustify Center\r\n\r\n")
        << "a raw line break would split the Text line; an escape already there is kept";
    text.font.name = std::string(3000, 'F');
    EXPECT_NE(ObjectBytes(text).find("Font (\"" + text.font.name + "\",0,9,0)\r\n"),
              std::string::npos);

    CMifPline broken;  // a start past the nodes gives an empty section, not missing node lines
    broken.sectionStarts = {0, 5};
    broken.nodes = {{1, 1}};
    EXPECT_EQ(ObjectBytes(broken), "Pline Multiple 2\r\n1\r\n1.000000 1.000000\r\n0\r\n\r\n");
    CMifPline noSections;
    EXPECT_EQ(ObjectBytes(noSections), "Pline Multiple 0\r\n\r\n");

    CMifObject unknown(static_cast<MifObjectType>(12));
    TempDir dir;
    CMifWriter f;
    ASSERT_EQ(f.Create(dir.Path("u.mif").c_str()), 1);
    EXPECT_EQ(f.WriteObject(unknown), 0);
}

// Writes the records given as one list of values per record; returns the MID file.
std::string MidBytes(std::initializer_list<std::initializer_list<const char*>> records) {
    TempDir dir;
    CMifWriter f;
    AddColumn(f, "c", kColChar, 10);
    AddColumn(f, "i", kColInteger);
    AddColumn(f, "f", kColFloat);
    AddColumn(f, "u", kColNone);
    EXPECT_EQ(f.Create(dir.Path("m.mif").c_str()), 1);
    for (const auto& values : records) {
        int i = 0;
        for (const char* value : values) {
            f.SetValue(i++, value);
        }
        EXPECT_EQ(f.WriteValues(), 1);
    }
    f.Close();
    return ReadFile(dir.Path("m.mid"));
}

TEST(MidWriter, RecordsQuotedDelimitedAndOneLineEach) {
    EXPECT_EQ(MidBytes({{"", "", "", ""}}), "\"\",,,\"\"\r\n") << "empty text is two quotes";
    EXPECT_EQ(MidBytes({{"x", "1"}}), "\"x\",1\r\n") << "only up to the highest value set";
    EXPECT_EQ(MidBytes({{"1\"b", nullptr, "a,b"}}), "\"1\"\"b\",,a,b\r\n")
        << "a quote in text is doubled; other columns are written as handed over";
    EXPECT_EQ(MidBytes({{"a,b", "1", "2", "x,\"y\""}}), "\"a,b\",1,2,\"x,\"\"y\"\"\"\r\n")
        << "a column written as char in the header is quoted like one";
    EXPECT_EQ(MidBytes({{"one\r\ntwo\rthree\nfour", "1\n2"}, {"next"}}),
              "\"one\\ntwo\\nthree\\nfour\",1\\n2\r\n\"next\"\r\n")
        << "line breaks in any value become \\n, so records neither split nor merge";

    TempDir dir;
    CMifWriter f;
    AddColumn(f, "c", kColChar, 10);
    f.SetValue(0, "not open");
    EXPECT_EQ(f.WriteValues(), 0);
    ASSERT_EQ(f.Create(dir.Path("n.mif").c_str()), 1);
    f.SetValue(1, "past the columns");
    f.SetValue(-1, "before the columns");
    EXPECT_EQ(f.WriteValues(), 1);
    f.Close();
    EXPECT_EQ(ReadFile(dir.Path("n.mid")), "\r\n");
}

// Every kind with its styles and options. Numbers have at most six decimals, so a reader gets
// them back exactly.
std::vector<CMifObjectPtr> EveryKind() {
    std::vector<CMifObjectPtr> records;
    auto add = [&records](int32_t kind) {
        records.emplace_back(CreateMifObject(kind));
        return records.back().get();
    };
    add(kMifNone);
    const CMifSymbol symbols[] = {{kSymbolVector, 35, 0x0000FF, 12, "", "", 0, 0.0},
                                  {kSymbolFont, 35, 0x0000FF, 12, "Wingdings", "", 1, 45.5},
                                  {kSymbolBitmap, 0, 0x0000FF, 12, "", "pin.bmp", 1, 0.0}};
    for (const CMifSymbol& symbol : symbols) {
        auto* point = static_cast<CMifPoint*>(add(kMifPoint));
        point->point = {37.617512, -55.755801};
        point->symbol = symbol;
    }
    auto* line = static_cast<CMifLine*>(add(kMifLine));
    line->start = {-1.5, 2.25};
    line->end = {1000000.125, -0.000001};
    line->pen = {3, 2, 0x123456};
    auto* pline = static_cast<CMifPline*>(add(kMifPline));
    pline->sectionStarts = {0, 2};
    pline->nodes = {{0, 0}, {1.5, 1}, {5, 5}, {6, 6.25}, {7, 7}};
    pline->smooth = true;
    pline->pen = {1, 5, 0xFF};
    auto* single = static_cast<CMifPline*>(add(kMifPline));
    single->BeginSection();
    single->nodes = {{1, 2}, {3, 4}};
    auto* region = static_cast<CMifRegion*>(add(kMifRegion));
    region->sectionStarts = {0, 4};
    region->nodes = {{0, 0}, {10, 0}, {10, 10}, {0, 0}, {2, 2}, {3, 2}, {2, 3}};
    region->hasCenter = true;
    region->center = {5, 5};
    region->pen = {2, 2, 0};
    region->brush = {2, 0x00FF00, 0xFFFFFF};
    for (int32_t kind : {kMifRect, kMifRoundRect, kMifEllipse}) {
        auto* rect = static_cast<CMifRect*>(add(kind));
        rect->corner1 = {1, 2};
        rect->corner2 = {3.5, 4.5};
        rect->brush = {5, 0xFF, -1};
        if (kind == kMifRoundRect) {
            static_cast<CMifRoundRect*>(rect)->radius = 0.25f;
        }
    }
    auto* arc = static_cast<CMifArc*>(add(kMifArc));
    arc->corner2 = {2, 2};
    arc->startAngle = 12.5f;
    arc->endAngle = 270.0f;
    arc->pen = {1, 2, 0};
    auto* text = static_cast<CMifText*>(add(kMifText));
    text->text = "Say \"hi\", then\nmore";
    text->corner1 = {1, 2};
    text->corner2 = {3, 4};
    text->font = {"Times New Roman", 1, 10, 0xFF, 0xFFFF00};
    text->spacing = 1.5f;
    text->justify = kJustifyRight;
    text->angle = 45.0f;
    text->labelLine = kLabelArrow;
    text->labelPoint = {9, 8};
    auto* multi = static_cast<CMifMultiPoint*>(add(kMifMultiPoint));
    multi->points.resize(3);
    multi->points[1] = {1, 1};
    multi->points[2] = {-2, 2.5};
    multi->symbol = {kSymbolVector, 33, 0, 9, "", "", 0, 0.0};
    auto* collection = static_cast<CMifCollection*>(add(kMifCollection));
    collection->region = std::make_unique<CMifRegion>(*region);
    collection->pline = std::make_unique<CMifPline>(*pline);
    collection->multiPoint = std::make_unique<CMifMultiPoint>(*multi);

    return records;
}

// A record of every column type per object; the char value holds a quote, a delimiter and a line
// break, and so does the value of the column of an unknown type.
const int32_t kEveryType[] = {kColChar,  kColInteger, kColSmallInt, kColDecimal,
                              kColFloat, kColDate,    kColLogical,  kColNone};
const char* const kTypeNames[] = {"name",  "count", "small", "amount",
                                  "ratio", "day",   "flag",  "other"};
// readBack: as a reader hands it out, the quote single and the line break a line feed.
std::vector<std::string> Values(size_t k, bool readBack = false) {
    std::string text = "a \"" + std::to_string(k) + "\", b" + (readBack ? "\n" : "\r\n") + "c";
    return {text, std::to_string(k), "-3", "1.500", "2.25", "20240131", "T", "x,y"};
}

void WriteEveryKind(const std::string& path, const std::vector<CMifObjectPtr>& records) {
    CMifWriter out;
    for (int i = 0; i < 8; ++i) {
        AddColumn(out, kTypeNames[i], kEveryType[i], 40, 3);
    }
    ASSERT_EQ(out.Create(path.c_str()), 1);
    for (size_t k = 0; k < records.size(); ++k) {
        EXPECT_NE(out.WriteObject(*records[k]), 0);
        std::vector<std::string> values = Values(k);
        for (int i = 0; i < 8; ++i) {
            out.SetValue(i, values[static_cast<size_t>(i)].c_str());
        }
        EXPECT_EQ(out.WriteValues(), 1);
    }
    out.Close();
    ASSERT_FALSE(out.WriteFailed());
}

TEST(RoundTrip, EveryKindWrittenExactlyAndReadBackUnchanged) {
    std::vector<CMifObjectPtr> records = EveryKind();
    TempDir dir;
    WriteEveryKind(dir.Path("k.mif"), records);
    const std::string point = "Point 37.617512 -55.755801\r\nSymbol (";
    const std::string pline =
        "Pline Multiple 2\r\n2\r\n0.000000 0.000000\r\n1.500000 1.000000\r\n3\r\n5.000000 "
        "5.000000\r\n"
        "6.000000 6.250000\r\n7.000000 7.000000\r\nSmooth\r\nPen (1,5,16711680)\r\n";
    const std::string region =
        "Region 2\r\n4\r\n0.000000 0.000000\r\n10.000000 0.000000\r\n10.000000 10.000000\r\n"
        "0.000000 0.000000\r\n3\r\n2.000000 2.000000\r\n3.000000 2.000000\r\n2.000000 3.000000\r\n"
        "Center 5.000000 5.000000\r\nPen (2,2,0)\r\nBrush (2,65280,16777215)\r\n";
    const std::string corners = " 1.000000 2.000000 3.500000 4.500000\r\n";
    const std::string multi =
        "MultiPoint 3\r\n0.000000 0.000000\r\n1.000000 1.000000\r\n-2.000000 2.500000\r\n"
        "Symbol (33,0,9)\r\n";  // only the first point's symbol
    const std::string expected =
        "Data\r\nNone\r\n\r\n" + point + "35,16711680,12)\r\n\r\n" + point +
        "35,16711680,12,\"Wingdings\",1,45.500000)\r\n\r\n" + point +
        "\"pin.bmp\",16711680,12,1)\r\n\r\n"
        "Line -1.500000 2.250000 1000000.125000 -0.000001\r\nPen (3,2,5649426)\r\n\r\n" +
        pline + "\r\nPline\r\n2\r\n1.000000 2.000000\r\n3.000000 4.000000\r\n\r\n" + region +
        "\r\nRect" + corners + "Brush (5,16711680)\r\n\r\nRoundRect" + corners +
        "0.250000\r\nBrush (5,16711680)\r\n\r\nEllipse" + corners +
        "Brush (5,16711680)\r\n\r\n"
        "Arc 0.000000 0.000000 2.000000 2.000000\r\n12.500000 270.000000\r\nPen (1,2,0)\r\n\r\n"
        "Text \"Say \"\"hi\"\", then\\nmore\"\r\n1.000000 2.000000 3.000000 4.000000\r\n"
        "Font (\"Times New Roman\",1,10,16711680,65535)\r\nSpacing 1.5\r\nJustify Right\r\n"
        "Angle 45.000000\r\nLabel Line arrow 9.000000 8.000000\r\n\r\n" +
        multi + "\r\nCollection 3\r\n" + region + pline + multi + "\r\n";
    EXPECT_EQ(ReadFile(dir.Path("k.mif")),
              std::string(kFixedHeader) +
                  "Columns 8\r\nname char (40)\r\ncount integer\r\nsmall smallint\r\n"
                  "amount decimal (20,3)\r\nratio float\r\nday date\r\nflag logical\r\n"
                  "other char (32)\r\n\r\n" +
                  expected);

    CMifReader in;
    ASSERT_EQ(in.Open(dir.Path("k.mif").c_str()), 1);
    ASSERT_EQ(in.Header().columns.GetCount(), 8);
    in.Rewind();
    size_t k = 0;
    for (; in.IsEof() == 0 && k < records.size(); ++k, in.MoveNext()) {
        SCOPED_TRACE("object " + std::to_string(k));
        EXPECT_EQ(Dump(in.ReadObject()), Dump(records[k].get()));
        std::vector<std::string> values = Values(k, true);
        for (int i = 0; i < 8; ++i) {
            std::string value;
            EXPECT_EQ(in.GetFieldValue(i, value), 1);
            EXPECT_EQ(value, values[static_cast<size_t>(i)]);
        }
    }
    EXPECT_EQ(k, records.size());
    EXPECT_EQ(in.IsEof(), 1);
}

// GDAL's ogrinfo reads what we write: every object, its geometry and every value.
TEST(InteropWrite, OgrinfoReadsEveryKindAndEveryColumnType) {
    if (const char* why = NoProgram("ogrinfo")) {
        GTEST_SKIP() << why;
    }
    std::vector<CMifObjectPtr> records = EveryKind();
    TempDir dir;
    std::string path = dir.Path("every kind.mif");
    WriteEveryKind(path, records);
    std::string report;
    std::vector<COgrFeature> got = OgrFeatures(path, report);
    ASSERT_EQ(got.size(), records.size()) << report;
    EXPECT_EQ(report.find("ERROR"), std::string::npos) << report;
    const char* geometry[] = {
        "",
        "POINT (37.617512 -55.755801)",
        "POINT (37.617512 -55.755801)",
        "POINT (37.617512 -55.755801)",
        "LINESTRING (-1.5 2.25,1000000.125 -0.000001)",
        "MULTILINESTRING ((0 0,1.5 1.0),(5 5,6.0 6.25,7 7))",
        "LINESTRING (1 2,3 4)",
        "POLYGON ((0 0,10 0,10 10,0 0),(2 2,3 2,2 3,2 2))",
        "POLYGON ((1 2,3.5 2.0,3.5 4.5,1.0 4.5,1 2))",
        "POLYGON ((",  // round rectangle, ellipse and arc as GDAL approximates them
        "POLYGON ((",
        "LINESTRING (",
        "POINT (",  // the text's anchor
        "MULTIPOINT ((0 0),(1 1),(-2 2.5))",
        ("GEOMETRYCOLLECTION (POLYGON ((0 0,10 0,10 10,0 0),(2 2,3 2,2 3,2 2)),MULTILINESTRING ((0 "
         "0,1.5 1.0),(5 5,6.0 6.25,7 7)),MULTIPOINT ((0 0),(1 1),(-2 2.5)))")};
    ASSERT_EQ(std::size(geometry), records.size());
    for (size_t k = 0; k < got.size(); ++k) {
        SCOPED_TRACE("object " + std::to_string(k));
        EXPECT_EQ(got[k].geometry.substr(0, std::strlen(geometry[k])), geometry[k]);
        std::vector<std::string> values = Values(k, true);
        values[0].replace(values[0].find('\n'), 1, "\\n");  // GDAL keeps the escape as written
        values[5] = "2024/01/31";
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(got[k].values[kTypeNames[i]], values[static_cast<size_t>(i)])
                << kTypeNames[i];
        }
    }
}

// Reals are written exactly as printf's %f writes them, over the whole range of magnitudes,
// halfway cases (k/128 and the like are exact ties) and values just beside them included.
TEST(WriterNumbers, RealsAsPrintfWritesThem) {
    TempDir dir;
    std::string path = dir.Path("numbers.mif");
    std::vector<double> values = {0.0,          -0.0,          0.0078125,
                                  -0.0078125,   1e-7,          -1e-7,
                                  4.9999995e-7, 5e-7,          999999999.9999995,
                                  1e9,          -1e9,          1e15,
                                  1e300,        0.1,           2.675,
                                  1.0000005,    123456.7890125};
    values.insert(values.end(), {987654321.4999995, 5.5e-7, -2.5e-6, -0.4999995});
    uint64_t state = 12345;
    auto next = [&state]() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state;
    };
    for (int i = 0; i < 200000; ++i) {
        int exponent = static_cast<int>(next() % 40) - 20;
        double v =
            static_cast<double>(next() % 1000000007) / 1000000007.0 * std::pow(10.0, exponent);
        values.push_back(next() % 2 ? v : -v);
        double tie = static_cast<double>(next() % 100000) / 128.0;
        values.push_back(tie);
        values.push_back(std::nextafter(tie, 1e300));
        values.push_back(std::nextafter(tie, 0.0));
    }
    CTextFile f;
    ASSERT_EQ(f.OpenWrite(path.c_str()), 1);
    std::string expected;
    char line[1100];
    // Each value alone, then with its neighbour as a node line (formatted in the write buffer).
    for (size_t i = 0; i < values.size(); ++i) {
        double v = values[i];
        double w = values[(i + 1) % values.size()];
        ASSERT_NE(WriteFormattedLine(f, "%f", v), 0);
        ASSERT_NE(WriteNodeLine(f, v, w), 0);
        std::snprintf(line, sizeof line, "%f\r\n%f %f\r\n", v, v, w);
        expected += line;
    }
    f.CloseFile();
    std::string written = ReadFile(path);
    ASSERT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected)
        << "first difference at byte "
        << std::mismatch(written.begin(), written.end(), expected.begin()).first - written.begin();
}

// Written behind on a second thread, the objects come out in their order, byte for byte as when
// each is written when given, beside the MID records written meanwhile: small objects and ones
// that fill a batch alone.
TEST(WriteBehind, WritesWhatWritingEachWrites) {
    std::vector<CMifObjectPtr> records;
    for (int i = 0; i < 2000; ++i) {
        CMifObjectPtr record(CreateMifObject(i % 2 == 0 ? kMifPline : kMifPoint));
        if (record->kind == kMifPline) {
            auto& pline = static_cast<CMifPline&>(*record);
            pline.BeginSection();
            int nodes = i == 600 ? 100000 : 2 + i % 5;
            for (int k = 0; k < nodes; ++k) {
                pline.nodes.push_back(CNode{i + k * 0.5, -k * 0.25, 0.0});
            }
        } else {
            static_cast<CMifPoint&>(*record).point = CNode{i * 1.5, 2.0, 0.0};
        }
        records.push_back(std::move(record));
    }
    TempDir dir;
    auto write = [&](const char* name, bool behind) {
        CMifWriter f;
        AddColumn(f, "n", kColInteger);
        EXPECT_EQ(f.Create(dir.Path(name).c_str()), 1);
        CMifWriteBehind objects(f);
        CMifRecordPool pool;
        for (size_t i = 0; i < records.size(); ++i) {
            if (behind) {
                CMifObjectPtr copy(CreateMifObject(records[i]->kind));
                if (copy->kind == kMifPline) {
                    static_cast<CMifPline&>(*copy) = static_cast<const CMifPline&>(*records[i]);
                } else {
                    static_cast<CMifPoint&>(*copy) = static_cast<const CMifPoint&>(*records[i]);
                }
                objects.Write(std::move(copy), pool);
            } else {
                f.WriteObject(*records[i]);
            }
            f.SetValue(0, std::to_string(i).c_str());
            f.WriteValues();
        }
        objects.Finish();
        EXPECT_FALSE(objects.Failed());
        f.Close();
    };
    write("each.mif", false);
    write("behind.mif", true);
    std::string each = ReadFile(dir.Path("each.mif"));
    EXPECT_GT(each.size(), 2000000u);
    EXPECT_TRUE(ReadFile(dir.Path("behind.mif")) == each);
    EXPECT_EQ(ReadFile(dir.Path("behind.mid")), ReadFile(dir.Path("each.mid")));
}

}  // namespace
