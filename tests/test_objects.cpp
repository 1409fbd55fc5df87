#include <gtest/gtest.h>

#include <chrono>

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

TEST(ObjectBodies, EveryKindReadsTheSameOnOneLineAndOneWordPerLine) {
    for (const Case& c : kBodies) {
        std::string oneLine = c.mif;
        std::string split = oneLine;
        size_t geometryEnd = oneLine.find('\n');
        size_t start = split.compare(0, 4, "Text") == 0 ? geometryEnd + 1 : 0;
        for (size_t i = start; i < split.find('\n', start); ++i) {
            if (split[i] == ' ') {
                split[i] = '\n';
            }
        }
        for (const std::string& text : {oneLine, split, "Point 0 0\n" + split + "None\n"}) {
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

TEST(ObjectBodies, TransformMovesPositionsButNotAnglesRadiusOrSizes) {
    const Case cases[] = {
        {"Point 10 20\nSymbol (35,0,12)\n", "Point 120,260 sym(0,35,#000000,12,'','',0,0)"},
        {"Line 1 1 2 2\nPen (25,2,0)\n", "Line 102,203 104,206 pen(2,2,#000000)"},
        {"Pline Multiple 2 1 1 1 1 2 2", "Pline [102,203][104,206]"},
        {"Region 1 2 1 1 2 2 Center 1 1", "Region [102,203 104,206] center 102,203"},
        {"RoundRect 0 0 1 1 5", "RoundRect 100,200 102,203 r5"},
        {"Arc 0 0 1 1 90 180", "Arc 100,200 102,203 90..180"},
        {"Ellipse 1 1 2 2", "Ellipse 102,203 104,206"},
        {"Text \"t\"\n0 0 1 1\nFont (\"Arial\",1,12,0)\nAngle 30 Label Line Arrow 1 1\n",
         "Text 't' 100,200 102,203 sp1 j0 a30 label2@102,203 font('Arial',1,12,#000000,-1)"},
        {"MultiPoint 2 0 0 1 1", "MultiPoint [100,200][102,203]"},
    };
    for (const Case& c : cases) {
        MifText mif(c.mif, {2, 3, 100, 200});
        EXPECT_EQ(Dump(mif.Next()), c.expected) << c.mif;
    }
    MifText shift("Point 1 1\n", {0, 0, 5, 5});
    EXPECT_EQ(Dump(shift.Next()), "Point 6,6") << "a factor of 0 leaves its axis unscaled";
}

TEST(ObjectBodies, WordsThatAreNotNumbersReadAsZero) {
    const Case cases[] = {
        {"Point 1,2 3\n", "Point 1,3"},
        {"Line 1 2 3\n", "Line 1,2 3,0"},
        {"Pline 3\n1 2\n3", "Pline [1,2 3,0]"},
        {"Region 2 3 0 0 1 1", "Region [0,0 1,1]"},
        {"Pline -4 1 2", "Pline []"},
        {"Region -1 3 0 0 1 1", "Region"},
        {"MultiPoint 0 1 1\n", "MultiPoint"},
        {"Text\n", "Text '' 0,0 0,0 sp1 j0 a0"},
        {"Arc 0 0 1 1 x 1e40", "Arc 0,0 1,1 0..inf"},
    };
    for (const Case& c : cases) {
        MifText mif(c.mif);
        EXPECT_EQ(Dump(mif.Next()), c.expected) << c.mif;
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
        auto start = std::chrono::steady_clock::now();
        MifText mif(c.mif);
        CMifObject* o = mif.Next();
        double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        EXPECT_EQ(Dump(o), c.expected) << c.mif;
        EXPECT_LT(ms, 200.0) << c.mif;
        if (o != nullptr && o->kind == kMifPline) {
            EXPECT_LT(static_cast<CMifPline*>(o)->nodes.capacity(), 64u) << "reserved from a count";
        }
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
        {"Text unquoted \"\"x\n0 0 1 1", "unquoted \"\"x"},
    };
    for (const Case& c : cases) {
        MifText mif(c.mif);
        CMifObject* o = mif.Next();
        ASSERT_EQ(o != nullptr ? o->kind : -1, kMifText) << c.mif;
        EXPECT_EQ(static_cast<CMifText*>(o)->text, c.expected) << c.mif;
        EXPECT_EQ(Pt(static_cast<CMifText*>(o)->corner2), "1,1") << c.mif;
    }
}

TEST(ObjectBodies, CollectionPartsAreTakenByPosition) {
    MifText mif(
        "Collection 2\n Pline 2 0 0 1 1\n MultiPoint 1 5 5\nPoint 7 7\n"
        "COLLECTION 3\n Region 1 1 0 0\n Line 0 1 2 3\n MultiPoint 1 2 2\n Symbol (1,2,3)\n"
        "Collection 2 Region 1 1 9 9\n Brush (2,255)\nPline 1 8 8\nPen (1,2,3)\nNone\n");
    EXPECT_EQ(Dump(mif.Next()), "Collection {-} {-} {-}");
    EXPECT_EQ(Dump(mif.Next()), "Point 7,7");
    EXPECT_EQ(Dump(mif.Next()),
              "Collection {Region [0,0]} {-} {MultiPoint [2,2 sym(0,1,#020000,3,'','',0,0)]}");
    EXPECT_EQ(Dump(mif.Next()),
              "Collection {Region [9,9] brush(2,#ff0000,-1)} {Pline [8,8] pen(1,2,#030000)} {-}");
    EXPECT_EQ(Dump(mif.Next()), "None");
    EXPECT_EQ(mif.file.nextKind, -1);
    EXPECT_EQ(mif.file.ReadObject(), nullptr);
    EXPECT_EQ(mif.file.currentObject, nullptr);
}

}  // namespace
