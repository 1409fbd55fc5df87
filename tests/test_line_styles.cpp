#include <gtest/gtest.h>

#include <cstdint>

#include "convert/line_styles.h"
#include "convert/pen_width.h"
#include "plugin/host/style.h"

namespace {

// A MIF pen is 1 to 7 pixels, or 10 plus tenths of a point; anything else draws 1 pixel wide. The
// host's pixels go back to MIF widths, in the point form from 8 pixels on.
TEST(PenWidths, PixelsAndPointsBothWays) {
    const double screen = 96.0 / 72.0;
    const int32_t widths[][2] = {{1, 1},  {7, 7},      {8, 1},    {9, 1},         {10, 1},
                                 {0, 1},  {-3, 1},     {11, 0},   {25, 2},        {40, 4},
                                 {14, 1}, {2047, 272}, {2048, 1}, {INT32_MAX, 1}, {INT32_MIN, 1}};
    for (const auto& w : widths) {
        EXPECT_EQ(PenWidthToPixels(w[0], screen), w[1]) << "width " << w[0];
    }
    EXPECT_EQ(PenWidthToPixels(25, 144.0 / 72.0), 3) << "points follow the screen";
    EXPECT_EQ(PenWidthToPixels(2047, 1e9), INT32_MAX) << "a resolution that overflows saturates";
    const uint32_t pixels[][2] = {{0, 0}, {7, 7}, {8, 70}, {13, 108}, {272, 2047}, {300, 2047}};
    for (const auto& p : pixels) {
        EXPECT_EQ(PenWidthFromPixels(p[0]), static_cast<int32_t>(p[1])) << "pixels " << p[0];
    }
}

// Width factors are the integer values of the manager's line styles.
TEST(LineStyleTable, WidthsScaleByTheFactorAndRoundHalvesUp) {
    CXF_ManagerVectorStyle manager(true);
    CXF_StyleObject* three = CXF_StyleObject::Create("x3");
    three->SetIntValue(3);
    manager.SetLinePattern(4, three);  // pattern 5
    RebuildLineStyleTable(&manager);
    EXPECT_EQ(ScalePenWidth(3, 2), 3) << "factor 1";
    EXPECT_EQ(ScalePenWidth(2, 5), 6) << "factor 3";
    EXPECT_EQ(GetLinePatternStyle(5), three);
    EXPECT_EQ(GetLinePatternStyle(2), (*manager.GetLinePatterns())[1]);
    EXPECT_EQ(ScalePenWidth(7, 200), 1) << "patterns of 128 and more give width 1";
    EXPECT_EQ(GetLinePatternStyle(200), nullptr);
    EXPECT_EQ(GetLinePatternStyle(128), nullptr);
    // A pen no clause set has pattern -1: its low 7 bits name entry 126.
    EXPECT_EQ(GetLinePatternStyle(-1), (*manager.GetLinePatterns())[126]);
    RebuildLineStyleTable(nullptr);
}

TEST(LineStyleTable, PatternWithoutEntryGetsFactorOneAndNoStyle) {
    CXF_ManagerVectorStyle manager(true);
    CXF_StyleObject* zero = CXF_StyleObject::Create("x0");
    zero->SetIntValue(0);
    manager.SetLinePattern(0, zero);
    RebuildLineStyleTable(&manager);
    // Pattern 0 (and -128) has no entry: no read before the table, width unchanged.
    EXPECT_EQ(ScalePenWidth(4, 0), 4);
    EXPECT_EQ(ScalePenWidth(4, -128), 4);
    EXPECT_EQ(GetLinePatternStyle(0), nullptr);
    EXPECT_EQ(ScalePenWidth(4, 1), 0) << "an entry's own factor still applies";

    // A manager without a pattern list keeps every width as it is.
    CXF_ManagerVectorStyle bare(false);
    RebuildLineStyleTable(&bare);
    EXPECT_EQ(ScalePenWidth(5, 2), 5);
    EXPECT_EQ(GetLinePatternStyle(2), nullptr);
    RebuildLineStyleTable(nullptr);
}

}  // namespace
