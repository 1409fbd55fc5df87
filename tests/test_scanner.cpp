#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "mif/model/mif_object.h"
#include "mif/reader/scanner.h"
#include "test_util.h"

namespace {

constexpr uint32_t kPage = CTextFile::kPageSize;

TEST(Scanner, WordsLinesAndPutBackAcrossThePageBoundary) {
    // TAB separates words as a space does and stays inside a line; "Region" straddles the 1 MiB
    // boundary and is put back across it.
    std::string bytes =
        "  Version 300\r\nCharset\t\"Neutral\"\rCoordSys\r\n\r\n\t Earth\t1, 104 \n";
    bytes += std::string(kPage - 3 - bytes.size(), ' ') + "Region 12\r\nPline";
    TempDir dir;
    WriteFile(dir.Path("s.mif"), bytes);
    CMifScanner f;
    ASSERT_EQ(f.Open(dir.Path("s.mif").c_str()), 1);
    EXPECT_EQ(f.ReadWord(), "Version");
    EXPECT_EQ(f.ReadWord(), "300");
    EXPECT_EQ(f.ReadWord(), "Charset");
    EXPECT_EQ(f.ReadWord(), "\"Neutral\"");
    EXPECT_EQ(f.ReadWord(), "CoordSys");
    EXPECT_EQ(f.ReadLine(), "Earth\t1, 104 ") << "the next non-empty line, trailing space kept";
    EXPECT_EQ(f.ReadWord(), "Region");
    EXPECT_GT(f.ReadOffset(), int64_t{kPage});
    f.RestoreMark();
    EXPECT_EQ(f.ReadLine(), "Region 12");
    EXPECT_EQ(f.ReadWord(), "Pline") << "a word ending at the end of the file";
    EXPECT_EQ(f.ReadWord(), "");
    EXPECT_EQ(f.ReadLine(), "");
}

TEST(Scanner, FindKeywordStopsAndReturnsToItsStart) {
    TempDir dir;
    WriteFile(dir.Path("s.mif"), "Version 300\nColumns: 2\n" + std::string(kPage, '\n') +
                                     "DATA\nPen (1,2,0) Brush (2,0) region 1\n");
    CMifScanner f;
    ASSERT_EQ(f.Open(dir.Path("s.mif").c_str()), 1);
    EXPECT_EQ(f.FindKeyword("Columns", "Data", "Index"), 0) << "Columns: is another word";
    EXPECT_EQ(f.ReadOffset(), 0) << "back from the page where the search stopped";
    EXPECT_EQ(f.ReadWord(), "Version");
    EXPECT_EQ(f.FindKeyword("300", "Data"), 1);
    EXPECT_EQ(f.FindKeyword("data", nullptr), 1);
    EXPECT_EQ(f.ReadObjectKeyword(), kMifRegion) << "clauses are skipped";
    EXPECT_EQ(f.ReadWord(), "1");
    EXPECT_EQ(f.FindKeyword("Version", nullptr), 0);
    EXPECT_EQ(f.ReadObjectKeyword(), -1);
}

TEST(Scanner, TextFunctions) {
    EXPECT_EQ(StripQuotes("\"Neutral\""), "Neutral");
    EXPECT_EQ(StripQuotes("\"open"), "open");
    EXPECT_EQ(StripQuotes("\""), "\"");
    EXPECT_EQ(StripQuotes("\"\""), "");
    EXPECT_EQ(StripParens("(12,3"), "12,3");
    std::vector<int32_t> ints = {9};
    ParseIntList("1, 2,,3", ints);
    EXPECT_EQ(ints, (std::vector<int32_t>{1, 2, 3}));
    ParseIntList(",,,", ints);
    EXPECT_TRUE(ints.empty());
    std::vector<std::string> list;
    SplitQuoted(" \"Arial, Bold (Cyr)\" ,0, 12", ',', list);
    EXPECT_EQ(list, (std::vector<std::string>{"Arial, Bold (Cyr)", "0", "12"}));
    list.clear();
    SplitQuoted("\" a \"\"b\"\"\",", ',', list);
    EXPECT_EQ(list, (std::vector<std::string>{" a \"b\"", ""})) << "blanks inside quotes stay";
    list.clear();
    SplitQuoted("\"x\"\"\",\"\"\"\"", ',', list);
    EXPECT_EQ(list, (std::vector<std::string>{"x\"", "\""})) << "a doubled quote before the last";
    std::vector<double> reals;
    ParseDoubleList("2 3.5\t-10, 0.25", reals);
    EXPECT_EQ(reals, (std::vector<double>{2, 3.5, -10, 0.25})) << "blanks separate reals too";
}

TEST(Scanner, NumbersAsAtoiAndAtofWithoutOverflow) {
    EXPECT_EQ(ParseInt("  -42abc"), -42);
    EXPECT_EQ(ParseInt("x1"), 0);
    EXPECT_EQ(ParseInt("-2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ParseInt("99999999999999999999999"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ParseInt("-99999999999999999999999"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(ParseDouble(" -1.5e2x"), -150.0);
    EXPECT_EQ(ParseDouble("+.5"), 0.5);
    EXPECT_EQ(ParseDouble("--1"), 0.0);
    EXPECT_EQ(ParseDouble("1e999"), HUGE_VAL);
    EXPECT_EQ(ParseDouble("-1e999"), -HUGE_VAL);
    EXPECT_EQ(ParseDouble("1e-999"), 0.0);
    // Not-a-number and infinity as C libraries of other systems print them.
    EXPECT_EQ(ParseDouble("1.#INF"), HUGE_VAL);
    EXPECT_EQ(ParseDouble("-1.#INF"), -HUGE_VAL);
    for (const char* nan : {"nan", "1.#QNAN", "-1.#IND", "1.#SNAN"}) {
        EXPECT_TRUE(std::isnan(ParseDouble(nan))) << nan;
    }
}

TEST(Scanner, PeriodIsTheDecimalPointInACommaLocale) {
    // Builds a comma-decimal locale when none is installed (glibc looks in LOCPATH).
    TempDir dir;
    std::string old = std::setlocale(LC_NUMERIC, nullptr);
    std::string cmd = "localedef -i de_DE -f UTF-8 " + dir.Path("de_DE.UTF-8") + " 2>/dev/null";
    // Windows names its locales differently.
    bool set = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr ||
               std::setlocale(LC_NUMERIC, "German_Germany.1252") != nullptr;
    if (!set && std::system(cmd.c_str()) == 0) {
        testos::SetEnv("LOCPATH", dir.Root().string().c_str());
        std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
        testos::SetEnv("LOCPATH", nullptr);
    }
    if (std::strtod("1,5", nullptr) != 1.5) {
        std::setlocale(LC_NUMERIC, old.c_str());
        GTEST_SKIP() << "no comma-decimal locale can be made on this machine";
    }
    std::vector<double> list;
    ParseDoubleList("0.5,2.25", list);
    double plain = ParseDouble("1.5");
    double comma = ParseDouble("1,5");
    std::setlocale(LC_NUMERIC, old.c_str());
    EXPECT_EQ(plain, 1.5);
    EXPECT_EQ(comma, 1.0);
    EXPECT_EQ(list, (std::vector<double>{0.5, 2.25}));
}

// Decimal text reads to the same double as the C library's strtod gives, for every length of
// mantissa and fraction (the fast path and the general conversion must agree bit for bit).
TEST(Numbers, DecimalsReadExactlyAsStrtod) {
    uint64_t state = 987654321;
    auto next = [&state]() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 11;
    };
    char text[64];
    for (int i = 0; i < 300000; ++i) {
        int decimals = static_cast<int>(next() % 18);
        double v = static_cast<double>(next()) / static_cast<double>(next() % 1000000 + 1);
        std::snprintf(text, sizeof text, "%s%.*f", next() % 2 ? "-" : "", decimals, v);
        double expected = std::strtod(text, nullptr);
        double got = ParseDouble(text);
        ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << text;
    }
}

}  // namespace

namespace {

// Coordinates read from a file give the same double as strtod gives for the word, whatever their
// form: plain decimals of every length (converted as they are scanned), exponents, leading zeros,
// signs, words that straddle a page boundary or end the file.
TEST(Numbers, CoordinatesReadFromAFileExactlyAsStrtod) {
    uint64_t state = 12345;
    auto next = [&state]() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 11;
    };
    const char* const blanks[] = {" ", "\r\n", "\t", "\n", "  "};
    std::vector<std::string> words;
    std::string bytes;
    while (bytes.size() < 2 * kPage + 100000) {
        std::string word = next() % 3 == 0 ? "-" : (next() % 20 == 0 ? "+" : "");
        int digits = static_cast<int>(next() % 21);
        int decimals = static_cast<int>(next() % 24) + (digits == 0 ? 1 : 0);
        for (int k = 0; k < digits; ++k) {
            word += static_cast<char>('0' + next() % 10);
        }
        if (digits == 0 || next() % 8 != 0) {
            word += '.';
            for (int k = 0; k < decimals; ++k) {
                word += static_cast<char>('0' + next() % 10);
            }
        }
        if (next() % 16 == 0) {
            word += "e" + std::to_string(static_cast<int>(next() % 40) - 20);
        }
        words.push_back(word);
        bytes += word + blanks[next() % 5];
    }
    bytes.pop_back();  // the last word ends the file
    TempDir dir;
    WriteFile(dir.Path("n.mif"), bytes);
    CMifScanner f;
    ASSERT_EQ(f.Open(dir.Path("n.mif").c_str()), 1);
    for (const std::string& word : words) {
        double got = 1.0;
        ASSERT_TRUE(f.ReadNumber(got)) << word;
        double expected = std::strtod(word.c_str(), nullptr);
        ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << word << " read as " << got;
    }
    double last = 1.0;
    EXPECT_FALSE(f.ReadNumber(last));
    EXPECT_EQ(last, 0.0);
}

}  // namespace
