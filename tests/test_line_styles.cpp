#include <gtest/gtest.h>

#include "convert/line_styles.h"
#include "plugin/host/style.h"

namespace {

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
