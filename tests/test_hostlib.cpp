#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "mif/reader/scanner.h"
#include "plugin/host/app.h"
#include "plugin/host/document.h"
#include "plugin/host/file_info.h"
#include "plugin/host/fnc_string.h"
#include "plugin/host/main_frame.h"
#include "plugin/host/style.h"
#include "plugin/host/text.h"
#include "plugin/host/vector.h"
#include "test_export_util.h"

namespace {

// Styles

TEST(HostStyles, ReferencesFollowObjectsAndReachZero) {
    CXF_StyleObject* style = CXF_StyleObject::Create("own");
    EXPECT_EQ(style->GetRefCount(), 1);
    {
        Cgeo_Vector vector;
        Cgeo_VectorObjectStream stream(&vector, XF_STREAM_WRITE);
        Cgeo_VectorObject* object = vector.CreateObject(XF_OBJ_POINT);
        const tagXF_POINT3DD point{1, 2, 0};
        object->GetObjPoint()->AddPoints(1, &point);
        VECTOR_POINT_STYLE record{};
        record.style = style->GetMarker();
        object->GetObjPoint()->SetStyle(&record);
        EXPECT_EQ(style->GetRefCount(), 2) << "the object holds one";
        EXPECT_EQ(stream.AddObject(object, 0), 0);
        EXPECT_EQ(style->GetRefCount(), 3) << "and so does its stored copy";
        object->DeleteObject();
        EXPECT_EQ(style->GetRefCount(), 2);

        CXF_StyleObject* got = vector.GetObjectAt(0)->GetStyle();
        EXPECT_EQ(got, style);
        EXPECT_EQ(style->GetRefCount(), 3) << "GetStyle hands out a reference";
        EXPECT_EQ(got->Release(), 2);

        vector.SetMiniatureStyleMarker(style->GetMarker(), 7, 9);
        EXPECT_EQ(style->GetRefCount(), 3) << "the legend holds one";
    }
    EXPECT_EQ(style->GetRefCount(), 1) << "the layer let go of everything";
    EXPECT_EQ(style->Release(), 0);  // freed: the sanitizer build reports any later use
}

// Geometry

TEST(HostGeometry, ArcRunsCounterClockwiseFromStartToEnd) {
    Cgeo_Vector vector;
    Cgeo_VectorObject* object = vector.CreateObject(XF_OBJ_LINE);
    Cgeo_VectorLine* line = object->GetObjLine();
    const CXF_RectD box{0, 0, 4, 2};  // centre (2, 1), semi-axes 2 and 1
    const double pi = std::acos(-1.0);
    auto check = [&](CXF_Point3DD start, CXF_Point3DD end, int expectedPoints, const char* what) {
        int n = line->CreateLineFromArc(box, start, end);
        ASSERT_EQ(line->GetNumSection(), 1) << what;
        ASSERT_EQ(line->GetNumPoints(0), n) << what;
        EXPECT_EQ(n, expectedPoints) << what;
        const tagXF_POINT3DD* p = line->GetData(0);
        EXPECT_EQ(p[0].x, start.x) << what;
        EXPECT_EQ(p[0].y, start.y) << what;
        EXPECT_EQ(p[n - 1].x, end.x) << what;
        EXPECT_EQ(p[n - 1].y, end.y) << what;
        double previous = std::atan2(p[0].y - 1.0, (p[0].x - 2.0) / 2.0);
        for (int i = 1; i < n; ++i) {
            double u = (p[i].x - 2.0) / 2.0;
            double v = p[i].y - 1.0;
            EXPECT_NEAR(u * u + v * v, 1.0, 1e-9) << what << ": point " << i << " on the ellipse";
            double t = std::atan2(v, u);
            double turn = std::remainder(t - previous, 2.0 * pi);
            EXPECT_GT(turn, 0.0) << what << ": point " << i << " goes counter-clockwise";
            EXPECT_LE(turn, 5.0 * pi / 180.0 + 1e-9) << what << ": step of point " << i;
            previous = t;
        }
    };
    check({4, 1, 0}, {2, 2, 0}, 19, "quarter from 0 to 90 degrees");
    check({2, 2, 0}, {4, 1, 0}, 55, "three quarters from 90 round to 0 degrees");
    check({0, 1, 0}, {0, 1, 0}, 73, "same start and end: the whole ellipse");

    int n = line->CreateLineFromArc(CXF_RectD{0, 0, 4, 0}, {4, 0, 0}, {0, 0, 0});
    EXPECT_EQ(n, 2) << "a flat box gives its two end points";
    object->DeleteObject();
}

// The outer rings by the definition itself: every ring tested against every other.
std::vector<int> OuterByEveryPair(CXF_RegionCmx& region) {
    std::vector<int> outer;
    for (int i = 0; i < region.GetPolygonSize(); ++i) {
        const CXF_PolygonD& ring = *region.GetPolygon(i);
        int depth = 0;
        for (int j = 0; j < region.GetPolygonSize() && ring.GetSize() > 0; ++j) {
            const CXF_PolygonD& other = *region.GetPolygon(j);
            const CXF_RectD& a = ring.GetBoundRect();
            const CXF_RectD& b = other.GetBoundRect();
            if (j == i || other.GetSize() < 3 || a.x1 < b.x1 || a.y1 < b.y1 || a.x2 > b.x2 ||
                a.y2 > b.y2) {
                continue;
            }
            bool inside = false;
            const tagXF_POINT3DD* p = other.GetData();
            double x = ring.GetData()[0].x;
            double y = ring.GetData()[0].y;
            for (int k = 0, l = other.GetSize() - 1; k < other.GetSize(); l = k++) {
                if ((p[k].y > y) != (p[l].y > y) &&
                    x < p[l].x + (y - p[l].y) * (p[k].x - p[l].x) / (p[k].y - p[l].y)) {
                    inside = !inside;
                }
            }
            depth += inside ? 1 : 0;
        }
        outer.push_back(depth % 2 == 0 ? 1 : 0);
    }
    return outer;
}

std::vector<int> Outer(const CXF_RegionCmx& region) {
    std::vector<int> outer;
    for (int i = 0; i < region.GetPolygonSize(); ++i) {
        outer.push_back(region.GetPolygon(i)->IsExternal());
    }
    return outer;
}

using Ring = std::vector<tagXF_POINT3DD>;
void SetRing(CXF_RegionCmx& region, int i, const Ring& points) {
    region.GetPolygon(i)->SetSize(static_cast<int>(points.size()));
    std::copy(points.begin(), points.end(), region.GetPolygon(i)->GetData());
}
Ring Box(double x1, double y1, double x2, double y2) {
    return Ring{{x1, y1, 0}, {x2, y1, 0}, {x2, y2, 0}, {x1, y2, 0}};
}

// The even-odd test that the host's outer-ring marking and mifhost's ring grouping share. A point
// on a side parallel to an axis is inside on the low side and outside on the high side, so that
// of two boxes that share a side one holds it.
TEST(HostGeometry, RingContainsPointsByTheEvenOddRule) {
    const Ring notched = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {7, 10, 0},
                          {7, 3, 0}, {3, 3, 0},  {3, 10, 0},  {0, 10, 0}};
    const Ring clockwise = {{0, 0, 0}, {0, 10, 0}, {10, 10, 0}, {10, 0, 0}};
    const Ring closed = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}, {0, 0, 0}};
    const Ring diamond = {{5, 0, 0}, {10, 5, 0}, {5, 10, 0}, {0, 5, 0}};
    // A ring that crosses itself: the square where its two loops overlap is outside.
    const Ring twice = {{0, 0, 0}, {6, 0, 0},  {6, 6, 0},  {4, 6, 0},
                        {4, 2, 0}, {10, 2, 0}, {10, 4, 0}, {0, 4, 0}};
    struct Case {
        const char* what;
        Ring ring;
        double x;
        double y;
        bool inside;
    };
    const Case cases[] = {
        {"centre", Box(0, 0, 10, 10), 5, 5, true},
        {"right of it", Box(0, 0, 10, 10), 15, 5, false},
        {"left of it", Box(0, 0, 10, 10), -1, 5, false},
        {"below it", Box(0, 0, 10, 10), 5, -1, false},
        {"level with a corner, outside", Box(0, 0, 10, 10), -1, 10, false},
        {"left side", Box(0, 0, 10, 10), 0, 5, true},
        {"right side", Box(0, 0, 10, 10), 10, 5, false},
        {"bottom side", Box(0, 0, 10, 10), 5, 0, true},
        {"top side", Box(0, 0, 10, 10), 5, 10, false},
        {"the next box's left side", Box(10, 0, 20, 10), 10, 5, true},
        {"in the notch", notched, 5, 5, false},
        {"below the notch", notched, 5, 1, true},
        {"beside the notch", notched, 1, 8, true},
        {"clockwise", clockwise, 5, 5, true},
        {"first point repeated at the end", closed, 5, 5, true},
        {"in a diamond", diamond, 5, 8, true},
        {"in a diamond's box only", diamond, 1, 1, false},
        {"in one loop", twice, 1, 1, true},
        {"where the loops overlap", twice, 5, 3, false},
        {"two points", {{0, 0, 0}, {10, 10, 0}}, 5, 5, false},
        {"one point", {{5, 5, 0}}, 5, 5, false},
        {"no points", {}, 0, 0, false},
    };
    for (const Case& c : cases) {
        CXF_RegionCmx region;
        region.SetPolygonSize(1);
        SetRing(region, 0, c.ring);
        EXPECT_EQ(region.GetPolygon(0)->Contains(c.x, c.y), c.inside) << c.what;
    }
}

// Rings that touch, repeat each other or share a box are marked as by testing every pair; large
// regions of disjoint, identical and nested rings take about n log n comparisons, not n * n.
TEST(HostGeometry, DefineExternalAgreesWithEveryPairAndScales) {
    const Ring square = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    const Ring diamond = {{5, 0, 0}, {10, 5, 0}, {5, 10, 0}, {0, 5, 0}};
    const Ring triangle = {{2, 2, 0}, {6, 2, 0}, {2, 6, 0}};
    const Ring corner = {{0, 0, 0}, {5, 1, 0}, {1, 5, 0}};  // inside, sharing a vertex
    const Ring beside = {{10, 0, 0}, {20, 0, 0}, {20, 10, 0}, {10, 10, 0}};
    const Ring cornerFirst = {{8, 8, 0}, {2, 8, 0}, {2, 2, 0}, {8, 2, 0}};
    // A concave ring whose notch holds a ring that lies inside its bounding box only.
    const Ring notched = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {7, 10, 0},
                          {7, 3, 0}, {3, 3, 0},  {3, 10, 0},  {0, 10, 0}};
    const std::vector<std::vector<Ring>> cases = {
        // An outer ring, its hole, an island in the hole; a second outer ring with its hole; an
        // empty ring.
        {Box(0, 0, 10, 10),
         Box(2, 2, 8, 8),
         Box(4, 4, 6, 6),
         Box(20, 0, 30, 10),
         Box(22, 2, 28, 8),
         {}},
        {notched, Box(4, 5, 6, 9)},
        {square, diamond},
        {diamond, square},
        {square, diamond, square},
        // A ring inside two rings of the same box, one inside the other, and a ring inside it.
        {square, diamond, Box(4, 4, 6, 6), Box(4.5, 4.5, 5.5, 5.5)},
        {Box(4, 4, 6, 6), diamond, square},
        {triangle, square, triangle, triangle, square},
        {corner, square},
        {square, beside},
        {square, {{3, 3, 0}}, {{4, 4, 0}, {5, 5, 0}}, triangle},
        // Repeats of a ring whose first point lies outside it (on its top right corner) do not
        // hold each other; the box around holds them all.
        {Box(0, 0, 10, 10), cornerFirst, Box(4, 4, 5, 5), cornerFirst},
    };
    for (const auto& rings : cases) {
        CXF_RegionCmx region;
        region.SetPolygonSize(static_cast<int>(rings.size()));
        for (size_t i = 0; i < rings.size(); ++i) {
            SetRing(region, static_cast<int>(i), rings[i]);
        }
        region.DefineExternal();
        EXPECT_EQ(Outer(region), OuterByEveryPair(region)) << "case of " << rings.size();
    }
    // A ring whose box is not finite holds nothing and is outer.
    CXF_RegionCmx withNan;
    withNan.SetPolygonSize(3);
    SetRing(withNan, 0, Box(0, 0, 10, 10));
    SetRing(withNan, 1, {{std::nan(""), 1, 0}, {9, 1, 0}, {9, 9, 0}, {1, 9, 0}});
    SetRing(withNan, 2, Box(2, 2, 8, 8));
    withNan.DefineExternal();
    EXPECT_EQ(Outer(withNan), (std::vector<int>{1, 1, 0}));

    const int n = 20000;
    for (const char* layout : {"disjoint", "identical", "nested", "nested inward"}) {
        SCOPED_TRACE(layout);
        CXF_RegionCmx region;
        region.SetPolygonSize(n);
        std::vector<int> expected;
        for (int i = 0; i < n; ++i) {
            double x = 3.0 * (i % 150);
            double y = 3.0 * (i / 150);
            double r = std::string(layout) == "nested inward"
                           ? n - i
                           : i + 1;  // ring 0 is the largest when inward
            if (layout[0] == 'd') {
                SetRing(region, i, Box(x, y, x + 2, y + 2));
                expected.push_back(1);
            } else if (layout[0] == 'i') {
                SetRing(region, i, {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}});
                // Its first corner counts as inside by the even-odd test: n - 1 rings hold each.
                expected.push_back(0);
            } else {
                SetRing(region, i, Box(-r, -r, r, r));
                expected.push_back(static_cast<int>(n - r) % 2 == 0 ? 1 : 0);
            }
        }
        int64_t comparisons = region.DefineExternal();
        EXPECT_LT(comparisons, 20 * n);
        EXPECT_EQ(Outer(region), expected);
    }
}

// Real regions written by other programs keep the outer rings that testing every pair gives.
TEST(HostGeometry, DefineExternalKeepsTheOuterRingsOfTheSamples) {
    if (SamplesDir().empty()) {
        GTEST_SKIP() << "MIF_SAMPLES_DIR is not set: the sample files are not checked";
    }
    size_t rings = 0;
    for (const std::string& file : SampleFiles()) {
        SCOPED_TRACE(file);
        CExportDocument doc;
        ASSERT_TRUE(ImportThroughPlugin(file, doc));
        for (int64_t k = 0; k < doc.vector->GetObjectCount(); ++k) {
            Cgeo_VectorPolygon* polygon = doc.vector->GetObjectAt(k)->GetObjPolygon();
            if (polygon != nullptr) {
                EXPECT_EQ(Outer(*polygon->GetRegion()), OuterByEveryPair(*polygon->GetRegion()))
                    << "object " << k;
                rings += static_cast<size_t>(polygon->GetPolygonSize());
            }
        }
    }
    EXPECT_GT(rings, 500u) << "the samples hold regions of up to 82 rings";
}

TEST(HostGeometry, SetPointsAllocatesAndStoredObjectsAreCopies) {
    Cgeo_Vector vector;
    Cgeo_VectorObjectStream stream(&vector, XF_STREAM_WRITE);
    Cgeo_VectorObject* object = vector.CreateObject(XF_OBJ_LINE);
    Cgeo_VectorLine* line = object->GetObjLine();
    ASSERT_EQ(line->SetPoints(1, 3, nullptr), 1);
    EXPECT_EQ(line->GetNumSection(), 2) << "the section list grows to hold section 1";
    EXPECT_EQ(line->GetNumPoints(0), 0);
    ASSERT_EQ(line->GetNumPoints(1), 3);
    EXPECT_EQ(line->GetData(1)[2].x, 0.0);
    line->GetData(1)[2] = {5, 6, 7};
    EXPECT_EQ(line->SetPoints(-1, 2, nullptr), 0);
    EXPECT_EQ(line->GetData(7), nullptr);

    ASSERT_EQ(stream.AddObject(object, 0), 0);
    line->GetData(1)[2].x = 99;  // the stored copy must not change
    object->DeleteObject();
    vector.UpdateGrid(nullptr);
    EXPECT_EQ(vector.GetGridBounds().x2, 5.0);
    Cgeo_VectorLine* stored = vector.GetObjectAt(0)->GetObjLine();
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->GetData(1)[2].x, 5.0);
    EXPECT_EQ(stored->GetData(1)[2].z, 7.0);
    stored->GetData(1)[2].x = 40;
    vector.UpdateGrid(nullptr);
    EXPECT_EQ(vector.GetGridBounds().x2, 40.0) << "a stored object changed after it was added";
    CXF_PolygonD* section = stored->GetPolygon(1);
    section->SetSize(1000);  // more points than the layer stored
    EXPECT_EQ(section->GetData()[2].x, 40.0);
    EXPECT_EQ(section->GetData()[999].y, 0.0);
    CXF_PolygonD copy(*section);
    section->SetSize(2);
    EXPECT_EQ(copy.GetSize(), 1000);
    EXPECT_EQ(copy.GetData()[2].z, 7.0);
}

// A layer hands a freed object out again: it must come back as a new one, whatever it held.
TEST(HostGeometry, FreedObjectsComeBackEmptyAndMayOutliveTheirLayer) {
    CXF_ManagerVectorStyle manager;
    Cgeo_Vector vector;
    const tagXF_POINT3DD p[2] = {{1, 2, 3}, {4, 5, 6}};
    for (int type = XF_OBJ_EMPTY; type <= XF_OBJ_TEXT; ++type) {
        SCOPED_TRACE(type);
        Cgeo_VectorObject* object = vector.CreateObject(type);
        if (type == XF_OBJ_POINT) {
            object->GetObjPoint()->SetPoints(2, p);
            VECTOR_POINT_STYLE record{};
            record.style = vector.GetStyleSet()->Add(manager.GetDefaultMarkerStyle())->GetMarker();
            object->GetObjPoint()->SetStyle(&record);
        } else if (type == XF_OBJ_LINE) {
            object->GetObjLine()->SetPoints(1, 2, p);
            VECTOR_LINE_STYLE record{};
            record.style = vector.GetStyleSet()->Add(manager.GetDefaultLineStyle())->GetLine();
            object->GetObjLine()->SetStyle(&record);
        } else if (type == XF_OBJ_POLYGON) {
            object->GetObjPolygon()->SetPolygonSize(2);
            SetRing(*object->GetObjPolygon()->GetRegion(), 1, Box(1, 1, 2, 2));
            object->GetObjPolygon()->GetRegion()->GetPolygon(1)->SetExternal(false);
        } else if (type == XF_OBJ_ELLIPSE) {
            object->GetObjEllipse()->SetRect(tagXF_RECT3DD{1, 2, 3, 4, 5, 6});
        } else if (type == XF_OBJ_TEXT) {
            object->GetObjText()->SetText("text");
            object->GetObjText()->SetTextPoint(CXF_Point3DD(1, 2, 3));
        }
        object->DeleteObject();
        EXPECT_EQ(vector.GetStyleSet()->GetCount(), 0) << "the freed object's style went with it";
        Cgeo_VectorObject* again = vector.CreateObject(type);
        EXPECT_EQ(again, object) << "the freed object is handed out again";
        EXPECT_EQ(again->GetType(), type);
        CXF_RectD bounds{1, 1, 1, 1};
        bool boxed = type == XF_OBJ_ELLIPSE || type == XF_OBJ_TEXT;  // at (0, 0) when new
        EXPECT_EQ(again->GetBounds(&bounds), boxed ? 1 : 0);
        EXPECT_EQ(bounds.x2, 0.0);
        EXPECT_EQ(bounds.y2, 0.0);
        EXPECT_EQ(again->GetStyle(), nullptr);
        if (type == XF_OBJ_POINT) {
            EXPECT_EQ(again->GetObjPoint()->GetNumPoints(), 0);
        } else if (type == XF_OBJ_LINE) {
            EXPECT_EQ(again->GetObjLine()->GetNumSection(), 0);
            again->GetObjLine()->SetNumSection(2);
            EXPECT_EQ(again->GetObjLine()->GetNumPoints(1), 0) << "a section added again is empty";
        } else if (type == XF_OBJ_POLYGON) {
            again->GetObjPolygon()->SetPolygonSize(2);
            const CXF_PolygonD* ring = again->GetObjPolygon()->GetRegion()->GetPolygon(1);
            EXPECT_EQ(ring->GetSize(), 0) << "a ring added again is empty";
            EXPECT_EQ(ring->IsExternal(), 1);
            EXPECT_EQ(ring->GetBoundRect().x2, 0.0);
        } else if (type == XF_OBJ_TEXT) {
            EXPECT_STREQ(again->GetObjText()->GetText(), "");
        }
        again->DeleteObject();
    }
    auto* layer = new Cgeo_Vector();
    Cgeo_VectorObject* orphan = layer->CreateObject(XF_OBJ_LINE);
    delete layer;
    orphan->GetObjLine()->SetPoints(0, 2, p);
    orphan->DeleteObject();  // after its layer: freed, with nothing of the layer touched
}

// Objects and table

// A text value is cut to the column's width and always ends in a zero byte; a width below 1 or
// above the widest the table stores is clamped.
TEST(HostTable, TextValuesFitTheirColumn) {
    Cgeo_Vector vector;
    Cgeo_VectorObjectStream stream(&vector, XF_STREAM_WRITE);
    Cgeo_VectorObject* object = vector.CreateObject(XF_OBJ_EMPTY);
    ASSERT_EQ(stream.AddObject(object, 0), 0);
    object->DeleteObject();
    Cgeo_VectorTable* table = vector.GetVectorTable();
    table->GetVectorColumns()->Add(CVectorColumn("t", XF_COL_TEXT, 10, 0));
    const char unterminated[11] = {'k', 'l', 'm', 'n', 'o', 'p', 'q', 'r', 's', 't', 0};
    ASSERT_EQ(table->SetColumnValue(0, 0, unterminated), 1);
    EXPECT_STREQ(static_cast<const char*>(table->GetColumnValue(0, 0)), "klmnopqrst");
    EXPECT_EQ(table->SetColumnValue(0, 0, nullptr), 0);
    EXPECT_EQ(CVectorColumn("w", XF_COL_TEXT, 0, 0).GetSize(), 2);
    EXPECT_EQ(CVectorColumn("w", XF_COL_TEXT, -5, 0).GetSize(), 2);
    EXPECT_EQ(CVectorColumn("w", XF_COL_TEXT, 1 << 30, 0).GetSize(), XF_MAX_TEXT_WIDTH + 1);

    // Texts replaced many times by shorter and longer ones (the texts are packed, and repacked
    // once replaced bytes outweigh those in use); the other rows keep theirs.
    ASSERT_EQ(table->GetVectorColumns()->Add(CVectorColumn("long", XF_COL_TEXT, 300, 0)), 1);
    for (int id = 1; id <= 2; ++id) {
        object = vector.CreateObject(XF_OBJ_EMPTY);
        ASSERT_EQ(stream.AddObject(object, 0), id);
        object->DeleteObject();
    }
    ASSERT_EQ(table->SetColumnValue(0, 1, "first"), 1);
    ASSERT_EQ(table->SetColumnValue(2, 1, "third"), 1);
    std::string text;
    for (int k = 0; k < 5000; ++k) {
        text.assign(static_cast<size_t>(1 + (k * 37) % 300), static_cast<char>('a' + k % 26));
        ASSERT_EQ(table->SetColumnValue(1, 1, text.c_str()), 1);
    }
    EXPECT_EQ(static_cast<const char*>(table->GetColumnValue(1, 1)), text);
    ASSERT_EQ(table->SetColumnValue(1, 1, table->GetColumnValue(1, 1)), 1) << "itself again";
    EXPECT_EQ(static_cast<const char*>(table->GetColumnValue(1, 1)), text);
    EXPECT_STREQ(static_cast<const char*>(table->GetColumnValue(0, 1)), "first");
    EXPECT_STREQ(static_cast<const char*>(table->GetColumnValue(2, 1)), "third");
}

// What a builder hands out stays where it is while more entries are added.
TEST(HostBuilders, PointersStayValidWhileMoreAreAdded) {
    Cgeo_Text text;
    Cgeo_TextItem* item = text.AddItem();
    Cgeo_LineItem* line = item->AddLine();
    Cgeo_PartItem* part = line->AddPart("first", XF_MakeFontAttributes("Arial"));
    CTrasformFUNC* transform = item->GetTransforms()->GetTransformType(0);
    CXF_StyleObject* style = CXF_StyleObject::Create();
    CXF_StyleElement* element = style->GetPolygon()->AddElement(true, 0x123456);
    Cgeo_Attributes attributes;
    attributes.SetInt("first", 1);
    Cgeo_AttributeValue* value = attributes.Item("first");
    for (int i = 0; i < 100; ++i) {
        item->AddLine();
        line->AddPart("more", XF_MakeFontAttributes("Arial"));
        item->GetTransforms()->AddTransform();
        style->GetPolygon()->AddElement(false);
        attributes.SetInt(std::to_string(i).c_str(), i);
    }
    EXPECT_EQ(item->GetLine(0), line);
    EXPECT_EQ(line->GetPart(0), part);
    EXPECT_STREQ(part->GetString(), "first");
    EXPECT_EQ(item->GetTransforms()->GetTransformType(0), transform);
    EXPECT_EQ(style->GetPolygon()->GetElement(0), element);
    EXPECT_EQ(element->GetColor(), 0x123456u);
    EXPECT_EQ(attributes.Item("first"), value);
    CXF_StyleObject* copy = style->Clone();
    EXPECT_NE(copy->GetPolygon()->GetElement(0), element) << "a copy has elements of its own";
    EXPECT_EQ(copy->GetPolygon()->GetElement(0)->GetColor(), 0x123456u);
    copy->Release();
    style->Release();
}

// Application

class RecordingObserver : public Cgeo_FrameObserver {
public:
    void OnProgress(double position) override { positions.push_back(position); }
    int OnCheckCanceled() override { return 1; }
    std::vector<double> positions;
};

TEST(HostMainFrame, ProgressStaysBetween0And100AndCancelIsForwarded) {
    CGEO geo;
    Cgeo_MainFrame* frame = geo.GetApp()->GetMainFrame();
    frame->ResetRecord();
    RecordingObserver observer;
    frame->SetObserver(&observer);
    frame->StartProgress(1);
    for (double step : {60.0, 60.0, -500.0}) {
        frame->IncreaseProgress(step);
    }
    EXPECT_EQ(frame->CheckCanceledSignal(), 1);
    frame->SetObserver(nullptr);
    frame->ResetRecord();
    EXPECT_EQ(frame->CheckCanceledSignal(), 0);
    EXPECT_EQ(observer.positions, (std::vector<double>{60.0, 100.0, 0.0}));

    // Progress is told once per object and messages once per save: the frame keeps a count, a
    // sum and the last step, and only the latest messages.
    frame->StartProgress(1);
    for (int i = 0; i < 100000; ++i) {
        frame->IncreaseProgress(0.001);
        frame->SetMessageBarText(i % 2 == 0 ? "even" : "odd", 3, 1);
    }
    EXPECT_EQ(frame->GetProgressStepCount(), 100000);
    EXPECT_NEAR(frame->GetProgressStepSum(), 100.0, 1e-6);
    // A copy of the constant: the host library's DLL exports no storage for it.
    EXPECT_EQ(frame->GetMessages().size(), size_t{Cgeo_MainFrame::kMessagesKept});
    EXPECT_EQ(frame->GetMessages().back(), "odd");
}

// Strings

// The host's decoder of Text escapes, which XF_Open hands the reader, reads every text as the
// reader's own DecodeEscapes does (MID values, and a reader without a host); what the host
// encodes comes back.
TEST(HostStrings, EscapesDecodeAsTheReadersAndSurviveARoundTrip) {
    const std::pair<const char*, const char*> escapes[] = {
        {"a\\nb", "a\nb"}, {"c:\\\\new", "c:\\new"}, {"\\t\\", "\\t\\"}, {"\\\\n", "\\n"}};
    for (const auto& [text, decoded] : escapes) {
        std::string value = text;
        DecodeEscapes(value);
        EXPECT_EQ(value, decoded) << text;
        EXPECT_EQ(fncString::ConvertStringToSequences(text), decoded) << text;
    }
    std::string written = fncString::ConvertSequencesToString("a\\b\r\nc\nd\re\\n", "\r");
    EXPECT_EQ(written, "a\\\\b\\nc\\nd\\ne\\\\n");
    EXPECT_EQ(fncString::ConvertStringToSequences(written), "a\\b\nc\nd\ne\\n")
        << "every line break comes back as a line feed";
    EXPECT_EQ(fncString::ReplaceCharacter("a\nb\n", '\n', "\r\n"), "a\r\nb\r\n");
}

}  // namespace
