#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mif_text.h"

namespace {

const char* KindName(MifRepairKind kind) {
    switch (kind) {
        case kRepairCountTooLarge:
            return "count";
        case kRepairLoneNumber:
            return "lone";
        case kRepairNotFinite:
            return "finite";
        case kRepairDecimalComma:
            return "comma";
        case kRepairWordSkipped:
            return "skipped";
        case kRepairClause:
            return "clause";
        case kRepairColumnType:
            return "type";
        case kRepairHeaderItem:
            return "header";
        case kRepairByteOrderMark:
            return "bom";
        case kRepairNoMid:
            return "nomid";
        case kRepairRecordCount:
            return "records";
        case kRepairFieldCount:
            return "fields";
        case kRepairValueType:
            return "value";
        case kRepairOpenQuote:
            return "quote";
        case kRepairEndInsideObject:
            return "end";
    }
    return "?";
}

// Reads the pair as the import does (every object, every value) and gives each repair as
// "kind file:line", in the order found.
std::vector<std::string> Repairs(const std::string& mif, const char* mid,
                                 CMifReport* out = nullptr) {
    MifPair p(mif, mid);
    EXPECT_TRUE(p.opened);
    Walk(p.file);
    std::vector<std::string> found;
    for (const CMifRepair& r : p.file.Report().Entries()) {
        found.push_back(std::string(KindName(r.kind)) +
                        (r.file == MifRepairFile::kMid ? " mid:" : " mif:") +
                        std::to_string(r.line));
    }
    if (out != nullptr) {
        *out = p.file.Report();
    }
    return found;
}

using Found = std::vector<std::string>;

const char kHead[] = "Version 300\nDelimiter \",\"\nColumns 2\n  n Integer\n  s Char(10)\nData\n";

// Each kind of repair at its line: a count where it stands, a lone number where it stands, an
// object at its keyword, a clause at its line, a record at its line of the MID.
TEST(Report, EachRepairAtItsLine) {
    const struct {
        std::string mif;
        const char* mid;
        Found expected;
    } cases[] = {
        {std::string(kHead) + "Pline 5\n1 2\n3 4\nPoint 1 1\n", "1,a\n2,b\n", {"count mif:7"}},
        {std::string(kHead) + "Region 1\n  4\n0 0\n1 0\n1 1\n", "1,a\n", {"end mif:8"}},
        {std::string(kHead) + "Region 3\n  3\n0 0\n1 0\n1 1\nPen (1,2,0)\nPoint 1 1\n",
         "1,a\n2,b\n",
         {"count mif:7"}},
        {std::string(kHead) + "Pline Multiple 2\n 2\n0 0\n1 1\nPoint 1 1\n",
         "1,a\n2,b\n",
         {"count mif:7"}},
        {std::string(kHead) + "MultiPoint 3\n0 0\n1 1\nPoint 1 1\n", "1,a\n2,b\n", {"count mif:7"}},
        {std::string(kHead) + "Collection 2\n Region 1\n 3\n0 0\n1 0\n0 1\nPoint 5 5\n",
         "1,a\n2,b\n",
         {"count mif:7"}},
        {std::string(kHead) + "Point 1 2\nLine 1 2\n3\n",
         "1,a\n2,b\n",
         {"lone mif:9", "end mif:8"}},
        {std::string(kHead) + "Point 1 nan\nPoint 1 2\n", "1,a\n2,b\n", {"finite mif:7"}},
        {std::string(kHead) + "Point 34,7403083 31,9776167\n",
         "1,a\n",
         {"comma mif:7", "comma mif:7"}},
        {std::string(kHead) + "Point 1 2\nSymbol (35,0,12)\nPen (1,2,0)\nPoint 3 4\n",
         "1,a\n2,b\n",
         {"skipped mif:9"}},
        {std::string(kHead) + "Region 1\n 3\n0 0\n1 0\n0 1\n Smooth\n Brush (2)\n",
         "1,a\n",
         {"clause mif:13", "skipped mif:12"}},
        {std::string(kHead) + "Text \"t\"\n0 0 1 1\nJustify Middle\nAngle x\n",
         "1,a\n",
         {"clause mif:9", "clause mif:10"}},
        {"Version 300\nColumns 3\n a\n b Blob\n c Integer\nData\nPoint 1 2\n",
         "x\ty\t1\n",
         {"type mif:3", "type mif:4"}},
        {"Version 300\nColums 1\nColumns 4\n a Integer\nData\nPoint 1 2\n",
         "1\n",
         {"header mif:2", "count mif:3"}},
        {"\xEF\xBB\xBFVersion 300\nColumns 1\n a Integer\nData\nPoint 1 2\n",
         "\xEF\xBB\xBF"
         "1\n",
         {"bom mif:1", "bom mid:1"}},
        {std::string(kHead) + "Point 1 2\n", nullptr, {"nomid mif:3"}},
        {std::string(kHead) + "Point 1 2\nPoint 3 4\nPoint 5 6\n", "1,a\n", {"records mid:2"}},
        {std::string(kHead) + "Point 1 2\n", "1,a\n2,b\n\n3,c\n\n", {"records mid:2"}},
        {std::string(kHead) + "Point 1 2\nPoint 3 4\n",
         "1\n2,b,x\n",
         {"fields mid:1", "fields mid:2"}},
        {std::string(kHead) + "Point 1 2\nPoint 3 4\n", "1,a\nabc,b\n", {"value mid:2"}},
        {"Version 300\nDelimiter \",\"\nColumns 4\n f Float\n d Date\n l Logical\n s "
         "SmallInt\nData\nPoint 1 2\nPoint 3 4\n",
         "1.5e3,2020-12-31,yes,-7\n1,5,2020,maybe,7.5\n",
         {"fields mid:2", "value mid:2", "value mid:2", "value mid:2"}},
        {std::string(kHead) + "Point 1 2\nPoint 3 4\nPoint 5 6\n",
         "1,\"open\n2,b\n3,c\n",
         {"quote mid:1"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Repairs(c.mif, c.mid), c.expected) << c.mif << "\n--- MID ---\n"
                                                     << (c.mid != nullptr ? c.mid : "(none)");
    }
}

// Line ends of every kind count, and a line number reaches past the page the reader holds.
TEST(Report, LinesCountEveryLineEndAcrossPages) {
    std::string mif = "Version 300\r\nColumns 1\r n Integer\nData\r\n";
    for (int i = 0; i < 200000; ++i) {
        mif += "Point 1 2\r\n";
    }
    mif += "Point 7\r\n";
    std::string mid;
    for (int i = 0; i <= 200000; ++i) {
        mid += "1\n";
    }
    EXPECT_EQ(Repairs(mif, mid.c_str()), (Found{"lone mif:200005", "end mif:200005"}));
}

// A file every program writes the same way reads without repairs; a walk of its own file again
// gives the same report, not a doubled one.
TEST(Report, CleanFilesAndASecondWalk) {
    EXPECT_EQ(Repairs(ReadFile(TestDataPath("all_kinds.mif")),
                      ReadFile(TestDataPath("all_kinds.mid")).c_str()),
              Found{});
    MifPair p("Foo\nColumns 1\n n Integer\nData\nPoint 1\n", "x\n");
    ASSERT_TRUE(p.opened);
    Walk(p.file);
    Found first;
    for (const CMifRepair& r : p.file.Report().Entries()) {
        first.push_back(r.text);
    }
    Walk(p.file);
    Found second;
    for (const CMifRepair& r : p.file.Report().Entries()) {
        second.push_back(r.text);
    }
    EXPECT_EQ(first, second);
    EXPECT_EQ(first,
              (Found{"header line \"Foo\" not understood: skipped",
                     "lone number 1 dropped: a point needs two",
                     "the file ends inside Point, before its points: read as an empty object",
                     "value \"x\" of column n is no Integer"}));
}

// The real files of other programs read without a repair, but for the two GDAL writes without
// their MID file (GDAL reads them silently).
TEST(Report, SampleFilesNeedNoRepairs) {
    if (SamplesDir().empty()) {
        GTEST_SKIP() << "MIF_SAMPLES_DIR is not set: the sample files are not checked";
    }
    size_t checked = 0;
    for (const std::string& file : SampleFiles()) {
        CMifReader reader;
        ASSERT_EQ(reader.Open(file.c_str()), 1) << file;
        Walk(reader);
        Found found;
        for (const CMifRepair& r : reader.Report().Entries()) {
            found.push_back(std::string(KindName(r.kind)) + " " + r.text);
        }
        bool noMid = file.find("proj_3") != std::string::npos;
        EXPECT_EQ(found, noMid ? Found{"nomid no MID file: the columns have no values"} : Found{})
            << file;
        ++checked;
    }
    EXPECT_GT(checked, 20u);
}

// Counts and first lines go on past the first 1,000 entries; texts stop there.
TEST(Report, CountsBeyondTheKeptEntries) {
    std::string mif = std::string(kHead);
    std::string mid;
    for (int i = 0; i < 1500; ++i) {
        mif += "Point 1 nan\n";
        mid += "1,a\n";
    }
    mif += "Point 1,5 2\n";
    mid += "1,a\n";
    CMifReport report;
    Found found = Repairs(mif, mid.c_str(), &report);
    EXPECT_EQ(found.size(), CMifReport::kMaxEntries);
    EXPECT_EQ(report.CountOf(kRepairNotFinite), 1500);
    EXPECT_EQ(report.CountOf(kRepairDecimalComma), 1);
    EXPECT_EQ(report.FirstLineOf(kRepairNotFinite), 7);
    EXPECT_EQ(report.FirstLineOf(kRepairDecimalComma), 1507) << "a kind first found late";
    EXPECT_EQ(report.Total(), 1501);
}

}  // namespace
