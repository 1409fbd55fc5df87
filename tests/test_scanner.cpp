#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "mif/reader/mif_file.h"
#include "mif/reader/scanner.h"
#include "test_util.h"

namespace {

constexpr uint32_t kPage = CTextFile::kPageSize;

// A MIF file opened on the given bytes, for the pull operations alone (no header parsing).
class ScanFile {
public:
    explicit ScanFile(const std::string& bytes) {
        WriteFile(dir.Path("scan.mif"), bytes);
        opened = file.OpenRead(dir.Path("scan.mif").c_str()) == 1;
    }
    TempDir dir;
    CMifFile file;
    bool opened = false;
};

TEST(ScannerWords, BlanksAreSpaceCrLfButNotTab) {
    ScanFile s("  Version 300\r\nCharset\t\"Neutral\"\rx");
    ASSERT_TRUE(s.opened);
    EXPECT_EQ(s.file.ReadWord(), "Version");
    EXPECT_EQ(s.file.ReadWord(), "300");
    EXPECT_EQ(s.file.ReadWord(), "Charset\t\"Neutral\"") << "TAB belongs to the word";
    EXPECT_EQ(s.file.ReadWord(), "x") << "a word at the end of the file without a terminator";
    EXPECT_EQ(s.file.ReadWord(), "");
    std::string reused = "old";
    EXPECT_FALSE(s.file.ReadWord(reused));
    EXPECT_EQ(reused, "");
}

TEST(ScannerWords, LinesSkipEmptyLinesAndKeepInnerAndTrailingSpaces) {
    ScanFile s("CoordSys\r\n\r\n  Earth Projection 1, 104  \nCoordSys Nonearth\nlast");
    ASSERT_TRUE(s.opened);
    EXPECT_EQ(s.file.ReadWord(), "CoordSys");
    EXPECT_EQ(s.file.ReadLine(), "Earth Projection 1, 104  ");
    EXPECT_EQ(s.file.ReadWord(), "CoordSys");
    EXPECT_EQ(s.file.ReadLine(), "Nonearth");
    EXPECT_EQ(s.file.ReadLine(), "last");
    EXPECT_EQ(s.file.ReadLine(), "");
}

TEST(ScannerWords, RestoreMarkPutsBackTheWholeWordOrLine) {
    ScanFile s("\r\n  Pen (1,2,0) \r\nBrush");
    ASSERT_TRUE(s.opened);
    EXPECT_EQ(s.file.ReadWord(), "Pen");
    s.file.RestoreMark();
    EXPECT_EQ(s.file.ReadLine(), "Pen (1,2,0) ");
    s.file.RestoreMark();
    EXPECT_EQ(s.file.ReadWord(), "Pen");
    EXPECT_EQ(s.file.ReadWord(), "(1,2,0)");
    EXPECT_EQ(s.file.ReadWord(), "Brush");
}

TEST(ScannerWords, WordsAndLinesRunAcrossThePageBoundary) {
    // "Region" straddles the boundary; the put-back returns to the previous page.
    std::string bytes(kPage - 3, ' ');
    bytes += "Region 12\r\nPline";
    ScanFile s(bytes);
    ASSERT_TRUE(s.opened);
    EXPECT_EQ(s.file.ReadWord(), "Region");
    EXPECT_EQ(s.file.Page(), 1);
    s.file.RestoreMark();
    EXPECT_EQ(s.file.ReadLine(), "Region 12");
    EXPECT_EQ(s.file.ReadObjectKeyword(), kMifPline);
    EXPECT_EQ(s.file.ReadObjectKeyword(), -1);
}

TEST(ScannerSearch, FindKeywordMatchesWholeWordsIgnoringCaseAndStops) {
    ScanFile s("Version 300\nColumns: 2\nDATA\nColumns 1\n");
    ASSERT_TRUE(s.opened);
    EXPECT_EQ(s.file.FindKeyword("Unique", "Data"), 0) << "stops at DATA";
    EXPECT_EQ(s.file.ReadWord(), "Version") << "a failed search leaves the position alone";
    EXPECT_EQ(s.file.FindKeyword("columns", "Data"), 0) << "Columns: is another word";
    EXPECT_EQ(s.file.FindKeyword("columns", nullptr), 1);
    EXPECT_EQ(s.file.ReadWord(), "1");
    EXPECT_EQ(s.file.FindKeyword("Version", nullptr), 0) << "end of the file";
    EXPECT_EQ(s.file.ReadWord(), "");
}

TEST(ScannerSearch, FailedSearchReturnsToItsStartFromALaterPage) {
    std::string bytes = "Version 300\n";
    bytes += std::string(kPage + 100, '\n');
    bytes += "Data\nPoint 1 2\n";
    ScanFile s(bytes);
    ASSERT_TRUE(s.opened);
    EXPECT_EQ(s.file.ReadWord(), "Version");
    EXPECT_EQ(s.file.FindKeyword("Charset", "Data", "Columns"), 0);
    EXPECT_EQ(s.file.Page(), 0);
    EXPECT_EQ(s.file.ReadWord(), "300");
    EXPECT_EQ(s.file.FindKeyword("Data", nullptr), 1);
    EXPECT_EQ(s.file.ReadObjectKeyword(), kMifPoint);
}

TEST(ScannerSearch, ObjectKeywordSkipsClausesAndStopsAfterTheKeyword) {
    ScanFile s("Pen (1,2,0) Brush (2,0) region 1\n");
    ASSERT_TRUE(s.opened);
    EXPECT_EQ(s.file.ReadObjectKeyword(), kMifRegion);
    EXPECT_EQ(s.file.ReadWord(), "1");
}

TEST(ScannerText, StripQuotesAndParens) {
    EXPECT_EQ(StripQuotes("\"Neutral\""), "Neutral");
    EXPECT_EQ(StripQuotes("\"open"), "open");
    EXPECT_EQ(StripQuotes("close\""), "close");
    EXPECT_EQ(StripQuotes("\""), "\"");
    EXPECT_EQ(StripQuotes("\"\""), "");
    EXPECT_EQ(StripQuotes(""), "");
    EXPECT_EQ(StripParens("(20)"), "20");
    EXPECT_EQ(StripParens("(12,3"), "12,3");
    EXPECT_EQ(StripParens(")"), ")");
}

TEST(ScannerText, NumberListsSkipEmptyTokens) {
    std::vector<int32_t> ints = {9, 9};
    ParseIntList("1, 2,,3", ints);
    EXPECT_EQ(ints, (std::vector<int32_t>{1, 2, 3}));
    ParseIntList(",,,", ints);
    EXPECT_TRUE(ints.empty());
    ParseIntList("4 5", ints);
    EXPECT_EQ(ints, (std::vector<int32_t>{4}));
    std::vector<double> doubles;
    ParseDoubleList(" 1.5, -2e3 ,x,", doubles);
    EXPECT_EQ(doubles, (std::vector<double>{1.5, -2000.0, 0.0}));
}

TEST(ScannerText, SplitQuotedKeepsSeparatorsInsideQuotes) {
    std::vector<std::string> list;
    SplitQuoted("\"Arial, Bold\",0, 12,255", ',', list);
    EXPECT_EQ(list, (std::vector<std::string>{"Arial, Bold", "0", " 12", "255"}));
    list.clear();
    SplitQuoted("", ',', list);
    EXPECT_EQ(list, (std::vector<std::string>{""}));
    list.clear();
    SplitQuoted("\"x\"\"y\"", ',', list);
    EXPECT_EQ(list, (std::vector<std::string>{"xy"}));
}

TEST(ScannerNumbers, IntegersAsAtoiWithoutOverflow) {
    EXPECT_EQ(ParseInt("  -42abc"), -42);
    EXPECT_EQ(ParseInt("+7"), 7);
    EXPECT_EQ(ParseInt("\t\n12"), 12);
    EXPECT_EQ(ParseInt("x1"), 0);
    EXPECT_EQ(ParseInt("-"), 0);
    EXPECT_EQ(ParseInt(""), 0);
    EXPECT_EQ(ParseInt("2147483647"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ParseInt("-2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ParseInt("99999999999999999999999"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ParseInt("-99999999999999999999999"), std::numeric_limits<int32_t>::min());
}

TEST(ScannerNumbers, DoublesAsAtofWithoutOverflow) {
    EXPECT_EQ(ParseDouble(" 407131.721 "), 407131.721);
    EXPECT_EQ(ParseDouble("-1.5e2x"), -150.0);
    EXPECT_EQ(ParseDouble("+.5"), 0.5);
    EXPECT_EQ(ParseDouble("1,5"), 1.0);
    EXPECT_EQ(ParseDouble("--1"), 0.0);
    EXPECT_EQ(ParseDouble("abc"), 0.0);
    EXPECT_EQ(ParseDouble("1e999"), HUGE_VAL);
    EXPECT_EQ(ParseDouble("-1e999"), -HUGE_VAL);
    EXPECT_EQ(ParseDouble("1e-999"), 0.0);
}

// Makes a comma-decimal locale current for numbers, or skips when the machine has none.
class CommaLocale {
public:
    CommaLocale() {
        const char* saved = std::setlocale(LC_NUMERIC, nullptr);
        old = saved != nullptr ? saved : "C";
        for (const char* name : {"de_DE.UTF-8", "ru_RU.UTF-8", "fr_FR.UTF-8"}) {
            if (std::setlocale(LC_NUMERIC, name) != nullptr) {
                active = true;
                return;
            }
        }
        // Build one: glibc finds locales in LOCPATH.
        std::string cmd =
            "localedef -i de_DE -f UTF-8 " + dir.Path("de_DE.UTF-8") + " >/dev/null 2>&1";
        if (std::system(cmd.c_str()) == 0) {
            ::setenv("LOCPATH", dir.Root().c_str(), 1);
            active = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
            ::unsetenv("LOCPATH");
        }
    }
    ~CommaLocale() { std::setlocale(LC_NUMERIC, old.c_str()); }
    TempDir dir;
    std::string old;
    bool active = false;
};

TEST(ScannerNumbers, PeriodIsTheDecimalPointInAnyLocale) {
    CommaLocale locale;
    if (!locale.active) {
        GTEST_SKIP() << "no comma-decimal locale can be made on this machine";
    }
    ASSERT_EQ(std::strtod("1,5", nullptr), 1.5) << "the locale really reads a comma";
    EXPECT_EQ(ParseDouble("1.5"), 1.5);
    EXPECT_EQ(ParseDouble("1,5"), 1.0);
    std::vector<double> list;
    ParseDoubleList("0.5,2.25", list);
    EXPECT_EQ(list, (std::vector<double>{0.5, 2.25}));
}

}  // namespace
