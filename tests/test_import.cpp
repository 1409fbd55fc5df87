#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "test_export_util.h"

// Heap bytes in use, counted by this program's operators new and delete, which the plug-in and
// the host library allocate through as well. Each block carries its size in front of it.
// Allocations that would take more than limit bytes in use fail, as when memory runs out. The
// total peak also counts the blocks the host library takes from the system, sampled at each
// allocation. The import reads on a second thread: the counts change under a lock.
namespace heap {
std::mutex lock;
size_t inUse = 0;
size_t peak = 0;
size_t totalPeak = 0;
size_t limit = SIZE_MAX;
constexpr size_t kHead = alignof(std::max_align_t);

// Heap and system blocks in use now.
size_t Total() {
    return inUse + XF_SystemBlockBytes();
}

void Sample() {
    peak = inUse > peak ? inUse : peak;
    size_t now = Total();
    totalPeak = now > totalPeak ? now : totalPeak;
}

void* Allocate(size_t n) {
    std::lock_guard<std::mutex> hold(lock);
    if (n > limit - inUse) {
        return nullptr;
    }
    auto* block = static_cast<unsigned char*>(std::malloc(n + kHead));
    if (block == nullptr) {
        return nullptr;
    }
    std::memcpy(block, &n, sizeof n);
    inUse += n;
    Sample();
    return block + kHead;
}

void Free(void* p) {
    if (p != nullptr) {
        std::lock_guard<std::mutex> hold(lock);
        auto* block = static_cast<unsigned char*>(p) - kHead;
        size_t n;
        std::memcpy(&n, block, sizeof n);
        inUse -= n;
        std::free(block);
    }
}
}  // namespace heap

void* operator new(size_t n) {
    void* p = heap::Allocate(n);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    return p;
}
void* operator new[](size_t n) {
    return operator new(n);
}
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    return heap::Allocate(n);
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    return heap::Allocate(n);
}
void operator delete(void* p) noexcept {
    heap::Free(p);
}
void operator delete[](void* p) noexcept {
    heap::Free(p);
}
void operator delete(void* p, size_t) noexcept {
    heap::Free(p);
}
void operator delete[](void* p, size_t) noexcept {
    heap::Free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    heap::Free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    heap::Free(p);
}

namespace {

std::string Header(const std::string& columns) {
    return "Version 300\r\nCharset \"WindowsCyrillic\"\r\nDelimiter \",\"\r\n"
           "CoordSys Earth Projection 1, 0\r\n" +
           columns + "Data\r\n\r\n";
}

// First and last point of a line's first section, to six decimals.
std::string Ends(Cgeo_VectorObject* o) {
    Cgeo_VectorLine* line = o->GetObjLine();
    int n = line->GetNumPoints(0);
    const tagXF_POINT3DD* p = line->GetData(0);
    char text[96];
    std::snprintf(text, sizeof text, "%.6f,%.6f %.6f,%.6f", p[0].x, p[0].y, p[n - 1].x, p[n - 1].y);
    return text;
}

TEST(Import, EveryKindBecomesItsHostObjectWithItsRecordPaired) {
    Import im;
    ASSERT_TRUE(im.Ready()) << PluginLibrary::Error();
    const std::string mif = Header("Columns 1\r\n  id Integer\r\n") +
                            "Point 1 2\r\n"
                            "Line 0 0 3 4\r\n"
                            "Pline Multiple 2\r\n  3\r\n0 0\r\n1 1\r\n2 0\r\n  4\r\n5 5\r\n6 6\r\n"
                            "7 5\r\n8 8\r\n"
                            "Region 2\r\n  5\r\n0 0\r\n4 0\r\n4 4\r\n0 4\r\n0 0\r\n"
                            "  3\r\n1 1\r\n2 1\r\n2 2\r\n"
                            "Rect 0 0 10 5\r\n"
                            "RoundRect 1 1 3 3 0.5\r\n"
                            "Arc 0 0 4 2\r\n  0 90\r\n"
                            "Ellipse 1 2 5 8\r\n"
                            "Text\r\n  \"two\\nlines\"\r\n  0 0 10 4\r\n"
                            "MultiPoint 3\r\n1 1\r\n2 2\r\n3 3\r\n"
                            "Collection 1\r\n  Multipoint 1\r\n9 9\r\n"
                            "None\r\n"
                            "Point 7 8\r\n";
    std::string mid;
    for (int i = 1; i <= 13; ++i) {
        mid += std::to_string(i) + "\r\n";
    }
    ASSERT_EQ(im.Open(mif, mid.c_str()), 1);
    ASSERT_EQ(im.Read(), 1);
    ASSERT_EQ(im.vector.GetObjectCount(), 12) << "the collection is dropped";

    // The closing repeat of a ring is dropped; a ring written without it keeps every vertex.
    const char* objects[] = {"1 [1,2]",
                             "2 [0,0 3,4]",
                             "2 [0,0 1,1 2,0][5,5 6,6 7,5 8,8]",
                             "3 [0,0 4,0 4,4 0,4][1,1 2,1 2,2]",
                             "3 [0,0 10,0 10,5 0,5]",
                             "3 [1,1 3,1 3,3 1,3]",
                             nullptr,  // the arc, below
                             "4 [1,2 5,8]",
                             "5 [5,2] 'two\r\nlines'",
                             "1 [1,1 2,2 3,3]",
                             "0",
                             "1 [7,8]"};
    const int ids[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13};
    for (int k = 0; k < 12; ++k) {
        ASSERT_NE(im.At(k), nullptr);
        if (objects[k] != nullptr) {
            EXPECT_EQ(ObjectText(im.At(k)), objects[k]) << "object " << k;
        }
        EXPECT_EQ(im.Row(k), std::to_string(ids[k])) << "object " << k << " keeps its own record";
    }
    CXF_RegionCmx* region = im.At(3)->GetObjPolygon()->GetRegion();
    EXPECT_EQ(region->GetPolygon(0)->IsExternal(), 1);
    EXPECT_EQ(region->GetPolygon(1)->IsExternal(), 0) << "outer rings were defined";
    // Arc from 0 to 90 degrees in the box (0,0)-(4,2): from (4,1) to (2,2).
    EXPECT_EQ(im.At(6)->GetType(), XF_OBJ_LINE);
    EXPECT_EQ(Ends(im.At(6)), "4.000000,1.000000 2.000000,2.000000");

    EXPECT_EQ(im.vector.GetUpdateGridCount(), 1);
    EXPECT_EQ(im.vector.GetGridBounds().x2, 10.0);
}

// The style object behind a face, and whether it was registered from the given source.
bool FromSource(const CXF_StyleObject* style, const CXF_StyleObject* source) {
    return CXF_StyleObject::SameIdentifier(style, source);
}

TEST(Import, StylesPerKindAndTheLegendOfEachKind) {
    Import im;
    ASSERT_TRUE(im.Ready());
    CXF_ManagerVectorStyle* manager = im.geo.GetApp()->GetStyleManager();
    const std::vector<CXF_StyleObject*>& patterns = *manager->GetLinePatterns();
    const std::string mif = Header("Columns 0\r\n") +
                            "Point 1 2\r\n    Symbol (35,16711680,12)\r\n"
                            "Point 3 4\r\n    Symbol (34,255,10)\r\n"
                            "Line 0 0 1 1\r\n    Pen (3,5,255)\r\n"
                            "Pline 2\r\n0 0\r\n1 1\r\n"
                            "Pline 2\r\n0 0\r\n1 1\r\n    Pen (4,200,0)\r\n"
                            "Line 0 0 1 1\r\n    Pen (2,0,0)\r\n"
                            "Arc 0 0 4 2\r\n  0 90\r\n    Pen (2,5,255)\r\n"
                            "Region 1\r\n  4\r\n0 0\r\n1 0\r\n1 1\r\n0 0\r\n"
                            "    Pen (1,2,0)\r\n    Brush (2,16711680)\r\n"
                            "Rect 0 0 1 1\r\n    Brush (2,65280)\r\n"
                            "Ellipse 0 0 2 2\r\n    Pen (2,2,16711680)\r\n    Brush (2,255)\r\n"
                            "Text \"a\"\r\n  0 0 10 7.9\r\n    Font (\"Courier\",45,0,255)\r\n"
                            "    Justify Right\r\n    Angle 30\r\n";
    ASSERT_EQ(im.Open(mif), 1);
    ASSERT_EQ(im.Read(), 1);
    ASSERT_EQ(im.vector.GetObjectCount(), 11);

    VECTOR_POINT_STYLE point;
    im.At(0)->GetObjPoint()->GetStyle(&point);
    EXPECT_EQ(point.color, 0x0000FFu) << "colours reach the host in GDI order";
    EXPECT_EQ(point.size, 12u);
    EXPECT_EQ(point.sizeValue, 12.0);
    EXPECT_EQ(point.flags, 0);
    ASSERT_NE(point.style, nullptr);
    EXPECT_TRUE(FromSource(point.style->GetStyleObject(), manager->GetDefaultMarkerStyle()));
    point.style->GetStyleObject()->Release();

    struct LineCase {
        int object;
        uint32_t color, width;
        double widthValue;
        const CXF_StyleObject* source;
        const char* what;
    };
    const LineCase lines[] = {
        {2, 0xFF0000, 3, 3.0, patterns[4], "pattern 5: its own line style"},
        {3, 0, 0, 0.0, manager->GetDefaultLineStyle(), "no pen: pattern 127 has no style"},
        {4, 0, 1, 1.0, manager->GetDefaultLineStyle(), "pattern 200: width 1"},
        {5, 0, 2, 2.0, manager->GetDefaultLineStyle(), "pattern 0: factor 1, default style"},
        {6, 0xFF0000, 2, 0.0, manager->GetDefaultLineStyle(), "arc: width as given, 0.0"},
    };
    for (const LineCase& c : lines) {
        VECTOR_LINE_STYLE line;
        im.At(c.object)->GetObjLine()->GetStyle(&line);
        EXPECT_EQ(line.color, c.color) << c.what;
        EXPECT_EQ(line.width, c.width) << c.what;
        EXPECT_EQ(line.widthValue, c.widthValue) << c.what;
        ASSERT_NE(line.style, nullptr) << c.what;
        EXPECT_TRUE(FromSource(line.style->GetStyleObject(), c.source)) << c.what;
        line.style->GetStyleObject()->Release();
    }

    VECTOR_POLYGON_STYLE region;
    im.At(7)->GetObjPolygon()->GetStyle(&region);
    EXPECT_EQ(region.width, 1u);
    ASSERT_NE(region.style, nullptr);
    EXPECT_TRUE(FromSource(region.style->GetStyleObject(), manager->GetDefaultPolygonStyle()));
    EXPECT_EQ(region.style->GetElement(0)->GetColor(), 0x0000FFu) << "fill from the brush";
    EXPECT_TRUE(
        FromSource(region.style->GetElement(0)->GetStyleObject(), manager->GetDefaultLineStyle()))
        << "a pen with a width outlines";
    region.style->GetStyleObject()->Release();

    VECTOR_POLYGON_STYLE rect;
    im.At(8)->GetObjPolygon()->GetStyle(&rect);
    EXPECT_EQ(rect.width, 0u);
    EXPECT_EQ(rect.style->GetElement(0)->GetColor(), 0x00FF00u);
    EXPECT_EQ(rect.style->GetElement(0)->GetStyleObject(), nullptr) << "width 0: no outline";
    rect.style->GetStyleObject()->Release();

    VECTOR_ELLIPSE_STYLE ellipse;
    im.At(9)->GetObjEllipse()->GetStyle(&ellipse);
    EXPECT_EQ(ellipse.color, 0x0000FFu);
    EXPECT_EQ(ellipse.width, 2u);
    EXPECT_EQ(ellipse.widthValue, 2.0);
    EXPECT_EQ(ellipse.style->GetElement(0)->GetColor(), 0xFF0000u);
    ellipse.style->GetStyleObject()->Release();

    // Font style 45 = bold 1 + underline 4 + strikeout 8 + shadow 32; size 0 takes the box.
    VECTOR_TEXT_STYLE text;
    im.At(10)->GetObjText()->GetStyle(&text);
    EXPECT_EQ(text.color, 0xFF0000u);
    EXPECT_EQ(text.size, 7u);
    EXPECT_DOUBLE_EQ(text.height, 7.9);
    EXPECT_EQ(text.angle, 30.0);
    EXPECT_EQ(text.flags, 1);
    ASSERT_NE(text.style, nullptr);
    EXPECT_STREQ(text.style->GetFaceName(), "Courier");
    EXPECT_EQ(text.style->GetFlags(), XF_TEXT_BOLD | XF_TEXT_UNDERLINE);
    EXPECT_EQ(text.style->GetAlignment(), XF_ALIGN_RIGHT);
    EXPECT_EQ(text.style->GetSettingA(), 15);
    EXPECT_EQ(text.style->GetSettingB(), 1);
    EXPECT_EQ(text.style->GetShadow()->GetColor(), 0x808080u);
    EXPECT_EQ(text.style->GetShadow()->GetOffsetX(), 2.0);
    EXPECT_EQ(text.style->GetShadow()->GetOffsetY(), 2.0);
    text.style->GetStyleObject()->Release();

    // Both points share the default marker, every filled object the default polygon style; the
    // lines have several styles.
    EXPECT_EQ(im.vector.GetMiniatureStyle(XF_MINIATURE_LINE).style, nullptr);
    EXPECT_TRUE(FromSource(im.vector.GetMiniatureStyle(XF_MINIATURE_MARKER).style,
                           manager->GetDefaultMarkerStyle()));
    EXPECT_TRUE(FromSource(im.vector.GetMiniatureStyle(XF_MINIATURE_POLYGON).style,
                           manager->GetDefaultPolygonStyle()));
    EXPECT_TRUE(FromSource(im.vector.GetMiniatureStyle(XF_MINIATURE_TEXT).style,
                           manager->GetDefaultTextStyle()));
}

// Pens given in points (10 + tenths of a point) become pixels at the screen's resolution.
TEST(Import, PenWidthsInPointsFollowTheScreensResolution) {
    for (const auto& [dotsPerInch, pixels] : {std::pair{96, 2u}, {144, 3u}}) {
        Import im;
        ASSERT_TRUE(im.Ready());
        im.frame()->SetLogPixelsY(dotsPerInch);
        int opened = im.Open(Header("Columns 0\r\n") + "Line 0 0 1 1\r\n    Pen (25,2,0)\r\n");
        im.frame()->SetLogPixelsY(96);
        ASSERT_EQ(opened, 1);
        ASSERT_EQ(im.Read(), 1);
        EXPECT_EQ(im.frame()->GetOpenDCCount(), 0) << "the device context is given back";
        VECTOR_LINE_STYLE line;
        im.At(0)->GetObjLine()->GetStyle(&line);
        EXPECT_EQ(line.width, pixels) << "1.5 points at " << dotsPerInch << " dots per inch";
        line.style->GetStyleObject()->Release();
    }
}

TEST(Import, TextAlignmentAnglesAndTheLegendOfOneKindOnly) {
    Import im;
    ASSERT_TRUE(im.Ready());
    const std::string mif =
        Header("Columns 0\r\n") +
        "Text \"l\"\r\n  0 0 1 1\r\n    Font (\"A\",2,9,0)\r\n    Justify Left\r\n"
        "Text \"c\"\r\n  0 0 1 1\r\n    Font (\"A\",0,9,0)\r\n"
        "Text \"s\"\r\n  0 0 1 1\r\n    Font (\"A\",0,9,0)\r\n    Justify Center\r\n"
        "Text \"n\"\r\n  0 0 1 1\r\n    Font (\"A\",0,9,0)\r\n    Angle nan\r\n";
    ASSERT_EQ(im.Open(mif), 1);
    ASSERT_EQ(im.Read(), 1);
    ASSERT_EQ(im.vector.GetObjectCount(), 4);
    const int alignments[] = {XF_ALIGN_LEFT, XF_ALIGN_CENTER, XF_ALIGN_CENTER, XF_ALIGN_CENTER};
    const unsigned flags[] = {XF_TEXT_ITALIC, 0, 0, 0};
    for (int k = 0; k < 4; ++k) {
        VECTOR_TEXT_STYLE text;
        im.At(k)->GetObjText()->GetStyle(&text);
        EXPECT_EQ(text.style->GetAlignment(), alignments[k]) << "text " << k;
        EXPECT_EQ(text.style->GetFlags(), flags[k]) << "text " << k;
        EXPECT_EQ(text.angle, 0.0) << "text " << k << ": an angle that is not a number turns none";
        text.style->GetStyleObject()->Release();
    }
    EXPECT_NE(im.vector.GetMiniatureStyle(XF_MINIATURE_TEXT).style, nullptr);
    for (int kind : {XF_MINIATURE_LINE, XF_MINIATURE_MARKER, XF_MINIATURE_POLYGON}) {
        EXPECT_EQ(im.vector.GetMiniatureStyle(kind).style, nullptr) << "legend " << kind;
    }
}

TEST(Import, EveryColumnTypeStoresItsValue) {
    Import im;
    ASSERT_TRUE(im.Ready());
    const std::string mif = Header(
        "Columns 9\r\n  c Char(10)\r\n  i Integer\r\n  s SmallInt\r\n  d Decimal(10,2)\r\n"
        "  f Float\r\n  dt Date\r\n  l Logical\r\n  narrow Char(0)\r\n  wide Char(100000)\r\n");
    const std::string longText(40000, 'w');
    const std::string mid =
        "\"abcdefghijklmnop\",-7,70000,12.34,1000003006.25,20101231,T,\"xyz\",\"" + longText +
        "\"\r\n" +
        "\"x\",99999999999,-3,1e400,1e300,2010-12-31,t,\"\",\"\"\r\n"
        ",,,,,,F,,\r\n"
        ",,,,,abcdefgh,TRUE,,\r\n";
    ASSERT_EQ(im.Open(mif + "None\r\nNone\r\nNone\r\nNone\r\n", mid.c_str()), 1);
    ASSERT_EQ(im.Read(), 1);
    ASSERT_EQ(im.vector.GetObjectCount(), 4);

    Cgeo_VectorColumns* columns = im.vector.GetVectorTable()->GetVectorColumns();
    ASSERT_EQ(columns->GetSize(), 9);
    const int types[] = {XF_COL_TEXT, XF_COL_INT32,   XF_COL_INT16, XF_COL_DECIMAL, XF_COL_DOUBLE,
                         XF_COL_DATE, XF_COL_LOGICAL, XF_COL_TEXT,  XF_COL_TEXT};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(columns->Get(i)->type, types[i]) << "column " << i;
    }
    EXPECT_EQ(columns->Get(3)->decimals, 2);

    // Text whole however narrow its column (the column is as wide as its longest value), the low
    // 16 bits of a SmallInt, a Float whole (a single-precision float would make it 1000003008).
    EXPECT_EQ(im.Row(0), "'abcdefghijklmnop',-7,4464,12.34,1000003006.25,2010/12/31,T,'xyz','" +
                             longText + "'");
    EXPECT_EQ(columns->Get(0)->width, 16);
    EXPECT_EQ(columns->Get(7)->width, 3);
    EXPECT_EQ(columns->Get(8)->width, 100000) << "a column wider than its values keeps its width";
    // Integers saturate instead of overflowing; beyond double precision a number is infinite.
    // Dates and logicals in the other forms are checked with the small pairs of the sample tests.
    EXPECT_EQ(im.Row(1), "'x',2147483647,-3,inf,1.0000000000000001e+300,2010/12/31,T,'',''");
    EXPECT_EQ(im.Row(2), "'',0,0,0,0,-,F,'',''") << "an empty date is not set";
    EXPECT_EQ(im.Row(3), "'',0,0,0,0,-,T,'',''") << "8 characters that are not digits";
}

TEST(Import, ProgressStepsAddUpToTheEnd) {
    Import im;
    ASSERT_TRUE(im.Ready());
    std::string mif = Header("Columns 1\r\n  n Integer\r\n");
    std::string mid;
    for (int i = 0; i < 500; ++i) {
        mif += "Point " + std::to_string(i) + " 0\r\n";
        mid += std::to_string(i) + "\r\n";
    }
    ASSERT_EQ(im.Open(mif, mid.c_str()), 1);
    ASSERT_EQ(im.Read(), 1);
    EXPECT_EQ(im.vector.GetObjectCount(), 500);
    EXPECT_EQ(im.Row(499), "499");
    Cgeo_MainFrame* frame = im.frame();
    EXPECT_EQ(frame->GetProgressStarts(), 1);
    EXPECT_EQ(frame->GetProgressEnds(), 1);
    EXPECT_FALSE(frame->IsProgressShown());
    // Whole percents of at least 1 that add up to 100.
    EXPECT_EQ(frame->GetProgressStepSum(), 100.0);
    EXPECT_GE(frame->GetProgressStepCount(), 1);
    EXPECT_LE(frame->GetProgressStepCount(), 100);
    EXPECT_EQ(frame->GetLastProgressStep(), std::floor(frame->GetLastProgressStep()));
    EXPECT_EQ(frame->GetProgressPosition(), 100.0);
}

TEST(Import, TwoReadsImportTwiceIntoTheSameColumns) {
    Import im;
    ASSERT_TRUE(im.Ready());
    ASSERT_EQ(im.Open(Header("Columns 1\r\n  name Char(8)\r\n") + "Point 1 1\r\nPoint 2 2\r\n",
                      "\"a\"\r\n\"b\"\r\n"),
              1);
    ASSERT_EQ(im.Read(), 1);
    ASSERT_EQ(im.Read(), 1);
    ASSERT_EQ(im.vector.GetObjectCount(), 4);
    EXPECT_EQ(im.vector.GetVectorTable()->GetVectorColumns()->GetSize(), 2)
        << "each pass adds the file's columns";
    const char* names[] = {"'a',-", "'b',-", "'a',-", "'b',-"};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(im.Row(k), names[k]) << "object " << k;
    }
    EXPECT_EQ(ObjectText(im.At(2)), "1 [1,1]");
    EXPECT_EQ(im.frame()->GetProgressStarts(), 2);
    EXPECT_EQ(im.frame()->GetProgressEnds(), 2);
}

TEST(Import, RefusedWithoutLayerHostPointerOrOpenFile) {
    Import im;
    ASSERT_TRUE(im.Ready());
    ASSERT_EQ(im.Open(Header("Columns 1\r\n  n Integer\r\n") + "Point 1 1\r\n", "1\r\n"), 1);
    EXPECT_EQ(im.read(&im.info, 0, nullptr, &im.vector, 0), 0) << "no host pointer";
    EXPECT_EQ(im.read(&im.info, 0, &im.geo, nullptr, 0), 0) << "no layer";
    EXPECT_EQ(im.vector.GetObjectCount(), 0);
    EXPECT_EQ(im.vector.GetVectorTable()->GetVectorColumns()->GetSize(), 0);
    EXPECT_EQ(im.frame()->GetProgressStarts(), 0);

    CXF_FileInfo unopened;
    EXPECT_EQ(im.read(&unopened, 0, &im.geo, &im.vector, 0), 0) << "a file info without context";
    EXPECT_EQ(unopened.errorCode, XF_ERROR_OPEN);
    EXPECT_EQ(im.read(nullptr, 0, &im.geo, &im.vector, 0), 0);

    im.close(&im.info);
    EXPECT_EQ(im.Read(), 0) << "after XF_Close";
    EXPECT_EQ(im.vector.GetObjectCount(), 0);
}

TEST(Import, ColumnsWithoutObjectsAndObjectsWithoutMid) {
    Import im;
    ASSERT_TRUE(im.Ready());
    ASSERT_EQ(im.Open(Header("Columns 2\r\n  a Char(4)\r\n  b Integer\r\n")), 1);
    ASSERT_EQ(im.Read(), 1);
    EXPECT_EQ(im.vector.GetObjectCount(), 0);
    EXPECT_EQ(im.vector.GetVectorTable()->GetVectorColumns()->GetSize(), 2);
    EXPECT_EQ(im.frame()->GetProgressEnds(), 1);

    // No MID file: nothing is made up, every value stays unset.
    Import nomid;
    ASSERT_EQ(nomid.Open(Header("Columns 3\r\n  a Char(4)\r\n  b Logical\r\n  c Date\r\n") +
                         "Point 1 1\r\n"),
              1);
    ASSERT_EQ(nomid.Read(), 1);
    ASSERT_EQ(nomid.vector.GetObjectCount(), 1);
    EXPECT_EQ(nomid.Row(0), "-,-,-");
}

// Geometry the file gives in odd forms still makes sound host objects.
TEST(Import, OddGeometry) {
    Import im;
    ASSERT_TRUE(im.Ready());
    const std::string mif = Header("Columns 0\r\n") +
                            "Arc 0 0 4 2\r\n  180 270\r\n"
                            "Arc 0 0 4 2\r\n  450 -90\r\n"
                            "Arc 0 0 4 2\r\n  1e30 90\r\n"  // far beyond 360: must not hang
                            "Region 3\r\n  0\r\n  1\r\n5 5\r\n  3\r\n0 0\r\n1 0\r\n0 1\r\n"
                            "MultiPoint 0\r\n"
                            "Rect 3 3 3 3\r\n";
    ASSERT_EQ(im.Open(mif), 1);
    ASSERT_EQ(im.Read(), 1);
    ASSERT_EQ(im.vector.GetObjectCount(), 6);
    EXPECT_EQ(Ends(im.At(0)), "0.000000,1.000000 2.000000,0.000000");
    EXPECT_EQ(Ends(im.At(1)), "2.000000,2.000000 2.000000,0.000000") << "450 is 90, -90 is 270";
    EXPECT_EQ(im.At(2)->GetObjLine()->GetData(0)[0].z, 0.0);

    // An empty section makes no ring; a lone node is no closing repeat; without a closing
    // repeat every node is kept.
    EXPECT_EQ(ObjectText(im.At(3)), "3 [5,5][0,0 1,0 0,1]");
    EXPECT_EQ(ObjectText(im.At(4)), "1 []");
    EXPECT_EQ(im.At(4)->GetStyle(), nullptr) << "an empty multipoint gets no style";
    EXPECT_EQ(ObjectText(im.At(5)), "3 [3,3 3,3 3,3 3,3]");
}

// The memory an import needs (the heap, and the blocks the layer takes from the system) grows in
// proportion to the input, whatever it holds: millions of empty sections, or of points in one
// MultiPoint, took over 60 times the size of the file; a thousand columns declared for points
// without a MID, or thirty thousand text columns with one record, took hundreds of times.
TEST(Import, MemoryStaysInProportionToTheInput) {
    auto repeat = [](const std::string& text, int n) {
        std::string out;
        for (int i = 0; i < n; ++i) {
            out += text;
        }
        return out;
    };
    auto columns = [](const char* type, int n) {
        std::string out = "Columns " + std::to_string(n) + "\r\n";
        for (int i = 0; i < n; ++i) {
            out += "  c" + std::to_string(i) + " " + type + "\r\n";
        }
        return out;
    };
    std::string points;
    for (int i = 0; i < 100000; ++i) {
        points += "Point " + std::to_string(i % 1000) + " " + std::to_string(i / 1000) + "\r\n";
    }
    std::string record;
    for (int i = 0; i < 30000; ++i) {
        record += (i > 0 ? ",\"v" : "\"v") + std::to_string(i) + "\"";
    }
    const struct {
        std::string mif;
        std::string mid;  // empty: no MID file
        const char* what;
    } cases[] = {
        {Header("Columns 1\r\n  n Integer\r\n") + "Pline Multiple 200000\n" + repeat("0\n", 200000),
         "1\n", "empty sections"},
        {Header("Columns 1\r\n  n Integer\r\n") + "Region 200000\n" + repeat("0\n", 200000), "1\n",
         "empty rings"},
        {Header("Columns 1\r\n  n Integer\r\n") + "MultiPoint 100000\n" + repeat("0 0\n", 100000),
         "1\n", "points of one object"},
        {Header(columns("Integer", 1000)) + points, "", "1,000 columns, no MID"},
        {Header(columns("Char(254)", 30000)) + "Point 1 2\r\n", record + "\r\n",
         "30,000 text columns"},
        {Header("Columns 1\r\n  n Integer\r\n") + "Point 1 2\r\n",
         std::string(5000000, ',') + "\r\n", "five million fields"},
    };
    for (const auto& c : cases) {
        Import im;
        ASSERT_TRUE(im.Ready());
        size_t before = heap::Total();
        heap::totalPeak = before;
        ASSERT_EQ(im.Open(c.mif, c.mid.empty() ? nullptr : c.mid.c_str()), 1);
        ASSERT_EQ(im.Read(), 1);
        heap::Sample();
        EXPECT_LE(heap::totalPeak - before, 20 * (c.mif.size() + c.mid.size())) << c.what;
    }
}

// The first object may be larger than the first block of the layer's store: a Region of 6,000
// nodes was written past a block of 64 KiB and crashed every command.
TEST(Import, AFirstObjectLargerThanAStoreBlock) {
    for (int nodes : {6000, 15000, 40000}) {
        std::string mif = Header("Columns 1\r\n  n Integer\r\n") + "Region 1\r\n  " +
                          std::to_string(nodes) + "\r\n";
        for (int i = 0; i < nodes; ++i) {
            mif += std::to_string(i) + " " + std::to_string(i % 7) + "\r\n";
        }
        mif += "Pline 2\r\n1 1\r\n2 2\r\n";
        Import im;
        ASSERT_TRUE(im.Ready());
        ASSERT_EQ(im.Open(mif, "1\r\n2\r\n"), 1);
        size_t before = XF_SystemBlockBytes();
        ASSERT_EQ(im.Read(), 1);
        ASSERT_EQ(im.vector.GetObjectCount(), 2);
        EXPECT_GE(XF_SystemBlockBytes() - before, nodes * sizeof(tagXF_POINT3DD))
            << "the store holds blocks enough for the points it holds";
        CXF_PolygonD* ring = im.At(0)->GetObjPolygon()->GetRegion()->GetPolygon(0);
        ASSERT_EQ(ring->GetSize(), nodes);
        EXPECT_EQ(ring->GetData()[nodes - 1].x, nodes - 1);
        EXPECT_EQ(ObjectText(im.At(1)), "2 [1,1 2,2]");
        EXPECT_EQ(im.Row(1), "2");
    }
}

// An import that repaired the file says so on the message bar, once, at the end: the count, the
// file, and the first repair with its line, in the user's language; a clean import says nothing.
TEST(Import, RepairsShowOnTheMessageBar) {
    const std::string mif = Header("Columns 1\r\n  n Integer\r\n") +
                            "Pline 5\r\n1 2\r\n3 4\r\nPoint 1 2\r\nPoint 3 4\r\n";
    for (bool russian : {false, true}) {
        testos::SetUserLanguage(russian);
        Import im;
        ASSERT_TRUE(im.Ready());
        ASSERT_EQ(im.Open(mif, "1\r\n2\r\n"), 1);
        ASSERT_EQ(im.Read(), 1);
        const std::string mid = russian ? "\xCF\xF0\xE8 \xF7\xF2\xE5\xED\xE8\xE8 t.mif "
                                          "\xE8\xF1\xEF\xF0\xE0\xE2\xEB\xE5\xED\xEE "
                                          "\xEF\xF0\xEE\xE1\xEB\xE5\xEC: 2; "
                                          "\xEF\xE5\xF0\xE2\xE0\xFF \xE2 \xF1\xF2\xF0\xEE\xEA\xE5 "
                                        : "2 problems repaired while reading t.mif; first at line ";
        EXPECT_EQ(im.frame()->GetMessages(),
                  (std::vector<std::string>{mid + "9: Pline declares 5 nodes, 2 found"}));
    }
    testos::SetUserLanguage(false);
    Import clean;
    ASSERT_EQ(clean.Open(Header("Columns 1\r\n  n Integer\r\n") + "Point 1 2\r\n", "1\r\n"), 1);
    ASSERT_EQ(clean.Read(), 1);
    EXPECT_TRUE(clean.frame()->GetMessages().empty());
}

// Memory that runs out in the middle of an import or an export fails the call with its error
// code: no exception reaches the host, and nothing is left open.
TEST(Import, MemoryRunningOutFailsImportAndExportWithTheirCodes) {
    std::string mif = Header("Columns 1\r\n  n Integer\r\n") + "MultiPoint 100000\n";
    for (int i = 0; i < 100000; ++i) {
        mif += "1 2\n";
    }
    Import im;
    ASSERT_TRUE(im.Ready());
    ASSERT_EQ(im.Open(mif, "1\n"), 1);
    size_t before = heap::inUse;
    heap::peak = before;
    ASSERT_EQ(im.Read(), 1) << "with memory enough";
    if (heap::peak - before < 1000000) {
        // A Windows DLL allocates through its own runtime, out of this program's reach.
        GTEST_SKIP() << "the plug-in's allocations do not come through this program's operator new";
    }
    heap::limit = heap::inUse + 200000;  // the points need 2.4 MB
    int read = im.Read();
    heap::limit = SIZE_MAX;
    EXPECT_EQ(read, 0);
    EXPECT_EQ(im.info.errorCode, XF_ERROR_OPEN);

    CExportDocument doc;
    Cgeo_VectorObject* copy = im.vector.CreateObject(XF_OBJ_POINT);
    Cgeo_VectorPoint* source = im.At(im.vector.GetObjectCount() - 1)->GetObjPoint();
    copy->GetObjPoint()->SetPoints(source->GetNumPoints(), source->GetData());
    doc.Add(copy);
    PluginLibrary lib;
    auto save = lib.Get<XF_SaveFn>("XF_Save");
    ASSERT_NE(save, nullptr);
    CGEO geo;
    CXF_FileInfo info;
    info.AddPtrItem(new CXF_VectorInfo(geo.GetApp()));
    heap::limit = heap::inUse + 200000;
    int saved = save(&geo, &info, &doc.document, im.dir.Path("out.mif").c_str(), 0);
    heap::limit = SIZE_MAX;
    EXPECT_EQ(saved, 0);
    EXPECT_EQ(info.errorCode, XF_ERROR_WRITE);
    EXPECT_EQ(info.userData, nullptr) << "the context is freed";
}

// Small pairs as other programs write them, imported through the plug-in: each object as its
// host type, its points and its values. Where GDAL's ogrinfo reads a pair otherwise, the case
// says how, and why our reading is the one to keep.
TEST(ImportPairs, AsOtherProgramsWriteThem) {
    const struct {
        const char* mif;
        const char* mid;
        std::vector<std::string> objects;
        const char* gdalDiffers;
    } cases[] = {
        {"Columns 1\n n Integer\nData\nPoint 1 2\n\tPoint 3 4\nPoint 5 6\n",
         "1\n2\n3\n",
         {"1 [1,2] 1", "1 [3,4] 2", "1 [5,6] 3"},
         "GDAL takes a TAB before a keyword for part of it: the second point is lost and the third "
         "gets the second record"},
        {"Columns\t2\n\tname\tChar(10)\nid Integer\t\nData\t\nPoint 1\t2\n",
         "a\t7\n",
         {"1 [1,2] 'a',7"},
         nullptr},
        {"Delimiter \",\"\nCoordSys Earth Projection 1, 0\nCharset \"WindowsLatin1\"\n"
         "Version 300\nColumns 2\n a Integer\n b Char(5)\nData\nPoint 1 2\n",
         "5,xy\n",
         {"1 [1,2] 5,'xy'"},
         nullptr},
        {"Delimiter \",\"\nColumns 3\n a Integer\n Data DateTime\n c Integer\nData\nPoint 1 2\n",
         "1,20220323145600000,3\n",
         {"1 [1,2] 1,'20220323145600000',3"},
         "GDAL converts the DateTime value; the host has no such type, so we keep it as text"},
        {"Transform 2 3 10 20\nColumns 1\n n Integer\nData\nPoint 1 1\n",
         "1\n",
         {"1 [12,23] 1"},
         nullptr},
        {"Columns 1\n n Integer\nData\nText\n1 2 3 4\nPoint 5 5\n",
         "1\n2\n",
         {"5 [2,3] '' 1", "1 [5,5] 2"},
         nullptr},
        {"Delimiter \",\"\nColumns 3\n a Char(20)\n b Char(20)\n c Integer\nData\n"
         "None\nNone\nNone\nNone\n",
         "\"x\", \"y z\", 5\n\"a\"b\",x,\"2\"\n1, \"a\nb\",3\n\"p\\\\q\\nr\",s,4\n",
         {"0 'x','y z',5", "0 'a\"b','x',2", "0 '1','a\nb',3", "0 'p\\q\nr','s',4"},
         "GDAL keeps the blanks outside the quotes, stops at a stray quote inside a quoted value, "
         "and keeps \\n and \\\\ as written, which our writer and others use as escapes"},
        {"Delimiter \",\"\nColumns 2\n d Date\n l Logical\nData\n"
         "None\nNone\nNone\nNone\nNone\nNone\n",
         "20101231,T\n2010-12-31,TRUE\n2010/12/31,y\n\"20101231\",Yes\n2010x231,1\n,no\n",
         {"0 2010/12/31,T", "0 2010/12/31,T", "0 2010/12/31,T", "0 2010/12/31,T", "0 -,T", "0 -,F"},
         "GDAL reads a date only as YYYYMMDD (2010x231 as 2010/00/00, the others not at all) and "
         "keeps a logical as the letters written"},
        {"Columns 1\n n Integer\nData\nPoint nan inf\nLine 1.#QNAN 1.#QNAN 2 2\n"
         "Point 1e999 0\nPoint 7 8\n",
         "1\n2\n3\n4\n",
         {"0 1", "0 2", "0 3", "1 [7,8] 4"},
         "GDAL passes nan and inf on into the geometry, where they can be neither drawn nor "
         "measured"},
        {"Columns 1\n n Integer\nData\nPline 2147483647\n1 2\n3 4\nPoint 5 5\n",
         "1\n2\n",
         {"2 [1,2 3,4] 1", "1 [5,5] 2"},
         "GDAL fails to read the polyline"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mif);
        Import im;
        ASSERT_EQ(im.Open(c.mif, c.mid), 1);
        ASSERT_EQ(im.Read(), 1);
        std::vector<std::string> objects;
        for (int64_t k = 0; k < im.vector.GetObjectCount(); ++k) {
            objects.push_back(ObjectText(im.At(k)) + " " + im.Row(k));
        }
        EXPECT_EQ(objects, c.objects);
    }
}

}  // namespace
