#include <gtest/gtest.h>

#include <stdexcept>

#include "mif/model/mif_object.h"

namespace {

TEST(Keywords, WholeWordsInAnyCase) {
    for (int32_t k = 0; k < kMifKindCount; ++k) {
        EXPECT_EQ(MifObjectTypeFromKeyword(MifObjectKeyword(k)), k);
    }
    EXPECT_EQ(MifObjectTypeFromKeyword("rOUNDrECT"), kMifRoundRect);
    EXPECT_EQ(MifObjectTypeFromKeyword("MULTIPOINT"), kMifMultiPoint);
    for (const char* word : {"Polyline", "Round", "Rec", "", "Point\t"}) {
        EXPECT_EQ(MifObjectTypeFromKeyword(word), -1) << word;
    }
}

TEST(Sections, CountsAndNodesFollowTheStarts) {
    CMifPline p;
    for (int s = 0; s < 3; ++s) {
        p.BeginSection();
        int n = s == 1 ? 4 : 3;
        for (int j = 0; j < n; ++j) {
            p.nodes.push_back(CNode{double(p.nodes.size()), 0.0, 0.0});
        }
    }
    ASSERT_EQ(p.sectionStarts, (std::vector<int32_t>{0, 3, 7}));
    EXPECT_EQ(p.GetSectionNodeCount(0), 3);
    EXPECT_EQ(p.GetSectionNodeCount(1), 4);
    EXPECT_EQ(p.GetSectionNodeCount(2), 3);
    ASSERT_NE(p.GetSectionNode(1, 0), nullptr);
    EXPECT_EQ(p.GetSectionNode(1, 0)->x, 3.0);
    EXPECT_EQ(p.GetSectionNode(3, 0), nullptr);
    EXPECT_EQ(p.GetSectionNode(2, 3), nullptr);
    EXPECT_THROW(p.GetSectionNodeCount(3), std::invalid_argument);
    EXPECT_THROW(p.GetSectionNodeCount(-1), std::invalid_argument);
    EXPECT_THROW(p.GetSectionNode(-1, 0), std::invalid_argument);

    CMifRegion r;
    r.BeginSection();  // an empty section counts
    r.BeginSection();
    r.nodes.push_back(CNode{});
    EXPECT_EQ(r.GetSectionNodeCount(0), 0);
    EXPECT_EQ(r.GetSectionNodeCount(1), 1);
}

}  // namespace
