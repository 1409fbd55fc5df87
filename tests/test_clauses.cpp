#include <gtest/gtest.h>

#include "mif_text.h"

namespace {

struct Case {
    const char* mif;
    const char* expected;
};

TEST(Clauses, ValueCountsDecideTheFormAndWrongCountsChangeNothing) {
    const Case cases[] = {
        {"Line 0 0 1 1\nPen (1,2,0)", "Line 0,0 1,1 pen(1,2,#000000)"},
        {"Line 0 0 1 1\nPen (25, 2, 255)", "Line 0,0 1,1 pen(25,2,#ff0000)"},
        {"Line 0 0 1 1\nPen (1,2)", "Line 0,0 1,1"},
        {"Line 0 0 1 1\nPen (1,2,0,5)", "Line 0,0 1,1"},
        {"Line 0 0 1 1\nPen 1,2,0", "Line 0,0 1,1"},
        {"Line 0 0 1 1\nPen )1,2,0(", "Line 0,0 1,1"},
        {"Rect 0 0 1 1\nBrush (2,16777215)", "Rect 0,0 1,1 brush(2,#ffffff,-1)"},
        {"Rect 0 0 1 1\nBrush (2,16777215,0)", "Rect 0,0 1,1 brush(2,#ffffff,#000000)"},
        {"Rect 0 0 1 1\nBrush (2)", "Rect 0,0 1,1"},
        {"Point 0 0\nSymbol (35,0,12)", "Point 0,0 sym(0,35,#000000,12,'','',0,0)"},
        {"Point 0 0\nSymbol (\"pin,1.bmp\",255,24,0)",
         "Point 0,0 sym(2,0,#ff0000,24,'','pin,1.bmp',0,0)"},
        {"Point 0 0\nSymbol (40,255,16,\"Map Symbols\",1,45.5)",
         "Point 0,0 sym(1,40,#ff0000,16,'Map Symbols','',"
         "1,45.5)"},
        {"Point 0 0\nSymbol (1,2,3,4,5)", "Point 0,0"},
        {"Text \"t\"\n0 0 1 1 Font (\"Times, Bold\",1,0,0)",
         "Text 't' 0,0 1,1 sp1 j0 a0 font('Times, Bold',1,0,#000000,-1)"},
        {"Text \"t\"\n0 0 1 1 Font ( \"Arial\" ,1,0,255,65280)",
         "Text 't' 0,0 1,1 sp1 j0 a0 font('Arial',1,0,#ff0000,#00ff00)"},
        {"Text \"t\"\n0 0 1 1 Font (\"Arial (Cyr), \"\"Bold\"\"\",1,0,255)",
         "Text 't' 0,0 1,1 sp1 j0 a0 font('Arial (Cyr), \"Bold\"',1,0,#ff0000,-1)"},
        {"Text \"t\"\n0 0 1 1 Font (\"Arial\",1,0)", "Text 't' 0,0 1,1 sp1 j0 a0"},
    };
    for (const Case& c : cases) {
        ExpectObjects(c.mif, {c.expected});
    }
}

TEST(Clauses, WordFormEndsAtTheNextObjectAtTheEndOfTheFileAndAtGluedClauses) {
    ExpectObjects(
        "Region 1 1 0 0\n  Brush (1,0,16777215)\n  Pen (1,2,0)\nCenter 5 6\nPoint 1 2",
        {"Region [0,0] center 5,6 pen(1,2,#000000) brush(1,#000000,#ffffff)", "Point 1,2"});
    ExpectObjects("Rect 0 0 1 1 Pen(1,2,3)\nBrush(4,5,6)",
                  {"Rect 0,0 1,1 pen(1,2,#030000) brush(4,#050000,#060000)"});
    ExpectObjects("Ellipse 0 0 1 1\nPen (1,2,3) Brush (4,5,6)\nNone",
                  {"Ellipse 0,0 1,1 pen(1,2,#030000)", "None"});
    ExpectObjects("Region 1 1 0 0\nSymbol (1,2,3)\nPens (1,2,3)\nNone",
                  {"Region [0,0] pen(1,2,#030000)", "None"});
    ExpectObjects("Pline 2 0 0 1 1\nSmooth Pen (2,2,0)\nPline 1 0 0 Smoothly\nText",
                  {"Pline [0,0 1,1] smooth pen(2,2,#000000)", "Pline [0,0]", "None"});
    // Objects and clauses indented with TABs, as other programs write them: the clauses belong
    // to the object they follow.
    ExpectObjects("Rect 0 0 1 1\n\tPen (1,2,3)\n\t \tBrush (1,2)\n",
                  {"Rect 0,0 1,1 pen(1,2,#030000) brush(1,#020000,-1)"});
    ExpectObjects(
        "Region 1 3 0 0 1 0 0 1\n\tRegion 1 3 5 5 6 5 5 6\n\t\tPen (1,2,3)\n\tBrush (2,4)\n",
        {"Region [0,0 1,0 0,1]", "Region [5,5 6,5 5,6] pen(1,2,#030000) brush(2,#040000,-1)"});
}

TEST(Clauses, LineFormTakesOnlyTheNextLine) {
    ExpectObjects("Point 1 2\n\nPoint 3 4\nSymbol (1,2,3)\n",
                  {"Point 1,2", "Point 3,4 sym(0,1,#020000,3,'','',0,0)"});
    ExpectObjects("Line 0 0 1 1 Pen (1,2,3)\nArc 0 0 1 1\n 0 360\nPEN (2,2,0)",
                  {"Line 0,0 1,1 pen(1,2,#030000)", "Arc 0,0 1,1 0..360 pen(2,2,#000000)"});
    ExpectObjects("MultiPoint 2 0 0 1 1\nSymbol (1,2,3)\nMultiPoint 0\nSymbol (1,2,3)\nNone",
                  {"MultiPoint [0,0 sym(0,1,#020000,3,'','',0,0)][1,1]", "MultiPoint", "None"});
    ExpectObjects("Point 0 0\n\t Symbol (1,2,3)\n", {"Point 0,0 sym(0,1,#020000,3,'','',0,0)"});
}

TEST(Clauses, TextOptionsInAnyOrder) {
    ExpectObjects(
        "Text \"t\"\n0 0 1 1\nJustify Right\nSpacing 1.5\nAngle 30\nLabel Line Arrow 5 6\n"
        "Text \"u\"\n0 0 1 1\nLabel Line Simple 0.1 2 Angle -45 Justify Middle Font "
        "(\"A\",0,9,0)\nJustify left\n"
        "Text \"v\"\n0 0 1 1 Justify Center Spacing 2.0",
        {"Text 't' 0,0 1,1 sp1.5 j3 a30 label2@5,6",
         "Text 'u' 0,0 1,1 sp1 j1 a-45 label1@0.10000000149,2 font('A',0,9,#000000,-1)",
         "Text 'v' 0,0 1,1 sp2 j2 a0"});
}

}  // namespace
