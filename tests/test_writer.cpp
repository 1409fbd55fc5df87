#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>

#include "mif/reader/mif_file.h"
#include "test_util.h"

namespace {

const char kFixedHeader[] =
    "Version 300\r\nCharset \"WindowsCyrillic\"\r\nDelimiter \",\"\r\n"
    "CoordSys Earth Projection 1, 0\r\n";

void AddColumn(CMifFile& f, const char* name, int32_t type, int32_t width = 0,
               int32_t decimals = 0) {
    f.columns.Append(CMifColumn{name, type, width, decimals});
}

// The lines that one object gives after the header.
std::string ObjectBytes(CMifObject& record) {
    TempDir dir;
    CMifFile f;
    EXPECT_EQ(f.Create(dir.Path("o.mif").c_str()), 1);
    EXPECT_NE(f.WriteObject(&record), 0);
    f.Close();
    std::string all = ReadFile(dir.Path("o.mif"));
    return all.substr(all.find("Data\r\n") + 6);
}

TEST(HeaderWriter, TwoColumnExampleAndTheMidFileBesideIt) {
    TempDir dir;
    WriteFile(dir.Path("roads.mif"), std::string(5000, 'x'));
    CMifFile f;
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

TEST(HeaderWriter, ColumnLinesByTypeAndNamesKeptOneWord) {
    TempDir dir;
    CMifFile f;
    AddColumn(f, "c", kColChar, 7);
    AddColumn(f, "i", kColInteger, 9);  // the width of a non-char type is not written
    AddColumn(f, "s", kColSmallInt);
    AddColumn(f, "f", kColFloat);
    AddColumn(f, "d", kColDate);
    AddColumn(f, "l", kColLogical);
    AddColumn(f, "n0", kColNone, 5);
    AddColumn(f, "n8", 8);
    AddColumn(f, "nm", -1);
    AddColumn(f, "Main Street", kColChar, 10);
    AddColumn(f, "", kColInteger);
    ASSERT_EQ(f.Create(dir.Path("t.mif").c_str()), 1);
    f.Close();
    EXPECT_EQ(ReadFile(dir.Path("t.mif")),
              std::string(kFixedHeader) +
                  "Columns 11\r\nc char (7)\r\ni integer\r\ns smallint\r\nf float\r\n"
                  "d date\r\nl logical\r\nn0 char (32)\r\nn8 char (32)\r\nnm char (32)\r\n"
                  "Main_Street char (10)\r\n_ integer\r\n\r\nData\r\n");

    CMifFile empty;
    ASSERT_EQ(empty.Create(dir.Path("e.mif").c_str()), 1);
    empty.Close();
    EXPECT_EQ(ReadFile(dir.Path("e.mif")), std::string(kFixedHeader) + "Columns 0\r\n\r\nData\r\n");
}

TEST(HeaderWriter, CreateFailsWhenEitherFileCannotBeMade) {
    TempDir dir;
    CMifFile f;
    EXPECT_EQ(f.Create(dir.Path("no/such/folder/a.mif").c_str()), 0);
    EXPECT_EQ(f.Create(nullptr), 0);
    EXPECT_EQ(f.IsOpen(), 0);

    std::filesystem::create_directory(dir.Path("b.mid"));
    EXPECT_EQ(f.Create(dir.Path("b.mif").c_str()), 0) << "records would be lost";
    EXPECT_EQ(f.IsOpen(), 0);
    EXPECT_EQ(f.midFile.IsOpen(), 0);
    EXPECT_EQ(f.Create(dir.Path("c.mid").c_str()), 0)
        << "a MIF path ending in .mid must not be truncated again as its own MID file";
}

TEST(ClauseWriter, ShortAndLongFormsAndAbsentStyles) {
    CMifRegion region;  // no nodes: only the clauses follow the section count
    region.pen = {1, 2, 0x0000FF};
    region.brush = {2, 0x00FF00, -1};
    EXPECT_EQ(ObjectBytes(region), "Region 0\r\nPen (1,2,16711680)\r\nBrush (2,65280)\r\n\r\n");
    region.pen = {7, -1, 0x123456};
    region.brush = {2, 0x00FF00, 0xFFFFFF};
    EXPECT_EQ(ObjectBytes(region), "Region 0\r\nBrush (2,65280,16777215)\r\n\r\n");
    region.brush = {-1, 5, 0};
    EXPECT_EQ(ObjectBytes(region), "Region 0\r\n\r\n");

    CMifPoint point;
    point.symbol = {0, 35, 0x0000FF, 12, "", "", 0, 0.0};
    EXPECT_EQ(ObjectBytes(point), "Point 0.000000 0.000000\r\nSymbol (35,16711680,12)\r\n\r\n");
    point.symbol = {1, 65, 0, 12, "Wingdings", "", 0, 45.0};
    EXPECT_EQ(ObjectBytes(point),
              "Point 0.000000 0.000000\r\nSymbol (65,0,12,\"Wingdings\",0,45.000000)\r\n\r\n");
    point.symbol = {2, 0, 0xFF0000, 24, "", "pin.bmp", 1, 0.0};
    EXPECT_EQ(ObjectBytes(point),
              "Point 0.000000 0.000000\r\nSymbol (\"pin.bmp\",255,24,1)\r\n\r\n");
    point.symbol.form = 3;
    EXPECT_EQ(ObjectBytes(point), "Point 0.000000 0.000000\r\n\r\n");

    CMifText text;
    text.font = {"Arial", 1, 10, 0, 0x00FFFF};
    EXPECT_NE(ObjectBytes(text).find("\r\nFont (\"Arial\",1,10,0,16776960)\r\n"),
              std::string::npos);
    text.font.backColor = -1;
    EXPECT_NE(ObjectBytes(text).find("\r\nFont (\"Arial\",1,10,0)\r\n"), std::string::npos);
    text.font.name.clear();
    EXPECT_EQ(ObjectBytes(text).find("Font"), std::string::npos);
}

TEST(ObjectWriter, EveryKindExactly) {
    CMifObject none;
    EXPECT_EQ(ObjectBytes(none), "None\r\n\r\n");

    CMifPoint point;
    point.point = {37.6175, 55.7558, 9.0};
    EXPECT_EQ(ObjectBytes(point), "Point 37.617500 55.755800\r\n\r\n") << "z is never written";

    // Lines longer than the stack buffer: numbers as wide as a double gets, a long font name.
    CMifLine wide;
    wide.start = {1e300, -1e300};
    wide.end = {-0.0078125, 0.0000005};
    char expected[1400];
    std::snprintf(expected, sizeof expected, "Line %f %f %f %f\r\n\r\n", 1e300, -1e300, -0.0078125,
                  0.0000005);
    EXPECT_EQ(ObjectBytes(wide), expected);
    CMifText longFont;
    longFont.font.name = std::string(3000, 'F');
    EXPECT_NE(ObjectBytes(longFont).find("Font (\"" + longFont.font.name + "\",0,0,0)\r\n"),
              std::string::npos);

    CMifLine line;
    line.start = {-1.5, 2};
    line.end = {3, -4.25};
    line.pen = {2, 1, 0};
    EXPECT_EQ(ObjectBytes(line),
              "Line -1.500000 2.000000 3.000000 -4.250000\r\nPen (2,1,0)\r\n\r\n");

    CMifRect rect;
    rect.corner1 = {1, 2};
    rect.corner2 = {3, 4};
    EXPECT_EQ(ObjectBytes(rect), "Rect 1.000000 2.000000 3.000000 4.000000\r\n\r\n");
    CMifEllipse ellipse;
    ellipse.corner2 = {3, 4};
    ellipse.brush = {2, 0, -1};
    EXPECT_EQ(ObjectBytes(ellipse),
              "Ellipse 0.000000 0.000000 3.000000 4.000000\r\nBrush (2,0)\r\n\r\n");
    CMifRoundRect round;
    round.radius = 2.5f;
    round.pen = {1, 2, 0};
    EXPECT_EQ(ObjectBytes(round),
              "RoundRect 0.000000 0.000000 0.000000 0.000000\r\n2.500000\r\nPen (1,2,0)\r\n\r\n");
    CMifArc arc;
    arc.endAngle = 90.0f;
    EXPECT_EQ(ObjectBytes(arc),
              "Arc 0.000000 0.000000 0.000000 0.000000\r\n0.000000 90.000000\r\n\r\n");

    CMifPline pline;
    pline.BeginSection();
    pline.nodes = {{0, 0}, {1, 1}};
    pline.smooth = 1;
    pline.pen = {1, 2, 0};
    EXPECT_EQ(
        ObjectBytes(pline),
        "Pline\r\n2\r\n0.000000 0.000000\r\n1.000000 1.000000\r\nSmooth\r\nPen (1,2,0)\r\n\r\n");
    pline.sectionStarts.push_back(2);
    pline.nodes.insert(pline.nodes.end(), {{2, 2}, {3, 3}, {4, 4}});
    pline.smooth = 0;
    pline.pen.pattern = -1;
    EXPECT_EQ(ObjectBytes(pline),
              "Pline Multiple 2\r\n2\r\n0.000000 0.000000\r\n1.000000 1.000000\r\n3\r\n"
              "2.000000 2.000000\r\n3.000000 3.000000\r\n4.000000 4.000000\r\n\r\n");
    CMifPline noSections;
    EXPECT_EQ(ObjectBytes(noSections), "Pline Multiple 0\r\n\r\n");
    CMifPline broken;  // a start past the nodes gives an empty section, not missing node lines
    broken.sectionStarts = {0, 5};
    broken.nodes = {{1, 1}};
    EXPECT_EQ(ObjectBytes(broken), "Pline Multiple 2\r\n1\r\n1.000000 1.000000\r\n0\r\n\r\n");

    CMifRegion region;
    region.BeginSection();
    region.nodes = {{0, 0}, {10, 0}, {10, 10}, {0, 0}};
    region.hasCenter = 1;
    region.center = {5, 3};
    region.pen = {1, 2, 0};
    region.brush = {2, 0xFFFFFF, -1};
    EXPECT_EQ(ObjectBytes(region),
              "Region 1\r\n4\r\n0.000000 0.000000\r\n10.000000 0.000000\r\n10.000000 10.000000\r\n"
              "0.000000 0.000000\r\nCenter 5.000000 3.000000\r\nPen (1,2,0)\r\n"
              "Brush (2,16777215)\r\n\r\n");

    CMifMultiPoint multi;
    EXPECT_EQ(ObjectBytes(multi), "MultiPoint 0\r\n\r\n");
    multi.points.resize(3);
    for (size_t i = 0; i < 3; ++i) {
        multi.points[i].point = {double(i), -double(i)};
        multi.points[i].symbol = {0, int32_t(i) + 33, 0, 9, "", "", 0, 0.0};
    }
    EXPECT_EQ(ObjectBytes(multi),
              "MultiPoint 3\r\n0.000000 -0.000000\r\n1.000000 -1.000000\r\n2.000000 -2.000000\r\n"
              "Symbol (33,0,9)\r\n\r\n")
        << "only the first symbol is written";

    CMifCollection collection;
    collection.pline = std::make_unique<CMifPline>();
    collection.pline->BeginSection();
    collection.pline->nodes = {{0, 0}, {1, 1}};
    collection.multiPoint = std::make_unique<CMifMultiPoint>();
    collection.multiPoint->points.resize(1);
    EXPECT_EQ(ObjectBytes(collection),
              "Collection 2\r\nPline\r\n2\r\n0.000000 0.000000\r\n1.000000 1.000000\r\n"
              "MultiPoint 1\r\n0.000000 0.000000\r\n\r\n");
}

TEST(ObjectWriter, TextLinesOptionsAndQuotes) {
    CMifText text;
    text.text = "Say \"hi\"\r\nthen\nbye\\n";
    text.corner1 = {1, 2};
    text.corner2 = {3, 4};
    text.font = {"Arial", 0, 9, 0, -1};
    text.spacing = 1.5f;
    text.justify = 2;
    text.angle = 30.0f;
    text.labelLine = 2;
    text.labelPoint = {5, 6};
    EXPECT_EQ(ObjectBytes(text),
              "Text \"Say \"\"hi\"\"\\nthen\\nbye\\n\"\r\n1.000000 2.000000 3.000000 4.000000\r\n"
              "Font (\"Arial\",0,9,0)\r\nSpacing 1.5\r\nJustify Center\r\nAngle 30.000000\r\n"
              "Label Line arrow 5.000000 6.000000\r\n\r\n")
        << "option lines in their fixed order; an escape already in the text is kept as it is";
    text.text = "x";
    text.font.name.clear();
    text.spacing = 1.25f;
    text.justify = 0;
    text.angle = 0.0f;
    text.labelLine = 1;
    EXPECT_EQ(ObjectBytes(text),
              "Text \"x\"\r\n1.000000 2.000000 3.000000 4.000000\r\n"
              "Label Line simple 5.000000 6.000000\r\n\r\n");
    text.labelLine = 0;
    for (auto [spacing, justify, lines] :
         {std::tuple{1.0f, 1, "Spacing 1.0\r\nJustify Left\r\n"},
          std::tuple{2.0f, 3, "Spacing 2.0\r\nJustify Right\r\n"}, std::tuple{0.0f, 4, ""}}) {
        text.spacing = spacing;
        text.justify = justify;
        EXPECT_EQ(
            ObjectBytes(text),
            std::string("Text \"x\"\r\n1.000000 2.000000 3.000000 4.000000\r\n") + lines + "\r\n");
    }

    CMifObject unknown(12);
    TempDir dir;
    CMifFile f;
    ASSERT_EQ(f.Create(dir.Path("u.mif").c_str()), 1);
    EXPECT_EQ(f.WriteObject(&unknown), 0);
    EXPECT_EQ(f.WriteObject(nullptr), 0);
}

// Writes the records given as one list of values per record; returns the MID file.
std::string MidBytes(std::initializer_list<std::initializer_list<const char*>> records) {
    TempDir dir;
    CMifFile f;
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
    EXPECT_EQ(MidBytes({{"abc", "5", "1.500000"}}), "\"abc\",5,1.500000\r\n");
    EXPECT_EQ(MidBytes({{"", "", "", ""}}), "\"\",,,\"\"\r\n") << "empty text is two quotes";
    EXPECT_EQ(MidBytes({{}, {}}), "\r\n\r\n") << "records with no value set are empty lines";
    EXPECT_EQ(MidBytes({{"x", "1"}}), "\"x\",1\r\n") << "only up to the highest value set";
    EXPECT_EQ(MidBytes({{"1\"b", nullptr, "a,b"}}), "\"1\"\"b\",,a,b\r\n")
        << "a quote in text is doubled; other columns are written as handed over";
    EXPECT_EQ(MidBytes({{"a,b", "1", "2", "x,\"y\""}}), "\"a,b\",1,2,\"x,\"\"y\"\"\"\r\n")
        << "a column written as char in the header is quoted like one";
    EXPECT_EQ(MidBytes({{"one\r\ntwo\rthree\nfour", "1\n2"}, {"next"}}),
              "\"one\\ntwo\\nthree\\nfour\",1\\n2\r\n\"next\"\r\n")
        << "line breaks in any value become \\n, so records neither split nor merge";

    TempDir dir;
    CMifFile f;
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

// Many objects with their records: enough to go past the platform's write buffer.
bool WriteManyObjects(CMifFile& f, int count) {
    bool allWritten = true;
    CMifLine line;
    line.pen = {1, 2, 0};
    for (int k = 0; k < count; ++k) {
        allWritten &= f.WriteObject(&line) != 0;
        f.SetValue(0, "a value of some length");
        allWritten &= f.WriteValues() != 0;
    }
    return allWritten;
}

TEST(WriteFailures, FullDeviceForEitherFileIsReported) {
    for (const char* full : {"full.mif", "full.mid"}) {
        TempDir dir;
        std::filesystem::create_symlink("/dev/full", dir.Path(full));
        CMifFile f;
        AddColumn(f, "c", kColChar, 40);
        ASSERT_EQ(f.Create(dir.Path("full.mif").c_str()), 1) << full;
        EXPECT_FALSE(WriteManyObjects(f, 20000)) << full;
        EXPECT_TRUE(f.WriteFailed()) << full;
        f.Close();
        EXPECT_TRUE(f.WriteFailed()) << full << ": closing keeps the answer";
    }
    // Less than one buffer: the failure shows only when the file is flushed at close.
    TempDir dir;
    std::filesystem::create_symlink("/dev/full", dir.Path("short.mid"));
    CMifFile f;
    AddColumn(f, "c", kColChar, 40);
    ASSERT_EQ(f.Create(dir.Path("short.mif").c_str()), 1);
    EXPECT_TRUE(WriteManyObjects(f, 1));
    EXPECT_FALSE(f.WriteFailed());
    f.Close();
    EXPECT_TRUE(f.WriteFailed());
}

TEST(WriteFailures, FileSizeLimitIsReported) {
    TempDir dir;
    std::string path = dir.Path("limited.mif");
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {200000, 200000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        CMifFile f;
        AddColumn(f, "c", kColChar, 40);
        if (f.Create(path.c_str()) != 1) {
            ::_exit(2);
        }
        bool allWritten = WriteManyObjects(f, 20000);
        f.Close();
        ::_exit(!allWritten && f.WriteFailed() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_GT(ReadFile(path).size(), 100000u) << "what was written stays on disk";
}

}  // namespace
