#include <gtest/gtest.h>

#include <filesystem>

#include <string>
#include <vector>

#include "mif/reader/read_ahead.h"
#include "mif_text.h"
#include "textfile/record_file.h"

namespace {

constexpr uint32_t kPage = CTextFile::kPageSize;
std::string Header(const std::string& columns, const char* delimiter = nullptr) {
    std::string h = "Version 300\r\n";
    if (delimiter != nullptr) {
        h += std::string("Delimiter \"") + delimiter + "\"\r\n";
    }
    return h + columns + "Data\r\n\r\n";
}

const std::string kThreeColumns = "Columns 3\r\n  n Integer\r\n  s Char(20)\r\n  f Float\r\n";

TEST(MidRecords, QuotesDelimitersAndFieldCounts) {
    MifPair p(Header("Columns 3\r\n n Integer\r\n s Char(30)\r\n f Float\r\n") +
                  "Point 1 2\r\nNone\r\nNone\r\nNone\r\nNone\r\n",
              "1\t\"Main St\"\t3.5\r\n\"2\"\t\"a\tb\" \t 4 \r\n3\n4\tx\t5\textra\n"
              "\t\"Guarino \"\"Chucky\"\"\"\t\n");
    ASSERT_TRUE(p.opened);
    EXPECT_EQ(Walk(p.file), (Records{{"1", "Main St", "3.5"},
                                     {"2", "a\tb", "4"},
                                     {"3"},
                                     {"4", "x", "5"},
                                     {"", "Guarino \"Chucky\"", ""}}))
        << "quotes and blanks around values go; a doubled quote in a quoted Char value is one; "
           "a field the record lacks is none, not an empty one";
    std::string value = "untouched";
    EXPECT_EQ(p.file.GetFieldValue(3, value), 0) << "an index equal to the column count";
    EXPECT_EQ(value, "untouched");
}

// MID fields as other programs write them: blanks around quoted values, quotes around numbers,
// stray quotes inside quoted values, and the escapes of line breaks and backslashes.
TEST(MidRecords, FieldsAsOtherProgramsWriteThem) {
    MifPair p(Header("Columns 3\r\n a Char(30)\r\n b Char(30)\r\n n Integer\r\n", ",") +
                  "None\nNone\nNone\nNone\nNone\nNone\nNone\nNone\nNone\n",
              "\"x\", \"y z\" , 5\n"
              "\"a\"b\",x,\"2\"\n"
              "1,\t\"a\nb\",3\n"
              "\"p\\\\q\\nr\\t\",s\\n, 4 \n"
              "\"Guarino \"Chucky\" Sandra\",t,6\n"
              "\"a\" b,c,7\n"
              "\" \"\" \",  , \n"
              "\"last\",\"\",8\n"
              "x\"a,b\"y,c,9\n");
    ASSERT_TRUE(p.opened);
    EXPECT_EQ(Walk(p.file), (Records{{"x", "y z", "5"},
                                     {"a\"b", "x", "2"},
                                     {"1", "a\nb", "3"},
                                     {"p\\q\nr\\t", "s\n", "4"},
                                     {"Guarino \"Chucky\" Sandra", "t", "6"},
                                     {"a\" b", "c", "7"},
                                     {" \" ", "  ", ""},
                                     {"last", "", "8"},
                                     {"x\"a,b\"y", "c", "9"}}));
}

TEST(MidRecords, EveryLineEndEndsARecordButNotInsideAnOpeningQuote) {
    const std::string mif = Header(kThreeColumns, ",") + "Point 1 2\nNone\nPoint 3 4\nNone\n";
    for (const char* end : {"\r\n", "\n", "\r"}) {
        std::string e = end;
        std::string mid = "10,\"ab\",1.5" + e + "20,\"two" + e + "lines\",2.5" + e + e + "30,x\"y" +
                          e + "z\",3.5" + e;
        MifPair p(mif, mid.c_str());
        ASSERT_TRUE(p.opened);
        EXPECT_EQ(
            Walk(p.file),
            (Records{
                {"10", "ab", "1.5"}, {"20", "two" + e + "lines", "2.5"}, {""}, {"30", "x\"y"}}))
            << "line end " << (end[0] == '\r' ? "CR" : "LF") << (end[1] == '\n' ? " LF" : "");
    }
}

TEST(MidRecords, AQuoteThatNeverClosesEndsAtItsFirstLineBreak) {
    MifPair p(Header(kThreeColumns, ",") + "None\nNone\nNone\n", "1,\"open\n2,b,2\n3,c,3\n");
    ASSERT_TRUE(p.opened);
    EXPECT_EQ(Walk(p.file), (Records{{"1", "open"}, {"2", "b", "2"}, {"3", "c", "3"}}));
    // Nor does one that runs on for more than 1 MiB: memory stays bounded.
    std::string mid = "\"runaway\r\n";
    for (int i = 0; mid.size() < kPage + 4096; ++i) {
        mid += "x" + std::to_string(i) + "\r\n";
    }
    MifPair big(Header("Columns 1\n s Char(10)\n") + "None\nNone\nNone\n", (mid + "\"").c_str());
    ASSERT_TRUE(big.opened);
    EXPECT_EQ(Walk(big.file), (Records{{"runaway"}, {"x0"}, {"x1"}}));
}

// A quote that opened a field and ran over a line break must close before the delimiter or the
// line end (blanks allowed); a closing quote followed by anything else was no value quote, and
// the record ends at its first line break, so the later objects keep their own records.
TEST(MidRecords, AValueRunOverALineBreakMustCloseBeforeTheDelimiter) {
    MifPair p(Header(kThreeColumns, ",") + "None\nNone\nNone\nNone\nNone\n",
              "1,\"a\nb\" ,2\n"
              "3,\"inch\n4,\"x\"y,5\n"
              "6,\"p\",7\n");
    ASSERT_TRUE(p.opened);
    EXPECT_EQ(
        Walk(p.file),
        (Records{{"1", "a\nb", "2"}, {"3", "inch"}, {"4", "x\"y", "5"}, {"6", "p", "7"}, {}}));
}

// Fewer MID lines than objects: the objects past its end get no values at all, not empty ones.
// (Without a MID file no value is set: the import tests show it.)
TEST(MidRecords, ObjectsPastTheLastRecordGetNoValues) {
    MifPair p(Header(kThreeColumns, ",") + "Point 1 2\nPoint 3 4\n", "1,a,2\n");
    EXPECT_EQ(Walk(p.file), (Records{{"1", "a", "2"}, {}}));
}

TEST(Walking, ProgressAndTheEndOfTheObjects) {
    MifPair p(Header("Columns 1\n n Integer\n", ",") +
                  "Point 1 2\n  Symbol (35,0,12)\nPen (1,2,0) Line 1 2 3 4\nRegion 0\n",
              "1\n2\n3\n4\n");
    ASSERT_TRUE(p.opened);
    p.file.Rewind();
    EXPECT_EQ(p.file.Progress(), 0.0);
    EXPECT_EQ(p.file.NextKind(), kMifPoint);
    double last = 0.0;
    std::vector<int32_t> kinds;
    while (!p.file.IsEof()) {
        kinds.push_back(p.file.NextKind());
        p.file.MoveNext();
        EXPECT_GE(p.file.Progress(), last);
        last = p.file.Progress();
    }
    EXPECT_EQ(kinds, (std::vector<int32_t>{kMifPoint, kMifLine, kMifRegion}));
    EXPECT_EQ(p.file.Progress(), 100.0) << "exactly";
    std::string value;
    EXPECT_EQ(p.file.GetFieldValue(0, value), 1);
    EXPECT_EQ(value, "4") << "the step past the last object still advances the MID file";

    // Walking again gives the same objects and records.
    EXPECT_EQ(Walk(p.file), (Records{{"1"}, {"2"}, {"3"}}));
}

// A file that comes back short on its second page (it shrank while being read) ends where its
// data ends: the reader never looks past what was loaded.
TEST(Walking, APageThatComesBackShortEndsTheText) {
    // Windows lets no other program shrink a file that the reader holds open.
    SKIP_WITHOUT_POSIX("files that shrink while they are read");
    std::string mif = Header("Columns 1\r\n n Integer\r\n");
    size_t inFirstPage = 0;
    for (int i = 0; mif.size() < kPage + kPage / 2; ++i) {
        std::string object = "Pline 1 " + std::to_string(i) + " 1\r\n";
        inFirstPage += mif.size() + 5 <= kPage ? 1 : 0;  // its keyword was loaded
        mif += object;
    }
    MifPair p(mif);
    ASSERT_TRUE(p.opened);
    std::filesystem::resize_file(p.dir.Path("t.mif"), kPage);
    EXPECT_EQ(Walk(p.file).size(), inFirstPage);
    EXPECT_EQ(p.file.Progress(), 100.0) << "the read position is not past the data";
}

// Objects and records laid so that words, records and a CR LF pair cross the 1 MiB boundary
// of both files.
TEST(Walking, ObjectsAndRecordsAcrossThePageBoundary) {
    const int objects = 60000;
    std::string mif = Header("Columns 2\r\n n Integer\r\n s Char(40)\r\n", ",");
    std::string mid;
    for (int i = 0; i < objects; ++i) {
        mif += "Point " + std::to_string(i) + " 2\r\n    Symbol (35,0,12)\r\n";
        std::string record = std::to_string(i) + ",\"name " + std::to_string(i) + "\"";
        if (mid.size() < kPage && mid.size() + record.size() + 2 + 32 > kPage) {
            // Pad this record so that its CR is the last byte of the first page.
            record += std::string(kPage - 1 - mid.size() - record.size(), ' ');
        }
        mid += record + "\r\n";
    }
    ASSERT_GT(mif.size(), kPage + 1000);
    ASSERT_GT(mid.size(), kPage + 1000);
    ASSERT_EQ(mid.substr(kPage - 1, 2), "\r\n");
    MifPair p(mif, mid.c_str());
    ASSERT_TRUE(p.opened);
    Records records = Walk(p.file);
    ASSERT_EQ(records.size(), static_cast<size_t>(objects));
    for (int i = 0; i < objects; ++i) {
        ASSERT_EQ(records[static_cast<size_t>(i)][0], std::to_string(i)) << "object " << i;
        ASSERT_EQ(records[static_cast<size_t>(i)][1].substr(0, 5 + std::to_string(i).size()),
                  "name " + std::to_string(i))
            << "object " << i;
    }
    EXPECT_EQ(p.file.Progress(), 100.0);
}

// Read ahead on a second thread, the objects and values come in file order, batch after batch,
// as a walk gives them: many small objects, regions that fill a batch alone, Text strings, a
// record whose values run out and objects past the last record; the repairs are the same.
TEST(ReadAhead, GivesWhatAWalkGives) {
    std::string mif = Header(kThreeColumns, ",");
    std::string mid;
    for (int i = 0; i < 3000; ++i) {
        if (i == 1000 || i == 1001) {
            mif += "Region 1\r\n  70000\r\n";
            for (int k = 0; k < 70000; ++k) {
                mif += std::to_string(k % 977) + " " + std::to_string(k / 977 + i) + "\r\n";
            }
        } else if (i % 3 == 0) {
            mif += "Text \"a\\nb \"\"" + std::to_string(i) + "\"\"\"\r\n  0 0 1 1\r\n";
        } else {
            mif += "Pline 3\r\n" + std::to_string(i) + " 0\r\n1 1 2 2\r\n";
        }
        if (i < 2990) {
            mid +=
                std::to_string(i) + (i == 500 ? "\r\n" : ",\"v" + std::to_string(i) + "\",1.5\r\n");
        }
    }
    MifPair p(mif, mid.c_str());
    ASSERT_TRUE(p.opened);
    std::vector<std::string> walked;
    Records records = Walk(p.file, &walked);
    const CMifReport walkReport = p.file.Report();
    ASSERT_EQ(walked.size(), 3000u);

    std::vector<std::string> objects;
    Records values;
    size_t batches = 0;
    {
        CMifReadAhead ahead(p.file);
        while (CMifBatch* batch = ahead.Next()) {
            ASSERT_LT(++batches, 10000u) << "batches that never end";
            for (size_t k = 0; k < batch->Count(); ++k) {
                objects.push_back(Dump(batch->Object(k).get()));
                values.emplace_back();
                std::string_view value;
                for (int i = 0; i < 3 && batch->Value(k, i, value); ++i) {
                    values.back().emplace_back(value);
                }
            }
        }
        EXPECT_EQ(ahead.Next(), nullptr) << "the end stays the end";
    }
    EXPECT_GT(batches, 12u);
    EXPECT_EQ(objects, walked);
    EXPECT_EQ(values, records);
    EXPECT_EQ(p.file.Report().Total(), walkReport.Total());
    EXPECT_EQ(p.file.Report().Entries().size(), walkReport.Entries().size());
}

}  // namespace
