#include <gtest/gtest.h>

#include <stdexcept>

#include "mif/model/mif_column.h"
#include "mif/model/mif_object.h"

namespace {

TEST(Keywords, WholeWordsInAnyCase) {
    EXPECT_EQ(MifObjectTypeFromKeyword("pline"), kMifPline);
    EXPECT_EQ(MifObjectTypeFromKeyword("PLINE"), kMifPline);
    EXPECT_EQ(MifObjectTypeFromKeyword("None"), kMifNone);
    EXPECT_EQ(MifObjectTypeFromKeyword("rOUNDrECT"), kMifRoundRect);
    EXPECT_EQ(MifObjectTypeFromKeyword("MULTIPOINT"), kMifMultiPoint);
    EXPECT_EQ(MifObjectTypeFromKeyword("collection"), kMifCollection);
    EXPECT_EQ(MifObjectTypeFromKeyword("Polyline"), -1);
    EXPECT_EQ(MifObjectTypeFromKeyword("Rectangle"), -1);
    EXPECT_EQ(MifObjectTypeFromKeyword("Round"), -1);
    EXPECT_EQ(MifObjectTypeFromKeyword("Rec"), -1);
    EXPECT_EQ(MifObjectTypeFromKeyword(""), -1);
    EXPECT_EQ(MifObjectTypeFromKeyword("Point\t"), -1) << "a tab belongs to the word";
    for (int32_t k = 0; k < kMifKindCount; ++k) {
        EXPECT_EQ(MifObjectTypeFromKeyword(MifObjectKeyword(k)), k);
    }
}

TEST(Colors, SwapBetweenMemoryOrderAndMifInteger) {
    EXPECT_EQ(SwapColor(0x0000FF), 16711680);
    EXPECT_EQ(SwapColor(16711680), 0x0000FF);
    EXPECT_EQ(SwapColor(0x12345678), 0x785634) << "the top byte is dropped";
    EXPECT_EQ(SwapColor(0x00FF00), 0x00FF00);
    EXPECT_EQ(SwapColor(SwapColor(0xABCDEF)), 0xABCDEF);
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

TEST(Records, DefaultsMarkAbsentStyles) {
    CMifRegion r;
    EXPECT_EQ(r.kind, kMifRegion);
    EXPECT_TRUE(r.sectionStarts.empty());
    EXPECT_EQ(r.hasCenter, 0);
    EXPECT_EQ(r.pen.pattern, -1);
    EXPECT_EQ(r.brush.pattern, -1);
    EXPECT_EQ(r.brush.backColor, -1);

    CMifText t;
    EXPECT_EQ(t.spacing, 0.0f);
    EXPECT_EQ(t.justify, 0);
    EXPECT_EQ(t.angle, 0.0f);
    EXPECT_EQ(t.labelLine, 0);
    EXPECT_TRUE(t.font.name.empty());
    EXPECT_EQ(t.font.backColor, -1);

    CMifPoint pt;
    EXPECT_EQ(pt.symbol.form, -1);
    CMifPoint copy;
    pt.symbol.fontName = "Wingdings";
    pt.point.x = 5;
    copy = pt;
    EXPECT_EQ(copy.symbol.fontName, "Wingdings");
    EXPECT_EQ(copy.point.x, 5.0);
}

TEST(Records, CreatedByKindAndDeletedByKind) {
    for (int32_t k = 0; k < kMifKindCount; ++k) {
        CMifObject* o = CreateMifObject(k);
        ASSERT_NE(o, nullptr) << k;
        EXPECT_EQ(o->kind, k);
        DeleteMifObject(o);
    }
    EXPECT_EQ(CreateMifObject(12), nullptr);
    EXPECT_EQ(CreateMifObject(-1), nullptr);
    DeleteMifObject(nullptr);

    // A text with a long string and a multipoint with elements are freed whole (the leak
    // checker of the sanitizer build would report otherwise).
    auto* t = static_cast<CMifText*>(CreateMifObject(kMifText));
    t->text.assign(1000, 'x');
    DeleteMifObject(t);
    auto* m = static_cast<CMifMultiPoint*>(CreateMifObject(kMifMultiPoint));
    m->points.resize(3);
    m->points[0].symbol.fileName.assign(100, 'y');
    DeleteMifObject(m);
}

TEST(Records, CollectionCountsAndOwnsItsParts) {
    auto* c = static_cast<CMifCollection*>(CreateMifObject(kMifCollection));
    EXPECT_EQ(c->GetPartCount(), 0);
    c->region.reset(new CMifRegion());
    c->multiPoint.reset(new CMifMultiPoint());
    c->multiPoint->points.resize(2);
    EXPECT_EQ(c->GetPartCount(), 2);
    DeleteMifObject(c);
}

TEST(Columns, GrowWithDefaultsAndRefuseBadIndexes) {
    CMifColumnList list;
    EXPECT_EQ(list.GetCount(), 0);
    list.SetCount(3);
    ASSERT_EQ(list.GetCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(list.Get(i).name.empty());
        EXPECT_EQ(list.Get(i).type, kColNone);
        EXPECT_EQ(list.Get(i).width, 0);
        EXPECT_EQ(list.Get(i).decimals, 0);
    }
    list.Set(1, CMifColumn{"AREA", kColDecimal, 12, 3});
    EXPECT_EQ(list.Get(1).width, 12);
    EXPECT_EQ(list.Get(1).decimals, 3);
    EXPECT_THROW(list.Get(3), std::invalid_argument);
    EXPECT_THROW(list.Get(-1), std::invalid_argument);
    EXPECT_THROW(list.SetCount(-1), std::invalid_argument);
    list.SetCount(1);
    EXPECT_EQ(list.GetCount(), 1);
}

}  // namespace
