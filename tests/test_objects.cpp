#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "mif_text.h"

namespace {

struct Case {
    const char* mif;
    const char* expected;
};

// Geometry of every kind; the clause lines stay as they are when the geometry is split.
const Case kBodies[] = {
    {"None\n", "None"},
    {"Point 10 20\n", "Point 10,20"},
    {"Line 1 2 3 4\n", "Line 1,2 3,4"},
    {"Pline 3 1 2 3 4 5 6\n", "Pline [1,2 3,4 5,6]"},
    {"Pline Multiple 2 2 0 0 1 1 3 2 2 3 3 4 4\n", "Pline [0,0 1,1][2,2 3,3 4,4]"},
    {"Region 2 4 0 0 0 1 1 1 0 0 5 2 2 2 3 3 3 3 2 2 2\nCenter 0.5 0.5\n",
     "Region [0,0 0,1 1,1 0,0][2,2 2,3 3,3 3,2 2,2] center 0.5,0.5"},
    {"Rect 1 2 3 4\n", "Rect 1,2 3,4"},
    {"RoundRect 1 2 3 4 0.25\n", "RoundRect 1,2 3,4 r0.25"},
    {"Arc 0 0 10 10 90 180\n", "Arc 0,0 10,10 90..180"},
    {"Ellipse -1 -2 1 2\n", "Ellipse -1,-2 1,2"},
    {"Text \"a b\"\n1 2 3 4\n", "Text 'a b' 1,2 3,4 sp1 j0 a0"},
    {"MultiPoint 2 1 2 3 4\n", "MultiPoint [1,2][3,4]"},
    {"Collection 3 Region 1 3 0 0 1 0 0 1 Pline 2 0 0 1 1 MultiPoint 1 5 5\n",
     "Collection {Region [0,0 1,0 0,1]} {Pline [0,0 1,1]} {MultiPoint [5,5]}"},
};

// Also with TABs between the words and before the keyword, as other programs write them.
TEST(ObjectBodies, EveryKindReadsTheSameOnOneLineAndOneWordPerLine) {
    for (const Case& c : kBodies) {
        std::string oneLine = c.mif;
        std::string split = oneLine;
        std::string tabbed = oneLine;
        size_t geometryEnd = oneLine.find('\n');
        size_t start = split.compare(0, 4, "Text") == 0 ? geometryEnd + 1 : 0;
        for (size_t i = start; i < split.find('\n', start); ++i) {
            if (split[i] == ' ') {
                split[i] = '\n';
                tabbed[i] = '\t';
            }
        }
        tabbed = "\t" + tabbed;
        for (const std::string& text : {oneLine, split, "Point 0 0\n" + split + "None\n",
                                        "Point 0 0\n" + tabbed + "\tNone\n"}) {
            MifText mif(text);
            ASSERT_TRUE(mif.opened);
            if (text.compare(0, 10, "Point 0 0\n") == 0) {
                EXPECT_EQ(Dump(mif.Next()), "Point 0,0") << text;
            }
            EXPECT_EQ(Dump(mif.Next()), c.expected) << text;
            if (text.compare(0, 10, "Point 0 0\n") == 0) {
                EXPECT_EQ(Dump(mif.Next()), "None") << "the next object is found after " << text;
            }
        }
    }
}

// The header transform of every kind is checked with the file all_kinds.mif below.
TEST(ObjectBodies, ATransformFactorOfZeroLeavesItsAxisUnscaled) {
    MifText shift("Point 1 1\n", {0, 0, 5, 5});
    EXPECT_EQ(Dump(shift.Next()), "Point 6,6");
}

// A malformed number reads as the number it starts with; a node is two numbers, and a lone number
// at the end of the file is dropped with its node, never completed with 0: an object that lacks a
// point of its kind is an empty one. A word that is no number ends the numbers.
TEST(ObjectBodies, MalformedNumbersAndLoneNumbers) {
    const Case cases[] = {
        {"Point 1,2 3\n", "Point 1,3"},
        {"Point 1\n", "None"},
        {"Line 1 2 3\n", "None"},
        {"Pline 3\n1 2\n3", "Pline [1,2]"},
        {"Region 2 3 0 0 1 1", "Region [0,0 1,1]"},
        {"Region 1 3 0 0 1 1 2", "Region [0,0 1,1]"},
        {"MultiPoint 3 0 0 1 1 2", "MultiPoint [0,0][1,1]"},
        {"Pline -4 1 2", "Pline []"},
        {"Region -1 3 0 0 1 1", "Region"},
        {"MultiPoint 0 1 1\n", "MultiPoint"},
        {"Text\n", "None"},
        {"Arc 0 0 1 1 x 1e40", "Arc 0,0 1,1 0..0"},
        {"Point 1e-400 -0.0000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000000001",
         "Point 0,-0"},
    };
    for (const Case& c : cases) {
        ExpectObjects(c.mif, {c.expected});
    }
}

TEST(ObjectBodies, HugeCountsStopAtTheEndOfTheFile) {
    const Case cases[] = {
        {"Pline 2000000000\n1 2\n3 4\n5 6\n", "Pline [1,2 3,4 5,6]"},
        {"Pline Multiple 2000000000\n1 1 1\n", "Pline [1,1]"},
        {"Region 2000000000\n1 1 1\n", "Region [1,1]"},
        {"Region 1 2000000000\n1 1 2 2 3 3\n", "Region [1,1 2,2 3,3]"},
        {"MultiPoint 2000000000\n1 2\n", "MultiPoint [1,2]"},
        {"Collection 2000000000 Region 1 2000000000 0 0", "Collection {Region [0,0]} {-} {-}"},
    };
    for (const Case& c : cases) {
        MifText mif(c.mif);
        CMifObject* o = mif.Next();
        EXPECT_EQ(Dump(o), c.expected) << c.mif;
        // Memory follows the nodes read, not the count announced.
        size_t capacity = 0;
        if (o != nullptr && (o->kind == kMifPline || o->kind == kMifRegion)) {
            capacity = static_cast<CMifSections*>(o)->nodes.capacity();
        } else if (o != nullptr && o->kind == kMifMultiPoint) {
            capacity = static_cast<CMifMultiPoint*>(o)->points.capacity();
        }
        EXPECT_LT(capacity, 64u) << "reserved from a count: " << c.mif;
    }
}

// A count larger than the data, or a number missing, ends the object at the next object keyword,
// which begins the next object; so does a Text without its string.
TEST(ObjectBodies, CountsLargerThanTheDataStopAtTheNextObject) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"Pline 2147483647\n1 2\n3 4\nPoint 5 5\n", {"Pline [1,2 3,4]", "Point 5,5"}},
        {"Pline Multiple 9\n2 0 0 1 1\n1\nRegion 1 1 7 7\n", {"Pline [0,0 1,1][]", "Region [7,7]"}},
        {"Pline Multiple\nPoint 1 1", {"Pline", "Point 1,1"}},
        {"Region 3\n2 0 0 1 1\n9\n2 2\nMultiPoint 1 3 3",
         {"Region [0,0 1,1][2,2]", "MultiPoint [3,3]"}},
        {"Region\nNone", {"Region", "None"}},
        {"MultiPoint 10 1 1\nLine 0 0 1 1", {"MultiPoint [1,1]", "Line 0,0 1,1"}},
        {"Line 1 2\nPoint 3 4", {"None", "Point 3,4"}},
        {"Region 1\n5\n0 0\n1 0\n1 1\n0 1\nPen (1,2,0)\nBrush (2,255)\n",
         {"Region [0,0 1,0 1,1 0,1] pen(1,2,#000000) brush(2,#ff0000,-1)"}},
        {"Pline Multiple 3\n2\n0 0\n1 1\nPen (1,2,0)\n", {"Pline [0,0 1,1] pen(1,2,#000000)"}},
        {"RoundRect 0 0 1 1\nArc 0 0 1 1\nEllipse 0 0 1 1",
         {"RoundRect 0,0 1,1 r0", "Arc 0,0 1,1 0..0", "Ellipse 0,0 1,1"}},
        {"Text\n1 2 3 4\nPoint 5 5", {"Text '' 1,2 3,4 sp1 j0 a0", "Point 5,5"}},
        {"Text\nPoint 5 5", {"None", "Point 5,5"}},
        {"Text \"t\"\n0 0 1 1 Label Line\nPoint 5 5\nText \"u\"\n0 0 1 1 Angle\nNone",
         {"Text 't' 0,0 1,1 sp1 j0 a0", "Point 5,5", "Text 'u' 0,0 1,1 sp1 j0 a0", "None"}},
    };
    for (const auto& [mif, expected] : cases) {
        ExpectObjects(mif, expected);
    }
}

// A coordinate that is not a finite number (nan, inf, an overflow, also after the header's
// transformation) makes its object an empty one; the objects after it are read as they stand.
TEST(ObjectBodies, NonFiniteCoordinatesMakeEmptyObjects) {
    ExpectObjects(
        "Point nan inf\nLine 1.#QNAN 1.#QNAN 2 2\nPoint 1e999 0\nPline 2 0 0 1 -inf\n"
        "Region 1 3 0 0 1 0 0 1 Center nan 0\nText \"t\"\n0 0 1 1.#INF\nMultiPoint 2 0 0 nan 1\n"
        "Rect 0 0 nan 1\nPoint 7 8\n",
        {"None", "None", "None", "None", "None", "None", "None", "None", "Point 7,8"});
    ExpectObjects("Point 1 1e300\nPoint 1 2", {"None", "Point 1,2e+300"}, {1, 1e300, 0, 0});
}

// A coordinate may run across the 1 MiB page boundary at any of its bytes: the file is padded
// so that the boundary falls at each position within one number in turn.
TEST(ObjectBodies, CoordinatesAcrossThePageBoundary) {
    const std::string number = "-123456.765625";  // exact in binary: no rounding to argue
    const size_t page = CTextFile::kPageSize;
    for (size_t cut = 0; cut <= number.size(); ++cut) {
        std::string head = "Pline 3\r\n1 2\r\n";
        std::string pad(page - std::strlen(MifText::kHeader) - head.size() - cut, ' ');
        std::string text = head + pad + number + " 7.5\r\n3 4\r\n";
        MifText mif(text);
        ASSERT_TRUE(mif.opened);
        CMifObject* o = mif.Next();
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(Dump(o), "Pline [1,2 -123456.765625,7.5 3,4]") << "boundary after byte " << cut;
    }
}

TEST(ObjectBodies, TextStringsAreDecoded) {
    const Case cases[] = {
        {"Text \"same line\"\n0 0 1 1", "same line"},
        {"Text\n   \"next line\"\n0 0 1 1", "next line"},
        {"Text \"two\\nlines \\\\ back\"\n0 0 1 1", "two\nlines \\ back"},
        {"Text \"say \"\"hi\"\"\"\n0 0 1 1", "say \"hi\""},
        {"Text \"\"\"\"\n0 0 1 1", "\""},
        {"Text \"\"\n0 0 1 1", ""},
        {"Text \"trailing\"  \t\n0 0 1 1", "trailing"},
        {"Text\n\t\"tab\tbed\"\n0 0 1 1", "tab\tbed"},
        {"Text unquoted \"\"x\n0 0 1 1", "unquoted \"\"x"},
    };
    for (const Case& c : cases) {
        ExpectObjects(c.mif, {std::string("Text '") + c.expected + "' 0,0 1,1 sp1 j0 a0"});
    }
}

// The parts of a collection are a Region, a Pline (or a Line, as GDAL's own sample writes it) and
// a MultiPoint, each at most once, in any order; any other keyword starts the next object, so that
// every later object keeps its record.
TEST(ObjectBodies, CollectionPartsEndAtAKeywordThatCannotBeAPart) {
    MifText mif(
        "Collection 2\n Pline 2 0 0 1 1\n MultiPoint 1 5 5\nPoint 7 7\n"
        "COLLECTION 3\n Region 1 1 0 0\n Line 0 1 2 3\n MultiPoint 1 2 2\n Symbol (1,2,3)\n"
        "Collection 3 MultiPoint 1 4 4\n MultiPoint 1 6 6\n"
        "Collection 3 Region 1 1 3 3\n Text \"t\"\n 0 0 1 1\n"
        "Collection 2 Region 1 1 9 9\n Brush (2,255)\nPline 1 8 8\nPen (1,2,3)\nNone\n");
    EXPECT_EQ(Dump(mif.Next()), "Collection {-} {Pline [0,0 1,1]} {MultiPoint [5,5]}");
    EXPECT_EQ(Dump(mif.Next()), "Point 7,7");
    EXPECT_EQ(Dump(mif.Next()),
              "Collection {Region [0,0]} {Pline [0,1 2,3]} "
              "{MultiPoint [2,2 sym(0,1,#020000,3,'','',0,0)]}");
    EXPECT_EQ(Dump(mif.Next()), "Collection {-} {-} {MultiPoint [4,4]}");
    EXPECT_EQ(Dump(mif.Next()), "MultiPoint [6,6]");
    EXPECT_EQ(Dump(mif.Next()), "Collection {Region [3,3]} {-} {-}");
    EXPECT_EQ(Dump(mif.Next()), "Text 't' 0,0 1,1 sp1 j0 a0");
    EXPECT_EQ(Dump(mif.Next()),
              "Collection {Region [9,9] brush(2,#ff0000,-1)} {Pline [8,8] pen(1,2,#030000)} {-}");
    EXPECT_EQ(Dump(mif.Next()), "None");
    EXPECT_EQ(mif.file.NextKind(), -1);
    EXPECT_EQ(mif.file.ReadObject(), nullptr);
    EXPECT_EQ(mif.file.CurrentObject(), nullptr);
}

TEST(ObjectFile, EveryKindWithTheHeaderTransformAndItsRecord) {
    CMifReader file;
    ASSERT_EQ(file.Open(TestDataPath("all_kinds.mif").c_str()), 1);
    std::vector<std::string> objects;
    Records records = Walk(file, &objects);
    const std::vector<std::string> expected = {
        "Point 102,206 sym(0,35,#ff0000,12,'','',0,0)",
        "Line 102,206 106,212 pen(25,2,#00ff00)",
        "Pline [102,203 104,206][106,209 108,212 110,215] smooth pen(1,2,#000000)",
        "Region [100,200 100,203 102,203 100,200] center 101,201.5 pen(1,2,#000000) "
        "brush(2,#ffffff,#000000)",
        "Rect 100,200 102,203 pen(1,2,#000000) brush(1,#000000,-1)",
        "RoundRect 100,200 104,206 r0.5",
        "Ellipse 100,200 106,206 brush(2,#ff0000,-1)",
        "Arc 100,200 108,212 90..180 pen(2,2,#ff0000)",
        "Text 'say \"hi\"\nagain' 100,200 120,206 sp1.5 j3 a30 label2@110,218 "
        "font('Arial, Bold',1,12,#000000,#ffffff)",
        "MultiPoint [102,203 sym(2,0,#ff0000,24,'','pin.bmp',0,0)][104,206][106,209]",
        "Collection {Region [100,200 102,200 100,203]} {Pline [100,200 102,203]} "
        "{MultiPoint [114,221]}",
        "None"};
    EXPECT_EQ(objects, expected);
    std::vector<std::string> names;
    for (const std::vector<std::string>& record : records) {
        names.push_back(record.at(0));
    }
    EXPECT_EQ(names, (std::vector<std::string>{
                         "point", "line", "pline \"multiple\"", "region", "rect", "roundrect",
                         "ellipse", "arc", "text\r\nagain", "multipoint", "collection", "none"}));
}

// Every prefix of the MIF file, with a prefix of its MID file (LF, CR and CR LF ends, a quoted
// line break), is opened and read to its end: no read past the end of a page buffer (the
// sanitizer build catches it), no hang, never more objects than the whole file has.
TEST(ObjectFile, EveryPrefixReadsToItsEnd) {
    std::string mif = ReadFile(TestDataPath("all_kinds.mif"));
    std::string mid = ReadFile(TestDataPath("all_kinds.mid"));
    ASSERT_GT(mif.size(), 500u);
    // The file opens once the word Data that ends its header is whole.
    const size_t dataEnd = mif.find("\nData") + 5;
    TempDir dir;
    for (size_t n = 0; n <= mif.size(); ++n) {
        WriteFile(dir.Path("cut.mif"), mif.substr(0, n));
        WriteFile(dir.Path("cut.mid"), mid.substr(0, n % (mid.size() + 1)));
        CMifReader file;
        ASSERT_EQ(file.Open(dir.Path("cut.mif").c_str()), n < dataEnd ? 0 : 1) << "prefix " << n;
        size_t objects = 0;
        std::string value;
        for (file.Rewind(); !file.IsEof(); file.MoveNext()) {
            ASSERT_LT(objects++, 12u) << "prefix " << n;
            file.ReadObject();
            for (int i = 0; i <= file.Header().columns.GetCount(); ++i) {
                file.GetFieldValue(i, value);
            }
        }
        EXPECT_EQ(file.Progress(), objects > 0 ? 100.0 : 0.0) << "prefix " << n;
        if (n == mif.size()) {
            EXPECT_EQ(objects, 12u);
        }
    }
}

// Real files written by other programs: columns, object count, a few objects and MID values,
// read off the files by eye. A leading "*" compares the end of the object only; record -1 is
// the last one. Values may carry NUL padding from fixed-width writers: the text before it counts.
struct SampleValue {
    int record;
    int column;
    std::string value;
};
struct SampleFile {
    struct {
        const char* path;
        int columns;
        int count;
    } file;
    std::vector<std::pair<int, std::string>> objects;
    std::vector<SampleValue> values;
};

TEST(SampleFiles, ColumnsObjectsAndValues) {
    if (SamplesDir().empty()) {
        GTEST_SKIP() << "MIF_SAMPLES_DIR is not set: the sample files are not checked";
    }
    const std::string pen = " pen(1,2,#000000)";
    const std::string white = " brush(1,#000000,#ffffff)";
    const std::string small =
        "Region [6 407131.721,155322.441..407131.721,155322.441]" + pen + white;
    const std::string utf8 =
        "Region [6 7404649.37,6144522.85..7404649.37,6144522.85] center "
        "7404645.9,6144521.36" +
        pen + " brush(2,#ffffff,#ffffff)";
    const std::string denmark = "Region [312 6.13802,50.132904..6.13802,50.132904]" + pen + white;
    const std::string rect = " pen(1,2,#030000) brush(1,#020000,#030000)";
    const SampleFile files[] = {
        {{"dmx_barnsbury_segment_pline/barnsbury_segment_pline.mif", 13, 177},
         {{73, "Pline [3 531297.510832,184441.573404..531340.829339,184549.913463]" + pen}},
         {{0, 1, "2.0012004"}, {-1, 0, "177"}, {-1, 12, "12216.636"}}},
        {{"dmx_simple_axlines/simple_axlines.mif", 3, 17},
         {{0, "Line -48.3119906868,25.4947613504 18.8591385332,26.8917345751" + pen}},
         {{0, 2, "67.185654"}, {-1, 0, "16"}}},
        {{"gdal_all_geoms/all_geoms.mif", 0, 16},
         {{1, "Point 2,3 sym(2,0,#000000,1,'','bla',2,0)"},
          {2, "Point 4,5 sym(1,99,#010000,2,'foo','',1,30)"},
          {6, "Pline [2 0,1..2,3][2 3,4..5,6] smooth pen(1,2,#030000)"},
          {8, "RoundRect -1,-1 1,1 r1" + rect},
          {10, "Arc -1,-1 1,1 0..360 pen(1,2,#030000)"},
          {12, "Text 'text' 0,1 2,3 sp2 j2 a30 label1@10,20 font('bla',1,2,#ffff00,#ffff00)"},
          {15, "Collection {Region [4 0,1..0,1]} {Pline [2 0,1..2,3]} {MultiPoint [0,1][2,3]}"}},
         {}},
        {{"gdal_all_possible_fields/all_possible_fields.mif", 10, 2},
         {{1, "None"}},
         {{0, 0, "test"}, {0, 3, "123456789012345"}, {-1, 9, "F"}}},
        {{"gdal_empty_first_field_tab/empty_first_field_with_tab_delimiter.mif", 2, 1},
         {},
         {{0, 0, ""}, {0, 1, "foo"}}},
        {{"gdal_multilinemid/multilinemid.mif", 3, 2},
         {{1, "Pline [3 483281.14,6738543.72..483276.11,6738551.17] pen(4,104,#808080)"}},
         {{0, 1, "MULTI\n\nLINE"}, {0, 2, "F"}, {1, 0, "NAME2"}}},
        {{"gdal_nomid/nomid.mif", 0, 2}, {{0, small}}, {}},
        {{"gdal_proj/proj_34.mif", 1, 1},
         {{0, "Pline [5 499950.16,6677.74..501910.24,-5049.84]" + pen}},
         {}},
        {{"gdal_single_field/single_field.mif", 1, 3}, {}, {{1, 0, ""}, {2, 0, "3"}}},
        {{"gdal_small/small.mif", 7, 2},
         {{0, small}},
         {{0, 0, " S. 11th St."}, {1, 2, "Guarino \"Chucky\" Sandra"}, {1, 6, "232"}}},
        {{"gdal_utf8/utf8.mif", 5, 3},
         {{0, "Point 7404648.72,6144520.22 sym(0,35,#0000ff,12,'','',0,0)"}, {2, utf8}},
         {{-1, 3, "\xD0\x90 \xD0\xB0 \xD0\x91 \xD0\xB1"}}},
        {{"gdal_win1251/win1251.mif", 5, 3},
         {{1, "Pline [4 7404638.32,6144512.27..7404657.51,6144525.21] pen(2,2,#00ff00)"}},
         {{-1, 3, "\xC0 \xE0 \xC1 \xE1"}}},
        {{"gdal_win1251_text/win1251_text.mif", 0, 1},
         {{0,
           "Text '\xCF\xEE\xEB\xE5' 10,20 94,23 sp1 j2 a0 font('DejaVu Serif',0,14,#0000ff,-1)"}},
         {}},
        {{"gt_delim_in_quotes/delimInQuotes.mif", 3, 4},
         {{2, denmark}},
         {{0, 0, "Denmark, DK"}, {-1, 2, "0xAA00AA"}}},
        {{"gt_space_delim/spaceDelim.mif", 3, 4},
         {{2, denmark}},
         {{0, 0, "Denmark DK"}, {0, 2, "0xAAAA00"}, {-1, 1, "29"}}},
        {{"gt_grafo/grafo.MIF", 31, 1726},
         {{1725, "Pline [2 1512214.55,5035657.63..1512214.29,5035626.96]"}},
         {{0, 30, "Via DIOMEDE"}, {-1, 0, "73688"}}},
        {{"gt_mixed/mixed.MIF", 10, 9},
         {{3, "*center 1513515.78,5037046.19" + pen + " brush(2,#ffffff,#ffffff)"},
          {4, "*[6 1514183.57,5036223.09..1513911.82,5036141.84]" + pen},
          {8, "None"}},
         {{0, 0, "Single point"}, {-1, 8, "NULL"}}},
        {{"gt_nodi/nodi.mif", 7, 1207},
         {{1206, "Point 1512044.63,5035607.16 sym(0,34,#ff0000,9,'','',0,0)"}},
         {{0, 2, "1511106.78"}, {-1, 6, "74091"}}},
        {{"gt_statepop/statepop.mif", 252, 49},
         {{48, "*-122.96669,48.443974] brush(1,#0000ff,-1)"}},
         {{0, 3, "IL"}, {-1, 3, "WA"}}},
        {{"gt_text/text.MIF", 2, 3},
         {{1,
           "Text '...And text 2\nwith a CRLF char' 1516511.11,5032920.22 1516968.71,"
           "5033041.92 sp1 j0 a270 font('Arial',0,0,#000000,-1)"}},
         {{0, 1, "This is text 1"}, {-1, 1, "...and text 3"}}},
        {{"gtk_hy_water_area/HY_WATER_AREA_POLYGON.mif", 12, 86},
         {{85,
           "Region [11 2474717.81408,2454626.67196..2474717.81408,2454626.67196] "
           "brush(1,#000000,-1)"}},
         {{0, 0, "13263611"}, {0, 3, ""}, {-1, 0, "8150326"}}},
    };
    for (const SampleFile& sample : files) {
        SCOPED_TRACE(sample.file.path);
        CMifReader file;
        ASSERT_EQ(file.Open((SamplesDir() + "/" + sample.file.path).c_str()), 1);
        EXPECT_EQ(file.Header().columns.GetCount(), sample.file.columns);
        std::vector<std::vector<std::string>> records;
        size_t next = 0;
        int index = 0;
        for (file.Rewind(); !file.IsEof(); file.MoveNext(), ++index) {
            std::string object = Dump(file.ReadObject(), true);
            if (next < sample.objects.size() && sample.objects[next].first == index) {
                std::string expected = sample.objects[next++].second;
                if (expected[0] == '*') {
                    expected.erase(0, 1);
                    object =
                        object.substr(object.size() - std::min(object.size(), expected.size()));
                }
                EXPECT_EQ(object, expected) << "object " << index;
            }
            records.emplace_back();
            std::string value;
            for (int i = 0; file.GetFieldValue(i, value) == 1; ++i) {
                records.back().push_back(value.c_str());
            }
        }
        EXPECT_EQ(index, sample.file.count);
        EXPECT_EQ(next, sample.objects.size()) << "objects not reached";
        EXPECT_EQ(file.Progress(), 100.0);
        for (size_t k = 0; !sample.values.empty() && k < records.size(); ++k) {
            // Exactly one field per column: every value sits in its own column.
            ASSERT_EQ(records[k].size(), static_cast<size_t>(sample.file.columns))
                << "record " << k;
        }
        for (const SampleValue& v : sample.values) {
            size_t k = static_cast<size_t>(v.record < 0 ? sample.file.count - 1 : v.record);
            ASSERT_LT(k, records.size());
            EXPECT_EQ(records[k][static_cast<size_t>(v.column)], v.value) << "record " << k;
        }
    }
}

}  // namespace
